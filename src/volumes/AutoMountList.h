#pragma once
// A session's volume list: the rows that are mounted before the session's
// folders are checked and unmounted after its copy, the try buttons of the
// list editor, and the automatic additions when a folder is picked.
//
// The run driver calls MountAllVolumesForSession() at the start of a
// session's scan, while the run is active and before the folders are
// validated, and UnmountAllVolumesForSession() after the session's copy.
// Both report what happened as values; the driver adds errorCount to the
// run's errors, appends the log lines, and hands errorText (when not empty)
// to the run's error handler.
#include "volumes/VolumeUtilities.h"

#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <optional>

namespace qm {

struct SessionVolumesReport {
    int errorCount = 0;
    QString errorText;              // "" when nothing failed
    QString errorLogLine;           // "√ " + errorText + "\r" (detailed and errors-only logs)
    QStringList detailedLogLines;   // "Mounted the volume\r\"address\"" ... (detailed log only)
    QStringList cannotMountPoints;  // mount points the mount failed for
};

struct SessionRunHooks {
    std::function<bool()> isCopying;                      // the run's stop flag; null = active
    std::function<void(const QString &)> setTaskComment;  // the console's task comment; may be null
};

struct TryOutcome {
    OSStatus status = Status::noErr;
    QString message; // "" when there is nothing to show; else the text of a "Warning:" alert
};

class AutoMountList {
public:
    static constexpr int kRowCount = 64;

    explicit AutoMountList(const VolumeUtilities &utilities) : m_volumes(utilities) {}

    // Row editor buttons; nothing (no value) when the row lacks the fields
    // needed to try. `userField` and `passwordField` are the editor's texts.
    std::optional<TryOutcome> TryOneMount(const QVariantMap &row, const QString &userField,
                                          const QString &passwordField) const;
    std::optional<TryOutcome> TryOneUnmount(const QVariantMap &row, const QString &userField) const;
    // Panel buttons: the alert text, or "" when everything went well.
    QString TryAllMount(const QVariantMap &session) const;
    QString TryAllUnmount(const QVariantMap &session) const;

    SessionVolumesReport MountAllVolumesForSession(const QVariantMap &session,
                                                   const SessionRunHooks &hooks) const;
    SessionVolumesReport UnmountAllVolumesForSession(const QVariantMap &session,
                                                     const SessionRunHooks &hooks) const;

    // Describes the volume of a picked folder and puts it into the first
    // empty row of the session's list, unless the same volume is listed.
    bool AddToAutoMountVolumeArray(QVariantMap *session, const QString &path) const;

    // Whether a path lies under a mount point the last session mount failed
    // for (a plain text prefix, as folder checks expect).
    static bool IsOnUmountedVolume(const QStringList &cannotMountPoints, const QString &path);
    // The alert text for a mount status; the tool's message, when there is
    // one, follows on its own line. "" for statuses that show nothing.
    static QString MessageForMountStatus(OSStatus status, const QString &toolMessage = {});
    static QVariantList defaultRows();

private:
    MountOutcome mountRow(const VolumeDescriptor &row, const QString &user,
                          const QString &password) const;

    const VolumeUtilities &m_volumes;
};

} // namespace qm
