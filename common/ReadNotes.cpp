#include "ReadNotes.h"

#include "Translate.h"

#include <QXmlStreamReader>

namespace {
thread_local ReadNotes *t_notes = nullptr;
} // namespace

ReadNotes::Scope::Scope(ReadNotes &notes) : m_previous(t_notes)
{
    t_notes = &notes;
}

ReadNotes::Scope::~Scope()
{
    t_notes = m_previous;
}

ReadNotes *ReadNotes::current()
{
    return t_notes;
}

void ReadNotes::noteSkipped(const QString &element)
{
    if (t_notes && !t_notes->skipped.contains(element))
        t_notes->skipped << element;
}

void ReadNotes::noteChanged(const QString &line)
{
    if (t_notes)
        t_notes->changed << line;
}

QString ReadNotes::summary(int maxLines) const
{
    QStringList lines;
    if (!skipped.isEmpty())
        lines << ZTR("titlebar.ReadSkipped").arg(skipped.join(QStringLiteral(", ")));
    lines += changed.mid(0, maxLines);
    if (changed.size() > maxLines)
        lines << ZTR("titlebar.ReadMoreChanges").arg(changed.size() - maxLines);
    return lines.join('\n');
}

namespace xmlread {

void skipUnknown(QXmlStreamReader &reader)
{
    ReadNotes::noteSkipped(reader.name().toString());
    reader.skipCurrentElement();
}

QString leafText(QXmlStreamReader &reader)
{
    QString text;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            text += reader.text();
            break;
        case QXmlStreamReader::StartElement:
            skipUnknown(reader);
            break;
        case QXmlStreamReader::EndElement:
            return text;
        default:
            break;
        }
    }
    return text;
}

} // namespace xmlread
