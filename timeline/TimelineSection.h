#pragma once
// The Timeline section of the project file: tracks with their clips, then the
// transitions, written from and read into the timeline model.
// Lives on: main thread.

class QXmlStreamReader;
class QXmlStreamWriter;
class TimelineDocument;

namespace TimelineSection {

// Material paths as the model's material paths store them (relative in an archive).
void write(const TimelineDocument &model, QXmlStreamWriter &writer, bool archive);
// Entered on the section's element; leaves the reader on its end element. What the
// file holds is added to the model without undo.
void read(TimelineDocument &model, QXmlStreamReader &reader);

} // namespace TimelineSection
