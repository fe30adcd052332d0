#include "Galleries.h"

#include "bridge/Logger.h"
#include "common/QssManager.h"
#include "common/Translate.h"
#include "media/MovieInfo.h"
#include "render/compose/TransTranslate.h"

#include <QApplication>
#include <QDataStream>
#include <QDir>
#include <QDirIterator>
#include <QDrag>
#include <QFileInfo>
#include <QGraphicsSceneMouseEvent>
#include <QMimeData>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kFrames = 11;

// Starts a drag of a tile once the pointer has moved far enough from the press.
bool dragFar(QGraphicsSceneMouseEvent *event, const QPointF &pressed)
{
    return (event->buttons() & Qt::LeftButton) &&
           (event->scenePos() - pressed).manhattanLength() >= QApplication::startDragDistance();
}

void runDrag(QGraphicsSceneMouseEvent *event, QMimeData *payload, const QImage &image)
{
    auto *drag = new QDrag(event->widget());
    drag->setMimeData(payload);
    if (!image.isNull())
        drag->setPixmap(QPixmap::fromImage(image));
    drag->setHotSpot(QPoint(20, 10));
    drag->exec(Qt::MoveAction);
}

} // namespace

// The thumbnails' resources, compiled into this library (outside any namespace, as
// the resource compiler names its function there).
static void initThumbnails()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(transition_thumbs);
        return true;
    }();
    Q_UNUSED(done);
}

const QVector<QPair<QString, QString>> &transitionImages()
{
    // Sorted by resource path.
    static const QVector<QPair<QString, QString>> table = [] {
        QVector<QPair<QString, QString>> t;
        for (const QString &program : TransTranslate::instance().programs())
            t.append({TransTranslate::thumbnailOf(program), program});
        std::sort(t.begin(), t.end());
        return t;
    }();
    return table;
}

QMimeData *galleryPayload(const QString &tag, const QString &value, const QImage &image)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << tag << value;
    auto *mime = new QMimeData;
    mime->setText(QStringLiteral("ZuAEdit"));
    mime->setImageData(image);
    mime->setData(QStringLiteral("data"), bytes);
    return mime;
}

// ---- TransitionItem -----------------------------------------------------------------

TransitionItem::TransitionItem(const QString &resource, const QString &program)
    : m_image(resource), m_program(program)
{
    const QString key = TransTranslate::instance().keyOf(program);
    m_name = key.isEmpty() ? QString() : zuaTranslate(key);
    setFlag(ItemIsSelectable);
    setAcceptHoverEvents(true);
}

QRectF TransitionItem::boundingRect() const
{
    const double s = QssManager::screenScale();
    return QRectF(-0.5, -0.5, 95 * s + 1, 75 * s + 1);
}

void TransitionItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    const double s = QssManager::screenScale();
    const QRectF picture(2 * s, 2 * s, 95 * s - 2 * s, 55 * s);
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    if (isSelected() || m_hovered) {
        painter->setPen(QPen(isSelected() ? QColor("#f5a623") : QColor(Qt::lightGray), 2));
        painter->drawRect(picture);
    }
    if (!m_image.isNull()) {
        painter->drawImage(picture, m_image);
        QFont font(QStringLiteral("Microsoft Yahei"));
        font.setPointSize(9);
        painter->setFont(font);
        painter->setPen(QColor(102, 102, 102));
        const QRectF label(2 * s, 60 * s, 95 * s - 2 * s, 20 * s);
        painter->drawText(label, Qt::AlignHCenter | Qt::AlignTop,
                          painter->fontMetrics().elidedText(m_name, Qt::ElideLeft, int(95 * s)));
    }
    painter->restore();
}

void TransitionItem::hoverEnterEvent(QGraphicsSceneHoverEvent *)
{
    m_hovered = true;
    update();
}

void TransitionItem::hoverLeaveEvent(QGraphicsSceneHoverEvent *)
{
    m_hovered = false;
    update();
}

void TransitionItem::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    QGraphicsItem::mousePressEvent(event);
    m_pressPos = event->scenePos();
}

void TransitionItem::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    if (dragFar(event, m_pressPos))
        runDrag(event, galleryPayload(QStringLiteral("transition"), m_program, m_image), m_image);
    QGraphicsItem::mouseMoveEvent(event);
}

// ---- GifItem ------------------------------------------------------------------------

GifItem::GifItem(const QString &path) : m_path(path)
{
    setFlag(ItemIsSelectable);
    setAcceptHoverEvents(true);
    const QByteArray file = QDir::toNativeSeparators(path).toLocal8Bit();
    for (int i = 0; i < kFrames; ++i) {
        ff::ImageRequest request;
        request.position = i * 0.1;
        request.width = 100;
        request.height = 80;
        const ff::VFramePtr frame = ff::getMovieImage(file.constData(), request);
        if (!frame)
            continue; // a still the decoder could not give: the animation skips it
        m_frames.append(QImage(frame->data(), frame->width, frame->height, frame->stride,
                               QImage::Format_RGBA8888)
                            .copy());
    }
    if (!m_frames.isEmpty())
        m_current = m_frames[m_frames.size() / 2];
}

QRectF GifItem::boundingRect() const
{
    const double s = QssManager::screenScale();
    return QRectF(-0.5, -0.5, 55 * s + 1, 55 * s + 1);
}

void GifItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    if (m_current.isNull())
        return;
    const double s = QssManager::screenScale();
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawImage(QRectF(8 * s, 8 * s, 55 * s - 12 * s, 55 * s - 12 * s), m_current);
    painter->restore();
}

void GifItem::hoverEnterEvent(QGraphicsSceneHoverEvent *)
{
    if (m_frames.isEmpty())
        return;
    m_index = 0;
    if (!m_timer)
        m_timer = startTimer(100, Qt::CoarseTimer);
}

void GifItem::timerEvent(QTimerEvent *)
{
    m_current = m_frames[m_index % m_frames.size()];
    ++m_index;
    update();
}

void GifItem::hoverLeaveEvent(QGraphicsSceneHoverEvent *)
{
    if (m_timer)
        killTimer(m_timer);
    m_timer = 0;
    if (!m_frames.isEmpty())
        m_current = m_frames[m_frames.size() / 2];
    update();
}

void GifItem::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    QGraphicsItem::mousePressEvent(event);
    m_pressPos = event->scenePos();
}

void GifItem::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    if (dragFar(event, m_pressPos))
        runDrag(event,
                galleryPayload(QStringLiteral("gif"), QDir::toNativeSeparators(m_path), m_current),
                m_current);
    QGraphicsItem::mouseMoveEvent(event);
}

// ---- scenes and views ----------------------------------------------------------------

void GalleryScene::layOut(int width)
{
    if (m_laidOut)
        return;
    const double s = QssManager::screenScale();
    const Grid &g = m_grid;
    double x = 0, y = std::floor(g.top * s);
    for (QGraphicsItem *tile : items(Qt::AscendingOrder)) {
        if (tile->parentItem())
            continue;
        if (x + g.tileW * s > width) {
            x = 0;
            y = std::floor(y + g.stepY * s);
        }
        tile->setPos(x + g.offsetX * s, y + g.offsetY * s);
        x = std::floor(x + g.stepX * s);
    }
    setSceneRect(0, 0, width, g.tileH * s + y + 10 * s);
    m_laidOut = true;
}

TransitionScene::TransitionScene(QObject *parent)
    : GalleryScene({95, 75, 105, 85, 10, 10, 0}, parent)
{}

GifScene::GifScene(QObject *parent) : GalleryScene({55, 55, 70, 65, 15, 0, 15}, parent) {}

TransitionView::TransitionView(QWidget *parent)
    : QGraphicsView(parent), m_scene(new TransitionScene(this))
{
    initThumbnails();
    setScene(m_scene);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFrameShape(QFrame::NoFrame);
    for (const auto &entry : transitionImages())
        m_scene->addItem(new TransitionItem(entry.first, entry.second));
}

void TransitionView::resizeEvent(QResizeEvent *event)
{
    QGraphicsView::resizeEvent(event);
    m_scene->invalidateLayout();
    m_scene->layOut(viewport()->width());
}

GifView::GifView(QWidget *parent) : QGraphicsView(parent), m_scene(new GifScene(this))
{
    setScene(m_scene);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    load(stickerFolder());
}

QString GifView::stickerFolder()
{
    // Beside the program in the build tree; in the shared data of an installation.
    const QString program = QCoreApplication::applicationDirPath();
    const QString installed = program + QStringLiteral("/../share/zuaedit/gif");
    const QString beside = program + QStringLiteral("/gif");
    return QFileInfo::exists(beside) || !QFileInfo::exists(installed) ? beside
                                                                      : QDir::cleanPath(installed);
}

void GifView::load(const QString &folder)
{
    m_scene->clear();
    QDirIterator files(folder, {QStringLiteral("*.gif"), QStringLiteral("*.GIF")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext())
        m_scene->addItem(new GifItem(QDir::toNativeSeparators(files.next())));
    BG_LOG_D("---> stickers: %d from %s", int(m_scene->items().size()), qUtf8Printable(folder));
    m_scene->invalidateLayout();
    m_scene->layOut(viewport()->width());
}

void GifView::resizeEvent(QResizeEvent *event)
{
    QGraphicsView::resizeEvent(event);
    m_scene->invalidateLayout();
    m_scene->layOut(viewport()->width());
}
