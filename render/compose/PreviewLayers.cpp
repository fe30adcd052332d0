#include "PreviewLayers.h"

#include "PlaybackRoute.h"
#include "SubtitlePreviewItem.h"
#include "TransPreviewItem.h"
#include "VideoPreviewItem.h"
#include "render/RefCountedObject.h"
#include "render/RenderManager.h"
#include "render/player/PlayerManager.h"

#include "graphics/GsScene.h"

#include <QSet>

#include <cmath>

PreviewLayers::PreviewLayers(RenderManager *render, QObject *parent)
    : QObject(parent), m_render(render), m_route(std::make_shared<PlaybackRoute>())
{
    // A new project size gives new layers in the new scene (the old scene's items
    // went with it). A view asking for the present scene changes nothing here.
    connect(m_render, &RenderManager::sig_sceneReplaced, this, [this] {
        for (PreviewItem *layer : qAsConst(m_layers))
            layer->Release();
        m_layers.clear();
        m_route->setItems(m_layers);
        show(m_route->last(), false);
    });
}

PreviewLayers::~PreviewLayers()
{
    dropAll();
}

void PreviewLayers::setFollowHeardSound(bool on)
{
    m_followHeardSound = on;
    m_route->setTimed(on);
}

void PreviewLayers::dropAll()
{
    m_route->setItems({});
    for (PreviewItem *layer : qAsConst(m_layers)) {
        m_render->removeItem(layer);
        layer->Release();
    }
    m_layers.clear();
}

void PreviewLayers::sync(const QList<TrackFrame> &frames)
{
    QSet<QString> present;
    for (const TrackFrame &frame : frames)
        present.insert(frame.track);
    for (auto it = m_layers.begin(); it != m_layers.end();) {
        if (!present.contains(it.key())) {
            m_render->removeItem(it.value());
            it.value()->Release();
            it = m_layers.erase(it);
        } else {
            ++it;
        }
    }
    GsScene *scene = m_render->scene();
    if (!scene) {
        m_route->setItems(m_layers);
        return;
    }
    for (const TrackFrame &frame : frames) {
        if (m_layers.contains(frame.track))
            continue;
        PreviewItem *layer = nullptr;
        const std::shared_ptr<PlaybackClock> clock =
            m_render->playerManager() ? m_render->playerManager()->clock() : nullptr;
        if (frame.subtitleTrack) {
            auto *subtitle = new RefCountedObject<SubtitlePreviewItem>();
            subtitle->setClock(clock);
            layer = subtitle;
        } else {
            auto *video = new RefCountedObject<VideoPreviewItem>(scene->width(), scene->height());
            RenderManager *render = m_render;
            video->setFramesListener([render](const QList<VFrameInfo> &frames) {
                emit render->sig_updateCropMenu(frames); // queued to the main thread
            });
            video->setClock(clock);
            layer = video;
        }
        layer->AddRef();
        layer->trackId = frame.track;
        layer->Resize(float(scene->width()), float(scene->height()));
        m_layers.insert(frame.track, layer);
        m_render->addItem(layer);
    }
    m_route->setItems(m_layers);
}

bool PreviewLayers::place(PreviewItem *layer, const TrackFrame &frame, bool whenHeard)
{
    bool reordered = false;
    layer->setClipId(frame.clip);
    // The track's current clip places the layer (the clip's placement rectangle is
    // centred on x, y in scene coordinates). While playing, the item places itself
    // when the frame is heard: a picture with its decoded frame, a subtitle with
    // the look scheduled below.
    if (!frame.clip.isEmpty()) {
        if (!whenHeard) {
            layer->MoveTo(float(frame.placement.x()), float(frame.placement.y()));
            layer->Resize(float(frame.placement.width()), float(frame.placement.height()));
            layer->SetRotation(float(frame.rotate * M_PI / 180.0));
        }
        layer->selected = frame.selected;
        if (layer->order() != frame.zValue) {
            layer->SetOrder(frame.zValue);
            reordered = true;
        }
        // A transition is drawn at its own track's place in the stacking order (just
        // above the track's item, which shows nothing meanwhile), so stickers, pictures
        // and subtitles of higher tracks stay on top of a cross-fade. This departs on
        // purpose from drawing every transition above all clips, which hid them.
        if (auto *video = dynamic_cast<ClipItem *>(layer)) {
            if (video->companion()->order() != frame.zValue) {
                video->companion()->SetOrder(frame.zValue);
                reordered = true;
            }
        }
    }
    if (auto *subtitle = dynamic_cast<SubtitlePreviewItem *>(layer)) {
        if (whenHeard) {
            SubtitleLook look;
            look.shown = !frame.clip.isEmpty();
            look.text = frame.text;
            look.font = frame.font;
            look.colour = frame.color;
            look.transparency = frame.transparency / 255.0f;
            look.placement = frame.placement;
            look.rotation = float(frame.rotate * M_PI / 180.0);
            subtitle->scheduleSubtitle(frame.frame, look);
            return reordered;
        }
        subtitle->dropScheduled();
        subtitle->setVisible(!frame.clip.isEmpty());
        if (!frame.clip.isEmpty())
            subtitle->setSubtitle(frame.text, frame.font, frame.color, frame.transparency / 255.0f);
    }
    return reordered;
}

void PreviewLayers::slot_trackFrames(const QList<TrackFrame> &frames)
{
    m_route->setLast(frames);
    show(frames, m_followHeardSound);
}

void PreviewLayers::show(const QList<TrackFrame> &frames, bool timed)
{
    sync(frames);
    bool reorder = false;
    for (const TrackFrame &frame : frames) {
        PreviewItem *layer = m_layers.value(frame.track);
        if (!layer)
            continue;
        const bool whenHeard = timed && frame.playing;
        reorder = place(layer, frame, whenHeard) || reorder;
        if (frame.subtitleTrack)
            continue;
        auto *video = static_cast<VideoPreviewItem *>(layer);
        if (whenHeard)
            video->scheduleFrameData(frame.request, frame.frame);
        else
            video->setFrameData(frame.request);
    }
    if (reorder)
        m_render->orderItems();
}
