#include "TimelineEditor.h"

#include "ClassifyItem.h"
#include "SourceItem.h"
#include "TimelineDocument.h"
#include "TransItem.h"

#include "undo/UndoController.h"

#include <QGraphicsScene>
#include <QMap>
#include <QSet>

#include <algorithm>

namespace {

bg::Value colArg(int col)
{
    return bg::Value(bg::ValueMap{{"col", bg::Value(int32_t(col))}});
}

} // namespace

namespace {

void say(QString *why, const QString &text)
{
    if (why)
        *why = text;
}

} // namespace

bool TimelineEditor::onTimeline(const SourceItem *clip) const
{
    return clip && clip->track && clip->track->model() == m_model &&
           clip->track->hasClip(const_cast<SourceItem *>(clip)) &&
           m_model->trackByUuid(clip->track->uuid) == clip->track;
}

bool TimelineEditor::requestMove(const QVector<Move> &moves, QString *why)
{
    if (!m_model)
        return false;
    QVector<Move> changes;
    for (Move move : moves) {
        if (!onTimeline(move.clip)) {
            say(why, QStringLiteral("a moved clip is not on the timeline"));
            return false;
        }
        if (!move.track || m_model->trackByUuid(move.track->uuid) != move.track ||
            move.track->kind != move.clip->kind) {
            say(why, QStringLiteral("a clip can only go to a track of its kind"));
            return false;
        }
        move.start = std::max<int64_t>(0, move.start);
        if (move.track != move.clip->track || move.start != move.clip->start())
            changes.append(move);
    }
    if (changes.isEmpty())
        return true;
    zua::MergeSequence sequence("SourceMove");
    QSet<ClassifyItem *> touched;
    for (const Move &move : qAsConst(changes)) {
        touched << move.clip->track << move.track;
        move.clip->setValue("source",
                            SourceData::sourceValue(move.track, move.start, move.clip->duration(),
                                                    move.clip->offset()),
                            true, true);
    }
    for (ClassifyItem *track : qAsConst(touched))
        m_model->resolveOverlaps(track);
    m_model->checkTransitions();
    return true;
}

bool TimelineEditor::requestTrim(SourceItem *clip, int64_t start, int64_t duration, int64_t offset,
                                 QString *why)
{
    if (!m_model || !onTimeline(clip)) {
        say(why, QStringLiteral("the trimmed clip is not on the timeline"));
        return false;
    }
    const bool unbounded = clip->fullLength >= timeline::kUnboundedFrames;
    if (duration < 1 || start < 0) {
        say(why, QStringLiteral("a clip lasts at least one frame, from frame 0 on"));
        return false;
    }
    if (unbounded ? offset != 0 : offset < 0 || offset + duration > clip->fullLength) {
        say(why, QStringLiteral("a clip cannot reach outside its material"));
        return false;
    }
    if (start == clip->start() && duration == clip->duration() && offset == clip->offset())
        return true;
    zua::MergeSequence sequence("SourceMove");
    clip->setValue("source", SourceData::sourceValue(clip->track, start, duration, offset), true,
                   true);
    m_model->resolveOverlaps(clip->track);
    m_model->checkTransitions();
    return true;
}

SourceItem *TimelineEditor::requestSplit(SourceItem *clip, int64_t f, QString *why)
{
    if (!m_model || !onTimeline(clip)) {
        say(why, QStringLiteral("the clip to cut is not on the timeline"));
        return nullptr;
    }
    if (!(clip->start() < f && f < clip->end())) {
        say(why, QStringLiteral("a clip is cut strictly inside it"));
        return nullptr;
    }
    ClassifyItem *track = clip->track;
    TransItem *tail = m_model->transitionAt(clip, false);

    zua::MergeSequence sequence("splitSource");
    auto *right = new SourceItem(clip->kind, track);
    right->path = clip->path;
    right->fullLength = clip->fullLength;
    right->previewRect = clip->previewRect;
    right->clipRect = clip->clipRect;
    right->sourceSize = clip->sourceSize;
    right->volume = clip->volume;
    right->mute = clip->mute;
    right->stretch = clip->stretch;
    right->setSubtitle(clip->color, clip->font, clip->content);
    right->setValid(clip->valid);
    right->startFrame = f;
    right->durationFrames = clip->end() - f;
    right->offsetFrames =
        clip->fullLength >= timeline::kUnboundedFrames ? 0 : clip->offset() + (f - clip->start());
    right->loadThumbnail();
    right->followRecord();
    zua::ZuObject::AddObject_canUndo(right, colArg(0));
    right->publishValues();
    m_model->select(right);
    clip->setValue("source",
                   SourceData::sourceValue(track, clip->start(), f - clip->start(), clip->offset()),
                   true, true);
    if (tail) {
        const QString name = tail->data()->name;
        const int64_t duration = tail->data()->durationMs;
        const int ratio = tail->data()->ratio;
        SourceItem *to = tail->data()->to();
        if (to)
            m_model->checkTransitions();
        else
            m_model->removeTransition(tail, true);
        m_model->addTransition(name, right, to, duration, ratio, true);
    }
    return right;
}

bool TimelineEditor::requestRemove(const QList<SourceItem *> &clips, const char *sequenceName,
                                   QString *why)
{
    if (!m_model || clips.isEmpty())
        return false;
    for (SourceItem *clip : clips)
        if (!onTimeline(clip)) {
            say(why, QStringLiteral("a clip to remove is not on the timeline"));
            return false;
        }
    zua::MergeSequence sequence(sequenceName);
    for (SourceItem *clip : clips)
        zua::ZuObject::DelObject_canUndo(clip, colArg(clip->track->clips().indexOf(clip)));
    m_model->checkTransitions();
    return true;
}

bool TimelineEditor::requestTransition(const QString &name, const QList<SourceItem *> &clips,
                                       double bandCentre, QString *why)
{
    if (!m_model)
        return false;
    QMap<ClassifyItem *, QList<SourceItem *>> byTrack;
    for (SourceItem *clip : clips)
        if (onTimeline(clip))
            byTrack[clip->track] << clip;
    if (byTrack.isEmpty())
        return true;
    auto byStart = [](SourceItem *a, SourceItem *b) { return a->start() < b->start(); };
    QList<QPair<SourceItem *, SourceItem *>> pairs;
    const bool oneEach = byTrack.size() > 1 &&
                         std::all_of(byTrack.begin(), byTrack.end(),
                                     [](const QList<SourceItem *> &l) { return l.size() == 1; });
    if (oneEach) {
        QList<SourceItem *> all;
        for (const auto &l : byTrack)
            all += l;
        std::sort(all.begin(), all.end(), byStart);
        if (all.last()->start() >= all.first()->end())
            pairs << qMakePair(all.first(), all.last());
    } else {
        for (QList<SourceItem *> list : byTrack) {
            std::sort(list.begin(), list.end(), byStart);
            int i = 0;
            for (; i + 1 < list.size(); i += 2)
                pairs << qMakePair(list[i], list[i + 1]);
            if (i < list.size()) {
                SourceItem *last = list[i];
                const bool tail = last->start() + last->duration() / 2.0 <= bandCentre;
                pairs << (tail ? qMakePair(last, static_cast<SourceItem *>(nullptr))
                               : qMakePair(static_cast<SourceItem *>(nullptr), last));
            }
        }
    }
    // A transition over empty frames would show black in its middle: the later clip
    // moves back to meet the earlier, unless another clip of its track is between.
    QList<QPair<SourceItem *, int64_t>> moves;
    for (const auto &pair : pairs) {
        if (!pair.first || !pair.second)
            continue;
        const int64_t meet = pair.first->end();
        if (pair.second->start() <= meet)
            continue;
        for (SourceItem *other : pair.second->track->clips())
            if (other != pair.second && other->start() < pair.second->start() &&
                other->end() > meet) {
                say(why, QStringLiteral("another clip lies between the clips to join"));
                return false;
            }
        moves << qMakePair(pair.second, meet);
    }
    zua::MergeSequence sequence("AddTransition");
    for (const auto &move : moves) {
        SourceItem *clip = move.first;
        clip->setValue(
            "source",
            SourceData::sourceValue(clip->track, move.second, clip->duration(), clip->offset()),
            true, true);
    }
    for (const auto &pair : pairs) {
        TransItem *existing = pair.first ? m_model->transitionAt(pair.first, false) : nullptr;
        if (!existing && pair.second)
            existing = m_model->transitionAt(pair.second, true);
        if (existing) {
            existing->data()->name = name;
            existing->setValue("trans", existing->transValue(), true, true);
        } else {
            m_model->addTransition(name, pair.first, pair.second, 2000, 5, true);
        }
    }
    return true;
}

void TimelineEditor::restack(SourceItem *clip, bool up, int64_t f)
{
    if (!clip || !timeline::hasMask(clip->kind, timeline::kVisualMask) || !m_model)
        return;
    auto family = [](uint32_t kind) { return kind == CT_SUBTITLE ? 1 : 0; };
    auto centred = [](const SourceItem *c) {
        const QRectF r = c->previewRect;
        return QRectF(r.x() - r.width() / 2, r.y() - r.height() / 2, r.width(), r.height());
    };
    int value = clip->stacking;
    for (SourceItem *other : m_model->clips()) {
        const bool plays = f >= other->start() && f < other->start() + other->duration();
        if (other == clip || !plays || family(other->kind) != family(clip->kind) ||
            !timeline::hasMask(other->kind, timeline::kVisualMask) ||
            !centred(other).intersects(centred(clip)))
            continue;
        value = up ? std::max(value, other->stacking) : std::min(value, other->stacking);
    }
    value += up ? 1 : -1;
    clip->setValue("zValue", bg::Value(int32_t(value)), true, true);
}
