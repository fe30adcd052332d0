#pragma once
// Gives every visual track of the timeline its preview item in the render
// manager's scene, and hands each item what its track shows at a frame. The
// timeline's frame answers list every visual track: a track that appears gets an
// item, one that is gone loses it.
// Lives on: main thread.

#include "render/RenderTypes.h"

#include <QHash>
#include <QList>
#include <QObject>

class PreviewItem;
class RenderManager;

class PreviewLayers : public QObject {
    Q_OBJECT
public:
    explicit PreviewLayers(RenderManager *render, QObject *parent = nullptr);
    ~PreviewLayers() override;

    // The item of a track (by uuid), or null.
    PreviewItem *layerOf(const QString &track) const { return m_layers.value(track); }

public slots:
    void slot_trackFrames(const QList<TrackFrame> &frames);

private:
    // Makes the items for tracks that have none and drops those of tracks gone.
    void sync(const QList<TrackFrame> &frames);
    void dropAll();
    RenderManager *m_render;
    QHash<QString, PreviewItem *> m_layers; // referenced while held
    QList<TrackFrame> m_last;               // re-applied when the scene is replaced
};
