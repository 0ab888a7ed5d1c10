#include "uimodel/MenuEnabling.h"

#include "app/AppController.h"

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

MenuState menuStateOf(AppController &controller, bool anyWindowVisible, bool consoleShowsMainPanel)
{
    DocumentLifecycle &docs = controller.documents();
    MenuState s;
    s.runUnderway = controller.run().isRunning();
    s.anyWindowVisible = anyWindowVisible;
    s.documentOpen = docs.isDocumentOpen();
    s.documentHasFile = docs.isDocumentOpen() && !docs.pathDocumentFile().isEmpty();
    s.consoleShowsMainPanel = consoleShowsMainPanel;
    s.allSessionsCurrent = controller.sessions().IsCurrentSessionAllSessions();
    return s;
}

} // namespace qm
