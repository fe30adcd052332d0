#pragma once
// Where the timeline's tracks are drawn: each track's row in the scene, from the
// track order, the groups' open state and the display scale. The document knows
// tracks only by their order; rows and pixels are the view's.
// Lives on: main thread.

class ClassifyItem;
class TimelineDocument;

namespace trackrows {

// Scene y of a group's or track's row (0 for the root or a track out of the tree).
double top(const ClassifyItem *track);
// Row height of a track's kind at the display scale.
double height(const ClassifyItem *track);
// The group or track whose row lies at a scene y; below the subtitle rows, the
// empty bottom row (a drop there goes to the material's own group); null above 0.
ClassifyItem *at(const TimelineDocument &document, double y);

} // namespace trackrows
