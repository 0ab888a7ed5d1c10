#pragma once
// Whole-file reads and writes, and modes, for the tests.
#include <QByteArray>
#include <QFile>
#include <QString>

#include <sys/stat.h>

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

// The permission bits of the item; 07777 when it cannot be read.
inline mode_t modeOf(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 07777;
}

} // namespace qmtest
