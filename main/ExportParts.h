#pragma once
// The hidden part files exports are written into (".name.XXXXXX.part.ext" beside the
// target) and the process writing each. A killed editor or renderer leaves its part
// behind; the next start removes the parts whose writer is gone, and only those.
// Lives on: main thread.

#include <QString>

namespace ExportParts {

// `part` is being written by this process.
void record(const QString &part);
// This process writes no part any more.
void clear();
// Removes the parts left by processes that are gone; returns how many were removed.
int removeLeftovers();
// Whether `path` is named as an export's part file.
bool isPartName(const QString &path);

} // namespace ExportParts
