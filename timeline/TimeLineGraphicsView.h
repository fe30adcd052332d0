#pragma once
// Shows the timeline scene, zoomed horizontally in 25 fixed levels, with the
// transport's playhead; turns clicks, frame steps and the recorder's ticks into
// seeks of the transport, and follows where playback is.
// Lives on: main thread.

#include "TimelineTypes.h"
#include "TransitionBand.h"
#include "bridge/Value.h"
#include "render/RenderTypes.h"

#include <QColor>
#include <QFont>
#include <QMap>
#include <QPointer>

#include <QGraphicsView>

#include <functional>

class ClassifyItem;
class SourceItem;
class TimeLineGraphicsScene;
class TimelineDocument;
class Transport;

class TimeLineGraphicsView : public QGraphicsView {
    Q_OBJECT
public:
    static constexpr int kLevels = 24;
    static constexpr int kStartLevel = 12;
    static constexpr double kStartScale = 0.022518;

    TimeLineGraphicsView(TimeLineGraphicsScene *scene, TimelineDocument *model,
                         QWidget *parent = nullptr);

    int zoomLevel() const { return m_level; }
    double horizontalScale() const { return transform().m11(); }
    void zoomIn();
    void zoomOut();
    void setZoomLevel(int level);

    // The transport whose playhead the view shows and moves: its own until the
    // editor's is set.
    void setTransport(Transport *transport);
    Transport *transport() const;
    // Playhead as a frame and as a scene x.
    int64_t playheadFrame() const;
    double playhead() const { return timeline::toScene(playheadFrame()); }
    // Scene x of the right edge of all items; the scene keeps 100 view pixels more.
    double totalLength() const { return m_total; }
    void updateSceneWidth();

    // ---- edits ----
    // Splits the first selected clip at the playhead; false when none meets it.
    bool split();
    bool canSplit() const;
    // Deletes the selected clips (and the transitions that lose a side) as one step.
    void removeSelected();
    // Removes every clip as one step; the tracks stay.
    void clear();
    // Puts a visual clip above (or below) every clip of its family that it overlaps
    // in the picture at the playhead, as one step.
    void restack(SourceItem *clip, bool up);

    // Makes the transition a drop asked for over the band around `scenePos`.
    void dropTransition(const QString &name, const QPointF &scenePos);
    // The drop band of a transition drag, empty when none is under way.
    QRectF transitionBand() const { return m_band.rect(); }

    // ---- voice-over ----
    // Picks (or makes, with undo) the dub row a recording from a frame goes on, and
    // gives a row's scene y now (the header view knows the tracks' rows).
    void setRecordingTrackPicker(std::function<int(int64_t frame)> picker,
                                 std::function<double(int row)> rowY)
    {
        m_pickRecordingTrack = std::move(picker);
        m_recordingRowY = std::move(rowY);
    }
    bool isRecording() const { return m_recording; }
    // The red bar of the recording under way, in scene coordinates.
    QRectF recordingBar() const;

signals:
    // A material was dropped: the header view picks the track and makes the clip.
    void sig_createSourceItem(const bg::ValueMap &request, const QColor &colour, const QFont &font);
    void sig_scaleValue(int level, double scale, int scroll);
    void sig_moveValue(int scroll, double playhead);
    void sig_showTime(int64_t current, int64_t total);
    void sig_opertorUi(bool stopPlay, bool stopRecord);
    void sig_splitButtonEnable(bool enabled);
    void sig_editButtonEnable(bool enabled);
    // The requests of one frame, for the preview items.
    void sig_trackFrames(const QList<TrackFrame> &frames);

public slots:
    // A seek from the ruler: scroll there and show frame `pix`.
    void slot_viewportRangeUpdate(int value, int64_t pix);
    void slot_scaleStepView(bool positive);
    void slot_resetFrame(int64_t pix, EditType edit, bool operate);
    void slot_frontFrameRequest(MoveType type, EditType edit, int64_t times);
    void slot_backFrameRequest(MoveType type, EditType edit, int64_t times);
    void slot_selectionChanged();
    void slot_removeSourceItem() { removeSelected(); }
    // A voice-over recording started at the playhead, or ended with its WAV file
    // (made into a dub clip where it was recorded) or with an error.
    void slot_audioSourceItem(bool start, const QString &path, bool error);

protected:
    void wheelEvent(QWheelEvent *event) override;
    // Delete removes the selected clips (queued, after the key's own handling).
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void drawBackground(QPainter *painter, const QRectF &rect) override;
    void drawForeground(QPainter *painter, const QRectF &rect) override;

private:
    bool m_frameRefreshQueued = false;
    void afterZoom();
    void keepPlayheadInSight(MoveType type);
    // The transport's playhead moved: repaints the strip it crossed; playback's
    // moves also keep it in sight (the player shows the frame's pictures itself).
    void followPlayhead(int64_t frame, bool byPlayer);
    // Sends what the timeline shows and plays at the playhead.
    void requestFrame(EditType edit);

    TimelineDocument *m_model;
    int m_level = kStartLevel;
    Transport *m_ownTransport; // a child, used until the editor's is set
    QPointer<Transport> m_transport;
    double m_shownPlayhead = 0; // scene x where the playhead was last drawn
    double m_total = 0;
    TransitionBand m_band;
    std::function<int(int64_t)> m_pickRecordingTrack;
    std::function<double(int)> m_recordingRowY;
    // The take's row; its y is asked each time, since edits during the take can move it.
    int m_recordRow = -1;
    double recordRowY() const { return m_recordingRowY ? m_recordingRowY(m_recordRow) : 0.0; }
    bool m_recording = false;
    // The take's start: whether it added a dub track (one undo step), and the history's
    // position after that step, to tell whether anything was done during the take.
    bool m_recordTrackAdded = false;
    int m_recordHistoryIndex = 0;
    int64_t m_recordStartFrame = 0;
    double m_recordStartX = 0;
};
