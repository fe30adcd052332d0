#include "TimelineEditor.h"

#include "ClassifyItem.h"
#include "SourceItem.h"
#include "TimeLineTreeModel.h"
#include "TimelineEvaluator.h"
#include "TransItem.h"

#include "undo/UndoController.h"

#include <QGraphicsScene>

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
        if (other == clip || !TimelineEvaluator::covers(other, f) ||
            family(other->kind) != family(clip->kind) ||
            !timeline::hasMask(other->kind, timeline::kVisualMask) ||
            !centred(other).intersects(centred(clip)))
            continue;
        value = up ? std::max(value, other->stacking) : std::min(value, other->stacking);
    }
    value += up ? 1 : -1;
    clip->setValue("zValue", bg::Value(int32_t(value)), true, true);
}
