#include "QssManager.h"

#include "Resources.h"

#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QWidget>

QssManager::QssManager(QObject *parent) : QObject(parent) {}

double QssManager::screenScale()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() / 96.0 : 1.0;
}

QString QssManager::expandImports(const QString &css)
{
    static const QRegularExpression import(
        QStringLiteral("^[ \\t]*@import\\s+url\\(\"([^\"]+)\"\\)\\s*;[ \\t]*$"),
        QRegularExpression::MultilineOption);
    QString out = css;
    QRegularExpressionMatch m;
    int from = 0;
    while ((m = import.match(out, from)).hasMatch()) {
        QFile file(m.captured(1));
        const QString text =
            file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        out.replace(m.capturedStart(), m.capturedLength(), text);
        from = m.capturedStart() + text.size(); // what was brought in is not expanded again
    }
    return out;
}

QString QssManager::scaleStyleSheet(const QString &css, double scale)
{
    if (scale <= 1.0)
        return css;
    static const QRegularExpression px(QStringLiteral("(\\d+)px"));
    QString out;
    out.reserve(css.size() + css.size() / 8);
    int last = 0;
    auto it = px.globalMatch(css);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        out += css.midRef(last, m.capturedStart() - last);
        out += QString::number(m.captured(1).toDouble() * scale, 'g', 6) + QStringLiteral("px");
        last = m.capturedEnd();
    }
    out += css.midRef(last);
    return out;
}

bool QssManager::loadStyleSheet(const QString &path)
{
    zuaEnsureResources();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    auto *widget = qobject_cast<QWidget *>(parent());
    if (!widget)
        return false;
    widget->setStyleSheet(
        scaleStyleSheet(expandImports(QString::fromUtf8(file.readAll())), screenScale()));
    for (QComboBox *combo : widget->findChildren<QComboBox *>())
        if (!qobject_cast<QStyledItemDelegate *>(combo->itemDelegate()))
            combo->setItemDelegate(new QStyledItemDelegate(combo));
    return true;
}
