#pragma once
// The timeline's graphics scene: holds the clip and transition items and carries
// their requests to the rest of the editor (property panels, playhead).
// Lives on: main thread.

#include "bridge/Value.h"
#include "common/MenuType.h"

#include <QGraphicsScene>
#include <QPointer>
#include <QVector>

#include <functional>
#include <optional>

Q_DECLARE_METATYPE(bg::ValueMap)

class SourceAnchor;
class SourceItem;
class TimelineDocument;

// Lives on: main thread. Also carries out the mouse edits of clips: moving (with
// snapping while auto-align is on) and trimming with the handles.
class TimeLineGraphicsScene : public QGraphicsScene {
    Q_OBJECT
public:
    explicit TimeLineGraphicsScene(QObject *parent = nullptr);

    void setModel(TimelineDocument *model) { m_model = model; }
    void setAutoAlign(bool on) { m_autoAlign = on; }
    bool autoAlign() const { return m_autoAlign; }
    // The view's horizontal scale (view pixels per scene unit), for the snap threshold.
    void setViewScale(double scale) { m_viewScale = scale; }
    // Frame where the snap line is drawn, or -1 when hidden.
    int64_t snapFrame() const { return m_snapFrame; }
    // Where a clip's start at scene x snaps to while auto-align is on: the nearest
    // clip edge, the playhead or 0 within five view pixels; none when off or far
    // from all. Clips `skip` answers true for (the ones being moved) do not count.
    std::optional<double>
    snapTarget(double x, const std::function<bool(const SourceItem *)> &skip = {}) const;

    void slot_pressItems(const QPointF &pos);
    void slot_moveItems(const QPointF &pos);
    void slot_releaseItems(const QPointF &pos);

    // A clip or transition (`item`) asks for its property panel; it becomes the
    // panel item. A repeated single click on the panel item with nothing new to
    // show, and a refresh (clicks -1) for another item, are dropped.
    void showMenu(QObject *item, int menuType, int clicks, const bg::ValueMap &values);
    // The panel item's values changed (an edit, undo or redo): its panel refills.
    void refreshMenu(QObject *item, int menuType, const bg::ValueMap &values);
    QObject *panelItem() const { return m_panelItem; }
    // A property edit from a panel, for the panel item: types 0 to 4 to its clip,
    // 5 to its transition.
    void slot_updateData(int menuType, const bg::ValueMap &values, const std::string &key);
    // Forgets the panel item and turns the panel face back to the library.
    void slot_closeMenu();
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

    TimelineDocument *m_model = nullptr;
    QPointer<QObject> m_panelItem; // the clip or transition whose panel shows
    int m_panelClicks = 0;         // the click count it was shown with
    bg::ValueMap m_panelValues;    // and the values last shown
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
