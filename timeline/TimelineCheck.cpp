#include "TimelineCheck.h"

#include "ClassifyItem.h"
#include "SourceItem.h"
#include "TimelineDocument.h"
#include "TransItem.h"

#include <QSet>

namespace timelinecheck {

namespace {

QString name(const SourceItem *clip)
{
    return QStringLiteral("clip %1 at %2").arg(clip->uuid).arg(clip->start());
}

void checkClip(const SourceItem *clip, const ClassifyItem *track, QStringList &out)
{
    if (clip->track != track)
        out << name(clip) + QStringLiteral(" names another track than the one holding it");
    if (clip->kind != track->kind)
        out << name(clip) + QStringLiteral(" is on a track of another kind");
    if (clip->start() < 0 || clip->duration() < 1)
        out << name(clip) + QStringLiteral(" starts before 0 or lasts no frame");
    const bool unbounded = clip->fullLength >= timeline::kUnboundedFrames;
    if (clip->offset() < 0 || (!unbounded && clip->offset() + clip->duration() > clip->fullLength))
        out << name(clip) + QStringLiteral(" reaches outside its material");
    if (clip->value("source") != clip->currentSource())
        out << name(clip) + QStringLiteral(" differs from its published source value");
    // The item follows the record (unless a gesture is showing where it would go).
    if (!clip->showsGesture() && (clip->pos().x() != timeline::toScene(clip->start()) ||
                                  clip->sceneWidth() != timeline::toScene(clip->duration())))
        out << name(clip) + QStringLiteral(" is drawn elsewhere than its record says");
}

} // namespace

QStringList problems(const TimelineDocument &document)
{
    QStringList out;
    QSet<QString> uuids;
    QSet<const SourceItem *> live;
    for (ClassifyItem *track : document.tracks()) {
        const SourceItem *previous = nullptr;
        for (const SourceItem *clip : track->clips()) {
            checkClip(clip, track, out);
            if (uuids.contains(clip->uuid))
                out << name(clip) + QStringLiteral(" shares its uuid");
            uuids << clip->uuid;
            live << clip;
            if (previous && clip->start() < previous->end())
                out << name(clip) + QStringLiteral(" overlaps or comes before ") + name(previous);
            previous = clip;
        }
    }
    for (TransItem *t : document.transitions()) {
        const TransitionData *d = t->data();
        const QString which = QStringLiteral("transition %1 (%2 to %3)")
                                  .arg(d->name)
                                  .arg(d->startFrame)
                                  .arg(d->endFrame);
        const SourceItem *from = d->from(), *to = d->to();
        if (!d->hasFrom() && !d->hasTo()) {
            out << which + QStringLiteral(" joins no clip");
            continue;
        }
        if ((d->hasFrom() && !live.contains(from)) || (d->hasTo() && !live.contains(to))) {
            out << which + QStringLiteral(" names a clip that is not on the timeline");
            continue;
        }
        if (from && to) {
            const int64_t gap = to->start() - from->end();
            if (gap != 0 && gap != d->recordedGap)
                out << which + QStringLiteral(" joins clips that no longer meet");
        }
        if (d->startFrame > d->endFrame || (from && d->startFrame < from->start()) ||
            (to && d->endFrame > to->end()))
            out << which + QStringLiteral(" reaches outside its clips");
        if (t->pos().x() != timeline::toScene(d->startFrame))
            out << which + QStringLiteral(" is drawn elsewhere than its record says");
    }
    return out;
}

bool enabled()
{
#if !defined(NDEBUG) || defined(ZUA_TIMELINE_CHECKS)
    return true;
#else
    static const bool asked = qEnvironmentVariableIntValue("ZUA_TIMELINE_CHECKS") == 1;
    return asked;
#endif
}

} // namespace timelinecheck
