#pragma once
// Checks made before anything is touched: whether a task's two top folders
// make a usable pair, and whether each planned operation is allowed by the
// file system's permissions. Results are values; the caller reports a
// refusal as a run error.
#include "engine/ExcludeList.h"
#include "engine/ExcludeListBootItems.h"
#include "engine/ItemInfo.h"
#include "fs/AccessRights.h"
#include <QString>
#include <functional>

namespace qm {

// The labels of the options the boot-disk messages name, as the panels show
// them (the localized defaults when no panel is there).
struct OptionTitles {
    QString runAsRoot;
    QString changePermissions;
    QString resolveAliases;
    QString resolveSymLinks;
    static OptionTitles localized();
};

struct ValidationOptions {
    bool runningAsRoot = false;
    // Session options that spoil a bootable copy of the start-up disk.
    bool changePermissions = false;
    bool resolveAliases = false;
    bool resolveSymLinks = false;
    OptionTitles titles = OptionTitles::localized();
    // Whether a path lies on a volume of the automount list that could not
    // be mounted; none = never.
    std::function<bool(const QString &)> isOnUnmountedVolume;
    // Whether the volume holding a path honours ownership; none = judged
    // from its file-system type.
    std::function<bool(const QString &)> canVolumeManageOwnership;
    // What the scan will not enter: a folder nested in the other one is
    // accepted only behind such an item (the session's excludes when its
    // list is on; the boot items of the pair, built here when not given).
    const ExcludeList *excludes = nullptr;
    const BootItems *bootItems = nullptr;
};

struct FolderValidation {
    enum class Verdict {
        Valid,
        Refused,
        // The task may run only if the user chooses to continue after the
        // message (the error policy's question).
        AskToContinue,
    };
    Verdict verdict = Verdict::Refused;
    QString message;      // gErrString
    QString sourceFolder; // gSourceFolder afterwards: resolved, or a readable text
    QString destFolder;   // gDestFolder afterwards
    bool isValid() const { return verdict == Verdict::Valid; }
};

FolderValidation FoldersAreValid(const QString &source, const QString &dest,
                                 const ValidationOptions &options);

// The address quoted in the boot-disk messages.
QString bootDiskHelpAddress();

// --- Privileges of planned operations ----------------------------------------

namespace PrivilegeCode {
enum : int { Allowed = 0, Insufficient = 1, Locked = 2 };
}
namespace PackageCheck {
enum : int { Read = 0, Write = 1, Delete = 2 };
}

struct PrivilegeCheck {
    int code = PrivilegeCode::Allowed;
    QString message; // gErrString for codes 1 and 2
};

// The folders last found readable and last found missing, kept by a scan
// between the items of one folder level, whose parents are the same.
struct FolderMemo {
    QString readable;
    QString missing;
};

// Whether the operation `copyMode` on A (side A) and B (side B) is allowed.
// `unlockOn` is the session's locked-items option.
// What the caller has just read of either side, if anything.
struct KnownSides {
    const ItemInfo *a = nullptr;
    const ItemInfo *b = nullptr;
};
PrivilegeCheck CheckPrivilegesOnFiles(const QString &a, const QString &b, int copyMode,
                                      bool unlockOn, const AccessRights &rights,
                                      FolderMemo *memo = nullptr, const KnownSides &known = {});

// Whether the path and everything inside it pass the check.
bool CheckFilePackagePermissions(const QString &path, int check, const AccessRights &rights);

} // namespace qm
