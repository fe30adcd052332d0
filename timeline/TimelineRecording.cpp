// The timeline's side of a voice-over: the dub track it goes on, the red bar that
// grows with the playhead, and the dub clip made from the finished recording. The
// track it may add and the clip form one undoable step; edits made during the take
// are steps of their own (the track is then a step before them).

#include "TimeLineGraphicsView.h"
#include "TimelineTypes.h"

#include "common/MessageBox.h"
#include "common/QssManager.h"
#include "common/Translate.h"
#include "undo/UndoController.h"

#include <QScrollBar>
#include <QUndoStack>

#include <algorithm>

QRectF TimeLineGraphicsView::recordingBar() const
{
    if (!m_recording)
        return QRectF();
    const double height = QssManager::screenScale() * timeline::rowHeight(CT_DUB);
    return QRectF(m_recordStartX, recordRowY(), std::max(0.0, playhead() - m_recordStartX), height);
}

void TimeLineGraphicsView::slot_audioSourceItem(bool start, const QString &path, bool error)
{
    if (start) {
        if (m_recording)
            return;
        QUndoStack *history = zua::UndoController::instance()->stack();
        const int before = history->index();
        m_recordStartX = playhead();
        m_recordStartFrame = playheadFrame();
        {
            zua::MergeSequence track("Record");
            m_recordRow = m_pickRecordingTrack ? m_pickRecordingTrack(m_recordStartFrame) : -1;
        }
        m_recordHistoryIndex = history->index();
        m_recordTrackAdded = m_recordHistoryIndex != before;
        m_recording = true;
        updateSceneWidth();
        viewport()->update();
        return;
    }
    const bool wasRecording = m_recording;
    m_recording = false;
    if (wasRecording && !path.isEmpty()) {
        // Nothing done since the track was added: it is taken back and added again
        // with the clip, so that one undo removes both.
        QUndoStack *history = zua::UndoController::instance()->stack();
        const bool rejoin = m_recordTrackAdded && history->index() == m_recordHistoryIndex &&
                            history->count() == m_recordHistoryIndex;
        if (rejoin)
            history->undo();
        zua::MergeSequence step("Record");
        if (rejoin && m_pickRecordingTrack)
            m_recordRow = m_pickRecordingTrack(m_recordStartFrame);
        bg::ValueMap request;
        request["path"] = bg::Value(path.toStdString());
        request["posY"] =
            bg::Value(int32_t(recordRowY() - verticalScrollBar()->value() +
                              QssManager::screenScale() * timeline::rowHeight(CT_DUB) / 2));
        request["posX"] = bg::Value(m_recordStartX);
        request["type"] = bg::Value(int32_t(CT_DUB));
        emit sig_createSourceItem(request, QColor(), QFont());
    }
    updateSceneWidth();
    viewport()->update();
    if (error)
        MessageBox::inform(window(), ZKEY("pre_form.RecordHint"), ZTR("pre_form.Recordcontent"),
                           ZKEY("pre_form.Ok"));
}
