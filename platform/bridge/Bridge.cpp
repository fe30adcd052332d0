#include "Bridge.h"

#include <QDir>
#include <QFileInfo>

#include <atomic>

namespace bg {

namespace {
std::atomic<bool> g_initialised{false};
}

void InitBridge(int argc, char **argv)
{
    if (argc > 0 && argv && argv[0]) {
        const QFileInfo exe(QString::fromLocal8Bit(argv[0]));
        AppInfo::instance().setAppDir(exe.absolutePath().toStdString());
    }
    // Made now, before the caller registers atExit, so that it is destroyed
    // after atExit has saved it (exit handlers run in reverse order).
    UserSettings::instance();
    g_initialised = true;
}

void atExit()
{
    if (!g_initialised.exchange(false))
        return;
    UserSettings::instance().save();
}

bool isInitialised()
{
    return g_initialised;
}

const BridgeInterface &bridge()
{
    static const BridgeInterface record{&Logger::instance(), &AppInfo::instance(),
                                        &UserSettings::instance(), &EventChannel::instance()};
    return record;
}

} // namespace bg
