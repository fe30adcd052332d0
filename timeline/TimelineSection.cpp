#include "TimelineSection.h"

#include "ClassifyItem.h"
#include "ClipProperties.h"
#include "SourceItem.h"
#include "TimelineDocument.h"
#include "TransItem.h"

#include "common/MaterialPaths.h"
#include "common/XmlText.h"
#include "undo/UndoController.h"

#include <QGraphicsScene>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {

void writeClip(QXmlStreamWriter &w, const SourceItem &c, const MaterialPaths &paths, bool archive)
{
    w.writeStartElement("sourceItem");
    w.writeTextElement("start", QString::number(c.start()));
    w.writeTextElement("duration", QString::number(c.duration()));
    w.writeTextElement("offset", QString::number(c.offset()));
    if (!c.path.isEmpty())
        w.writeTextElement("path", xmlText(paths.storedMaterialPath(c.path, archive)));
    w.writeTextElement("uuid", c.uuid);
    const std::vector<clipprops::Property> &properties = clipprops::all();
    bool subtitleMarked = false;
    for (const clipprops::Property &p : properties) {
        // Whether the clip is a subtitle comes before the subtitle's own elements.
        if (p.fileKinds == CT_SUBTITLE && !subtitleMarked) {
            w.writeTextElement("subtitle", c.kind == CT_SUBTITLE ? "true" : "false");
            subtitleMarked = true;
        }
        if (timeline::hasMask(c.kind, p.fileKinds))
            w.writeTextElement(p.element, xmlText(clipprops::toText(c, p)));
        if (&p == &properties.front()) // the full length, then the kind
            w.writeTextElement("type", QString::number(c.kind));
    }
    w.writeEndElement();
}

// A stacking value read from the file; later new clips of the kind go above it.
void readStacking(SourceItem &clip, const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || !timeline::hasMask(clip.kind, timeline::kVisualMask))
        return;
    clip.stacking = value;
    SourceData::noteZValue(clip.kind, value);
}

} // namespace

void TimelineSection::write(const TimelineDocument &model, QXmlStreamWriter &w, bool archive)
{
    const MaterialPaths &paths = model.materialPaths();
    for (ClassifyItem *item : model.tracks()) {
        if (item->kind == CT_NONE)
            continue;
        w.writeStartElement("classify");
        w.writeAttribute("type", QString::number(item->kind));
        w.writeAttribute("row", QString::number(item->isGroup ? -1 : item->row()));
        for (SourceItem *clip : item->clips())
            writeClip(w, *clip, paths, archive);
        w.writeEndElement();
    }
    w.writeStartElement("Trans");
    for (TransItem *t : model.transitions()) {
        const TransitionData *d = t->data();
        w.writeStartElement("TransItem");
        w.writeTextElement("startframe", QString::number(d->startFrame));
        w.writeTextElement("endframe", QString::number(d->endFrame));
        w.writeTextElement("durationframe", QString::number(d->durationMs));
        w.writeTextElement("name", xmlText(d->name));
        w.writeTextElement("ratio", QString::number(d->ratio));
        w.writeTextElement("fromUUid", d->from ? d->from->uuid : QString());
        w.writeTextElement("toUUid", d->to ? d->to->uuid : QString());
        w.writeEndElement();
    }
    w.writeEndElement();
}

void TimelineSection::read(TimelineDocument &model, QXmlStreamReader &r)
{
    const MaterialPaths &paths = model.materialPaths();
    while (r.readNextStartElement()) {
        if (r.name() == QLatin1String("classify")) {
            const uint32_t kind = r.attributes().value("type").toUInt();
            const int row = r.attributes().value("row").toInt();
            ClassifyItem *g = model.group(kind);
            ClassifyItem *track = !g ? nullptr : row == -1 ? g : model.insertTrack(g, row, false);
            while (r.readNextStartElement()) {
                if (r.name() != QLatin1String("sourceItem") || !track) {
                    r.skipCurrentElement();
                    continue;
                }
                auto *clip = new SourceItem(kind, track);
                double start = 0;
                while (r.readNextStartElement()) {
                    const QStringRef n = r.name();
                    const QString t = r.readElementText();
                    if (n == QLatin1String("start"))
                        start = t.toDouble() * timeline::kFrameWidth;
                    else if (n == QLatin1String("duration"))
                        clip->width = t.toDouble() * timeline::kFrameWidth;
                    else if (n == QLatin1String("offset"))
                        clip->offsetX = t.toDouble() * timeline::kFrameWidth;
                    else if (n == QLatin1String("path"))
                        clip->path = paths.resolveMaterialPath(t);
                    else if (n == QLatin1String("uuid") && !t.isEmpty())
                        clip->uuid = t;
                    else if (n == QLatin1String("zValue"))
                        readStacking(*clip, t);
                    else if (const clipprops::Property *p = clipprops::byElement(n))
                        if (timeline::hasMask(kind, p->fileKinds))
                            clipprops::fromText(*clip, *p, t);
                    // "type", "subtitle" and unknown elements: read and ignored (the
                    // kind comes from the track)
                }
                model.adoptLoadedClip(clip, start);
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
                SourceItem *from = model.clipByUuid(fromUuid), *to = model.clipByUuid(toUuid);
                TransItem *t = model.addTransition(name, from, to, duration, ratio, false);
                if (!t) { // neither clip exists: keep the recorded placement
                    t = new TransItem(&model);
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
    model.notifyChanged();
}
