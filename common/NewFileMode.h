#pragma once
// The permissions a new file normally gets: read and write for everyone, less the
// process's umask (read once, the first time it is asked for). Files made through a
// temporary file (readable by its owner only) get these before they are renamed into
// place, or the mode of the file they replace.
// Lives on: any thread.

#include <QFileDevice>
#include <QString>

QFileDevice::Permissions newFilePermissions();
// Gives `made` (a finished temporary file) the mode of the existing `replacing`, or a
// new file's when there is none; false when the mode could not be set.
bool setFinishedFileMode(const QString &made, const QString &replacing);
