#include "app/AppController.h"
#include "app/SessionDocument.h"
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

struct ControllerTest : ::testing::Test {
    qmtest::TempHome home;
    QTemporaryDir dir;
    QString a, b;
    UnattendedRunQuestions questions;
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

} // namespace

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
