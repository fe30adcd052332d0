#include "PreviewItem.h"

#include <cmath>

void PreviewItem::setVisible(bool on)
{
    visible = on;
    if (!on)
        selected = false;
}

int PreviewItem::toDegrees(double radians)
{
    const double degrees = std::floor(radians * 180.0 / 3.1415926 + 0.5); // halves upwards
    return int(std::fmod(degrees, 360.0)); // keeps the sign: -90 stays -90
}

ClipGeometry PreviewItem::clipGeometry() const
{
    return ClipGeometry{clipId(), QRectF(pos().x, pos().y, size().x, size().y),
                        toDegrees(rotation())};
}

QString PreviewItem::clipId() const
{
    std::lock_guard<std::mutex> lock(m_clipMutex);
    return m_clipId;
}

void PreviewItem::setClipId(const QString &clip)
{
    std::lock_guard<std::mutex> lock(m_clipMutex);
    m_clipId = clip;
}
