#pragma once
// What the console's fields, buttons and drawer say, as plain functions of
// the session and the run: the widgets only show these texts.
#include <QDateTime>
#include <QLocale>
#include <QString>

#include <optional>

namespace qm {

// The two folder fields: the source is the upper one.
enum class FolderSide { Destination = 0, Source = 1 };

// What a chosen folder path names on disk.
enum class PathKind { Missing, Folder, File, Package };

// The kind of the item at `path` on the real file system ("" is Missing).
PathKind pathKindAt(const QString &path);

// The text of an empty folder field, also its tool tip: "" for All
// Sessions, otherwise "Drag here the" with the side word ("1st"/"2nd" for
// synchronization, "source"/"destination" for backup) and the kind of item
// chosen on the other side ("file" for a file or package, else "folder").
QString GetEmptyTopBottomString(FolderSide side, bool allSessions, int task, PathKind otherSide);

struct ButtonText {
    QString title;
    QString toolTip;
};

// SetMainButtonName: "Execute All", "Synchronize" or "Backup"; the same
// title goes to the Execute item of the main menu.
ButtonText SetMainButtonName(bool allSessions, int task);
// The button and its menu item while a run or the Sync And Quit countdown is under way.
QString stopButtonTitle();

// "OrangeArrow" for synchronization (task 1), "GrayArrow" for backup.
QString arrowImageName(int task);
// The pick buttons' tool tips for the task.
QString pickToolTip(FolderSide side, int task);
// The title of the open panel a pick button runs.
QString pickPanelTitle(FolderSide side);
// Tool tip of a folder field that shows a folder.
QString folderToolTip(FolderSide side);

// "Items to do: 12".
QString itemsToDoText(int itemsLeft);
// "• Last Exact Sync: Dec 07 2026, 17:03:09", months named in `locale`.
QString lastExactSyncText(const QDateTime &when, const QLocale &locale = QLocale::c());
// "Starting Sync And Quit in 9 seconds...".
QString syncAndQuitCountdownText(int secondsLeft);

// The drawer's three lines for the item being processed.
struct DrawerTexts {
    QString label;
    QString source;
    QString destination;
};
DrawerTexts drawerTexts(int copyMode, const QString &source, const QString &destination);
// "--" when no size was computed; else the size divided by 1024 while it
// exceeds 1024, at most three times, with "bytes", "KB", "MB" or "GB".
QString drawerSizeText(std::optional<qint64> bytes);
// "TriangleDown_Up" while the drawer is open, "TriangleRight_Up" otherwise.
QString drawerTriangleImage(bool open);

// What a finished run tells the console (SetReportOnConsole).
struct RunReport {
    bool allSessions = false;  // the console's session was All Sessions
    bool startedByTimer = false;
    int sessionsDone = 0;
    int sessionCount = 0;
    // The session just run.
    int task = 1;
    bool multi = false;
    int tasksDone = 0;
    int taskCount = 0;
    QString sourceFolder;
    QString destFolder;
    int sourceFilesCopied = 0; // side A
    int destFilesCopied = 0;   // side B
    int errors = 0;
    bool mailFailed = false;
};

// The report's text, "\r" between lines; the widget shortens each line to
// the comment field (TruncatedLines).
QString reportText(const RunReport &report);
// The arrow the report leaves: orange after an All Sessions run by hand,
// otherwise from the task of the session just run.
QString reportArrowImageName(const RunReport &report);

} // namespace qm
