#pragma once
// The editor's sixteen pixel programs (fourteen transitions, the clip program and
// the subtitle program), registered with the graphics device at start-up.
// Lives on: main thread (registration).

#include <QStringList>

class GsDevice;

namespace ShaderLibrary {
// Program names in registration order: transitions first.
const QStringList &names();
const QStringList &transitionNames();
// The pixel-stage source of a program (empty when unknown).
QByteArray pixelSource(const QString &name);
// Registers every program (and the clip program's fast path); returns the names that
// failed to build.
QStringList registerAll(GsDevice *device);
// The clip program for a picture's colour controls: "rgba_plain" when all six are 0
// (only the transparency applies), else "rgba_base".
const char *clipProgram(const float controls[6]);
} // namespace ShaderLibrary
