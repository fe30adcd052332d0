// Fuzzes the project reader (current and legacy format) with the real section
// owners: malformed files must never crash the editor.
#include "FuzzApp.h"

#include "main/ProjectDocument.h"
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
    g_app = makeFuzzApp<ZuApp>((*argv)[0]);
    if (g_app->init() && g_app->renderManager())
        g_app->renderManager()->stopRenderThread(); // nothing is drawn while fuzzing
    g_dir = new QTemporaryDir;
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
        g_app->document()->openProject(path);
    }
    return 0;
}
