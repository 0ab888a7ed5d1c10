#pragma once
// The preferences: one dictionary with the stored keys, read at start,
// written when the defaults are built, when the window closes with OK,
// and at quit.
#include "app/AppPaths.h"

#include <QVariantMap>

namespace qm {

class Preferences {
public:
    static constexpr int kFileVersion = 320;

    static QVariantMap defaults(const AppPaths &paths, bool euidRoot);

    // Reads the preferences file, or builds the defaults and writes them when
    // the file is missing, a folder, not a dictionary, without fileVersion or
    // newer than ours, or when `forceDefaults` is set.
    static QVariantMap read(const AppPaths &paths, bool euidRoot, bool forceDefaults = false);

    // Stores the whole dictionary; atomic, so that a crash never leaves a
    // truncated preferences file.
    static bool write(const AppPaths &paths, const QVariantMap &prefs, QString *error = nullptr);

    // The checks of the preferences window; an empty answer means valid,
    // otherwise the message to show.
    static QString checkMailAddress(const QString &address);
    static QString checkDeleteLogsField(int value);

    static int intValue(const QVariantMap &prefs, const char *key, int fallback = 0);
};

} // namespace qm
