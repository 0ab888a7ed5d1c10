#include "uimodel/ConsoleModel.h"

#include "engine/RunFeedback.h"
#include "support/Documents.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <gtest/gtest.h>

using namespace qm;

namespace {

constexpr int Sync = 1, Backup = 2;

QVariantMap sessionWith(int task, const QVariantMap &values)
{
    return qmtest::merged(SessionDefaults::session(task, QStringLiteral("S")), values);
}

QVariantList pairs(int valid)
{
    QVariantList rows = SessionDefaults::rows(SessionDefaults::folderPairRow(), kSessionRowCount);
    for (int i = 0; i < valid; ++i) {
        QVariantMap r = rows[i].toMap();
        r.insert("onOff", 1);
        r.insert("source", QStringLiteral("/s%1").arg(i));
        r.insert("destination", QStringLiteral("/d%1").arg(i));
        rows[i] = r;
    }
    return rows;
}

class ConsoleModelTest : public ::testing::Test {
protected:
    QVariantMap doc;
    QVariantMap prefs{{"prefSyncAndQuit", 0}};
    bool running = false;
    QStringList revealed;
    QStringList volumesAdded;
    std::map<QString, PathKind> kinds;
    std::unique_ptr<ConsoleModel> model;

    void open(const QVariantList &sessions, int index, bool root = false)
    {
        doc = qmtest::documentOf(sessions, index);
        ConsoleEnvironment env;
        env.runningAsRoot = root;
        env.pathKind = [this](const QString &p) { return kinds.count(p) ? kinds[p] : PathKind::Missing; };
        env.lastExactSync = [](const QString &s, const QString &d) -> std::optional<QDateTime> {
            if (s == "/a" && d == "/b")
                return QDateTime(QDate(2026, 12, 1), QTime(8, 30, 0));
            return std::nullopt;
        };
        env.addVolume = [this](QVariantMap *, const QString &p) { volumesAdded << p; };
        env.reveal = [this](const QString &p) { revealed << p; };
        env.runUnderway = [this] { return running; };
        model = std::make_unique<ConsoleModel>(doc, prefs, env);
    }
    const ConsoleView &v() const { return model->view(); }
    QString folder(const char *key) const { return qmtest::currentSession(doc).value(key).toString(); }
};

} // namespace

TEST_F(ConsoleModelTest, ShowsEachKindOfSession)
{
    kinds["/file.txt"] = PathKind::File;
    const QVariantMap sync = sessionWith(Sync, {{"topFolder", "/a"}, {"bottomFolder", "/b"}, {"settExact", 1}});
    const QVariantMap backupToFile = sessionWith(Backup, {{"topFolder", "/file.txt"}, {"filterOn", 1}, {"excludeOn", 1}});
    const QVariantMap multi = sessionWith(Backup, {{"multiOn", 1}, {"multiArray", pairs(2)}, {"autoMountVolumeOn", 1}});
    const QVariantList sessions{sync, backupToFile, multi};

    struct Case {
        const char *name;
        int index;
        const char *source, *dest, *arrow, *execute, *comment;
        bool destEmpty, openEnabled, pickEnabled, optionsEnabled, drops;
        std::array<bool, 4> imagesOn; // multi, filter, exclude, volumes
    } cases[] = {
        {"sync", 0, "/a", "/b", "OrangeArrow", "Synchronize", "• Last Exact Sync: Dec 01 2026, 08:30:00",
         false, true, true, true, true, {false, false, false, false}},
        {"backup", 1, "/file.txt", "Drag here the destination file", "GrayArrow", "Backup", "",
         true, true, true, true, true, {false, true, true, false}},
        {"multi", 2, "Multiple List (2)", "Multiple List (2)", "GrayArrow", "Backup", "",
         false, false, true, true, false, {true, false, false, true}},
        {"all", 4, "All Sessions (3)", "All Sessions (3)", "OrangeArrow", "Execute All", "",
         false, false, false, false, false, {false, false, false, false}},
    };
    for (const Case &c : cases) {
        open(sessions, c.index);
        EXPECT_EQ(v().source.text, QString::fromUtf8(c.source)) << c.name;
        EXPECT_EQ(v().destination.text, QString::fromUtf8(c.dest)) << c.name;
        EXPECT_EQ(v().destination.isEmptyText, c.destEmpty) << c.name;
        EXPECT_EQ(v().arrowImage, c.arrow) << c.name;
        EXPECT_EQ(v().execute.title, c.execute) << c.name;
        EXPECT_EQ(v().comment, QString::fromUtf8(c.comment)) << c.name;
        EXPECT_EQ(v().sourceControls.openEnabled, c.openEnabled) << c.name;
        EXPECT_EQ(v().destinationControls.pickEnabled, c.pickEnabled) << c.name;
        EXPECT_EQ(v().option(OptionButton::Settings).enabled, c.optionsEnabled) << c.name;
        EXPECT_EQ(v().option(OptionButton::Conflict).enabled, c.optionsEnabled) << c.name;
        EXPECT_TRUE(v().option(OptionButton::Timer).enabled) << c.name;
        EXPECT_EQ(v().acceptsDrops, c.drops) << c.name;
        const std::pair<OptionButton, const char *> images[] = {
            {OptionButton::Multi, "icnMulti"}, {OptionButton::Filter, "icnFilter"},
            {OptionButton::Exclude, "icnExclude"}, {OptionButton::AutoMountVolumes, "icnAutoMount"}};
        for (size_t i = 0; i < 4; ++i)
            EXPECT_EQ(v().option(images[i].first).imageName,
                      QString::fromLatin1(images[i].second) + (c.imagesOn[i] ? "OnBtn" : "OffBtn"))
                << c.name << " image " << i;
        EXPECT_EQ(doc["sessionIndex"].toInt(), c.index) << c.name;
    }
    // The empty field's text is its tool tip too.
    open(sessions, 1);
    EXPECT_EQ(v().destination.toolTip, v().destination.text);
    EXPECT_EQ(v().source.toolTip, "The source folder. Control key and click to reveal the folder in Finder.");
    EXPECT_EQ(v().sourceControls.pickToolTip, "Choose the source folder/file");
    open(sessions, 0, true);
    EXPECT_EQ(v().sourceControls.pickToolTip, "Choose the first folder/file");
    EXPECT_TRUE(v().source.blue);
    EXPECT_TRUE(v().destination.blue);
}

TEST_F(ConsoleModelTest, TheWatchFollowsTimersAndSyncAndQuit)
{
    struct Case {
        bool syncAndQuit, timerOn, allSessions;
        bool wanted;
        const char *toolTip;
    } cases[] = {
        {false, true, false, true, ""},
        {false, false, false, false, "Go to the Timer panel"},
        {true, true, false, false, "Temporary off because of the SyncAndQuit"},
        {false, true, true, true, ""},
        {true, true, true, false, ""},
    };
    for (const Case &c : cases) {
        prefs["prefSyncAndQuit"] = c.syncAndQuit ? 1 : 0;
        const QVariantList sessions{sessionWith(Sync, {}), sessionWith(Sync, {{"timerOn", c.timerOn ? 1 : 0}})};
        open(sessions, c.allSessions ? 3 : 1);
        EXPECT_EQ(model->timerCheckWanted(), c.wanted);
        EXPECT_EQ(v().option(OptionButton::Timer).imageName, c.wanted ? "icnWatchOnBtn" : "icnWatchOffBtn");
        EXPECT_EQ(v().option(OptionButton::Timer).toolTip, c.toolTip);
    }
}

TEST_F(ConsoleModelTest, PickOpenAndDropChangeTheFoldersOnlyWhenAllowed)
{
    const QString home = QDir::homePath();
    open({sessionWith(Backup, {{"topFolder", "/a"}}), sessionWith(Sync, {{"multiOn", 1}})}, 0);

    PickRequest pick = model->TaskPickFolder(FolderSide::Destination);
    EXPECT_EQ(pick.action, PickRequest::Action::ChooseItem);
    EXPECT_EQ(pick.title, "Choose the destination Folder");
    EXPECT_EQ(pick.buttonTitle, "Choose");
    EXPECT_EQ(pick.startFolder, home);
    EXPECT_EQ(model->TaskPickFolder(FolderSide::Source).startFolder, home); // "/a" does not exist

    ASSERT_TRUE(model->SetPickedFolder("/", FolderSide::Destination));
    EXPECT_EQ(folder("bottomFolder"), "/");
    EXPECT_EQ(volumesAdded, QStringList{"/"});
    EXPECT_EQ(model->TaskPickFolder(FolderSide::Destination).startFolder, "/");

    // Control reveals, Option clears and shows the empty-field text.
    EXPECT_EQ(model->openFolderClicked(FolderSide::Source, true, false), OpenClickResult::Revealed);
    EXPECT_EQ(revealed, QStringList{"/a"});
    EXPECT_EQ(model->openFolderClicked(FolderSide::Source, false, true), OpenClickResult::Cleared);
    EXPECT_EQ(folder("topFolder"), "");
    EXPECT_TRUE(v().source.isEmptyText);
    EXPECT_EQ(v().source.text, "Drag here the source folder");

    EXPECT_EQ(ConsoleModel::dropSide(151), FolderSide::Source);
    EXPECT_EQ(ConsoleModel::dropSide(150), FolderSide::Destination);
    EXPECT_TRUE(model->dropPaths({"/tmp", "/usr"}, FolderSide::Source));
    EXPECT_EQ(folder("topFolder"), "/tmp");

    // During a run nothing changes the document.
    running = true;
    model->runStarted();
    EXPECT_EQ(model->TaskPickFolder(FolderSide::Source).action, PickRequest::Action::Nothing);
    EXPECT_FALSE(model->SetPickedFolder("/usr", FolderSide::Source));
    EXPECT_FALSE(model->dropPaths({"/usr"}, FolderSide::Source));
    EXPECT_EQ(model->openFolderClicked(FolderSide::Source, false, true), OpenClickResult::Nothing);
    EXPECT_EQ(folder("topFolder"), "/tmp");
    running = false;
    model->runConcluded(RunReport{});

    // A folder-pair session opens its panel instead; its folders stay put.
    model->SetConsolePanes(1);
    EXPECT_EQ(model->TaskPickFolder(FolderSide::Source).action, PickRequest::Action::FolderPairPanel);
    EXPECT_FALSE(model->dropPaths({"/usr"}, FolderSide::Source));
    EXPECT_EQ(model->openFolderClicked(FolderSide::Source, false, true), OpenClickResult::Nothing);
    // All Sessions accepts no drop and no pick.
    model->SetConsolePanes(3);
    EXPECT_FALSE(model->dropPaths({"/usr"}, FolderSide::Destination));
    EXPECT_EQ(model->TaskPickFolder(FolderSide::Source).action, PickRequest::Action::Nothing);
}

TEST_F(ConsoleModelTest, ARunTakesTheConsoleAndGivesItBackWithTheReport)
{
    open({sessionWith(Backup, {{"topFolder", "/a"}, {"bottomFolder", "/b"}})}, 0);
    int changes = 0;
    QObject::connect(model.get(), &ConsoleModel::changed, [&] { ++changes; });

    model->runStarted();
    EXPECT_EQ(v().execute.title, "Stop");
    EXPECT_EQ(v().comment, QString::fromUtf8("Scanning Folders…"));
    EXPECT_TRUE(v().progress.visible);
    EXPECT_TRUE(v().progress.indeterminate);
    EXPECT_FALSE(v().menuEnabled);
    EXPECT_FALSE(v().sourceControls.pickEnabled);
    EXPECT_FALSE(v().option(OptionButton::Timer).enabled);

    model->copyStarted(10);
    EXPECT_FALSE(v().progress.indeterminate);
    EXPECT_EQ(v().progress.maximum, 10);
    model->setItemsProgress(3, 10);
    EXPECT_EQ(v().comment, "Items to do: 7");
    EXPECT_EQ(v().progress.value, 3);
    model->ShowMainFolderInConsole("/x", "/y");
    EXPECT_EQ(v().source.text, "/x");
    model->setCurrentItem(4, "/x/f", "/y/f");
    EXPECT_EQ(v().drawer.label, "Replacing:");
    model->DisplayExactSyncToConsole();
    EXPECT_EQ(v().comment, QString::fromUtf8("Creating Exact Sync Index…"));
    EXPECT_TRUE(v().progress.indeterminate);

    RunReport report;
    report.task = Backup;
    report.sourceFolder = "/a";
    report.destFolder = "/b";
    report.destFilesCopied = 7;
    model->runConcluded(report);
    EXPECT_EQ(v().source.text, "/a");
    EXPECT_EQ(v().execute.title, "Backup");
    EXPECT_EQ(v().comment, QString::fromUtf8("• /a: 0\r• /b: 7\r• Errors: 0"));
    EXPECT_FALSE(v().progress.visible);
    EXPECT_TRUE(v().menuEnabled);
    EXPECT_TRUE(v().sourceControls.openEnabled);
    EXPECT_EQ(v().drawer.label, "Processing item:");
    EXPECT_EQ(changes, 7); // every step told the widgets
}

TEST_F(ConsoleModelTest, TheCountdownHoldsTheConsoleUntilCancelled)
{
    open({sessionWith(Sync, {})}, 0);
    model->syncAndQuitCountdown(10);
    model->syncAndQuitCountdown(9);
    EXPECT_EQ(v().comment, "Starting Sync And Quit in 9 seconds...");
    EXPECT_EQ(v().execute.title, "Stop");
    EXPECT_FALSE(v().sourceControls.pickEnabled);
    model->syncAndQuitCancelled();
    EXPECT_EQ(v().comment, "");
    EXPECT_EQ(v().execute.title, "Synchronize");
    EXPECT_TRUE(v().sourceControls.pickEnabled);
}

TEST_F(ConsoleModelTest, TheDrawerTogglesAndSizesOnlyPlainFolders)
{
    kinds["/f"] = PathKind::Folder;
    kinds["/p.app"] = PathKind::Package;
    kinds["/t"] = PathKind::File;
    open({sessionWith(Sync, {})}, 0);
    EXPECT_EQ(v().drawer.triangleImage, "TriangleRight_Up");
    model->ToggleDrawer();
    EXPECT_TRUE(v().drawer.open);
    EXPECT_EQ(v().drawer.triangleImage, "TriangleDown_Up");
    const std::pair<const char *, bool> items[] = {{"/f", true}, {"/p.app", false}, {"/t", false}, {"", false}};
    for (const auto &[path, sized] : items) {
        model->setCurrentItem(2, path, "/d");
        EXPECT_EQ(model->drawerItemNeedsSize(), sized) << path;
        EXPECT_EQ(v().drawer.size, "--");
    }
    model->setDrawerSize(1025);
    EXPECT_EQ(v().drawer.size, "1 KB");
    model->ToggleDrawer();
    EXPECT_EQ(v().drawer.triangleImage, "TriangleRight_Up");
}

TEST_F(ConsoleModelTest, FollowsTheRunsFeedbackInOrder)
{
    open({sessionWith(Backup, {{"topFolder", "/a"}, {"bottomFolder", "/b"}}),
          sessionWith(Sync, {{"multiOn", 1}, {"multiArray", pairs(1)}})},
         0);
    RunFeedback feedback;
    model->followFeedback(feedback);

    feedback.countdownTick(7);
    EXPECT_EQ(v().comment, "Starting Sync And Quit in 7 seconds...");
    EXPECT_EQ(v().execute.title, "Stop");
    feedback.runBegins(RunTrigger::SyncAndQuit);
    EXPECT_FALSE(v().sourceControls.pickEnabled);

    feedback.postProgress(4, 10);
    feedback.postCurrentItem(6, "/a/x", "");
    feedback.postTask(1, "/s0", "/d0"); // a folder-pair task of session 1
    feedback.postPhase(RunFeedback::Phase::WritingIndex);
    const QDeadlineTimer deadline(5000);
    while (v().comment != QString::fromUtf8("Creating Exact Sync Index…") && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(v().comment, QString::fromUtf8("Creating Exact Sync Index…"));
    EXPECT_TRUE(v().progress.indeterminate);
    EXPECT_EQ(v().progress.value, 4);
    EXPECT_EQ(v().drawer.label, "Deleting:");
    EXPECT_EQ(v().drawer.destination, "");
    EXPECT_EQ(v().source.text, "/s0");
    EXPECT_EQ(v().arrowImage, "OrangeArrow");

    // Stopped in the preview: no report, the console is given back all the same.
    feedback.runEnds();
    EXPECT_EQ(v().execute.title, "Backup");
    EXPECT_EQ(v().source.text, "/a");
    EXPECT_TRUE(v().sourceControls.pickEnabled);
}
