#include "fs/LPUtilities.h"
#include "platform/FileName.h"

#include "fs/AliasRecord.h"
#include "fs/Volume.h"
#include "platform/FileFlags.h"
#include "platform/Xattr.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTimeZone>
#include <cerrno>
#include <dirent.h>
#include <sys/xattr.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

namespace {

QByteArray enc(const QString &p)
{
    return nativeName(p);
}

QDateTime wholeSecondsDate(const QDateTime &epoch, uint64_t seconds)
{
    if (seconds == 0)
        return {};
    return epoch.addSecs(qint64(seconds));
}

// Sum of both forks of every entry under dirfd, links not followed.
uint64_t folderSizeAt(int dirfd)
{
    DIR *dir = ::fdopendir(dirfd);
    if (!dir) {
        ::close(dirfd);
        return 0;
    }
    uint64_t total = 0;
    while (dirent *e = ::readdir(dir)) {
        const char *n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        struct stat st;
        if (::fstatat(::dirfd(dir), n, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            const int sub = ::openat(::dirfd(dir), n, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0)
                total += folderSizeAt(sub);
            continue;
        }
        total += uint64_t(st.st_size);
        if (S_ISREG(st.st_mode)) {
            // The resource fork, when there is one.
            const int fd = ::openat(::dirfd(dir), n, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                const ssize_t sz = ::fgetxattr(fd, xattr::kResourceFork, nullptr, 0);
                if (sz > 0)
                    total += uint64_t(sz);
                ::close(fd);
            }
        }
    }
    ::closedir(dir);
    return total;
}

bool lexists(const QString &path)
{
    struct stat st;
    return ::lstat(enc(path).constData(), &st) == 0;
}

} // namespace

LPUtilities::LPUtilities()
    : m_jan1904Date(QDate(1904, 1, 1), QTime(0, 0), Qt::UTC)
{
}

QDateTime LPUtilities::GetDate(const QString &path, int whichDate) const
{
    CatalogInfo info;
    if (ReadCatalogInfo(path, &info) != Status::noErr)
        return {};
    return GetDate(path, &info, whichDate);
}

QDateTime LPUtilities::GetDate(const QString &, const CatalogInfo *info, int whichDate) const
{
    if (!info || !info->exists())
        return {};
    switch (whichDate) {
    case kCreationDate: return wholeSecondsDate(m_jan1904Date, info->creationDateUTC().wholeSeconds());
    case kContentModDate: return wholeSecondsDate(m_jan1904Date, info->contentModDateUTC().wholeSeconds());
    case kBackupDate: return wholeSecondsDate(m_jan1904Date, info->backupDate.wholeSeconds());
    default: return {};
    }
}

UTCDateTime LPUtilities::ConvertNSDateToUTCDateTime(const QDateTime &date) const
{
    return UTCDateTime::fromDateTime(date);
}

bool LPUtilities::SetBackupDate(const QString &path, const UTCDateTime &date) const
{
    const QByteArray p = enc(path);
    // Most items take the date at once; a link refuses it, and carries none.
    if (!date.isNull() && xattr::set(p, xattr::kBackupDate, date.encode()) == Status::noErr)
        return true;
    struct stat st;
    if (::lstat(p.constData(), &st) != 0)
        return false;
    if (S_ISLNK(st.st_mode))
        return true;
    return date.isNull() && xattr::remove(p, xattr::kBackupDate) == Status::noErr;
}

bool LPUtilities::SetBackupDateDitto(const QString &path, const UTCDateTime &date) const
{
    if (SetBackupDate(path, date))
        return true;
    CatalogInfo info;
    if (ReadCatalogInfo(path, &info) != Status::noErr)
        return false;
    const int oldMode = int(info.permissions());
    AttributeChange open;
    open.permissions = 0777;
    open.immutable = 0;
    ChangeFileAttributes(path, open);
    const bool ok = SetBackupDate(path, date);
    if (!ok)
        qWarning("4 SetBackupDate NO: %s", qPrintable(path));
    AttributeChange restore;
    restore.permissions = oldMode;
    restore.immutable = info.locked ? 1 : -1;
    ChangeFileAttributes(path, restore);
    return ok;
}

uint64_t LPUtilities::ItemSize(const QString &path) const
{
    struct stat st;
    if (::lstat(enc(path).constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return FolderSize(path);
    return FileSize(path);
}

uint64_t LPUtilities::FileSize(const QString &path) const
{
    CatalogInfo info;
    if (ReadCatalogInfo(path, &info) != Status::noErr)
        return 0;
    return info.totalLogicalSize();
}

uint64_t LPUtilities::FolderSize(const QString &path) const
{
    const int fd = ::open(enc(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return fd < 0 ? 0 : folderSizeAt(fd);
}

bool LPUtilities::IsAlias(const QString &path) const
{
    CatalogInfo info;
    return ReadCatalogInfo(path, &info) == Status::noErr && info.isAliasFile();
}

bool LPUtilities::ResolveTheAlias(QString &path) const
{
    QString current = path;
    // Chains are followed; a loop or an absurdly long chain fails.
    for (int hop = 0; hop < 32; ++hop) {
        CatalogInfo info;
        if (ReadCatalogInfo(current, &info) != Status::noErr)
            return false;
        if (!info.isAliasFile()) {
            path = current;
            return true;
        }
        QFile f(current);
        if (!f.open(QIODevice::ReadOnly))
            return false;
        AliasRecord record;
        if (!AliasRecord::parse(f.read(1 << 20), &record))
            return false;
        if (!lexists(record.targetPath))
            return false;
        current = record.targetPath;
    }
    return false;
}

OSStatus LPUtilities::CreateAlias(const QString &target, const QString &aliasPath) const
{
    AliasRecord record;
    if (OSStatus st = AliasRecord::forTarget(target, &record))
        return st;
    const QByteArray path = enc(aliasPath);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return statusFromErrno(errno);
    const QByteArray bytes = record.serialize();
    OSStatus st = Status::noErr;
    if (::write(fd, bytes.constData(), size_t(bytes.size())) != ssize_t(bytes.size()))
        st = statusFromErrno(errno ? errno : EIO);
    FinderInfo fi;
    fi.setFlags(FinderInfo::kIsAlias);
    if (st == Status::noErr)
        st = xattr::set(fd, xattr::kFinderInfo, fi.encode());
    if (::close(fd) != 0 && st == Status::noErr)
        st = statusFromErrno(errno);
    if (st != Status::noErr)
        ::unlink(path.constData());
    return st;
}

QString LPUtilities::GetVolumePathname(const QString &path) const
{
    const VolumeInfo v = volumeForPath(path);
    return v.isValid() ? v.mountPoint : QStringLiteral("/");
}

bool LPUtilities::IsInvisible(const QString &path, bool includeDotStart) const
{
    const QString name = QFileInfo(path).fileName();
    if (name.startsWith('.'))
        return includeDotStart;
    CatalogInfo info;
    if (ReadCatalogInfo(path, &info) != Status::noErr)
        return false;
    return info.finderInfo.flags() & FinderInfo::kIsInvisible;
}

bool LPUtilities::IsLocked(const QString &path) const
{
    bool locked = true;
    if (fileflags::isImmutable(enc(path), &locked) != Status::noErr)
        return true; // an item that cannot be read is treated as locked
    return locked;
}

bool LPUtilities::UnlockItem(const QString &path) const
{
    const QByteArray p = enc(path);
    bool locked = false;
    if (fileflags::isImmutable(p, &locked) != Status::noErr)
        return false;
    return !locked || fileflags::setImmutable(p, false) == Status::noErr;
}

OSStatus LPUtilities::GetFSRef(const QString &path, ItemRef *ref) const
{
    if (QFileInfo(path).fileName().isEmpty() && path != QLatin1String("/"))
        return Status::fnfErr;
    struct stat st;
    if (::lstat(enc(path).constData(), &st) != 0)
        return statusFromErrno(errno);
    ref->path = path;
    ref->device = st.st_dev;
    ref->inode = st.st_ino;
    return Status::noErr;
}

bool LPUtilities::FindUniqueNameInFolder(QString &path) const
{
    const QFileInfo fi(path);
    const QString folder = fi.path();
    const QString name = fi.fileName();
    // The extension follows the last dot, unless that dot starts the name.
    const qsizetype dot = name.lastIndexOf('.');
    const bool hasExt = dot > 0 && dot < name.size() - 1;
    const QString base = hasExt ? name.left(dot) : name;
    const QString ext = hasExt ? name.mid(dot + 1) : QString();
    for (int n = 1; n <= 10000; ++n) {
        QString candidate = base + ' ' + QString::number(n);
        if (!ext.isEmpty())
            candidate += '.' + ext;
        // Linux limits a name to 255 bytes, which is the stricter measure.
        if (candidate.size() > 255 || enc(candidate).size() > 255)
            return false;
        const QString full = folder + '/' + candidate;
        if (!lexists(full)) {
            path = full;
            return true;
        }
    }
    return false;
}

QString LPUtilities::NearestExistingAncestor(const QString &path)
{
    QString p = path;
    for (int i = 0; i < 1024; ++i) {
        if (lexists(p))
            break;
        const QString parent = QFileInfo(p).path();
        if (parent == p)
            break;
        p = parent;
    }
    return lexists(p) ? p : QString();
}

void LPUtilities::OpenFolder(const QString &path) const
{
    const QString target = NearestExistingAncestor(path);
    if (!target.isEmpty())
        QProcess::startDetached(QStringLiteral("xdg-open"), {target});
}

bool LPUtilities::CreateFolderWithFoldersInBetween(const QString &path) const
{
    struct stat st;
    if (::stat(enc(path).constData(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const QString parent = QFileInfo(path).path();
    if (parent != path && !CreateFolderWithFoldersInBetween(parent))
        return false;
    if (::mkdir(enc(path).constData(), 0777) == 0 || errno == EEXIST)
        return true;
    qWarning("CreateFolderWithFoldersInBetween: Error from the shell when creating folder: %s",
             qPrintable(path));
    return false;
}

bool LPUtilities::IsString(const QString &string, const QString &prefix)
{
    if (string.isNull() || prefix.isNull() || string.size() < prefix.size())
        return false;
    return string.left(prefix.size()).toLower() == prefix.toLower();
}

bool isFilePackageAtPath(const QString &path)
{
    static const QStringList extensions = {
        "app", "bundle", "framework", "plugin", "kext", "pkg", "mpkg", "rtfd",
        "xcodeproj", "component", "wdgt", "qlgenerator", "mdimporter", "prefPane",
        "saver", "photoslibrary", "band", "sparsebundle", "pages", "numbers", "key"};
    // The name decides first: most items are no package and need no stat.
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.isEmpty() || !extensions.contains(suffix, Qt::CaseInsensitive))
        return false;
    struct stat st;
    return ::stat(enc(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

OSStatus ChangeFileAttributes(const QString &path, const AttributeChange &change)
{
    const QByteArray p = enc(path);
    struct stat st;
    if (::lstat(p.constData(), &st) != 0)
        return statusFromErrno(errno);
    const bool isLink = S_ISLNK(st.st_mode);
    bool locked = false;
    if (!isLink)
        fileflags::isImmutable(p, &locked);
    const bool others = change.permissions >= 0 || change.uid >= 0 || change.gid >= 0;
    const bool clearFirst = locked && (others || change.immutable == 0);
    if (clearFirst) {
        if (OSStatus s = fileflags::setImmutable(p, false))
            return s;
    }
    OSStatus result = Status::noErr;
    if (change.uid >= 0 || change.gid >= 0) {
        const uid_t u = change.uid >= 0 ? uid_t(change.uid) : uid_t(-1);
        const gid_t g = change.gid >= 0 ? gid_t(change.gid) : gid_t(-1);
        if (::lchown(p.constData(), u, g) != 0)
            result = statusFromErrno(errno);
    }
    if (result == Status::noErr && change.permissions >= 0 && !isLink
        && ::chmod(p.constData(), mode_t(change.permissions) & 07777) != 0)
        result = statusFromErrno(errno);
    const bool lockAtEnd = change.immutable == 1 || (change.immutable < 0 && locked);
    const bool lockedNow = locked && !clearFirst;
    if (!isLink && lockAtEnd && !lockedNow) {
        const OSStatus s = fileflags::setImmutable(p, true);
        if (result == Status::noErr)
            result = s;
    }
    return result;
}

void UnlockWholeItem(const QString &path)
{
    AttributeChange open;
    open.permissions = 0777;
    open.immutable = 0;
    ChangeFileAttributes(path, open);
    struct stat st;
    if (::lstat(enc(path).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return;
    DIR *dir = ::opendir(enc(path).constData());
    if (!dir)
        return;
    QStringList entries;
    while (const dirent *e = ::readdir(dir)) {
        const char *n = e->d_name;
        if (!(n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))))
            entries.append(fromNativeName(n));
    }
    ::closedir(dir);
    for (const QString &e : std::as_const(entries))
        UnlockWholeItem(path + '/' + e);
}

uint32_t ComposePermissions(uint32_t sourceMode, const SetCatInfoSettings &s)
{
    if (!s.changePermissions)
        return sourceMode & 07777;
    auto classValue = [&](int choice, int shift) {
        const uint32_t bits = (sourceMode >> shift) & 7;
        return choice == -1 ? bits : ((uint32_t(choice) & 6) | (bits & 1));
    };
    return (classValue(s.cpOwner, 6) << 6) | (classValue(s.cpGroup, 3) << 3) | classValue(s.cpOthers, 0);
}

bool SetCatInfo(const QString &source, const QString &dest, const SetCatInfoSettings &settings)
{
    CatalogInfo src;
    if (ReadCatalogInfo(source, &src) != Status::noErr)
        return false;
    return SetCatInfo(src, source, dest, settings);
}

bool SetCatInfo(const CatalogInfo &src, const QString &source, const QString &dest,
                const SetCatInfoSettings &settings)
{
    struct stat st;
    if (!src.exists() || ::lstat(enc(dest).constData(), &st) != 0)
        return false;
    CatalogInfo info = src;
    info.backupDate = settings.startSyncDate;
    info.mode = (src.mode & S_IFMT) | ComposePermissions(src.mode, settings);
    const unsigned fields = kCatNodeFlags | kCatCreateDate | kCatContentModDate | kCatBackupDate
                            | kCatPermissions | kCatOwnerGroup | kCatFinderInfo;
    if (OSStatus st = WriteCatalogInfo(dest, info, fields)) {
        qWarning("SCI FSSetCatalogInfo NO: %s - Err: %d", qPrintable(dest), int(st));
        return false;
    }
    LPUtilities().SetBackupDate(source, settings.startSyncDate);
    return true;
}

} // namespace qm
