#pragma once
// The project file's scene section: the picture size of the project ("Render" →
// "scene" with "width" and "height"), and the canvas of a legacy project. Reading
// says what size the file asks for, sides within 1 to 8192; whoever owns the
// project's size applies it.
// Lives on: main thread.

#include <QSize>

#include <optional>

class QXmlStreamReader;
class QXmlStreamWriter;

namespace scenesection {

void write(QXmlStreamWriter &writer, const QSize &size);
// Entered on "Render"; leaves the reader on its end element. The last "scene" read
// wins; a side missing or out of range is the default frame's.
std::optional<QSize> read(QXmlStreamReader &reader);
// Entered on a legacy "ViewInfo": its "canvas_rect" gives the size (none when it
// makes no sense).
std::optional<QSize> readLegacyCanvas(QXmlStreamReader &reader);

} // namespace scenesection
