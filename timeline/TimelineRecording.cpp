// The timeline's side of a voice-over: the dub track it goes on, the red bar that
// grows with the playhead, and the dub clip made from the finished recording. The
// track it may add and the clip form one undoable step.

#include "TimeLineGraphicsView.h"
#include "TimelineTypes.h"

#include "common/MessageBox.h"
#include "common/QssManager.h"
#include "common/Translate.h"
#include "undo/UndoController.h"

#include <QScrollBar>

#include <algorithm>

QRectF TimeLineGraphicsView::recordingBar() const
{
    if (!m_recording)
        return QRectF();
    const double height = QssManager::screenScale() * timeline::rowHeight(CT_DUB);
    return QRectF(m_recordStartX, m_recordTrackY, std::max(0.0, m_playhead - m_recordStartX),
                  height);
}

void TimeLineGraphicsView::slot_audioSourceItem(bool start, const QString &path, bool error)
{
    if (start) {
        if (m_recording)
            return;
        zua::UndoController::instance()->beginMergeSequence("Record");
        m_recordingStep = true;
        m_recordStartX = m_playhead;
        m_recordTrackY = m_pickRecordingTrack ? m_pickRecordingTrack(playheadFrame()) : 0.0;
        m_recording = true;
        updateSceneWidth();
        viewport()->update();
        return;
    }
    const bool wasRecording = m_recording;
    m_recording = false;
    if (wasRecording && !path.isEmpty()) {
        bg::ValueMap request;
        request["path"] = bg::Value(path.toStdString());
        request["posY"] =
            bg::Value(int32_t(m_recordTrackY - verticalScrollBar()->value() +
                              QssManager::screenScale() * timeline::rowHeight(CT_DUB) / 2));
        request["posX"] = bg::Value(m_recordStartX);
        request["type"] = bg::Value(int32_t(CT_DUB));
        emit sig_createSourceItem(request, QColor(), QFont());
    }
    if (m_recordingStep) {
        m_recordingStep = false;
        zua::UndoController::instance()->endMergeSequence();
    }
    updateSceneWidth();
    viewport()->update();
    if (error)
        MessageBox::inform(window(), ZKEY("pre_form.RecordHint"), ZTR("pre_form.Recordcontent"),
                           ZKEY("pre_form.Ok"));
}
