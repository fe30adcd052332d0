#include "TimelineSection.h"

#include "ClassifyItem.h"
#include "ClipProperties.h"
#include "SourceItem.h"
#include "TimelineDocument.h"
#include "TransItem.h"

#include "common/MaterialPaths.h"
#include "common/ReadNotes.h"
#include "common/Translate.h"
#include "common/XmlText.h"
#include "undo/UndoController.h"

#include <QFileInfo>
#include <QGraphicsScene>
#include <QUuid>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cmath>

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
        w.writeTextElement("fromUUid", d->fromUuid);
        w.writeTextElement("toUUid", d->toUuid);
        w.writeEndElement();
    }
    w.writeEndElement();
}

namespace {

// No clip starts, lasts or begins inside its material later than a day.
constexpr double kMaxFrames = 24.0 * 3600 * timebase::kFps;

// A time in frames as the file holds it, or NaN when it is no number.
double framesIn(const QString &text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    return ok ? v : std::nan("");
}

QString clipName(const SourceItem &clip)
{
    return clip.path.isEmpty() ? clip.content.left(20) : QFileInfo(clip.path).fileName();
}

// A time read from the file, kept within [0, kMaxFrames]; a change is noted.
double sensibleFrames(const SourceItem &clip, const QString &what, const QString &text,
                      double value)
{
    double kept = value;
    if (std::isnan(value) || value < 0)
        kept = 0;
    else if (value > kMaxFrames)
        kept = kMaxFrames;
    if (kept != value)
        ReadNotes::noteChanged(ZTR("titlebar.ReadValueChanged")
                                   .arg(clipName(clip), what, text.trimmed().left(24))
                                   .arg(kept));
    return kept;
}

// Reads one "sourceItem" into `clip`; false when the clip makes no sense and is left out.
bool readClip(QXmlStreamReader &r, SourceItem &clip, uint32_t kind, const MaterialPaths &paths)
{
    QString startText = "0", durationText = "0", offsetText = "0";
    while (r.readNextStartElement()) {
        const QStringRef n = r.name();
        if (n == QLatin1String("start"))
            startText = xmlread::leafText(r);
        else if (n == QLatin1String("duration"))
            durationText = xmlread::leafText(r);
        else if (n == QLatin1String("offset"))
            offsetText = xmlread::leafText(r);
        else if (n == QLatin1String("path"))
            clip.path = paths.resolveMaterialPath(xmlread::leafText(r));
        else if (n == QLatin1String("uuid")) {
            const QString t = xmlread::leafText(r);
            if (!t.isEmpty())
                clip.uuid = t;
        } else if (n == QLatin1String("zValue"))
            readStacking(clip, xmlread::leafText(r));
        else if (n == QLatin1String("type") || n == QLatin1String("subtitle"))
            xmlread::leafText(r); // the kind comes from the track
        else if (const clipprops::Property *p = clipprops::byElement(n)) {
            const QString t = xmlread::leafText(r);
            if (timeline::hasMask(kind, p->fileKinds))
                clipprops::fromText(clip, *p, t);
        } else
            xmlread::skipUnknown(r);
    }
    const double duration = framesIn(durationText);
    if (!(timeline::nearestFrame(duration) >= 1) || duration > kMaxFrames) {
        ReadNotes::noteChanged(
            ZTR("titlebar.ReadClipDropped").arg(clipName(clip), durationText.trimmed().left(24)));
        return false;
    }
    clip.durationFrames = timeline::nearestFrame(duration);
    clip.offsetFrames = timeline::nearestFrame(
        sensibleFrames(clip, ZTR("titlebar.ReadInPoint"), offsetText, framesIn(offsetText)));
    clip.startFrame = timeline::nearestFrame(
        sensibleFrames(clip, ZTR("titlebar.ReadStart"), startText, framesIn(startText)));
    return true;
}

} // namespace

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
                    xmlread::skipUnknown(r);
                    continue;
                }
                auto *clip = new SourceItem(kind, track);
                if (!readClip(r, *clip, kind, paths)) {
                    delete clip;
                    continue;
                }
                // A copied clip keeps its own identity (a uuid names one clip).
                if (model.clipByUuid(clip->uuid))
                    clip->uuid = QUuid::createUuid().toString();
                model.adoptLoadedClip(clip, false);
            }
            // Overlaps a hand-edited file may hold are resolved once, for the whole track.
            if (track)
                model.resolveOverlaps(track);
        } else if (r.name() == QLatin1String("Trans")) {
            while (r.readNextStartElement()) {
                if (r.name() != QLatin1String("TransItem")) {
                    xmlread::skipUnknown(r);
                    continue;
                }
                QString name, fromUuid, toUuid;
                int64_t duration = 2000;
                int ratio = 5;
                while (r.readNextStartElement()) {
                    const QStringRef n = r.name();
                    if (n == QLatin1String("startframe") || n == QLatin1String("endframe"))
                        xmlread::leafText(r); // placed anew from its clips
                    else if (n == QLatin1String("durationframe"))
                        duration = xmlread::leafText(r).toLongLong();
                    else if (n == QLatin1String("name"))
                        name = xmlread::leafText(r);
                    else if (n == QLatin1String("ratio"))
                        ratio = xmlread::leafText(r).toInt();
                    else if (n == QLatin1String("fromUUid"))
                        fromUuid = xmlread::leafText(r);
                    else if (n == QLatin1String("toUUid"))
                        toUuid = xmlread::leafText(r);
                    else
                        xmlread::skipUnknown(r);
                }
                SourceItem *from = model.clipByUuid(fromUuid), *to = model.clipByUuid(toUuid);
                // A transition lives only between clips on the timeline: one that joins
                // none (both were left out, or never written) is left out and named.
                if (!model.addTransition(name, from, to, duration, ratio, false))
                    ReadNotes::noteChanged(ZTR("titlebar.ReadTransitionDropped").arg(name));
            }
        } else {
            xmlread::skipUnknown(r);
        }
    }
    model.notifyChanged();
}
