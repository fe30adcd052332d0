#pragma once
// Whole-file reads and writes for test fixtures.

#include <QByteArray>
#include <QFile>
#include <QString>

namespace fixtures {

// The file's bytes; empty when it cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Writes `bytes` as the whole file; returns its path, or an empty string on failure.
inline QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? path : QString();
}

} // namespace fixtures
