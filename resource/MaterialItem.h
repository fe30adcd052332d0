#pragma once
// One tile of the material library: the preview picture (or the template's
// sample text) above the material's name; dragging it hands the material to the
// timeline.
// Lives on: main thread.

#include "MaterialTypes.h"

#include <QGraphicsItem>

class QMimeData;

class MaterialItem : public QGraphicsItem {
public:
    explicit MaterialItem(const MaterialData &data);
    const MaterialData &data() const { return m_data; }
    void setData(const MaterialData &data);

    // The drag payload for the timeline ("ZuAEdit" text, "data" bytes).
    static QMimeData *dragPayload(const MaterialData &data);

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;
    void hoverEnterEvent(QGraphicsSceneHoverEvent *event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent *event) override;

private:
    MaterialData m_data;
    QPointF m_pressPos;
    bool m_hovered = false;
};
