#pragma once
// Answers frame requests from the timeline model alone: what each visual track
// shows at a frame (with the transitions that take clips over) and which clips
// sound there. Needs no widget; the timeline view hands its answers on.
// Lives on: main thread.

#include "render/RenderTypes.h"

#include <QList>

#include <cstdint>

class SourceItem;
class TimeLineTreeModel;

class TimelineEvaluator {
public:
    explicit TimelineEvaluator(const TimeLineTreeModel *model) : m_model(model) {}

    // The requests for every visual track at frame F, in track order.
    QList<TrackFrame> frameAt(int64_t frame) const;
    // The audible clips at frame F (positions in 1/fps steps).
    QList<AudioFrameData> audioAt(int64_t frame, int64_t fps) const;

    // The last frame of the timeline (the end of its last clip, less one); -1 when
    // it is empty.
    int64_t lastFrame() const;

    // True when the clip plays at the frame (start <= F < start + duration).
    static bool covers(const SourceItem *clip, int64_t frame);
    // The clip's source for frame F; end clamping keeps an outgoing clip on its last
    // frame, start clamping an incoming one on its first.
    static FrameSource sourceOf(const SourceItem *clip, int64_t frame, bool clampEnd);

private:
    const TimeLineTreeModel *m_model;
};
