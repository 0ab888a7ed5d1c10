#pragma once
// Every stored file (preferences, documents, indexes, logs) is written
// through this one routine: the bytes go to a private temporary beside the
// target, every write is checked, the file is synced before it replaces the
// target and the folder after, so that a full disk, a refused write or a
// crash leaves either the old file or the new one, never a torn or empty one.
// Stored files are readable by their owner only: preferences may hold a
// mail password, logs and indexes list every file name.
#include "platform/ByteSink.h"

#include <QByteArray>
#include <QString>
#include <sys/types.h>

namespace qm {

namespace atomicfile {

inline constexpr mode_t kFileMode = 0600;
inline constexpr mode_t kFolderMode = 0700;

// Writes `bytes` to `path` (a final link is followed: the file it names is
// replaced). On failure the previous file is untouched, the temporary is
// gone, and `error` (when given) names the path and the cause.
bool write(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// As write, for content made as it is written (a long log), so that it is
// never held whole a second time. A producer that answers false fails the
// write as a refused piece does.
bool write(const QString &path, const ByteProducer &produce, QString *error = nullptr);

// Creates `path` and any missing folders above it, each private to the
// owner. Existing folders are left as they are. False when it cannot be
// made or something other than a folder is in the way.
bool makePrivateFolder(const QString &path);

// As makePrivateFolder, for a folder that belongs to this program alone
// (preferences, support, indexes): one left wider by an earlier version is
// narrowed to the owner.
bool makeOwnFolder(const QString &path);

// A write past the file-size limit must fail with EFBIG rather than end the
// process: called once at start.
void ignoreFileSizeSignal();

} // namespace atomicfile

} // namespace qm
