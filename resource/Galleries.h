#pragma once
// The two galleries of ready-made items dragged onto the timeline: the fourteen
// transitions (thumbnails drawn by our own transition programs) and the GIF
// stickers found in the "gif" folder beside the program. Built once with the
// resource widget; never part of a project.
// Lives on: main thread.

#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QImage>
#include <QObject>
#include <QVector>

class QMimeData;

// The thumbnail resources and their programs, in gallery order.
const QVector<QPair<QString, QString>> &transitionImages();

// The payload a gallery tile gives a drag: the text "ZuAEdit", the tile's image,
// and under "data" the tag ("transition" or "gif") and the name or path.
QMimeData *galleryPayload(const QString &tag, const QString &value, const QImage &image);

class TransitionItem : public QGraphicsItem {
public:
    TransitionItem(const QString &resource, const QString &program);
    QString program() const { return m_program; }
    QString displayName() const { return m_name; }
    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

protected:
    void hoverEnterEvent(QGraphicsSceneHoverEvent *event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent *event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;

private:
    QImage m_image;
    QString m_program, m_name;
    QPointF m_pressPos;
    bool m_hovered = false;
};

class GifItem : public QObject, public QGraphicsItem {
    Q_OBJECT
    Q_INTERFACES(QGraphicsItem)
public:
    explicit GifItem(const QString &path);
    QString path() const { return m_path; }
    int frameCount() const { return m_frames.size(); }
    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

protected:
    void timerEvent(QTimerEvent *event) override;
    void hoverEnterEvent(QGraphicsSceneHoverEvent *event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent *event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;

private:
    QString m_path;
    QVector<QImage> m_frames; // eleven stills, at 0, 0.1, ... 1.0 of the animation
    QImage m_current;
    int m_timer = 0;
    int m_index = 0;
    QPointF m_pressPos;
};

// A scene of tiles laid out in rows across its view's width, once per width.
class GalleryScene : public QGraphicsScene {
    Q_OBJECT
public:
    // Lays the tiles out, in the order they were added, for a view `width` wide.
    void layOut(int width);
    void invalidateLayout() { m_laidOut = false; }

protected:
    // At display scale 1: tile size, the horizontal step from tile to tile, the
    // step from row to row, the tile's offset in its cell, the first row's top.
    struct Grid {
        double tileW, tileH, stepX, stepY, offsetX, offsetY, top;
    };
    GalleryScene(const Grid &grid, QObject *parent) : QGraphicsScene(parent), m_grid(grid) {}

private:
    Grid m_grid;
    bool m_laidOut = false;
};

class TransitionScene : public GalleryScene {
    Q_OBJECT
public:
    explicit TransitionScene(QObject *parent);
};

class GifScene : public GalleryScene {
    Q_OBJECT
public:
    explicit GifScene(QObject *parent);
};

// The transition gallery (page "page_cut_to"): one tile per transition.
class TransitionView : public QGraphicsView {
    Q_OBJECT
public:
    explicit TransitionView(QWidget *parent = nullptr);
    TransitionScene *gallery() const { return m_scene; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    TransitionScene *m_scene;
};

// The sticker gallery (page "page_gif"): every *.gif / *.GIF under the "gif"
// folder beside the program (or the folder given to load()).
class GifView : public QGraphicsView {
    Q_OBJECT
public:
    explicit GifView(QWidget *parent = nullptr);
    // Replaces the tiles with the stickers found under `folder`, recursively.
    // The "gif" folder the stickers come from.
    static QString stickerFolder();
    void load(const QString &folder);
    GifScene *gallery() const { return m_scene; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    GifScene *m_scene;
};
