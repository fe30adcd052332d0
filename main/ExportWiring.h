#pragma once
// The connections an export needs between the render manager and the timeline
// panel: the export's frame requests reach the timeline, its answers come back.
// Made by the main window and by the headless renderer. Lives on: main thread.

#include "render/RenderManager.h"
#include "timeline/TimeLineWidget.h"

inline void wireExport(RenderManager *render, TimeLineWidget *timeline)
{
    QObject::connect(render, &RenderManager::sig_exportFrameRequest, timeline,
                     &TimeLineWidget::exportFrame);
    QObject::connect(timeline, &TimeLineWidget::sig_videoAnswer, render,
                     &RenderManager::onVideoAnswer);
    QObject::connect(timeline, &TimeLineWidget::sig_audioAnswer, render,
                     &RenderManager::onAudioAnswer);
    // After an export the preview shows the frame at the playhead, not the last one
    // exported.
    QObject::connect(render, &RenderManager::sig_stopExportPrepare, timeline,
                     &TimeLineWidget::slot_updatePreview);
}
