// Graphics library under a real X server, where the composed tests do not reach: raw
// outputs hand over pixels and time stamps. (Placement, stacking and programs are
// checked on composed and exported pictures.)
#include "render/RefCountedObject.h"
#include "support/SceneGrab.h"

#include "graphics/GsDevice.h"
#include "graphics/GsItem.h"
#include "graphics/GsScene.h"
#include "graphics/GsTexture.h"

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

bool near(QColor a, QColor b, int tolerance = 3)
{
    return fixtures::sameColour(a, b, tolerance);
}

} // namespace

class TestGraphics : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(GsDevice::CreateDefaultDevice(false),
                 "no OpenGL 3.3 context (is an X server there?)");
        QVERIFY(GsDevice::DefaultDevice());
        QVERIFY(GsDevice::DefaultDevice()->HasShader("rgba"));
        qInfo("renderer: %s", GsDevice::DefaultDevice()->RendererName().c_str());
    }
    void cleanupTestCase()
    {
        GsDevice::DestroyDefaultDevice();
        QVERIFY(!GsDevice::DefaultDevice());
    }

    void rawOutputHandsOverPixelsAndStampsAtMostOnePassLate()
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
        QVERIFY2(out.stamps == all.mid(0, 2) || out.stamps == all,
                 "frames in order, at most one late");
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
};

QTEST_MAIN(TestGraphics)

#include "tst_graphics.moc"
