#pragma once
// Hit tests a window answers for its own frame handling: whether a point (in
// screen coordinates) lies on one of its edges or in its caption.
// Lives on: main thread.

#include <QPoint>

class ResizeInterface {
public:
    virtual ~ResizeInterface() = default;
    virtual bool onLeftEdge(const QPoint &global) const = 0;
    virtual bool onTopEdge(const QPoint &global) const = 0;
    virtual bool onRightEdge(const QPoint &global) const = 0;
    virtual bool onBottomEdge(const QPoint &global) const = 0;
    virtual bool inCaption(const QPoint &global) const = 0;
};
