#pragma once
// Shows the timeline scene, zoomed horizontally in 25 fixed levels, with the
// playhead; moves the playhead on seeks and on frame requests from the player.
// Lives on: main thread.

#include "render/RenderTypes.h"

#include <QGraphicsView>

class TimeLineGraphicsScene;
class TimeLineTreeModel;

class TimeLineGraphicsView : public QGraphicsView {
    Q_OBJECT
public:
    static constexpr int kLevels = 24;
    static constexpr int kStartLevel = 12;
    static constexpr double kStartScale = 0.022518;

    TimeLineGraphicsView(TimeLineGraphicsScene *scene, TimeLineTreeModel *model,
                         QWidget *parent = nullptr);

    int zoomLevel() const { return m_level; }
    double horizontalScale() const { return transform().m11(); }
    void zoomIn();
    void zoomOut();
    void setZoomLevel(int level);

    // Playhead as a scene x (frames × 50) and as a frame.
    double playhead() const { return m_playhead; }
    int64_t playheadFrame() const { return int64_t(m_playhead / 50.0); }
    // Scene x of the right edge of all items; the scene keeps 100 view pixels more.
    double totalLength() const { return m_total; }
    void updateSceneWidth();

signals:
    void sig_scaleValue(int level, double scale, int scroll);
    void sig_moveValue(int scroll, double playhead);
    void sig_showTime(int64_t current, int64_t total);
    void sig_opertorUi(bool stopPlay, bool stopRecord);

public slots:
    void slot_scaleStepView(bool positive);
    void slot_resetFrame(int64_t pix, EditType edit, bool operate);
    void slot_frontFrameRequest(MoveType type, EditType edit, int64_t times, int64_t fps);
    void slot_backFrameRequest(MoveType type, EditType edit, int64_t times, int64_t fps);

protected:
    void wheelEvent(QWheelEvent *event) override;
    void drawBackground(QPainter *painter, const QRectF &rect) override;
    void drawForeground(QPainter *painter, const QRectF &rect) override;

private:
    void afterZoom();
    void keepPlayheadInSight(MoveType type);

    TimeLineTreeModel *m_model;
    int m_level = kStartLevel;
    double m_playhead = 0;
    double m_total = 0;
};
