#include "volumes/VolumeUtilities.h"

#include "platform/Messages.h"
#include "volumes/BlockDevices.h"
#include "volumes/DiskImageAlias.h"
#include "volumes/IcmpProbe.h"
#include "volumes/RemoteShare.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace qm {
namespace {

const QString kLocalScheme = QStringLiteral("file");
const QString kLocalHost = QStringLiteral("localhost");

QString existingPath(const QString &path)
{
    if (path.isEmpty())
        return {};
    return QFileInfo(path).canonicalFilePath(); // "" when nothing is there
}

// A loop device still held open (by a prober that saw the unmount, say) is
// let go by the kernel only when its last holder closes it. Until then the
// image is still attached there, and mounting it again would take a device
// on its way out: a short wait, and then the detach is left to the kernel.
void waitUntilDetached(const QString &device, const QString &image)
{
    constexpr int kWaitMs = 2000, kPollMs = 10;
    for (int waited = 0; waited < kWaitMs; waited += kPollMs) {
        if (BlockDevices::loopBackingFile(device) != image)
            return;
        QThread::msleep(kPollMs);
    }
}

// Every mount of the file system on a block device, by device number, so a
// device named through a link (/dev/disk/by-uuid/...) still matches.
QList<MountEntry> mountsOfDevice(const MountTable &table, const QString &device)
{
    QList<MountEntry> list;
    struct stat st {};
    if (device.isEmpty() || ::stat(QFile::encodeName(device).constData(), &st) != 0
        || !S_ISBLK(st.st_mode))
        return list;
    for (const MountEntry &e : table.entries()) {
        if (makedev(e.major, e.minor) == st.st_rdev)
            list.append(e);
    }
    return list;
}

// A mount point proper, or a share's folder inside the desktop's
// user-space mount.
bool isMountedAt(const MountTable &table, const QString &mountPoint)
{
    if (mountPoint.isEmpty())
        return false;
    if (table.isMountPoint(mountPoint))
        return true;
    const MountEntry holder = table.entryForPath(mountPoint);
    return RemoteShares::isDesktopMountType(holder.fsType) && holder.mountPoint != mountPoint
        && QFileInfo(mountPoint).isDir();
}

QString notMountedMessage()
{
    return GLS("The mounter reported success, but the volume is not mounted.");
}

} // namespace

VolumeUtilities::VolumeUtilities()
    : VolumeUtilities(Mounter::forThisProcess(), &IcmpProbe::PingHost)
{
}

VolumeUtilities::VolumeUtilities(std::shared_ptr<Mounter> mounter, HostProbe probe)
    : m_mounter(std::move(mounter)), m_probe(std::move(probe))
{
}

QString VolumeUtilities::loginName()
{
    if (const passwd *pw = ::getpwuid(::getuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::fromLocal8Bit(qgetenv("USER"));
}

// ---- classification -------------------------------------------------------

bool VolumeUtilities::IsRemoteVolume(const QString &path)
{
    const QString real = existingPath(path);
    if (real.isEmpty())
        return false;
    return RemoteShares::isNetworkFileSystem(MountTable::read().entryForPath(real).fsType);
}

bool VolumeUtilities::IsDiskImageVolume(const QString &mountPoint)
{
    const MountEntry e = MountTable::read().entryAt(mountPoint);
    return e.isValid() && !BlockDevices::loopBackingFile(e.source).isEmpty();
}

bool VolumeUtilities::CanVolumeManageOwnership(const QString &path)
{
    // File systems that have no owners of their own: every item shows the
    // owner given at mount time.
    static const QStringList without = {
        QStringLiteral("vfat"), QStringLiteral("msdos"), QStringLiteral("exfat"),
        QStringLiteral("fuseblk"), QStringLiteral("ntfs"), QStringLiteral("ntfs3"),
        QStringLiteral("iso9660"), QStringLiteral("udf"), QStringLiteral("fuse.gvfsd-fuse")};
    const QString real = existingPath(path);
    if (real.isEmpty())
        return false;
    const MountEntry e = MountTable::read().entryForPath(real);
    return e.isValid() && !without.contains(e.fsType);
}

QString VolumeUtilities::GetVolumeMountPoint(const QString &path)
{
    const QString real = existingPath(path);
    if (real.isEmpty())
        return {};
    const MountEntry e = MountTable::read().entryForPath(real);
    if (RemoteShares::isDesktopMountType(e.fsType))
        return RemoteShares::shareOf(e, real).mountPoint;
    return e.mountPoint;
}

OSStatus VolumeUtilities::GetVolumeRefNum(const QString &path, MountEntry *volume)
{
    if (path.isEmpty() || !volume)
        return Status::paramErr;
    const QString real = existingPath(path);
    if (real.isEmpty())
        return Status::fnfErr;
    *volume = MountTable::read().entryForPath(real);
    return volume->isValid() ? Status::noErr : Status::nsvErr;
}

QString VolumeUtilities::GetDiskIDFromPath(const QString &path)
{
    const QString real = existingPath(path);
    if (real.isEmpty())
        return {};
    const QString source = MountTable::read().entryForPath(real).source;
    return source.startsWith(QLatin1String("/dev/")) ? source : QString();
}

QByteArray VolumeUtilities::GetAliasData(const QString &mountPoint)
{
    return DiskImageAlias::forMountPoint(mountPoint);
}

bool VolumeUtilities::IsVolumeAlreadyMounted(const VolumeDescriptor &volume)
{
    return volume.volumeType != VolumeType::Empty && !volume.mountPoint.isEmpty()
        && isMountedAt(MountTable::read(), volume.mountPoint);
}

// ---- descriptors ----------------------------------------------------------

std::optional<VolumeDescriptor> VolumeUtilities::GetVolumeMountInfoDictionary(const QString &path) const
{
    if (existingPath(path).isEmpty())
        return std::nullopt;
    return IsRemoteVolume(path) ? GetRemoteVolumeMountInfo(path) : GetLocalVolumeMountInfo(path);
}

std::optional<VolumeDescriptor> VolumeUtilities::GetRemoteVolumeMountInfo(const QString &path) const
{
    const QString real = existingPath(path);
    if (real.isEmpty())
        return std::nullopt;
    const MountEntry entry = MountTable::read().entryForPath(real);
    if (!RemoteShares::isNetworkFileSystem(entry.fsType))
        return std::nullopt;
    const RemoteShare share = RemoteShares::shareOf(entry, real);
    if (!share.isValid() || share.mountPoint.isEmpty())
        return std::nullopt;
    VolumeDescriptor d;
    d.scheme = share.scheme;
    d.user = share.user.isEmpty() ? loginName() : share.user;
    d.host = share.host;
    d.path = share.path;
    d.mountPoint = share.mountPoint;
    d.onOff = 1;
    d.unmountVolume = 1;
    d.volumeType = VolumeType::Remote;
    return d;
}

std::optional<VolumeDescriptor> VolumeUtilities::GetLocalVolumeMountInfo(const QString &path) const
{
    const QString real = existingPath(path);
    if (real.isEmpty() || IsRemoteVolume(real))
        return std::nullopt;
    const QString mountPoint = GetVolumeMountPoint(real);
    if (mountPoint.isEmpty() || mountPoint == QLatin1String("/"))
        return std::nullopt; // the start-up volume is never described
    VolumeDescriptor d;
    d.scheme = kLocalScheme;
    d.user = loginName();
    d.host = kLocalHost;
    d.path = mountPoint;
    d.mountPoint = mountPoint;
    if (IsDiskImageVolume(mountPoint)) {
        d.aliasData = GetAliasData(mountPoint);
        if (d.aliasData.isEmpty())
            return std::nullopt;
        d.hasAliasData = true;
        d.volumeType = VolumeType::DiskImage;
        d.unmountVolume = 1;
    } else {
        d.hasDiskID = true;
        d.diskID = GetDiskIDFromPath(real);
        if (!d.diskID.isEmpty())
            d.diskUUID = BlockDevices::identify(d.diskID).uuid;
        d.volumeType = VolumeType::LocalDisk;
        d.unmountVolume = 0;
    }
    d.onOff = 1;
    return d;
}

// ---- mounting -------------------------------------------------------------

QString VolumeUtilities::mountUrlText(const VolumeDescriptor &volume, const QString &user,
                                      const QString &password)
{
    QString text = volume.scheme + QStringLiteral("://");
    if (volume.scheme != QLatin1String("http")) {
        text += QString::fromUtf8(QUrl::toPercentEncoding(user));
        if (!password.isEmpty())
            text += u':' + QString::fromUtf8(QUrl::toPercentEncoding(password));
        text += u'@';
    }
    // The host and path keep their characters; what a URL cannot hold
    // (blanks, non-ASCII letters) is escaped.
    text += QString::fromUtf8(QUrl::toPercentEncoding(volume.host + volume.path, "/:[]@!$&'()*+,;=~"));
    return text;
}

std::optional<QUrl> VolumeUtilities::mountUrl(const VolumeDescriptor &volume, const QString &user,
                                              const QString &password)
{
    const QUrl url(mountUrlText(volume, user, password), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.scheme().isEmpty())
        return std::nullopt;
    return url;
}

MountOutcome VolumeUtilities::verifiedMount(MountOutcome outcome, const QString &expectedMountPoint,
                                            const QString &device) const
{
    if (!outcome.ok() && outcome.status != Status::afpAlreadyMounted)
        return outcome;
    const MountTable table = MountTable::read();
    if (!device.isEmpty()) {
        const QList<MountEntry> mounts = mountsOfDevice(table, device);
        if (mounts.isEmpty())
            return MountOutcome::failure(Status::ioErr, outcome.message.isEmpty()
                                                            ? notMountedMessage()
                                                            : outcome.message);
        if (outcome.mountPoint.isEmpty() || !table.isMountPoint(outcome.mountPoint))
            outcome.mountPoint = mounts.last().mountPoint;
        return outcome;
    }
    const QString where = outcome.mountPoint.isEmpty() ? expectedMountPoint : outcome.mountPoint;
    if (!isMountedAt(table, where))
        return MountOutcome::failure(Status::ioErr, outcome.message.isEmpty() ? notMountedMessage()
                                                                                : outcome.message);
    outcome.mountPoint = where;
    return outcome;
}

MountOutcome VolumeUtilities::MountTheRemoteVolumeWithDict(const VolumeDescriptor &volume,
                                                           const QString &password) const
{
    const int probe = m_probe ? m_probe(volume.host) : 0;
    if (probe != 0)
        return MountOutcome::failure(probe, {});
    const std::optional<QUrl> url = mountUrl(volume, volume.user, password);
    if (!url)
        return MountOutcome::failure(7, {});
    if (isMountedAt(MountTable::read(), volume.mountPoint)) {
        // Something is mounted there; only this very share counts as mounted.
        const MountTable table = MountTable::read();
        MountEntry e = table.entryAt(volume.mountPoint);
        if (!e.isValid())
            e = table.entryForPath(volume.mountPoint);
        const RemoteShare share = RemoteShares::shareOf(e, volume.mountPoint);
        if (share.scheme == volume.scheme
            && share.host.compare(volume.host, Qt::CaseInsensitive) == 0)
            return MountOutcome::failure(Status::afpAlreadyMounted, {});
        return MountOutcome::failure(Status::fBsyErr, GLS("Another volume is mounted at")
                                                          + QStringLiteral(" \"")
                                                          + volume.mountPoint + u'"');
    }
    RemoteMountRequest request;
    request.scheme = volume.scheme;
    request.user = volume.user;
    request.password = password;
    request.host = volume.host;
    request.path = volume.path;
    request.mountPoint = volume.mountPoint;
    request.url = url->adjusted(QUrl::RemovePassword);
    const MountOutcome outcome = m_mounter->mountRemote(request);
    if (!outcome.ok())
        qWarning("Mounting %s failed with the status %d", qPrintable(volume.address()),
                 int(outcome.status));
    return verifiedMount(outcome, volume.mountPoint, {});
}

MountOutcome VolumeUtilities::MountTheLocalVolume(const VolumeDescriptor &volume) const
{
    QString device = volume.diskID;
    if (!volume.diskUUID.isEmpty()) {
        // Device names change between boots; the file system's UUID does not.
        device = BlockDevices::deviceWithUuid(volume.diskUUID);
        if (device.isEmpty())
            return MountOutcome::failure(Status::nsvErr,
                                         GLS("No disk with this file-system UUID is attached:")
                                             + u' ' + volume.diskUUID);
    }
    if (device.isEmpty() || !QFileInfo::exists(device))
        return MountOutcome::failure(Status::nsvErr, GLS("The disk is not attached:") + u' '
                                                         + volume.diskID);
    if (!mountsOfDevice(MountTable::read(), device).isEmpty())
        return MountOutcome::failure(Status::afpAlreadyMounted, {});
    return verifiedMount(m_mounter->mountDevice(device, volume.mountPoint), volume.mountPoint,
                         device);
}

MountOutcome VolumeUtilities::MountVolumeFromAliasData(const QByteArray &aliasData,
                                                       const QString &mountPoint) const
{
    QString image, why;
    if (const OSStatus st = DiskImageAlias::resolve(aliasData, &image, &why))
        return MountOutcome::failure(st, why);
    // An image attached twice and mounted twice would be written from two
    // places at once: reuse a loop device that already holds it.
    const MountTable table = MountTable::read();
    QString device;
    for (const QString &attached : BlockDevices::loopDevicesFor(image)) {
        if (!mountsOfDevice(table, attached).isEmpty())
            return MountOutcome::failure(Status::afpAlreadyMounted, {});
        device = attached;
    }
    bool attachedHere = false;
    if (device.isEmpty()) {
        const MountOutcome attached = m_mounter->attachImage(image);
        if (!attached.ok())
            return attached;
        device = attached.device;
        attachedHere = true;
    }
    MountOutcome mounted = verifiedMount(m_mounter->mountDevice(device, mountPoint), mountPoint,
                                         device);
    if (!mounted.ok() && attachedHere)
        m_mounter->detachImage(device);
    mounted.device = device;
    return mounted;
}

// ---- unmounting -----------------------------------------------------------

UnmountOutcome VolumeUtilities::unmountOnce(const VolumeDescriptor &volume) const
{
    const MountTable table = MountTable::read();
    MountEntry entry = table.entryAt(volume.mountPoint);
    if (!entry.isValid())
        entry = table.entryForPath(volume.mountPoint); // a desktop share's folder
    const MountOutcome o = m_mounter->unmount(entry, volume.mountPoint);
    UnmountOutcome result {o.ok(), o.status, o.message};
    if (result.done && isMountedAt(MountTable::read(), volume.mountPoint))
        result = {false, Status::fBsyErr, GLS("The volume is still mounted.")};
    return result;
}

UnmountOutcome VolumeUtilities::eject(const VolumeDescriptor &volume) const
{
    const QString device = MountTable::read().entryAt(volume.mountPoint).source;
    UnmountOutcome result = unmountOnce(volume);
    if (!result.done || !BlockDevices::isLoopDevice(device))
        return result;
    const QString image = BlockDevices::loopBackingFile(device);
    if (image.isEmpty() || !mountsOfDevice(MountTable::read(), device).isEmpty())
        return result;
    const MountOutcome detached = m_mounter->detachImage(device);
    if (detached.ok())
        waitUntilDetached(device, image);
    if (!detached.ok() && !BlockDevices::loopBackingFile(device).isEmpty())
        return {false, detached.status,
                GLS("The volume is unmounted, but its disk image is still attached:") + u' '
                    + detached.message};
    return result;
}

UnmountOutcome VolumeUtilities::UnmountVolume(const VolumeDescriptor &volume) const
{
    switch (volume.volumeType) {
    case VolumeType::Remote:
    case VolumeType::LocalDisk: {
        const bool lenient = volume.scheme == QLatin1String("http")
            || volume.scheme == QLatin1String("ftp");
        UnmountOutcome result = unmountOnce(volume);
        if (!lenient)
            return result;
        auto accept = [](UnmountOutcome r) {
            if (r.status == Status::fBsyErr)
                r.done = true;
            return r;
        };
        if (result.done || result.status == Status::fBsyErr)
            return accept(result);
        QThread::msleep(ulong(m_retryPauseMs));
        return accept(unmountOnce(volume));
    }
    case VolumeType::DiskImage:
        return eject(volume);
    default:
        return {false, -1, {}};
    }
}

} // namespace qm
