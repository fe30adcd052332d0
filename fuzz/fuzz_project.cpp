// Fuzzes the project reader (current and legacy format) with the real section
// owners: malformed files must never crash the editor.
#include "main/MessageBox.h"

#include "bridge/Logger.h"
#include "main/ZuApp.h"
#include "render/RenderManager.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {
ZuApp *g_app = nullptr;
QTemporaryDir *g_dir = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    bg::Logger::instance().setMaxLevel(bg::LOG_ERROR); // the readers' traces would dominate
    static int appArgc = 1;
    static char *appArgv[] = {(*argv)[0], nullptr};
    g_app = new ZuApp(appArgc, appArgv);
    if (g_app->init() && g_app->renderManager())
        g_app->renderManager()->stopRenderThread(); // nothing is drawn while fuzzing
    g_dir = new QTemporaryDir;
    MessageBox::setAnswerHook([](const MessageSpec &) { return 0; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    for (const char *name : {"/p.zua2", "/p.zua"}) {
        const QString path = g_dir->path() + name;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        f.write(reinterpret_cast<const char *>(data), qint64(size));
        f.close();
        g_app->openProject(path);
    }
    return 0;
}
