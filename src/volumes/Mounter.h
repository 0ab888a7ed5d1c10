#pragma once
// The tools that attach, mount and unmount volumes. Which set is used is
// decided in one place, Mounter::forThisProcess(): the system tools (mount,
// losetup, umount) when the process has root rights, the desktop's user-level
// services (gio, udisksctl) otherwise. Callers never trust a tool's word
// that a volume is mounted: VolumeUtilities checks the mount table after.
#include "platform/Status.h"
#include "volumes/MountTable.h"
#include "volumes/ToolRunner.h"

#include <QString>
#include <QUrl>
#include <memory>

namespace qm {

struct MountOutcome {
    OSStatus status = Status::noErr;
    QString message;    // the tool's words when it failed
    QString mountPoint; // where the volume is mounted, when known
    QString device;     // the device attached or mounted, when known
    bool ok() const { return status == Status::noErr; }
    static MountOutcome failure(OSStatus status, const QString &message)
    {
        MountOutcome o;
        o.status = status;
        o.message = message;
        return o;
    }
};

struct RemoteMountRequest {
    QString scheme;
    QString user;
    QString password; // plain text; never put in an argument list
    QString host;
    QString path;
    QString mountPoint; // where the volume was mounted when it was described
    QUrl url;           // the volume's URL without its password
};

class Mounter {
public:
    virtual ~Mounter() = default;
    // The mounter for this process's rights.
    static std::unique_ptr<Mounter> forThisProcess();

    virtual QString name() const = 0;
    virtual MountOutcome mountRemote(const RemoteMountRequest &request) = 0;
    // Mounts a block device; `mountPoint` is a wish the desktop may ignore.
    virtual MountOutcome mountDevice(const QString &device, const QString &mountPoint) = 0;
    virtual MountOutcome attachImage(const QString &imagePath) = 0; // -> device
    virtual MountOutcome detachImage(const QString &device) = 0;
    virtual MountOutcome unmount(const MountEntry &entry, const QString &mountPoint) = 0;

    // The status for a failed tool, from its message.
    static OSStatus mountFailureStatus(const QString &message);
    static OSStatus unmountFailureStatus(const QString &message);
    // A tool's run as an outcome: success, or its status and its own words.
    static MountOutcome fromTool(const ToolResult &result, bool unmounting = false);
};

class RootMounter : public Mounter {
public:
    QString name() const override { return QStringLiteral("system"); }
    MountOutcome mountRemote(const RemoteMountRequest &request) override;
    MountOutcome mountDevice(const QString &device, const QString &mountPoint) override;
    MountOutcome attachImage(const QString &imagePath) override;
    MountOutcome detachImage(const QString &device) override;
    MountOutcome unmount(const MountEntry &entry, const QString &mountPoint) override;
};

class DesktopMounter : public Mounter {
public:
    QString name() const override { return QStringLiteral("desktop"); }
    MountOutcome mountRemote(const RemoteMountRequest &request) override;
    MountOutcome mountDevice(const QString &device, const QString &mountPoint) override;
    MountOutcome attachImage(const QString &imagePath) override;
    MountOutcome detachImage(const QString &device) override;
    MountOutcome unmount(const MountEntry &entry, const QString &mountPoint) override;
};

} // namespace qm
