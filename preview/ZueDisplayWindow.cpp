#include "ZueDisplayWindow.h"

#include "PreviewInteraction.h"
#include "ZueGsView.h"
#include "common/Translate.h"
#include "render/RenderManager.h"
#include "render/compose/PreviewItem.h"

#include "graphics/GsScene.h"
#include "graphics/GsView.h"

#include <QDropEvent>
#include <QExposeEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QWheelEvent>

#include <limits>

ZueDisplayWindow::ZueDisplayWindow(RenderManager *render)
    : m_render(render), m_interaction(std::make_unique<PreviewInteraction>(render->scene()))
{
    setSurfaceType(QSurface::OpenGLSurface);
    connect(m_render, &RenderManager::sig_sendScene, this, &ZueDisplayWindow::setScene);
}

void ZueDisplayWindow::setScene(GsScene *scene)
{
    if (m_view)
        m_view->SetScene(scene);
    m_interaction->setScene(scene);
}

double ZueDisplayWindow::viewScale() const
{
    GsScene *scene = m_render->scene();
    if (!scene || scene->width() == 0 || scene->height() == 0)
        return 1.0;
    const qreal dpr = devicePixelRatio();
    return m_zoom * std::min(width() * dpr / scene->width(), height() * dpr / scene->height());
}

void ZueDisplayWindow::setZoom(double zoom)
{
    m_zoom = zoom;
    if (auto *view = static_cast<ZueGsView *>(m_view.get()))
        view->setZoom(zoom);
}

void ZueDisplayWindow::wheelEvent(QWheelEvent *event)
{
    emit sig_wheel(event->angleDelta().y());
}

void ZueDisplayWindow::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_interaction->setScale(viewScale() / devicePixelRatio());
    PreviewItem *hit = m_interaction->hitTest(toScene(event->localPos()));
    if (hit && !hit->clipId().isEmpty())
        emit sig_editClip(hit->clipId(), 2);
    else
        emit sig_closeMenu();
}

QPointF ZueDisplayWindow::toScene(const QPointF &windowPos) const
{
    const qreal dpr = devicePixelRatio();
    return (windowPos - QPointF(width() / 2.0, height() / 2.0)) * dpr / viewScale();
}

void ZueDisplayWindow::mousePressEvent(QMouseEvent *event)
{
    m_interaction->setScale(viewScale() / devicePixelRatio());
    const QPointF p = toScene(event->localPos());
    // A gesture during playback would be overwritten by the next played frame.
    emit sig_pressed();
    if (event->button() == Qt::LeftButton) {
        press(p);
    } else if (event->button() == Qt::RightButton) {
        PreviewItem *hit = m_interaction->hitTest(p);
        if (!hit)
            return;
        // The menu acts on the item under the cursor: an unselected one becomes the
        // selection; one of several selected keeps them all for the menu.
        if (!hit->selected) {
            press(p);
            m_interaction->release();
        }
        showContextMenu(event->globalPos());
    }
}

void ZueDisplayWindow::press(const QPointF &scenePos)
{
    PreviewItem *before = m_interaction->selected();
    m_interaction->press(scenePos);
    if (before && before != m_interaction->selected())
        syncSelection(before);
    if (PreviewItem *item = m_interaction->selected())
        syncSelection(item);
}

void ZueDisplayWindow::syncSelection(const PreviewItem *item)
{
    if (!item->clipId().isEmpty())
        emit sig_selectClip(item->clipId(), item->selected);
}

QString ZueDisplayWindow::selectedClip() const
{
    PreviewItem *item = m_interaction->selected();
    return item ? item->clipId() : QString();
}

QStringList ZueDisplayWindow::selectedClips() const
{
    QStringList clips;
    if (GsScene *scene = m_render->scene())
        scene->EnumItems(
            [](GsItem *item, void *context) {
                auto *preview = dynamic_cast<PreviewItem *>(item);
                if (preview && preview->visible && preview->selected &&
                    !preview->clipId().isEmpty())
                    static_cast<QStringList *>(context)->append(preview->clipId());
                return true;
            },
            &clips);
    return clips;
}

void ZueDisplayWindow::showContextMenu(const QPoint &globalPos)
{
    const QStringList clips = selectedClips();
    if (clips.isEmpty())
        return;
    QMenu menu;
    QAction *edit = menu.addAction(ZTR("previewwindowdrop.Edit"));
    QAction *up = menu.addAction(ZTR("previewwindowdrop.UpLevel"));
    QAction *down = menu.addAction(ZTR("previewwindowdrop.DownLevel"));
    QAction *remove = menu.addAction(ZTR("previewwindowdrop.Delete"));
    // Editing and re-stacking act on one clip; deleting on every selected one.
    for (QAction *single : {edit, up, down})
        single->setEnabled(clips.size() == 1);
    QAction *chosen = menu.exec(globalPos);
    if (chosen == edit)
        emit sig_editClip(clips.first(), 2);
    else if (chosen == up || chosen == down)
        emit sig_restackClip(clips.first(), chosen == up);
    else if (chosen == remove)
        for (const QString &clip : clips)
            emit sig_removeClip(clip);
}

void ZueDisplayWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Delete) {
        const QString clip = selectedClip();
        if (!clip.isEmpty())
            emit sig_removeClip(clip);
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        // Nothing selected any more, here and on the timeline.
        const QStringList clips = selectedClips();
        m_interaction->deselectAll();
        for (const QString &clip : clips)
            emit sig_selectClip(clip, false);
        return;
    }
    QWindow::keyPressEvent(event);
}

void ZueDisplayWindow::mouseMoveEvent(QMouseEvent *event)
{
    m_interaction->setScale(viewScale() / devicePixelRatio());
    if (!(event->buttons() & Qt::LeftButton)) {
        // Hover: the item under the pointer is outlined; a handle shows its cursor.
        const int handle = m_interaction->track(toScene(event->localPos()));
        setCursor(handleCursor(handle));
        return;
    }
    if (m_interaction->dragsItem())
        setCursor(Qt::SizeAllCursor);
    m_interaction->move(toScene(event->localPos()));
    if (m_view) {
        const double s = viewScale();
        m_view->SetClampX(float(m_interaction->snapX() * s));
        m_view->SetClampY(float(m_interaction->snapY() * s));
    }
}

void ZueDisplayWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const bool moved = m_interaction->release();
    if (m_view) {
        m_view->SetClampX(std::numeric_limits<float>::quiet_NaN());
        m_view->SetClampY(std::numeric_limits<float>::quiet_NaN());
    }
    if (moved && m_interaction->selected() && !m_interaction->selected()->clipId().isEmpty()) {
        const ClipGeometry g = m_interaction->selected()->clipGeometry();
        emit sig_clipGeometryEdited(g.clip, g.rect, g.rotate);
    }
    unsetCursor();
    // Releasing over a clip opens its panel (a plain click writes no undo step);
    // over empty picture it closes the panel.
    PreviewItem *hit = m_interaction->hitTest(toScene(event->localPos()));
    if (hit && !hit->clipId().isEmpty())
        emit sig_editClip(hit->clipId(), 1);
    else
        emit sig_closeMenu();
}

Qt::CursorShape ZueDisplayWindow::handleCursor(int handle)
{
    using H = PreviewInteraction::Handle;
    switch (handle) {
    case 0:
        return Qt::ArrowCursor;
    case H::ROTATE:
        return Qt::PointingHandCursor;
    case H::TOP:
    case H::BOTTOM:
        return Qt::SizeVerCursor;
    case H::LEFT:
    case H::RIGHT:
        return Qt::SizeHorCursor;
    case H::TOP | H::LEFT:
    case H::BOTTOM | H::RIGHT:
        return Qt::SizeFDiagCursor;
    default:
        return Qt::SizeBDiagCursor;
    }
}

bool ZueDisplayWindow::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Leave:
        m_interaction->leave();
        break;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        // A material dragged from the library (the editor's own payload) is taken.
        auto *drop = static_cast<QDropEvent *>(event);
        if (drop->mimeData() && drop->mimeData()->text() == QLatin1String("ZuAEdit"))
            drop->acceptProposedAction();
        else
            drop->ignore();
        return true;
    }
    default:
        break;
    }
    return QWindow::event(event);
}

ZueDisplayWindow::~ZueDisplayWindow()
{
    if (m_view) {
        m_view->MarkDead(); // the render thread stops presenting before the window goes
        m_view->Detach();
    }
}

void ZueDisplayWindow::ensureView()
{
    if (m_view || !isExposed() || !handle())
        return;
    const qreal dpr = devicePixelRatio();
    m_view = std::make_unique<ZueGsView>(this, int(width() * dpr), int(height() * dpr),
                                         m_render->scene());
    m_view->Resize(int(width() * dpr), int(height() * dpr), float(dpr)); // the ratio too
    m_view->SetBackgroundColor(0.196f, 0.196f, 0.196f, 1.0f);
    static_cast<ZueGsView *>(m_view.get())->setZoom(m_zoom);
    m_view->Attch();
    emit ViewCreated();
}

void ZueDisplayWindow::exposeEvent(QExposeEvent *)
{
    ensureView();
    if (m_view)
        m_view->SetExposed(isExposed());
}

void ZueDisplayWindow::resizeEvent(QResizeEvent *)
{
    ensureView();
    if (!m_view)
        return;
    const qreal dpr = devicePixelRatio();
    m_view->Resize(int(width() * dpr), int(height() * dpr), float(dpr));
}
