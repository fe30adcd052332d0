#pragma once
// Answers what the timeline shows and plays at a frame, from a snapshot of it:
// the visual tracks' frame requests for the preview items and the export, and
// the audible clips for the player and the export.
// Lives on: any thread (it reads only its snapshot, which never changes).

#include "TimelineSnapshot.h"
#include "render/RenderTypes.h"
#include "render/TimelineReader.h"

#include <QList>

#include <cstdint>
#include <memory>

class TimelineDocument;

class TimelineEvaluator : public TimelineReader {
public:
    explicit TimelineEvaluator(std::shared_ptr<const TimelineSnapshot> snapshot)
        : m_snapshot(std::move(snapshot))
    {}
    // The model as it is now (main thread).
    explicit TimelineEvaluator(const TimelineDocument *model)
        : TimelineEvaluator(TimelineSnapshot::of(model))
    {}

    QList<TrackFrame> frameAt(int64_t frame) const override;
    QList<AudioFrameData> audioAt(int64_t frame, int64_t fps) const override;
    int64_t lastFrame() const override;

    const TimelineSnapshot &snapshot() const { return *m_snapshot; }

    // The clip's source for frame F; end clamping keeps an outgoing clip on its last
    // frame, start clamping an incoming one on its first.
    static FrameSource sourceOf(const ClipState &clip, int64_t frame, bool clampEnd);

private:
    std::shared_ptr<const TimelineSnapshot> m_snapshot;
};
