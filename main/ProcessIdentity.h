#pragma once
// Names a running editor (or renderer) so that another process of the same user can
// tell whether it is still running: boot, process number and the process's start
// time (a reused process number is another process).
// Lives on: any thread.

#include <QString>

namespace ProcessIdentity {

// This process's name.
QString self();
// Whether the process of that name is still running.
bool isRunning(const QString &name);

} // namespace ProcessIdentity
