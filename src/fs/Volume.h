#pragma once
// The volume that holds an item: its mount point and file-system type, read
// from /proc/self/mountinfo.
#include <QString>
#include <cstdint>

namespace qm {

struct VolumeInfo {
    QString mountPoint; // "/" for the root volume
    QString fsType;     // "ext4", "nfs4", "fuse.sshfs" ...
    QString source;     // "/dev/sda1", "host:/export" ...
    uint64_t device = 0;
    bool isValid() const { return !mountPoint.isEmpty(); }
    bool isRemote() const;
};

// The volume of the item, or of its nearest existing ancestor when the item
// does not exist. Invalid when the mount table cannot be read.
VolumeInfo volumeForPath(const QString &path);

// Whether the volume of a device number (as stat gives it) is a network one.
// Asked per item: a mount or unmount is seen within a tenth of a second.
bool isRemoteDevice(uint64_t device);

// Whether a file-system type is a network one.
bool isRemoteFsType(const QString &fsType);

} // namespace qm
