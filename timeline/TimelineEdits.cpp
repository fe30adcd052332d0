// Edits of the timeline view (split, delete, clear) and the answers to frame
// requests: what each visual track shows and which clips sound at a frame.

#include "ClassifyItem.h"
#include "SourceItem.h"
#include "TimeLineGraphicsScene.h"
#include "TimeLineGraphicsView.h"
#include "TimeLineTreeModel.h"
#include "TimelineEvaluator.h"
#include "TransItem.h"

#include "common/MessageBox.h"
#include "common/Translate.h"
#include "undo/UndoController.h"

#include <QKeyEvent>
#include <QSet>

#include <cmath>

namespace {

bg::Value colArg(int col)
{
    return bg::Value(bg::ValueMap{{"col", bg::Value(int32_t(col))}});
}

void tell(const QString &textKey)
{
    MessageBox::inform(nullptr, ZKEY("timeline-manage.Hint"), zuaTranslate(textKey),
                       ZKEY("timeline-manage.Ok"));
}

} // namespace

bool TimeLineGraphicsView::canSplit() const
{
    int meeting = 0;
    for (QGraphicsItem *item : scene()->selectedItems())
        if (item->type() == SourceItem::Type) {
            auto *clip = static_cast<SourceItem *>(item);
            meeting += clip->start() < playheadFrame() &&
                       playheadFrame() < clip->start() + clip->duration();
        }
    return meeting == 1;
}

bool TimeLineGraphicsView::split()
{
    const int64_t f = playheadFrame();
    SourceItem *clip = nullptr;
    for (QGraphicsItem *item : scene()->selectedItems())
        if (item->type() == SourceItem::Type) {
            auto *c = static_cast<SourceItem *>(item);
            if (c->start() < f && f < c->start() + c->duration()) {
                clip = c;
                break;
            }
        }
    if (!clip || !m_model)
        return false;
    emit sig_opertorUi(false, true);
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
    scene()->clearSelection();
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
    emit sig_splitButtonEnable(canSplit());
    return true;
}

void TimeLineGraphicsView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        QMetaObject::invokeMethod(this, "slot_removeSourceItem", Qt::QueuedConnection);
        event->accept();
        return;
    }
    QGraphicsView::keyPressEvent(event);
}

void TimeLineGraphicsView::removeSelected()
{
    QList<SourceItem *> clips;
    for (QGraphicsItem *item : scene()->selectedItems())
        if (item->type() == SourceItem::Type)
            clips << static_cast<SourceItem *>(item);
    if (clips.isEmpty()) {
        tell(ZKEY("timeline-manage.SelectClear"));
        return;
    }
    emit sig_opertorUi(false, true);
    {
        zua::MergeSequence sequence("remove sourceItems");
        for (SourceItem *clip : clips)
            zua::ZuObject::DelObject_canUndo(clip, colArg(clip->track->clips().indexOf(clip)));
        m_model->checkTransitions();
    }
    updateSceneWidth();
    requestFrame(30, EDIT_NONE); // the preview drops what was removed
}

void TimeLineGraphicsView::clear()
{
    const QList<SourceItem *> clips = m_model ? m_model->clips() : QList<SourceItem *>();
    if (clips.isEmpty()) {
        tell(ZKEY("timeline-manage.AlreadyClear"));
        return;
    }
    emit sig_opertorUi(false, true);
    {
        zua::MergeSequence sequence("clear sourceItems");
        for (SourceItem *clip : clips)
            zua::ZuObject::DelObject_canUndo(clip, colArg(clip->track->clips().indexOf(clip)));
        m_model->checkTransitions();
    }
    updateSceneWidth();
    requestFrame(30, EDIT_NONE); // the preview drops what was removed
}

void TimeLineGraphicsView::restack(SourceItem *clip, bool up)
{
    if (!clip || !timeline::hasMask(clip->kind, timeline::kVisualMask) || !m_model)
        return;
    auto family = [](uint32_t kind) { return kind == CT_SUBTITLE ? 1 : 0; };
    auto centred = [](const SourceItem *c) {
        const QRectF r = c->previewRect;
        return QRectF(r.x() - r.width() / 2, r.y() - r.height() / 2, r.width(), r.height());
    };
    const int64_t f = playheadFrame();
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
    requestFrame(30, EDIT_NONE); // the preview shows the new order
}

QList<TrackFrame> TimeLineGraphicsView::frameAt(int64_t frame) const
{
    return TimelineEvaluator(m_model).frameAt(frame);
}

QList<AudioFrameData> TimeLineGraphicsView::audioAt(int64_t frame, int64_t fps) const
{
    return TimelineEvaluator(m_model).audioAt(frame, fps);
}

void TimeLineGraphicsView::requestFrame(int64_t fps, EditType edit)
{
    const int64_t f = playheadFrame();
    emit sig_splitButtonEnable(canSplit());
    emit sig_trackFrames(frameAt(f));
    if (edit != EDIT_NONE && edit != EDIT_RECORD) {
        const int64_t last = int64_t(m_total / 50.0) - 1;
        emit sig_audioFrames(audioAt(f, fps), f, fps, last, edit);
    }
}

void TimeLineGraphicsView::slot_selectionChanged()
{
    int selected = 0;
    for (QGraphicsItem *item : scene()->selectedItems())
        selected += item->type() == SourceItem::Type;
    emit sig_editButtonEnable(selected == 1);
    emit sig_splitButtonEnable(canSplit());
}
