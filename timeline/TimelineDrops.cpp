// Drops on the timeline view: materials and GIF stickers become clips, transitions
// join the clips under the drop band.

#include "ClassifyItem.h"
#include "SourceItem.h"
#include "TimeLineGraphicsScene.h"
#include "TimeLineGraphicsView.h"

#include "DropPayload.h"
#include "TimelineDocument.h"
#include "TimelineEditor.h"
#include "TransItem.h"
#include "TransitionBand.h"

#include "common/MessageBox.h"
#include "common/QssManager.h"
#include "common/Translate.h"
#include "undo/UndoController.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFileInfo>
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
        m_band.highlight(scene(), mapToScene(event->pos()));
    viewport()->update();
}

void TimeLineGraphicsView::dragMoveEvent(QDragMoveEvent *event)
{
    if (!ours(event->mimeData())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    if (m_band.active())
        m_band.highlight(scene(), mapToScene(event->pos()));
    viewport()->update();
}

void TimeLineGraphicsView::dragLeaveEvent(QDragLeaveEvent *event)
{
    m_band.clear();
    viewport()->update();
    QGraphicsView::dragLeaveEvent(event);
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
        m_band.clear();
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
    // At the frame under the pointer, snapped as a moved clip would be.
    double x = timeline::toScene(timeline::toFrames(std::max(0.0, scenePos.x())));
    if (auto *timelineScene = qobject_cast<TimeLineGraphicsScene *>(scene()))
        x = timelineScene->snapTarget(x).value_or(x);
    request["posX"] = bg::Value(x);
    request["type"] = bg::Value(int32_t(kind));
    // A GIF from the library plays as a video, or as a sticker on a picture track.
    if (payload.kind == DropPayload::Material && QFileInfo(path).suffix().toLower() == "gif")
        request["alsoAs"] = bg::Value(int32_t(CT_PICTURE));
    emit sig_createSourceItem(request, colour, font);
}

void TimeLineGraphicsView::dropTransition(const QString &name, const QPointF &p)
{
    const QRectF band = TransitionBand::around(p);
    const bool joined = TimelineEditor(m_model).requestTransition(
        name, TransitionBand::joinableClips(scene(), band),
        band.center().x() / timeline::kFrameWidth);
    viewport()->update();
    if (!joined)
        MessageBox::inform(window(), ZKEY("material_view.Hint"), ZTR("track-view.TransNotMeeting"),
                           ZKEY("res_form.Ok_1"));
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
    const bool onHead =
        clip->headTransFrames &&
        QRectF(0, s * 9, timeline::toScene(clip->headTransFrames), s * 18).contains(local);
    const double tail = timeline::toScene(clip->tailTransFrames);
    const bool onTail = clip->tailTransFrames &&
                        QRectF(clip->sceneWidth() - tail, s * 9, tail, s * 18).contains(local);
    if (selected > 1) {
        menu.addAction(ZTR("track-view.Edit"))->setEnabled(false);
        menu.addAction(ZTR("track-view.UpLevel"))->setEnabled(false);
        menu.addAction(ZTR("track-view.DownLevel"))->setEnabled(false);
        connect(menu.addAction(ZTR("track-view.Delete")), &QAction::triggered, this,
                &TimeLineGraphicsView::removeSelected);
    } else if (onHead || onTail) {
        connect(menu.addAction(ZTR("track-view.EditTrans")), &QAction::triggered, this,
                [this, clip, onHead] {
                    if (TransItem *t = m_model->transitionAt(clip, onHead))
                        t->showPanel(2, clip);
                });
        connect(menu.addAction(ZTR("track-view.DeleteTrans")), &QAction::triggered, this,
                [this, clip, onHead] {
                    m_model->removeTransition(m_model->transitionAt(clip, onHead), true);
                });
    } else {
        connect(menu.addAction(ZTR("track-view.Edit")), &QAction::triggered, this, [this, clip] {
            if (auto *s = qobject_cast<TimeLineGraphicsScene *>(scene()))
                s->showMenu(clip, clip->menuType(), 2, clip->panelValues());
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
