#pragma once
// The timeline's graphics scene: holds the clip and transition items and carries
// their requests to the rest of the editor (property panels, playhead).
// Lives on: main thread.

#include "bridge/Value.h"

#include <QGraphicsScene>
#include <QPointer>
#include <QVector>

Q_DECLARE_METATYPE(bg::ValueMap)

// Which property panel to show; also the panel's page.
enum MenuType : int {
    MENU_PICTURE = 0,
    MENU_VIDEO = 1,
    MENU_DUB = 2,
    MENU_SUBTITLE = 3,
    MENU_MUSIC = 4,
    MENU_TRANSITION = 5,
    MENU_CROP = 6,
};

class SourceAnchor;
class SourceItem;
class TimeLineTreeModel;

// Lives on: main thread. Also carries out the mouse edits of clips: moving (with
// snapping while auto-align is on) and trimming with the handles.
class TimeLineGraphicsScene : public QGraphicsScene {
    Q_OBJECT
public:
    explicit TimeLineGraphicsScene(QObject *parent = nullptr);

    void setModel(TimeLineTreeModel *model) { m_model = model; }
    void setAutoAlign(bool on) { m_autoAlign = on; }
    bool autoAlign() const { return m_autoAlign; }
    // The view's horizontal scale (view pixels per scene unit), for the snap threshold.
    void setViewScale(double scale) { m_viewScale = scale; }
    // Frame where the snap line is drawn, or -1 when hidden.
    int64_t snapFrame() const { return m_snapFrame; }

    void slot_pressItems(const QPointF &pos);
    void slot_moveItems(const QPointF &pos);
    void slot_releaseItems(const QPointF &pos);

    // A clip or transition asks for its property panel.
    void showMenu(int menuType, int clicks, const bg::ValueMap &values);
    // A click asks the playhead to go to a frame (edit kind 0, from a user action).
    void seek(int64_t frame);

signals:
    void sig_showMenu(int menuType, int clicks, const bg::ValueMap &values);
    // An edit finished: the view repaints and asks for the frame at the playhead.
    void sig_edited();
    void sig_seek(int64_t frame, int editType, bool operate);
    // The timeline's length in scene units (for the ruler).
    void sig_limitPosX(double x);

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;

private:
    // A clip held by a move: guarded, since an undo may take it away mid-gesture.
    struct Grip {
        QPointer<SourceItem> clip;
        QPointF offset; // press point minus clip position
    };
    void snap(Grip &grip);
    bool isGripped(const SourceItem *clip) const;
    // Ends a move or trim without recording it: the clips go back to their stored
    // places. Runs on every change of the history, so that nothing recorded while a
    // gesture is held refers to clips an undo removed.
    void cancelGesture();

    TimeLineTreeModel *m_model = nullptr;
    QVector<Grip> m_grips;
    bool m_pressed = false;
    bool m_moved = false;
    bool m_committing = false;      // the release is recording its own step
    QPointer<SourceItem> m_trimmed; // the clip whose handle is dragged
    bool m_trimRight = false;
    double m_handleOffset = 0;
    bool m_autoAlign = false;
    double m_viewScale = 1.0;
    int64_t m_snapFrame = -1;
};
