#include "PreviewItem.h"

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
