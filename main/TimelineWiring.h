#pragma once
// The connections between the render manager and the timeline panel: playback and
// export read the timeline's published state; the playhead tells where playback
// starts and follows the frame played. Made by the main window and by the
// headless renderer. Lives on: main thread.

#include "render/RenderManager.h"
#include "timeline/TimeLineGraphicsView.h"
#include "timeline/TimeLineWidget.h"
#include "timeline/TimelineDocument.h"
#include "timeline/TimelinePublisher.h"

inline void wireTimeline(RenderManager *render, TimeLineGraphicsView *view, TimelineDocument *model)
{
    render->setTimeline(model->publisher()->feed());
    render->slot_playheadMoved(view->playheadFrame());
    QObject::connect(view, &TimeLineGraphicsView::sig_playheadMoved, render,
                     &RenderManager::slot_playheadMoved);
    QObject::connect(render, &RenderManager::sig_framePlayed, view,
                     &TimeLineGraphicsView::slot_framePlayed);
}

inline void wireTimeline(RenderManager *render, TimeLineWidget *timeline)
{
    wireTimeline(render, timeline->view(), timeline->model());
    // After an export the preview shows the frame at the playhead, not the last one
    // exported.
    QObject::connect(render, &RenderManager::sig_stopExportPrepare, timeline,
                     &TimeLineWidget::slot_updatePreview);
}
