// Preferences may hold the mail password and logs and indexes list every
// file name: whatever the umask, what the program stores is its owner's only.
#include "app/DocumentLifecycle.h"
#include "app/Preferences.h"
#include "app/SessionDocument.h"
#include "app/Startup.h"
#include "engine/ExactSyncIndex.h"
#include "report/LogFiles.h"
#include "support/Documents.h"
#include "support/Files.h"
#include "support/TempHome.h"

#include <QDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace qm;
using qmtest::modeOf;

namespace {

class UsualUmask {
public:
    UsualUmask() : m_saved(::umask(022)) {}
    ~UsualUmask() { ::umask(m_saved); }

private:
    mode_t m_saved;
};

} // namespace

TEST(StoredFiles, AreReadableByTheirOwnerOnlyAndTheProgramsFoldersAreClosed)
{
    qmtest::TempHome home;
    const UsualUmask umask;
    StartedApp app;
    ASSERT_TRUE(qmtest::startApp(&app));
    const AppPaths &p = app.paths;

    ASSERT_TRUE(Preferences::write(p, app.prefs, nullptr));
    ASSERT_TRUE(RecentDocuments(p).add(home.path() + "/doc.qmy"));
    QVariantMap doc = SessionDocument::NewTemplate();
    ASSERT_TRUE(SessionDocument::WriteFileSession(&doc, home.path() + "/doc.qmy", p.templateFile).ok);

    QVariantMap prefs = app.prefs;
    prefs["prefSaveLogFile"] = qlonglong(1);
    prefs["prefSaveLogFileWhen"] = qlonglong(0);
    prefs["prefPathLogFolder"] = home.path() + "/Logs";
    LogSaveRequest log;
    log.logText = "a log\r";
    log.fileName = "QMLog_test.txt";
    log.appSupportFolder = p.supportFolder;
    const LogSaveResult saved = SaveLogFileToDisk(prefs, log);
    ASSERT_TRUE(saved.saved()) << qPrintable(saved.errorText);

    QDir().mkpath(home.path() + "/A");
    QDir().mkpath(home.path() + "/B");
    ExactSyncWriteRequest index;
    index.source = home.path() + "/A";
    index.dest = home.path() + "/B";
    index.runStart = QDateTime::currentDateTimeUtc();
    index.runCompleted = true;
    ASSERT_TRUE(ExactSyncIndexStore(p.exactSyncIndexFolder).write(index).written);

    const std::pair<QString, mode_t> expected[] = {
        {p.prefFile, 0600},
        {p.prefFolder + "/" + RecentDocuments::fileName(), 0600},
        {home.path() + "/doc.qmy", 0600},
        {saved.path, 0600},
        {p.exactSyncIndexFolder + "/QM3ExactSyncMainIndex.plist", 0600},
        {p.exactSyncIndexFolder + "/QM3ExactSyncIndex 1.plist", 0600},
        {p.prefFolder, 0700},
        {p.supportFolder, 0700},
        {p.exactSyncIndexFolder, 0700},
        {home.path() + "/Logs", 0700},
    };
    for (const auto &[path, mode] : expected)
        EXPECT_EQ(modeOf(path), mode) << path.toStdString();
}

// A folder of the program's own that an earlier version made wider is
// closed at the next start.
TEST(StoredFiles, AnOwnFolderLeftOpenIsClosedAtStart)
{
    qmtest::TempHome home;
    const UsualUmask umask;
    const AppPaths p = AppPaths::fromEnvironment();
    ASSERT_TRUE(QDir().mkpath(p.exactSyncIndexFolder));
    ASSERT_TRUE(QDir().mkpath(p.prefFolder));
    StartedApp app;
    ASSERT_TRUE(qmtest::startApp(&app));
    for (const QString &f : {p.prefFolder, p.supportFolder, p.exactSyncIndexFolder})
        EXPECT_EQ(modeOf(f), 0700u) << f.toStdString();
}
