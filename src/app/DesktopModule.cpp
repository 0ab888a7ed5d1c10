#include "app/DesktopModule.h"

#include "platform/OwnFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {
namespace {

// The loader's reason, naming the module once and by its own path.
QString loaderError(const QByteArray &opened, const QString &path)
{
    const char *e = ::dlerror();
    QByteArray reason = e ? QByteArray(e) : QByteArray("unknown error");
    if (reason.startsWith(opened + ": "))
        reason = reason.mid(opened.size() + 2);
    return QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(reason));
}

// A set-user-id process checks the file it opened and loads that very file
// through its descriptor, so the file cannot be swapped between the check
// and the load.
void *openChecked(const QString &path, QString *why)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *why = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return nullptr;
    }
    struct stat st {};
    void *handle = nullptr;
    if (::fstat(fd, &st) != 0)
        *why = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    else if (const QString untrusted = DesktopModule::whyUntrusted(st.st_uid, st.st_mode); !untrusted.isEmpty())
        *why = QStringLiteral("%1: %2").arg(path, untrusted);
    else {
        const QByteArray byFd = "/proc/self/fd/" + QByteArray::number(fd);
        handle = ::dlopen(byFd.constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            *why = loaderError(byFd, path);
    }
    ::close(fd);
    return handle;
}

} // namespace

QStringList DesktopModule::candidates(const QString &executableDir)
{
    return {executableDir + u'/' + QLatin1String(kFileName),
            QDir::cleanPath(executableDir + QStringLiteral("/" QM_DESKTOP_MODULE_DIR "/")
                            + QLatin1String(kFileName))};
}

DesktopModule::Entry DesktopModule::load(const QStringList &candidates, QString *why)
{
    QString path;
    for (const QString &c : candidates)
        if (QFileInfo::exists(c)) {
            path = c;
            break;
        }
    if (path.isEmpty()) {
        *why = QStringLiteral("%1 is missing (looked in %2)").arg(QLatin1String(kFileName), candidates.join(QStringLiteral(", ")));
        return nullptr;
    }
    void *handle = nullptr;
    if (OwnFilesAccess::isSetUserId()) {
        handle = openChecked(path, why);
    } else {
        const QByteArray opened = QFile::encodeName(path);
        handle = ::dlopen(opened.constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            *why = loaderError(opened, path);
    }
    if (!handle)
        return nullptr;
    // Never closed: the desktop's code runs until the program ends.
    ::dlerror();
    const auto entry = reinterpret_cast<Entry>(::dlsym(handle, kEntryName));
    if (!entry)
        *why = QStringLiteral("%1: no entry point %2").arg(path, QLatin1String(kEntryName));
    return entry;
}

QString DesktopModule::whyUntrusted(uid_t owner, mode_t mode)
{
    if (!S_ISREG(mode))
        return QStringLiteral("not a regular file");
    if (owner != 0)
        return QStringLiteral("not owned by root, and the program runs with root's rights");
    if (mode & (S_IWGRP | S_IWOTH))
        return QStringLiteral("writable by others than root, and the program runs with root's rights");
    return QString();
}

} // namespace qm
