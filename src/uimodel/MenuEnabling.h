#pragma once
// Which commands of the main menu can be chosen, by the tag each item
// carries. Every command that changes or replaces the document is off while
// a run is under way.
namespace qm {

// The tags of the main menu's items.
enum MenuTag : int {
    NewTag = 10,
    OpenTag = 11,
    OpenRecentTag = 12,
    CloseTag = 13,
    SaveTag = 14, // Save and Save As
    RevertTag = 15,
    NewSessionTag = 20,
    DuplicateSessionTag = 21,
    RenameSessionTag = 22,
    RemoveSessionTag = 23,
    AllSessionsMenuTag = 24,
    PickSourceTag = 30,
    PickDestinationTag = 31,
    ExecuteTag = 32,
    TimersTag = 40,
    FolderPairsTag = 41,
    FiltersTag = 42,
    ExcludesTag = 43,
    ConflictsTag = 44,
    VolumesTag = 45,
    ScriptsTag = 46,
    SettingsTag = 47,
    ShowConsoleTag = 51,
    PreferencesTag = 60,
    AboutTag = 61,
};

struct MenuState {
    bool runUnderway = false;
    bool anyWindowVisible = true;
    bool documentOpen = true;
    bool documentHasFile = false;
    bool consoleShowsMainPanel = true;
    bool allSessionsCurrent = false;
};

// validateMenuItem: whether the item with `tag` is enabled; items with a tag
// outside the table always are.
bool isMenuItemEnabled(int tag, const MenuState &state);

} // namespace qm
