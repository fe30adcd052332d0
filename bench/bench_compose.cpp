// Composition benchmark: a 1080p scene of three textured layers, each uploaded
// anew every frame as decoded pictures are, drawn and read back, under a real X
// server (software OpenGL on this machine). Reference: the same frames with
// upload and read-back only, no drawing.
#include "render/RefCountedObject.h"

#include "graphics/GsDevice.h"
#include "graphics/GsFilter.h"
#include "graphics/GsItem.h"
#include "graphics/GsScene.h"
#include "graphics/GsTexture.h"

#include <QElapsedTimer>
#include <QGuiApplication>

#include <atomic>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

template <typename T> using Counted = RefCountedObject<T>;

class Layer : public GsItem {
public:
    Layer(const std::vector<uint8_t> *pixels, float x, float y, float w, float h, float rot,
          bool draw)
        : m_pixels(pixels), m_rotation(rot), m_draw(draw)
    {
        MoveTo(x, y);
        Resize(w, h);
    }
    void Tick() override
    {
        if (!m_texture)
            m_texture =
                std::make_unique<GsTexture>(m_pixels->data(), 1920 * 4, GS_RGBA, 1920, 1080);
        else
            m_texture->Update(m_pixels->data(), 1920 * 4, 1920, 1080);
    }
    void Draw() override
    {
        if (!m_draw || !GsContextDefault::BindShader("rgba"))
            return;
        GsTextureBinder bind(m_texture.get());
        // The layers are opaque: drawn without blending.
        GsContextDefault::SetBlending(false);
        GsContextDefault::DrawRect({pos().x, pos().y, size().x, size().y, m_rotation},
                                   {1920, 1080});
        GsContextDefault::SetBlending(true);
        GsContextDefault::UnbindShader();
    }

private:
    const std::vector<uint8_t> *m_pixels;
    float m_rotation;
    bool m_draw;
    std::unique_ptr<GsTexture> m_texture;
};

class Sink : public GsOutputRaw {
public:
    using GsOutputRaw::GsOutputRaw;
    uint64_t checksum = 0;
    int frames = 0;

protected:
    void OnFrame(const uint8_t *pixels, size_t bytes, int, int64_t) override
    {
        checksum += pixels[bytes / 2];
        ++frames;
    }
};

double framesPerSecond(bool draw, const std::vector<uint8_t> *layers)
{
    auto *scene = new Counted<GsScene>(1920, 1080);
    scene->AddRef();
    scene->AddItem(new Counted<Layer>(&layers[0], 0, 0, 1920, 1080, 0, draw));
    scene->AddItem(new Counted<Layer>(&layers[1], 300, 150, 960, 540, 0.2f, draw));
    scene->AddItem(new Counted<Layer>(&layers[2], -500, -250, 640, 360, 0, draw));
    Sink sink(scene, 1920, 1080, GS_RGBA);
    sink.Attach();
    GsDevice *dev = GsDevice::DefaultDevice();
    constexpr int frames = 60;
    for (int i = 0; i < 5; ++i) { // warm-up
        dev->TickSource();
        dev->OutputFrame(i, 1);
    }
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < frames; ++i) {
        dev->TickSource();
        dev->HandleFilter();
        dev->OutputFrame(i, 1);
    }
    sink.Flush();
    const double fps = frames / (t.nsecsElapsed() / 1e9);
    sink.Detach();
    scene->Release();
    return fps;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (!GsDevice::CreateDefaultDevice(false)) {
        std::printf("compose: no OpenGL device (run under xvfb-run)\n");
        return 1;
    }
    std::vector<uint8_t> layers[3];
    for (int l = 0; l < 3; ++l) {
        layers[l].resize(size_t(1920) * 1080 * 4);
        for (size_t i = 0; i < layers[l].size(); ++i)
            layers[l][i] = uint8_t((i * (l + 3)) >> 4);
    }
    const double full = framesPerSecond(true, layers);
    const double transfer = framesPerSecond(false, layers);
    std::printf("compose 1080p, 3 layers uploaded + drawn + read back: %.1f fps "
                "(upload and read-back alone %.1f fps, drawing costs %.1f ms a frame) on %s\n",
                full, transfer, 1000.0 / full - 1000.0 / transfer,
                GsDevice::DefaultDevice()->RendererName().c_str());
    GsDevice::DestroyDefaultDevice();
    return 0;
}
