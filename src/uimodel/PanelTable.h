#pragma once
// Panel navigation (GoPanel:): what entering each panel does to the session
// menu, the timer check and the windows, and where a closing window leads.
#include <QString>

#include <optional>

namespace qm {

enum class Panel {
    Console,
    Timer,
    Multi,
    Filter,
    Exclude,
    Settings,
    AutoMountVolumes,
    About,
    Preferences,
    Conflicts,
    AppleScript,
    DocumentClosed,
};

// What the program does on entering a panel, besides the menu and the timer check.
enum class PanelAction {
    ShowSession,     // the console shows the current session (and decides the timer check)
    LoadTimerRows,   // the timer editor gets the session's rows
    LoadList,        // the list editor gets the session's list of the panel
    FillSettings,    // SetSettingsPanes
    LoadVolumes,     // the volume list gets the session's rows
    OpenAbout,       // the About window, modal
    OpenPreferences, // PrefSet, then the window runs modally
    OpenConflicts,   // the conflicts window is filled and runs
    OpenScripts,     // the script window is filled and runs
    CloseDocument,   // console, log, preferences and scheduling windows closed;
                     // run, open and saved flags cleared; the log text reset
};

struct PanelEntry {
    Panel panel = Panel::Console;
    QString identifier;       // "console", "timer", ...
    bool isTab = false;       // a tab of the console window, named `identifier`
    bool menuEnabled = false; // the session pop-up menu
    bool menuAllowsAllSessions = false;
    bool stopsTimerCheck = false; // every panel but the console stops it first
    PanelAction action = PanelAction::ShowSession;
};

// The table row of a panel.
PanelEntry GoPanel(Panel panel);
QString panelIdentifier(Panel panel);
std::optional<Panel> panelFromIdentifier(const QString &identifier);

// Where the option commands lead, and which of them are refused now.
class PanelNavigator {
public:
    // The console tab shown now (Console at first).
    Panel currentTab() const { return m_tab; }

    // Enters `panel`: the table row to carry out, or nothing when refused
    // (the preferences and About windows during a run). Entering a tab
    // makes it the current tab.
    std::optional<PanelEntry> go(Panel panel, bool runUnderway);

    // Where the program goes when a separate window closes: the preferences
    // and About windows back to the tab that was showing (or the closed
    // document state when the console window is hidden); the conflicts and
    // script windows to the console.
    Panel afterWindowCloses(Panel window, bool consoleVisible) const;

    // OptionTimer: the scheduling monitor instead of the timer panel with
    // All Sessions current or the Option key held.
    static bool timerCommandOpensMonitor(bool allSessionsCurrent, bool optionKey)
    {
        return allSessionsCurrent || optionKey;
    }

private:
    Panel m_tab = Panel::Console;
};

} // namespace qm
