#pragma once
// The console's state: what every control shows and whether it can be
// used, for the session shown and around a run. The widgets read view()
// whenever changed() is emitted, pass clicks to the commands below, and
// shorten folder fields and the comment with TruncatedString/TruncatedLines.
#include "uimodel/ConsoleTexts.h"

#include <QObject>
#include <QVariantMap>

#include <array>
#include <functional>
#include <optional>

namespace qm {

struct AppPaths;
class AppController;
class RunDriver;
class RunFeedback;

// What the console reads from outside the document; tests give their own.
struct ConsoleEnvironment {
    bool runningAsRoot = false; // the folder fields turn blue
    std::function<PathKind(const QString &)> pathKind;
    // The date of the pair's Exact Sync index, when it exists.
    std::function<std::optional<QDateTime>(const QString &source, const QString &dest)> lastExactSync;
    // Puts the volume of a picked folder into the session's volume list.
    std::function<void(QVariantMap *session, const QString &path)> addVolume;
    // Shows a folder (or its nearest existing parent) in the file manager.
    std::function<void(const QString &path)> reveal;
    std::function<bool()> runUnderway;

    // The real file system, index folder, volumes and file manager.
    static ConsoleEnvironment forApp(const AppPaths &paths, bool runningAsRoot,
                                     std::function<bool()> runUnderway);
    static ConsoleEnvironment forController(AppController &controller);
};

enum class OptionButton { Timer, Multi, Filter, Exclude, Conflict, AutoMountVolumes, Settings };
inline constexpr int kOptionButtonCount = 7;

struct FolderFieldView {
    QString text;    // shortened by the widget to its width
    QString toolTip;
    bool isEmptyText = false; // the "Drag here the ..." text, no folder
    bool blue = false;        // the program runs as root
};

struct SideControlsView {
    bool pickEnabled = false;
    QString pickToolTip;
    bool openEnabled = false;
};

struct OptionButtonView {
    QString imageName; // "" keeps the button's own image (conflicts, settings)
    QString toolTip;   // "" keeps the button's own tool tip
    bool enabled = false;
};

struct ProgressView {
    bool visible = false;
    bool indeterminate = false; // animated while indeterminate
    int maximum = 0;
    int value = 0;
};

struct DrawerView {
    bool open = false;
    QString triangleImage;
    QString label;
    QString source;
    QString destination;
    QString size;
};

struct ConsoleView {
    bool allSessions = false;
    bool menuEnabled = true; // the session pop-up, from "All Sessions" on
    FolderFieldView source, destination;
    SideControlsView sourceControls, destinationControls;
    QString arrowImage;
    ButtonText execute; // also the title of the Execute item of the main menu
    std::array<OptionButtonView, kOptionButtonCount> options;
    QString comment; // "\r" between lines
    ProgressView progress;
    DrawerView drawer;
    bool acceptsDrops = false;

    const OptionButtonView &option(OptionButton b) const { return options[size_t(b)]; }
    const FolderFieldView &field(FolderSide s) const { return s == FolderSide::Source ? source : destination; }
    const SideControlsView &controls(FolderSide s) const
    {
        return s == FolderSide::Source ? sourceControls : destinationControls;
    }
};

// What a pick button asks the widget to do.
struct PickRequest {
    enum class Action { Nothing, FolderPairPanel, ChooseItem };
    Action action = Action::Nothing;
    QString title;        // of the open panel
    QString buttonTitle;  // its default button, "Choose"
    QString startFolder;  // the chosen folder when it exists, else the home folder
};

// What a click on an open button did.
enum class OpenClickResult { Nothing, Revealed, Cleared };

class ConsoleModel : public QObject {
    Q_OBJECT
public:
    // `document` is the open document and `prefs` the preferences; both are
    // read on each refresh and outlive the model.
    ConsoleModel(QVariantMap &document, const QVariantMap &prefs, ConsoleEnvironment env,
                 QObject *parent = nullptr);

    const ConsoleView &view() const { return m_view; }
    int sessionIndex() const;
    bool isAllSessions() const;
    bool isCurrentSessionMulti() const;
    // Whether the 10-second timer check should run while the console shows
    // this session: timers on somewhere and Sync And Quit off.
    bool timerCheckWanted() const;

    // SetConsolePanes: shows session `index` (n + 1 for All Sessions) and
    // stores it as the document's current session.
    void SetConsolePanes(int index);
    // Shows the document's current session again (after the document or
    // the preferences changed).
    void refresh();

    // Clicks. Each does nothing during a run.
    PickRequest TaskPickFolder(FolderSide side) const;
    // Stores the picked path into the session; false when refused.
    bool SetPickedFolder(const QString &path, FolderSide side);
    // Control reveals the folder, Option clears it, a plain click reveals it.
    OpenClickResult openFolderClicked(FolderSide side, bool controlKey, bool optionKey);
    // Drop panes: the pane whose frame begins more than 150 points above the
    // window's bottom is the source's.
    static FolderSide dropSide(int paneBottomAboveWindowBottom);
    bool dropPaths(const QStringList &paths, FolderSide side);
    void ToggleDrawer();
    void setDrawerOpen(bool open);

    // Run feedback, in the order a run gives it.
    void syncAndQuitCountdown(int secondsLeft); // the first tick disables the console
    void syncAndQuitCancelled();
    void runStarted();                          // panes off, "Stop", "Scanning Folders…"
    void setStatus(const QString &text);
    void copyStarted(int itemsToDo);            // the bar turns determinate
    void setItemsProgress(int done, int total); // "Items to do:" and the bar
    void DisplayExactSyncToConsole();           // "Creating Exact Sync Index…"
    void ShowMainFolderInConsole(const QString &source, const QString &dest);
    void SetOrangeArrow(int sessionIndex);
    void setCurrentItem(int copyMode, const QString &source, const QString &dest);
    // The size of the drawer's item once computed (or nullopt to show "--").
    void setDrawerSize(std::optional<qint64> bytes);
    // Whether the drawer's item needs its size computed (a folder that is not a package).
    bool drawerItemNeedsSize() const;
    void runConcluded(const RunReport &report);

    // The report of a run that has ended, for runConcluded().
    static RunReport reportOf(const RunDriver &run, bool consoleShowsAllSessions);

    // Follows the controller's runs: its feedback signals drive the run
    // feedback above, and its report ends the run on the console.
    void follow(AppController &controller);
    void followFeedback(RunFeedback &feedback);

Q_SIGNALS:
    void changed();

private:
    QVariantMap session(int index) const;
    int sessionCount() const;
    bool runUnderway() const;
    bool editableSession() const; // a single session without its folder-pair list
    void storeFolder(FolderSide side, const QString &path);
    void showSessionFields();
    void EnableDisableConsolePanes(bool enable);
    void updateDrawer();
    void enterRunningState();
    void leaveRunningState();
    void showTask(int sessionIndex, const QString &source, const QString &dest);
    void moveToSession(int sessionIndex);

    QVariantMap &m_doc;
    const QVariantMap &m_prefs;
    ConsoleEnvironment m_env;
    ConsoleView m_view;
    bool m_running = false;
    FolderFieldView m_savedSource, m_savedDest;
    int m_drawerMode = 0;
    QString m_drawerSource, m_drawerDest;
    std::optional<qint64> m_drawerSize;
};

} // namespace qm
