#include "SourceItem.h"

#include "render/proxy/ProxyBadge.h"
#include "render/proxy/ProxyMaker.h"

#include "ClipPictures.h"
#include "common/FrameRate.h"
#include "render/pictures/MaterialPictures.h"

#include "common/ThumbnailCache.h"

#include "ClassifyItem.h"
#include "ClipProperties.h"
#include "SourceAnchor.h"
#include "TimeLineGraphicsScene.h"
#include "TimelineDocument.h"
#include "TrackRows.h"
#include "TransItem.h"

#include "common/QssManager.h"
#include "common/Translate.h"
#include "common/ValueQt.h"
#include "undo/UndoController.h"

#include <QDir>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QUuid>

namespace {
int g_videoZ = 0;
int g_pictureZ = 1000000;
int g_subtitleZ = 2000000;
} // namespace

// ---- SourceData ----------------------------------------------------------------

int SourceData::nextZValue(uint32_t kind)
{
    switch (kind) {
    case CT_VIDEO:
        return g_videoZ++;
    case CT_PICTURE:
        return g_pictureZ++;
    case CT_SUBTITLE:
        return g_subtitleZ++;
    default:
        return 0;
    }
}

void SourceData::noteZValue(uint32_t kind, int value)
{
    int *counter = kind == CT_VIDEO      ? &g_videoZ
                   : kind == CT_PICTURE  ? &g_pictureZ
                   : kind == CT_SUBTITLE ? &g_subtitleZ
                                         : nullptr;
    if (counter && *counter <= value)
        *counter = value + 1;
}

void SourceData::setSubtitle(const QColor &c, const QFont &f, const QString &text)
{
    color = c;
    font = f;
    content = text;
}

bg::Value SourceData::sourceValue(const ClassifyItem *onTrack, int64_t start, int64_t duration,
                                  int64_t offset)
{
    bg::ValueMap source;
    // The track by its uuid: a record outlives the objects it names.
    source["parent"] = bg::Value((onTrack ? onTrack->uuid : QString()).toStdString());
    source["posX"] = bg::Value(timeline::toScene(start));
    source["sizeX"] = bg::Value(timeline::toScene(duration));
    source["offsetX"] = bg::Value(timeline::toScene(offset));
    return bg::Value(source);
}

void SourceData::publishValues()
{
    setValue("source", currentSource(), false, false);
    for (const clipprops::Property &p : clipprops::all())
        if (*p.key && timeline::hasMask(kind, p.kinds))
            setValue(p.key, clipprops::toValue(*this, p), false, false);
}

// ---- SourceItem ------------------------------------------------------------------

SourceItem::SourceItem(uint32_t k, ClassifyItem *onTrack)
    : m_left(new SourceAnchor(SourceAnchor::Left, this)),
      m_right(new SourceAnchor(SourceAnchor::Right, this))
{
    kind = k;
    track = onTrack;
    uuid = QUuid::createUuid().toString();
    stacking = nextZValue(k);
    setFlag(QGraphicsItem::ItemIsSelectable);
    setFlag(QGraphicsItem::ItemSendsGeometryChanges);    // moves reach itemChange
    setFlag(QGraphicsItem::ItemUsesExtendedStyleOption); // paints only what is exposed
    setOpacity(0.8);
    setAcceptHoverEvents(true);
    refreshFill();
}

double SourceItem::height() const
{
    return timeline::rowHeight(kind) * QssManager::screenScale();
}

bool SourceItem::onAnOpenRow() const
{
    if (!track)
        return true;
    ClassifyItem *group = track->isGroup ? nullptr : track->group();
    return !group || group->expanded();
}

void SourceItem::followRecord()
{
    prepareGeometryChange();
    m_shown = false;
    setPos(timeline::toScene(startFrame), track ? trackrows::top(track) : 0);
    updateAnchors();
}

void SourceItem::showSpan(int64_t start, int64_t duration, int64_t offset)
{
    prepareGeometryChange();
    m_shown = true;
    m_shownStart = start;
    m_shownDuration = duration;
    m_shownOffset = offset;
    setPos(timeline::toScene(start), pos().y());
    updateAnchors();
}

void SourceItem::showMovedTo(const QPointF &scenePos)
{
    if (!m_shown)
        showSpan(startFrame, durationFrames, offsetFrames);
    setPos(scenePos);
}

void SourceItem::updateAnchors()
{
    m_left->setPos(0, height() / 2);
    m_right->setPos(sceneWidth(), height() / 2);
}

void SourceItem::refreshFill()
{
    if (!valid) {
        m_fill = QColor(Qt::gray);
        return;
    }
    if (m_customFill)
        return;
    if (kind & CT_VIDEO)
        m_fill = QColor("#2E5298");
    else if (kind & CT_PICTURE)
        m_fill = QColor("#014B52");
    else if (kind & CT_AUDIO)
        m_fill = QColor("#47428C");
    else if (kind & CT_DUB)
        m_fill = QColor("#0D3058");
    else if (kind & CT_SUBTITLE)
        m_fill = QColor("#003A4D");
    else
        m_fill = QColor("#EBEBEB");
}

void SourceItem::setColor(const QColor &colour)
{
    if (!valid)
        return;
    // An invalid colour gives the clip its kind's colour back.
    m_customFill = colour.isValid();
    if (m_customFill)
        m_fill = colour;
    else
        refreshFill();
    update();
}

void SourceItem::setValid(bool v)
{
    valid = v;
    refreshFill();
    update();
    zua::UndoController::instance()->noteChange();
}

void SourceItem::loadThumbnail()
{
    const QFileInfo file(path);
    setToolTip(QDir::toNativeSeparators(path));
    if (kind == CT_PICTURE &&
        (file.suffix() == QLatin1String("gif") || file.suffix() == QLatin1String("GIF")))
        m_gifName = file.baseName();
    if (!path.isEmpty())
        m_thumbnail = QImage(ThumbnailCache::pathFor(path));
    m_thumbnailScaled = false;
}

QString SourceItem::label() const
{
    if (!m_gifName.isEmpty())
        return m_gifName;
    // The file's name; the whole path is the tooltip.
    return path.isEmpty() ? content : QFileInfo(path).fileName();
}

int SourceItem::menuType() const
{
    switch (kind) {
    case CT_PICTURE:
        return 0;
    case CT_VIDEO:
        return 1;
    case CT_DUB:
        return 2;
    case CT_SUBTITLE:
        return 3;
    case CT_AUDIO:
        return 4;
    default:
        return -1;
    }
}

bg::ValueMap SourceItem::panelValues() const
{
    bg::ValueMap m;
    m["uuid"] = bg::Value(uuid.toStdString());
    if (kind != CT_SUBTITLE)
        m["path"] = bg::Value(path.toStdString());
    if (timeline::hasMask(kind, timeline::kVisualMask)) {
        m["X"] = bg::Value(previewRect.x());
        m["Y"] = bg::Value(previewRect.y());
        m["W"] = bg::Value(previewRect.width());
        m["H"] = bg::Value(previewRect.height());
    }
    for (const clipprops::Property &p : clipprops::all())
        if (*p.panel && timeline::hasMask(kind, p.kinds))
            m[p.panel] = clipprops::toValue(*this, p);
    return m;
}

void SourceItem::applyPanelEdit(const bg::ValueMap &values, const std::string &key)
{
    auto get = [&values](const std::string &k) {
        auto it = values.find(k);
        return it == values.end() ? bg::Value() : it->second;
    };
    if (key.empty() || get(key).isEmpty())
        return;
    if (key == "X" || key == "Y" || key == "W" || key == "H") {
        QRectF r = previewRect;
        const double v = get(key).toDouble();
        if (key == "X")
            r.moveLeft(v);
        else if (key == "Y")
            r.moveTop(v);
        else if (key == "W")
            r.setWidth(std::max(0.0, v));
        else
            r.setHeight(std::max(0.0, v));
        if (r != previewRect)
            setValue("previewRect", bg::ValueQt(r), true, true);
        return;
    }
    if (key == "strech" || key == "sizeType") {
        applySizeCommand(get("strech").toInt32(stretch), get("sizeType").toInt32());
        return;
    }
    if (key == "rect") {
        const QRect r = bg::ValueQt(get("rect")).toRect();
        if (r != clipRect)
            setValue("clipRect", bg::ValueQt(r), true, true);
        return;
    }
    const clipprops::Property *p = clipprops::byPanel(key);
    if (!p || !*p->key || !timeline::hasMask(kind, p->kinds))
        return;
    // Volume and mute are undo steps like every other edit (rather than unrecorded
    // changes), as users expect of them. A held slider is heard as it moves, and
    // its release makes the one step, from where the drag began.
    if (key == "volume") {
        const bg::Value wanted = get(key), now = clipprops::toValue(*this, *p);
        if (get("live").toBool()) {
            if (m_volumeBeforeDrag.isEmpty())
                m_volumeBeforeDrag = now;
            if (wanted != now)
                setValue(p->key, wanted, false, true);
            return;
        }
        const bg::Value before = m_volumeBeforeDrag.isEmpty() ? now : m_volumeBeforeDrag;
        m_volumeBeforeDrag = bg::Value();
        if (wanted == before) {
            if (wanted != now)
                setValue(p->key, wanted, false, true);
            return;
        }
        if (before != now)
            setValue(p->key, before, false, false); // the step undoes to the drag's start
        setValue(p->key, wanted, true, true);
        return;
    }
    if (get(key) != clipprops::toValue(*this, *p)) {
        if (key == "content")
            setTypedText(p->key, get(key));
        else
            setValue(p->key, get(key), true, true);
    }
}

void SourceItem::applySizeCommand(int mode, int command)
{
    QRectF target;
    if (command == 1)
        target = QRectF(0, 0, sourceSize.width(), sourceSize.height());
    else if ((command == 2 || command == 3) && track && track->model())
        target = QRectF(QPointF(0, 0), QSizeF(track->model()->renderSize()));
    const bool moves = !target.isEmpty() && (previewRect != target || rotate != 0);
    if (mode == stretch && !moves)
        return;
    // The fill mode is part of the step, so undoing "Stretch"/"Adaptive" restores it.
    zua::MergeSequence sequence("stretch");
    if (mode != stretch)
        setValue("stretch", bg::Value(int32_t(mode)), true, true);
    if (moves) {
        setValue("previewRect", bg::ValueQt(target), true, true);
        setValue("rotate", bg::Value(int32_t(0)), true, true);
    }
}

QRectF SourceItem::boundingRect() const
{
    return QRectF(0.5, 1.5, sceneWidth() - 0.5, height() - 0.5);
}

QPainterPath SourceItem::shape() const
{
    QPainterPath path;
    path.addRect(QRectF(0, 0, sceneWidth(), height()));
    return path;
}

void SourceItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *)
{
    const double s = QssManager::screenScale();
    const QRectF bounds = boundingRect();
    // Straight edges on whole pixels: smoothing would cost much and show nothing.
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(Qt::NoPen);
    painter->setBrush(m_fill);
    painter->drawRect(bounds);

    // From here on in view pixels horizontally: text and outlines do not stretch.
    const double z = painter->worldTransform().m11() > 0 ? painter->worldTransform().m11() : 1.0;
    painter->save();
    painter->setPen(QPen(Qt::white, 2.0));
    // A plain shift, not a scale by 1/z on top of z: the painter then takes its fast
    // paths for lines, images and text (a scale of 0.9999 would not).
    const QTransform world = painter->worldTransform();
    if (world.m12() == 0 && world.m21() == 0 && std::abs(world.m22() - 1.0) < 1e-9)
        painter->setWorldTransform(QTransform::fromTranslate(world.dx(), world.dy()));
    else
        painter->scale(1.0 / z, 1.0);
    QFont big = painter->font();
    big.setPointSize(12);
    painter->setFont(big);
    const double width = sceneWidth();
    const double viewWidth = z * width;
    if (!valid) {
        const QFontMetrics fm(big);
        painter->drawText(
            QPointF(10, (bounds.height() + fm.height()) / 2.0),
            fm.elidedText(ZTR("invalidsource.FileMiss"), Qt::ElideRight, int(viewWidth - 10)));
        painter->restore();
        return;
    }
    // Made once: thousands of clips paint with them.
    static const QFont small = [] {
        QFont f(QStringLiteral("Microsoft Yahei"));
        f.setPointSize(8);
        return f;
    }();
    static const QFontMetrics fm(small);
    painter->setFont(small);
    double textX = 10;
    // The material's pictures under the part of the clip in view: the filmstrip of
    // a video, the waveform of a sound (filled in when the worker has them).
    const QRectF exposed = option ? option->exposedRect : bounds;
    clippictures::Span span;
    span.secondsPerPixel = 1.0 / (z * timeline::kFrameWidth * timebase::kFps);
    span.firstSecond = double(shownOffset()) / timebase::kFps;
    span.fromX = std::max(0.0, exposed.left() * z);
    span.toX = std::min(viewWidth, exposed.right() * z);
    span.top = 2;
    span.height = height() - 4;
    // A clip a few pixels wide shows its colour only.
    const bool roomy = viewWidth >= 8;
    const Filmstrip *strip =
        roomy && kind == CT_VIDEO ? MaterialPictures::instance().filmstrip(path) : nullptr;
    const WaveformPeaks *peaks = roomy && timeline::hasMask(kind, timeline::kAudibleMask)
                                     ? MaterialPictures::instance().peaks(path)
                                     : nullptr;
    if (peaks && peaks->isEmpty())
        peaks = nullptr; // no sound
    if (peaks && kind != CT_VIDEO)
        clippictures::drawWaveform(painter, *peaks, span);
    if (strip && !strip->isEmpty()) {
        // A video with sound: its waveform in a band under its pictures.
        clippictures::Span band = span;
        if (peaks) {
            band.height = std::round(span.height * 0.62);
            clippictures::Span sound = span;
            sound.top = span.top + band.height;
            sound.height = span.height - band.height;
            painter->fillRect(QRectF(span.fromX, sound.top, span.toX - span.fromX, sound.height),
                              QColor(0x2b, 0x2d, 0x3a));
            clippictures::drawWaveform(painter, *peaks, sound);
        }
        clippictures::drawFilmstrip(painter, *strip, band);
    } else if (roomy && !m_thumbnail.isNull()) {
        if (!m_thumbnailScaled) {
            m_thumbnail = m_thumbnail.scaledToHeight(int(height() - 5));
            m_thumbnailScaled = true;
        }
        const double w = std::max(0.0, std::min(double(m_thumbnail.width()), viewWidth - 10));
        painter->drawImage(QRectF(5, 2, w, m_thumbnail.height()), m_thumbnail,
                           QRectF(0, 0, w, m_thumbnail.height()));
        textX = m_thumbnail.width() + 10;
    }
    if (kind == CT_VIDEO && roomy)
        if (const ProxyMaker *proxies = ProxyMaker::instance())
            proxybadge::paint(painter,
                              QRectF(span.fromX, span.top, span.toX - span.fromX, span.height),
                              proxies->progressOf(path));
    if (viewWidth - textX > 0) {
        const int room = int(viewWidth - textX - 4);
        const QString whole = label();
        if (room != m_labelRoom || whole != m_labelFrom) {
            m_labelText = fm.elidedText(whole, Qt::ElideRight, room);
            m_labelFrom = whole;
            m_labelRoom = room;
        }
        const QString &text = m_labelText;
        // On a dark band, readable over pictures and waveforms alike.
        painter->fillRect(QRectF(textX - 3, (bounds.height() - fm.height()) / 2.0,
                                 fm.horizontalAdvance(text) + 6, fm.height()),
                          QColor(0, 0, 0, 120));
        painter->drawText(QPointF(textX, (bounds.height() + fm.height()) / 2.0 - fm.descent()),
                          text);
    }

    painter->setPen(Qt::NoPen);
    painter->setBrush(Qt::red);
    if (headTransFrames != 0)
        painter->drawRect(
            QRectF(0, s * 9, std::min(viewWidth, timeline::toScene(headTransFrames) * z), s * 18));
    if (tailTransFrames != 0)
        painter->drawRect(
            QRectF(std::max(bounds.x(), (width - timeline::toScene(tailTransFrames)) * z), s * 9,
                   std::min(viewWidth, timeline::toScene(tailTransFrames) * z), s * 18));
    if (isSelected()) {
        painter->setPen(QPen(QColor("#f38b00"), 2.0));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(0, 2, viewWidth, height() - 2));
    }
    painter->restore();
}

void SourceItem::hoverEnterEvent(QGraphicsSceneHoverEvent *)
{
    m_hover = true;
    refreshFill();
    update();
}

void SourceItem::hoverLeaveEvent(QGraphicsSceneHoverEvent *)
{
    m_hover = false;
    refreshFill();
    update();
}

void SourceItem::clicked(QGraphicsSceneMouseEvent *event, int clicks)
{
    const double s = QssManager::screenScale();
    const QPointF p = event->pos();
    const QRectF head(0, s * 9, timeline::toScene(headTransFrames), s * 18);
    const QRectF tail(sceneWidth() - timeline::toScene(tailTransFrames), s * 9,
                      timeline::toScene(tailTransFrames), s * 18);
    auto *timelineScene = qobject_cast<TimeLineGraphicsScene *>(scene());
    TimelineDocument *document = track ? track->model() : nullptr;
    const bool onHead = headTransFrames != 0 && head.contains(p);
    const bool onTail = !onHead && tailTransFrames != 0 && tail.contains(p);
    if (onHead || onTail) {
        if (TransItem *t = document ? document->transitionAt(this, onHead) : nullptr)
            t->showPanel(clicks, this);
    } else if (timelineScene)
        timelineScene->showMenu(this, menuType(), clicks, panelValues());
    if (timelineScene)
        timelineScene->seek(timeline::toFrames(pos().x() + p.x()));
}

void SourceItem::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        QGraphicsItem::mousePressEvent(event);
        clicked(event, 1);
    } else if (event->button() == Qt::RightButton) {
        if (!isSelected() && scene()) {
            scene()->clearSelection();
            setSelected(true);
        }
        event->accept();
    }
}

void SourceItem::mouseDoubleClickEvent(QGraphicsSceneMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    QGraphicsItem::mouseDoubleClickEvent(event);
    clicked(event, 2);
}

QVariant SourceItem::itemChange(GraphicsItemChange change, const QVariant &value)
{
    if (change == ItemSelectedHasChanged) {
        const bool selected = value.toBool();
        m_left->setVisible(selected);
        m_right->setVisible(selected);
    }
    // Whether the clip is selected is part of what the preview reads (where it
    // starts is the record's, which tells of its own changes).
    if (change == ItemSelectedHasChanged)
        zua::UndoController::instance()->noteChange();
    return QGraphicsItem::itemChange(change, value);
}

void SourceItem::onChange(int event, const bg::Value &arg)
{
    TimelineDocument *model = track ? track->model() : nullptr;
    switch (event) {
    case zua::EV_ADDED: {
        // The list stays in start order: the clip goes where it starts.
        if (track)
            track->addClip(this, track->sortedIndexFor(this));
        if (model && model->scene() && scene() != model->scene())
            model->scene()->addItem(this);
        setVisible(onAnOpenRow());
        break;
    }
    case zua::EV_REMOVED:
        if (track)
            track->removeClip(this);
        setVisible(false);
        if (auto *s = qobject_cast<TimeLineGraphicsScene *>(scene()))
            if (s->panelItem() == this)
                s->slot_closeMenu(); // its panel would edit a clip that is gone
        if (scene())
            scene()->removeItem(this);
        break;
    case zua::EV_CHANGED:
        applyKey(arg.toStdString());
        if (auto *s = qobject_cast<TimeLineGraphicsScene *>(scene()))
            s->refreshMenu(this, menuType(), panelValues());
        break;
    default:
        break;
    }
    if (model)
        model->notifyChanged();
}

void SourceItem::applyKey(const std::string &key)
{
    const bg::Value v = value(key);
    if (key == "source") {
        const bg::ValueMap *m = v.mapPtr();
        if (!m)
            return;
        auto get = [m](const char *k) {
            auto it = m->find(k);
            return it == m->end() ? bg::Value() : it->second;
        };
        TimelineDocument *document = track ? track->model() : nullptr;
        ClassifyItem *target =
            document ? document->trackByUuid(QString::fromStdString(get("parent").toStdString()))
                     : nullptr;
        if (target && target != track) {
            const bool onTimeline = track && track->hasClip(this);
            if (onTimeline)
                track->removeClip(this);
            track = target;
            if (onTimeline)
                track->addClip(this, track->clips().size());
        }
        auto frames = [&get](const char *k, int64_t now) {
            const bg::Value v = get(k);
            return v.isEmpty() ? now : timeline::toFrames(v.toDouble());
        };
        startFrame = frames("posX", startFrame);
        durationFrames = frames("sizeX", durationFrames);
        offsetFrames = frames("offsetX", offsetFrames);
        followRecord();
        setVisible(onAnOpenRow()); // a track of a collapsed group keeps its clips hidden
        if (track)
            track->sortClips();
        zua::UndoController::instance()->noteChange();
        return;
    }
    if (const clipprops::Property *p = clipprops::byKey(key))
        clipprops::fromValue(*this, *p, v);
    update();
}
