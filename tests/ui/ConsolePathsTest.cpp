// Whole paths through the real windows, offscreen, with scripted boxes.
#include "ui/UiFixture.h"

#include "engine/RunStages.h"
#include "support/Documents.h"
#include "support/Files.h"
#include "ui/ConsolePanel.h"
#include "uimodel/MenuEnabling.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>

namespace qm {
namespace {

using qmtest::DesktopFixture;
using qmtest::waitFor;

// A run whose scan lasts until it is stopped, and that records whether the
// copy stage was reached.
class StagesThatWait : public RunStages {
public:
    std::atomic<bool> scanning{false};
    std::atomic<bool> copied{false};
    bool waitInScan = true;

    void resetPlan(RunDriver &) override {}
    quint8 ScanOneTask(RunDriver &run, int, int) override
    {
        scanning = true;
        while (waitInScan && run.isCopying())
            QThread::msleep(5);
        return 1;
    }
    void MainCopy(RunDriver &) override { copied = true; }
    QString MakeLog(RunDriver &) override { return QStringLiteral("log"); }
};

TEST(ConsolePaths, PickTwoFoldersThroughThePanelsBackUpAndReadTheReport)
{
    DesktopFixture f;
    const QString source = f.home.writeFile("src/a.txt", "alpha");
    f.home.writeFile("src/inner/b.txt", "beta");
    const QString dest = f.home.path() + "/dest";
    QDir().mkpath(dest);
    f.app().launch(LaunchOptions{{}, 0});
    ConsoleWindow &w = f.window();
    ConsolePanel *console = w.consolePanel();

    w.chooseSession(1, false); // the template's backup session
    EXPECT_EQ(console->executeButton()->text(), QStringLiteral("Backup"));
    f.dialogs.items << QFileInfo(source).path() << dest;
    QTest::mouseClick(console->pickButton(ConsolePanel::Source), Qt::LeftButton);
    QTest::mouseClick(console->pickButton(ConsolePanel::Destination), Qt::LeftButton);
    EXPECT_EQ(f.dialogs.itemPanelTitles,
              (QStringList{"Choose the source Folder", "Choose the destination Folder"}));
    EXPECT_EQ(console->folderFieldText(ConsolePanel::Destination).isEmpty(), false);

    QSignalSpy finished(&f.app().controller().feedback(), &RunFeedback::runEnded);
    QTest::mouseClick(console->executeButton(), Qt::LeftButton);
    ASSERT_TRUE(finished.wait(30000));

    ASSERT_FALSE(f.dialogs.alerts.isEmpty());
    EXPECT_EQ(f.dialogs.alerts.first().title, QStringLiteral("Starting task:"));
    EXPECT_EQ(qmtest::bytesOf(dest + "/a.txt"), QByteArray("alpha"));
    EXPECT_EQ(qmtest::bytesOf(dest + "/inner/b.txt"), QByteArray("beta"));
    const QString report = console->comment();
    EXPECT_TRUE(report.contains(QStringLiteral("Errors: 0"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral(": 2"))) << report.toStdString(); // two files onto the destination
    EXPECT_EQ(console->executeButton()->text(), QStringLiteral("Backup"));
    EXPECT_TRUE(w.action(OpenTag)->isEnabled());
}

TEST(ConsolePaths, StopDuringARunEndsItBeforeTheCopyAndGivesTheConsoleBack)
{
    auto stages = std::make_unique<StagesThatWait>();
    StagesThatWait &spy = *stages;
    DesktopFixture f({{"prefAskConfirmation", 0}}, std::move(stages));
    f.app().launch(LaunchOptions{{}, 0});
    ConsoleWindow &w = f.window();
    ConsolePanel *console = w.consolePanel();
    RunDriver &run = f.app().controller().run();
    QSignalSpy finished(&f.app().controller().feedback(), &RunFeedback::runEnded);

    QTest::mouseClick(console->executeButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return spy.scanning.load(); }));
    // While the run goes on, the document and the session stay as they are.
    EXPECT_EQ(console->executeButton()->text(), QStringLiteral("Stop"));
    EXPECT_FALSE(w.action(NewTag)->isEnabled());
    EXPECT_FALSE(w.sessionPopup()->isEnabled());
    EXPECT_FALSE(console->pickButton(ConsolePanel::Source)->isEnabled());

    QTest::mouseClick(console->executeButton(), Qt::LeftButton);
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_TRUE(run.flags().userPressedStop);
    EXPECT_FALSE(spy.copied.load());
    EXPECT_EQ(console->executeButton()->text(), QStringLiteral("Synchronize"));
    EXPECT_TRUE(w.sessionPopup()->isEnabled());
    EXPECT_TRUE(w.action(NewTag)->isEnabled());
}

TEST(ConsolePaths, SyncAndQuitCountsDownRunsAndQuitsWithTheTemplateWritten)
{
    auto stages = std::make_unique<StagesThatWait>();
    stages->waitInScan = false;
    StagesThatWait &spy = *stages;
    DesktopFixture f({{"prefSyncAndQuit", 1}}, std::move(stages));
    // The countdown's clock jumps ten seconds at each look: the first tick runs.
    qint64 now = 0;
    f.app().controller().run().setClock([&now] { return (now += 10000) - 10000; });
    QSignalSpy quit(&f.app(), &DesktopApp::quitFinished);
    f.app().launch(LaunchOptions{{}, 0});
    EXPECT_TRUE(waitFor([&] {
        return f.window().consolePanel()->comment() == QStringLiteral("Starting Sync And Quit in 10 seconds...");
    }, 900));
    EXPECT_EQ(f.window().consolePanel()->executeButton()->text(), QStringLiteral("Stop"));

    ASSERT_TRUE(quit.wait(15000));
    EXPECT_TRUE(spy.scanning.load());
    EXPECT_TRUE(spy.copied.load());
    EXPECT_TRUE(QFileInfo::exists(f.app().controller().paths().templateFile));
    EXPECT_TRUE(f.dialogs.alerts.isEmpty()); // an unattended run asks nothing
}

TEST(ConsolePaths, ADamagedDocumentChosenToOpenIsExplainedAndTheOpenOneStays)
{
    DesktopFixture f;
    const QString good = qmtest::writeSession(f.home.path() + "/Work.qmy", 0, {{"sessionName", "Photos"}});
    ASSERT_FALSE(good.isEmpty());
    const QString damaged = f.home.writeFile("Damaged.qmy", "<plist><dict><key>sessionsArray</key>");
    f.app().launch(LaunchOptions{{good}, 0});
    ConsoleWindow &w = f.window();
    ASSERT_EQ(f.app().controller().documentPath(), good);

    f.dialogs.documents << damaged;
    w.action(OpenTag)->trigger();
    ASSERT_EQ(f.dialogs.alerts.size(), 1);
    EXPECT_EQ(f.dialogs.alerts.first().title, QStringLiteral("Warning:"));
    EXPECT_EQ(f.app().controller().documentPath(), good);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Work"));
    EXPECT_EQ(w.sessionPopup()->itemText(0), QStringLiteral("Photos"));
}

} // namespace
} // namespace qm
