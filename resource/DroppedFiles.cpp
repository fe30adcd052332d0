#include "DroppedFiles.h"

#include "main/ZuApp.h"

#include <QFileInfo>
#include <QMimeData>

bool carriesFiles(const QMimeData *mime)
{
    return mime && mime->hasUrls();
}

QStringList takeDroppedFiles(const QList<QUrl> &urls)
{
    if (urls.size() == 1) {
        const QString path = urls.first().toLocalFile();
        const QString suffix = QFileInfo(path).suffix();
        if (suffix == QLatin1String("zua") || suffix == QLatin1String("zua2")) {
            if (auto *app = ZuApp::instance())
                app->openProject(path);
            return {};
        }
    }
    QStringList files;
    for (const QUrl &url : urls)
        if (url.isLocalFile())
            files << url.toLocalFile();
    return files;
}
