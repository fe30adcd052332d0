#pragma once
// The connections between the render manager, the exporter and the timeline panel:
// playback and exports read the timeline's published state; the view shows and
// moves the render manager's transport (where playback starts, the frame played).
// Made by the main window, tests and benchmarks. Lives on: main thread.

#include "render/RenderManager.h"
#include "render/export/Exporter.h"
#include "timeline/TimeLineGraphicsView.h"
#include "timeline/TimeLineWidget.h"
#include "timeline/TimelineDocument.h"
#include "timeline/TimelinePublisher.h"

inline void wireTimeline(RenderManager *render, TimeLineGraphicsView *view, TimelineDocument *model)
{
    render->setTimeline(model->publisher()->feed());
    view->setTransport(render->transport());
}

inline void wireTimeline(RenderManager *render, TimeLineWidget *timeline, Exporter *exporter)
{
    wireTimeline(render, timeline->view(), timeline->model());
    timeline->setTransport(render->transport());
    exporter->setTimeline(timeline->model()->publisher()->feed());
    // After an export the preview shows the frame at the playhead, not the last one
    // exported.
    QObject::connect(exporter, &Exporter::sig_runEnded, timeline,
                     &TimeLineWidget::slot_updatePreview);
}
