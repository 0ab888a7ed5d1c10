#include "uimodel/MenuEnabling.h"

namespace qm {

bool isMenuItemEnabled(int tag, const MenuState &s)
{
    const bool idle = !s.runUnderway;
    switch (tag) {
    case NewTag:
    case OpenTag:
    case OpenRecentTag:
    case NewSessionTag:
    case DuplicateSessionTag:
    case RenameSessionTag:
    case RemoveSessionTag:
    case AllSessionsMenuTag:
    case PreferencesTag:
    case AboutTag:
        return idle;
    case CloseTag:
        return idle && s.anyWindowVisible;
    case SaveTag:
        return idle && s.documentOpen;
    case RevertTag:
        return idle && s.documentOpen && s.documentHasFile;
    case PickSourceTag:
    case PickDestinationTag:
    case TimersTag:
    case FolderPairsTag:
    case FiltersTag:
    case ExcludesTag:
    case ConflictsTag:
    case VolumesTag:
    case ScriptsTag:
    case SettingsTag:
        return idle && s.consoleShowsMainPanel && s.documentOpen && !s.allSessionsCurrent;
    case ExecuteTag:
        return s.consoleShowsMainPanel && s.documentOpen;
    case ShowConsoleTag:
        return s.documentOpen;
    default:
        return true;
    }
}

} // namespace qm
