#include "TimeLineGraphicsScene.h"

#include "ClassifyItem.h"
#include "SourceAnchor.h"
#include "SourceItem.h"
#include "TimeLineGraphicsView.h"
#include "TimelineDocument.h"
#include "TimelineEditor.h"
#include "TrackRows.h"
#include "TransItem.h"

#include "undo/UndoController.h"

#include "bridge/Logger.h"

#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QScopedValueRollback>
#include <QSet>
#include <QUndoStack>

#include <algorithm>
#include <cmath>
#include <tuple>

TimeLineGraphicsScene::TimeLineGraphicsScene(QObject *parent) : QGraphicsScene(parent)
{
    qRegisterMetaType<bg::ValueMap>("bg::ValueMap");
    qRegisterMetaType<int64_t>("int64_t");
    connect(zua::UndoController::instance()->stack(), &QUndoStack::indexChanged, this, [this] {
        if (!m_committing)
            cancelGesture();
    });
}

bool TimeLineGraphicsScene::isGripped(const SourceItem *clip) const
{
    return std::any_of(m_grips.begin(), m_grips.end(),
                       [clip](const Grip &g) { return g.clip == clip; });
}

void TimeLineGraphicsScene::cancelGesture()
{
    if (!m_pressed && m_grips.isEmpty() && !m_trimmed)
        return;
    if (m_moved) {
        for (const Grip &grip : qAsConst(m_grips))
            if (grip.clip)
                grip.clip->followRecord();
        if (m_trimmed)
            m_trimmed->followRecord();
    }
    m_grips.clear();
    m_trimmed = nullptr;
    m_pressed = m_moved = false;
    m_snapFrame = -1;
    if (QGraphicsItem *grabber = mouseGrabberItem())
        grabber->ungrabMouse();
    update();
}

void TimeLineGraphicsScene::showMenu(QObject *item, int menuType, int clicks,
                                     const bg::ValueMap &values)
{
    const bool same = item && item == m_panelItem;
    // A press on the item already shown (the start of a drag, say) has nothing new.
    if (clicks == 1 && same && m_panelClicks >= 1 && values == m_panelValues)
        return;
    if (clicks == -1 && !same)
        return;
    if (clicks != -1) {
        m_panelItem = item;
        m_panelClicks = clicks;
    }
    m_panelValues = values;
    emit sig_showMenu(menuType, clicks, values);
}

void TimeLineGraphicsScene::refreshMenu(QObject *item, int menuType, const bg::ValueMap &values)
{
    if (item && item == m_panelItem) {
        m_panelValues = values;
        emit sig_showMenu(menuType, -1, values);
    }
}

void TimeLineGraphicsScene::slot_closeMenu()
{
    m_panelItem = nullptr;
    m_panelClicks = 0;
    m_panelValues.clear();
    emit sig_showMenu(0, 0, bg::ValueMap());
}

void TimeLineGraphicsScene::slot_updateData(int menuType, const bg::ValueMap &values,
                                            const std::string &key)
{
    if (menuType == MENU_TRANSITION) {
        if (auto *transition = qobject_cast<TransItem *>(m_panelItem.data()))
            transition->applyPanelEdit(values);
    } else if (auto *clip = qobject_cast<SourceItem *>(m_panelItem.data())) {
        // The stand-alone crop page edits a picture's or video's crop too.
        const bool crop = menuType == MENU_CROP &&
                          (clip->menuType() == MENU_VIDEO || clip->menuType() == MENU_PICTURE);
        if (clip->menuType() == menuType || crop)
            clip->applyPanelEdit(values, key);
    }
}

void TimeLineGraphicsScene::seek(int64_t frame)
{
    emit sig_seek(frame, 0, true);
}

void TimeLineGraphicsScene::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    QGraphicsScene::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        slot_pressItems(event->scenePos());
}

void TimeLineGraphicsScene::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    // Clips are moved here, not by the items' own dragging.
    if (m_pressed)
        slot_moveItems(event->scenePos());
    else
        QGraphicsScene::mouseMoveEvent(event);
}

void TimeLineGraphicsScene::mouseReleaseEvent(QGraphicsSceneMouseEvent *event)
{
    QGraphicsScene::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    // After the default handling has finished.
    const QPointF pos = event->scenePos();
    QMetaObject::invokeMethod(
        this, [this, pos] { slot_releaseItems(pos); }, Qt::QueuedConnection);
}

void TimeLineGraphicsScene::slot_pressItems(const QPointF &pos)
{
    m_grips.clear();
    m_trimmed = nullptr;
    const QTransform view = views().isEmpty() ? QTransform() : views().first()->transform();
    QGraphicsItem *hit = itemAt(pos, view);
    if (!hit) {
        slot_closeMenu();
        return;
    }
    if (hit->type() == SourceAnchor::Type) {
        auto *handle = static_cast<SourceAnchor *>(hit);
        m_trimmed = static_cast<SourceItem *>(handle->parentItem());
        m_trimRight = handle->side() != SourceAnchor::Left;
        m_handleOffset = pos.x() - handle->scenePos().x();
    } else {
        for (QGraphicsItem *item : selectedItems())
            if (item->type() == SourceItem::Type)
                m_grips.append({static_cast<SourceItem *>(item), pos - item->pos()});
    }
    m_pressed = true;
    m_moved = false;
}

void TimeLineGraphicsScene::slot_moveItems(const QPointF &pos)
{
    if (!m_pressed)
        return;
    m_moved = true;
    if (m_trimmed) {
        SourceItem *clip = m_trimmed;
        const int64_t at = timeline::toFrames(std::max(0.0, pos.x() - m_handleOffset));
        // A clip never reaches before the start or past the end of its material, and
        // keeps at least one frame.
        const int64_t start = clip->start(), end = clip->end(), offset = clip->offset();
        if (!m_trimRight) {
            // Pictures and subtitles have no in-point: their left edge goes back freely
            // (to the timeline's start); media stops at its first frame.
            const bool unbounded = clip->fullLength >= timeline::kUnboundedFrames;
            const int64_t earliest = unbounded ? 0 : std::max<int64_t>(0, start - offset);
            const int64_t newStart = std::clamp(at, earliest, end - 1);
            clip->showSpan(newStart, end - newStart, unbounded ? 0 : offset + (newStart - start));
        } else {
            const int64_t latest = start + clip->fullLength - offset;
            clip->showSpan(start, std::clamp(at, start + 1, latest) - start, offset);
        }
        return;
    }
    for (const Grip &grip : qAsConst(m_grips)) {
        SourceItem *clip = grip.clip;
        if (!clip)
            continue;
        ClassifyItem *group = clip->track ? clip->track->group() : nullptr;
        const double x =
            timeline::toScene(timeline::toFrames(std::max(0.0, pos.x() - grip.offset.x())));
        double y = pos.y() - grip.offset.y();
        if (group) {
            const double top = trackrows::top(group);
            y = std::clamp(y, top, top + group->childCount() * trackrows::height(group));
        }
        clip->showMovedTo(QPointF(x, y));
    }
    m_snapFrame = -1;
    if (m_autoAlign)
        for (Grip &grip : m_grips) {
            if (grip.clip)
                snap(grip);
            if (m_snapFrame >= 0)
                break;
        }
    update();
}

std::optional<double>
TimeLineGraphicsScene::snapTarget(double x,
                                  const std::function<bool(const SourceItem *)> &skip) const
{
    if (!m_autoAlign)
        return std::nullopt;
    const double threshold = 5.0 / (m_viewScale > 0 ? m_viewScale : 1.0);
    std::optional<double> best;
    double distance = threshold;
    auto consider = [&](double target) {
        if (std::abs(target - x) <= distance) {
            distance = std::abs(target - x);
            best = target;
        }
    };
    consider(0);
    // The playhead as the view holds it, read only when something snaps.
    for (QGraphicsView *view : views())
        if (auto *timelineView = qobject_cast<TimeLineGraphicsView *>(view))
            consider(timelineView->playhead());
    const QRectF band(x - threshold, sceneRect().top(), 2 * threshold, sceneRect().height());
    for (QGraphicsItem *item : items(band, Qt::IntersectsItemShape, Qt::AscendingOrder)) {
        if (item->type() != SourceItem::Type)
            continue;
        auto *other = static_cast<SourceItem *>(item);
        if (!other->isVisible() || (skip && skip(other)))
            continue;
        consider(timeline::toScene(other->start()));
        consider(timeline::toScene(other->end()));
    }
    return best;
}

void TimeLineGraphicsScene::snap(Grip &grip)
{
    SourceItem *clip = grip.clip;
    const double x = clip->pos().x();
    const std::optional<double> target =
        snapTarget(x, [this](const SourceItem *other) { return isGripped(other); });
    if (!target)
        return;
    grip.offset.rx() += x - *target; // the pointer keeps its grip
    clip->showMovedTo(QPointF(*target, clip->pos().y()));
    m_snapFrame = timeline::toFrames(*target);
}

void TimeLineGraphicsScene::slot_releaseItems(const QPointF &)
{
    const bool moved = m_moved && m_pressed;
    m_pressed = m_moved = false;
    const QPointer<SourceItem> trimmed = m_trimmed;
    const QVector<Grip> grips = m_grips;
    m_trimmed = nullptr;
    m_grips.clear();
    m_snapFrame = -1;
    if (!moved || !m_model)
        return;
    // Where each held clip ends up, asked of the document as one edit; a clip back
    // on its own frame and track (a jittery click) changes nothing.
    QVector<SourceItem *> held;
    if (trimmed)
        held.append(trimmed);
    for (const Grip &grip : grips)
        if (grip.clip)
            held.append(grip.clip);
    const auto placeOf = [](const SourceItem *clip) {
        return std::make_tuple(static_cast<const void *>(clip->track), clip->start(),
                               clip->duration(), clip->offset());
    };
    QVector<decltype(placeOf(nullptr))> before;
    for (const SourceItem *clip : qAsConst(held))
        before.append(placeOf(clip));
    QString why;
    {
        QScopedValueRollback<bool> committing(m_committing, true);
        if (trimmed) {
            const int64_t start = trimmed->shownStart(), duration = trimmed->shownDuration(),
                          offset = trimmed->shownOffset();
            trimmed->followRecord();
            TimelineEditor(m_model).requestTrim(trimmed, start, duration, offset, &why);
        } else {
            QVector<TimelineEditor::Move> moves;
            for (const Grip &grip : grips) {
                SourceItem *clip = grip.clip;
                ClassifyItem *group = clip && clip->track ? clip->track->group() : nullptr;
                if (!group)
                    continue;
                const double row = trackrows::height(group);
                const int index =
                    std::clamp(int(std::lround((clip->pos().y() - trackrows::top(group)) / row)), 0,
                               group->childCount());
                ClassifyItem *track = index == 0 ? group : group->child(index - 1);
                moves.append({clip, track, timeline::toFrames(clip->pos().x())});
                clip->followRecord();
            }
            TimelineEditor(m_model).requestMove(moves, &why);
        }
    }
    if (!why.isEmpty())
        BG_LOG_W("clip not moved: %s", qUtf8Printable(why));
    bool changed = false;
    for (int i = 0; i < held.size(); ++i)
        changed = changed || placeOf(held[i]) != before[i];
    if (changed)
        emit sig_edited();
    update();
}
