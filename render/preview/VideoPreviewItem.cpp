#include "VideoPreviewItem.h"

#include "render/ShaderLibrary.h"

#include "TransPreviewItem.h"
#include "render/RefCountedObject.h"

#include "bridge/Logger.h"
#include "bridge/SystemServices.h"
#include "graphics/GsScene.h"
#include "graphics/GsTexture.h"

namespace {
constexpr int64_t kDecodePeriodUs = 40000;
} // namespace

VideoPreviewItem::VideoPreviewItem(uint32_t sceneWidth, uint32_t sceneHeight)
    : m_companion(new RefCountedObject<TransPreviewItem>(sceneWidth, sceneHeight))
{
    m_companion->AddRef();
    m_decodeThread = std::thread([this] { decodeLoop(); });
}

VideoPreviewItem::~VideoPreviewItem()
{
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        m_stop = true;
        m_wakeFlag = true;
        m_wake.notify_all();
    }
    m_decodeThread.join();
    m_companion->Release();
}

QSizeF VideoPreviewItem::fitted(double w, double h, double a)
{
    if (h <= 0 || a <= 0)
        return QSizeF(w, h);
    return w / h >= a ? QSizeF(h * a, h) : QSizeF(w, w / a);
}

void VideoPreviewItem::setFrameData(const VideoFrameData &request)
{
    BG_LOG_D("VideoFrameData: %d %d", request.decodeMask, request.showMask);
    setVisible(request.showMask & SHOW_CLIP);
    m_companion->setVisible(request.showMask & SHOW_TRANSITION);
    std::lock_guard<std::mutex> lock(m_queueMutex);
    m_queue.clear(); // only the newest request is decoded
    m_queue << request;
    m_wakeFlag = true;
    m_wake.notify_all();
}

void VideoPreviewItem::decodeLoop()
{
    VideoTaskManager tasks;
    while (true) {
        const int64_t t0 = bg::SystemServices::monotonicMicros();
        VideoFrameData request;
        {
            std::unique_lock<std::mutex> lock(m_queueMutex);
            m_wake.wait(lock, [this] { return m_wakeFlag; });
            if (m_stop)
                break;
            request = m_queue.takeLast();
            m_queue.clear();
            m_wakeFlag = false;
        }
        if (request.decodeMask == 0)
            continue;
        const QList<VFrameInfo> frames = tasks.fetch(request);
        if ((request.showMask & SHOW_CLIP) || (request.decodeMask & DECODE_CURRENT)) {
            RenderParam result;
            result.current = frames[0];
            result.showMask = request.showMask;
            FramesListener listener;
            {
                std::lock_guard<std::mutex> lock(m_itemMutex);
                m_pending = result;
                m_hasPending = true;
                listener = m_framesListener;
            }
            if (listener)
                listener(frames); // the crop editor shows the same frame
        }
        if ((request.showMask & SHOW_TRANSITION) ||
            (request.decodeMask & (DECODE_FROM | DECODE_TO))) {
            RenderParam transition;
            transition.shader = request.shader;
            transition.progress = request.progress;
            transition.from = frames[1];
            transition.to = frames[2];
            transition.showMask = request.showMask;
            m_companion->setPending(transition);
        }
        m_decoded.ref();
        const int64_t spent = bg::SystemServices::monotonicMicros() - t0;
        if (spent < kDecodePeriodUs)
            bg::SystemServices::sleepMs((kDecodePeriodUs - spent) / 1000);
    }
}

void VideoPreviewItem::prepare()
{
    if (!m_exportMode) {
        std::lock_guard<std::mutex> lock(m_itemMutex);
        if (!m_hasPending)
            return;
        m_current = m_pending;
        m_hasPending = false;
    }
    if (m_current.current.frame) {
        // Uploaded when drawn: a picture written straight into the scene needs none.
        m_uploadWanted = true;
        m_shownPts.storeRelaxed(m_current.current.frame->ptsUs);
    }
}

void VideoPreviewItem::setFramesListener(FramesListener listener)
{
    std::lock_guard<std::mutex> lock(m_itemMutex);
    m_framesListener = std::move(listener);
}

QSize VideoPreviewItem::textureSize() const
{
    return cropOf(m_current.current).size();
}

QSizeF VideoPreviewItem::drawnSize(const VFrameInfo &slot, const gs_transform &placed,
                                   const QSize &picture)
{
    const QSizeF box(placed.width, placed.height);
    if (slot.fitMode != 1 || picture.isEmpty())
        return box;
    return fitted(box.width(), box.height(), double(picture.width()) / picture.height());
}

QRect VideoPreviewItem::cropOf(const VFrameInfo &slot)
{
    if (!slot.frame)
        return QRect();
    const QRect whole(0, 0, slot.frame->width, slot.frame->height);
    return slot.crop.isEmpty() ? whole : slot.crop.intersected(whole);
}

bool VideoPreviewItem::FillTarget(GsTexture *target)
{
    const VFrameInfo &slot = m_current.current;
    if (!visible || !target || !slot.frame || !slot.frame->opaque || slot.transparency < 1.0f)
        return false;
    const float colour[6] = {slot.temperature, slot.hue,        slot.brightness,
                             slot.contrast,    slot.saturation, slot.highlight};
    if (std::any_of(colour, colour + 6, [](float c) { return c != 0.0f; }))
        return false;
    const QRect crop = cropOf(slot);
    const gs_transform placed = transform();
    const QSize whole(target->width(), target->height());
    if (placed.rotation != 0 || placed.x != 0 || placed.y != 0 || crop.size() != whole ||
        drawnSize(slot, placed, crop.size()) != QSizeF(whole))
        return false;
    return target->Update(slot.frame->pixel(crop.x(), crop.y()), slot.frame->stride, crop.width(),
                          crop.height());
}

void VideoPreviewItem::draw()
{
    if (!visible || !scene())
        return;
    const VFrameInfo &slot = m_current.current;
    if (m_uploadWanted) {
        uploadCrop(slot, m_texture);
        m_uploadWanted = false;
    }
    if (!m_texture)
        return;
    const gs_transform placed = transform();
    const QSizeF size = drawnSize(slot, placed, cropOf(slot).size());
    if (!m_constants)
        m_constants = std::make_unique<GsConstantBuffer>(32);
    const float constants[8] = {slot.temperature, slot.hue,       slot.brightness,   slot.contrast,
                                slot.saturation,  slot.highlight, slot.transparency, 0.0f};
    m_constants->Update(constants, sizeof constants);
    if (!GsContextDefault::BindShader(ShaderLibrary::clipProgram(constants)))
        return;
    m_constants->Bind();
    GsTextureBinder bind(m_texture.get());
    const float w = float(scene()->width()), h = float(scene()->height());
    GsContextDefault::SetViewport(0, 0, int(w), int(h));
    // An opaque picture at full opacity covers what is below: no blending needed.
    const bool opaque = slot.frame && slot.frame->opaque && slot.transparency >= 1.0f;
    if (opaque)
        GsContextDefault::SetBlending(false);
    GsContextDefault::DrawRect(
        {placed.x, placed.y, float(size.width()), float(size.height()), placed.rotation}, {w, h},
        m_texture.get());
    if (opaque)
        GsContextDefault::SetBlending(true);
    GsContextDefault::UnbindShader();
}

RenderParam VideoPreviewItem::decodeNow(const VideoFrameData &request)
{
    RenderParam result;
    if (!m_exportTasks || request.showMask == 0)
        return result;
    const QList<VFrameInfo> frames = m_exportTasks->fetch(request);
    if (request.showMask & SHOW_CLIP)
        result.current = frames[0];
    if (request.showMask & SHOW_TRANSITION) {
        result.shader = request.shader;
        result.progress = request.progress;
        result.from = frames[1];
        result.to = frames[2];
    }
    result.showMask = request.showMask;
    return result;
}

void VideoPreviewItem::apply(const RenderParam &result)
{
    if (result.showMask & SHOW_CLIP) {
        m_current.current = result.current;
        MoveTo(result.current.x, result.current.y);
        Resize(result.current.width, result.current.height);
        SetRotation(result.current.rotation);
    }
    if (result.showMask & SHOW_TRANSITION)
        m_companion->setCurrent(result);
    setVisible(result.showMask & SHOW_CLIP);
    m_companion->setVisible(result.showMask & SHOW_TRANSITION);
}

void VideoPreviewItem::beginExport()
{
    m_exportTasks = std::make_unique<VideoTaskManager>();
    m_exportMode = true;
    m_companion->setExportMode(true);
}

void VideoPreviewItem::endExport()
{
    m_exportTasks.reset();
    m_exportMode = false;
    m_companion->setExportMode(false);
}
