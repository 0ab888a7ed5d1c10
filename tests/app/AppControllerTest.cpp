#include "app/AppController.h"
#include "app/SessionDocument.h"
#include "engine/ExactSyncIndex.h"
#include "schedule/Clock.h"
#include "schedule/TimerRow.h"
#include "support/Documents.h"
#include "support/Files.h"
#include "support/TempHome.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace qm;

namespace {

// Answers yes to everything; the preview is whatever the test makes it.
class PreviewQuestions : public UnattendedRunQuestions {
public:
    std::function<bool(RunPlan &)> preview = [](RunPlan &) { return true; };
    bool showPreview(RunPlan &plan) override { return preview(plan); }
};

// The planned item whose source or dest ends with `suffix`.
CopyItem *findItem(std::vector<CopyItem> &items, const QString &suffix, const SidePaths &parent = {},
                   SidePaths *paths = nullptr)
{
    for (CopyItem &item : items) {
        const SidePaths own = item.pathsIn(parent);
        if (own.source.endsWith(suffix) || own.dest.endsWith(suffix)) {
            if (paths)
                *paths = own;
            return &item;
        }
        if (CopyItem *found = findItem(item.subItems, suffix, own, paths))
            return found;
    }
    return nullptr;
}

// Switches a planned item off as the preview does: counters and the task's
// Exact Sync list kept in step.
void switchOff(RunPlan &plan, int task, CopyItem &item, const SidePaths &paths)
{
    const int mode = item.copyMode;
    plan.counters.add(mode, -1);
    ++plan.counters.itemsToDoSkip;
    if (mode >= CopyMode::CopyAToB)
        --plan.counters.globalItemsToDo;
    item.copyMode = -mode;
    AddOrRemoveItemToExactIndex(plan.addToExactIndex[size_t(task)], item, paths, 1);
}

struct ControllerTest : ::testing::Test {
    qmtest::TempHome home;
    QTemporaryDir dir;
    QString a, b;
    PreviewQuestions questions;
    TestClock clock{QDateTime::currentDateTime()};
    std::unique_ptr<AppController> controller;

    void SetUp() override
    {
        a = dir.filePath("A");
        b = dir.filePath("B");
        QDir().mkpath(a);
        QDir().mkpath(b);
    }

    // The controller with a document whose session 0 has `fields`, and
    // `current` as the document's session index.
    void start(const QVariantMap &fields, const QVariantMap &prefs = {}, int current = 0)
    {
        StartedApp app;
        ASSERT_TRUE(qmtest::startApp(&app));
        app.prefs.insert(QVariantMap{{"prefAskConfirmation", 0}});
        app.prefs.insert(prefs);
        controller = std::make_unique<AppController>(std::move(app), questions, nullptr, nullptr, &clock);
        const QString path = qmtest::writeSession(
            dir.filePath("doc.qmy"), 0, qmtest::merged({{"topFolder", a}, {"bottomFolder", b}}, fields), current);
        QString why;
        ASSERT_TRUE(controller->openDocument(path, &why)) << why.toStdString();
    }

    // Serves the main thread until the run under way has ended.
    bool waitForRun(int ms = 30000)
    {
        if (!controller->run().isRunning())
            return true;
        QEventLoop loop;
        QObject::connect(&controller->feedback(), &RunFeedback::runEnded, &loop, &QEventLoop::quit);
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
        return !controller->run().isRunning();
    }

    void executeButton()
    {
        controller->run().TaskExecuteSyncOrBackup();
        ASSERT_TRUE(waitForRun());
    }
};

const QVariantMap kExactSync{{"settTask", 1}, {"settExact", 1}};

} // namespace

// What the preview switches off is not carried out, and a deletion it
// refused stays in the Exact Sync index so that the next run proposes it
// again instead of copying the file back.
TEST_F(ControllerTest, ThePreviewEditsThePlanInPlaceAndTheCopyAndIndexFollowIt)
{
    ASSERT_TRUE(qmtest::writeBytes(a + "/x", "x"));
    ASSERT_TRUE(qmtest::writeBytes(a + "/y", "y"));
    start(kExactSync, {{"prefPreview", 1}});
    executeButton();
    ASSERT_TRUE(QFileInfo::exists(b + "/x"));

    QFile::remove(a + "/x");
    ASSERT_TRUE(qmtest::writeBytes(a + "/z", "z"));
    int deletionMode = 0;
    questions.preview = [&](RunPlan &plan) {
        EXPECT_EQ(plan.taskCount(), 1);
        SidePaths xPaths, zPaths;
        CopyItem *x = findItem(plan.itemsToCopy, "/x", {}, &xPaths);
        CopyItem *z = findItem(plan.itemsToCopy, "/z", {}, &zPaths);
        if (!x || !z)
            return ADD_FAILURE() << "x or z not planned", false;
        deletionMode = x->copyMode;
        EXPECT_EQ(z->copyMode, CopyMode::CopyAToB);
        switchOff(plan, 0, *x, xPaths);
        switchOff(plan, 0, *z, zPaths);
        EXPECT_EQ(plan.counters.globalItemsToDo, 0);
        return true;
    };
    executeButton();
    EXPECT_EQ(deletionMode, CopyMode::RemoveB);
    EXPECT_TRUE(QFileInfo::exists(b + "/x")) << "a deletion switched off is not carried out";
    EXPECT_FALSE(QFileInfo::exists(b + "/z")) << "a copy switched off is not carried out";
    const RunRecords &r = controller->run().records();
    ASSERT_EQ(r.logSessionArray.size(), 1);
    // The path recorded is the one gone from its side (A), kept in its tree.
    EXPECT_EQ(r.logSessionArray[0].tasks[0].addToExactIndexArray, QStringList{a + "/x"});

    int modeAgain = 0;
    questions.preview = [&](RunPlan &plan) {
        if (CopyItem *x = findItem(plan.itemsToCopy, "/x"))
            modeAgain = x->copyMode;
        return true;
    };
    executeButton();
    EXPECT_EQ(modeAgain, CopyMode::RemoveB) << "the refused deletion is proposed again";
    EXPECT_FALSE(QFileInfo::exists(a + "/x"));
    EXPECT_FALSE(QFileInfo::exists(b + "/x"));
    EXPECT_TRUE(QFileInfo::exists(b + "/z"));
}

// Mailing the log waits on a slow mail program; the windows must not.
TEST_F(ControllerTest, TheLogIsMailedOffTheMainThreadAndAFailureReachesTheReport)
{
    ASSERT_TRUE(qmtest::writeBytes(a + "/note", "n"));
    const QString sent = dir.filePath("sent.eml");
    const QString mailer = dir.filePath("slow-sendmail");
    ASSERT_TRUE(qmtest::writeBytes(mailer, ("#!/bin/sh\nsleep 1\ncat > '" + sent + "'\n").toUtf8()));
    QFile::setPermissions(mailer, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    start({{"settTask", 2}}, {{"prefSendEmail", 1}, {"prefSendEmailWhen", 1},
                              {"prefSendEmailAddress", "me@mail.test"}, {"prefSendEmailTransport", 1},
                              {"prefSendmailPath", mailer}});

    struct Cases {
        QString mailer;
        QString reportLine;
    };
    for (const Cases &c : {Cases{mailer, QString()}, Cases{"/bin/false", QStringLiteral("\r• Can't send email.")}}) {
        SCOPED_TRACE(c.mailer.toStdString());
        controller->prefs()["prefSendmailPath"] = c.mailer;
        QString lineAtReport = "not reported";
        auto reported = QObject::connect(controller.get(), &AppController::runReportReady,
                                         [&] { lineAtReport = controller->run().records().mailFailure; });
        QElapsedTimer sinceTick;
        sinceTick.start();
        qint64 longestGap = 0;
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] { longestGap = qMax(longestGap, sinceTick.restart()); });
        probe.start(10);
        executeButton();
        probe.stop();
        QObject::disconnect(reported);
        EXPECT_LT(longestGap, 300) << "the main thread's events waited " << longestGap << " ms";
        EXPECT_EQ(lineAtReport, c.reportLine);
    }
    EXPECT_TRUE(qmtest::bytesOf(sent).contains("Subject: Quillmere Log Message: OK"));
}

// The schedule lives in the controller: the check runs only while the
// console's main panel is shown, is off during a run, starts the due run as
// a timer run on its session and marks it done afterwards.
TEST_F(ControllerTest, TheControllersScheduleStartsADueTimerRunAndMarksItDone)
{
    ASSERT_TRUE(qmtest::writeBytes(a + "/timed", "t"));
    const QDateTime now = clock.now();
    TimerRow row = TimerRow::fromRecord(TimerRow::defaultRecord(now));
    row.valid = true;
    row.onOff = true;
    row.start = QDateTime(now.date(), QTime(now.time().hour(), now.time().minute()));
    QVariantList timers = qmtest::templateSession(0)["timerArray"].toList();
    timers[0] = row.toRecord();
    const int allSessions = SessionDocument::sessionCount(SessionDocument::NewTemplate()) + 1;
    start({{"settTask", 2}, {"timerOn", 1}, {"timerArray", timers}},
          {{"prefSaveLogFile", 1}, {"prefSaveLogFileWhen", 1}}, allSessions);

    ScheduleMonitor &schedule = controller->schedule();
    EXPECT_FALSE(schedule.isCheckEnabled()) << "no check before the console is shown";
    controller->setConsolePanelShown(true);
    EXPECT_TRUE(schedule.isCheckEnabled());
    ASSERT_EQ(schedule.schedule().size(), 1);
    controller->setConsolePanelShown(false);
    EXPECT_FALSE(schedule.isCheckEnabled()) << "another panel stops the check";
    schedule.checkIfTimeToSync();
    EXPECT_FALSE(controller->run().isRunning()) << "nothing starts while another panel is shown";
    controller->setConsolePanelShown(true);

    QList<int> moved;
    QObject::connect(&controller->feedback(), &RunFeedback::sessionMoved, [&](int s) { moved << s; });
    RunTrigger trigger = RunTrigger::None;
    QObject::connect(&controller->feedback(), &RunFeedback::runStarted, [&](RunTrigger t) { trigger = t; });
    bool checkDuringRun = true;
    QObject::connect(controller.get(), &AppController::runReportReady,
                     [&] { checkDuringRun = schedule.isCheckEnabled(); });
    schedule.checkIfTimeToSync();
    ASSERT_TRUE(controller->run().isRunning());
    ASSERT_TRUE(waitForRun());

    EXPECT_EQ(trigger, RunTrigger::Timer);
    EXPECT_EQ(moved, (QList<int>{0, allSessions})) << "to the timer's session, then back";
    EXPECT_TRUE(QFileInfo::exists(b + "/timed"));
    EXPECT_FALSE(checkDuringRun);
    EXPECT_TRUE(schedule.isCheckEnabled()) << "the check is back after the run";
    EXPECT_FALSE(schedule.isBlocked());
    const ScheduleEntry &entry = schedule.schedule().entries().at(0);
    EXPECT_EQ(entry.state, EntryState::Done);
    EXPECT_EQ(entry.errors, 0);
    EXPECT_EQ(entry.pathLogFile, controller->run().records().logPath);
    EXPECT_FALSE(entry.pathLogFile.isEmpty());

    // The schedule follows the session shown: one without timers stops the
    // check, All Sessions with a timer somewhere starts it again.
    ASSERT_TRUE(controller->setSessionIndex(1));
    EXPECT_FALSE(schedule.isCheckEnabled());
    EXPECT_EQ(schedule.toolTip(), "Go to the Timer panel");
    ASSERT_TRUE(controller->setSessionIndex(allSessions));
    EXPECT_TRUE(schedule.isCheckEnabled());
}
