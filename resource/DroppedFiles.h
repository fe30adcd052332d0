#pragma once
// Files dropped on the material library from a file manager: a single project
// file is to be opened; otherwise the local paths are added.
// Lives on: main thread.

#include <QList>
#include <QStringList>
#include <QUrl>

class QMimeData;

struct DroppedFiles {
    QString project;   // a lone ".zua2" or ".zua" file, to open instead of adding
    QStringList files; // else the local paths, in order
};

// True when the drag carries files (the library accepts it).
bool carriesFiles(const QMimeData *mime);
DroppedFiles takeDroppedFiles(const QList<QUrl> &urls);
