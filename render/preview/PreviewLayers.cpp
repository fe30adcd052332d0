#include "PreviewLayers.h"

#include "SubtitlePreviewItem.h"
#include "VideoPreviewItem.h"
#include "render/RefCountedObject.h"
#include "render/RenderManager.h"
#include "timeline/ClassifyItem.h"
#include "timeline/SourceItem.h"
#include "timeline/TimeLineTreeModel.h"

#include "graphics/GsScene.h"

#include <cmath>

PreviewLayers::PreviewLayers(TimeLineTreeModel *model, RenderManager *render, QObject *parent)
    : QObject(parent), m_model(model), m_render(render)
{
    connect(m_model, &TimeLineTreeModel::rowsInserted, this, &PreviewLayers::sync);
    connect(m_model, &TimeLineTreeModel::rowsRemoved, this, &PreviewLayers::sync);
    // A new project size gives new layers in the new scene.
    connect(m_render, &RenderManager::sig_sendScene, this, [this] {
        for (PreviewItem *layer : m_layers)
            layer->Release();
        m_layers.clear();
        sync();
    });
    sync();
}

PreviewLayers::~PreviewLayers()
{
    for (PreviewItem *layer : m_layers) {
        m_render->removeItem(layer);
        layer->Release();
    }
}

void PreviewLayers::sync()
{
    const QList<ClassifyItem *> tracks = m_model->tracks();
    for (auto it = m_layers.begin(); it != m_layers.end();) {
        if (!tracks.contains(it.key())) {
            m_render->removeItem(it.value());
            it.value()->Release();
            it = m_layers.erase(it);
        } else {
            ++it;
        }
    }
    GsScene *scene = m_render->scene();
    if (!scene)
        return;
    for (ClassifyItem *track : tracks) {
        if (m_layers.contains(track) || !timeline::hasMask(track->kind, timeline::kVisualMask))
            continue;
        PreviewItem *layer = nullptr;
        if (track->kind == CT_SUBTITLE)
            layer = new RefCountedObject<SubtitlePreviewItem>();
        else
            layer = new RefCountedObject<VideoPreviewItem>(scene->width(), scene->height());
        layer->AddRef();
        layer->track = track;
        layer->Resize(float(scene->width()), float(scene->height()));
        m_layers.insert(track, layer);
        m_render->addItem(layer);
    }
}

void PreviewLayers::slot_trackFrames(const QList<TrackFrame> &frames)
{
    bool reorder = false;
    for (const TrackFrame &frame : frames) {
        PreviewItem *layer = m_layers.value(frame.track);
        if (!layer)
            continue;
        // The track's current clip places the layer (the clip's placement rectangle
        // is centred on x, y in scene coordinates).
        SourceItem *clip = frame.subtitle ? frame.subtitle : frame.clip;
        frame.track->setCurrentClip(clip);
        if (clip) {
            layer->MoveTo(float(clip->previewRect.x()), float(clip->previewRect.y()));
            if (frame.track->kind != CT_SUBTITLE)
                layer->Resize(float(clip->previewRect.width()), float(clip->previewRect.height()));
            layer->SetRotation(float(clip->rotate * M_PI / 180.0));
            layer->selected = clip->isSelected();
            if (layer->order() != clip->stacking) {
                layer->SetOrder(clip->stacking);
                reorder = true;
            }
        }
        if (auto *subtitle = dynamic_cast<SubtitlePreviewItem *>(layer)) {
            subtitle->setVisible(frame.subtitle != nullptr);
            if (frame.subtitle) {
                subtitle->Resize(float(frame.subtitle->previewRect.width()),
                                 float(frame.subtitle->previewRect.height()));
                subtitle->setSubtitle(frame.subtitle->content, frame.subtitle->font,
                                      frame.subtitle->color, frame.subtitle->transparency / 255.0f);
            }
        } else {
            layer->setFrameData(frame.request);
        }
    }
    if (reorder)
        m_render->orderItems();
}
