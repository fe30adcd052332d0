#pragma once
// The owners of the project file's sections. The container hands each section to
// its owner with the shared reader or writer; a reader is entered on its start
// element and leaves the stream on the matching end element.

#include <QXmlStreamReader>

class QXmlStreamWriter;

class ProjectSections {
public:
    virtual ~ProjectSections() = default;

    virtual void writeScene(QXmlStreamWriter &writer) = 0;
    virtual void readScene(QXmlStreamReader &reader) = 0;
    virtual void readLegacyCanvas(QXmlStreamReader &reader) = 0;

    virtual void writeMaterials(QXmlStreamWriter &writer, bool archive) = 0;
    virtual void readMaterials(QXmlStreamReader &reader) = 0;
    virtual void readLegacyMaterials(QXmlStreamReader &reader) = 0;

    virtual void writeTimeline(QXmlStreamWriter &writer, bool archive) = 0;
    virtual void readTimeline(QXmlStreamReader &reader) = 0;
    virtual void readLegacyScene(QXmlStreamReader &reader) = 0;
    virtual void readLegacyTree(QXmlStreamReader &reader) = 0;

    // Empties the material library and the timeline before a project is read.
    virtual void clearContent() = 0;

    // Hands the children of a ".zua2" root element to their owners ("Render",
    // "Resource", "Timeline"; others are skipped).
    static void readProjectChildren(QXmlStreamReader &reader, ProjectSections &sections);
};
