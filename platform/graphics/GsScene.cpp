#include "GsScene.h"

#include "GsItem.h"
#include "gl/GsDeviceImpl.h"
#include "gl/GsTarget.h"

#include <algorithm>

struct GsScene::Target : gsdetail::Target {
    using gsdetail::Target::Target;
};

GsScene::GsScene(uint32_t width, uint32_t height)
    : m_width(width), m_height(height), m_renderWidth(width), m_renderHeight(height)
{
    if (gsdetail::device())
        gsdetail::addTo(gsdetail::device()->scenes, this);
}

GsScene::~GsScene()
{
    if (GsDevice::Impl *d = gsdetail::device())
        gsdetail::removeFrom(d->scenes, this);
    for (GsItem *item : m_items) {
        item->m_scene = nullptr;
        item->Release();
    }
    delete m_target;
}

void GsScene::SetRenderSize(uint32_t width, uint32_t height)
{
    m_renderWidth = std::max<uint32_t>(1, std::min(width, m_width));
    m_renderHeight = std::max<uint32_t>(1, std::min(height, m_height));
}

void GsScene::AddItem(GsItem *item)
{
    if (!item)
        return;
    MCLocker lock(m_mutex);
    if (std::find(m_items.begin(), m_items.end(), item) != m_items.end())
        return;
    item->AddRef();
    item->m_scene = this;
    m_items.push_back(item);
    std::stable_sort(m_items.begin(), m_items.end(),
                     [](const GsItem *a, const GsItem *b) { return a->order() < b->order(); });
}

void GsScene::RemoveItem(GsItem *item)
{
    MCLocker lock(m_mutex);
    auto it = std::find(m_items.begin(), m_items.end(), item);
    if (it == m_items.end())
        return;
    m_items.erase(it);
    item->m_scene = nullptr;
    item->Release();
}

void GsScene::OrderItem()
{
    MCLocker lock(m_mutex);
    std::stable_sort(m_items.begin(), m_items.end(),
                     [](const GsItem *a, const GsItem *b) { return a->order() < b->order(); });
}

void GsScene::EnumItems(EnumCallback callback, void *context)
{
    MCLocker lock(m_mutex);
    for (GsItem *item : m_items)
        if (!callback(item, context))
            break;
}

size_t GsScene::itemCount()
{
    MCLocker lock(m_mutex);
    return m_items.size();
}

void GsScene::Tick()
{
    MCLocker lock(m_mutex);
    for (GsItem *item : m_items)
        item->Tick();
}

bool GsScene::Render()
{
    if (!gsdetail::gl() || m_width == 0 || m_height == 0)
        return false;
    if (m_target &&
        (m_target->width() != int(m_renderWidth) || m_target->height() != int(m_renderHeight))) {
        delete m_target; // the views show the scene at another size now
        m_target = nullptr;
    }
    if (!m_target)
        m_target = new Target(int(m_renderWidth), int(m_renderHeight));
    if (!m_target->isValid())
        return false;
    QOpenGLExtraFunctions *f = gsdetail::gl();
    MCLocker lock(m_mutex);
    GsItem *filled = !m_items.empty() && m_items.front()->FillTarget(m_target->texture())
                         ? m_items.front()
                         : nullptr;
    const int previous = m_target->bind();
    if (!filled) {
        f->glClearColor(m_clear[0], m_clear[1], m_clear[2], m_clear[3]);
        f->glClear(GL_COLOR_BUFFER_BIT);
    }
    f->glEnable(GL_BLEND);
    f->glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    for (GsItem *item : m_items)
        if (item != filled)
            item->Draw();
    f->glDisable(GL_BLEND);
    gsdetail::Target::restore(previous);
    return true;
}

void GsScene::SetClearColor(float r, float g, float b, float a)
{
    MCLocker lock(m_mutex);
    m_clear[0] = r;
    m_clear[1] = g;
    m_clear[2] = b;
    m_clear[3] = a;
}

GsTexture *GsScene::texture() const
{
    return m_target ? m_target->texture() : nullptr;
}

unsigned int GsScene::framebuffer() const
{
    return m_target ? m_target->framebuffer() : 0;
}

gs_vec2 GsItem::pos() const
{
    std::lock_guard<std::mutex> lock(m_geometryMutex);
    return {m_transform.x, m_transform.y};
}

gs_vec2 GsItem::size() const
{
    std::lock_guard<std::mutex> lock(m_geometryMutex);
    return {m_transform.width, m_transform.height};
}

float GsItem::rotation() const
{
    std::lock_guard<std::mutex> lock(m_geometryMutex);
    return m_transform.rotation;
}

gs_transform GsItem::transform() const
{
    std::lock_guard<std::mutex> lock(m_geometryMutex);
    return m_transform;
}

void GsItem::MoveTo(float x, float y)
{
    std::lock_guard<std::mutex> lock(m_geometryMutex);
    m_transform.x = x;
    m_transform.y = y;
}

void GsItem::Resize(float width, float height)
{
    std::lock_guard<std::mutex> lock(m_geometryMutex);
    m_transform.width = width;
    m_transform.height = height;
}

void GsItem::SetRotation(float radians)
{
    std::lock_guard<std::mutex> lock(m_geometryMutex);
    m_transform.rotation = radians;
}

gs_vec2 GsItem::baseSize() const
{
    std::lock_guard<std::mutex> lock(m_geometryMutex);
    return m_baseSize;
}

void GsItem::SetBaseSize(float width, float height)
{
    std::lock_guard<std::mutex> lock(m_geometryMutex);
    m_baseSize = {width, height};
}
