#include "PreviewInteraction.h"

#include "render/compose/PreviewItem.h"

#include "graphics/GsScene.h"

#include <algorithm>

namespace {

constexpr double kPi = 3.1415926;
constexpr double kSnapAngle = 0.1745329; // 10 degrees
constexpr double kHandlePx = 8.0;
constexpr double kRotateDistancePx = 20.0;
constexpr double kSnapPx = 10.0;

QPointF turned(const QPointF &v, double angle)
{
    const double c = std::cos(angle), s = std::sin(angle);
    return QPointF(v.x() * c - v.y() * s, v.x() * s + v.y() * c);
}

QPointF centreOf(const PreviewItem *item)
{
    return QPointF(item->pos().x, item->pos().y);
}

// The point in the item's own frame: relative to its centre, turned back.
QPointF local(const PreviewItem *item, const QPointF &p)
{
    return turned(p - centreOf(item), -item->rotation());
}

} // namespace

bool PreviewInteraction::contains(const PreviewItem *item, const QPointF &p)
{
    const QPointF l = local(item, p);
    return std::abs(l.x()) - item->size().x / 2 < 0.000001 &&
           std::abs(l.y()) - item->size().y / 2 < 0.000001;
}

PreviewItem *PreviewInteraction::hitTest(const QPointF &p) const
{
    if (!m_scene)
        return nullptr;
    struct Search {
        QPointF p;
        PreviewItem *found = nullptr;
    } search{p};
    m_scene->EnumItems(
        [](GsItem *item, void *context) {
            auto *s = static_cast<Search *>(context);
            auto *preview = dynamic_cast<PreviewItem *>(item);
            if (!preview || !preview->visible)
                return true;
            // Items come in drawing order: the last one hit is the one on top.
            if (contains(preview, s->p))
                s->found = preview;
            return true;
        },
        &search);
    return search.found;
}

QPointF PreviewInteraction::handlePos(const PreviewItem *item, int handle) const
{
    const double w = item->size().x / 2, h = item->size().y / 2;
    QPointF l;
    if (handle == ROTATE)
        l = QPointF(0, -h - kRotateDistancePx / m_scale);
    else
        l = QPointF((handle & LEFT)    ? -w
                    : (handle & RIGHT) ? w
                                       : 0,
                    (handle & TOP)      ? -h
                    : (handle & BOTTOM) ? h
                                        : 0);
    return centreOf(item) + turned(l, item->rotation());
}

int PreviewInteraction::handleAt(const PreviewItem *item, const QPointF &p) const
{
    if (!item)
        return 0;
    const double half = kHandlePx / 2 / m_scale;
    const int handles[] = {ROTATE, TOP | LEFT, BOTTOM | LEFT, TOP | RIGHT, BOTTOM | RIGHT,
                           TOP,    BOTTOM,     LEFT,          RIGHT};
    for (int handle : handles) {
        const QPointF d = turned(p - handlePos(item, handle), -item->rotation());
        if (std::abs(d.x()) <= half && std::abs(d.y()) <= half)
            return handle;
    }
    return 0;
}

void PreviewInteraction::deselectAll()
{
    select(nullptr);
    deselectAllBut(nullptr);
}

void PreviewInteraction::deselectAllBut(PreviewItem *keep)
{
    if (m_scene)
        m_scene->EnumItems(
            [](GsItem *item, void *kept) {
                auto *preview = dynamic_cast<PreviewItem *>(item);
                if (preview && preview != kept)
                    preview->selected = false;
                return true;
            },
            keep);
}

void PreviewInteraction::select(PreviewItem *item)
{
    if (item == m_selected) {
        // Still the interaction's item, but its flag may have been cleared meanwhile
        // (a selection made on the timeline); picked again, it is selected again.
        if (item)
            item->selected = true;
        return;
    }
    if (item)
        item->AddRef();
    if (m_selected) {
        m_selected->selected = false;
        m_selected->Release();
    }
    m_selected = item;
    if (m_selected)
        m_selected->selected = true;
}

void PreviewInteraction::hover(PreviewItem *item)
{
    if (item == m_hovered)
        return;
    if (item)
        item->AddRef();
    if (m_hovered) {
        m_hovered->hovered = false;
        m_hovered->Release();
    }
    m_hovered = item;
    if (m_hovered)
        m_hovered->hovered = true;
}

int PreviewInteraction::track(const QPointF &p)
{
    hover(hitTest(p));
    return handleAt(selected(), p);
}

PreviewItem *PreviewInteraction::selected() const
{
    return m_selected && m_scene && m_selected->scene() == m_scene ? m_selected : nullptr;
}

void PreviewInteraction::press(const QPointF &p)
{
    m_pressed = true;
    m_moved = false;
    m_last = p;
    m_handle = handleAt(selected(), p);
    if (m_handle)
        return;
    // A press inside the selected item keeps it, even under another item (a
    // sticker over a video stays the one dragged); else the topmost item there.
    PreviewItem *current = selected();
    PreviewItem *hit = current && current->visible && contains(current, p) ? current : hitTest(p);
    select(hit);
    // A press selects one item: any other selected one (say, from the timeline) is not.
    deselectAllBut(hit);
}

void PreviewInteraction::move(const QPointF &p)
{
    if (!m_pressed || !selected())
        return;
    m_moved = true;
    if (m_handle == ROTATE)
        rotateSelected(p);
    else if (m_handle)
        resizeSelected(p);
    else
        moveSelected(p - m_last);
    m_last = p;
}

void PreviewInteraction::moveSelected(const QPointF &delta)
{
    PreviewItem *item = m_selected;
    item->MoveTo(item->pos().x + float(delta.x()), item->pos().y + float(delta.y()));
    m_snapX = m_snapY = std::numeric_limits<double>::quiet_NaN();
    if (!m_scene)
        return;
    const double tolerance = kSnapPx / m_scale;
    const double w = m_scene->width() / 2.0, h = m_scene->height() / 2.0;
    const QPointF c = centreOf(item);
    const QPointF c1 =
        c + turned(QPointF(-item->size().x / 2, -item->size().y / 2), item->rotation());
    const QPointF c2 =
        c + turned(QPointF(item->size().x / 2, item->size().y / 2), item->rotation());
    // Per axis, the first test that holds wins; the item is shifted onto the line.
    auto snapAxis = [&](double (QPointF::*get)() const, double half) -> std::pair<double, double> {
        const std::pair<double, double> tests[] = {
            {(c.*get)(), 0},  {(c1.*get)(), -half}, {(c2.*get)(), -half}, {(c1.*get)(), 0},
            {(c2.*get)(), 0}, {(c1.*get)(), half},  {(c2.*get)(), half}};
        for (const auto &t : tests)
            if (std::abs(t.first - t.second) <= tolerance)
                return {t.second - t.first, t.second};
        return {0, std::numeric_limits<double>::quiet_NaN()};
    };
    const auto sx = snapAxis(&QPointF::x, w);
    const auto sy = snapAxis(&QPointF::y, h);
    item->MoveTo(item->pos().x + float(sx.first), item->pos().y + float(sy.first));
    m_snapX = sx.second;
    m_snapY = sy.second;
}

void PreviewInteraction::resizeSelected(const QPointF &p)
{
    PreviewItem *item = m_selected;
    const QPointF l = local(item, p);
    double left = -item->size().x / 2, right = item->size().x / 2;
    double top = -item->size().y / 2, bottom = item->size().y / 2;
    // The opposite side stays where it is, in the item's own frame.
    if (m_handle & LEFT)
        left = std::min(l.x(), right - 1);
    if (m_handle & RIGHT)
        right = std::max(l.x(), left + 1);
    if (m_handle & TOP)
        top = std::min(l.y(), bottom - 1);
    if (m_handle & BOTTOM)
        bottom = std::max(l.y(), top + 1);
    const QPointF centre =
        centreOf(item) + turned(QPointF((left + right) / 2, (top + bottom) / 2), item->rotation());
    item->MoveTo(float(centre.x()), float(centre.y()));
    item->Resize(float(right - left), float(bottom - top));
}

void PreviewInteraction::rotateSelected(const QPointF &p)
{
    PreviewItem *item = m_selected;
    const double dx = p.x() - item->pos().x, dy = p.y() - item->pos().y;
    const double distance = std::hypot(dx, dy);
    if (distance <= 0)
        return;
    double angle = std::acos(std::clamp(-dy / distance, -1.0, 1.0));
    if (angle < kSnapAngle)
        angle = 0;
    else if (std::abs(angle - kPi / 2) < kSnapAngle)
        angle = kPi / 2;
    else if (std::abs(angle - 3.1415925) < kSnapAngle)
        angle = 3.1415925;
    item->SetRotation(float(dx < 0 ? -angle : angle));
}

bool PreviewInteraction::release()
{
    m_pressed = false;
    m_snapX = m_snapY = std::numeric_limits<double>::quiet_NaN();
    const bool moved = m_moved;
    m_moved = false;
    m_handle = 0;
    return moved;
}
