#include "ShaderLibrary.h"

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
    static const QStringList names{"clip_banding", "clip_box",   "clip_circle", "clip_cross",
                                   "clip_herase",  "clip_open",  "clip_radial", "clip_winshades",
                                   "over_black",   "over_cross", "over_white",  "scale_boxes",
                                   "scale_in",     "trans_move"};
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

QStringList registerAll(GsDevice *device)
{
    QStringList failed;
    for (const QString &name : names()) {
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
