#include "engine/Confirmation.h"
#include "engine/RunDriver.h"
#include "platform/Messages.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <thread>

using namespace qm;

namespace {

// Answers with the button at `answer` (0 = the default one) and records
// what was asked.
class ScriptedQuestions : public RunQuestions {
public:
    int answer = 0;
    QStringList titles, messages;
    QList<QStringList> buttons;
    std::function<bool(RunPlan &)> preview = [](RunPlan &) { return true; };
    int previews = 0;
    int beeps = 0;

    bool confirmRun(const RunConfirmation &c) override { return record(c.title, c.question, c.buttons) == 0; }
    ErrorChoice errorAlert(const ErrorAlert &a) override
    {
        return record(a.title, a.message, a.buttons) == 0 ? ErrorChoice::Continue : ErrorChoice::Stop;
    }
    ConflictReply askConflict(const ConflictQuestion &) override { return {}; }
    bool showPreview(RunPlan &plan) override
    {
        ++previews;
        return preview(plan);
    }
    void beep() override { ++beeps; }

private:
    int record(const QString &title, const QString &message, const QStringList &b)
    {
        titles << title;
        messages << message;
        buttons << b;
        return answer;
    }
};

class FakeHost : public RunHost {
public:
    QVariantList sessions;
    int index = 0;
    QVariantMap prefs{{"prefOnError", 3}, {"prefLogKind", 2}};
    ScriptedQuestions asked;
    QStringList calls;
    bool timersOn = true;

    QVariantList sessionsArray() const override { return sessions; }
    int documentSessionIndex() const override { return index; }
    QVariantMap preferences() const override { return prefs; }
    RunQuestions &questions() override { return asked; }
    bool TimerSyncEnabled(bool enable) override
    {
        calls << (enable ? "timersOn" : "timersOff");
        const bool was = timersOn;
        timersOn = enable;
        return was;
    }
    void SaveLogFileToDisk(RunDriver &) override { calls << "saveLog"; }
    void runConcluded(RunDriver &) override { calls << "concluded"; }
    void SchedulingTimerDone(RunDriver &) override { calls << "timerDone"; }
    void terminateApplication() override { calls << "terminate"; }
};

// Scans `itemsPerTask` items per task, testing the stop flag before each,
// and reports an error at the item numbered `errorAt`.
class FakeStages : public RunStages {
public:
    int itemsPerTask = 3;
    int errorAt = -1;
    quint8 verdict = 1;
    std::atomic<int> scanned{0};
    std::atomic<bool> slow{false};
    QList<QPair<int, int>> copied;
    bool errorAnswer = true;

    void resetPlan(RunDriver &) override { copied.clear(); scanned = 0; }
    quint8 ScanOneTask(RunDriver &run, int session, int task) override
    {
        CopyItem root;
        root.isTheRootOfTheTree = true;
        root.sessionIndex = session;
        root.taskIndex = task;
        run.plan().addTask(root);
        for (int i = 0; i < itemsPerTask && run.isCopying(); ++i) {
            if (slow)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ++scanned;
            ++run.counters().a.filesScanned;
            ++run.counters().itemsToDo;
            if (i == errorAt)
                errorAnswer = run.errors().reportRunError(QStringLiteral("Can't read"));
        }
        return verdict;
    }
    void MainCopy(RunDriver &run) override
    {
        const auto &sessions = run.records().logSessionArray;
        for (int sp = 0; sp < sessions.size(); ++sp) {
            run.PurgeBeforeScanAndCopyOneSession(sessions[sp].sessionIndex);
            for (int tp = 0; tp < sessions[sp].tasks.size(); ++tp) {
                run.PurgeBeforeCopyOneTask();
                if (run.isCopying()) {
                    copied << qMakePair(sessions[sp].sessionIndex, sessions[sp].tasks[tp].taskIndex);
                    ++run.counters().b.filesCopied;
                    run.detailedLogText() += QStringLiteral("Copied\r");
                }
                run.PurgeAfterCopyOneTask(sp, tp);
            }
            run.PurgeAfterCopyOneSession(sessions[sp].sessionIndex);
        }
    }
    QString MakeLog(RunDriver &) override { return QStringLiteral("log"); }
};

QVariantMap session(const QString &name, bool multi = false)
{
    QVariantMap s{{"sessionName", name}, {"topFolder", "/a"}, {"bottomFolder", "/b"}, {"settTask", 2}};
    if (multi) {
        s.insert("multiOn", 1);
        s.insert("multiArray", QVariantList{QVariantMap{{"onOff", 1}, {"source", "/s1"}, {"destination", "/d1"}},
                                            QVariantMap{{"onOff", 0}, {"source", "/s2"}, {"destination", "/d2"}},
                                            QVariantMap{{"onOff", 1}, {"source", ""}, {"destination", "/d3"}},
                                            QVariantMap{{"onOff", 1}, {"source", "/s4"}, {"destination", "/d4"}}});
    }
    return s;
}

bool waitFor(RunDriver &run, int ms = 10000)
{
    if (!run.isRunning())
        return true;
    QEventLoop loop;
    QObject::connect(&run.feedback(), &RunFeedback::runEnded, &loop, &QEventLoop::quit);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return !run.isRunning();
}

struct RunFixture : ::testing::Test {
    FakeHost host;
    FakeStages stages;
    void SetUp() override { host.sessions = {session("one"), session("two", true)}; }
    // A run that was started by `trigger` and has ended.
    std::unique_ptr<RunDriver> finishedRun(RunTrigger trigger)
    {
        auto run = std::make_unique<RunDriver>(host, stages);
        EXPECT_TRUE(run->startRun(trigger));
        EXPECT_TRUE(waitFor(*run));
        return run;
    }
};

} // namespace

TEST_F(RunFixture, StagesRunInOrderAndRecordsEveryTask)
{
    host.index = 3; // All Sessions with two sessions
    const auto run = finishedRun(RunTrigger::Timer);
    EXPECT_EQ(host.calls, (QStringList{"timersOff", "saveLog", "concluded", "timersOn", "timerDone"}));
    const RunRecords &r = run->records();
    ASSERT_EQ(r.logSessionArray.size(), 2);
    // The multiple list keeps only rows that are on and name both folders.
    ASSERT_EQ(r.logSessionArray[1].tasks.size(), 2);
    EXPECT_EQ(r.logSessionArray[1].tasks[1].sourceFolder, "/s4");
    EXPECT_EQ(r.logSessionArray[1].tasks[1].taskIndex, 1);
    EXPECT_EQ(r.logSessionArray[1].executiveMultiArray.size(), 2);
    EXPECT_EQ(stages.copied.size(), 3);
    // Scan and copy counters and log lines end up in the same task record.
    const TaskRunRecord &t = r.logSessionArray[0].tasks[0];
    EXPECT_EQ(t.counters.a.filesScanned, 3);
    EXPECT_EQ(t.counters.b.filesCopied, 1);
    EXPECT_EQ(t.detailedLogText, "Copied\r");
    EXPECT_EQ(run->plan().counters.globalItemsToDo, 9);
    EXPECT_EQ(r.log, "log");
    EXPECT_FALSE(run->isCopying());
}

TEST_F(RunFixture, ZeroVerdictOfTheLastTaskSkipsTheCopyButNotTheLog)
{
    stages.verdict = 0;
    const auto run = finishedRun(RunTrigger::Button);
    EXPECT_TRUE(stages.copied.isEmpty());
    EXPECT_TRUE(host.calls.contains("saveLog"));
    EXPECT_EQ(run->records().logSessionArray.size(), 1);
}

TEST_F(RunFixture, ErrorPolicyFollowsTheTrigger)
{
    stages.errorAt = 0;
    host.prefs["prefOnError"] = 3; // ask
    // A timer run never asks and goes on; the error is counted and logged.
    auto run = finishedRun(RunTrigger::Timer);
    EXPECT_TRUE(host.asked.messages.isEmpty());
    EXPECT_TRUE(stages.errorAnswer);
    EXPECT_EQ(run->records().globalError, 1);
    EXPECT_TRUE(run->records().logSessionArray[0].tasks[0].detailedLogText.startsWith("\u221A Can't read\r"));
    EXPECT_EQ(stages.copied.size(), 1);

    // From the button the user is asked; "Stop" ends the run as the user's stop.
    host.asked.answer = 1;
    run = finishedRun(RunTrigger::Button);
    ASSERT_EQ(host.asked.messages.size(), 1);
    EXPECT_EQ(host.asked.messages[0], "Can't read.\rWould you skip and continue?");
    EXPECT_EQ(host.asked.buttons[0], (QStringList{"Continue", "Stop"}));
    EXPECT_FALSE(stages.errorAnswer);
    EXPECT_TRUE(run->flags().userPressedStop);
    EXPECT_EQ(stages.scanned.load(), 1);
    EXPECT_TRUE(stages.copied.isEmpty());
    EXPECT_TRUE(host.calls.contains("saveLog"));

    host.asked.messages.clear();
    host.prefs["prefOnError"] = 1; // stop with an alert, not the user's stop
    run = finishedRun(RunTrigger::Button);
    ASSERT_EQ(host.asked.messages.size(), 1);
    EXPECT_EQ(host.asked.messages[0], "Can't read.\rThe process stopped.");
    EXPECT_FALSE(run->flags().userPressedStop);
    EXPECT_TRUE(stages.copied.isEmpty());
}

TEST(RunErrorsPolicy, CasesAndLogKinds)
{
    RunFlags flags;
    RunCounters counters;
    QString log;
    SessionSettings settings;
    RunTrigger trigger = RunTrigger::Button;
    ScriptedQuestions q;
    int pref = 2;
    RunErrors errors(RunErrors::Wiring{&flags, &counters, &log, &settings, &trigger, &q, nullptr,
                                       [&pref] { return pref; }});
    flags.isCopying = true;
    // Detailed log off: counted, not logged.
    EXPECT_TRUE(errors.reportRunError(QStringLiteral("e1")));
    EXPECT_EQ(counters.totError, 1);
    EXPECT_TRUE(log.isEmpty());
    settings.makeErrorsLog = true;
    EXPECT_TRUE(errors.reportRunError(QStringLiteral("e2")));
    EXPECT_EQ(log, "\u221A e2\r");
    // A forced case overrides the policy; an unknown policy stops silently.
    EXPECT_FALSE(errors.ManageTheError(QStringLiteral("x"), 7));
    EXPECT_TRUE(q.messages.isEmpty());
    EXPECT_FALSE(flags.isCopying);
    EXPECT_FALSE(flags.userPressedStop);
    flags.isCopying = true;
    pref = 1;
    EXPECT_TRUE(errors.ManageTheError(QStringLiteral("x"), PolicyContinue));
    // AddErrQuickly answers yes without asking outside button runs.
    trigger = RunTrigger::SyncAndQuit;
    errors.setErrString(QStringLiteral("quick"));
    EXPECT_TRUE(errors.AddErrQuickly(PolicyUseInForce));
    EXPECT_TRUE(q.messages.isEmpty());
    EXPECT_EQ(counters.totError, 3);
    EXPECT_EQ(RunErrors::policyInForce(RunTrigger::Timer, 1), PolicyContinue);
    EXPECT_EQ(RunErrors::policyInForce(RunTrigger::Button, 1), PolicyStop);
}

TEST_F(RunFixture, StopFromAnotherThreadEndsTheScanAndSkipsTheCopy)
{
    stages.itemsPerTask = 500;
    stages.slow = true;
    RunDriver run(host, stages);
    ASSERT_TRUE(run.startRun(RunTrigger::Button));
    EXPECT_FALSE(run.startRun(RunTrigger::Button)); // one run at a time
    std::thread stopper([&run] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        run.requestStop();
    });
    ASSERT_TRUE(waitFor(run));
    stopper.join();
    EXPECT_LT(stages.scanned.load(), 500);
    EXPECT_TRUE(stages.copied.isEmpty());
    EXPECT_TRUE(run.flags().userPressedStop);
    // The after-stages still ran: the task has its record and the log was saved.
    EXPECT_EQ(run.records().logSessionArray.size(), 1);
    EXPECT_TRUE(host.calls.contains("saveLog"));
}

TEST_F(RunFixture, SyncAndQuitCountsDownThenRunsAndQuits)
{
    qint64 now = 1000000;
    RunDriver run(host, stages);
    run.setClock([&now] { return now; });
    QList<int> shown;
    QObject::connect(&run.feedback(), &RunFeedback::countdownTicked, [&shown](int s) { shown << s; });
    run.PrepareToExecuteSyncAndQuit();
    for (int i = 1; i <= 10; ++i) {
        now += 1000;
        run.ExecuteSyncAndQuit();
    }
    EXPECT_EQ(shown, (QList<int>{10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));
    ASSERT_TRUE(waitFor(run));
    EXPECT_TRUE(host.calls.contains("terminate"));

    // The button during the countdown cancels it and starts nothing.
    host.calls.clear();
    RunDriver second(host, stages);
    second.PrepareToExecuteSyncAndQuit();
    second.TaskExecuteSyncOrBackup();
    EXPECT_FALSE(second.isRunning());
    EXPECT_FALSE(second.flags().isStartingSyncAndQuit);
    EXPECT_TRUE(host.calls.isEmpty());
}

TEST_F(RunFixture, UserStoppedSyncAndQuitStaysOpen)
{
    stages.itemsPerTask = 500;
    stages.slow = true;
    qint64 now = 0;
    RunDriver run(host, stages);
    run.setClock([&now] { return now; });
    run.PrepareToExecuteSyncAndQuit();
    now = 10000;
    run.ExecuteSyncAndQuit();
    ASSERT_TRUE(run.isRunning());
    QTimer::singleShot(50, [&run] { run.TaskExecuteSyncOrBackup(); }); // the Stop button
    ASSERT_TRUE(waitFor(run));
    EXPECT_FALSE(host.calls.contains("terminate"));
}

TEST(Confirmation, QuestionTexts)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("Photos");
    QDir().mkpath(src);
    ConfirmationRequest r;
    r.session = QVariantMap{{"settTask", 2}, {"topFolder", src}, {"bottomFolder", "/media/disk/Backup/"}};
    EXPECT_EQ(confirmationQuestion(r),
              "Are you sure you want to backup the folder \"Photos\" to the folder \"Backup\"?");
    r.session["settTask"] = 1;
    r.session["settExact"] = 1;
    EXPECT_EQ(confirmationQuestion(r),
              "Are you sure you want to synchronize exactly the folder \"Photos\" with the folder \"Backup\"?");
    r.session["multiOn"] = 1;
    EXPECT_EQ(confirmationQuestion(r), "Are you sure you want to synchronize exactly from the multiple list?");
    r.allSessions = true;
    EXPECT_EQ(confirmationQuestion(r), "Are you sure you want to execute the tasks defined in all the sessions?");
    r.prefAskConfirmation = 0;
    EXPECT_TRUE(confirmationQuestion(r).isEmpty()) << "the preference is off";
    r.prefAskConfirmation = 1;
    r.executedBy = RunTrigger::Timer;
    EXPECT_TRUE(confirmationQuestion(r).isEmpty()) << "nobody is there to answer";

    r.executedBy = RunTrigger::Button;
    ScriptedQuestions q;
    q.answer = 1; // Cancel
    EXPECT_FALSE(AreYouSure(r, q));
    EXPECT_EQ(q.titles, QStringList{"Starting task:"});
    EXPECT_EQ(q.buttons[0], (QStringList{"OK", "Cancel"}));
}

// A stage that reaches the host from the worker is a fault caught at once,
// not a race with the windows.
TEST(RunDriverDeathTest, TheHostIsRefusedOutsideTheMainThread)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct HostFromWorker : FakeStages {
        quint8 ScanOneTask(RunDriver &run, int, int) override
        {
            (void)run.host().preferences();
            return 1;
        }
    };
    EXPECT_DEATH(
        {
            FakeHost host;
            host.sessions = {session("one")};
            HostFromWorker stages;
            RunDriver run(host, stages);
            run.startRun(RunTrigger::Timer);
            waitFor(run);
        },
        "outside the main thread");
}

TEST_F(RunFixture, ThePreviewSeesThePlanAndItsStopAbandonsTheRun)
{
    host.prefs["prefPreview"] = 1;
    int tasksSeen = -1;
    host.asked.preview = [&tasksSeen](RunPlan &plan) {
        tasksSeen = plan.taskCount();
        return false; // Stop
    };
    const auto run = finishedRun(RunTrigger::Button);
    EXPECT_EQ(tasksSeen, 1);
    EXPECT_TRUE(stages.copied.isEmpty());
    EXPECT_TRUE(run->records().abandonedInPreview);
    EXPECT_TRUE(run->flags().userPressedStop);
    EXPECT_FALSE(host.calls.contains("saveLog")) << "no log for a run abandoned in the preview";
    EXPECT_TRUE(host.calls.contains("concluded"));

    // Unattended runs never show it.
    host.asked.previews = 0;
    finishedRun(RunTrigger::Timer);
    EXPECT_EQ(host.asked.previews, 0);
}
