#pragma once
// The track header column: a row per group and track with its name and add or
// remove button. Expanding or collapsing a group shows or hides its tracks here
// and in the clip view; it also places a dropped material on a track.
// Lives on: main thread.

#include "bridge/Value.h"

#include <QColor>
#include <QFont>
#include <QTreeView>

class ClassifyItemDelegate;
class TimeLineGraphicsView;
class TimelineDocument;

class TimeLineTreeView : public QTreeView {
    Q_OBJECT
public:
    TimeLineTreeView(TimelineDocument *model, TimeLineGraphicsView *clips,
                     QWidget *parent = nullptr);

    // The same choice as a row: -1 for the group's row, n for its n-th track.
    int recordingRow(int64_t frame);
    // Scene y of that dub row now (rows move when tracks are added above them).
    double dubRowY(int row) const;
    // Removes every clip and every added track (the groups stay).
    void resetTracks();

signals:
    void sig_opertorUi(bool stopPlay, bool stopRecord);

public slots:
    void slot_createSourceItem(const bg::ValueMap &request, const QColor &color, const QFont &font);
    // Re-reads every group's expansion and re-places the clips of all tracks.
    void slot_sceneHeight(const QModelIndex &index = QModelIndex());

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    TimelineDocument *m_model;
    TimeLineGraphicsView *m_clips;
    ClassifyItemDelegate *m_delegate;
    QRect m_hoveredButton; // the button under the pointer, if any
};
