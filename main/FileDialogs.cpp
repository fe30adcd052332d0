#include "FileDialogs.h"

#include <QFileDialog>

namespace {
FileDialogs::Hook &hook()
{
    static FileDialogs::Hook h;
    return h;
}
} // namespace

namespace FileDialogs {

void setHook(Hook h)
{
    hook() = std::move(h);
}

QString saveFileName(QWidget *parent, const QString &title, const QString &proposed,
                     const QString &filter)
{
    if (hook())
        return hook()(QStringLiteral("save"), proposed);
    return QFileDialog::getSaveFileName(parent, title, proposed, filter);
}

QString openFileName(QWidget *parent, const QString &title, const QString &folder,
                     const QString &filter)
{
    if (hook())
        return hook()(QStringLiteral("open"), folder);
    return QFileDialog::getOpenFileName(parent, title, folder, filter);
}

QStringList openFileNames(QWidget *parent, const QString &title, const QString &folder,
                          const QString &filter)
{
    if (hook())
        return hook()(QStringLiteral("openMany"), folder).split('\n', Qt::SkipEmptyParts);
    return QFileDialog::getOpenFileNames(parent, title, folder, filter);
}

} // namespace FileDialogs
