#include "TimelineEvaluator.h"

#include "ClassifyItem.h"
#include "SourceItem.h"
#include "TimeLineTreeModel.h"
#include "TransItem.h"

#include <QMap>
#include <QSet>

#include <algorithm>
#include <cmath>

bool TimelineEvaluator::covers(const SourceItem *clip, int64_t frame)
{
    return clip && frame >= clip->start() && frame < clip->start() + clip->duration();
}

FrameSource TimelineEvaluator::sourceOf(const SourceItem *clip, int64_t frame, bool clampEnd)
{
    const int64_t start = clip->start(), end = start + clip->duration();
    if (clampEnd && frame >= end)
        frame = end - 1;
    if (!clampEnd && frame < start)
        frame = start;
    FrameSource s;
    s.time = clip->offset() + (frame - start);
    s.id = clip->uuid;
    s.path = clip->path;
    s.fitMode = clip->stretch;
    s.crop = clip->clipRect;
    s.x = float(clip->previewRect.x());
    s.y = float(clip->previewRect.y());
    s.width = float(clip->previewRect.width());
    s.height = float(clip->previewRect.height());
    s.rotation = float(clip->rotate * M_PI / 180.0);
    s.transparency = float(clip->transparency / 255.0);
    s.temperature = float(clip->temperature / 50.0);
    s.saturation = float(clip->saturation / 50.0);
    s.hue = float(clip->hue / 50.0);
    s.contrast = float(clip->contrast / 50.0);
    s.highlight = float(clip->highlight / 50.0);
    s.brightness = float(clip->bright / 100.0);
    return s;
}

namespace {

// The clip's placement and look as the track's preview item takes them.
void describe(TrackFrame &frame, const SourceItem *clip)
{
    frame.clip = clip->uuid;
    frame.placement = clip->previewRect;
    frame.rotate = clip->rotate;
    frame.zValue = clip->stacking;
    frame.selected = clip->isSelected();
    frame.text = clip->content;
    frame.font = clip->font;
    frame.color = clip->color;
    frame.transparency = clip->transparency;
}

} // namespace

int64_t TimelineEvaluator::lastFrame() const
{
    int64_t end = 0;
    if (m_model) {
        for (ClassifyItem *track : m_model->tracks())
            for (const SourceItem *clip : track->clips())
                end = std::max(end, clip->start() + clip->duration());
        // Transitions lie within their clips: they never make the timeline longer.
    }
    return end - 1;
}

QList<TrackFrame> TimelineEvaluator::frameAt(int64_t f) const
{
    QList<TrackFrame> out;
    if (!m_model)
        return out;
    // Transitions active at F, by track, and the clips they take over.
    struct Active {
        const TransitionData *data;
        double progress;
    };
    QMap<const ClassifyItem *, QList<Active>> active;
    QSet<const SourceItem *> inTransition;
    for (TransItem *t : m_model->transitions()) {
        const TransitionData *d = t->data();
        if (f < d->startFrame || f > d->endFrame || d->endFrame <= d->startFrame)
            continue;
        if ((d->from && !d->from->valid) || (d->to && !d->to->valid))
            continue;
        const SourceItem *primary = covers(d->from, f) ? d->from
                                    : covers(d->to, f) ? d->to
                                                       : nullptr;
        if (!primary)
            continue;
        const double progress = double(f - d->startFrame) / double(d->endFrame - d->startFrame);
        active[primary->track] << Active{d, progress};
        if (d->from)
            inTransition << d->from;
        if (d->to)
            inTransition << d->to;
    }
    for (ClassifyItem *track : m_model->tracks()) {
        if (!timeline::hasMask(track->kind, timeline::kVisualMask))
            continue;
        TrackFrame frame;
        frame.track = track->uuid;
        frame.subtitleTrack = track->kind == CT_SUBTITLE;
        SourceItem *clip = nullptr;
        for (SourceItem *c : track->clips())
            if (c->valid && covers(c, f)) {
                clip = c;
                break;
            }
        if (clip)
            describe(frame, clip);
        if (frame.subtitleTrack) {
            out << frame;
            continue;
        }
        VideoFrameData &r = frame.request;
        r.shader = QStringLiteral("rgba_base");
        r.progress = 1.0;
        if (clip && !inTransition.contains(clip)) {
            r.current = sourceOf(clip, f, true);
            r.decodeMask |= DECODE_CURRENT;
            r.showMask |= SHOW_CLIP;
        }
        for (const Active &a : active.value(track)) {
            r.shader = a.data->name;
            r.progress = a.progress;
            if (a.data->from) {
                r.from = sourceOf(a.data->from, f, true);
                r.decodeMask |= DECODE_FROM;
            }
            if (a.data->to) {
                r.to = sourceOf(a.data->to, f, false);
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
    if (!m_model || fps <= 0)
        return out;
    for (ClassifyItem *track : m_model->tracks()) {
        if (!timeline::hasMask(track->kind, timeline::kAudibleMask))
            continue;
        for (SourceItem *clip : track->clips())
            if (clip->valid && covers(clip, f)) {
                AudioFrameData a;
                a.position = ff::Rational(f - clip->start() + clip->offset(), fps);
                a.path = clip->path;
                a.volume = clip->mute ? 0 : clip->volume;
                out << a;
            }
    }
    return out;
}
