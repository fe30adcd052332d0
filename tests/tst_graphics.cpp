// Graphics library under a real X server, where the composed tests do not reach:
// raw outputs hand over pixels and time stamps, textures take sub-rectangles into
// the storage they have, and items come and go while the render loop runs.
// (Placement, stacking and programs are checked on composed and exported pictures.)
#include "render/RefCountedObject.h"
#include "support/SceneGrab.h"

#include "graphics/GsDevice.h"
#include "graphics/GsFilter.h"
#include "graphics/GsItem.h"
#include "graphics/GsScene.h"
#include "graphics/GsTexture.h"

#include <QGuiApplication>
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

    void rawOutputHandsOverPixelsAndStampsAtMostOnePassLate();
    void textureUploadsASubRectangleAndReusesStorage();
    void itemsComeAndGoWhileRendering();
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

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    TestGraphics test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_graphics.moc"
