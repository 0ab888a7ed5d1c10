#include "engine/Validation.h"
#include "engine/CopyItem.h"
#include "platform/FileName.h"
#include "fs/CatalogInfo.h"
#include "fs/LPUtilities.h"
#include "fs/Volume.h"
#include "platform/Messages.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <dirent.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>

namespace qm {

namespace {

const QString kQuote = QStringLiteral("\"");
const QString kCR = QStringLiteral("\r");

QString quoted(const QString &path) { return kQuote + displayName(path) + kQuote; }

bool exists(const QString &path)
{
    struct stat st;
    return ::lstat(nativeName(path).constData(), &st) == 0;
}

bool isFolder(const QString &path)
{
    CatalogInfo info;
    return ReadCatalogInfo(path, &info) == Status::noErr && info.isFolder() &&
           !isFilePackageAtPath(path);
}

bool isSymLink(const QString &path)
{
    CatalogInfo info;
    return ReadCatalogInfo(path, &info) == Status::noErr && info.isSymLink();
}

bool isPackage(const QString &path) { return isFilePackageAtPath(path); }

bool listFolder(const QString &path, QStringList *names)
{
    DIR *dir = ::opendir(nativeName(path).constData());
    if (!dir)
        return false;
    while (const dirent *entry = ::readdir(dir)) {
        const char *n = entry->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        names->append(fromNativeName(n));
    }
    ::closedir(dir);
    return true;
}

QString helpTail()
{
    return GLS("\r\rPlease take a look at our web page:\r") + bootDiskHelpAddress() +
           GLS("\rIt explains how to back-up the boot disk properly");
}

bool defaultCanManageOwnership(const QString &path)
{
    // File systems that keep no owner per file, or whose server decides.
    static const QStringList withoutOwnership{"vfat", "msdos", "exfat", "ntfs", "ntfs3",
                                              "fuseblk", "iso9660", "udf", "cifs", "smb3"};
    const VolumeInfo volume = volumeForPath(path);
    return !volume.isValid() || !withoutOwnership.contains(volume.fsType);
}

// One side of the pair: its path once an alias or a link is resolved.
struct ResolvedSide {
    bool ok = false;
    QString path;
    QString message;
};

ResolvedSide resolve(const QString &given, const char *aliasText, const char *linkText)
{
    ResolvedSide side{true, given, QString()};
    if (!isSymLink(side.path) && LPUtilities().IsAlias(side.path)) {
        if (!LPUtilities().ResolveTheAlias(side.path))
            return {false, given, GLS(aliasText) + " " + quoted(given)};
    }
    if (isSymLink(side.path)) {
        const QString target = canonicalPath(side.path);
        if (target.isEmpty() || target == side.path)
            return {false, given, GLS(linkText) + " " + quoted(given)};
        side.path = target;
    }
    return side;
}

QString missingMessage(const QString &path, const char *notFoundText,
                       const ValidationOptions &options)
{
    QString message = GLS(notFoundText) + "\r\"" + path + kQuote;
    if (options.isOnUnmountedVolume && options.isOnUnmountedVolume(path))
        message += kCR + GLS("because I cannot mount the volume it resides on");
    return message;
}

// The real location of an item, every link and "." resolved; the path
// itself when it cannot be resolved.
QString canonical(const QString &path)
{
    const QString c = canonicalPath(path);
    return c.isEmpty() ? QDir::cleanPath(path) : c;
}

bool sameItem(const QString &a, const QString &b)
{
    struct stat sa, sb;
    return ::stat(nativeName(a).constData(), &sa) == 0 &&
           ::stat(nativeName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// The components of `inner` below `outer`, or nullopt when it is not inside.
std::optional<QStringList> componentsBelow(const QString &outer, const QString &inner)
{
    const QString prefix = outer == QLatin1String("/") ? outer : outer + '/';
    if (!inner.startsWith(prefix) || inner.size() <= prefix.size())
        return std::nullopt;
    return inner.mid(prefix.size()).split('/', Qt::SkipEmptyParts);
}

// Whether the walk of `outer` (as the scanner names it) stops before it
// reaches the folder `below` leads to.
bool walkStopsBefore(const QString &outer, const QStringList &below, const BootItems &boot,
                     const ExcludeList *excludes)
{
    QString path = outer == QLatin1String("/") ? QString() : outer;
    for (int i = 0; i < below.size(); ++i) {
        path += '/' + below[i];
        if (i == 0 && (boot.isNeverCopied(path) || boot.isCopiedEmpty(path)))
            return true;
        if (excludes && excludes->IsToBeExcluded(path))
            return true;
    }
    return false;
}

// A folder inside the other one would be copied into itself without end
// (or, from the other side, look like an item to delete).
QString nestingMessage(const FolderValidation &v, const ValidationOptions &options)
{
    const QString source = canonical(v.sourceFolder);
    const QString dest = canonical(v.destFolder);
    BootItems ownBoot;
    if (!options.bootItems)
        ownBoot.MakeItemsToDontCopyList(v.sourceFolder, v.destFolder,
                                        BootItemsContext::forProcess({}));
    const BootItems &boot = options.bootItems ? *options.bootItems : ownBoot;
    if (const auto below = componentsBelow(source, dest)) {
        if (!walkStopsBefore(v.sourceFolder, *below, boot, options.excludes))
            return GLS("Cannot set a destination folder inside the source folder");
    }
    if (const auto below = componentsBelow(dest, source)) {
        if (!walkStopsBefore(v.destFolder, *below, boot, options.excludes))
            return GLS("Cannot set a source folder inside the destination folder");
    }
    return QString();
}

FolderValidation refuse(FolderValidation v, const QString &message)
{
    v.verdict = FolderValidation::Verdict::Refused;
    v.message = message;
    return v;
}

QString discouraged(const QString &title)
{
    return GLS("We discourage to sync/backup the boot disk using the check-box") + " " +
           quoted(title) + " " + GLS("on. Unmark that check-box") + " " +
           GLS("in the QM Settings panel.") + helpTail();
}

FolderValidation checkStartupDisk(FolderValidation v, const ValidationOptions &options)
{
    const OptionTitles &t = options.titles;
    if (!options.runningAsRoot)
        return refuse(v, GLS("Cannot process the boot disk without the root's privileges. Please "
                             "log in as root or mark the check-box") +
                             " " + quoted(t.runAsRoot) + " " + GLS("in the QM Preferences panel.") +
                             helpTail());
    if (options.changePermissions)
        return refuse(v, discouraged(t.changePermissions));
    if (options.resolveAliases)
        return refuse(v, discouraged(t.resolveAliases));
    if (options.resolveSymLinks)
        return refuse(v, discouraged(t.resolveSymLinks));

    const bool sourceIsRoot = v.sourceFolder == QLatin1String("/");
    const QString other = sourceIsRoot ? v.destFolder : v.sourceFolder;
    const bool manages = options.canVolumeManageOwnership
                             ? options.canVolumeManageOwnership(other)
                             : defaultCanManageOwnership(other);
    if (manages) {
        v.verdict = FolderValidation::Verdict::Valid;
        return v;
    }
    v.verdict = FolderValidation::Verdict::AskToContinue;
    v.message = GLS("The ") + GLS(sourceIsRoot ? "destination" : "source") +
                GLS(" volume settings don't allow to manage ownership and permissions.") +
                GLS(" If you continue you will not get a bootable backup disk.") +
                GLS(" In order to perform the backup of your boot disk properly, please:") +
                GLS("\r• Select the volume icon in the Finder.") +
                GLS("\r• Call the menu item \"Get Info\".") +
                GLS("\r• Go to the \"Ownership & Permissions\" subpanel.") +
                GLS("\r• Unmark the check-box \"Ignore Ownership on this volume\".") + helpTail();
    return v;
}

} // namespace

OptionTitles OptionTitles::localized()
{
    return {GLS("Run as root"), GLS("Change permissions"), GLS("Resolve aliases"),
            GLS("Resolve symbolic links")};
}

QString bootDiskHelpAddress()
{
    return QStringLiteral("https://www.brantwick.example/quillmere/bootdisk.html");
}

FolderValidation FoldersAreValid(const QString &source, const QString &dest,
                                 const ValidationOptions &options)
{
    FolderValidation v;
    v.sourceFolder = source;
    v.destFolder = dest;

    if (source.isEmpty() || !exists(source)) {
        if (dest.isEmpty())
            v.destFolder = GLS("Destination Folder not defined");
        if (source.isEmpty()) {
            v.sourceFolder = GLS("Source Folder not defined");
            return refuse(v, v.sourceFolder);
        }
        return refuse(v, missingMessage(source, "Cannot find the source folder:", options));
    }
    const ResolvedSide a = resolve(source, "Can't resolve the main source alias",
                                   "Can't resolve the main source SYM link");
    if (!a.ok)
        return refuse(v, a.message);
    v.sourceFolder = a.path;

    if (dest.isEmpty() || !exists(dest)) {
        if (dest.isEmpty()) {
            v.destFolder = GLS("Destination Folder not defined");
            return refuse(v, v.destFolder);
        }
        return refuse(v, missingMessage(dest, "Cannot find the destination folder:", options));
    }
    const ResolvedSide b = resolve(dest, "Can't resolve the main destination alias",
                                   "Can't resolve the main destination SYM link");
    if (!b.ok)
        return refuse(v, b.message);
    v.destFolder = b.path;

    const bool sourceIsFolder = isFolder(v.sourceFolder);
    const bool destIsFolder = isFolder(v.destFolder);
    if (sourceIsFolder && !destIsFolder)
        return refuse(v, GLS("Can't set a source folder and a destination file"));
    if (!sourceIsFolder && destIsFolder)
        return refuse(v, GLS("Can't set a source file and a destination folder"));
    // The same item under two names (a link above it, a bind mount) is as
    // equal as the same path.
    if (v.sourceFolder == v.destFolder || canonical(v.sourceFolder) == canonical(v.destFolder) ||
        sameItem(v.sourceFolder, v.destFolder))
        return refuse(v, GLS("Cannot set equal source and destination"));
    if (!sourceIsFolder && itemNameOf(v.sourceFolder) != itemNameOf(v.destFolder))
        return refuse(v, GLS("Can't set 2 files with different names"));
    if (sourceIsFolder) {
        const QString nested = nestingMessage(v, options);
        if (!nested.isEmpty())
            return refuse(v, nested);
    }
    if (v.sourceFolder != QLatin1String("/") && v.destFolder != QLatin1String("/")) {
        v.verdict = FolderValidation::Verdict::Valid;
        return v;
    }
    return checkStartupDisk(v, options);
}

// --- Privileges ------------------------------------------------------------------

bool CheckFilePackagePermissions(const QString &path, int check, const AccessRights &rights)
{
    if (!exists(path))
        return false;
    bool ok = false;
    switch (check) {
    case PackageCheck::Read: ok = rights.isReallyReadableFileAtPath(path); break;
    case PackageCheck::Write: ok = rights.isReallyWritableFileAtPath(path); break;
    case PackageCheck::Delete: ok = rights.isReallyDeletableFileAtPath(path); break;
    default: return false;
    }
    if (!ok || (!isFolder(path) && !isPackage(path)))
        return ok;
    QStringList entries;
    if (!listFolder(path, &entries))
        return check == PackageCheck::Write;
    for (const QString &name : entries) {
        if (!CheckFilePackagePermissions(path + '/' + name, check, rights))
            return false;
    }
    return true;
}

namespace {

QString insufficient() { return GLS("Insufficient privileges"); }

bool lockedAndKept(const QString &path, bool unlockOn)
{
    return !unlockOn && exists(path) && LPUtilities().IsLocked(path);
}

bool deletable(const QString &path, const AccessRights &rights)
{
    return isPackage(path) ? CheckFilePackagePermissions(path, PackageCheck::Delete, rights)
                           : rights.isReallyDeletableFileAtPath(path);
}

// Whether `from` can be read, from the caller's own read of it (a file or a
// folder) when there is one.
bool fromReadable(const QString &from, const ItemInfo *known, const AccessRights &rights)
{
    if (!known || (known->kind != ItemKind::File && known->kind != ItemKind::Folder))
        return rights.isReallyReadableFileAtPath(from);
    const dev_t device = makedev(unsigned(known->device >> 32), unsigned(known->device & 0xffffffffu));
    return rights.isReallyReadableFile(mode_t(known->mode), known->uid, known->gid, device);
}

// One item copied from `from` onto `to`, which it replaces when `replaces`.
PrivilegeCheck checkCopy(const QString &from, const QString &to, bool replaces, bool unlockOn,
                         bool packagePhrase, const AccessRights &rights, FolderMemo *memo,
                         const ItemInfo *fromInfo)
{
    const bool package = isPackage(from);
    const QString fromParent = parentPath(from);
    const bool parentReadable = (memo && memo->readable == fromParent)
                                || rights.isReallyReadableFileAtPath(fromParent);
    if (parentReadable && memo)
        memo->readable = fromParent;
    if (!parentReadable ||
        !fromReadable(from, fromInfo, rights) ||
        (package && !CheckFilePackagePermissions(from, PackageCheck::Read, rights))) {
        QString m = GLS("Can't read the item");
        if (packagePhrase) {
            m += " " + quoted(from);
            if (package)
                m += " " + GLS("or some of the items inside the filePackage.");
            m += kCR + insufficient() + ".";
        } else {
            m += "\r\"" + displayName(from) + "\".\r" + insufficient() + ".";
        }
        return {PrivilegeCode::Insufficient, m};
    }
    const QString parent = parentPath(to);
    if ((memo && memo->missing == parent) || !exists(parent)) {
        if (memo)
            memo->missing = parent;
        return {};
    }
    if (!rights.isReallyWritableFileAtPath(parent))
        return {PrivilegeCode::Insufficient,
                GLS("Can't write the item") + "\r\"" + displayName(from) + "\" " + GLS("into the folder") +
                    "\r\"" + displayName(parent) + "\".\r" + insufficient() + " " + GLS("on that folder") + "."};
    if (!replaces)
        return {};
    if (lockedAndKept(to, unlockOn))
        return {PrivilegeCode::Locked,
                GLS("Can't replace the item") + ":\r\"" + displayName(to) + "\".\r" + GLS("Item Locked") + "."};
    if (!deletable(to, rights)) {
        QString m = GLS("Can't replace the item") + ":\r\"" + displayName(to) + "\".\r" + insufficient();
        if (isPackage(to))
            m += " " + GLS("on some of the items of the filePackage");
        return {PrivilegeCode::Insufficient, m + "."};
    }
    return {};
}

PrivilegeCheck checkDelete(const QString &item, bool unlockOn, const AccessRights &rights)
{
    if (lockedAndKept(item, unlockOn))
        return {PrivilegeCode::Locked,
                GLS("Can't delete the item") + "\r\"" + displayName(item) + "\".\r" + GLS("Item Locked") + "."};
    if (!deletable(item, rights)) {
        QString m = GLS("Can't delete the item") + "\r\"" + displayName(item) + "\".\r" + insufficient();
        if (isPackage(item))
            m += " " + GLS("on some of the items of the filePackage");
        return {PrivilegeCode::Insufficient, m + "."};
    }
    return {};
}

} // namespace

PrivilegeCheck CheckPrivilegesOnFiles(const QString &a, const QString &b, int copyMode,
                                      bool unlockOn, const AccessRights &rights, FolderMemo *memo,
                                      const KnownSides &known)
{
    switch (copyMode) {
    case 1:
        for (const auto &[side, info] : {std::pair{&a, known.a}, std::pair{&b, known.b}}) {
            if (!fromReadable(*side, info, rights))
                return {PrivilegeCode::Insufficient, GLS("Can't scan the folder") + " " +
                                                         quoted(*side) + ".\r" + insufficient() + "."};
        }
        return {};
    case 2: return checkCopy(a, b, false, unlockOn, true, rights, memo, known.a);
    case 4: return checkCopy(a, b, true, unlockOn, true, rights, memo, known.a);
    case 3: return checkCopy(b, a, false, unlockOn, false, rights, memo, known.b);
    case 5: return checkCopy(b, a, true, unlockOn, false, rights, memo, known.b);
    case 6: return checkDelete(a, unlockOn, rights);
    case 7: return checkDelete(b, unlockOn, rights);
    default: return {};
    }
}

} // namespace qm
