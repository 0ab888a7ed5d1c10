#include "volumes/DiskImageAlias.h"

#include "fs/AliasRecord.h"
#include "platform/Messages.h"
#include "volumes/BlockDevices.h"
#include "volumes/MountTable.h"

namespace qm {

QByteArray DiskImageAlias::forMountPoint(const QString &mountPoint)
{
    const MountEntry entry = MountTable::read().entryAt(mountPoint);
    const QString image = BlockDevices::loopBackingFile(entry.source);
    AliasRecord record;
    if (!entry.isValid() || image.isEmpty() || AliasRecord::forTarget(image, &record) != 0)
        return {};
    return record.serialize();
}

OSStatus DiskImageAlias::resolve(const QByteArray &aliasData, QString *imagePath, QString *why)
{
    AliasRecord recorded;
    if (!AliasRecord::parse(aliasData, &recorded)) {
        *why = GLS("The alias record is damaged.");
        return Status::paramErr;
    }
    AliasRecord now;
    if (AliasRecord::forTarget(recorded.targetPath, &now) != 0) {
        *why = GLS("Cannot find the disk image") + QStringLiteral(" \"") + recorded.targetPath
            + u'"';
        return Status::fnfErr;
    }
    if (now.device != recorded.device || now.inode != recorded.inode) {
        *why = GLS("This file is not the disk image that was recorded:") + QStringLiteral(" \"")
            + recorded.targetPath + u'"';
        return Status::fnfErr;
    }
    *imagePath = recorded.targetPath;
    return Status::noErr;
}

} // namespace qm
