#include "uimodel/ConsoleModel.h"
#include "uimodel/MenuEnabling.h"

#include "app/AppController.h"
#include "engine/RunFeedback.h"
#include "engine/RunQuestions.h"
#include "support/Documents.h"
#include "support/Files.h"
#include "support/TempHome.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace qm;

// The console driven by a real run: a backup pressed from the console takes
// the console, then gives it back with the report of what was copied.
TEST(ConsoleRun, ABackupShowsStopThenItsReport)
{
    qmtest::TempHome home;
    QTemporaryDir dir;
    const QString a = dir.filePath("A"), b = dir.filePath("B");
    ASSERT_TRUE(QDir().mkpath(a) && QDir().mkpath(b));
    for (const char *name : {"one", "two"})
        ASSERT_TRUE(qmtest::writeBytes(a + '/' + name, "data"));

    StartedApp app;
    ASSERT_TRUE(qmtest::startApp(&app));
    app.prefs.insert("prefAskConfirmation", 0);
    UnattendedRunQuestions questions;
    AppController controller(std::move(app), questions);

    const QString path = qmtest::writeSession(dir.filePath("doc.qmy"), 0,
                                              {{"topFolder", a}, {"bottomFolder", b}, {"settTask", 2}});
    QString why;
    ASSERT_TRUE(controller.openDocument(path, &why)) << why.toStdString();

    ConsoleModel console(controller.documents().document(), controller.prefs(),
                         ConsoleEnvironment::forController(controller));
    console.follow(controller);
    EXPECT_EQ(console.view().execute.title, "Backup");

    EXPECT_TRUE(isMenuItemEnabled(RevertTag, menuStateOf(controller, true, true)));
    bool sawStop = false, sawPanesOff = false, sawMenuOff = false;
    QObject::connect(&console, &ConsoleModel::changed, [&] {
        sawStop = sawStop || console.view().execute.title == "Stop";
        sawPanesOff = sawPanesOff || !console.view().sourceControls.pickEnabled;
        // Nothing that changes or replaces the document can be chosen meanwhile.
        const MenuState m = menuStateOf(controller, true, true);
        if (m.runUnderway)
            sawMenuOff = sawMenuOff || (!isMenuItemEnabled(OpenTag, m) && !isMenuItemEnabled(SettingsTag, m)
                                        && isMenuItemEnabled(ExecuteTag, m));
    });
    QEventLoop loop;
    QObject::connect(&controller.feedback(), &RunFeedback::runEnded, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    controller.run().TaskExecuteSyncOrBackup();
    loop.exec();
    ASSERT_FALSE(controller.run().isRunning());

    EXPECT_TRUE(sawStop);
    EXPECT_TRUE(sawPanesOff);
    EXPECT_TRUE(sawMenuOff);
    EXPECT_TRUE(isMenuItemEnabled(OpenTag, menuStateOf(controller, true, true)));
    EXPECT_TRUE(QFile::exists(b + "/one"));
    EXPECT_EQ(console.view().comment, QString::fromUtf8("• ") + a + ": 0\r• " + b + ": 2\r• Errors: 0");
    EXPECT_EQ(console.view().execute.title, "Backup");
    EXPECT_EQ(console.view().source.text, a);
    EXPECT_TRUE(console.view().sourceControls.pickEnabled);
    EXPECT_FALSE(console.view().progress.visible);
}
