#pragma once
// Names of items as this program holds them.
//
// On Linux a name is a string of bytes (anything but '/' and NUL) in no
// particular encoding. Paths live in QStrings everywhere above this layer,
// so the conversion must be exact both ways: valid UTF-8 decodes as text,
// and every byte that is not part of a valid UTF-8 sequence decodes to a
// lone low surrogate U+DC80..U+DCFF (valid UTF-8 never yields one), which
// encodes back to that same byte. Every path handed to the kernel is made
// with nativeName(); every name read from it with fromNativeName(). Qt's
// own file classes convert lossily and are not used on item paths.
#include <QByteArray>
#include <QString>

namespace qm {

QString fromNativeName(const char *bytes, qsizetype size = -1);
inline QString fromNativeName(const QByteArray &bytes)
{
    return fromNativeName(bytes.constData(), bytes.size());
}
QByteArray nativeName(const QString &name);

// Whether the name holds bytes that are not valid UTF-8.
bool hasInvalidBytes(QStringView name);

// A readable form for logs and windows: invalid bytes and control
// characters (which would also break the log's lines) as "\xHH". Never
// used to reach the item again.
QString displayName(const QString &name);

// The folder that holds the item: "/" for the root, for an item at the top
// and for a bare name. Slashes at the end are ignored.
QString parentPath(const QString &path);

// The item's real path, every link and "." resolved; empty when it cannot
// be resolved.
QString canonicalPath(const QString &path);

} // namespace qm
