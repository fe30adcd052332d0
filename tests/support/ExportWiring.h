#pragma once
// The editor's connections between the render manager and a timeline panel for
// exports: the export's frame requests reach the timeline, its answers come back.

#include "render/RenderManager.h"
#include "timeline/TimeLineWidget.h"

namespace fixtures {

inline void wireExport(RenderManager *render, TimeLineWidget *timeline)
{
    QObject::connect(render, &RenderManager::sig_exportFrameRequest, timeline,
                     &TimeLineWidget::exportFrame);
    QObject::connect(timeline, &TimeLineWidget::sig_videoAnswer, render,
                     &RenderManager::onVideoAnswer);
    QObject::connect(timeline, &TimeLineWidget::sig_audioAnswer, render,
                     &RenderManager::onAudioAnswer);
}

} // namespace fixtures
