#include "SourceItem.h"

#include "ClassifyItem.h"
#include "TimeLineTreeModel.h"

#include "main/QssManager.h"
#include "main/ValueQt.h"

#include <QGraphicsScene>
#include <QPainter>
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

void SourceData::setSubtitle(const QColor &c, const QFont &f, const QString &text)
{
    color = c;
    font = f;
    content = text;
}

bg::Value SourceData::sourceValue(ClassifyItem *onTrack, double x, double w, double offset) const
{
    bg::ValueMap source;
    source["parent"] = bg::Value(static_cast<void *>(onTrack));
    source["posX"] = bg::Value(x);
    source["sizeX"] = bg::Value(w);
    source["offsetX"] = bg::Value(offset);
    return bg::Value(source);
}

void SourceData::publishValues()
{
    using namespace timeline;
    setValue("source", sourceValue(track, sceneX(), width, offsetX), false, false);
    if (hasMask(kind, CT_SUBTITLE)) {
        setValue("color", bg::Value(color.name().toStdString()), false, false);
        setValue("font", bg::Value(font.toString().toStdString()), false, false);
        setValue("content", bg::Value(content.toStdString()), false, false);
    }
    if (hasMask(kind, kVisualMask)) {
        setValue("previewRect", bg::ValueQt(previewRect), false, false);
        setValue("rotate", bg::Value(int32_t(rotate)), false, false);
        setValue("transparent", bg::Value(int32_t(transparency)), false, false);
        setValue("zValue", bg::Value(int32_t(stacking)), false, false);
    }
    if (hasMask(kind, kColourMask)) {
        setValue("clipRect", bg::ValueQt(clipRect), false, false);
        setValue("temperature", bg::Value(int32_t(temperature)), false, false);
        setValue("saturation", bg::Value(int32_t(saturation)), false, false);
        setValue("hue", bg::Value(int32_t(hue)), false, false);
        setValue("contrast", bg::Value(int32_t(contrast)), false, false);
        setValue("bright", bg::Value(int32_t(bright)), false, false);
        setValue("highlight", bg::Value(int32_t(highlight)), false, false);
    }
    if (hasMask(kind, kAudibleMask)) {
        setValue("volume", bg::Value(int32_t(volume)), false, false);
        setValue("mute", bg::Value(mute), false, false);
    }
}

// ---- SourceItem ------------------------------------------------------------------

SourceItem::SourceItem(uint32_t k, ClassifyItem *onTrack)
{
    kind = k;
    track = onTrack;
    uuid = QUuid::createUuid().toString();
    stacking = nextZValue(k);
    setFlag(QGraphicsItem::ItemIsSelectable);
}

void SourceItem::placeAt(double x)
{
    setPos(x, track ? track->y() : 0);
}

QRectF SourceItem::boundingRect() const
{
    const double h = timeline::rowHeight(kind) * QssManager::screenScale();
    return QRectF(0, 0, width, h);
}

void SourceItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    const QRectF r = boundingRect().adjusted(0.5, 1.5, -0.5, -1.5);
    painter->setPen(isSelected() ? QColor("#ffd24a") : QColor("#2c2e35"));
    painter->setBrush(valid ? QColor("#3a6fb0") : QColor("#7a3030"));
    painter->drawRoundedRect(r, 3, 3);
}

void SourceItem::onChange(int event, const bg::Value &arg)
{
    TimeLineTreeModel *model = track ? track->model() : nullptr;
    switch (event) {
    case zua::EV_ADDED: {
        const bg::ValueMap *map = arg.mapPtr();
        const auto col = map ? map->find("col") : bg::ValueMap::const_iterator();
        if (track) {
            track->addClip(this, map && col != map->end() ? col->second.toInt32() : 0);
            track->sortClips(); // the list stays in start order
        }
        if (model && model->scene() && scene() != model->scene())
            model->scene()->addItem(this);
        setVisible(true);
        break;
    }
    case zua::EV_REMOVED:
        if (track)
            track->removeClip(this);
        setVisible(false);
        if (scene())
            scene()->removeItem(this);
        break;
    case zua::EV_CHANGED:
        applyKey(arg.toStdString());
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
        auto *target = static_cast<ClassifyItem *>(get("parent").toPointer());
        if (target && target != track) {
            const bool onTimeline = track && track->hasClip(this);
            if (onTimeline)
                track->removeClip(this);
            track = target;
            if (onTimeline)
                track->addClip(this, track->clips().size());
        }
        prepareGeometryChange();
        width = get("sizeX").toDouble(width);
        offsetX = get("offsetX").toDouble(offsetX);
        placeAt(get("posX").toDouble(pos().x()));
        if (track)
            track->sortClips();
        return;
    }
    if (key == "previewRect")
        previewRect = bg::ValueQt(v).toRectF();
    else if (key == "clipRect")
        clipRect = bg::ValueQt(v).toRect();
    else if (key == "rotate")
        rotate = v.toInt32(rotate);
    else if (key == "transparent")
        transparency = v.toInt32(transparency);
    else if (key == "zValue")
        stacking = v.toInt32(stacking);
    else if (key == "volume")
        volume = v.toInt32(volume);
    else if (key == "mute")
        mute = v.toBool(mute);
    else if (key == "color")
        color = QColor(QString::fromStdString(v.toStdString()));
    else if (key == "font")
        font.fromString(QString::fromStdString(v.toStdString()));
    else if (key == "content")
        content = QString::fromStdString(v.toStdString());
    else if (key == "temperature")
        temperature = v.toInt32(temperature);
    else if (key == "saturation")
        saturation = v.toInt32(saturation);
    else if (key == "hue")
        hue = v.toInt32(hue);
    else if (key == "contrast")
        contrast = v.toInt32(contrast);
    else if (key == "bright")
        bright = v.toInt32(bright);
    else if (key == "highlight")
        highlight = v.toInt32(highlight);
    update();
}
