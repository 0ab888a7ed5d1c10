#include "support/Documents.h"
#include "schedule/TimerRow.h"
#include "support/Files.h"
#include "support/TempHome.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>

using namespace qm;

// A timer due now starts a real run of its session; a stop request then ends
// the program normally.
TEST(TimersRunner, ADueTimerRunsItsSessionUntilStopped)
{
    qmtest::TempHome home;
    QTemporaryDir a, b;
    ASSERT_TRUE(qmtest::writeBytes(a.filePath("note.txt"), "timed"));
    QVariantList timers = qmtest::templateSession(1).value("timerArray").toList(); // the backup session
    const QDateTime now = QDateTime::currentDateTime();
    TimerRow row = TimerRow::fromRecord(TimerRow::defaultRecord(now));
    row.valid = true;
    row.onOff = true;
    row.start = QDateTime(now.date(), QTime(now.time().hour(), now.time().minute()));
    timers[0] = row.toRecord();
    const QString path = qmtest::writeSession(home.path() + "/timed.qmy", 1,
        {{"topFolder", a.path()}, {"bottomFolder", b.path()}, {"timerArray", timers}, {"timerOn", 1}});
    ASSERT_FALSE(path.isEmpty());

    QProcess p;
    p.start(QStringLiteral(QM_EXECUTABLE), {"--timers", path});
    ASSERT_TRUE(p.waitForStarted());
    QElapsedTimer waited;
    waited.start();
    while (!QFileInfo::exists(b.filePath("note.txt")) && waited.elapsed() < 30000)
        QThread::msleep(100);
    EXPECT_TRUE(QFileInfo::exists(b.filePath("note.txt"))) << p.readAllStandardError().toStdString();
    // Let the run conclude, then stop the program.
    QThread::msleep(500);
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(QString::fromLocal8Bit(p.readAllStandardOutput()).contains(a.path()));
}
