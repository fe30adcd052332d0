#pragma once
// What a drag into the timeline carries: a tag ("material", "transition" or "gif")
// and its fields, as a QDataStream under the format "data". Read in one place, so
// that a damaged or foreign payload is refused whole instead of half-read.
// Lives on: any thread (a plain value).

#include <QColor>
#include <QFont>
#include <QString>

#include <cstdint>

class QMimeData;

struct DropPayload {
    enum Kind { Invalid, Material, Transition, Gif };
    Kind kind = Invalid;
    QString transition;    // Transition: the program name
    uint32_t clipKind = 0; // Material: the material's kind
    bool valid = false;    // Material (not subtitle): the decoder could open the file
    QString path;          // Material (not subtitle), Gif
    QColor colour;         // subtitle template
    QFont font;            // subtitle template

    // True when the drag is one of ours (the text "ZuAEdit" and a "data" part).
    static bool isOurs(const QMimeData *mime);
    // The payload of a "data" part; Invalid when it is truncated or unknown.
    static DropPayload read(const QByteArray &bytes);
    // Only the tag, for the drag-enter decision.
    static QString tagOf(const QByteArray &bytes);
};
