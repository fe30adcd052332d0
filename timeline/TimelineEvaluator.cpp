#include "TimelineEvaluator.h"

#include <QSet>
#include <QVector>

#include <algorithm>
#include <cmath>

namespace {
// The panel's colour sliders run over ±50 steps; the compositor takes ±1.
constexpr double kColourSteps = 50.0;
} // namespace

FrameSource TimelineEvaluator::sourceOf(const ClipState &clip, int64_t frame, bool clampEnd)
{
    const int64_t start = clip.start, end = start + clip.duration;
    if (clampEnd && frame >= end)
        frame = end - 1;
    if (!clampEnd && frame < start)
        frame = start;
    FrameSource s;
    s.time = clip.offset + (frame - start);
    s.id = clip.uuid;
    s.path = clip.path;
    s.fitMode = clip.stretch;
    s.crop = clip.crop;
    s.x = float(clip.placement.x());
    s.y = float(clip.placement.y());
    s.width = float(clip.placement.width());
    s.height = float(clip.placement.height());
    s.rotation = float(clip.rotate * M_PI / 180.0);
    s.transparency = float(clip.transparency / 255.0);
    s.temperature = float(clip.temperature / kColourSteps);
    s.saturation = float(clip.saturation / kColourSteps);
    s.hue = float(clip.hue / kColourSteps);
    s.contrast = float(clip.contrast / kColourSteps);
    s.highlight = float(clip.highlight / kColourSteps);
    s.brightness = float(clip.bright / 100.0);
    return s;
}

namespace {

// The clip's placement and look as the track's preview item takes them.
void describe(TrackFrame &frame, const ClipState &clip)
{
    frame.clip = clip.uuid;
    frame.placement = clip.placement;
    frame.rotate = clip.rotate;
    frame.zValue = clip.stacking;
    frame.selected = clip.selected;
    frame.text = clip.text;
    frame.font = clip.font;
    frame.color = clip.color;
    frame.transparency = clip.transparency;
}

} // namespace

int64_t TimelineEvaluator::lastFrame() const
{
    return m_snapshot->end - 1;
}

QList<TrackFrame> TimelineEvaluator::frameAt(int64_t f) const
{
    const TimelineSnapshot &timeline = *m_snapshot;
    QList<TrackFrame> out;
    // Transitions active at F, by track, and the clips they take over.
    struct Active {
        const TransitionState *data;
        double progress;
    };
    QVector<QList<Active>> active(timeline.tracks.size());
    QSet<const ClipState *> inTransition;
    for (const TransitionState &t : timeline.transitions) {
        if (f < t.startFrame || f > t.endFrame || t.endFrame <= t.startFrame)
            continue;
        const ClipState *from = timeline.clip(t.from), *to = timeline.clip(t.to);
        if ((from && !from->valid) || (to && !to->valid))
            continue;
        const ClipRef primary = from && from->covers(f) ? t.from
                                : to && to->covers(f)   ? t.to
                                                        : ClipRef();
        if (primary.isNull())
            continue;
        const double progress = double(f - t.startFrame) / double(t.endFrame - t.startFrame);
        active[primary.track] << Active{&t, progress};
        if (from)
            inTransition << from;
        if (to)
            inTransition << to;
    }
    for (int i = 0; i < timeline.tracks.size(); ++i) {
        const TrackState &track = timeline.tracks[i];
        if (!timeline::hasMask(track.kind, timeline::kVisualMask))
            continue;
        TrackFrame frame;
        frame.track = track.uuid;
        frame.subtitleTrack = track.kind == CT_SUBTITLE;
        const ClipState *clip = nullptr;
        for (const ClipState &c : track.clips)
            if (c.valid && c.covers(f)) {
                clip = &c;
                break;
            }
        if (clip)
            describe(frame, *clip);
        if (frame.subtitleTrack) {
            out << frame;
            continue;
        }
        VideoFrameData &r = frame.request;
        r.shader = QStringLiteral("rgba_base");
        r.progress = 1.0;
        if (clip && !inTransition.contains(clip)) {
            r.current = sourceOf(*clip, f, true);
            r.decodeMask |= DECODE_CURRENT;
            r.showMask |= SHOW_CLIP;
        }
        for (const Active &a : active[i]) {
            r.shader = a.data->name;
            r.progress = a.progress;
            if (const ClipState *from = timeline.clip(a.data->from)) {
                r.from = sourceOf(*from, f, true);
                r.decodeMask |= DECODE_FROM;
            }
            if (const ClipState *to = timeline.clip(a.data->to)) {
                r.to = sourceOf(*to, f, false);
                r.decodeMask |= DECODE_TO;
            }
            r.showMask |= SHOW_TRANSITION;
        }
        out << frame;
    }
    return out;
}

QList<AudioFrameData> TimelineEvaluator::audioAt(int64_t f, int64_t fps) const
{
    QList<AudioFrameData> out;
    if (fps <= 0)
        return out;
    for (const TrackState &track : m_snapshot->tracks) {
        if (!timeline::hasMask(track.kind, timeline::kAudibleMask))
            continue;
        for (const ClipState &clip : track.clips)
            if (clip.valid && clip.covers(f)) {
                AudioFrameData a;
                a.position = ff::Rational(f - clip.start + clip.offset, fps);
                a.path = clip.path;
                a.volume = clip.mute ? 0 : clip.volume;
                out << a;
            }
    }
    return out;
}
