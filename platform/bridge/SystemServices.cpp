#include "SystemServices.h"

#include "AppInfo.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <chrono>
#include <ctime>
#include <thread>

namespace bg {

void SystemServices::sleepMs(int64_t milliseconds)
{
    if (milliseconds > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

int64_t SystemServices::monotonicMicros()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void SystemServices::lowerThreadPriority()
{
#ifdef Q_OS_LINUX
    // On Linux a nice value belongs to the thread (its id), not to the process.
    setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), 19);
#endif
}

std::string SystemServices::formatNow(const char *pattern)
{
    if (!pattern || !*pattern)
        return std::string();
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[256];
    const size_t n = std::strftime(buf, sizeof buf, pattern, &tm);
    return std::string(buf, n);
}

bool SystemServices::revealInFileManager(const std::string &path)
{
    const QFileInfo info(QString::fromStdString(path));
    if (!info.exists())
        return false;
    // Linux stand-in for the Windows shell's "select in Explorer": the freedesktop
    // FileManager1 interface, reached through dbus-send.
    const QString uri = QUrl::fromLocalFile(info.absoluteFilePath()).toString();
    if (QProcess::startDetached("dbus-send", {"--session", "--dest=org.freedesktop.FileManager1",
                                              "--type=method_call", "/org/freedesktop/FileManager1",
                                              "org.freedesktop.FileManager1.ShowItems",
                                              "array:string:" + uri, "string:"}))
        return true;
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

bool SystemServices::openPath(const std::string &path)
{
    const QString p = QString::fromStdString(path);
    const QUrl url = QFileInfo::exists(p) ? QUrl::fromLocalFile(p) : QUrl(p);
    return url.isValid() && QDesktopServices::openUrl(url);
}

std::string SystemServices::dumpFilePrefix()
{
    std::string name = AppInfo::instance().appName();
    if (name.empty())
        name = "ZuAEdit";
    return QDir::tempPath().toStdString() + "/" + name + "_" + AppInfo::instance().version() + "_" +
           formatNow("%Y%m%d-%H%M%S");
}

void SystemServices::releaseFreeMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace bg
