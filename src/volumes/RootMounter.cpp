// Mounting with the system tools, for a process with root rights. Volumes
// are mounted where they were when they were described.
#include "volumes/Mounter.h"

#include "platform/Messages.h"
#include "volumes/ToolRunner.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

namespace qm {
namespace {

MountOutcome prepareMountPoint(const QString &mountPoint)
{
    if (mountPoint.isEmpty() || !mountPoint.startsWith(u'/') || mountPoint == QLatin1String("/"))
        return MountOutcome::failure(Status::paramErr, GLS("The volume has no mount point."));
    if (MountTable::read().isMountPoint(mountPoint))
        return MountOutcome::failure(Status::fBsyErr, GLS("Another volume is mounted at")
                                                          + QStringLiteral(" \"") + mountPoint
                                                          + u'"');
    if (!QDir().mkpath(mountPoint))
        return MountOutcome::failure(Status::afpAccessDenied,
                                     GLS("Cannot create the folder") + QStringLiteral(" \"")
                                         + mountPoint + u'"');
    return {};
}

// A credentials file readable by its owner only, removed when this object
// goes; the password never appears in an argument list.
class CredentialsFile {
public:
    bool write(const QString &user, const QString &password)
    {
        if (user.contains(u'\n') || password.contains(u'\n'))
            return false;
        m_file.setFileTemplate(QDir::tempPath() + QStringLiteral("/qm-cred-XXXXXX"));
        if (!m_file.open())
            return false;
        m_file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        const QByteArray text = "username=" + user.toUtf8() + "\npassword=" + password.toUtf8()
            + "\n";
        return m_file.write(text) == text.size() && m_file.flush();
    }
    QString path() const { return m_file.fileName(); }

private:
    QTemporaryFile m_file; // removed by its destructor, on every path
};

MountOutcome mountSmb(const RemoteMountRequest &r)
{
    CredentialsFile credentials;
    if (!credentials.write(r.user, r.password))
        return MountOutcome::failure(Status::paramErr,
                                     GLS("Cannot pass the user name and password to the mounter."));
    const QString source = QStringLiteral("//") + r.host + r.path;
    return Mounter::fromTool(ToolRunner::run(QStringLiteral("mount"),
                                    {QStringLiteral("-t"), QStringLiteral("cifs"), source,
                                     r.mountPoint, QStringLiteral("-o"),
                                     QStringLiteral("credentials=") + credentials.path()}));
}

MountOutcome mountNfs(const RemoteMountRequest &r)
{
    const QString source = r.host + u':' + (r.path.isEmpty() ? QStringLiteral("/") : r.path);
    return Mounter::fromTool(ToolRunner::run(QStringLiteral("mount"),
                                    {QStringLiteral("-t"), QStringLiteral("nfs"), source,
                                     r.mountPoint}));
}

MountOutcome mountSsh(const RemoteMountRequest &r)
{
    QString path = r.path;
    if (path.startsWith(QLatin1String("/~/")))
        path = path.mid(3); // relative to the login folder
    QString source = r.host + u':' + path;
    if (!r.user.isEmpty())
        source.prepend(r.user + u'@');
    QStringList args = {source, r.mountPoint};
    QByteArray input;
    if (!r.password.isEmpty()) {
        args << QStringLiteral("-o") << QStringLiteral("password_stdin");
        input = r.password.toUtf8() + '\n';
    } else {
        args << QStringLiteral("-o") << QStringLiteral("BatchMode=yes");
    }
    return Mounter::fromTool(ToolRunner::run(QStringLiteral("sshfs"), args, input));
}

} // namespace

MountOutcome RootMounter::mountRemote(const RemoteMountRequest &r)
{
    MountOutcome prepared = prepareMountPoint(r.mountPoint);
    if (!prepared.ok())
        return prepared;
    MountOutcome o;
    if (r.scheme == QLatin1String("smb") || r.scheme == QLatin1String("cifs"))
        o = mountSmb(r);
    else if (r.scheme == QLatin1String("nfs"))
        o = mountNfs(r);
    else if (r.scheme == QLatin1String("sftp") || r.scheme == QLatin1String("ssh"))
        o = mountSsh(r);
    else
        return MountOutcome::failure(Status::paramErr,
                                     GLS("No mounter for this kind of server:") + u' ' + r.scheme);
    o.mountPoint = r.mountPoint;
    return o;
}

MountOutcome RootMounter::mountDevice(const QString &device, const QString &mountPoint)
{
    MountOutcome prepared = prepareMountPoint(mountPoint);
    if (!prepared.ok())
        return prepared;
    MountOutcome o = Mounter::fromTool(ToolRunner::run(QStringLiteral("mount"), {device, mountPoint}));
    o.mountPoint = mountPoint;
    o.device = device;
    return o;
}

MountOutcome RootMounter::attachImage(const QString &imagePath)
{
    const ToolResult r = ToolRunner::run(QStringLiteral("losetup"),
                                         {QStringLiteral("--find"), QStringLiteral("--show"),
                                          imagePath});
    MountOutcome o = Mounter::fromTool(r);
    if (o.ok())
        o.device = QString::fromUtf8(r.standardOutput).trimmed();
    if (o.ok() && !o.device.startsWith(QLatin1String("/dev/")))
        return MountOutcome::failure(Status::ioErr, r.message());
    return o;
}

MountOutcome RootMounter::detachImage(const QString &device)
{
    return Mounter::fromTool(ToolRunner::run(QStringLiteral("losetup"), {QStringLiteral("-d"), device}),
                    true);
}

MountOutcome RootMounter::unmount(const MountEntry &, const QString &mountPoint)
{
    return Mounter::fromTool(ToolRunner::run(QStringLiteral("umount"), {mountPoint}), true);
}

} // namespace qm
