#pragma once
// Loop devices and file-system identities of block devices.
#include <QString>
#include <QStringList>

namespace qm {

struct FileSystemId {
    QString uuid;
    QString label;
    QString type;
};

class BlockDevices {
public:
    // "/dev/loop3" -> the image file it is attached to, or "" for a device
    // that is no attached loop device.
    static QString loopBackingFile(const QString &device);
    static bool isLoopDevice(const QString &device);
    // The loop devices attached to an image file (compared by identity, so a
    // path spelled differently still matches).
    static QStringList loopDevicesFor(const QString &imagePath);
    // UUID, label and type of the file system on a device or image file.
    static FileSystemId identify(const QString &deviceOrImage);
    // The block device that holds the file system with this UUID, or "".
    static QString deviceWithUuid(const QString &uuid);
};

} // namespace qm
