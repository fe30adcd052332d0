#include "FileDialogs.h"

#include <QColorDialog>
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
    QFileDialog dialog(parent, title, proposed, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // A name typed without the filter's suffix ("*.zua2") gets it.
    const int dot = filter.lastIndexOf(QLatin1String("*."));
    if (dot >= 0)
        dialog.setDefaultSuffix(filter.mid(dot + 2).section(QLatin1Char(')'), 0, 0).trimmed());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
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

QString existingDirectory(QWidget *parent, const QString &title, const QString &folder)
{
    if (hook())
        return hook()(QStringLiteral("dir"), folder);
    return QFileDialog::getExistingDirectory(parent, title, folder);
}

QColor colour(QWidget *parent, const QString &title, const QColor &initial)
{
    if (hook()) {
        const QString answer = hook()(QStringLiteral("colour"), initial.name());
        return answer.isEmpty() ? QColor() : QColor(answer);
    }
    return QColorDialog::getColor(initial, parent, title);
}

} // namespace FileDialogs
