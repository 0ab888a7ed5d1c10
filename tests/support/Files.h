#pragma once
// Whole-file reads and writes for the tests.
#include <QByteArray>
#include <QFile>
#include <QString>

namespace qmtest {

// The file's bytes; "<unreadable>" when it cannot be read, so that no
// comparison with an empty or absent file passes by accident.
inline QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// Creates or replaces the file with these bytes; false when that fails.
inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

} // namespace qmtest
