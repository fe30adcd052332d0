#include "TimelineSnapshot.h"

#include "ClassifyItem.h"
#include "SourceItem.h"
#include "TimelineDocument.h"
#include "TransItem.h"

#include <QHash>

#include <algorithm>

namespace {

ClipState stateOf(const SourceItem *c)
{
    ClipState s;
    s.uuid = c->uuid;
    s.path = c->path;
    s.start = c->start();
    s.duration = c->duration();
    s.offset = c->offset();
    s.valid = c->valid;
    s.selected = c->isSelected();
    s.stretch = c->stretch;
    s.crop = c->clipRect;
    s.placement = c->previewRect;
    s.rotate = c->rotate;
    s.transparency = c->transparency;
    s.stacking = c->stacking;
    s.volume = c->volume;
    s.mute = c->mute;
    s.temperature = c->temperature;
    s.saturation = c->saturation;
    s.hue = c->hue;
    s.contrast = c->contrast;
    s.bright = c->bright;
    s.highlight = c->highlight;
    s.text = c->content;
    s.font = c->font;
    s.color = c->color;
    return s;
}

} // namespace

std::shared_ptr<const TimelineSnapshot> TimelineSnapshot::of(const TimelineDocument *model)
{
    auto snapshot = std::make_shared<TimelineSnapshot>();
    if (!model)
        return snapshot;
    QHash<const SourceItem *, ClipRef> refs;
    const QList<ClassifyItem *> tracks = model->tracks();
    snapshot->tracks.reserve(tracks.size());
    for (const ClassifyItem *track : tracks) {
        TrackState t;
        t.uuid = track->uuid;
        t.kind = track->kind;
        t.clips.reserve(track->clips().size());
        for (const SourceItem *clip : track->clips()) {
            refs.insert(clip, ClipRef{snapshot->tracks.size(), t.clips.size()});
            t.clips << stateOf(clip);
            snapshot->end = std::max(snapshot->end, t.clips.last().start + t.clips.last().duration);
        }
        snapshot->tracks << t;
    }
    for (TransItem *item : model->transitions()) {
        const TransitionData *d = item->data();
        TransitionState t;
        t.name = d->name;
        t.startFrame = d->startFrame;
        t.endFrame = d->endFrame;
        // A clip no longer on a track (removed, its transition not yet checked)
        // takes no part.
        t.from = refs.value(d->from());
        t.to = refs.value(d->to());
        if ((d->hasFrom() && t.from.isNull()) || (d->hasTo() && t.to.isNull()))
            continue;
        snapshot->transitions << t;
    }
    return snapshot;
}
