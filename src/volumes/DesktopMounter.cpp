// Mounting through the desktop's user-level services, for a process without
// root rights: they mount where the desktop puts volumes of this user.
#include "volumes/Mounter.h"

#include "platform/Messages.h"
#include "volumes/RemoteShare.h"
#include "volumes/ToolRunner.h"

#include <QRegularExpression>

#include <unistd.h>

namespace qm {
namespace {

const QString kNoInteraction = QStringLiteral("--no-user-interaction");

} // namespace

MountOutcome DesktopMounter::mountRemote(const RemoteMountRequest &r)
{
    // The password is answered to the tool's prompt on standard input.
    QByteArray input;
    if (!r.password.isEmpty())
        input = r.password.toUtf8() + '\n';
    const QString url = r.url.toString(QUrl::RemovePassword | QUrl::FullyEncoded);
    MountOutcome o = Mounter::fromTool(ToolRunner::run(QStringLiteral("gio"), {QStringLiteral("mount"), url},
                                              input));
    if (o.ok())
        o.mountPoint = RemoteShares::findDesktopMount(::getuid(), r.scheme, r.host, r.path);
    return o;
}

MountOutcome DesktopMounter::mountDevice(const QString &device, const QString &)
{
    const ToolResult r = ToolRunner::run(QStringLiteral("udisksctl"),
                                         {QStringLiteral("mount"), QStringLiteral("-b"), device,
                                          kNoInteraction});
    MountOutcome o = Mounter::fromTool(r);
    o.device = device;
    // "Mounted /dev/sdb1 at /media/user/LABEL"
    static const QRegularExpression at(QStringLiteral(" at (/.*?)\\.?$"));
    const auto m = at.match(QString::fromUtf8(r.standardOutput).trimmed());
    if (o.ok() && m.hasMatch())
        o.mountPoint = m.captured(1);
    return o;
}

MountOutcome DesktopMounter::attachImage(const QString &imagePath)
{
    const ToolResult r = ToolRunner::run(QStringLiteral("udisksctl"),
                                         {QStringLiteral("loop-setup"), QStringLiteral("-f"),
                                          imagePath, kNoInteraction});
    MountOutcome o = Mounter::fromTool(r);
    // "Mapped file IMAGE as /dev/loop0."
    static const QRegularExpression as(QStringLiteral(" as (/dev/\\S+?)\\.?$"));
    const auto m = as.match(QString::fromUtf8(r.standardOutput).trimmed());
    if (o.ok() && !m.hasMatch())
        return MountOutcome::failure(Status::ioErr, r.message());
    if (o.ok())
        o.device = m.captured(1);
    return o;
}

MountOutcome DesktopMounter::detachImage(const QString &device)
{
    return Mounter::fromTool(ToolRunner::run(QStringLiteral("udisksctl"),
                                    {QStringLiteral("loop-delete"), QStringLiteral("-b"), device,
                                     kNoInteraction}),
                    true);
}

MountOutcome DesktopMounter::unmount(const MountEntry &entry, const QString &mountPoint)
{
    if (RemoteShares::isDesktopMountType(entry.fsType))
        return Mounter::fromTool(ToolRunner::run(QStringLiteral("gio"),
                                        {QStringLiteral("mount"), QStringLiteral("-u"), mountPoint}),
                        true);
    if (entry.source.startsWith(QLatin1String("/dev/")))
        return Mounter::fromTool(ToolRunner::run(QStringLiteral("udisksctl"),
                                        {QStringLiteral("unmount"), QStringLiteral("-b"),
                                         entry.source, kNoInteraction}),
                        true);
    // A network mount made by someone else: only its owner's tools undo it.
    return Mounter::fromTool(ToolRunner::run(QStringLiteral("umount"), {mountPoint}), true);
}

} // namespace qm
