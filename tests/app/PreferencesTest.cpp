#include "app/Preferences.h"
#include "app/Startup.h"
#include "platform/PropertyList.h"
#include "support/Files.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace qm;

namespace {

QVariantMap readBack(const AppPaths &p)
{
    QVariantMap m;
    PropertyList::readDictionary(p.prefFile, &m, nullptr);
    return m;
}

StartupOptions withResources()
{
    StartupOptions o;
    o.resourcesDir = QStringLiteral(QM_SOURCE_DIR "/resources");
    return o;
}

} // namespace

TEST(Preferences, MissingNewerOrDamagedFilesAreReplacedByDefaults)
{
    qmtest::TempHome home;
    const AppPaths p = AppPaths::fromEnvironment();
    QDir().mkpath(p.prefFolder);
    const QVariantMap defaults = Preferences::defaults(p, false);
    EXPECT_EQ(Preferences::read(p, false), defaults);
    EXPECT_EQ(readBack(p), defaults); // written when built

    QVariantMap newer = defaults;
    newer["fileVersion"] = 321;
    newer["prefOnError"] = 1;
    PropertyList::write(p.prefFile, newer, nullptr);
    EXPECT_EQ(Preferences::read(p, false).value("prefOnError").toInt(), 3);

    for (const QByteArray &bad : {QByteArray("<plist><dict><key>x</key></dict></plist>"), QByteArray("junk")}) {
        home.writeFile(".config/Quillmere/Quillmere 3.0 Prefs.plist", bad);
        EXPECT_EQ(Preferences::read(p, false), defaults);
    }
    QVariantMap noVersion = defaults;
    noVersion.remove("fileVersion");
    noVersion["prefOnError"] = 1;
    PropertyList::write(p.prefFile, noVersion, nullptr);
    EXPECT_EQ(Preferences::read(p, false).value("prefOnError").toInt(), 3);
    // A fresh start replaces a good file too.
    QVariantMap good = defaults;
    good["prefOnError"] = 1;
    PropertyList::write(p.prefFile, good, nullptr);
    EXPECT_EQ(Preferences::read(p, false, true).value("prefOnError").toInt(), 3);
}

TEST(Preferences, OlderFilesKeepTheirValuesAndGainMissingKeys)
{
    qmtest::TempHome home;
    const AppPaths p = AppPaths::fromEnvironment();
    QDir().mkpath(p.prefFolder);
    QVariantMap old = Preferences::defaults(p, false);
    old.remove("prefShutDown");
    old.remove("prefDeleteLogsOn");
    old.remove("prefDeleteLogsField");
    old.remove("prefSmtpPort");
    old["prefRoot"] = 1;
    old["prefOnError"] = 1;
    old["someLaterKey"] = QStringLiteral("kept");
    PropertyList::write(p.prefFile, old, nullptr);
    const QByteArray before = qmtest::bytesOf(p.prefFile);

    const QVariantMap prefs = Preferences::read(p, false);
    EXPECT_EQ(prefs.value("prefShutDown").toInt(), 0);
    EXPECT_EQ(prefs.value("prefOnError").toInt(), 1);
    EXPECT_EQ(prefs.value("prefRoot").toInt(), 0); // follows the process, not the file
    EXPECT_EQ(prefs.value("prefDeleteLogsOn").typeId(), QMetaType::Bool);
    EXPECT_EQ(prefs.value("prefDeleteLogsField").toInt(), 7);
    EXPECT_EQ(prefs.value("prefSmtpPort").toInt(), 587);
    EXPECT_EQ(prefs.value("someLaterKey").toString(), "kept");
    EXPECT_EQ(qmtest::bytesOf(p.prefFile), before); // reading does not rewrite
}

TEST(Preferences, WindowChecks)
{
    // The address rules themselves are the mail tests' subject; here only the answer.
    EXPECT_TRUE(Preferences::checkMailAddress("me@mail.example.org").isEmpty());
    EXPECT_EQ(Preferences::checkMailAddress("YOUR.NAME@YOUR-MAIL.EXAMPLE"), "Email address not valid.");
    EXPECT_EQ(Preferences::checkDeleteLogsField(0),
              "The Delete Logs text field must contain a value greater than zero.");
    EXPECT_TRUE(Preferences::checkDeleteLogsField(1).isEmpty());
}

TEST(Startup, FreshHomeGetsEveryFolderAndDefaults)
{
    qmtest::TempHome home;
    StartedApp app;
    const StartupResult r = Startup::run(withResources(), &app);
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_TRUE(QFileInfo(app.paths.exactSyncIndexFolder).isDir());
    EXPECT_TRUE(app.paths.supportFolder.startsWith(home.dataDir() + "/Brantwick/Quillmere Vell 3"));
    EXPECT_TRUE(QFileInfo(home.configDir() + "/Quillmere 3.0 Prefs.plist").isFile());
    EXPECT_EQ(app.prefs.value("prefPathLogFolder").toString(), app.paths.supportFolder + "/Log Files");
    EXPECT_EQ(app.templateDocument.value("sessionsArray").toList().size(), 2);
}

TEST(Startup, EachFailingCheckStopsWithItsMessage)
{
    {
        qmtest::TempHome home;
        qputenv("HOME", QByteArray(home.path().toLocal8Bit() + "/missing"));
        StartedApp app;
        const StartupResult r = Startup::run(withResources(), &app);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.message, "Cannot find the folder (Home)/Library.\rCannot run.");
    }
    if (geteuid() != 0) {
        // Root may write anywhere; the unwritable case needs a plain user.
        qmtest::TempHome home;
        chmod(home.path().toLocal8Bit().constData(), 0500);
        StartedApp app;
        const StartupResult r = Startup::run(withResources(), &app);
        chmod(home.path().toLocal8Bit().constData(), 0700);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.message.contains("Cannot run.\rPlease be sure"));
    } else {
        qmtest::TempHome home;
        // A file where the maker's folder belongs cannot be made a folder.
        home.writeFile(".local/share/Brantwick", "not a folder");
        StartedApp app;
        const StartupResult r = Startup::run(withResources(), &app);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.message.startsWith("Cannot create the folder \"(Home)/Library/Application Support/Brantwick/Quillmere Vell 3\".\rCannot run."))
            << r.message.toStdString();
    }
    {
        qmtest::TempHome home;
        QTemporaryDir empty;
        StartupOptions o;
        o.resourcesDir = empty.path();
        StartedApp app;
        const StartupResult r = Startup::run(o, &app);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.message.startsWith("Can't find the file \"Localizable.strings\""));
        // Nothing of the preferences is written after a fatal check.
        EXPECT_FALSE(QFileInfo::exists(home.configDir() + "/Quillmere 3.0 Prefs.plist"));
    }
    EXPECT_FALSE(Startup::checkSystemVersion("6.2.0", "6.4.2").ok);
    EXPECT_EQ(Startup::checkSystemVersion("6.2.0", "6.4.2").message,
              "The minimum MacOS X version required is 6.4.2. Cannot run.");
    EXPECT_TRUE(Startup::checkSystemVersion("6.5.0", "6.4.2").ok);
}

TEST(Startup, OldIndexFolderMovesOrIsDropped)
{
    qmtest::TempHome home;
    const AppPaths p = AppPaths::fromEnvironment();
    home.writeFile(".config/Quillmere/Quillmere 3.0 ExactSync Indexes/QM3ExactSyncMainIndex.plist", "old");
    QDir().mkpath(p.supportFolder);
    Startup::moveOldIndexFolder(p);
    EXPECT_TRUE(QFileInfo(p.exactSyncIndexFolder + "/QM3ExactSyncMainIndex.plist").isFile());
    EXPECT_FALSE(QFileInfo::exists(p.oldIndexFolder));

    home.writeFile(".config/Quillmere/Quillmere 3.0 ExactSync Indexes/stale.plist", "stale");
    Startup::moveOldIndexFolder(p);
    EXPECT_FALSE(QFileInfo::exists(p.oldIndexFolder));
    EXPECT_TRUE(QFileInfo(p.exactSyncIndexFolder + "/QM3ExactSyncMainIndex.plist").isFile());
    EXPECT_FALSE(QFileInfo::exists(p.exactSyncIndexFolder + "/stale.plist"));
}
