#pragma once
// What the timeline needs to know of a media file before it makes a clip: whether
// it decodes, its length and its picture size. Lives on: any thread (no state).

#include "bridge/Value.h"

#include <QString>

// {"valid": bool, "duration": ms, "pix": frames at 30 per second, "width", "height"
// (0 for sound)}; only "valid" (false) when the file is missing or has no stream.
bg::ValueMap probeMediaFile(const QString &path);
