#include "ZueGsView.h"

#include "render/compose/PreviewItem.h"

#include "bridge/Logger.h"
#include "graphics/GsScene.h"
#include "graphics/GsTexture.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

std::unique_ptr<GsTexture> solid(uint8_t r, uint8_t g, uint8_t b)
{
    const uint8_t px[16] = {r, g, b, 255, r, g, b, 255, r, g, b, 255, r, g, b, 255};
    return std::make_unique<GsTexture>(px, 8, GS_RGBA, 2, 2);
}

// An outlined item's geometry, copied while the scene's lock is held: the item
// itself may leave the scene as soon as the enumeration returns.
struct Outlined {
    gs_transform placed;
    bool selected = false; // with handles; a hovered one gets its frame only
};

} // namespace

ZueGsView::ZueGsView(QWindow *window, int width, int height, GsScene *scene)
    : GsViewImpl(window, width, height, scene),
      m_rotateImage(
          QImage(QStringLiteral(":/image/rotate.png")).convertToFormat(QImage::Format_RGBA8888))
{
    BG_LOG_D("rotate_image: %dx%d", m_rotateImage.width(), m_rotateImage.height());
}

ZueGsView::~ZueGsView() = default;

double ZueGsView::SceneScale() const
{
    return m_zoom * GsViewImpl::SceneScale();
}

void ZueGsView::Draw()
{
    GsScene *scene = this->scene();
    if (!scene || scene->width() == 0 || scene->height() == 0)
        return;
    const double s = SceneScale();
    DrawSceneTexture(int(std::lround(scene->width() * s)), int(std::lround(scene->height() * s)));
    DrawClampLines();

    std::vector<Outlined> outlined;
    scene->EnumItems(
        [](GsItem *item, void *context) {
            auto *preview = dynamic_cast<PreviewItem *>(item);
            if (preview && preview->visible && (preview->selected || preview->hovered))
                static_cast<std::vector<Outlined> *>(context)->push_back(
                    {preview->transform(), preview->selected});
            return true;
        },
        &outlined);
    if (outlined.empty() || !GsContextDefault::BindShader("rgba"))
        return;
    if (!m_frameColour) {
        m_frameColour = solid(0x3a, 0xa0, 0xff);
        m_hoverColour = solid(0x9a, 0xd0, 0xff);
        m_handleColour = solid(0xff, 0xff, 0xff);
        if (!m_rotateImage.isNull())
            m_rotateTexture = std::make_unique<GsTexture>(
                m_rotateImage.constBits(), int(m_rotateImage.bytesPerLine()), GS_RGBA,
                m_rotateImage.width(), m_rotateImage.height());
    }
    // Overlay sizes are logical pixels, as the pointer's hit tests are: the same on
    // screen at any display scale.
    const float px = devicePixelRatio();
    const gs_vec2 viewport{float(width()), float(height())};
    for (const Outlined &o : outlined) {
        const gs_transform &item = o.placed;
        const float r = item.rotation, c = std::cos(r), sn = std::sin(r);
        const float cx = float(item.x * s), cy = float(item.y * s);
        const float w = float(item.width * s), h = float(item.height * s);
        // A point of the item's own frame (view pixels from its centre) in the view.
        auto at = [&](float x, float y) {
            return gs_vec2{cx + x * c - y * sn, cy + x * sn + y * c};
        };
        {
            GsTextureBinder bind(o.selected ? m_frameColour.get() : m_hoverColour.get());
            const gs_vec2 top = at(0, -h / 2), bottom = at(0, h / 2);
            const gs_vec2 left = at(-w / 2, 0), right = at(w / 2, 0);
            GsContextDefault::DrawRect({top.x, top.y, w, 2 * px, r}, viewport);
            GsContextDefault::DrawRect({bottom.x, bottom.y, w, 2 * px, r}, viewport);
            GsContextDefault::DrawRect({left.x, left.y, 2 * px, h, r}, viewport);
            GsContextDefault::DrawRect({right.x, right.y, 2 * px, h, r}, viewport);
        }
        if (!o.selected)
            continue;
        {
            GsTextureBinder bind(m_handleColour.get());
            for (float hx : {-w / 2, 0.0f, w / 2})
                for (float hy : {-h / 2, 0.0f, h / 2}) {
                    if (hx == 0 && hy == 0)
                        continue;
                    const gs_vec2 p = at(hx, hy);
                    GsContextDefault::DrawRect({p.x, p.y, 8 * px, 8 * px, r}, viewport);
                }
        }
        if (m_rotateTexture) {
            GsTextureBinder bind(m_rotateTexture.get());
            const gs_vec2 p = at(0, -h / 2 - 20 * px);
            GsContextDefault::DrawRect({p.x, p.y, 16 * px, 16 * px, r}, viewport);
        }
    }
    GsContextDefault::UnbindShader();
}
