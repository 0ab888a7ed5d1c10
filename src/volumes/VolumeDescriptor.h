#pragma once
// A volume row: enough to find out later whether a volume is mounted and to
// mount or unmount it again. Stored as a dictionary in the session's volume
// list; fromRecord/toRecord are the one pair that reads and writes it.
#include <QByteArray>
#include <QString>
#include <QVariantMap>

namespace qm {

enum class VolumeType : int {
    Empty = 0,     // an empty row
    Remote = 1,    // a share on a file server
    LocalDisk = 2, // a local block device, mounted again by its device and UUID
    DiskImage = 3, // an image file attached through a loop device
};

struct VolumeDescriptor {
    int onOff = 1;
    VolumeType volumeType = VolumeType::Empty;
    QString scheme;
    QString user;
    QByteArray password; // the encoded form (PasswordCodec); empty = none
    QString host;        // "" marks an empty row
    QString path;
    bool hasPath = true; // rows read from records may lack the key
    QString mountPoint;
    int unmountVolume = 1;
    QByteArray volumeIcon;
    QString diskID;      // local disks: the block device ("/dev/sdb1")
    bool hasDiskID = false;
    QString diskUUID;    // local disks: the file-system UUID of that device
    QByteArray aliasData; // disk images: the alias record (DiskImageAlias)
    bool hasAliasData = false;

    static VolumeDescriptor fromRecord(const QVariantMap &row);
    QVariantMap toRecord() const;
    // The row a new session holds (and what an emptied row becomes).
    static QVariantMap emptyRecord();

    // "scheme://hostpath": shown in the list and in messages.
    QString address() const;
    // "scheme://user@hostpath": equal identities describe the same volume.
    QString identity() const;
    bool isEmpty() const { return host.isEmpty(); }
    // Enough for any mount attempt: type, scheme, user, host and a path.
    bool isUsable() const;
};

} // namespace qm
