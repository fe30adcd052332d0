#include "LegacyImport.h"

#include "ClassifyItem.h"
#include "SourceItem.h"
#include "TimelineDocument.h"

#include "common/LegacyKinds.h"
#include "common/MaterialPaths.h"

#include <QXmlStreamReader>

#include <algorithm>

LegacyImport::LegacyImport(TimelineDocument *model, const QSizeF &renderSize)
    : m_model(model), m_renderSize(renderSize)
{}

uint32_t LegacyImport::kindOf(const QString &text)
{
    return legacyKind(text);
}

QList<double> LegacyImport::numbersOf(const QString &text)
{
    QList<double> numbers;
    for (const QString &field : text.split(';', Qt::SkipEmptyParts))
        numbers << field.section(':', 1).trimmed().toDouble();
    return numbers;
}

LegacyImport::Side LegacyImport::sideOf(const QString &owner, const QString &text)
{
    Side side;
    side.owner = owner;
    for (const QString &field : text.split(';', Qt::SkipEmptyParts)) {
        if (field.startsWith(QLatin1String("[map]{map}dur:[i]")))
            side.durationMs = field.mid(17).toLongLong() * 10;
        else if (field.startsWith(QLatin1String("name:[qstr]")))
            side.name = field.mid(11).replace('.', '_');
        else if (field.startsWith(QLatin1String("to:[qstr]")))
            side.to = field.mid(9);
        else if (field.startsWith(QLatin1String("width:[i]")))
            side.widthMs = field.mid(9).toLongLong() * 10;
    }
    return side;
}

void LegacyImport::readObjects(QXmlStreamReader &r)
{
    while (r.readNextStartElement()) {
        if (r.name() == QLatin1String("Object"))
            readObject(r);
        else
            r.skipCurrentElement();
    }
}

void LegacyImport::readObject(QXmlStreamReader &r)
{
    Record record;
    QString uid;
    QPointF pos;
    QSizeF size;
    QList<QString> right, left;
    while (r.readNextStartElement()) {
        const QString n = r.name().toString();
        if (n == QLatin1String("values")) {
            readValues(r, record);
            continue;
        }
        const QString t = r.readElementText(QXmlStreamReader::SkipChildElements);
        if (n == QLatin1String("uid")) {
            uid = t;
        } else if (n == QLatin1String("type")) {
            record.kind = kindOf(t);
        } else if (n == QLatin1String("rect")) {
            const QList<double> v = numbersOf(t);
            if (v.size() >= 4)
                size = QSizeF(v[2], v[3]);
        } else if (n == QLatin1String("pos")) {
            const QList<double> v = numbersOf(t);
            if (v.size() >= 2)
                pos = QPointF(v[0], v[1]);
        } else if (n == QLatin1String("url")) {
            record.path = m_model->materialPaths().resolveMaterialPath(t);
        } else if (n == QLatin1String("rotate")) {
            record.rotate = t.toInt();
        } else if (n == QLatin1String("alpha")) {
            record.transparency = t.toInt();
        } else if (n == QLatin1String("clipRect")) {
            const QList<double> v = numbersOf(t);
            if (v.size() >= 4)
                record.crop = QRectF(v[0], v[1], v[2], v[3]).toRect();
        } else if (n == QLatin1String("color")) {
            record.color.setNamedColor(t);
        } else if (n == QLatin1String("font")) {
            record.font.fromString(t);
        } else if (n == QLatin1String("content")) {
            record.content = t;
        } else if (n == QLatin1String("transit.right")) {
            right << t;
        } else if (n == QLatin1String("transit.left")) {
            left << t;
        } else if (n == QLatin1String("silence")) {
            record.mute = t == QLatin1String("true");
        } else if (n == QLatin1String("volume")) {
            record.volume = t.mid(3).toInt();
        } else if (n == QLatin1String("clipMode")) {
            record.stretch = t.mid(5) == QLatin1String("fill") ? 0 : 1;
        }
        // "buddy_uid" and unknown elements: read and left.
    }
    if (uid.isEmpty())
        return;
    record.placement = QRectF(pos.x() - m_renderSize.width() * 0.5,
                              pos.y() - m_renderSize.height() * 0.5, size.width(), size.height());
    m_records.insert(uid, record);
    for (const QString &text : right)
        m_right << sideOf(uid, text);
    for (const QString &text : left)
        m_left << sideOf(uid, text);
}

void LegacyImport::readValues(QXmlStreamReader &r, Record &record)
{
    while (r.readNextStartElement()) {
        if (r.name() != QLatin1String("dobj_user")) {
            r.skipCurrentElement();
            continue;
        }
        while (r.readNextStartElement()) {
            const QString n = r.name().toString();
            const double v = r.readElementText(QXmlStreamReader::SkipChildElements).toDouble();
            if (n == QLatin1String("startPts"))
                record.start = framesOfHundredths(v);
            else if (n == QLatin1String("duration"))
                record.duration = framesOfHundredths(v);
            else if (n == QLatin1String("mv_cut_pos"))
                record.offset = framesOfMs(v);
            // "mv_duration": the material's whole length, which the probe gives anew.
        }
    }
}

void LegacyImport::readTree(QXmlStreamReader &r)
{
    while (r.readNextStartElement()) {
        ClassifyItem *group = r.name() == QLatin1String("Group")
                                  ? m_model->group(kindOf(r.attributes().value("type").toString()))
                                  : nullptr;
        if (!group) {
            r.skipCurrentElement();
            continue;
        }
        ClassifyItem *row = nullptr;
        while (r.readNextStartElement()) {
            if (r.name() != QLatin1String("Row")) {
                r.skipCurrentElement();
                continue;
            }
            // The first row is the group's own; each further one a new track below.
            row = !row ? group
                       : m_model->insertTrack(group, row == group ? 0 : row->row() + 1, false);
            while (r.readNextStartElement()) {
                if (r.name() != QLatin1String("Item")) {
                    r.skipCurrentElement();
                    continue;
                }
                QString uid;
                while (r.readNextStartElement()) {
                    if (r.name() == QLatin1String("uid"))
                        uid = r.readElementText(QXmlStreamReader::SkipChildElements);
                    else
                        r.skipCurrentElement();
                }
                const auto found = m_records.constFind(uid);
                // A clip of another kind than its group cannot live there.
                if (!row || found == m_records.constEnd() || found->kind != group->kind)
                    continue;
                const Record &rec = *found;
                auto *clip = new SourceItem(rec.kind, row);
                clip->startFrame = rec.start;
                clip->durationFrames = rec.duration;
                clip->offsetFrames = rec.offset;
                clip->path = rec.kind == CT_SUBTITLE ? QString() : rec.path;
                clip->previewRect = rec.placement;
                clip->rotate = rec.rotate;
                clip->transparency = rec.transparency;
                clip->volume = rec.volume;
                clip->mute = rec.mute;
                clip->stretch = rec.stretch;
                clip->clipRect = rec.crop;
                clip->color = rec.color;
                clip->font = rec.font;
                clip->content = rec.content;
                m_model->adoptLoadedClip(clip);
                m_clips.insert(uid, clip);
            }
        }
    }
    makeTransitions();
}

void LegacyImport::makeTransitions()
{
    constexpr int kCentred = 5;
    QList<Side> alone;
    for (const Side &right : qAsConst(m_right)) {
        SourceItem *from = m_clips.value(right.owner);
        if (right.to.isEmpty()) {
            alone << right;
            continue;
        }
        const auto left = std::find_if(m_left.begin(), m_left.end(),
                                       [&](const Side &l) { return l.owner == right.to; });
        if (left == m_left.end())
            continue;
        SourceItem *to = m_clips.value(right.to);
        const int ratio =
            left->durationMs > 0 ? int(left->widthMs * 10 / left->durationMs) : kCentred;
        if (from && to)
            m_model->addTransition(right.name, from, to, right.durationMs, ratio, false);
        m_left.erase(left);
    }
    for (const Side &tail : qAsConst(alone))
        if (SourceItem *from = m_clips.value(tail.owner))
            m_model->addTransition(tail.name, from, nullptr, tail.durationMs, kCentred, false);
    for (const Side &head : qAsConst(m_left))
        if (SourceItem *to = m_clips.value(head.owner))
            m_model->addTransition(head.name, nullptr, to, head.durationMs, kCentred, false);
    m_right.clear();
    m_left.clear();
}
