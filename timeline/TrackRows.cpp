#include "TrackRows.h"

#include "ClassifyItem.h"
#include "TimelineDocument.h"

#include "common/QssManager.h"

namespace trackrows {

double height(const ClassifyItem *track)
{
    return timeline::rowHeight(track ? track->kind : CT_NONE) * QssManager::screenScale();
}

double top(const ClassifyItem *track)
{
    const ClassifyItem *parent = track ? track->parentItem() : nullptr;
    if (!parent)
        return 0;
    if (!track->isGroup)
        return top(parent) + (track->row() + 1) * height(track);
    double y = 0;
    for (int g = 0; g < parent->childCount(); ++g) {
        const ClassifyItem *group = parent->child(g);
        if (group == track)
            break;
        y += height(group) * (group->expanded() ? group->childCount() + 1 : 1);
    }
    return y;
}

ClassifyItem *at(const TimelineDocument &document, double y)
{
    if (y < 0)
        return nullptr;
    for (ClassifyItem *item : document.tracks()) {
        // The empty row at the bottom reaches down to the end of the view.
        if (item->kind == CT_NONE) {
            if (item->isGroup && y >= top(item))
                return item;
            continue;
        }
        if (!item->isGroup && !item->group()->expanded())
            continue;
        const double rowTop = top(item);
        if (y >= rowTop && y < rowTop + height(item))
            return item;
    }
    return nullptr;
}

} // namespace trackrows
