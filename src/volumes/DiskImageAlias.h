#pragma once
// The alias record of a disk-image volume names the image file behind its
// loop device (the file-system layer's alias record, so it resolves like any
// other alias); the mount point is kept in the volume row beside it.
#include "platform/Status.h"

#include <QByteArray>
#include <QString>

namespace qm {

class DiskImageAlias {
public:
    // The alias of the image mounted at `mountPoint`; empty when no loop
    // device with an image file is mounted there.
    static QByteArray forMountPoint(const QString &mountPoint);
    // The image file of an alias. The file at the recorded path must be the
    // recorded file (same device and inode): a different file put there is
    // not silently mounted in its place.
    static OSStatus resolve(const QByteArray &aliasData, QString *imagePath, QString *why);
};

} // namespace qm
