// Renders the transition gallery's thumbnails with the editor's own transition
// programs: each program 40 % of the way from a warm picture to a cool one, into
// OUT_DIR/<program>.png, and OUT_DIR/transition_thumbs.qrc listing them as
// ":/image/<program>.png". Run at build time; draws on a private X server when no
// display is set.
#include "graphics/GsDevice.h"
#include "graphics/GsFilter.h"
#include "graphics/GsItem.h"
#include "graphics/GsScene.h"
#include "graphics/GsTexture.h"
#include "graphics/PrivateDisplay.h"
#include "render/RefCountedObject.h"
#include "render/ShaderLibrary.h"
#include "render/compose/TransTranslate.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include <cstdio>
#include <memory>

namespace {

constexpr int kW = 190, kH = 110; // twice the tile's 95 × 55, drawn smoothly scaled

QImage picture(bool warm)
{
    QImage img(kW, kH, QImage::Format_RGBA8888);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, kH);
    sky.setColorAt(0, warm ? QColor("#ffb347") : QColor("#3aa0ff"));
    sky.setColorAt(1, warm ? QColor("#e8505b") : QColor("#14285a"));
    p.fillRect(img.rect(), sky);
    p.setPen(Qt::NoPen);
    if (warm) {
        p.setBrush(QColor("#fff3b0"));
        p.drawEllipse(QPointF(kW * 0.68, kH * 0.42), 22, 22);
        p.setBrush(QColor("#5b2a3c"));
        p.drawRect(QRectF(0, kH * 0.72, kW, kH * 0.28));
    } else {
        p.setBrush(QColor("#e8f4ff"));
        for (int i = 0; i < 4; ++i)
            p.drawRoundedRect(QRectF(14 + i * 44, kH * 0.55 - (i % 2) * 18, 30, 30), 6, 6);
    }
    return img;
}

class Thumb : public GsItem {
public:
    QString program;
    void Tick() override
    {
        if (!m_from) {
            const QImage a = picture(true), b = picture(false);
            m_from = std::make_unique<GsTexture>(a.constBits(), a.bytesPerLine(), GS_RGBA, kW, kH);
            m_to = std::make_unique<GsTexture>(b.constBits(), b.bytesPerLine(), GS_RGBA, kW, kH);
            m_constants = std::make_unique<GsConstantBuffer>(16);
        }
    }
    void Draw() override
    {
        const float constants[4] = {0.4f, float(kW) / kH, 1.0f, 1.0f};
        m_constants->Update(constants, sizeof constants);
        if (!GsContextDefault::BindShader(program.toUtf8().constData()))
            return;
        m_constants->Bind();
        GsTextureBinder bind(m_from.get(), m_to.get());
        GsContextDefault::DrawRect({0, 0, float(kW), float(kH), 0}, {float(kW), float(kH)});
        GsContextDefault::UnbindShader();
    }

private:
    std::unique_ptr<GsTexture> m_from, m_to;
    std::unique_ptr<GsConstantBuffer> m_constants;
};

class Grab : public GsOutputRaw {
public:
    using GsOutputRaw::GsOutputRaw;
    QImage image;

protected:
    void OnFrame(const uint8_t *pixels, size_t, int stride, int64_t) override
    {
        image = QImage(pixels, kW, kH, stride, QImage::Format_RGBA8888).copy();
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: transition_thumbs OUT_DIR\n");
        return 2;
    }
    PrivateDisplay display;
    QString error;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && !display.start(&error)) {
        std::fprintf(stderr, "transition_thumbs: %s\n", qPrintable(error));
        return 1;
    }
    QGuiApplication app(argc, argv);
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());
    if (!GsDevice::CreateDefaultDevice(false)) {
        std::fprintf(stderr, "transition_thumbs: no OpenGL 3.3 device\n");
        return 1;
    }
    const QStringList failed = ShaderLibrary::registerAll(GsDevice::DefaultDevice());
    if (!failed.isEmpty()) {
        std::fprintf(stderr, "transition_thumbs: programs failed: %s\n",
                     qPrintable(failed.join(' ')));
        return 1;
    }
    QString qrc = "<RCC>\n  <qresource prefix=\"/\">\n";
    int code = 0;
    for (const auto &entry : TransTranslate::instance().entries()) {
        const QString &program = entry.first;
        auto *scene = new RefCountedObject<GsScene>(kW, kH);
        scene->AddRef();
        auto *thumb = new RefCountedObject<Thumb>();
        thumb->program = program;
        scene->AddItem(thumb);
        {
            Grab grab(scene, kW, kH, GS_RGBA);
            grab.Attach();
            GsDevice::DefaultDevice()->TickSource();
            GsDevice::DefaultDevice()->OutputFrame(0, 1);
            grab.Flush();
            grab.Detach();
            const QString file = program + ".png";
            if (grab.image.isNull() || !grab.image.save(out.filePath(file))) {
                std::fprintf(stderr, "transition_thumbs: %s not written\n", qPrintable(file));
                code = 1;
            }
            // Where the gallery looks for it (":/" + the alias).
            qrc += QString("    <file alias=\"%1\">%2</file>\n")
                       .arg(TransTranslate::thumbnailOf(program).mid(2), file);
        }
        scene->Release();
    }
    qrc += "  </qresource>\n</RCC>\n";
    QFile list(out.filePath("transition_thumbs.qrc"));
    if (!list.open(QIODevice::WriteOnly) || list.write(qrc.toUtf8()) < 0)
        code = 1;
    list.close();
    GsDevice::DestroyDefaultDevice();
    return code;
}
