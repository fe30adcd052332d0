#pragma once
// Every user-visible text is a dotted key translated by the installed ZuTransLator.
// ZTR translates now; ZKEY only marks a key that is translated later (a box title
// or button handed on as a key). Both are found by the language-file check.

#include <QCoreApplication>
#include <QString>

#define ZTR(key) QCoreApplication::translate("ZuAEdit", key)
#define ZKEY(key) QString::fromUtf8(key)

inline QString zuaTranslate(const QString &key)
{
    return QCoreApplication::translate("ZuAEdit", key.toUtf8().constData());
}
