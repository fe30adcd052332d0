#pragma once
// Direct manipulation of the visual clips in the preview picture: selecting,
// moving with snapping to the picture's centre lines and edges, resizing from a
// handle in the item's own (rotated) frame, rotating with snapping to right
// angles. Positions are scene coordinates (origin at the centre, y down).
// Lives on: main thread.

#include <QPointF>

#include <cmath>
#include <limits>

class GsScene;
class PreviewItem;

class PreviewInteraction {
public:
    // Handle codes: edges 1 top, 2 bottom, 4 left, 8 right; corners 5, 6, 9, 10;
    // 16 the rotate handle.
    enum Handle { TOP = 1, BOTTOM = 2, LEFT = 4, RIGHT = 8, ROTATE = 16 };

    explicit PreviewInteraction(GsScene *scene) : m_scene(scene) {}
    ~PreviewInteraction()
    {
        select(nullptr);
        hover(nullptr);
    }
    PreviewInteraction(const PreviewInteraction &) = delete;
    PreviewInteraction &operator=(const PreviewInteraction &) = delete;
    // A new scene drops the selection (its items belong to the old one).
    void setScene(GsScene *scene)
    {
        select(nullptr);
        hover(nullptr);
        m_scene = scene;
    }
    // View pixels per scene unit: handles and snapping tolerances are in view pixels.
    void setScale(double scale) { m_scale = scale > 0 ? scale : 1.0; }

    // The topmost visible item (the last drawn) whose turned rectangle holds the point.
    PreviewItem *hitTest(const QPointF &p) const;
    // True when the item's turned rectangle holds the point.
    static bool contains(const PreviewItem *item, const QPointF &p);
    // The handle of `item` under the point, or 0.
    int handleAt(const PreviewItem *item, const QPointF &p) const;
    // Scene position of a handle of `item`.
    QPointF handlePos(const PreviewItem *item, int handle) const;

    // The pointer without a button: the item under it is marked hovered (the one
    // before is not any more); returns the selected item's handle under it, or 0.
    int track(const QPointF &p);
    // The pointer left the picture.
    void leave() { hover(nullptr); }

    void press(const QPointF &p);
    void move(const QPointF &p);
    // True when something moved; the caller then commits the geometry as one step.
    bool release();
    // A press that took an item (not a handle) and drags it.
    bool dragsItem() const { return m_pressed && !m_handle && selected(); }

    // The selected item while it is still part of the scene; an item that left it (its
    // track was deleted, the project closed, the scene replaced) is never returned.
    PreviewItem *selected() const;
    // Snap lines in scene units from the centre; not-a-number when none is shown.
    double snapX() const { return m_snapX; }
    double snapY() const { return m_snapY; }
    // Nothing selected: every item of the scene loses its selection.
    void deselectAll();

private:
    // Holds a reference on the selected item, so that it outlives its removal.
    void select(PreviewItem *item);
    // Clears the selected mark of every item but `keep` (which may be null).
    void deselectAllBut(PreviewItem *keep);
    void hover(PreviewItem *item);
    void moveSelected(const QPointF &delta);
    void resizeSelected(const QPointF &p);
    void rotateSelected(const QPointF &p);

    GsScene *m_scene;
    double m_scale = 1.0;
    PreviewItem *m_selected = nullptr; // referenced while held
    PreviewItem *m_hovered = nullptr;  // likewise
    bool m_pressed = false;
    bool m_moved = false;
    int m_handle = 0;
    QPointF m_last;
    double m_snapX = std::numeric_limits<double>::quiet_NaN();
    double m_snapY = std::numeric_limits<double>::quiet_NaN();
};
