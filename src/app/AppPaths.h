#pragma once
// The per-user places of the program, computed from HOME and the XDG
// variables so that a private home moves every one of them.
#include <QString>

namespace qm {

struct AppPaths {
    QString home;              // must exist and be a folder
    QString prefFolder;        // $XDG_CONFIG_HOME/Quillmere
    QString prefFile;          // "Quillmere 3.0 Prefs.plist"
    QString templateFile;      // "Quillmere 3.0 Template.plist"
    QString saveDocTest1;      // short-lived files of the unsaved-changes test
    QString saveDocTest2;
    QString tempVolumeInfo;    // scratch file of the disk-image test
    QString makerFolder;       // $XDG_DATA_HOME/Brantwick
    QString supportFolder;     // .../Brantwick/Quillmere Vell 3
    QString exactSyncIndexFolder;
    QString oldIndexFolder;    // where earlier versions kept the indexes
    QString defaultLogFolder;  // "Log Files" in the support folder

    static AppPaths fromEnvironment();
};

} // namespace qm
