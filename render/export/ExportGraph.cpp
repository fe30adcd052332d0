#include "ExportGraph.h"

#include "ExportClipItem.h"

#include "render/RefCountedObject.h"
#include "render/ShaderLibrary.h"
#include "render/compose/PreviewLayers.h"
#include "render/compose/SubtitlePreviewItem.h"
#include "render/compose/TransPreviewItem.h"

#include "graphics/GsDevice.h"
#include "graphics/GsFilter.h"
#include "graphics/GsScene.h"

#include <algorithm>
#include <cmath>

class ExportGraph::Readback : public GsOutputRaw {
public:
    Readback(GsScene *scene, const QSize &size, Receiver receiver)
        : GsOutputRaw(scene, size.width(), size.height(), GS_RGBA), m_receiver(std::move(receiver))
    {}
    ~Readback() override { Detach(); }

protected:
    void OnFrame(const uint8_t *pixels, size_t bytes, int stride, int64_t timestampNs) override
    {
        m_receiver.hand(pixels, bytes, stride, timestampNs);
    }
    uint8_t *FrameBuffer(size_t bytes) override
    {
        return m_receiver.next ? m_receiver.next(bytes) : nullptr;
    }

private:
    Receiver m_receiver;
};

ExportGraph::ExportGraph(GsDevice &device, const QSize &sceneSize, const QSize &outputSize,
                         Receiver receiver)
    : m_device(device), m_outputSize(outputSize)
{
    if (!m_device.MakeCurrent())
        return;
    m_valid = ShaderLibrary::registerAll(&m_device).isEmpty();
    // Made while the export's device is current: the scene and its output belong to it.
    m_scene =
        new RefCountedObject<GsScene>(uint32_t(sceneSize.width()), uint32_t(sceneSize.height()));
    m_scene->AddRef();
    m_readback = std::make_unique<Readback>(m_scene, outputSize, std::move(receiver));
    m_readback->Attach();
    Receiver alone;
    alone.hand = [this](const uint8_t *pixels, size_t bytes, int, int64_t) {
        if (m_aloneInto)
            m_aloneInto->assign(pixels, pixels + bytes);
    };
    m_alone = std::make_unique<Readback>(m_scene, outputSize, std::move(alone));
}

ExportGraph::~ExportGraph()
{
    m_device.MakeCurrent(); // GPU objects are freed on this device's context
    m_readback.reset();
    m_alone.reset();
    for (PreviewItem *item : qAsConst(m_items)) {
        if (auto *clip = dynamic_cast<ExportClipItem *>(item))
            m_scene->RemoveItem(clip->companion());
        m_scene->RemoveItem(item);
        item->Release();
    }
    m_items.clear();
    if (m_scene)
        m_scene->Release();
}

PreviewItem *ExportGraph::itemFor(const TrackFrame &frame)
{
    if (PreviewItem *item = m_items.value(frame.track))
        return item;
    PreviewItem *item = nullptr;
    if (frame.subtitleTrack) {
        item = new RefCountedObject<SubtitlePreviewItem>();
    } else {
        auto *clip = new RefCountedObject<ExportClipItem>(m_scene->width(), m_scene->height());
        clip->companion()->SetBaseSize(float(m_scene->width()), float(m_scene->height()));
        m_scene->AddItem(clip->companion());
        item = clip;
    }
    item->AddRef();
    item->trackId = frame.track;
    item->Resize(float(m_scene->width()), float(m_scene->height()));
    m_items.insert(frame.track, item);
    m_scene->AddItem(item);
    return item;
}

void ExportGraph::place(const QList<TrackFrame> &tracks)
{
    if (!m_scene)
        return;
    bool reorder = false;
    for (const TrackFrame &track : tracks) {
        PreviewItem *item = itemFor(track);
        reorder = PreviewLayers::place(item, track) || reorder;
        if (!track.subtitleTrack)
            static_cast<ExportClipItem *>(item)->show(track.request);
    }
    if (reorder)
        m_scene->OrderItem();
}

void ExportGraph::compose(int64_t timestampNs)
{
    if (!m_valid)
        return;
    m_device.TickSource();
    m_device.HandleFilter();
    m_device.OutputFrame(timestampNs, 1);
}

void ExportGraph::flush()
{
    if (m_readback)
        m_readback->Flush();
}

QSize ExportGraph::drawnSize() const
{
    if (!m_scene)
        return QSize();
    // As the device chooses it for an output: the scene fitted inside the output.
    const double fit = std::min(double(m_outputSize.width()) / m_scene->width(),
                                double(m_outputSize.height()) / m_scene->height());
    return QSize(int(std::lround(m_scene->width() * fit)),
                 int(std::lround(m_scene->height() * fit)));
}

bool ExportGraph::composeAlone(const QSet<QString> &tracks, std::vector<uint8_t> &pixels)
{
    if (!m_valid || !m_scene)
        return false;
    for (auto it = m_items.cbegin(); it != m_items.cend(); ++it) {
        if (tracks.contains(it.key()))
            continue;
        it.value()->setVisible(false);
        if (auto *clip = dynamic_cast<ExportClipItem *>(it.value()))
            clip->companion()->setVisible(false);
    }
    m_device.TickSource();
    m_device.HandleFilter();
    m_scene->SetClearColor(0, 0, 0, 0);
    const bool drawn = m_scene->Render();
    m_scene->SetClearColor(0, 0, 0, 1);
    if (!drawn)
        return false;
    pixels.clear();
    m_aloneInto = &pixels;
    m_alone->Capture(0);
    m_alone->Flush();
    m_aloneInto = nullptr;
    return pixels.size() == size_t(m_outputSize.width()) * size_t(m_outputSize.height()) * 4;
}

ExportClipItem *ExportGraph::clipItemFor(const TrackFrame &frame)
{
    return m_scene ? dynamic_cast<ExportClipItem *>(itemFor(frame)) : nullptr;
}

ExportClipItem *ExportGraph::clipItem(const QString &track) const
{
    return dynamic_cast<ExportClipItem *>(m_items.value(track));
}
