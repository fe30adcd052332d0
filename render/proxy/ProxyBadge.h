#pragma once
// How a video shows its proxy, in the library and on the timeline: while it is
// made, a bar along the foot of its picture with the percentage; once ready, a tag
// in the corner.
// Lives on: main thread (painting).

class QPainter;
class QRectF;

namespace proxybadge {
// `progress`: 0..99 being made, 100 ready, negative none (nothing is drawn).
void paint(QPainter *painter, const QRectF &picture, int progress);
} // namespace proxybadge
