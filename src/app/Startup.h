#pragma once
// The start-up checks, in their order. A check that fails ends the program
// with its message; nothing is written in that case.
#include "app/AppPaths.h"
#include "fs/AccessRights.h"

#include <QList>
#include <QString>
#include <QVariantMap>

#include <sys/types.h>

namespace qm {


struct StartupResult {
    bool ok = false;
    QString title;   // of the alert when not ok
    QString message; // ends with "Cannot run." for the fatal checks
};

struct StartupOptions {
    bool forceDefaults = false; // a fresh start: default preferences and template
    QString resourcesDir;       // empty: beside the executable
};

// What the checks leave behind for the program.
struct StartedApp {
    AppPaths paths;
    ProcessIdentity identity;
    QVariantMap prefs;
    QVariantMap templateDocument;
    QString systemVersion; // the running Qt library
};

class Startup {
public:
    static StartupResult run(const StartupOptions &options, StartedApp *out);

    // Moves the indexes of earlier versions to their new place.
    static void moveOldIndexFolder(const AppPaths &paths);
    // The running toolkit must be at least the one the program was built with.
    static StartupResult checkSystemVersion(const QString &running, const QString &required);
    static StartupResult loadMessages(const QString &resourcesDir);
};

} // namespace qm
