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
// Registers every program; returns the names that failed to build.
QStringList registerAll(GsDevice *device);
} // namespace ShaderLibrary
