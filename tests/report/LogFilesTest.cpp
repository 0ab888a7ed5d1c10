// Log files on a real disk: what is written, where, and what pruning removes.
#include "report/LogFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "report/QStringPrinter.h"
#include "support/Files.h"

#include <gtest/gtest.h>

using namespace qm;
using qmtest::bytesOf;
using qmtest::writeBytes;

namespace {

const QString kLog = QStringLiteral("• Task: executed by the timer list\r\r"
                                    "\tStart at: Saturday - 14:05:09\r"
                                    "√ Can't copy \"/home/ada/写真/{a}\\b.jpg\" 🙂\r"
                                    "…………\r");

// Longer than three pieces of the writers, with a character outside the first
// plane across the end of the first piece and escapes all along.
QString longLog()
{
    QString log;
    for (int i = 0; log.size() < 65535; ++i)
        log += QStringLiteral("√ Can't copy \"/home/ada/写真/{%1}.jpg\"\r").arg(i);
    log.truncate(65535);
    log += QStringLiteral("🙂\r");
    for (int i = 0; log.size() < 3 * 65536 + 100; ++i)
        log += QStringLiteral("\tCopied \"/home/ada/相片/%1.jpg\"\r").arg(i);
    return log;
}

const QString kLongLog = longLog();

QVariantMap savePrefs(const QString &folder, int format)
{
    return {{"prefSaveLogFile", 1LL},   {"prefSaveLogFileWhen", 1LL}, {"prefLogFileFormat", qlonglong(format)},
            {"prefPathLogFolder", folder}, {"prefDeleteLogsOn", 0LL}, {"prefDeleteLogsPop", 0LL},
            {"prefDeleteLogsField", 7LL}};
}

LogSaveRequest request(const QString &supportFolder, int format = 2, const QString &log = kLog)
{
    return {log, format == 1 ? QStringLiteral("QMLog_2026_03_07_14_05_09.rtf") : QStringLiteral("QMLog_2026_03_07_14_05_09.txt"),
            0, supportFolder};
}

// The text an HTML conversion shows: tags dropped except line breaks,
// entities decoded, surrogate pairs joined, no-break spaces as spaces.
QString textOfHtml(QString html)
{
    html = html.mid(std::max<qsizetype>(0, html.indexOf(QStringLiteral("<body>"))));
    html.remove(u'\n').replace(QStringLiteral("<br>"), QStringLiteral("\r"));
    html.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    for (const auto &[entity, text] : QList<std::pair<QString, QString>>{
             {"&bull;", "•"}, {"&hellip;", "…"}, {"&radic;", "√"}, {"&nbsp;", " "}, {"&quot;", "\""}, {"&lt;", "<"},
             {"&gt;", ">"}})
        html.replace(entity, text);
    const QRegularExpression numeric(QStringLiteral("&#(\\d+);"));
    QString text;
    qsizetype at = 0;
    for (auto it = numeric.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        text += QStringView(html).mid(at, m.capturedStart() - at);
        text += QChar(char16_t(m.captured(1).toUInt()));
        at = m.capturedEnd();
    }
    text += QStringView(html).mid(at);
    return text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
}

QString touch(const QDir &dir, const QString &name, const QDateTime &modified)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    // Flushed first: a later flush would move the modification time again.
    EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write("x") == 1 && f.flush()
                && f.setFileTime(modified, QFileDevice::FileModificationTime))
        << name.toStdString();
    return path;
}

QStringList names(const QDir &dir)
{
    QStringList n = dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    n.sort();
    return n;
}

} // namespace

TEST(LogFiles, FileNamesFollowTheStartTimeAndOnlyOurPatternCounts)
{
    const QDateTime start(QDate(2009, 3, 7), QTime(14, 5, 9));
    EXPECT_EQ(logFileName(start, 1), QStringLiteral("QMLog_2009_03_07_14_05_09.rtf"));
    EXPECT_EQ(logFileName(start, 0), QStringLiteral("QMLog_2009_03_07_14_05_09.txt"));
    EXPECT_TRUE(isLogFileName("QMLog_2009_03_07_14_05_09.txt"));
    for (const char *other : {"QMLog_", "QMLog_notes.txt", "QMLog_2009_03_07_14_05_09.txt.bak",
                              "qmlog_2009_03_07_14_05_09.txt", "QMLog_2009_03_07_14_05_09.doc"})
        EXPECT_FALSE(isLogFileName(other)) << other;
}

TEST(LogFiles, RichTextFileGivesTheSameTextBackThroughARealConverter)
{
    const QString unrtf = QStandardPaths::findExecutable("unrtf");
    if (unrtf.isEmpty())
        GTEST_SKIP() << "unrtf is not installed (Debian package unrtf)";
    for (const QString &log : {kLog, kLongLog}) {
        QTemporaryDir dir;
        const LogSaveResult r = SaveLogFileToDisk(savePrefs(dir.path(), 1), request(dir.path(), 1, log));
        ASSERT_TRUE(r.saved());
        EXPECT_TRUE(r.path.endsWith(".rtf"));
        const QByteArray rtf = bytesOf(r.path);
        EXPECT_TRUE(rtf.startsWith("{\\rtf1"));
        for (char c : rtf) // every character outside ASCII travels as an escape
            ASSERT_LT(uchar(c), 0x80);

        QProcess p;
        p.start(unrtf, {"--html", r.path});
        ASSERT_TRUE(p.waitForFinished(30000));
        ASSERT_EQ(p.exitCode(), 0);
        QString expected = log;
        expected.replace(u'\t', QString(8, u' ')); // the converter writes a tab as eight spaces
        const QString back = textOfHtml(QString::fromUtf8(p.readAllStandardOutput()));
        EXPECT_EQ(back.size(), expected.size());
        const auto differs = std::mismatch(back.begin(), back.end(), expected.begin(), expected.end()).first;
        EXPECT_TRUE(back == expected) << "the text differs from character " << differs - back.begin();
    }
}

TEST(LogFiles, PlainTextFileIsTheUnchangedLogInUtf8)
{
    for (const QString &log : {kLog, kLongLog}) {
        QTemporaryDir dir;
        const QString folder = dir.filePath("logs/of/mine");
        const LogSaveResult r = SaveLogFileToDisk(savePrefs(folder, 2), request(dir.path(), 2, log));
        ASSERT_TRUE(r.saved()); // missing folders are made with their parents
        EXPECT_EQ(r.path, folder + "/QMLog_2026_03_07_14_05_09.txt");
        EXPECT_TRUE(bytesOf(r.path) == log.toUtf8()) << "the text differs";
        EXPECT_TRUE(r.newLogFolder.isEmpty());
    }
}

TEST(LogFiles, NothingIsWrittenWhenThePreferencesDoNotAskForIt)
{
    QTemporaryDir dir;
    QVariantMap prefs = savePrefs(dir.path(), 2);
    prefs["prefSaveLogFileWhen"] = 2LL; // only on errors, and the run had none
    EXPECT_EQ(SaveLogFileToDisk(prefs, request(dir.path())).status, LogSaveStatus::NotRequested);
    prefs["prefSaveLogFileWhen"] = 1LL;
    prefs["prefSaveLogFile"] = 0LL;
    EXPECT_EQ(SaveLogFileToDisk(prefs, request(dir.path())).status, LogSaveStatus::NotRequested);
    prefs["prefSaveLogFile"] = 1LL;
    prefs["prefPathLogFolder"] = QString();
    EXPECT_EQ(SaveLogFileToDisk(prefs, request(dir.path())).status, LogSaveStatus::NoFolder);
    EXPECT_TRUE(names(QDir(dir.path())).isEmpty());
}

TEST(LogFiles, AFileAtTheLogFolderPathIsKeptAndReported)
{
    QTemporaryDir dir;
    const QString occupied = dir.filePath("Logs");
    ASSERT_TRUE(writeBytes(occupied, "the user's own file"));
    const LogSaveResult r = SaveLogFileToDisk(savePrefs(occupied, 2), request(dir.filePath("support")));
    EXPECT_EQ(r.status, LogSaveStatus::FolderError);
    EXPECT_EQ(r.errorText, "Can't save the log file inside the log folder because the log folder \"" + occupied
                               + "\" really is undeletable file");
    EXPECT_EQ(bytesOf(occupied), QByteArray("the user's own file"));
}

TEST(LogFiles, AnUncreatableFolderFallsBackToLogFilesInTheSupportFolder)
{
    QTemporaryDir dir;
    const QString blocker = dir.filePath("plain-file");
    QFile(blocker).open(QIODevice::WriteOnly);
    const QString support = dir.filePath("support");
    const LogSaveResult r = SaveLogFileToDisk(savePrefs(blocker + "/Logs", 2), request(support));
    ASSERT_TRUE(r.saved());
    EXPECT_EQ(r.newLogFolder, support + "/Log Files");
    EXPECT_EQ(bytesOf(support + "/Log Files/QMLog_2026_03_07_14_05_09.txt"), kLog.toUtf8());

    // With the fallback unusable as well, the run gets the message and no file.
    const LogSaveResult none = SaveLogFileToDisk(savePrefs(blocker + "/Logs", 2), request(blocker + "/support"));
    EXPECT_EQ(none.status, LogSaveStatus::FolderError);
    EXPECT_EQ(none.errorText,
              "Can't save the log file because I can't create the folder \"" + blocker + "/support/Log Files\"");
}

TEST(LogFiles, AFailedWriteIsNotASaveAndPrunesNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("QMLog_2026_03_07_14_05_09.txt")); // the name is taken by a folder
    const QString old = touch(QDir(dir.path()), "QMLog_2000_01_01_00_00_00.txt", QDateTime::currentDateTime().addYears(-20));
    QVariantMap prefs = savePrefs(dir.path(), 2);
    prefs["prefDeleteLogsOn"] = 1LL;
    const LogSaveResult r = SaveLogFileToDisk(prefs, request(dir.path()));
    EXPECT_EQ(r.status, LogSaveStatus::WriteFailed);
    EXPECT_FALSE(r.errorText.isEmpty());
    EXPECT_TRUE(QFile::exists(old));
}

TEST(LogFiles, PruningByAgeRemovesOnlyOurLogsOlderThanTheLimit)
{
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    const QDateTime now = QDateTime::currentDateTime();
    const qint64 week = 7 * 86400;
    touch(dir, "QMLog_2026_01_01_00_00_00.txt", now.addSecs(-week));      // exactly 7 days: stays
    touch(dir, "QMLog_2026_01_01_00_00_01.rtf", now.addSecs(-week - 1));  // 7 days and 1 s: goes
    touch(dir, "QMLog_2025_01_01_00_00_00.rtf", now.addSecs(-5 * week));  // goes
    touch(dir, "QMLog_2026_01_02_00_00_00.txt", now.addSecs(-3600));      // stays
    touch(dir, "QMLog_notes.txt", now.addYears(-3));                       // not a log of ours
    touch(dir, "holiday.jpg", now.addYears(-3));
    ASSERT_TRUE(dir.mkdir("QMLog_2001_01_01_00_00_00.txt")); // a folder, never removed

    EXPECT_EQ(RemoveLastLogFiles(dir.path(), 0, 7, now), 2);
    EXPECT_EQ(names(dir), QStringList({"QMLog_2001_01_01_00_00_00.txt", "QMLog_2026_01_01_00_00_00.txt",
                                       "QMLog_2026_01_02_00_00_00.txt", "QMLog_notes.txt", "holiday.jpg"}));
}

TEST(LogFiles, PruningByCountKeepsTheMostRecentLogsAndOddLimitsRemoveNothing)
{
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    const QDateTime now = QDateTime::currentDateTime();
    // Names out of date order: the modification date decides, not the name.
    touch(dir, "QMLog_2026_05_01_00_00_00.txt", now.addDays(-1));
    touch(dir, "QMLog_2026_04_01_00_00_00.txt", now.addDays(-50));
    touch(dir, "QMLog_2026_03_01_00_00_00.rtf", now.addDays(-2));
    touch(dir, "QMLog_2026_02_01_00_00_00.txt", now.addDays(-40));
    touch(dir, "QMLog_2026_01_01_00_00_00.txt", now.addDays(-3));
    touch(dir, "QMLog_2026_01_01_00_00_00.txt~", now.addDays(-90));
    touch(dir, "readme.txt", now.addDays(-90));

    EXPECT_EQ(RemoveLastLogFiles(dir.path(), 1, 3, now), 2);
    EXPECT_EQ(names(dir), QStringList({"QMLog_2026_01_01_00_00_00.txt", "QMLog_2026_01_01_00_00_00.txt~",
                                       "QMLog_2026_03_01_00_00_00.rtf", "QMLog_2026_05_01_00_00_00.txt",
                                       "readme.txt"}));
    EXPECT_EQ(RemoveLastLogFiles(dir.path(), 1, 3, now), 0); // already down to three
    // Unknown modes and limits below one remove nothing.
    for (const auto &[mode, limit] : {std::pair{2, 1}, {0, 0}, {1, -4}})
        EXPECT_EQ(RemoveLastLogFiles(dir.path(), mode, limit, now), 0) << mode << " " << limit;
    EXPECT_EQ(RemoveLastLogFiles(dir.filePath("missing"), 0, 1), 0);
    EXPECT_EQ(names(dir).size(), 5);
}

TEST(LogFiles, ASaveWithPruningOnKeepsTheNewLog)
{
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    const QDateTime now = QDateTime::currentDateTime();
    touch(dir, "QMLog_2026_03_06_00_00_00.txt", now.addSecs(-60));
    touch(dir, "QMLog_2026_03_05_00_00_00.txt", now.addSecs(-120));
    QVariantMap prefs = savePrefs(dir.path(), 2);
    prefs["prefDeleteLogsOn"] = true; // a repaired file stores a boolean
    prefs["prefDeleteLogsPop"] = 1LL;
    prefs["prefDeleteLogsField"] = 1LL;
    const LogSaveResult r = SaveLogFileToDisk(prefs, request(dir.path()));
    ASSERT_TRUE(r.saved());
    EXPECT_EQ(r.pruned, 2);
    EXPECT_EQ(names(dir), QStringList({"QMLog_2026_03_07_14_05_09.txt"}));
}
