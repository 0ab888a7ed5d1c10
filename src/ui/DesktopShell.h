#pragma once
// What the program asks of the desktop around it: showing an item in the
// file manager and a notice when a run ends unwatched.
#include <QString>

namespace qm {

class DesktopShell {
public:
    // Selects the item in the file manager; without one that answers on
    // the session bus, opens the nearest existing folder instead.
    static void reveal(const QString &path);
    // A desktop notification; false when no notification service answered.
    static bool notify(const QString &summary, const QString &body);
};

} // namespace qm
