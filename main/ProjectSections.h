#pragma once
// The owners of the project file's sections. The container hands each section to
// its owner with the shared reader or writer; a reader is entered on its start
// element and leaves the stream on the matching end element.

#include "common/ReadNotes.h"

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

    // What reading a ".zua2" file left out or changed.
    struct ReadOutcome {
        ReadNotes notes;
        QString damage;  // why the document ends early (malformed, cut short); empty when whole
        QString version; // the writer's version when newer than this editor's
        bool complete() const { return notes.isEmpty() && damage.isEmpty() && version.isEmpty(); }
        // The user's explanation, without the opening sentence.
        QString details() const;
    };

    // Reads a ".zua2" document whose root element the reader stands on: hands its
    // children to their owners ("Render", "Resource", "Timeline"; others skipped) and
    // says what could not be read as written.
    static ReadOutcome readProject(QXmlStreamReader &reader, ProjectSections &sections);
    // The version this editor writes.
    static QString fileVersion() { return QStringLiteral("1.0.0"); }
};
