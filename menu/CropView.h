#pragma once
// The crop editor: a frame of the selected clip at its material's size, with a
// frame the user moves and resizes; each release reports the frame, in material
// pixels, to the panel.
// Lives on: main thread.

#include "render/RenderTypes.h"

#include <QGraphicsItem>
#include <QGraphicsView>
#include <QImage>

class QtGraphicsResizerItem;

// The clip's picture at its material size.
class CropItem : public QGraphicsItem {
public:
    CropItem(const QString &uuid, const QSize &size);
    void setClip(const QString &uuid, const QSize &size);
    QString uuid() const { return m_uuid; }
    QSize materialSize() const { return m_size; }
    void setPicture(const QImage &picture);
    const QImage &picture() const { return m_picture; }
    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

private:
    QString m_uuid;
    QSize m_size;
    QImage m_picture;
};

class CropView : public QGraphicsView {
    Q_OBJECT
public:
    explicit CropView(QWidget *parent = nullptr);
    // The clip to crop: its uuid, material size and present crop rectangle.
    void setClip(const QString &uuid, const QSize &size, const QRect &rect);
    // Decoded frames; the one of the present clip becomes the picture.
    void setFrames(const QList<VFrameInfo> &frames);
    QtGraphicsResizerItem *resizer() const { return m_resizer; }

signals:
    // Every release of the mouse: the frame rounded to whole material pixels.
    void sig_updateClipRect(const QString &uuid, const QRect &rect);
    // A fresh preview is wanted, so that the clip's frame arrives.
    void sig_previewWanted();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitScene();

    CropItem *m_item = nullptr;                 // made on the first clip, then reused
    QtGraphicsResizerItem *m_resizer = nullptr; // the frame, a child of m_item
    double m_minX = 0, m_minY = 0, m_maxX = 0, m_maxY = 0;
    QPointF m_pressPos; // scene position of the last press (advanced while dragging)
};
