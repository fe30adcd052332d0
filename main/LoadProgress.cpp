#include "LoadProgress.h"

#include "common/Translate.h"

#include <QCoreApplication>
#include <QProgressDialog>

LoadProgressDevice::LoadProgressDevice(const QString &path, Report report)
    : m_file(path), m_report(std::move(report))
{}

bool LoadProgressDevice::open(OpenMode mode)
{
    if (!m_file.open(mode))
        return false;
    return QIODevice::open(mode);
}

void LoadProgressDevice::close()
{
    m_file.close();
    QIODevice::close();
}

qint64 LoadProgressDevice::readData(char *data, qint64 maxSize)
{
    if (m_stopped)
        return -1;
    const qint64 got = m_file.read(data, maxSize);
    const qint64 size = m_file.size();
    if (m_report && size > 0 && !m_report(int(m_file.pos() * 1000 / size))) {
        m_stopped = true;
        return -1;
    }
    return got;
}

LoadProgressWindow::LoadProgressWindow(QWidget *parent, const QString &fileName)
    : m_dialog(new QProgressDialog(ZTR("titlebar.Loading").arg(fileName), ZTR("titlebar.Cancel"), 0,
                                   1000, parent))
{
    m_dialog->setObjectName(QStringLiteral("loadProgress"));
    m_dialog->setWindowModality(Qt::ApplicationModal);
    m_dialog->setMinimumDuration(1000); // only a load that takes longer is shown
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setValue(0);
    m_clock.start();
}

LoadProgressWindow::~LoadProgressWindow()
{
    delete m_dialog.data();
}

bool LoadProgressWindow::report(int permille)
{
    if (!m_dialog)
        return false;
    // About twenty times a second: each step lets the window paint and take a click.
    const qint64 now = m_clock.elapsed();
    if (m_lastMs >= 0 && now - m_lastMs < 50)
        return !m_dialog->wasCanceled();
    m_lastMs = now;
    m_dialog->setValue(std::min(permille, 999));
    if (m_dialog->isVisible())
        QCoreApplication::processEvents();
    return !m_dialog->wasCanceled();
}
