#include "app/Preferences.h"
#include "app/Startup.h"
#include "platform/PropertyList.h"
#include "support/Files.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <functional>

#include <sys/stat.h>

using namespace qm;

namespace {

StartupOptions withResources()
{
    StartupOptions o;
    o.resourcesDir = QStringLiteral(QM_SOURCE_DIR "/resources");
    return o;
}

class PrefsFile : public ::testing::Test {
protected:
    PrefsFile() { QDir().mkpath(p.prefFolder); }
    // The defaults with prefOnError 1 instead of 3, changed by `edit`.
    void writeChanged(const std::function<void(QVariantMap &)> &edit = {})
    {
        QVariantMap m = defaults;
        m["prefOnError"] = 1;
        if (edit)
            edit(m);
        ASSERT_TRUE(PropertyList::write(p.prefFile, m, nullptr));
    }
    int onError(bool fresh = false) { return Preferences::read(p, false, fresh).value("prefOnError").toInt(); }

    qmtest::TempHome home;
    const AppPaths p = AppPaths::fromEnvironment();
    const QVariantMap defaults = Preferences::defaults(p, false);
};

} // namespace

TEST_F(PrefsFile, MissingNewerOrDamagedFilesAreReplacedByDefaults)
{
    EXPECT_EQ(Preferences::read(p, false), defaults);
    QVariantMap written;
    ASSERT_TRUE(PropertyList::readDictionary(p.prefFile, &written, nullptr));
    EXPECT_EQ(written, defaults) << "written when built";

    writeChanged([](QVariantMap &m) { m["fileVersion"] = 321; });
    EXPECT_EQ(onError(), 3) << "newer";
    writeChanged([](QVariantMap &m) { m.remove("fileVersion"); });
    EXPECT_EQ(onError(), 3) << "no version";
    for (const QByteArray &bad : {QByteArray("<plist><dict><key>x</key></dict></plist>"), QByteArray("junk")}) {
        home.writeFile(".config/Quillmere/Quillmere 3.0 Prefs.plist", bad);
        EXPECT_EQ(Preferences::read(p, false), defaults);
    }
    writeChanged();
    EXPECT_EQ(onError(true), 3) << "a fresh start replaces a good file too";
    EXPECT_EQ(onError(), 3);
}

TEST_F(PrefsFile, OlderFilesKeepTheirValuesAndGainMissingKeys)
{
    writeChanged([](QVariantMap &m) {
        for (const char *key : {"prefShutDown", "prefDeleteLogsOn", "prefDeleteLogsField", "prefSmtpPort"})
            m.remove(key);
        m["prefRoot"] = 1;
        m["someLaterKey"] = QStringLiteral("kept");
    });
    const QByteArray before = qmtest::bytesOf(p.prefFile);
    const QVariantMap prefs = Preferences::read(p, false);
    EXPECT_EQ(prefs.value("prefOnError").toInt(), 1);
    EXPECT_EQ(prefs.value("prefRoot").toInt(), 0); // follows the process, not the file
    EXPECT_EQ(prefs.value("prefShutDown").toInt(), 0);
    EXPECT_EQ(prefs.value("prefDeleteLogsOn").typeId(), QMetaType::Bool);
    EXPECT_EQ(prefs.value("prefDeleteLogsField").toInt(), 7);
    EXPECT_EQ(prefs.value("prefSmtpPort").toInt(), 587);
    EXPECT_EQ(prefs.value("someLaterKey").toString(), "kept");
    EXPECT_EQ(qmtest::bytesOf(p.prefFile), before); // reading does not rewrite
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
    EXPECT_TRUE(Startup::checkSystemVersion("6.2.0", "6.4.2").message.contains("6.4.2. Cannot run."));
    EXPECT_FALSE(Startup::checkSystemVersion("6.4.1", "6.4.2").ok);
    EXPECT_TRUE(Startup::checkSystemVersion("6.10.0", "6.4.2").ok) << "versions compare by number";
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
