#include "TransPreviewItem.h"

#include "render/ShaderLibrary.h"

#include "VideoPreviewItem.h"

#include "graphics/GsScene.h"
#include "graphics/GsTexture.h"

std::unique_ptr<GsTexture> textureFromCrop(const VFrameInfo &slot)
{
    if (!slot.frame)
        return nullptr;
    const ff::VFrameCtx &f = *slot.frame;
    QRect crop = slot.crop.isEmpty() ? QRect(0, 0, f.width, f.height) : slot.crop;
    crop = crop.intersected(QRect(0, 0, f.width, f.height));
    if (crop.isEmpty())
        return nullptr;
    auto texture = std::make_unique<GsTexture>(f.pixel(crop.x(), crop.y()), f.stride, GS_RGBA,
                                               crop.width(), crop.height());
    return texture->isValid() ? std::move(texture) : nullptr;
}

// ---- TransFilter ----------------------------------------------------------------

TransFilter::TransFilter(int width, int height) : GsFilter(width, height) {}

TransFilter::~TransFilter() = default;

void TransFilter::set(GsTexture *texture, const gs_transform &transform, const float colour[6])
{
    m_texture = texture;
    m_transform = transform;
    std::copy(colour, colour + 6, m_colour);
}

void TransFilter::Render()
{
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
    GsContextDefault::DrawRect(m_transform, {float(width()), float(height())});
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
    if (slot.frame)
        texture = textureFromCrop(slot);
    else
        texture.reset();
    const float none[6] = {0, 0, 0, 0, 0, 0};
    if (!texture) {
        if (filter)
            filter->set(nullptr, gs_transform(), none);
        return;
    }
    if (!filter) {
        filter = std::make_unique<TransFilter>(int(m_width), int(m_height));
        filter->Attach();
    }
    QSizeF size(slot.width, slot.height);
    if (slot.fitMode == 1)
        size = VideoPreviewItem::fitted(slot.width, slot.height,
                                        double(texture->width()) / texture->height());
    const float colour[6] = {slot.temperature, slot.hue,        slot.brightness,
                             slot.contrast,    slot.saturation, slot.highlight};
    filter->set(texture.get(),
                {slot.x, slot.y, float(size.width()), float(size.height()), slot.rotation}, colour);
}

void TransPreviewItem::prepare()
{
    if (!m_exportMode) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_hasPending)
            return;
        m_current = m_pending;
        m_hasPending = false;
    }
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
