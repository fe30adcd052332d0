#include "SceneSection.h"

#include "common/FrameSize.h"
#include "common/ReadNotes.h"
#include "common/ValueQt.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace scenesection {

namespace {
// A damaged project must not give the scene an unusable size.
constexpr double kMaxSide = 8192;
bool validSide(double v)
{
    return v >= 1 && v <= kMaxSide;
}
} // namespace

void write(QXmlStreamWriter &writer, const QSize &size)
{
    writer.writeStartElement("scene");
    writer.writeTextElement("width", QString::number(size.width()));
    writer.writeTextElement("height", QString::number(size.height()));
    writer.writeEndElement();
}

std::optional<QSize> read(QXmlStreamReader &reader)
{
    std::optional<QSize> size;
    while (reader.readNextStartElement()) {
        if (reader.name() != QLatin1String("scene")) {
            xmlread::skipUnknown(reader);
            continue;
        }
        int width = framesize::kDefaultWidth;
        int height = framesize::kDefaultHeight;
        while (reader.readNextStartElement()) {
            bool ok = false;
            if (reader.name() == QLatin1String("width")) {
                const uint v = xmlread::leafText(reader).trimmed().toUInt(&ok);
                if (ok && validSide(v))
                    width = int(v);
            } else if (reader.name() == QLatin1String("height")) {
                const uint v = xmlread::leafText(reader).trimmed().toUInt(&ok);
                if (ok && validSide(v))
                    height = int(v);
            } else {
                xmlread::skipUnknown(reader);
            }
        }
        size = QSize(width, height);
    }
    return size;
}

std::optional<QSize> readLegacyCanvas(QXmlStreamReader &reader)
{
    std::optional<QSize> size;
    while (reader.readNextStartElement()) {
        if (reader.name() != QLatin1String("canvas_rect")) {
            reader.skipCurrentElement();
            continue;
        }
        bg::ValueQt rect;
        if (!rect.read(reader.readElementText().toStdString()))
            continue;
        QSizeF read;
        if (rect.type() == bg::VT_RECTF)
            read = rect.toRectF().size();
        else if (rect.type() == bg::VT_RECT)
            read = rect.toRect().size();
        if (validSide(read.width()) && validSide(read.height()))
            size = QSize(int(read.width()), int(read.height()));
    }
    return size;
}

} // namespace scenesection
