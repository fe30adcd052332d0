#include "TimeLineTreeView.h"

#include "ClassifyItem.h"
#include "ClassifyItemDelegate.h"
#include "SourceItem.h"
#include "TimeLineGraphicsView.h"
#include "TimelineDocument.h"
#include "TrackRows.h"
#include "TrackTreeModel.h"
#include "common/QssManager.h"

#include <QGraphicsScene>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

TimeLineTreeView::TimeLineTreeView(TimelineDocument *model, TimeLineGraphicsView *clips,
                                   QWidget *parent)
    : QTreeView(parent), m_model(model), m_clips(clips), m_delegate(new ClassifyItemDelegate(this))
{
    setModel(model->trackTree());
    setItemDelegate(m_delegate);
    setHeaderHidden(true);
    setExpandsOnDoubleClick(false);
    setMouseTracking(true);
    setIndentation(0);
    setRootIsDecorated(false);
    setFocusPolicy(Qt::NoFocus);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    expandAll();
    connect(this, &QTreeView::expanded, this, &TimeLineTreeView::slot_sceneHeight);
    connect(this, &QTreeView::collapsed, this, &TimeLineTreeView::slot_sceneHeight);
    connect(model, &TimelineDocument::sig_opertorUi, this, &TimeLineTreeView::sig_opertorUi);
    // A track added to a group shows it expanded; removals close up the rows.
    TrackTreeModel *rows = model->trackTree();
    connect(rows, &TrackTreeModel::sig_expandGroup, this, [this](const QModelIndex &group) {
        expand(group);
        slot_sceneHeight(group);
    });
    connect(rows, &QAbstractItemModel::rowsRemoved, this, [this] { slot_sceneHeight(); });
    connect(rows, &QAbstractItemModel::modelReset, this, [this] {
        expandAll();
        slot_sceneHeight();
    });
}

void TimeLineTreeView::slot_sceneHeight(const QModelIndex &)
{
    const double s = QssManager::screenScale();
    double height = 0;
    ClassifyItem *root = m_model->root();
    for (int g = 0; g < root->childCount(); ++g) {
        ClassifyItem *group = root->child(g);
        const bool open = isExpanded(m_model->trackTree()->indexOf(group));
        group->setExpanded(open);
        const double row = timeline::rowHeight(group->kind) * s;
        height += row * (open ? group->childCount() + 1 : 1);
    }
    for (int g = 0; g < root->childCount(); ++g) {
        ClassifyItem *group = root->child(g);
        for (SourceItem *clip : group->clips()) {
            clip->setVisible(true);
            clip->followRecord();
        }
        for (int t = 0; t < group->childCount(); ++t)
            for (SourceItem *clip : group->child(t)->clips()) {
                clip->setVisible(group->expanded());
                if (group->expanded())
                    clip->followRecord();
            }
    }
    if (QGraphicsScene *scene = m_model->scene()) {
        QRectF rect = scene->sceneRect();
        rect.setHeight(height - m_clips->horizontalScrollBar()->height());
        scene->setSceneRect(rect);
    }
    m_clips->viewport()->update();
    viewport()->update();
}

void TimeLineTreeView::slot_createSourceItem(const bg::ValueMap &request, const QColor &color,
                                             const QFont &font)
{
    const double y = request.at("posY").toInt32() + m_clips->verticalScrollBar()->value();
    SourceItem *clip = m_model->createFromDrop(request, trackrows::at(*m_model, y), color, font);
    // A voice-over moves the playhead to its end, ready to record the next one.
    if (clip && clip->kind == CT_DUB)
        m_clips->slot_resetFrame(clip->start() + clip->duration(), EDIT_NONE, true);
}

int TimeLineTreeView::recordingRow(int64_t frame)
{
    ClassifyItem *dub = m_model->group(CT_DUB);
    if (!dub || dub->isFree(frame))
        return -1;
    for (int t = 0; t < dub->childCount(); ++t)
        if (dub->child(t)->isFree(frame))
            return t;
    const int tracks = dub->childCount();
    m_model->insertTrack(dub, tracks, true);
    return tracks;
}

double TimeLineTreeView::dubRowY(int row) const
{
    ClassifyItem *dub = m_model->group(CT_DUB);
    if (!dub)
        return 0;
    if (row >= 0 && row < dub->childCount())
        return trackrows::top(dub->child(row));
    // A track just added may not have its place yet: below the group's row.
    return trackrows::top(dub) + (row + 1) * trackrows::height(dub);
}

void TimeLineTreeView::resetTracks()
{
    // A reset comes with a new or opened project, which also resets the history.
    m_model->clearAll();
    slot_sceneHeight();
}

void TimeLineTreeView::mouseMoveEvent(QMouseEvent *event)
{
    m_delegate->setMousePos(event->pos());
    // Repaint only when the pointer enters or leaves an add/remove button.
    const QRect row = visualRect(indexAt(event->pos()));
    const QRect button = row.isValid() ? ClassifyItemDelegate::buttonRect(row) : QRect();
    const QRect hovered = button.contains(event->pos()) ? button : QRect();
    if (hovered != m_hoveredButton) {
        viewport()->update(m_hoveredButton.united(hovered));
        m_hoveredButton = hovered;
    }
    QTreeView::mouseMoveEvent(event);
}

void TimeLineTreeView::leaveEvent(QEvent *event)
{
    m_delegate->setMousePos(QPoint(-1, -1));
    viewport()->update(m_hoveredButton);
    m_hoveredButton = QRect();
    QTreeView::leaveEvent(event);
}

void TimeLineTreeView::paintEvent(QPaintEvent *event)
{
    QTreeView::paintEvent(event);
    m_clips->viewport()->update();
    // The same row lines as the clip area.
    QPainter painter(viewport());
    painter.setPen(QColor("#F1F1F1"));
    const double s = QssManager::screenScale();
    double y = -verticalScrollBar()->value();
    painter.drawLine(QPointF(0, y), QPointF(width(), y));
    ClassifyItem *root = m_model->root();
    for (int g = 0; g < root->childCount(); ++g) {
        ClassifyItem *group = root->child(g);
        if (group->kind == CT_NONE)
            break;
        const double row = timeline::rowHeight(group->kind) * s;
        const int rows = group->expanded() ? group->childCount() + 1 : 1;
        for (int r = 0; r < rows; ++r) {
            y += row;
            painter.drawLine(QPointF(0, y), QPointF(width(), y));
        }
    }
}
