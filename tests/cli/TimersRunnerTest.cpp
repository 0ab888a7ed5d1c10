#include "app/SessionDocument.h"
#include "schedule/TimerRow.h"
#include "support/TempHome.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
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
    QFile f(a.filePath("note.txt"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("timed");
    f.close();

    QVariantMap doc = SessionDocument::NewTemplate();
    QVariantList sessions = doc.value("sessionsArray").toList();
    QVariantMap s = sessions[1].toMap(); // the backup session
    s["topFolder"] = a.path();
    s["bottomFolder"] = b.path();
    QVariantList timers = s.value("timerArray").toList();
    const QDateTime now = QDateTime::currentDateTime();
    TimerRow row = TimerRow::fromRecord(TimerRow::defaultRecord(now));
    row.valid = true;
    row.onOff = true;
    row.start = QDateTime(now.date(), QTime(now.time().hour(), now.time().minute()));
    timers[0] = row.toRecord();
    s["timerArray"] = timers;
    s["timerOn"] = 1;
    sessions[1] = s;
    doc["sessionsArray"] = sessions;
    doc["sessionIndex"] = 1;
    const QString path = home.path() + "/timed.qmy";
    ASSERT_TRUE(SessionDocument::WriteFileSession(&doc, path, QString()).ok);

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
