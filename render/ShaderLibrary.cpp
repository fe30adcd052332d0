#include "ShaderLibrary.h"

#include "compose/TransTranslate.h"

#include "bridge/Logger.h"
#include "graphics/GsDevice.h"

#include <QFile>

// The shader programs are compiled into this static library; its resource
// initialiser runs only when called (outside any namespace, as Qt requires).
static void initShaderResources()
{
    Q_INIT_RESOURCE(shaders);
}

namespace {
void ensureShaderResources()
{
    static const bool done = (initShaderResources(), true);
    (void)done;
}
} // namespace

namespace ShaderLibrary {

const QStringList &transitionNames()
{
    static const QStringList names = [] {
        QStringList sorted = TransTranslate::instance().programs();
        sorted.sort();
        return sorted;
    }();
    return names;
}

const QStringList &names()
{
    static const QStringList all = transitionNames() + QStringList{"rgba_base", "rgba_subtitle"};
    return all;
}

QByteArray pixelSource(const QString &name)
{
    ensureShaderResources();
    QFile file(":/shaders/" + name + ".frag");
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const char *clipProgram(const float controls[6])
{
    for (int i = 0; i < 6; ++i)
        if (controls[i] != 0.0f)
            return "rgba_base";
    return "rgba_plain";
}

QStringList registerAll(GsDevice *device)
{
    QStringList failed;
    for (const QString &name : names() + QStringList{"rgba_plain"}) {
        const QByteArray source = pixelSource(name);
        if (source.isEmpty() ||
            !device->AddShader(name.toUtf8().constData(), GsDevice::SharedVertexSource(),
                               source.constData())) {
            BG_LOG_D("build shader [%s] failed!", qUtf8Printable(name));
            failed << name;
        }
    }
    return failed;
}

} // namespace ShaderLibrary
