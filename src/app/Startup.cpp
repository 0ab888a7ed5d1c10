#include "app/Startup.h"

#include "app/Preferences.h"
#include "app/SecretStore.h"
#include "app/SessionDocument.h"
#include "platform/AtomicFile.h"
#include "platform/Messages.h"
#include "platform/OwnFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QVersionNumber>

#include <syslog.h>
#include <unistd.h>

namespace qm {
namespace {

StartupResult fatal(const QString &title, const QString &message)
{
    return StartupResult{false, title, message};
}

const StartupResult kOk{true, QString(), QString()};

} // namespace

StartupResult Startup::checkSystemVersion(const QString &running, const QString &required)
{
    const QVersionNumber have = QVersionNumber::fromString(running);
    const QVersionNumber need = QVersionNumber::fromString(required);
    if (have.isNull())
        return fatal(GLS("MacOS requirements:"), GLS("Cannot get the MacOS version. Cannot run."));
    if (have < need)
        return fatal(GLS("MacOS requirements:"), GLS("The minimum MacOS X version required is ")
                                                     + need.toString() + QStringLiteral(". ")
                                                     + GLS("Cannot run."));
    return kOk;
}

void Startup::moveOldIndexFolder(const AppPaths &paths)
{
    if (!QFileInfo::exists(paths.oldIndexFolder))
        return;
    if (!QFileInfo::exists(paths.exactSyncIndexFolder))
        QDir().rename(paths.oldIndexFolder, paths.exactSyncIndexFolder);
    // Whatever is still at the old place is a stale copy of the indexes.
    if (QFileInfo(paths.oldIndexFolder).isDir())
        QDir(paths.oldIndexFolder).removeRecursively();
    else if (QFileInfo::exists(paths.oldIndexFolder))
        QFile::remove(paths.oldIndexFolder);
}

StartupResult Startup::loadMessages(const QString &resourcesDir)
{
    const QString file = findStringsFile(resourcesDir, preferredLanguages());
    MessageTable table;
    if (file.isEmpty() || !table.load(file, nullptr))
        return fatal(QStringLiteral("Warning:"),
                     QStringLiteral("Can't find the file \"Localizable.strings\" inside the "
                                    "application package.\rPlease reinstall a new copy of the program."));
    installMessageTable(table);
    return kOk;
}

StartupResult Startup::run(const StartupOptions &options, StartedApp *out)
{
    syslog(LOG_NOTICE, "Quillmere Vell %s launched", QM_VERSION);
    StartupResult r = checkSystemVersion(QString::fromLatin1(qVersion()), QStringLiteral(QM_QT_BUILD_VERSION));
    if (!r.ok)
        return r;
    out->identity = ProcessIdentity::current();
    const AppPaths paths = AppPaths::fromEnvironment();
    const QFileInfo home(paths.home);
    if (paths.home.isEmpty() || !home.isDir())
        return fatal(GLS("Warning:"), GLS("Cannot find the folder (Home)/Library.\rCannot run."));
    // The support folder, the index folder and the preferences folder are all
    // made at every start, so later stages may simply write into them.
    const OwnFilesAccess asUser;
    atomicfile::ignoreFileSizeSignal();
    if (!atomicfile::makeOwnFolder(paths.supportFolder) || !atomicfile::makeOwnFolder(paths.prefFolder))
        return fatal(GLS("Warning:"),
                     GLS("Cannot create the folder \"(Home)/Library/Application Support/Brantwick/")
                         + QStringLiteral("Quillmere Vell 3")
                         + GLS("\".\rCannot run.\rPlease be sure that the following folders (if any) have "
                               "got Read&Write privileges for the current user:\r\r(Home)\r(Home)/Library\r"
                               "(Home)/Library/Application Support\r(Home)/Library/Application Support/Brantwick\r"));
    moveOldIndexFolder(paths);
    atomicfile::makeOwnFolder(paths.exactSyncIndexFolder);
    r = loadMessages(options.resourcesDir.isEmpty() ? resourcesDirectory() : options.resourcesDir);
    if (!r.ok)
        return r;
    // Texts resolved before the table was loaded are resolved again.
    out->paths = AppPaths::fromEnvironment();
    out->systemVersion = QString::fromLatin1(qVersion());
    out->prefs = Preferences::read(out->paths, out->identity.isRoot(), options.forceDefaults);
    // The SMTP password may live in the desktop's password store; mailing
    // needs it in the preferences held in memory.
    if (MailPassword::placeOf(out->prefs) == MailPassword::Place::SecretStore
        && !MailPassword::load(out->prefs, *makeDesktopSecretStore()))
        syslog(LOG_WARNING, "The SMTP password could not be read from the password store.");
    out->templateDocument = options.forceDefaults ? SessionDocument::NewTemplate()
                                                  : SessionDocument::readTemplate(out->paths.templateFile);
    return kOk;
}

} // namespace qm
