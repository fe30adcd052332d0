// The Timeline section of the project file: tracks with their clips, then the
// transitions.

#include "ClassifyItem.h"
#include "SourceItem.h"
#include "TimeLineTreeModel.h"
#include "TransItem.h"

#include "common/MaterialPaths.h"
#include "undo/UndoController.h"

#include <QGraphicsScene>
#include <QLocale>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {

// The shortest general notation that reads back to the same double (123.4567891
// stays 123.4567891; 160 stays 160).
QString shortest(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

QString rectText(double x, double y, double w, double h)
{
    return QString("x: %1, y: %2, width: %3, height: %4")
        .arg(shortest(x), shortest(y), shortest(w), shortest(h));
}

// The numbers of a "x: 1, y: 2, width: 3, height: 4" or "width: 3, height: 4" text.
QList<double> numbersIn(const QString &text)
{
    static const QRegularExpression number("-?\\d+(?:\\.\\d+)?(?:[eE][-+]?\\d+)?");
    QList<double> out;
    auto it = number.globalMatch(text);
    while (it.hasNext())
        out << it.next().captured(0).toDouble();
    return out;
}

void writeClip(QXmlStreamWriter &w, const SourceItem &c, const MaterialPaths &paths, bool archive)
{
    w.writeStartElement("sourceItem");
    w.writeTextElement("start", QString::number(c.start()));
    w.writeTextElement("duration", QString::number(c.duration()));
    w.writeTextElement("offset", QString::number(c.offset()));
    if (!c.path.isEmpty())
        w.writeTextElement("path", paths.storedMaterialPath(c.path, archive));
    w.writeTextElement("uuid", c.uuid);
    w.writeTextElement("originalduraion", QString::number(c.fullLength));
    w.writeTextElement("type", QString::number(c.kind));
    const QRectF &p = c.previewRect;
    w.writeTextElement("previewRect", rectText(p.x(), p.y(), p.width(), p.height()));
    const QRect &r = c.clipRect;
    w.writeTextElement("clipRect", rectText(r.x(), r.y(), r.width(), r.height()));
    w.writeTextElement(
        "originalSize",
        QString("width: %1, height: %2").arg(c.sourceSize.width()).arg(c.sourceSize.height()));
    w.writeTextElement("roration", QString::number(c.rotate));
    w.writeTextElement("transparent", QString::number(c.transparency));
    w.writeTextElement("volumn", QString::number(c.mute ? 0 : c.volume));
    w.writeTextElement("mute", c.mute ? "true" : "false");
    w.writeTextElement("stretch", QString::number(c.stretch));
    w.writeTextElement("temperature", QString::number(c.temperature));
    w.writeTextElement("saturation", QString::number(c.saturation));
    w.writeTextElement("hue", QString::number(c.hue));
    w.writeTextElement("bright", QString::number(c.bright));
    w.writeTextElement("contrast", QString::number(c.contrast));
    w.writeTextElement("highlight", QString::number(c.highlight));
    // The stacking order (up/down level) is an edit like any other: kept across save and
    // open. Readers that do not know the element skip it.
    if (timeline::hasMask(c.kind, timeline::kVisualMask))
        w.writeTextElement("zValue", QString::number(c.stacking));
    const bool subtitle = c.kind == CT_SUBTITLE;
    w.writeTextElement("subtitle", subtitle ? "true" : "false");
    if (subtitle) {
        w.writeTextElement("color", c.color.name());
        w.writeTextElement("font", c.font.toString());
        w.writeTextElement("content", c.content);
    }
    w.writeEndElement();
}

// A clip as read from the file, before it is made.
struct SourceInfo {
    double start = 0, duration = 0, offset = 0; // scene units
    int64_t fullLength = 0;
    QString path, uuid, content;
    QRectF previewRect;
    QRect clipRect;
    QSize sourceSize;
    QColor color;
    QFont font;
    bool subtitle = false, mute = false;
    int rotation = 0, transparency = 255, volume = 128, stretch = 1;
    int temperature = 0, saturation = 0, bright = 0, hue = 0, contrast = 0, highlight = 0;
    bool hasStacking = false;
    int stacking = 0;
};

SourceInfo readClipInfo(QXmlStreamReader &r, const MaterialPaths &paths)
{
    SourceInfo s;
    while (r.readNextStartElement()) {
        const QStringRef n = r.name();
        const QString t = r.readElementText();
        if (n == QLatin1String("start"))
            s.start = t.toDouble() * timeline::kFrameWidth;
        else if (n == QLatin1String("duration"))
            s.duration = t.toDouble() * timeline::kFrameWidth;
        else if (n == QLatin1String("offset"))
            s.offset = t.toDouble() * timeline::kFrameWidth;
        else if (n == QLatin1String("originalduraion"))
            s.fullLength = t.toLongLong();
        else if (n == QLatin1String("path"))
            s.path = paths.resolveMaterialPath(t);
        else if (n == QLatin1String("uuid"))
            s.uuid = t;
        else if (n == QLatin1String("previewRect")) {
            const QList<double> v = numbersIn(t);
            if (v.size() == 4)
                s.previewRect = QRectF(v[0], v[1], v[2], v[3]);
        } else if (n == QLatin1String("clipRect")) {
            const QList<double> v = numbersIn(t);
            if (v.size() == 4)
                s.clipRect = QRectF(v[0], v[1], v[2], v[3]).toRect();
        } else if (n == QLatin1String("originalSize")) {
            const QList<double> v = numbersIn(t);
            if (v.size() == 2)
                s.sourceSize = QSize(int(v[0]), int(v[1]));
        } else if (n == QLatin1String("color"))
            s.color.setNamedColor(t);
        else if (n == QLatin1String("font"))
            s.font.fromString(t);
        else if (n == QLatin1String("content"))
            s.content = t;
        else if (n == QLatin1String("subtitle"))
            s.subtitle = t == QLatin1String("true");
        else if (n == QLatin1String("mute"))
            s.mute = t == QLatin1String("true");
        else if (n == QLatin1String("roration"))
            s.rotation = t.toInt();
        else if (n == QLatin1String("transparent"))
            s.transparency = t.toInt();
        else if (n == QLatin1String("volumn"))
            s.volume = t.toInt();
        else if (n == QLatin1String("stretch"))
            s.stretch = t.toInt();
        else if (n == QLatin1String("temperature"))
            s.temperature = t.toInt();
        else if (n == QLatin1String("saturation"))
            s.saturation = t.toInt();
        else if (n == QLatin1String("bright"))
            s.bright = t.toInt();
        else if (n == QLatin1String("hue"))
            s.hue = t.toInt();
        else if (n == QLatin1String("contrast"))
            s.contrast = t.toInt();
        else if (n == QLatin1String("highlight"))
            s.highlight = t.toInt();
        else if (n == QLatin1String("zValue"))
            s.stacking = t.toInt(&s.hasStacking);
        // "type" and unknown elements: read and ignored (the kind comes from the track)
    }
    return s;
}

} // namespace

void TimeLineTreeModel::writeSection(QXmlStreamWriter &w, bool archive) const
{
    for (ClassifyItem *item : tracks()) {
        if (item->kind == CT_NONE)
            continue;
        w.writeStartElement("classify");
        w.writeAttribute("type", QString::number(item->kind));
        w.writeAttribute("row", QString::number(item->isGroup ? -1 : item->row()));
        for (SourceItem *clip : item->clips())
            writeClip(w, *clip, *m_paths, archive);
        w.writeEndElement();
    }
    w.writeStartElement("Trans");
    for (TransItem *t : m_transitions) {
        const TransitionData *d = t->data();
        w.writeStartElement("TransItem");
        w.writeTextElement("startframe", QString::number(d->startFrame));
        w.writeTextElement("endframe", QString::number(d->endFrame));
        w.writeTextElement("durationframe", QString::number(d->durationMs));
        w.writeTextElement("name", d->name);
        w.writeTextElement("ratio", QString::number(d->ratio));
        w.writeTextElement("fromUUid", d->from ? d->from->uuid : QString());
        w.writeTextElement("toUUid", d->to ? d->to->uuid : QString());
        w.writeEndElement();
    }
    w.writeEndElement();
}

void TimeLineTreeModel::readSection(QXmlStreamReader &r)
{
    while (r.readNextStartElement()) {
        if (r.name() == QLatin1String("classify")) {
            const uint32_t kind = r.attributes().value("type").toUInt();
            const int row = r.attributes().value("row").toInt();
            ClassifyItem *g = group(kind);
            ClassifyItem *track = !g ? nullptr : row == -1 ? g : insertTrack(g, row, false);
            while (r.readNextStartElement()) {
                if (r.name() != QLatin1String("sourceItem") || !track) {
                    r.skipCurrentElement();
                    continue;
                }
                const SourceInfo s = readClipInfo(r, *m_paths);
                auto *clip = new SourceItem(kind, track);
                clip->uuid = s.uuid.isEmpty() ? clip->uuid : s.uuid;
                clip->path = s.path;
                clip->width = s.duration;
                clip->offsetX = s.offset;
                clip->fullLength = s.fullLength;
                clip->previewRect = s.previewRect;
                clip->clipRect = s.clipRect;
                clip->sourceSize = s.sourceSize;
                if (kind == CT_SUBTITLE) {
                    clip->setSubtitle(s.color, s.font, s.content);
                } else {
                    const bg::ValueMap info = probe(s.path, false);
                    auto it = info.find("valid");
                    if (it != info.end() && it->second.toBool()) {
                        const QSize size(info.at("width").toInt32(), info.at("height").toInt32());
                        if (clip->clipRect == QRect(0, 0, 0, 0))
                            clip->clipRect = QRect(QPoint(0, 0), size);
                        // A file without a placement shows the picture whole, centred.
                        if (clip->previewRect.isEmpty())
                            clip->previewRect = QRectF(QPointF(0, 0), QSizeF(size));
                        clip->sourceSize = size;
                    } else {
                        clip->setValid(false);
                    }
                }
                clip->rotate = s.rotation;
                clip->transparency = s.transparency;
                clip->volume = s.volume;
                clip->mute = s.mute;
                clip->stretch = s.stretch;
                clip->temperature = s.temperature;
                clip->saturation = s.saturation;
                clip->bright = s.bright;
                clip->hue = s.hue;
                clip->contrast = s.contrast;
                clip->highlight = s.highlight;
                if (s.hasStacking) {
                    clip->stacking = s.stacking;
                    SourceData::noteZValue(kind, s.stacking);
                }
                clip->loadThumbnail();
                clip->placeAt(s.start);
                clip->publishValues();
                if (m_scene)
                    m_scene->clearSelection();
                zua::MergeSequence sequence("AddSource");
                zua::ZuObject::AddObject_canUndo(
                    clip, bg::Value(bg::ValueMap{{"col", bg::Value(int32_t(0))}}));
                resolveOverlaps(track);
            }
        } else if (r.name() == QLatin1String("Trans")) {
            while (r.readNextStartElement()) {
                if (r.name() != QLatin1String("TransItem")) {
                    r.skipCurrentElement();
                    continue;
                }
                QString name, fromUuid, toUuid;
                int64_t start = 0, end = 0, duration = 2000;
                int ratio = 5;
                while (r.readNextStartElement()) {
                    const QStringRef n = r.name();
                    const QString t = r.readElementText();
                    if (n == QLatin1String("startframe"))
                        start = t.toLongLong();
                    else if (n == QLatin1String("endframe"))
                        end = t.toLongLong();
                    else if (n == QLatin1String("durationframe"))
                        duration = t.toLongLong();
                    else if (n == QLatin1String("name"))
                        name = t;
                    else if (n == QLatin1String("ratio"))
                        ratio = t.toInt();
                    else if (n == QLatin1String("fromUUid"))
                        fromUuid = t;
                    else if (n == QLatin1String("toUUid"))
                        toUuid = t;
                }
                SourceItem *from = clipByUuid(fromUuid), *to = clipByUuid(toUuid);
                TransItem *t = addTransition(name, from, to, duration, ratio, false);
                if (!t) { // neither clip exists: keep the recorded placement
                    t = new TransItem(m_scene);
                    t->data()->name = name;
                    t->data()->durationMs = duration;
                    t->data()->ratio = ratio;
                    t->data()->startFrame = start;
                    t->data()->endFrame = end;
                    t->setValue("trans", t->transValue(), false, false);
                    t->onChange(zua::EV_ADDED, bg::Value());
                }
            }
        } else {
            r.skipCurrentElement();
        }
    }
    notifyChanged();
}
