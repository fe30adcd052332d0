#pragma once
// Gives every visual track of the timeline its preview item in the render
// manager's scene, and hands each item what its track shows at a frame.
// Lives on: main thread.

#include "timeline/TimeLineGraphicsView.h"

#include <QHash>
#include <QObject>

class ClassifyItem;
class PreviewItem;
class RenderManager;
class TimeLineTreeModel;

class PreviewLayers : public QObject {
    Q_OBJECT
public:
    PreviewLayers(TimeLineTreeModel *model, RenderManager *render, QObject *parent = nullptr);
    ~PreviewLayers() override;

    PreviewItem *layerOf(ClassifyItem *track) const { return m_layers.value(track); }
    // Makes the items for tracks that have none and drops those of tracks gone.
    void sync();

public slots:
    void slot_trackFrames(const QList<TrackFrame> &frames);

private:
    TimeLineTreeModel *m_model;
    RenderManager *m_render;
    QHash<ClassifyItem *, PreviewItem *> m_layers;
};
