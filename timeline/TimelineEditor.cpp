#include "TimelineEditor.h"

#include "ClassifyItem.h"
#include "SourceItem.h"
#include "TimelineDocument.h"
#include "TransItem.h"

#include "undo/UndoController.h"

#include <QGraphicsScene>
#include <QMap>

#include <algorithm>

namespace {

bg::Value colArg(int col)
{
    return bg::Value(bg::ValueMap{{"col", bg::Value(int32_t(col))}});
}

} // namespace

SourceItem *TimelineEditor::split(SourceItem *clip, int64_t f)
{
    if (!clip || !m_model || !(clip->start() < f && f < clip->start() + clip->duration()))
        return nullptr;
    ClassifyItem *track = clip->track;
    TransItem *tail = nullptr;
    for (TransItem *t : m_model->transitions())
        if (t->data()->from == clip)
            tail = t;

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
    right->width = clip->width - (timeline::toScene(f) - timeline::toScene(clip->start()));
    right->offsetX = clip->offsetX + timeline::toScene(f - clip->start());
    right->loadThumbnail();
    right->placeAt(timeline::toScene(f));
    if (m_model->scene())
        m_model->scene()->clearSelection();
    zua::ZuObject::AddObject_canUndo(right, colArg(0));
    right->publishValues();
    right->setSelected(true);
    clip->setValue("source",
                   clip->sourceValue(track, clip->sceneX(), timeline::toScene(f) - clip->sceneX(),
                                     clip->offsetX),
                   true, true);
    if (tail) {
        const QString name = tail->data()->name;
        const int64_t duration = tail->data()->durationMs;
        const int ratio = tail->data()->ratio;
        SourceItem *to = tail->data()->to;
        if (to)
            m_model->checkTransitions();
        else
            m_model->removeTransition(tail, true);
        m_model->addTransition(name, right, to, duration, ratio, true);
    }
    return right;
}

void TimelineEditor::remove(const QList<SourceItem *> &clips, const char *sequenceName)
{
    if (!m_model || clips.isEmpty())
        return;
    zua::MergeSequence sequence(sequenceName);
    for (SourceItem *clip : clips)
        zua::ZuObject::DelObject_canUndo(clip, colArg(clip->track->clips().indexOf(clip)));
    m_model->checkTransitions();
}

bool TimelineEditor::joinWithTransition(const QString &name, const QList<SourceItem *> &clips,
                                        double bandCentreX)
{
    if (!m_model)
        return true;
    QMap<ClassifyItem *, QList<SourceItem *>> byTrack;
    for (SourceItem *clip : clips)
        byTrack[clip->track] << clip;
    if (byTrack.isEmpty())
        return true;
    auto byStart = [](SourceItem *a, SourceItem *b) { return a->sceneX() < b->sceneX(); };
    QList<QPair<SourceItem *, SourceItem *>> pairs;
    const bool oneEach = byTrack.size() > 1 &&
                         std::all_of(byTrack.begin(), byTrack.end(),
                                     [](const QList<SourceItem *> &l) { return l.size() == 1; });
    if (oneEach) {
        QList<SourceItem *> all;
        for (const auto &l : byTrack)
            all += l;
        std::sort(all.begin(), all.end(), byStart);
        if (all.last()->sceneX() >= all.first()->sceneX() + all.first()->width)
            pairs << qMakePair(all.first(), all.last());
    } else {
        for (QList<SourceItem *> list : byTrack) {
            std::sort(list.begin(), list.end(), byStart);
            int i = 0;
            for (; i + 1 < list.size(); i += 2)
                pairs << qMakePair(list[i], list[i + 1]);
            if (i < list.size()) {
                SourceItem *last = list[i];
                const bool tail = last->sceneX() + last->width / 2 <= bandCentreX;
                pairs << (tail ? qMakePair(last, static_cast<SourceItem *>(nullptr))
                               : qMakePair(static_cast<SourceItem *>(nullptr), last));
            }
        }
    }
    // A transition over empty frames would show black in its middle: the later clip
    // moves back to meet the earlier, unless another clip of its track is between.
    QList<QPair<SourceItem *, double>> moves;
    for (const auto &pair : pairs) {
        if (!pair.first || !pair.second)
            continue;
        const double meet = pair.first->sceneX() + pair.first->width;
        if (timeline::toFrames(pair.second->sceneX() - meet) <= 0)
            continue;
        for (SourceItem *other : pair.second->track->clips())
            if (other != pair.second && other->sceneX() < pair.second->sceneX() &&
                other->sceneX() + other->width > meet)
                return false;
        moves << qMakePair(pair.second, meet);
    }
    zua::MergeSequence sequence("AddTransition");
    for (const auto &move : moves) {
        SourceItem *clip = move.first;
        clip->setValue("source",
                       clip->sourceValue(clip->track, move.second, clip->width, clip->offsetX),
                       true, true);
    }
    for (const auto &pair : pairs) {
        TransItem *existing = nullptr;
        for (TransItem *t : m_model->transitions())
            if ((pair.first && t->data()->from == pair.first) ||
                (pair.second && t->data()->to == pair.second))
                existing = t;
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
