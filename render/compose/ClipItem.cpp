#include "ClipItem.h"

#include "TransPreviewItem.h"
#include "render/RefCountedObject.h"
#include "render/ShaderLibrary.h"

#include "graphics/GsScene.h"
#include "graphics/GsTexture.h"

#include <algorithm>

ClipItem::ClipItem(uint32_t sceneWidth, uint32_t sceneHeight)
    : m_companion(new RefCountedObject<TransPreviewItem>(sceneWidth, sceneHeight))
{
    m_companion->AddRef();
}

ClipItem::~ClipItem()
{
    m_companion->Release();
}

QSizeF ClipItem::fitted(double w, double h, double a)
{
    if (h <= 0 || a <= 0)
        return QSizeF(w, h);
    return w / h >= a ? QSizeF(h * a, h) : QSizeF(w, w / a);
}

void ClipItem::setCurrent(const RenderParam &param)
{
    m_current = param;
    if (m_current.current.frame) {
        // Uploaded when drawn: a picture written straight into the scene needs none.
        m_uploadWanted = true;
        m_shownPts.storeRelaxed(m_current.current.frame->ptsUs);
    }
}

QSize ClipItem::textureSize() const
{
    return cropOf(m_current.current).size();
}

QSizeF ClipItem::drawnSize(const VFrameInfo &slot, const gs_transform &placed, const QSize &picture)
{
    const QSizeF box(placed.width, placed.height);
    if (slot.fitMode != 1 || picture.isEmpty())
        return box;
    return fitted(box.width(), box.height(), double(picture.width()) / picture.height());
}

QRect ClipItem::cropOf(const VFrameInfo &slot)
{
    if (!slot.frame)
        return QRect();
    const QRect whole(0, 0, slot.frame->width, slot.frame->height);
    return slot.crop.isEmpty() ? whole : slot.crop.intersected(whole);
}

bool ClipItem::FillTarget(GsTexture *target)
{
    const VFrameInfo &slot = m_current.current;
    if (!visible || !target || !slot.frame || !slot.frame->opaque || slot.transparency < 1.0f)
        return false;
    const float colour[6] = {slot.temperature, slot.hue,        slot.brightness,
                             slot.contrast,    slot.saturation, slot.highlight};
    if (std::any_of(colour, colour + 6, [](float c) { return c != 0.0f; }))
        return false;
    // It must cover the scene exactly, with one texel for each pixel of the image
    // (which may be smaller than the scene when the views show it smaller).
    const QRect crop = cropOf(slot);
    const gs_transform placed = transform();
    const QSize pixels(target->width(), target->height());
    const QSizeF units(scene() ? scene()->width() : 0, scene() ? scene()->height() : 0);
    if (placed.rotation != 0 || placed.x != 0 || placed.y != 0 || crop.size() != pixels ||
        drawnSize(slot, placed, crop.size()) != units)
        return false;
    return target->Update(slot.frame->pixel(crop.x(), crop.y()), slot.frame->stride, crop.width(),
                          crop.height());
}

void ClipItem::draw()
{
    if (!visible || !scene())
        return;
    const VFrameInfo &slot = m_current.current;
    if (m_uploadWanted) {
        uploadCrop(slot, m_texture);
        m_uploadWanted = false;
    }
    if (!m_texture)
        return;
    const gs_transform placed = transform();
    const QSizeF size = drawnSize(slot, placed, cropOf(slot).size());
    if (!m_constants)
        m_constants = std::make_unique<GsConstantBuffer>(32);
    const float constants[8] = {slot.temperature, slot.hue,       slot.brightness,   slot.contrast,
                                slot.saturation,  slot.highlight, slot.transparency, 0.0f};
    m_constants->Update(constants, sizeof constants);
    if (!GsContextDefault::BindShader(ShaderLibrary::clipProgram(constants)))
        return;
    m_constants->Bind();
    GsTextureBinder bind(m_texture.get());
    const float w = float(scene()->width()), h = float(scene()->height());
    GsContextDefault::SetViewport(0, 0, int(scene()->renderWidth()), int(scene()->renderHeight()));
    // An opaque picture at full opacity covers what is below: no blending needed.
    const bool opaque = slot.frame && slot.frame->opaque && slot.transparency >= 1.0f;
    if (opaque)
        GsContextDefault::SetBlending(false);
    GsContextDefault::DrawRect(
        {placed.x, placed.y, float(size.width()), float(size.height()), placed.rotation}, {w, h},
        m_texture.get());
    if (opaque)
        GsContextDefault::SetBlending(true);
    GsContextDefault::UnbindShader();
}
