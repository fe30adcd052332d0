// The sixteen pixel programs, rendered by the real device and compared pixel by
// pixel with an independent C++ evaluation of their formulas.
#include "render/RefCountedObject.h"
#include "render/ShaderLibrary.h"
#include "support/SceneGrab.h"
#include "support/ShaderReference.h"

#include "graphics/GsDevice.h"
#include "graphics/GsFilter.h"
#include "graphics/GsItem.h"
#include "graphics/GsScene.h"
#include "graphics/GsTexture.h"

#include <QGuiApplication>
#include <QImage>
#include <QtTest>

#include <algorithm>
#include <memory>

using reference::Rgba;

namespace {

constexpr int kW = 64;
constexpr int kH = 36; // aspect 16:9

// Horizontal gradients, so that sampling positions are checked too.
QImage fromPicture()
{
    QImage img(kW, kH, QImage::Format_RGBA8888);
    for (int x = 0; x < kW; ++x)
        for (int y = 0; y < kH; ++y)
            img.setPixelColor(x, y, QColor(int(255.0 * (x + 0.5) / kW), 40, 0));
    return img;
}

QImage toPicture()
{
    QImage img(kW, kH, QImage::Format_RGBA8888);
    for (int x = 0; x < kW; ++x)
        for (int y = 0; y < kH; ++y)
            img.setPixelColor(x, y, QColor(0, int(255.0 * (x + 0.5) / kW), 220));
    return img;
}

// What a linearly filtered texture gives at (u, v): texel centres at (i + 0.5) / W.
reference::Sampler sampler(const QImage &img)
{
    return [img](double u, double v) {
        const double fx = std::clamp(u * img.width() - 0.5, 0.0, double(img.width() - 1));
        const int x0 = int(fx), x1 = std::min(x0 + 1, img.width() - 1);
        const double t = fx - x0;
        const int y = std::clamp(int(v * img.height()), 0, img.height() - 1);
        const QColor a = img.pixelColor(x0, y), b = img.pixelColor(x1, y);
        return Rgba{(a.redF() * (1 - t) + b.redF() * t), (a.greenF() * (1 - t) + b.greenF() * t),
                    (a.blueF() * (1 - t) + b.blueF() * t), 1.0};
    };
}

// Draws the whole scene through one program with its constants and textures.
class ProgramItem : public GsItem {
public:
    QString program;
    std::vector<float> constants;
    const QImage *pictures[2] = {nullptr, nullptr};

    void Tick() override
    {
        for (int i = 0; i < 2; ++i)
            if (pictures[i] && !m_textures[i])
                m_textures[i] = std::make_unique<GsTexture>(
                    pictures[i]->constBits(), pictures[i]->bytesPerLine(), GS_RGBA,
                    pictures[i]->width(), pictures[i]->height());
        if (!m_constants)
            m_constants = std::make_unique<GsConstantBuffer>(32);
    }
    void Draw() override
    {
        if (!GsContextDefault::BindShader(program.toUtf8().constData()))
            return;
        std::vector<float> padded(8, 0.0f);
        std::copy(constants.begin(), constants.end(), padded.begin());
        m_constants->Update(padded.data(), padded.size() * sizeof(float));
        m_constants->Bind();
        GsTextureBinder bind(m_textures[0].get(), m_textures[1].get());
        GsContextDefault::SetBlending(false); // the program's own alpha is what is checked
        GsContextDefault::DrawRect({0, 0, float(kW), float(kH), 0}, {float(kW), float(kH)});
        GsContextDefault::SetBlending(true);
        GsContextDefault::UnbindShader();
    }

private:
    std::unique_ptr<GsTexture> m_textures[2];
    std::unique_ptr<GsConstantBuffer> m_constants;
};

using Grab = fixtures::LastFrame;

QImage render(ProgramItem *item)
{
    auto *scene = new RefCountedObject<GsScene>(kW, kH);
    scene->AddRef();
    scene->AddItem(item);
    Grab grab(scene, kW, kH, GS_RGBA);
    grab.Attach();
    GsDevice::DefaultDevice()->TickSource();
    GsDevice::DefaultDevice()->OutputFrame(0, 1);
    grab.Flush();
    grab.Detach();
    scene->Release();
    return grab.image;
}

double channelError(const QColor &got, const Rgba &want)
{
    auto c = [](double x) { return std::clamp(x, 0.0, 1.0); };
    return std::max({std::abs(got.redF() - c(want[0])), std::abs(got.greenF() - c(want[1])),
                     std::abs(got.blueF() - c(want[2])), std::abs(got.alphaF() - c(want[3]))});
}

bool sameRgba(const Rgba &a, const Rgba &b)
{
    for (int i = 0; i < 4; ++i)
        if (std::abs(a[i] - b[i]) > 0.02)
            return false;
    return true;
}

} // namespace

class TestShaders : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void everyProgramBuilds();
    void transitionsMatchTheirFormulas_data();
    void transitionsMatchTheirFormulas();
    void transitionsRespectTransparency();
    void clipProgramAppliesTheColourControls_data();
    void clipProgramAppliesTheColourControls();
    void subtitleProgramScalesAlpha();

private:
    QImage m_from = fromPicture(), m_to = toPicture();
    QStringList m_failed;
};

void TestShaders::initTestCase()
{
    QVERIFY(GsDevice::CreateDefaultDevice(false));
    m_failed = ShaderLibrary::registerAll(GsDevice::DefaultDevice());
}

void TestShaders::everyProgramBuilds()
{
    QCOMPARE(ShaderLibrary::names().size(), 16);
    QCOMPARE(ShaderLibrary::names().first(), QString("clip_banding"));
    QCOMPARE(ShaderLibrary::names().last(), QString("rgba_subtitle"));
    QVERIFY2(m_failed.isEmpty(), qPrintable(m_failed.join(", ")));
    for (const QString &name : ShaderLibrary::names())
        QVERIFY(GsDevice::DefaultDevice()->HasShader(name.toUtf8().constData()));
}

void TestShaders::transitionsMatchTheirFormulas_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<double>("progress");
    for (const QString &name : ShaderLibrary::transitionNames())
        for (double p : {0.0, 0.25, 0.5, 1.0})
            QTest::newRow(qPrintable(QString("%1 at %2").arg(name).arg(p))) << name << p;
}

void TestShaders::transitionsMatchTheirFormulas()
{
    QFETCH(QString, program);
    QFETCH(double, progress);
    auto *item = new RefCountedObject<ProgramItem>();
    item->program = program;
    item->constants = {float(progress), float(kW) / kH, 1.0f, 1.0f};
    item->pictures[0] = &m_from;
    item->pictures[1] = &m_to;
    const QImage img = render(item);
    QCOMPARE(img.size(), QSize(kW, kH));

    const auto from = sampler(m_from), to = sampler(m_to);
    const std::string name = program.toStdString();
    const double aspect = double(kW) / kH;
    int judged = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const double u = (x + 0.5) / kW, v = (y + 0.5) / kH;
            const Rgba want = reference::transition(name, u, v, progress, aspect, from, to);
            // Pixels next to an edge of the effect are not judged: a formula evaluated
            // in single precision may put the edge a pixel either way.
            bool edge = false;
            for (double du : {-1.0, 1.0})
                for (double dv : {-1.0, 1.0})
                    edge = edge ||
                           !sameRgba(want, reference::transition(name, u + du / kW, v, progress,
                                                                 aspect, from, to)) ||
                           !sameRgba(want, reference::transition(name, u, v + dv / kH, progress,
                                                                 aspect, from, to));
            if (edge && name != "trans_move" && name.rfind("over_", 0) != 0)
                continue;
            if (edge && name == "trans_move" && std::abs(u - progress) < 2.0 / kW)
                continue;
            const double err = channelError(img.pixelColor(x, y), want);
            QVERIFY2(err <= 4.0 / 255,
                     qPrintable(QString("pixel %1,%2 off by %3").arg(x).arg(y).arg(err * 255)));
            ++judged;
        }
    // Banded effects have many edges on a small picture; a quarter is still plenty.
    QVERIFY2(judged > kW * kH / 4, qPrintable(QString::number(judged)));
}

void TestShaders::transitionsRespectTransparency()
{
    auto *item = new RefCountedObject<ProgramItem>();
    item->program = "over_cross";
    item->constants = {0.0f, float(kW) / kH, 0.5f, 1.0f};
    item->pictures[0] = &m_from;
    item->pictures[1] = &m_to;
    const QImage img = render(item);
    QVERIFY(std::abs(img.pixelColor(10, 10).alphaF() - 0.5) < 0.01);
}

void TestShaders::clipProgramAppliesTheColourControls_data()
{
    QTest::addColumn<double>("temperature");
    QTest::addColumn<double>("hue");
    QTest::addColumn<double>("brightness");
    QTest::addColumn<double>("contrast");
    QTest::addColumn<double>("saturation");
    QTest::addColumn<double>("highlight");
    QTest::addColumn<double>("transparent");
    QTest::newRow("unchanged") << 0.0 << 0.0 << 0.0 << 0.0 << 0.0 << 0.0 << 1.0;
    QTest::newRow("warm") << 0.6 << 0.0 << 0.0 << 0.0 << 0.0 << 0.0 << 1.0;
    QTest::newRow("cool") << -0.8 << 0.0 << 0.0 << 0.0 << 0.0 << 0.0 << 1.0;
    QTest::newRow("hue turned") << 0.0 << 0.4 << 0.0 << 0.0 << 0.0 << 0.0 << 1.0;
    QTest::newRow("brighter, more contrast") << 0.0 << 0.0 << 0.1 << 0.5 << 0.0 << 0.0 << 1.0;
    QTest::newRow("grey") << 0.0 << 0.0 << 0.0 << 0.0 << -1.0 << 0.0 << 1.0;
    QTest::newRow("everything, half transparent")
        << 0.3 << -0.2 << -0.05 << -0.3 << 0.5 << 0.1 << 0.5;
}

void TestShaders::clipProgramAppliesTheColourControls()
{
    reference::BaseParams k;
    QFETCH(double, temperature);
    QFETCH(double, hue);
    QFETCH(double, brightness);
    QFETCH(double, contrast);
    QFETCH(double, saturation);
    QFETCH(double, highlight);
    QFETCH(double, transparent);
    k = {temperature, hue, brightness, contrast, saturation, highlight, transparent};
    auto *item = new RefCountedObject<ProgramItem>();
    item->program = "rgba_base";
    item->constants = {float(temperature), float(hue),       float(brightness), float(contrast),
                       float(saturation),  float(highlight), float(transparent)};
    QImage picture(kW, kH, QImage::Format_RGBA8888);
    picture.fill(QColor(51, 128, 179));
    item->pictures[0] = &picture;
    const QImage img = render(item);
    const Rgba want = reference::base({51 / 255.0, 128 / 255.0, 179 / 255.0, 1.0}, k);
    const double err = channelError(img.pixelColor(kW / 2, kH / 2), want);
    QVERIFY2(err <= 3.0 / 255, qPrintable(QString("off by %1").arg(err * 255)));
}

void TestShaders::subtitleProgramScalesAlpha()
{
    auto *item = new RefCountedObject<ProgramItem>();
    item->program = "rgba_subtitle";
    item->constants = {0.25f};
    QImage text(kW, kH, QImage::Format_RGBA8888);
    text.fill(QColor(255, 200, 0, 200));
    item->pictures[0] = &text;
    const QColor got = render(item).pixelColor(5, 5);
    QVERIFY(std::abs(got.alphaF() - 200 / 255.0 * 0.25) < 0.01);
    QCOMPARE(got.red(), 255);
    QCOMPARE(got.green(), 200);
}

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    TestShaders test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shaders.moc"
