#include "DroppedFiles.h"

#include <QFileInfo>
#include <QMimeData>

bool carriesFiles(const QMimeData *mime)
{
    return mime && mime->hasUrls();
}

DroppedFiles takeDroppedFiles(const QList<QUrl> &urls)
{
    DroppedFiles dropped;
    if (urls.size() == 1) {
        const QString path = urls.first().toLocalFile();
        const QString suffix = QFileInfo(path).suffix();
        if (suffix == QLatin1String("zua") || suffix == QLatin1String("zua2")) {
            dropped.project = path;
            return dropped;
        }
    }
    for (const QUrl &url : urls)
        if (url.isLocalFile())
            dropped.files << url.toLocalFile();
    return dropped;
}
