#include "PreviewItem.h"

#include "main/ValueQt.h"
#include "timeline/ClassifyItem.h"
#include "timeline/SourceItem.h"

#include <cmath>

void PreviewItem::setVisible(bool on)
{
    visible = on;
    if (!on)
        selected = false;
}

void PreviewItem::apply(const RenderParam &result)
{
    setVisible(result.flag0);
}

int PreviewItem::toDegrees(double radians)
{
    const double degrees = std::floor(radians * 180.0 / 3.1415926 + 0.5); // halves upwards
    return int(std::fmod(degrees, 360.0)); // keeps the sign: -90 stays -90
}

void PreviewItem::commitGeometry()
{
    SourceItem *clip = track ? track->currentClip() : nullptr;
    if (!clip)
        return;
    clip->setValue("previewRect", bg::ValueQt(QRectF(pos().x, pos().y, size().x, size().y)), true,
                   true);
    clip->setValue("rotate", bg::Value(int32_t(toDegrees(rotation()))), true, true);
}

void PreviewItem::syncSelection()
{
    if (SourceItem *clip = track ? track->currentClip() : nullptr)
        clip->setSelected(selected);
}
