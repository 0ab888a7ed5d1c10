// Whole logs of composed runs, compared byte for byte with texts written out
// by hand from the log's layout rules.
#include "report/HardwareAddress.h"
#include "report/LogLines.h"
#include "report/RunLog.h"

#include <QTemporaryDir>
#include <QFile>

#include "report/QStringPrinter.h"

#include <gtest/gtest.h>

using namespace qm;

namespace {

const QTimeZone kUtc = QTimeZone::utc();

QDateTime at(int y, int mo, int d, int h, int mi, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), kUtc);
}

LogStyle fixedStyle()
{
    LogStyle style;
    style.host = {QStringLiteral("Debian GNU/Linux 12 (bookworm)"), QStringLiteral("Linux 6.1.0"),
                  QStringLiteral("00.1A.2B.3C.4D.5E"), QStringLiteral("Ada Lovelace"), QStringLiteral("ada")};
    style.locale = QLocale(QLocale::English, QLocale::UnitedStates);
    style.zone = kUtc;
    return style;
}

QString rep(const char *s, int n) { return QString::fromUtf8(s).repeated(n); }

QString expectedFixedHeader()
{
    return rep("-", 105) + "\r"
        + QStringLiteral("• Quillmere Vell 3.6.1 - https://www.brantwick.example\r")
        + rep("-", 105) + "\r"
        + "\r"
        + QStringLiteral("• OS Info:\r\tMacOS X version: Debian GNU/Linux 12 (bookworm) (Build Linux 6.1.0)"
                         "\r\tMacAddress: 00.1A.2B.3C.4D.5E\r\tCurrent User: Ada Lovelace (ada)\r\r")
        + rep("|", 140) + "\r";
}

QVariantMap basePreferences()
{
    return {{"prefSyncAndQuit", 0LL}, {"prefAskConfirmation", 1LL}, {"prefPreview", 0LL}, {"prefBeepWhenDone", 0LL},
            {"prefShutDown", 0LL}, {"prefOnError", 3LL}, {"prefSaveLogFile", 1LL}, {"prefSaveLogFileWhen", 2LL},
            {"prefLogFileFormat", 1LL}, {"prefLogKind", 2LL}, {"prefPathLogFolder", "/home/ada/Logs"},
            {"prefSendEmail", 0LL}, {"prefSendEmailWhen", 2LL}, {"prefSendEmailAddress", "your.name@your-mail.example"}};
}

// A session record with every key a stored one has.
QVariantMap sessionRecord(const QString &name, int task)
{
    QVariantMap s{{"sessionName", name}, {"settTask", task}, {"settInvisibleItems", 1}, {"settLockedItems", 1},
                  {"conflictBackupRadio2", 1}, {"asStartText", "-- Write or paste here your AppleScript"},
                  {"asEndText", "-- Write or paste here your AppleScript"}};
    for (const char *off : {"settExact", "settResolveAlias", "settResolveSymLink", "settNewItemsOnly",
                            "settSkipEmptyFolders", "conflictBackupAsk", "conflictBackupAsk2", "conflictExactBackupAsk",
                            "conflictSyncAsk", "conflictExactSyncAsk", "timerOn", "multiOn", "filterOn", "excludeOn",
                            "asStartOn", "asEndOn"})
        s.insert(off, 0);
    for (const char *radio : {"conflictBackupRadio", "conflictExactBackupRadio", "conflictSyncRadio",
                              "conflictExactSyncRadio"})
        s.insert(radio, 2);
    return s;
}

// `days` holds the execute-on flags from Monday to Sunday.
QVariantMap timerRow(bool on, bool valid, const QDateTime &start, const char *days = "1111111")
{
    QVariantMap row{{"onOff", on ? 1 : 0}, {"valid", valid ? 1 : 0}, {"start", start},
                    {"intervalOn", 0}, {"endOn", 0}, {"endDateOn", 0}, {"end", start}};
    const char *names[] = {"onlyMonday", "onlyTuesday", "onlyWednesday", "onlyThursday", "onlyFriday",
                           "onlySaturday", "onlySunday"};
    for (int d = 0; d < 7; ++d)
        row.insert(names[d], days[d] == '1' ? 1 : 0);
    return row;
}

QString sideSummary(const QString &heading, const QString &path, const QString &counts)
{
    return QStringLiteral("• Summary ") + heading + ":\r\t" + path + "\r\t" + counts + "\r\r";
}

// Side B's summary has a second blank before "visible".
QString noCopies(bool sideB)
{
    return QStringLiteral("Folders Found: 0\r\tFiles Found: 0\r\t-\r\tFolders Created: 0\r\tFiles Replaced: 0\r\t"
                          "Files Copied (new additions): 0\r\tTotal of items copied: %1 visible + 0 invisible = 0\r\t"
                          "-\r\tFolders Deleted: 0\r\tFiles Deleted: 0")
        .arg(sideB ? QStringLiteral("0 ") : QStringLiteral("0"));
}

// The preferences block of basePreferences(), with the parts that differ.
QString expectedPreferences(const char *kind, const char *onError = "Ask whether to continue",
                            const char *save = "Yes (only on errors)", const char *format = "Rich text (RTF)",
                            const char *email = "No", const char *address = "your.name@your-mail.example",
                            const char *root = "No", const char *delta = "No")
{
    return QStringLiteral("\r• Preferences: \r\t• General: \r\t\tSync And Quit: No\r\t\tAsk for confirmation: Yes\r"
                          "\t\tPreview: No\r\t\tBeep when done: No\r\t\tShut down when done: No\r\t\tOn error: %1\r"
                          "\t• Log: \r\t\tSave log file: %2\r\t\tLog file format: %3\r\t\tLog kind: %4\r"
                          "\t\tLog folder: /home/ada/Logs\r\t\tSend email: %5\r\t\tEmail address: %6\r"
                          "\t• Copy Mode: \r\t\tRun as root: %7\r\t\tModification date tolerance (seconds): %8\r\r")
        .arg(QString::fromUtf8(onError), QString::fromUtf8(save), QString::fromUtf8(format), QString::fromUtf8(kind),
             QString::fromUtf8(email), QString::fromUtf8(address), QString::fromUtf8(root), QString::fromUtf8(delta));
}

LogTask task(int index, const QString &source, const QString &dest, int errors, LogItemKind sourceKind = LogItemKind::Folder)
{
    LogTask t;
    t.taskIndex = index;
    t.sourceFolder = source;
    t.destFolder = dest;
    t.sourceKind = sourceKind;
    t.destKind = LogItemKind::Folder;
    t.totError = errors;
    return t;
}

LogSession sessionOf(int index, const QVariantMap &record, const QList<LogTask> &tasks)
{
    LogSession s;
    s.sessionIndex = index;
    s.session = record;
    s.tasks = tasks;
    return s;
}

QString sessionHead(const char *name, int errors)
{
    return rep("|", 140) + QStringLiteral("\r• Session: \"%1\" - Errors: %2\r").arg(name).arg(errors) + rep("|", 140);
}

QString taskHead(int n, int of, const char *session, int errors)
{
    return rep("…", 35)
        + QStringLiteral("\r• Task %1 of %2 (Session: \"%3\") - Errors: %4\r").arg(n).arg(of).arg(session).arg(errors)
        + rep("…", 35) + "\r";
}

// Settings and conflict sections of sessionRecord(), exact flag and rules
// as given.
QString expectedSettings(const char *task, const char *exact)
{
    return QStringLiteral("\r• Settings: \r\tTask: ") + task + QStringLiteral("\r\t") + exact
        + QStringLiteral("\r\tInvisible items: Yes\r\tLocked items: Yes\r\tResolve aliases: No\r"
                         "\tResolve symbolic links: No\r\tSkip empty folders: No\r\tNew items only: No\r");
}

const QString kDefaultConflicts = QStringLiteral(
    "\r• Conflict: \r"
    "\tBackup 1: Replace changed destination files - Ask: No\r"
    "\tBackup 2: Keep newer destination files - Ask: No\r"
    "\tExact Backup: Delete changed destination-only files - Ask: No\r"
    "\tSync: Copy the most recent of files changed on both sides - Ask: No\r"
    "\tExact Sync: Delete changed files deleted on the other side - Ask: No");

} // namespace

TEST(RunLog, BackupByTimerWithDetailedLogTimersListsAndScripts)
{
    LogRun run;
    run.executedBy = 2;
    run.start = at(2026, 3, 7, 14, 5, 9);
    run.end = run.start.addSecs(26 * 3600 + 3 * 60 + 4); // 1 day, 2 h, 3 min, 4 s
    run.preferences = basePreferences();

    QVariantMap s = sessionRecord(QStringLiteral("Nightly Backup"), 2);
    for (const char *on : {"settExact", "conflictBackupAsk2", "timerOn", "filterOn", "excludeOn", "asStartOn", "asEndOn"})
        s[on] = 1;
    QVariantMap yearly = timerRow(true, true, at(2026, 3, 7, 2, 30));
    yearly.insert({{"intervalOn", 1}, {"intervalYears", 1}, {"intervalMonths", 0}, {"intervalDays", 2},
                   {"intervalHours", 1}, {"intervalMinutes", 5}, {"endOn", 1}, {"endDateOn", 0},
                   {"end", at(2026, 3, 7, 23, 45)}});
    QVariantMap halfHourly = timerRow(true, true, at(2026, 6, 15, 9, 0), "1000100");
    halfHourly.insert({{"intervalOn", 1}, {"intervalMinutes", 30}});
    QVariantMap dated = timerRow(true, true, at(2026, 1, 2, 8, 0), "0000000");
    dated.insert({{"intervalOn", 1}, {"intervalMonths", 2}, {"endOn", 1}, {"endDateOn", 1},
                  {"end", at(2027, 12, 31, 18, 15)}});
    // Rows 1 (off) and 3 (not valid) are left out of the list.
    s["timerArray"] = QVariantList{timerRow(false, true, at(2026, 1, 1, 0, 0)), yearly,
                                   timerRow(true, false, at(2026, 1, 1, 0, 0)),
                                   timerRow(true, true, at(2004, 1, 1, 0, 0)), halfHourly, dated};
    s["asStartText"] = QString(100, u'x');
    s["asEndText"] = QStringLiteral("echo first line\necho 2");

    LogTask t = task(0, "/home/ada/Documents", "/media/backup/Documents", 0);
    t.a = {12, 140};
    t.b = {10, 120, 2, 5, 20, 4, 1, 3, 26, 1};
    const LogLines lines;
    t.detailedLogText = lines.createdFolder("/media/backup/Documents/new") + "\r"
        + lines.copiedFile("/home/ada/Documents/new/a.txt", "/media/backup/Documents/new/a.txt") + "\r"
        + lines.replacedFile("/media/backup/Documents/b.txt", "/home/ada/Documents/b.txt") + "\r"
        + lines.deleted("/media/backup/Documents/gone", true) + "\r"
        + lines.trashed("/media/backup/Documents/c.txt", false) + "\r";
    LogSession session = sessionOf(0, s, {t});
    session.executiveFilterArray = QVariantList{QVariantMap{{"filterNameField", "FN contains \"tmp\""}}};
    session.executiveExcludeArray =
        QVariantList{QStringLiteral("/home/ada/Documents/cache"),
                     QVariantMap{{"onOff", 1}, {"itemToExclude", "/home/ada/Documents/old"}}};
    run.sessions = {session};

    QString fileName;
    const QString log = MakeLog(run, fixedStyle(), &fileName);
    const QString timerEnd = QStringLiteral("\r\t") + rep("-", 98) + "\r";
    const QString expected = expectedFixedHeader()
        + QStringLiteral("• Task: executed by the timer list\r\r• Errors: 0\r\r• Timing: \r"
                         "\tStart at: Saturday, March 07, 2026 - 14:05:09\r"
                         "\tEnd at:  Sunday, March 08, 2026 - 16:08:13\r\tElapsed Time: 26:3:4\r")
        + expectedPreferences("Detailed") + sessionHead("Nightly Backup", 0)
        + QStringLiteral("\r• Timers: \r\t2:\tStart at:\t\t07 Mar 2026, 02:30\r\t\tInterval:\t\t1 year, 2 days, 01:05\r"
                         "\t\tEnd at:\t\t23:45\r\t\tExecute On:\tEveryday")
        + timerEnd + QStringLiteral("\t4:\tStart at:\t\t01 Jan 2004, 00:00") + timerEnd
        + QStringLiteral("\t5:\tStart at:\t\t15 Jun 2026, 09:00\r\t\tInterval:\t\t00:30\r\t\tExecute On:\tMon, Fri")
        + timerEnd
        + QStringLiteral("\t6:\tStart at:\t\t02 Jan 2026, 08:00\r\t\tInterval:\t\t2 months\r"
                         "\t\tEnd at:\t\t31 Dec 2027, 18:15\r\t\tExecute On:\t")
        + timerEnd
        + QStringLiteral("\r• Filters: \r\t1: FN contains \"tmp\"\r"
                         "\r• Exclude: \r\t1: /home/ada/Documents/cache\r\t2: /home/ada/Documents/old\r")
        + expectedSettings("Backup", "Exact Backup: Yes")
        + QString(kDefaultConflicts).replace("Keep newer destination files - Ask: No", "Keep newer destination files - Ask: Yes")
        + QStringLiteral("\r\r• AppleScript: \r\tBefore Session: ") + QString(64, u'x')
        + QStringLiteral("...\r\tAfter Session:    echo first line...\r\r")
        + taskHead(1, 1, "Nightly Backup", 0)
        + QStringLiteral("Source Folder: \"/home/ada/Documents\"\rDestination Folder: \"/media/backup/Documents\"\r\r"
                         "Start\r--\r"
                         "Created folder \"/media/backup/Documents/new\"\r"
                         "Copied file \"/home/ada/Documents/new/a.txt\" to:\r\"/media/backup/Documents/new/a.txt\"\r"
                         "Replaced file: \"/media/backup/Documents/b.txt\"\r"
                         "with the most recent file: \"/home/ada/Documents/b.txt\"\r"
                         "Deleted folder \"/media/backup/Documents/gone\"\r"
                         "Trashed file \"/media/backup/Documents/c.txt\"\r"
                         "--\rEnd\r\r")
        + sideSummary("Source Folder", "/home/ada/Documents",
                      noCopies(false).replace("Found: 0\r\tFiles Found: 0", "Found: 12\r\tFiles Found: 140"))
        + sideSummary("Destination Folder", "/media/backup/Documents",
                      "Folders Found: 10\r\tFiles Found: 120\r\t-\r\tFolders Created: 2\r\tFiles Replaced: 5\r\t"
                      "Files Copied (new additions): 20\r\tTotal of items copied: 26  visible + 1 invisible = 27\r\t-\r\t"
                      "Folders Deleted: 1\r\tFiles Deleted: 3");
    EXPECT_EQ(log, expected);
    EXPECT_EQ(fileName, QStringLiteral("QMLog_2026_03_07_14_05_09.rtf"));
}

TEST(RunLog, StoppedSynchronizationWithErrorsOnlyLog)
{
    QTemporaryDir dir;
    const QString sourceFile = dir.filePath("notes.txt");
    QFile(sourceFile).open(QIODevice::WriteOnly);
    const QString missingDest = dir.filePath("not/there/notes.txt");

    LogRun run;
    run.executedBy = 1;
    run.globalError = 2;
    run.userPressedStop = true;
    run.terminateAfterSync = true; // the Stop button is the one reported
    run.start = at(2026, 12, 7, 1, 2, 3);
    run.end = at(2026, 12, 7, 1, 2, 10);
    run.preferences = basePreferences();
    run.preferences.insert({{"prefLogKind", 3LL}, {"prefLogFileFormat", 2LL}, {"prefSaveLogFile", 0LL},
                            {"prefOnError", 7LL}, {"prefSendEmail", 1LL}, {"prefSendEmailWhen", 1LL},
                            {"prefSendEmailAddress", "ada@example.org"}});
    run.euidRoot = true;
    run.modificationDelta = 10;

    LogTask t; // folder kinds left for the disk to tell
    t.sourceFolder = sourceFile;
    t.destFolder = missingDest;
    t.destOnRemoteVolume = true;
    t.totError = 2;
    t.detailedLogText = LogLines::error(QStringLiteral("Can't copy the file \"a\"")) + "\r"
        + LogLines::error(QStringLiteral("Can't delete the file \"b\"")) + "\r";
    LogSession session = sessionOf(0, sessionRecord(QStringLiteral("Laptop"), 1), {t});
    // Filters on, but the run used no filter list; the after script on, but
    // only the empty placeholder: neither section is printed.
    session.session.insert({{"conflictSyncRadio", 1}, {"conflictSyncAsk", 1}, {"filterOn", 1}, {"asEndOn", 1}});
    run.sessions = {session};

    QString fileName;
    const QString log = MakeLog(run, fixedStyle(), &fileName);
    const QString expected = expectedFixedHeader()
        + QStringLiteral("• Task: executed by clicking on the button\r\r• Errors: 2\r\r"
                         "• User Action: user pressed the Stop button.\r\r• Timing: \r"
                         "\tStart at: Monday, December 07, 2026 - 01:02:03\r"
                         "\tEnd at:  Monday, December 07, 2026 - 01:02:10\r\tElapsed Time: 0:0:7\r")
        + expectedPreferences("Errors only", "Stop without an alert", "No", "Plain text", "Yes (always)",
                              "ada@example.org", "Yes", "10")
        + sessionHead("Laptop", 2) + expectedSettings("Synchronization", "Exact Sync: No")
        + QString(kDefaultConflicts).replace("Sync: Copy the most recent of files changed on both sides - Ask: No",
                                             "Sync: Leave files changed on both sides - Ask: Yes")
        + QStringLiteral("\r\r• AppleScript: \r\r") + taskHead(1, 1, "Laptop", 2)
        + QStringLiteral("1st File: \"") + sourceFile + QStringLiteral("\"\r2nd Folder: \"") + missingDest
        + QStringLiteral("\" (on Remote Volume)\r\rStart\r--\r"
                         "√ Can't copy the file \"a\"\r√ Can't delete the file \"b\"\r--\rEnd\r\r")
        + sideSummary("1st File", sourceFile, noCopies(false)) + sideSummary("2nd Folder", missingDest, noCopies(true));
    EXPECT_EQ(log, expected);
    EXPECT_EQ(fileName, QStringLiteral("QMLog_2026_12_07_01_02_03.txt"));
}

TEST(RunLog, AllSessionsRunWithMultipleListAndSummaryLog)
{
    LogRun run;
    run.executedBy = 3;
    run.globalError = 3;
    run.terminateAfterSync = true;
    run.allSessions = true;
    run.start = at(2026, 1, 31, 23, 59, 59);
    run.end = at(2026, 2, 1, 0, 0, 0);
    run.preferences = basePreferences();
    run.preferences["prefLogKind"] = 1LL;

    LogTask first = task(0, "/srv/a", "/srv/b", 1);
    first.detailedLogText = "√ must not be printed in a summary log\r";
    const LogTask package = task(1, "/srv/c.pkg", "/srv/d", 2, LogItemKind::File); // a package counts as a file
    LogSession multi = sessionOf(1, sessionRecord(QStringLiteral("Projects"), 1), {first, package});
    multi.session["multiOn"] = 1;
    multi.executiveMultiArray = QVariantList{QVariantMap{}, QVariantMap{}};
    run.sessions = {sessionOf(0, sessionRecord(QStringLiteral("Photos"), 2), {}), multi};

    const QString log = MakeLog(run, fixedStyle());
    const QString expected = expectedFixedHeader()
        + QStringLiteral("• Task: executed by the Sync And Quit option\r\r• Errors: 3\r\r"
                         "• User Action: user did quit the application during the task.\r\r• Timing: \r"
                         "\tStart at: Saturday, January 31, 2026 - 23:59:59\r"
                         "\tEnd at:  Sunday, February 01, 2026 - 00:00:00\r\tElapsed Time: 0:0:1\r"
                         "\r• Sessions: (2)\r\t1: Photos - Errors: 0\r\t2: Projects - Errors: 3\r")
        + expectedPreferences("Summary only") + sessionHead("Photos", 0)
        + expectedSettings("Backup", "Exact Backup: No") + kDefaultConflicts + "\r\r" + sessionHead("Projects", 3)
        + QStringLiteral("\r• Multiple List: \r\t1: Errors: 1\r\t1st Folder: /srv/a\r\t2nd Folder: /srv/b\r\t--\r"
                         "\t2: Errors: 2\r\t1st File: /srv/c.pkg\r\t2nd Folder: /srv/d\r")
        + expectedSettings("Synchronization", "Exact Sync: No") + kDefaultConflicts + "\r\r"
        + taskHead(1, 2, "Projects", 1) + QStringLiteral("1st Folder: \"/srv/a\"\r2nd Folder: \"/srv/b\"\r\r")
        + sideSummary("1st Folder", "/srv/a", noCopies(false)) + sideSummary("2nd Folder", "/srv/b", noCopies(true))
        + taskHead(2, 2, "Projects", 2) + QStringLiteral("1st File: \"/srv/c.pkg\"\r2nd Folder: \"/srv/d\"\r\r")
        + sideSummary("1st File", "/srv/c.pkg", noCopies(false)) + sideSummary("2nd Folder", "/srv/d", noCopies(true));
    EXPECT_EQ(log, expected);
}

// A detailed text longer than the log before it becomes the log's buffer:
// the text must come out exactly as a short one appended in its place.
TEST(RunLog, LongDetailedTextsComeOutAsShortOnesInTheirPlace)
{
    const std::vector<std::vector<int>> cases = {{50000}, {10, 50000}, {50000, 60000}, {50000, 10}};
    auto longText = [](int i, int length) { return QString(length, QChar(u'a' + i)) + u'\r'; };
    for (const std::vector<int> &lengths : cases) {
        LogRun shortRun, longRun;
        shortRun.preferences = longRun.preferences = basePreferences();
        shortRun.sessions = longRun.sessions = {sessionOf(0, sessionRecord(QStringLiteral("S"), 2), {})};
        for (int i = 0; i < int(lengths.size()); ++i) {
            LogTask t = task(i, "/srv/a", "/srv/b", 0);
            t.detailedLogText = QStringLiteral("@%1@\r").arg(i);
            shortRun.sessions[0].tasks.append(t);
            t.detailedLogText = longText(i, lengths[size_t(i)]); // held by the run alone, as in a real run
            longRun.sessions[0].tasks.append(std::move(t));
        }
        QString expected = MakeLog(shortRun, fixedStyle());
        for (int i = 0; i < int(lengths.size()); ++i)
            expected.replace(QStringLiteral("@%1@\r").arg(i), longText(i, lengths[size_t(i)]));
        EXPECT_EQ(MakeLog(std::move(longRun), fixedStyle()), expected) << lengths.size() << " tasks";
    }
}

TEST(RunLog, HeaderLeavesOutEmptyBuildAndAddressAndNewlineFormConvertsEveryLineEnd)
{
    LogHost host{QStringLiteral("Debian 12"), QString(), QString(), QStringLiteral("root"), QStringLiteral("root")};
    const QString header = GetFixedLogHeader(host);
    EXPECT_TRUE(header.contains(QStringLiteral("\r\tMacOS X version: Debian 12\r\tMacAddress: \r\tCurrent User: root (root)\r\r")));
    const QString terminal = logWithNewlines(header);
    EXPECT_FALSE(terminal.contains(u'\r'));
    EXPECT_EQ(terminal.count(u'\n'), header.count(u'\r'));
}

TEST(RunLog, ElapsedTimeNeverGoesNegativeWhenTheClockWentBack)
{
    LogRun run;
    run.start = at(2026, 5, 1, 12, 0, 0);
    run.end = at(2026, 5, 1, 11, 59, 0);
    EXPECT_TRUE(MakeLog(run, fixedStyle()).contains(QStringLiteral("\tElapsed Time: 0:0:0\r")));
}

TEST(HardwareAddress, SixBytesInUpperCaseHexSeparatedByDots)
{
    EXPECT_EQ(formatHardwareAddress("00:1a:2b:3c:4d:5e"), QStringLiteral("00.1A.2B.3C.4D.5E"));
    EXPECT_EQ(formatHardwareAddress(""), QStringLiteral("00.00.00.00.00.00"));
    EXPECT_EQ(formatHardwareAddress("01:02:03:04:05:06:07:08"), QStringLiteral("00.00.00.00.00.00"));
    const QList<NetworkInterfaceFacts> all = {
        {"lo", "00:00:00:00:00:00", true, false, true},
        {"ifb0", "42:70:79:6c:c8:c2", false, false, true},
        {"eth0", "02:fc:00:00:00:01", false, false, true},
        {"wlan0", "", false, true, true},
        {"usb0", "aa:bb:cc:dd:ee:ff", false, true, false},
    };
    EXPECT_EQ(primaryInterface(all), &all[4]); // the only physical one with an address, though down
    const QList<NetworkInterfaceFacts> virtualOnly(all.begin(), all.begin() + 4);
    EXPECT_EQ(primaryInterface(virtualOnly), &virtualOnly[2]); // first by name
    EXPECT_EQ(primaryInterface({all[0], all[3]}), nullptr);
    const QString mine = primaryHardwareAddress();
    if (!mine.isEmpty()) {
        EXPECT_EQ(mine.size(), 17);
    }
}
