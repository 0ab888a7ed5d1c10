#include "support/Documents.h"
#include "cli/BatchOptions.h"
#include "cli/BatchRunner.h"
#include "support/Files.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

using namespace qm;
using namespace qmtest;

namespace {

struct Result {
    int status = -1;
    QString out, err;
};

Result runProgram(const QStringList &args, int timeoutMs = 60000)
{
    QProcess p;
    p.start(QStringLiteral(QM_EXECUTABLE), args);
    p.waitForFinished(timeoutMs);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLocal8Bit(p.readAllStandardOutput()), QString::fromLocal8Bit(p.readAllStandardError())};
}

// A document whose first session backs `source` up into `dest`.
QString backupDocument(const QString &path, const QString &source, const QString &dest)
{
    return writeSession(path, 0, {{"topFolder", source}, {"bottomFolder", dest}, {"settTask", 2}});
}

} // namespace

TEST(BatchOptions, ParsesAndRefuses)
{
    BatchOptions o = BatchOptions::parse({"--batch", "d.qmy", "--session", "2"});
    EXPECT_TRUE(o.error.isEmpty());
    EXPECT_EQ(o.mode, BatchOptions::Mode::Batch);
    EXPECT_EQ(o.sessions, BatchOptions::Sessions::One);
    EXPECT_EQ(o.sessionNumber, 2);
    EXPECT_EQ(BatchOptions::parse({"--batch", "d", "--all"}).sessions, BatchOptions::Sessions::All);
    for (const QStringList &bad : {QStringList{"--batch"}, QStringList{"--batch", "d", "--session", "0"},
                                   QStringList{"--batch", "d", "--session", "x"},
                                   QStringList{"--batch", "d", "--all", "--session", "1"},
                                   QStringList{"--frobnicate"}, QStringList{"--all"},
                                   QStringList{"--batch", "d", "extra.qmy"}, QStringList{"--batch", "d", "--defaults"}})
        EXPECT_FALSE(BatchOptions::parse(bad).error.isEmpty()) << bad.join(' ').toStdString();
    // The desktop program takes the documents the desktop shell hands over.
    const BatchOptions desktop = BatchOptions::parse({"--defaults", "a.qmy", "b.qmy"});
    EXPECT_TRUE(desktop.error.isEmpty());
    EXPECT_TRUE(desktop.defaults);
    EXPECT_EQ(desktop.documents, (QStringList{"a.qmy", "b.qmy"}));
}

TEST(BatchRunner, ExitStatusesOfThingsThatCannotStart)
{
    TempHome home;
    EXPECT_EQ(runProgram({"--help"}).status, 0);
    const Result version = runProgram({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.startsWith("Quillmere "));
    EXPECT_EQ(runProgram({"--bogus"}).status, 2);

    const Result missing = runProgram({"--batch", home.path() + "/none.qmy"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_FALSE(missing.err.trimmed().isEmpty());

    const QString damaged = home.writeFile("damaged.qmy", "<plist><dict><key>sessionsArray</key>");
    EXPECT_EQ(runProgram({"--batch", damaged}).status, 2);
    EXPECT_EQ(bytesOf(damaged), QByteArray("<plist><dict><key>sessionsArray</key>"));

    QTemporaryDir a, b;
    const QString doc = backupDocument(home.path() + "/doc.qmy", a.path(), b.path());
    ASSERT_FALSE(doc.isEmpty());
    EXPECT_EQ(runProgram({"--batch", doc, "--session", "3"}).status, 2);

    // A newer document is refused, said so, and left as it was.
    const QByteArray newer = bytesOf(doc).replace("<integer>354</integer>", "<integer>999</integer>");
    ASSERT_TRUE(writeBytes(doc, newer));
    const Result refused = runProgram({"--batch", doc});
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(refused.err.contains("higher version")) << refused.err.toStdString();
    EXPECT_EQ(bytesOf(doc), newer);

    // A start-up check that fails.
    qputenv("HOME", QByteArray("/nonexistent/home"));
    const Result noHome = runProgram({"--batch", doc});
    EXPECT_EQ(noHome.status, 2);
    EXPECT_TRUE(noHome.err.contains("Cannot run."));
}

TEST(BatchRunner, TerminateSignalStopsTheRunWithStatusOne)
{
    TempHome home;
    QTemporaryDir a, b;
    // Enough items that the scan is still going when the signal arrives.
    for (int d = 0; d < 60; ++d) {
        QDir().mkpath(a.filePath(QString::number(d)));
        for (int i = 0; i < 100; ++i)
            writeBytes(a.filePath(QStringLiteral("%1/%2").arg(d).arg(i)), QByteArray(1024, 'x'));
    }
    QProcess p;
    p.start(QStringLiteral(QM_EXECUTABLE), {"--batch", backupDocument(home.path() + "/doc.qmy", a.path(), b.path())});
    p.setReadChannel(QProcess::StandardError);
    ASSERT_TRUE(p.waitForStarted());
    // Wait for the run to be under way (its first status line), then stop it.
    ASSERT_TRUE(p.waitForReadyRead(20000));
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 1);
}

TEST(BatchRunner, BackupRunsAndPrintsItsLog)
{
    TempHome home;
    QTemporaryDir a, b;
    QDir().mkpath(a.filePath("sub"));
    ASSERT_TRUE(writeBytes(a.filePath("sub/file.txt"), "content"));
    const Result r = runProgram({"--batch", backupDocument(home.path() + "/doc.qmy", a.path(), b.path()),
                                 "--session", "1"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(bytesOf(b.filePath("sub/file.txt")), QByteArray("content"));
    EXPECT_FALSE(r.out.contains(u'\r'));
    EXPECT_TRUE(r.out.contains(a.path())) << r.out.toStdString();

    // A source that does not exist is a run error: status 1, nothing copied.
    const QString bad = backupDocument(home.path() + "/bad.qmy", a.path() + "/missing", b.path() + "/x");
    const Result failed = runProgram({"--batch", bad});
    EXPECT_EQ(failed.status, 1) << failed.out.toStdString();
    EXPECT_FALSE(QFileInfo::exists(b.path() + "/x"));
}

// A long log goes out in pieces; a character outside the first plane that
// falls on a piece boundary must still come out whole.
TEST(BatchLog, ALongLogIsPrintedWholeWithItsLineEnds)
{
    const QString wide = QString::fromUcs4(U"\U0001F4C1");
    QString log = QString(64 * 1024 - 1, u'a') + wide + QStringLiteral("\rnext line\r");
    log += QString(70 * 1024, u'b') + wide;
    FILE *out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    BatchRunner::printLog(log, out);
    std::rewind(out);
    QByteArray printed;
    char buffer[8192];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, out)) > 0;)
        printed.append(buffer, qsizetype(n));
    std::fclose(out);
    QString expected = log;
    expected.replace(u'\r', u'\n');
    EXPECT_EQ(printed, expected.toUtf8());
}
