// The project file's "Resource" section: one "MaterialData" element per attached
// material; reading re-creates the materials (new identities, recomputed state).
#include "MaterialManager.h"
#include "MaterialView.h"

#include "common/LegacyKinds.h"
#include "common/MaterialPaths.h"
#include "common/ReadNotes.h"
#include "common/XmlText.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {

struct Entry {
    int32_t type = 0;
    QString name;
    QString path;
    QFont font;
    QColor color;
};

// Subtitle templates one by one, every file in one call, as the file lists them.
void recreateAll(MaterialManager *manager, const QList<Entry> &entries)
{
    QStringList paths;
    for (const Entry &e : entries) {
        if (e.type == MT_Subtitle)
            manager->AddMaterialSubtitle(e.name, e.font, e.color, true);
        else
            paths << e.path;
    }
    manager->AddMaterialFiles(paths, true);
}

int32_t legacyType(const QString &text)
{
    return int32_t(legacyKind(text)); // the same codes; 0 is MT_Unsupported
}

} // namespace

void MaterialView::writeMaterials(QXmlStreamWriter &w, bool archive) const
{
    for (const MaterialData &m : m_snapshot) {
        if (!m.attached)
            continue;
        w.writeStartElement(QStringLiteral("MaterialData"));
        w.writeTextElement(QStringLiteral("uuid"), m.uuid);
        w.writeTextElement(QStringLiteral("type"), QString::number(m.type));
        w.writeTextElement(QStringLiteral("name"), xmlText(m.name));
        w.writeTextElement(QStringLiteral("draggable"), m.draggable ? "true" : "false");
        w.writeTextElement(QStringLiteral("archiveRecoverd"), m.archiveRecoverd ? "true" : "false");
        w.writeTextElement(QStringLiteral("path"),
                           xmlText(m_paths->storedMaterialPath(m.path, archive)));
        w.writeTextElement(QStringLiteral("preview"), QStringLiteral("preview"));
        w.writeTextElement(QStringLiteral("font"), xmlText(m.font.toString()));
        w.writeTextElement(QStringLiteral("color"), m.color.name());
        w.writeEndElement();
    }
}

void MaterialView::readMaterials(QXmlStreamReader &r)
{
    QList<Entry> entries;
    while (r.readNextStartElement()) {
        if (r.name() != QLatin1String("MaterialData")) {
            xmlread::skipUnknown(r);
            continue;
        }
        Entry e;
        while (r.readNextStartElement()) {
            const QStringRef tag = r.name();
            if (tag == QLatin1String("type"))
                e.type = xmlread::leafText(r).toInt();
            else if (tag == QLatin1String("name"))
                e.name = xmlread::leafText(r);
            else if (tag == QLatin1String("path"))
                e.path = m_paths->resolveMaterialPath(xmlread::leafText(r));
            else if (tag == QLatin1String("font"))
                e.font.fromString(xmlread::leafText(r));
            else if (tag == QLatin1String("color"))
                e.color = QColor(xmlread::leafText(r));
            else if (tag == QLatin1String("uuid") || tag == QLatin1String("draggable") ||
                     tag == QLatin1String("archiveRecoverd") || tag == QLatin1String("preview"))
                r.skipCurrentElement(); // recomputed
            else
                xmlread::skipUnknown(r);
        }
        entries << e;
    }
    recreateAll(m_manager, entries);
}

void MaterialView::readLegacyMaterials(QXmlStreamReader &r)
{
    QList<Entry> entries;
    while (r.readNextStartElement()) {
        if (r.name() != QLatin1String("Object")) {
            r.skipCurrentElement();
            continue;
        }
        Entry e;
        while (r.readNextStartElement()) {
            const QStringRef tag = r.name();
            if (tag == QLatin1String("type")) {
                e.type = legacyType(r.readElementText());
            } else if (tag == QLatin1String("name")) {
                e.name = r.readElementText();
            } else if (tag == QLatin1String("url")) {
                e.path = m_paths->resolveMaterialPath(r.readElementText());
            } else if (tag == QLatin1String("values")) {
                while (r.readNextStartElement()) {
                    if (r.name() == QLatin1String("color"))
                        e.color = QColor(r.readElementText().mid(7));
                    else if (r.name() == QLatin1String("font"))
                        e.font = QFont(r.readElementText().mid(6));
                    else
                        r.skipCurrentElement();
                }
            } else {
                r.skipCurrentElement(); // uid and anything newer
            }
        }
        entries << e;
    }
    recreateAll(m_manager, entries);
}
