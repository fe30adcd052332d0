#include "ZueDisplayWindow.h"

#include "render/RenderManager.h"

#include "graphics/GsScene.h"
#include "graphics/GsView.h"

#include <QExposeEvent>
#include <QResizeEvent>

ZueDisplayWindow::ZueDisplayWindow(RenderManager *render) : m_render(render)
{
    setSurfaceType(QSurface::OpenGLSurface);
    connect(m_render, &RenderManager::sig_sendScene, this, [this](GsScene *scene) {
        if (m_view)
            m_view->SetScene(scene);
    });
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
    m_view = std::make_unique<GsViewImpl>(this, int(width() * dpr), int(height() * dpr),
                                          m_render->scene());
    m_view->SetBackgroundColor(0.196f, 0.196f, 0.196f, 1.0f);
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
    emit ViewResized();
}
