// Drops on the timeline view: materials and GIF stickers become clips, transitions
// join the clips under the drop band.

#include "ClassifyItem.h"
#include "SourceItem.h"
#include "TimeLineGraphicsScene.h"
#include "TimeLineGraphicsView.h"

#include "DropPayload.h"
#include "TimeLineTreeModel.h"
#include "TransItem.h"

#include "common/MessageBox.h"
#include "common/QssManager.h"
#include "common/Translate.h"
#include "undo/UndoController.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QRandomGenerator>

#include <algorithm>

namespace {

bool ours(const QMimeData *mime)
{
    return DropPayload::isOurs(mime);
}

QString tagOf(const QMimeData *mime)
{
    return DropPayload::tagOf(mime->data("data"));
}

bool joinable(const SourceItem *clip)
{
    return clip->kind == CT_VIDEO || clip->kind == CT_PICTURE;
}

} // namespace

void TimeLineGraphicsView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!ours(event->mimeData())) {
        event->ignore();
        return;
    }
    emit sig_opertorUi(true, true);
    event->acceptProposedAction();
    if (tagOf(event->mimeData()) == QLatin1String("transition"))
        highlightBand(mapToScene(event->pos()));
}

void TimeLineGraphicsView::dragMoveEvent(QDragMoveEvent *event)
{
    if (!ours(event->mimeData())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    if (!m_band.isNull())
        highlightBand(mapToScene(event->pos()));
}

void TimeLineGraphicsView::dragLeaveEvent(QDragLeaveEvent *event)
{
    clearBand();
    QGraphicsView::dragLeaveEvent(event);
}

void TimeLineGraphicsView::highlightBand(const QPointF &p)
{
    static const QColor colours[] = {QColor(0x0FBCF9), QColor(0xFF0000), QColor(0x9A32FF),
                                     QColor(0xF7C431), QColor(0x00FF3B)};
    m_band = QRectF(p.x() - 1500, p.y() - 12, 3000, 25);
    QMap<SourceItem *, QColor> now;
    for (QGraphicsItem *item : scene()->items(m_band)) {
        if (item->type() != SourceItem::Type || !joinable(static_cast<SourceItem *>(item)))
            continue;
        auto *clip = static_cast<SourceItem *>(item);
        now[clip] = m_highlighted.value(clip, colours[QRandomGenerator::global()->bounded(5)]);
        clip->setColor(now[clip]);
    }
    for (auto it = m_highlighted.begin(); it != m_highlighted.end(); ++it)
        if (!now.contains(it.key()))
            it.key()->setColor(QColor()); // its kind's colour again
    m_highlighted = now;
    viewport()->update();
}

void TimeLineGraphicsView::clearBand()
{
    for (auto it = m_highlighted.begin(); it != m_highlighted.end(); ++it)
        it.key()->setColor(QColor());
    m_highlighted.clear();
    m_band = QRectF();
    viewport()->update();
}

void TimeLineGraphicsView::dropEvent(QDropEvent *event)
{
    if (!ours(event->mimeData())) {
        event->ignore();
        return;
    }
    const DropPayload payload = DropPayload::read(event->mimeData()->data("data"));
    const QPointF scenePos = mapToScene(event->pos());
    event->acceptProposedAction();
    if (payload.kind == DropPayload::Transition) {
        dropTransition(payload.transition, scenePos);
        clearBand();
        return;
    }
    if (payload.kind == DropPayload::Invalid)
        return;
    const uint32_t kind =
        payload.kind == DropPayload::Gif ? uint32_t(CT_PICTURE) : payload.clipKind;
    const QString &path = payload.path;
    const QColor &colour = payload.colour;
    const QFont &font = payload.font;
    if (payload.kind == DropPayload::Material && kind != CT_SUBTITLE && !payload.valid) {
        MessageBox::inform(window(), ZKEY("material_view.Hint"), ZTR("material_item.Invail"),
                           ZKEY("res_form.Ok_1"));
        return;
    }
    bg::ValueMap request;
    request["path"] = bg::Value(path.toStdString());
    request["posY"] = bg::Value(int32_t(event->pos().y()));
    request["posX"] = bg::Value(double(int64_t(scenePos.x() / 50.0)) * 50.0);
    request["type"] = bg::Value(int32_t(kind));
    emit sig_createSourceItem(request, colour, font);
}

void TimeLineGraphicsView::dropTransition(const QString &name, const QPointF &p)
{
    if (!m_model)
        return;
    const QRectF band(p.x() - 1500, p.y() - 12, 3000, 25);
    QMap<ClassifyItem *, QList<SourceItem *>> byTrack;
    for (QGraphicsItem *item : scene()->items(band))
        if (item->type() == SourceItem::Type && joinable(static_cast<SourceItem *>(item))) {
            auto *clip = static_cast<SourceItem *>(item);
            byTrack[clip->track] << clip;
        }
    if (byTrack.isEmpty())
        return;
    auto byStart = [](SourceItem *a, SourceItem *b) { return a->sceneX() < b->sceneX(); };
    QList<QPair<SourceItem *, SourceItem *>> pairs;
    const bool oneEach = byTrack.size() > 1 &&
                         std::all_of(byTrack.begin(), byTrack.end(),
                                     [](const QList<SourceItem *> &l) { return l.size() == 1; });
    if (oneEach) {
        QList<SourceItem *> all;
        for (const auto &l : byTrack)
            all += l;
        std::sort(all.begin(), all.end(), byStart);
        if (all.last()->sceneX() >= all.first()->sceneX() + all.first()->width)
            pairs << qMakePair(all.first(), all.last());
    } else {
        for (QList<SourceItem *> list : byTrack) {
            std::sort(list.begin(), list.end(), byStart);
            int i = 0;
            for (; i + 1 < list.size(); i += 2)
                pairs << qMakePair(list[i], list[i + 1]);
            if (i < list.size()) {
                SourceItem *last = list[i];
                const bool tail = last->sceneX() + last->width / 2 <= band.center().x();
                pairs << (tail ? qMakePair(last, static_cast<SourceItem *>(nullptr))
                               : qMakePair(static_cast<SourceItem *>(nullptr), last));
            }
        }
    }
    zua::MergeSequence sequence("AddTransition");
    for (const auto &pair : pairs) {
        TransItem *existing = nullptr;
        for (TransItem *t : m_model->transitions())
            if ((pair.first && t->data()->from == pair.first) ||
                (pair.second && t->data()->to == pair.second))
                existing = t;
        if (existing) {
            existing->data()->name = name;
            existing->setValue("trans", existing->transValue(), true, true);
        } else {
            m_model->addTransition(name, pair.first, pair.second, 2000, 5, true);
        }
    }
    viewport()->update();
}

void TimeLineGraphicsView::contextMenuEvent(QContextMenuEvent *event)
{
    QGraphicsItem *hit = itemAt(event->pos());
    if (hit && hit->type() != SourceItem::Type)
        hit = hit->parentItem();
    if (!hit || hit->type() != SourceItem::Type) {
        QGraphicsView::contextMenuEvent(event);
        return;
    }
    auto *clip = static_cast<SourceItem *>(hit);
    QGraphicsView::contextMenuEvent(event); // the clip's own press handling (selection)
    int selected = 0;
    for (QGraphicsItem *item : scene()->selectedItems())
        selected += item->type() == SourceItem::Type;
    QMenu menu(this);
    const QPointF local = clip->mapFromScene(mapToScene(event->pos()));
    const double s = QssManager::screenScale();
    const bool onHead = clip->headTransFrames &&
                        QRectF(0, s * 9, clip->headTransFrames * 50.0, s * 18).contains(local);
    const bool onTail = clip->tailTransFrames && QRectF(clip->width - clip->tailTransFrames * 50.0,
                                                        s * 9, clip->tailTransFrames * 50.0, s * 18)
                                                     .contains(local);
    if (selected > 1) {
        menu.addAction(ZTR("track-view.Edit"))->setEnabled(false);
        menu.addAction(ZTR("track-view.UpLevel"))->setEnabled(false);
        menu.addAction(ZTR("track-view.DownLevel"))->setEnabled(false);
        connect(menu.addAction(ZTR("track-view.Delete")), &QAction::triggered, this,
                &TimeLineGraphicsView::removeSelected);
    } else if (onHead || onTail) {
        connect(menu.addAction(ZTR("track-view.EditTrans")), &QAction::triggered, this,
                [clip, onHead] {
                    if (onHead)
                        emit clip->sig_transLeftClicked(2, clip);
                    else
                        emit clip->sig_transRightClicked(2, clip);
                });
        connect(menu.addAction(ZTR("track-view.DeleteTrans")), &QAction::triggered, this,
                [this, clip, onHead] {
                    for (TransItem *t : m_model->transitions())
                        if ((onHead && t->data()->to == clip) ||
                            (!onHead && t->data()->from == clip))
                            m_model->removeTransition(t, true);
                });
    } else {
        connect(menu.addAction(ZTR("track-view.Edit")), &QAction::triggered, this, [this, clip] {
            if (auto *s = qobject_cast<TimeLineGraphicsScene *>(scene()))
                s->showMenu(clip->menuType(), 2, clip->panelValues());
        });
        const bool visual = timeline::hasMask(clip->kind, timeline::kVisualMask);
        QAction *up = menu.addAction(ZTR("track-view.UpLevel"));
        QAction *down = menu.addAction(ZTR("track-view.DownLevel"));
        up->setEnabled(visual);
        down->setEnabled(visual);
        connect(up, &QAction::triggered, this, [this, clip] { restack(clip, true); });
        connect(down, &QAction::triggered, this, [this, clip] { restack(clip, false); });
        connect(menu.addAction(ZTR("track-view.Delete")), &QAction::triggered, this,
                &TimeLineGraphicsView::removeSelected);
    }
    menu.exec(event->globalPos());
}
