#include "volumes/BlockDevices.h"

#include "volumes/ToolRunner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace qm {
namespace {

QString readLine(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(file.readAll());
    if (text.endsWith(u'\n'))
        text.chop(1);
    return text;
}

bool sameFile(const QString &a, const QString &b)
{
    struct stat sa {}, sb {};
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0
        || ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

} // namespace

bool BlockDevices::isLoopDevice(const QString &device)
{
    return device.startsWith(QLatin1String("/dev/loop"))
        && QFileInfo::exists(QStringLiteral("/sys/block/%1/loop").arg(QFileInfo(device).fileName()));
}

QString BlockDevices::loopBackingFile(const QString &device)
{
    if (!device.startsWith(QLatin1String("/dev/loop")))
        return {};
    QString file = readLine(
        QStringLiteral("/sys/block/%1/loop/backing_file").arg(QFileInfo(device).fileName()));
    // The kernel marks an image that was removed while attached.
    if (file.endsWith(QLatin1String(" (deleted)")))
        file.chop(10);
    return file;
}

QStringList BlockDevices::loopDevicesFor(const QString &imagePath)
{
    QStringList devices;
    const QDir sys(QStringLiteral("/sys/block"));
    for (const QString &name : sys.entryList({QStringLiteral("loop*")}, QDir::Dirs | QDir::System)) {
        const QString device = QStringLiteral("/dev/") + name;
        const QString backing = loopBackingFile(device);
        if (!backing.isEmpty() && (backing == imagePath || sameFile(backing, imagePath)))
            devices.append(device);
    }
    return devices;
}

FileSystemId BlockDevices::identify(const QString &deviceOrImage)
{
    FileSystemId id;
    // -p reads the device itself rather than a cache that may be stale.
    const ToolResult r = ToolRunner::run(QStringLiteral("blkid"),
                                         {QStringLiteral("-p"), QStringLiteral("-o"),
                                          QStringLiteral("export"), deviceOrImage},
                                         {}, 20000);
    for (const QByteArray &line : r.standardOutput.split('\n')) {
        const int eq = int(line.indexOf('='));
        if (eq <= 0)
            continue;
        const QByteArray key = line.left(eq);
        const QString value = QString::fromUtf8(line.mid(eq + 1));
        if (key == "UUID")
            id.uuid = value;
        else if (key == "LABEL")
            id.label = value;
        else if (key == "TYPE")
            id.type = value;
    }
    return id;
}

QString BlockDevices::deviceWithUuid(const QString &uuid)
{
    if (uuid.isEmpty())
        return {};
    const QString link = QStringLiteral("/dev/disk/by-uuid/") + uuid;
    if (QFileInfo::exists(link))
        return QFileInfo(link).canonicalFilePath();
    // Every device probed anew, without a cache: one kept by an earlier
    // probe still names the file system a device held then. A search by
    // token: the shorter -U was seen to miss a freshly attached loop device
    // that this finds.
    const ToolResult r = ToolRunner::run(QStringLiteral("blkid"),
                                         {QStringLiteral("-c"), QStringLiteral("/dev/null"),
                                          QStringLiteral("-o"), QStringLiteral("device"),
                                          QStringLiteral("-t"), QStringLiteral("UUID=") + uuid},
                                         {}, 20000);
    if (!r.succeeded())
        return {};
    return QString::fromUtf8(r.standardOutput).section(u'\n', 0, 0).trimmed();
}

} // namespace qm
