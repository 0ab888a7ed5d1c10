#pragma once
// Alias records: the bytes an alias file's data fork holds. A small property
// list with the target's absolute path, the device and inode it had, and its
// volume's mount point. Resolving goes by path; the identity is kept so that a
// caller can tell a target that was replaced.
#include "platform/Status.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace qm {

struct AliasRecord {
    QString targetPath;
    uint64_t device = 0;
    uint64_t inode = 0;
    QString volumeMountPoint;

    // Reads the target's identity; fnfErr when it does not exist.
    static OSStatus forTarget(const QString &target, AliasRecord *out);
    QByteArray serialize() const;
    // False on bytes that are not an alias record or name no absolute path.
    static bool parse(const QByteArray &bytes, AliasRecord *out);
};

} // namespace qm
