#pragma once
// Files dropped on the material library from a file manager: a single project
// file is opened; otherwise the local paths are returned for adding.
// Lives on: main thread.

#include <QList>
#include <QStringList>
#include <QUrl>

class QMimeData;

// True when the drag carries files (the library accepts it).
bool carriesFiles(const QMimeData *mime);
// Opens a lone project file and returns nothing; else the local paths, in order.
QStringList takeDroppedFiles(const QList<QUrl> &urls);
