#include "TransPreviewItem.h"

#include "render/ShaderLibrary.h"

#include "VideoPreviewItem.h"

#include "graphics/GsScene.h"
#include "graphics/GsTexture.h"

void uploadCrop(const VFrameInfo &slot, std::unique_ptr<GsTexture> &texture)
{
    if (!slot.frame) {
        texture.reset();
        return;
    }
    const ff::VFrameCtx &f = *slot.frame;
    const QRect crop = ClipItem::cropOf(slot);
    if (crop.isEmpty()) {
        texture.reset();
        return;
    }
    const uint8_t *first = f.pixel(crop.x(), crop.y());
    if (texture && texture->width() == crop.width() && texture->height() == crop.height() &&
        texture->Update(first, f.stride, crop.width(), crop.height()))
        return;
    texture = std::make_unique<GsTexture>(first, f.stride, GS_RGBA, crop.width(), crop.height());
    if (!texture->isValid())
        texture.reset();
}

// ---- TransFilter ----------------------------------------------------------------

TransFilter::TransFilter(int width, int height, const gs_vec2 &units)
    : GsFilter(width, height), m_units(units)
{}

TransFilter::~TransFilter() = default;

void TransFilter::set(GsTexture *texture, const gs_transform &transform, const float colour[6],
                      bool opaque)
{
    m_texture = texture;
    m_opaque = opaque;
    m_changed = true;
    m_transform = transform;
    std::copy(colour, colour + 6, m_colour);
}

void TransFilter::Render()
{
    m_changed = false;
    if (!m_texture)
        return;
    if (!m_constants)
        m_constants = std::make_unique<GsConstantBuffer>(32);
    // The side's own transparency is applied by the transition program.
    const float constants[8] = {m_colour[0], m_colour[1], m_colour[2], m_colour[3],
                                m_colour[4], m_colour[5], 1.0f,        0.0f};
    m_constants->Update(constants, sizeof constants);
    if (!GsContextDefault::BindShader(ShaderLibrary::clipProgram(m_colour)))
        return;
    m_constants->Bind();
    GsTextureBinder bind(m_texture);
    // Onto the cleared side image an opaque picture needs no blending.
    if (m_opaque)
        GsContextDefault::SetBlending(false);
    GsContextDefault::DrawRect(m_transform, m_units, m_texture);
    if (m_opaque)
        GsContextDefault::SetBlending(true);
    GsContextDefault::UnbindShader();
}

// ---- TransPreviewItem -------------------------------------------------------------

TransPreviewItem::TransPreviewItem(uint32_t sceneWidth, uint32_t sceneHeight)
    : m_width(sceneWidth), m_height(sceneHeight)
{
    SetOrder(kOrder);
    SetBaseSize(float(sceneWidth), float(sceneHeight));
}

TransPreviewItem::~TransPreviewItem()
{
    if (m_fromFilter)
        m_fromFilter->Detach();
    if (m_toFilter)
        m_toFilter->Detach();
}

void TransPreviewItem::setPending(const RenderParam &result)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending = result;
    m_hasPending = true;
}

void TransPreviewItem::prepareSide(const VFrameInfo &slot, std::unique_ptr<GsTexture> &texture,
                                   std::unique_ptr<TransFilter> &filter)
{
    uploadCrop(slot, texture);
    const float none[6] = {0, 0, 0, 0, 0, 0};
    if (!texture) {
        if (filter)
            filter->set(nullptr, gs_transform(), none, false);
        return;
    }
    // Each side is drawn at the size the scene is drawn at now.
    const int width = scene() ? int(scene()->renderWidth()) : int(m_width);
    const int height = scene() ? int(scene()->renderHeight()) : int(m_height);
    if (filter && (filter->width() != width || filter->height() != height)) {
        filter->Detach();
        filter.reset();
    }
    if (!filter) {
        filter =
            std::make_unique<TransFilter>(width, height, gs_vec2{float(m_width), float(m_height)});
        filter->Attach();
    }
    QSizeF size(slot.width, slot.height);
    if (slot.fitMode == 1)
        size =
            ClipItem::fitted(slot.width, slot.height, double(texture->width()) / texture->height());
    const float colour[6] = {slot.temperature, slot.hue,        slot.brightness,
                             slot.contrast,    slot.saturation, slot.highlight};
    filter->set(texture.get(),
                {slot.x, slot.y, float(size.width()), float(size.height()), slot.rotation}, colour,
                slot.frame->opaque);
}

void TransPreviewItem::prepare()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_hasPending) {
            m_current = m_pending;
            m_hasPending = false;
            m_sidesStale = true;
        }
    }
    // The scene is drawn at another size now: the sides are drawn again at it.
    if (m_fromFilter && scene() && m_fromFilter->width() != int(scene()->renderWidth()))
        m_sidesStale = true;
    // Hidden, nothing is uploaded or drawn: the side passes run only when a shown
    // transition's sides change.
    if (!visible || !m_sidesStale)
        return;
    m_sidesStale = false;
    prepareSide(m_current.from, m_fromTexture, m_fromFilter);
    prepareSide(m_current.to, m_toTexture, m_toFilter);
}

void TransPreviewItem::draw()
{
    if (!visible || (!m_fromTexture && !m_toTexture))
        return;
    if (!m_constants)
        m_constants = std::make_unique<GsConstantBuffer>(16);
    const float constants[4] = {float(m_current.progress), float(m_width) / float(m_height),
                                m_current.from.transparency, m_current.to.transparency};
    m_constants->Update(constants, sizeof constants);
    if (!GsContextDefault::BindShader(m_current.shader.toUtf8().constData()))
        return;
    m_constants->Bind();
    GsTextureBinder bind(m_fromFilter ? m_fromFilter->texture() : nullptr,
                         m_toFilter ? m_toFilter->texture() : nullptr);
    GsContextDefault::DrawRect({0, 0, float(m_width), float(m_height), 0},
                               {float(m_width), float(m_height)});
    GsContextDefault::UnbindShader();
}
