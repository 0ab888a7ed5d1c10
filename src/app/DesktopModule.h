#pragma once
// The desktop program is a module of its own that the executable loads only
// when it opens the desktop: runs from the command line then never load the
// windowing, font and graphics libraries, which cost a noticeable part of a
// short run's time.
#include <QString>
#include <QStringList>

#include <sys/types.h>

namespace qm {

class DesktopModule {
public:
    // The module's one entry point: the program's own arguments, and the
    // exit status of the desktop program.
    using Entry = int (*)(int argc, char **argv);
    static constexpr const char *kFileName = "quillmere-desktop.so";
    static constexpr const char *kEntryName = "quillmere_desktop_main";

    // Where the module is looked for, in order: beside the executable (a
    // build folder), then in the installed library folder.
    static QStringList candidates(const QString &executableDir);

    // Loads the first candidate that exists and answers its entry point; or
    // nullptr with `why` on one line, the loader's own reason included.
    static Entry load(const QStringList &candidates, QString *why);

    // Why a set-user-id process must not run the code of a module file with
    // this owner and mode (empty: it may): whoever can change the file would
    // run code with root's rights.
    static QString whyUntrusted(uid_t owner, mode_t mode);
};

} // namespace qm
