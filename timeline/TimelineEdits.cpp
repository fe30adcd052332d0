// Edits of the timeline view (split, delete, clear, restack: the selection is
// checked and the user told first, the editor changes the model) and the still
// preview of the frame at the playhead.

#include "SourceItem.h"
#include "TimeLineGraphicsScene.h"
#include "TimeLineGraphicsView.h"
#include "TimelineDocument.h"
#include "TimelineEditor.h"
#include "TimelinePublisher.h"

#include "common/MessageBox.h"
#include "common/Translate.h"

#include <QKeyEvent>

namespace {

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
    TimelineEditor(m_model).requestSplit(clip, f);
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
    TimelineEditor(m_model).requestRemove(clips, "remove sourceItems");
    updateSceneWidth();
    requestFrame(EDIT_NONE); // the preview drops what was removed
}

void TimeLineGraphicsView::clear()
{
    const QList<SourceItem *> clips = m_model ? m_model->clips() : QList<SourceItem *>();
    if (clips.isEmpty()) {
        tell(ZKEY("timeline-manage.AlreadyClear"));
        return;
    }
    emit sig_opertorUi(false, true);
    TimelineEditor(m_model).requestRemove(clips, "clear sourceItems");
    updateSceneWidth();
    requestFrame(EDIT_NONE); // the preview drops what was removed
}

void TimeLineGraphicsView::restack(SourceItem *clip, bool up)
{
    if (!clip || !timeline::hasMask(clip->kind, timeline::kVisualMask) || !m_model)
        return;
    TimelineEditor(m_model).restack(clip, up, playheadFrame());
    requestFrame(EDIT_NONE); // the preview shows the new order
}

void TimeLineGraphicsView::requestFrame(EditType edit)
{
    const int64_t f = playheadFrame();
    emit sig_splitButtonEnable(canSplit());
    // Playback and export evaluate their frames themselves; this is the still
    // preview (and a recording's, which plays no sound).
    if (edit == EDIT_PLAY || edit == EDIT_EXPORT || !m_model)
        return;
    const TimelineState timeline = m_model->publisher()->feed()->fresh();
    QList<TrackFrame> tracks = timeline->frameAt(f);
    for (TrackFrame &track : tracks)
        track.frame = f;
    emit sig_trackFrames(tracks);
}

void TimeLineGraphicsView::slot_selectionChanged()
{
    int selected = 0;
    for (QGraphicsItem *item : scene()->selectedItems())
        selected += item->type() == SourceItem::Type;
    emit sig_editButtonEnable(selected == 1);
    emit sig_splitButtonEnable(canSplit());
}
