// Graphics library under a real X server: quads land where the centre-origin
// transform puts them, order values stack them, filters feed later draws, raw
// outputs hand over pixels and time stamps, and views present into a window.
#include "render/RefCountedObject.h"
#include "support/SceneGrab.h"

#include "graphics/GsDevice.h"
#include "graphics/GsFilter.h"
#include "graphics/GsItem.h"
#include "graphics/GsScene.h"
#include "graphics/GsTexture.h"
#include "graphics/GsView.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <memory>

namespace {

template <typename T> using Counted = RefCountedObject<T>;

std::vector<uint8_t> solid(int w, int h, QColor c)
{
    std::vector<uint8_t> px(size_t(w) * size_t(h) * 4);
    for (size_t i = 0; i < px.size(); i += 4) {
        px[i] = uint8_t(c.red());
        px[i + 1] = uint8_t(c.green());
        px[i + 2] = uint8_t(c.blue());
        px[i + 3] = uint8_t(c.alpha());
    }
    return px;
}

// A rectangle of one colour (or of a given texture), drawn with the "rgba" program.
class QuadItem : public GsItem {
public:
    QuadItem(QColor colour, float x, float y, float w, float h, float rotation = 0)
        : m_colour(colour), m_rotation(rotation)
    {
        MoveTo(x, y);
        Resize(w, h);
    }
    GsTexture *source = nullptr; // drawn instead of the colour when set
    int ticks = 0;

    void Tick() override
    {
        ++ticks;
        if (!m_texture) {
            const auto px = solid(2, 2, m_colour);
            m_texture = std::make_unique<GsTexture>(px.data(), 8, GS_RGBA, 2, 2);
        }
    }
    void Draw() override
    {
        GsTexture *t = source ? source : m_texture.get();
        if (!t || !GsContextDefault::BindShader("rgba"))
            return;
        GsTextureBinder bind(t);
        GsContextDefault::DrawRect({pos().x, pos().y, size().x, size().y, m_rotation},
                                   {float(scene()->width()), float(scene()->height())});
        GsContextDefault::UnbindShader();
    }

private:
    QColor m_colour;
    float m_rotation;
    std::unique_ptr<GsTexture> m_texture;
};

using Quad = Counted<QuadItem>;
using Scene = Counted<GsScene>;

// Keeps every frame handed over, as images.
class Capture : public GsOutputRaw {
public:
    using GsOutputRaw::GsOutputRaw;
    QList<QImage> frames;
    QList<int64_t> stamps;

protected:
    void OnFrame(const uint8_t *pixels, size_t bytes, int stride, int64_t ts) override
    {
        Q_ASSERT(bytes >= size_t(stride) * size_t(height()));
        frames << QImage(pixels, width(), height(), stride, QImage::Format_RGBA8888).copy();
        stamps << ts;
    }
};

// Runs one render-loop pass and returns the scene image.
QImage renderOnce(GsScene *scene)
{
    Capture out(scene, int(scene->width()), int(scene->height()), GS_RGBA);
    out.Attach();
    GsDevice *dev = GsDevice::DefaultDevice();
    dev->TickSource();
    dev->HandleFilter();
    dev->OutputFrame(0, 1);
    out.Flush();
    out.Detach();
    return out.frames.isEmpty() ? QImage() : out.frames.last();
}

bool near(QColor a, QColor b, int tolerance = 3)
{
    return fixtures::sameColour(a, b, tolerance);
}

// Pixel at scene coordinates (origin at the centre, y down).
QColor at(const QImage &img, int x, int y)
{
    return img.pixelColor(img.width() / 2 + x, img.height() / 2 + y);
}

} // namespace

class TestGraphics : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void shadersBuildOrAreRefused();
    void quadLandsWhereTheTransformSays_data();
    void quadLandsWhereTheTransformSays();
    void orderValuesStackItems();
    void filterResultFeedsALaterDraw();
    void rawOutputHandsOverPixelsAndStampsAtMostOnePassLate();
    void rawOutputScalesToItsOwnSize();
    void textureUploadsASubRectangleAndReusesStorage();
    void itemsComeAndGoWhileRendering();
    void viewPresentsTheSceneIntoAWindow();
};

void TestGraphics::initTestCase()
{
    QVERIFY2(GsDevice::CreateDefaultDevice(false), "no OpenGL 3.3 context (is an X server there?)");
    QVERIFY(GsDevice::DefaultDevice());
    QVERIFY(GsDevice::DefaultDevice()->HasShader("rgba"));
    qInfo("renderer: %s", GsDevice::DefaultDevice()->RendererName().c_str());
}

void TestGraphics::cleanupTestCase()
{
    GsDevice::DestroyDefaultDevice();
    QVERIFY(!GsDevice::DefaultDevice());
}

void TestGraphics::shadersBuildOrAreRefused()
{
    GsDevice *dev = GsDevice::DefaultDevice();
    const char *ok = "#version 330 core\nin vec2 uv; out vec4 c;\n"
                     "layout(std140) uniform PS { float progress; };\n"
                     "void main(){ c = vec4(progress, uv, 1.0); }\n";
    QVERIFY(dev->AddShader("probe", GsDevice::SharedVertexSource(), ok));
    QVERIFY(dev->HasShader("probe"));
    QVERIFY(!dev->AddShader("broken", GsDevice::SharedVertexSource(), "not glsl"));
    QVERIFY(!dev->HasShader("broken"));
    QVERIFY(!GsContextDefault::BindShader("broken"));
}

void TestGraphics::quadLandsWhereTheTransformSays_data()
{
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("y");
    QTest::addColumn<float>("w");
    QTest::addColumn<float>("h");
    QTest::addColumn<float>("rotation");
    QTest::newRow("centred") << 0.f << 0.f << 40.f << 20.f << 0.f;
    QTest::newRow("right and up") << 50.f << -20.f << 40.f << 20.f << 0.f;
    QTest::newRow("left and down") << -60.f << 25.f << 30.f << 16.f << 0.f;
    QTest::newRow("quarter turn") << 20.f << 10.f << 60.f << 10.f << float(M_PI / 2);
    QTest::newRow("eighth turn") << 0.f << 0.f << 60.f << 10.f << float(M_PI / 4);
}

void TestGraphics::quadLandsWhereTheTransformSays()
{
    QFETCH(float, x);
    QFETCH(float, y);
    QFETCH(float, w);
    QFETCH(float, h);
    QFETCH(float, rotation);
    auto *scene = new Scene(200, 100);
    scene->AddRef();
    scene->AddItem(new Quad(Qt::red, x, y, w, h, rotation));
    const QImage img = renderOnce(scene);
    QCOMPARE(img.size(), QSize(200, 100));
    // Every pixel centre is red exactly when it lies inside the turned rectangle
    // (pixels within a pixel of the edge are not judged).
    int judged = 0;
    for (int py = 0; py < 100; ++py)
        for (int px = 0; px < 200; ++px) {
            const float sx = px + 0.5f - 100 - x, sy = py + 0.5f - 50 - y;
            const float u = sx * std::cos(-rotation) - sy * std::sin(-rotation);
            const float v = sx * std::sin(-rotation) + sy * std::cos(-rotation);
            const float margin = std::max(std::abs(u) - w / 2, std::abs(v) - h / 2);
            if (std::abs(margin) < 1.0f)
                continue;
            const QColor expected = margin < 0 ? QColor(Qt::red) : QColor(Qt::black);
            QVERIFY2(near(img.pixelColor(px, py), expected),
                     qPrintable(QString("pixel %1,%2").arg(px).arg(py)));
            ++judged;
        }
    QVERIFY(judged > 18000);
    scene->Release();
}

void TestGraphics::orderValuesStackItems()
{
    auto *scene = new Scene(100, 100);
    scene->AddRef();
    auto *low = new Quad(Qt::red, 0, 0, 60, 60);
    auto *high = new Quad(Qt::blue, 10, 10, 60, 60);
    low->SetOrder(1);
    high->SetOrder(2);
    scene->AddItem(high);
    scene->AddItem(low);
    QImage img = renderOnce(scene);
    QVERIFY(near(at(img, 5, 5), Qt::blue));    // overlap: the higher order wins
    QVERIFY(near(at(img, -25, -25), Qt::red)); // only the low one there
    low->SetOrder(3);
    scene->OrderItem();
    img = renderOnce(scene);
    QVERIFY(near(at(img, 5, 5), Qt::red));
    // Items are enumerated in drawing order, and enumeration can stop early.
    QList<GsItem *> seen;
    scene->EnumItems(
        [](GsItem *item, void *ctx) {
            static_cast<QList<GsItem *> *>(ctx)->append(item);
            return false;
        },
        &seen);
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen.first(), static_cast<GsItem *>(high));
    scene->Release();
}

void TestGraphics::filterResultFeedsALaterDraw()
{
    class GreenFilter : public GsFilter {
    public:
        using GsFilter::GsFilter;
        std::unique_ptr<GsTexture> green;
        int passes = 0;

    protected:
        void Render() override
        {
            ++passes;
            if (!green) {
                const auto px = solid(1, 1, Qt::green);
                green = std::make_unique<GsTexture>(px.data(), 4, GS_RGBA, 1, 1);
            }
            GsContextDefault::BindShader("rgba");
            GsTextureBinder bind(green.get());
            // Left half of the filter only.
            GsContextDefault::DrawRect({-16, 0, 32, 32, 0}, {64, 32});
            GsContextDefault::UnbindShader();
        }
    } filter(64, 32);
    filter.Attach();
    auto *scene = new Scene(128, 64);
    scene->AddRef();
    auto *quad = new Quad(Qt::red, 0, 0, 128, 64);
    scene->AddItem(quad);
    renderOnce(scene); // runs the filter once so that its texture exists
    quad->source = filter.texture();
    QVERIFY(quad->source);
    const QImage img = renderOnce(scene);
    QVERIFY(filter.passes >= 2);
    QVERIFY(near(at(img, -30, 0), Qt::green));
    QCOMPARE(at(img, 30, 0).alpha(), 255);
    QVERIFY(near(at(img, 30, 0), Qt::black)); // transparent half over the black scene
    filter.Detach();
    renderOnce(scene);
    QCOMPARE(filter.passes, 2); // detached: no more passes
    scene->Release();
}

void TestGraphics::rawOutputHandsOverPixelsAndStampsAtMostOnePassLate()
{
    auto *scene = new Scene(64, 48);
    scene->AddRef();
    auto *quad = new Quad(Qt::red, 0, 0, 64, 48);
    scene->AddItem(quad);
    Capture out(scene, 64, 48, GS_RGBA);
    out.Attach();
    GsDevice *dev = GsDevice::DefaultDevice();
    for (int n = 0; n < 3; ++n) {
        dev->TickSource();
        dev->OutputFrame(int64_t(n) * 33333333, 1);
    }
    // A GPU's frame arrives a pass late; a software rasteriser's at once.
    const QList<int64_t> all({0, 33333333, 66666666});
    QVERIFY2(out.stamps == all.mid(0, 2) || out.stamps == all, "frames in order, at most one late");
    out.Flush();
    QCOMPARE(out.stamps, QList<int64_t>({0, 33333333, 66666666}));
    QCOMPARE(quad->ticks, 3);
    for (const QImage &f : out.frames)
        QVERIFY(near(f.pixelColor(10, 10), Qt::red));
    out.Detach();
    dev->OutputFrame(4, 1);
    out.Flush();
    QCOMPARE(out.frames.size(), 3);
    scene->Release();
}

void TestGraphics::rawOutputScalesToItsOwnSize()
{
    auto *scene = new Scene(200, 100);
    scene->AddRef();
    scene->AddItem(new Quad(Qt::blue, -50, 0, 100, 100)); // left half
    Capture half(scene, 100, 50, GS_RGBA);
    half.Attach();
    GsDevice::DefaultDevice()->TickSource();
    GsDevice::DefaultDevice()->OutputFrame(1, 1);
    half.Flush();
    half.Detach();
    QCOMPARE(half.frames.size(), 1);
    QCOMPARE(half.frames[0].size(), QSize(100, 50));
    QVERIFY(near(half.frames[0].pixelColor(20, 25), Qt::blue));
    QVERIFY(near(half.frames[0].pixelColor(80, 25), Qt::black));
    scene->Release();
}

void TestGraphics::textureUploadsASubRectangleAndReusesStorage()
{
    GsDevice::DefaultDevice()->MakeCurrent();
    // A 4×2 picture: left half red, right half green; upload only its right half.
    std::vector<uint8_t> picture = solid(4, 2, Qt::red);
    for (int y = 0; y < 2; ++y)
        for (int x = 2; x < 4; ++x) {
            uint8_t *p = &picture[size_t(y * 4 + x) * 4];
            p[0] = 0;
            p[1] = 255;
        }
    auto *scene = new Scene(32, 32);
    scene->AddRef();
    auto *quad = new Quad(Qt::red, 0, 0, 32, 32);
    GsTexture crop(picture.data() + 2 * 4, 16, GS_RGBA, 2, 2);
    QCOMPARE(crop.width(), 2);
    quad->source = &crop;
    scene->AddItem(quad);
    QImage img = renderOnce(scene);
    QVERIFY(near(at(img, -10, -10), Qt::green));
    QVERIFY(near(at(img, 10, 10), Qt::green));
    const unsigned int name = crop.name();
    const auto blue = solid(2, 2, Qt::blue);
    QVERIFY(crop.Update(blue.data(), 8, 2, 2));
    QCOMPARE(crop.name(), name);
    img = renderOnce(scene);
    QVERIFY(near(at(img, 0, 0), Qt::blue));
    scene->RemoveItem(quad); // the last reference: the item is gone
    scene->Release();
}

void TestGraphics::itemsComeAndGoWhileRendering()
{
    auto *scene = new Scene(64, 64);
    scene->AddRef();
    GsDevice *dev = GsDevice::DefaultDevice();
    std::atomic<bool> stop{false};
    std::atomic<int> edits{0};
    // Another thread adds, re-orders and removes items while this one renders.
    QThread *editor = QThread::create([&] {
        int n = 0;
        while (!stop) {
            auto *q = new Quad(n % 2 ? Qt::red : Qt::blue, float(n % 20), 0, 10, 10);
            q->SetOrder(n % 7);
            q->AddRef();
            scene->AddItem(q);
            scene->OrderItem();
            if (n % 3 == 0)
                scene->RemoveItem(q);
            q->Release();
            edits = ++n;
        }
    });
    editor->start();
    for (int i = 0; i < 60 || edits < 200; ++i) {
        dev->TickSource();
        dev->OutputFrame(i, 1);
    }
    stop = true;
    editor->wait();
    delete editor;
    QVERIFY(scene->itemCount() > 0);
    QVERIFY(!renderOnce(scene).isNull());
    scene->Release();
}

void TestGraphics::viewPresentsTheSceneIntoAWindow()
{
    QWindow window;
    window.setSurfaceType(QSurface::OpenGLSurface);
    window.resize(160, 120);
    window.setFlags(Qt::FramelessWindowHint);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    auto *scene = new Scene(160, 90); // wider than the window: bands above and below
    scene->AddRef();
    scene->AddItem(new Quad(Qt::red, -40, 0, 80, 90)); // left half of the scene
    GsViewImpl view(&window, 160, 120, scene);
    view.SetBackgroundColor(0.196f, 0.196f, 0.196f, 1.0f);
    view.Attch();
    GsDevice *dev = GsDevice::DefaultDevice();
    dev->TickSource();
    dev->OutputFrame(0, 1);
    // A loaded X server may show the window's content a little later: present again
    // until the grab holds a picture (at most 2 s), then judge it.
    QImage shot;
    for (int tries = 0; tries < 20; ++tries) {
        dev->DrawDisplay();
        QTest::qWait(100);
        shot = window.screen()->grabWindow(window.winId()).toImage();
        if (near(shot.pixelColor(40, 60), Qt::red, 6))
            break;
    }
    QCOMPARE(shot.size(), QSize(160, 120));
    QVERIFY2(near(shot.pixelColor(40, 60), Qt::red, 6), "scene content on the left");
    QVERIFY(near(shot.pixelColor(120, 60), Qt::black, 6));        // black scene on the right
    QVERIFY(near(shot.pixelColor(80, 5), QColor(50, 50, 50), 6)); // background band at the top
    QVERIFY(near(shot.pixelColor(40, 14), QColor(50, 50, 50), 6));
    QVERIFY(near(shot.pixelColor(40, 17), Qt::red, 6)); // the scene starts at y = 15
    const gs_vec2 offset = view.preview_offset();
    QCOMPARE(offset.x, -80.0f);
    QCOMPARE(offset.y, -60.0f);

    // A view marked dead (its window going away) is skipped, not drawn into.
    view.MarkDead();
    dev->DrawDisplay();
    view.Detach();
    scene->Release();
}

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    TestGraphics test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_graphics.moc"
