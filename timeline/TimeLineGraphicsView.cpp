#include "TimeLineGraphicsView.h"

#include "render/Transport.h"
#include "render/proxy/ProxyMaker.h"

#include "render/pictures/MaterialPictures.h"

#include "ClassifyItem.h"
#include "SourceItem.h"
#include "TimeLineGraphicsScene.h"
#include "TimelineDocument.h"
#include "TransItem.h"

#include "common/QssManager.h"

#include <QGraphicsItem>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

double zoomInFactor(int level)
{
    return level <= 7 ? 1.25 : level <= 15 ? 1.5625 : 2.0;
}

double zoomOutFactor(int level)
{
    return level <= 6 ? 0.8 : level <= 14 ? 0.64 : 0.5;
}

} // namespace

TimeLineGraphicsView::TimeLineGraphicsView(TimeLineGraphicsScene *scene, TimelineDocument *model,
                                           QWidget *parent)
    : QGraphicsView(scene, parent), m_model(model), m_ownTransport(new Transport(this))
{
    setTransport(nullptr);
    // Waveforms and filmstrips arrive from a worker: drawn as they come.
    connect(&MaterialPictures::instance(), &MaterialPictures::sig_ready, viewport(),
            qOverload<>(&QWidget::update));
    // Video clips show their proxy's progress.
    if (ProxyMaker *proxies = ProxyMaker::instance()) {
        connect(proxies, &ProxyMaker::sig_progress, viewport(), qOverload<>(&QWidget::update));
        connect(proxies, &ProxyMaker::sig_finished, viewport(), qOverload<>(&QWidget::update));
    }
    setTransform(QTransform::fromScale(kStartScale, 1.0));
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    setAcceptDrops(true);
    if (m_model)
        connect(m_model, &TimelineDocument::sig_timelineChanged, this, [this] {
            updateSceneWidth();
            // Undo, redo and loading change clips behind the view's back: the preview
            // shows the frame at the playhead again, once for a burst of changes.
            if (m_frameRefreshQueued)
                return;
            m_frameRefreshQueued = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_frameRefreshQueued = false;
                    requestFrame(EDIT_NONE);
                },
                Qt::QueuedConnection);
        });
    if (scene) {
        scene->setModel(m_model);
        if (m_model)
            m_model->attachScene(scene);
        scene->setViewScale(kStartScale);
        connect(scene, &TimeLineGraphicsScene::sig_edited, this, [this] {
            updateSceneWidth();
            viewport()->update();
            requestFrame(EDIT_NONE);
        });
        connect(scene, &QGraphicsScene::selectionChanged, this,
                &TimeLineGraphicsView::slot_selectionChanged);
        connect(scene, &TimeLineGraphicsScene::sig_seek, this,
                [this](int64_t frame, int edit, bool operate) {
                    slot_resetFrame(frame, EditType(edit), operate);
                });
    }
    updateSceneWidth();
}

void TimeLineGraphicsView::zoomIn()
{
    if (m_level <= 0)
        return;
    scale(zoomInFactor(m_level), 1.0);
    --m_level;
    afterZoom();
}

void TimeLineGraphicsView::zoomOut()
{
    if (m_level >= kLevels)
        return;
    scale(zoomOutFactor(m_level), 1.0);
    ++m_level;
    afterZoom();
}

void TimeLineGraphicsView::setZoomLevel(int level)
{
    level = std::clamp(level, 0, kLevels);
    while (m_level > level)
        zoomIn();
    while (m_level < level)
        zoomOut();
}

void TimeLineGraphicsView::slot_scaleStepView(bool positive)
{
    if (positive)
        zoomIn();
    else
        zoomOut();
}

void TimeLineGraphicsView::afterZoom()
{
    if (auto *s = qobject_cast<TimeLineGraphicsScene *>(scene()))
        s->setViewScale(horizontalScale());
    updateSceneWidth();
    int middle = viewport()->height() / 2 + verticalScrollBar()->value();
    middle += middle % 2; // up to even
    centerOn(playhead(), middle);
    emit sig_scaleValue(m_level, horizontalScale(), horizontalScrollBar()->value());
}

void TimeLineGraphicsView::updateSceneWidth()
{
    // From the model rather than the scene's item list, which would be sorted on
    // every call: this runs after every edit.
    double right = 0;
    if (m_model) {
        for (ClassifyItem *track : m_model->tracks())
            if (!track->clips().isEmpty())
                right = std::max(right, timeline::toScene(track->clips().last()->end()));
        for (TransItem *t : m_model->transitions())
            right = std::max(right, timeline::toScene(t->data()->endFrame));
    }
    // A recording stretches the timeline ahead of the playhead (a frame request
    // moves it by up to two frames).
    if (m_recording)
        right = std::max(right, playhead() + timeline::toScene(2));
    m_total = right;
    const double height =
        std::max(scene() ? scene()->sceneRect().height() : 0.0, double(viewport()->height()));
    if (scene())
        scene()->setSceneRect(0, 0, m_total + 100.0 / horizontalScale(), height);
    if (auto *timelineScene = qobject_cast<TimeLineGraphicsScene *>(scene()))
        emit timelineScene->sig_limitPosX(m_total);
}

void TimeLineGraphicsView::setTransport(Transport *transport)
{
    if (m_transport)
        disconnect(m_transport, nullptr, this, nullptr);
    m_transport = transport ? transport : m_ownTransport;
    connect(m_transport, &Transport::sig_playheadMoved, this,
            &TimeLineGraphicsView::followPlayhead);
    followPlayhead(m_transport->playhead(), false);
}

Transport *TimeLineGraphicsView::transport() const
{
    return m_transport ? m_transport.data() : m_ownTransport;
}

int64_t TimeLineGraphicsView::playheadFrame() const
{
    return transport()->playhead();
}

void TimeLineGraphicsView::followPlayhead(int64_t frame, bool byPlayer)
{
    const double oldX = m_shownPlayhead;
    m_shownPlayhead = timeline::toScene(frame);
    // While playing this runs for every frame: repaint the strip the playhead
    // crossed, not the whole timeline.
    const double a = mapFromScene(QPointF(oldX, 0)).x();
    const double b = mapFromScene(QPointF(m_shownPlayhead, 0)).x();
    viewport()->update(QRect(int(std::floor(std::min(a, b))) - 2, 0,
                             int(std::ceil(std::abs(b - a))) + 5, viewport()->height()));
    if (byPlayer) {
        keepPlayheadInSight(MOVE_PLAY);
        emit sig_splitButtonEnable(canSplit());
    } else {
        emit sig_moveValue(horizontalScrollBar()->value(), m_shownPlayhead);
    }
}

void TimeLineGraphicsView::slot_viewportRangeUpdate(int value, int64_t pix)
{
    transport()->seek(pix);
    horizontalScrollBar()->setValue(value);
    requestFrame(EDIT_NONE);
}

void TimeLineGraphicsView::slot_resetFrame(int64_t pix, EditType edit, bool operate)
{
    transport()->seek(pix);
    if (pix <= 0)
        horizontalScrollBar()->setValue(0);
    if (operate)
        requestFrame(edit);
}

void TimeLineGraphicsView::slot_frontFrameRequest(MoveType type, EditType edit, int64_t times)
{
    if (edit == EDIT_RECORD) {
        // A tick of the recording clock still queued when the take ended is stale.
        if (!m_recording)
            return;
        updateSceneWidth();
    }
    transport()->seek(
        std::min(playheadFrame() + times, timeline::toFrames(std::max(m_total, 0.0))));
    keepPlayheadInSight(type);
    requestFrame(edit);
}

void TimeLineGraphicsView::slot_backFrameRequest(MoveType type, EditType edit, int64_t times)
{
    transport()->seek(std::max<int64_t>(0, playheadFrame() - times));
    keepPlayheadInSight(type);
    requestFrame(edit);
}

void TimeLineGraphicsView::keepPlayheadInSight(MoveType type)
{
    QScrollBar *bar = horizontalScrollBar();
    const int before = bar->value();
    const double at = playhead() * horizontalScale();
    const double p = at - bar->value();
    const double w = viewport()->width();
    if (type == MOVE_RECORD) {
        if (p > w - 20)
            bar->setValue(std::min(int(at - (w - 20)), bar->maximum()));
        else if (p < 20 && bar->value() != 0)
            bar->setValue(int(at - 20));
    } else if (p > w - 20) {
        bar->setValue(int(at - 20)); // a page on
    }
    if (bar->value() != before)
        viewport()->update();
    emit sig_moveValue(bar->value(), playhead());
}

void TimeLineGraphicsView::wheelEvent(QWheelEvent *event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        slot_scaleStepView(event->angleDelta().y() > 0);
        event->accept();
        return;
    }
    QGraphicsView::wheelEvent(event);
}

void TimeLineGraphicsView::drawBackground(QPainter *painter, const QRectF &rect)
{
    QGraphicsView::drawBackground(painter, rect);
    if (!m_model || !m_model->root())
        return;
    // Grid lines under every visible row of the five track groups, in view pixels.
    painter->save();
    painter->resetTransform();
    painter->setPen(QPen(QColor("#F1F1F1"), 0));
    const double s = QssManager::screenScale();
    const int scroll = verticalScrollBar()->value();
    const int w = viewport()->width();
    double y = 0;
    painter->drawLine(QPointF(0, y - scroll), QPointF(w, y - scroll));
    for (int g = 0; g < 5; ++g) {
        ClassifyItem *group = m_model->root()->child(g);
        if (!group)
            break;
        const double row = timeline::rowHeight(group->kind) * s;
        const int rows = group->expanded() ? group->childCount() + 1 : 1;
        for (int r = 0; r < rows; ++r) {
            y += row;
            painter->drawLine(QPointF(0, y - scroll), QPointF(w, y - scroll));
        }
    }
    painter->restore();
}

void TimeLineGraphicsView::drawForeground(QPainter *painter, const QRectF &rect)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(Qt::red, 0)); // cosmetic: one view pixel at any zoom
    painter->drawLine(QPointF(playhead(), rect.top()), QPointF(playhead(), rect.bottom()));
    if (m_recording)
        painter->fillRect(recordingBar(), Qt::red);
    auto *timelineScene = qobject_cast<TimeLineGraphicsScene *>(scene());
    if (timelineScene && timelineScene->snapFrame() >= 0) {
        const double x = timeline::toScene(timelineScene->snapFrame());
        painter->setPen(QPen(Qt::blue, 0, Qt::DashLine));
        painter->drawLine(QPointF(x, rect.top()), QPointF(x, rect.bottom()));
    }
    painter->restore();
    emit sig_showTime(playheadFrame(), timeline::toFrames(m_total));
}
