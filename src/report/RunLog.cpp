#include "report/RunLog.h"

#include "platform/ByteSink.h"
#include "platform/Messages.h"
#include "report/LogFiles.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>

namespace qm {

namespace {

const QChar kCR = u'\r';

QString dashRule() { return QString(105, u'-') + kCR; }
QString barRule() { return QString(140, u'|'); }
QString dotRule() { return QString(35, QChar(0x2026)) + kCR; }
QString num(qlonglong n) { return QString::number(n); }

qlonglong intOf(const QVariantMap &m, const char *key) { return m.value(QLatin1String(key)).toLongLong(); }
QString textOf(const QVariantMap &m, const char *key) { return m.value(QLatin1String(key)).toString(); }

// Labels of the options and of their choices, as the settings panels name
// them. Each is looked up.
QString onErrorChoice(qlonglong v)
{
    switch (v) {
    case 2: return GLS("Skip and continue");
    case 3: return GLS("Ask whether to continue");
    case 1: return GLS("Stop with an alert");
    default: return GLS("Stop without an alert");
    }
}
QString whenChoice(qlonglong v) { return v == 2 ? GLS("only on errors") : GLS("always"); }
QString formatChoice(qlonglong v) { return v == 1 ? GLS("Rich text (RTF)") : GLS("Plain text"); }
QString logKindChoice(qlonglong v)
{
    if (v == 2)
        return GLS("Detailed");
    return v == 3 ? GLS("Errors only") : GLS("Summary only");
}
QString taskChoice(qlonglong v) { return v == 1 ? GLS("Synchronization") : GLS("Backup"); }

struct ConflictRule {
    const char *heading;   // looked up
    const char *separator; // literal
    const char *radioKey;
    const char *askKey;
    const char *onLabel;  // value 2: carry the planned operation out
    const char *offLabel; // any other value: look for the conflict
};

const ConflictRule kConflictRules[] = {
    {"Backup", " 1: ", "conflictBackupRadio", "conflictBackupAsk",
     "Replace changed destination files", "Keep changed destination files"},
    {"Backup", " 2: ", "conflictBackupRadio2", "conflictBackupAsk2",
     "Replace newer destination files", "Keep newer destination files"},
    {"Exact Backup", ": ", "conflictExactBackupRadio", "conflictExactBackupAsk",
     "Delete changed destination-only files", "Keep changed destination-only files"},
    {"Sync", ": ", "conflictSyncRadio", "conflictSyncAsk",
     "Copy the most recent of files changed on both sides", "Leave files changed on both sides"},
    {"Exact Sync", ": ", "conflictExactSyncRadio", "conflictExactSyncAsk",
     "Delete changed files deleted on the other side",
     "Keep changed files deleted on the other side"},
};

struct SessionOption {
    const char *key;
    const char *label;
};

const SessionOption kSessionOptions[] = {
    {"settInvisibleItems", "Invisible items"},   {"settLockedItems", "Locked items"},
    {"settResolveAlias", "Resolve aliases"},     {"settResolveSymLink", "Resolve symbolic links"},
    {"settSkipEmptyFolders", "Skip empty folders"}, {"settNewItemsOnly", "New items only"},
};

const SessionOption kGeneralPreferences[] = {
    {"prefSyncAndQuit", "Sync And Quit"},
    {"prefAskConfirmation", "Ask for confirmation"},
    {"prefPreview", "Preview"},
    {"prefBeepWhenDone", "Beep when done"},
    {"prefShutDown", "Shut down when done"},
};

// Elapsed time as hours (days folded in), minutes and seconds, no padding.
QString elapsed(const QDateTime &start, const QDateTime &end)
{
    const qint64 secs = qMax<qint64>(0, start.secsTo(end));
    return num(secs / 3600) + u':' + num(secs / 60 % 60) + u':' + num(secs % 60);
}

QString twoDigits(qlonglong n) { return QString::number(n).rightJustified(2, u'0'); }

QString countedWord(qlonglong n, const char *one, const char *many)
{
    return num(n) + u' ' + (n == 1 ? GLS(one) : GLS(many));
}

QString intervalText(const QVariantMap &row)
{
    QStringList parts;
    const qlonglong years = intOf(row, "intervalYears"), months = intOf(row, "intervalMonths"),
                    days = intOf(row, "intervalDays"), hours = intOf(row, "intervalHours"),
                    minutes = intOf(row, "intervalMinutes");
    if (years > 0)
        parts << countedWord(years, "year", "years");
    if (months > 0)
        parts << countedWord(months, "month", "months");
    if (days > 0)
        parts << countedWord(days, "day", "days");
    if (hours + minutes > 0)
        parts << twoDigits(hours) + u':' + twoDigits(minutes);
    return parts.join(QStringLiteral(", "));
}

QString daysText(const QVariantMap &row)
{
    static const char *const keys[] = {"onlyMonday", "onlyTuesday", "onlyWednesday", "onlyThursday",
                                       "onlyFriday", "onlySaturday", "onlySunday"};
    static const char *const words[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    QStringList on;
    for (int i = 0; i < 7; ++i)
        if (intOf(row, keys[i]) != 0)
            on << GLS(words[i]);
    if (on.size() == 7)
        return GLS("Everyday");
    return on.join(QStringLiteral(", "));
}

// The first 64 characters, cut before the first line end; "..." when
// anything was cut.
QString scriptExcerpt(const QString &text)
{
    QString kept = text.left(64);
    const qsizetype lineEnd = kept.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
    if (lineEnd >= 0)
        kept.truncate(lineEnd);
    return kept.size() < text.size() ? kept + QStringLiteral("...") : kept;
}

// A stored script that still holds the old placeholder counts as empty.
bool isEmptyScript(const QString &text)
{
    return text.isEmpty() || text == QLatin1String("-- Write or paste here your AppleScript");
}

class Composer {
public:
    Composer(LogRun &run, const LogStyle &style) : m_run(run), m_style(style) {}

    QString compose()
    {
        m_out += GetFixedLogHeader(m_style.host);
        runHeader();
        for (LogSession &s : m_run.sessions)
            session(s);
        return std::move(m_out);
    }

private:
    QString longDate(const QDateTime &t) const
    {
        return m_style.locale.toString(t.toTimeZone(m_style.zone), QStringLiteral("dddd, MMMM dd, yyyy - HH:mm:ss"));
    }
    QString timerDate(const QDateTime &t) const
    {
        return m_style.locale.toString(t.toTimeZone(m_style.zone), QStringLiteral("dd MMM yyyy, HH:mm"));
    }
    qlonglong pref(const char *key) const { return intOf(m_run.preferences, key); }

    void runHeader()
    {
        m_out += QStringLiteral("• ") + GLS("Task") + QStringLiteral(": ");
        switch (m_run.executedBy) {
        case 1: m_out += GLS("executed by clicking on the button"); break;
        case 2: m_out += GLS("executed by the timer list"); break;
        case 3: m_out += GLS("executed by the Sync And Quit option"); break;
        default: break;
        }
        m_out += QStringLiteral("\r\r");
        m_out += GLS("• Errors: ") + num(m_run.globalError) + QStringLiteral("\r\r");
        if (m_run.userPressedStop)
            m_out += GLS("• User Action: ") + GLS("user pressed the Stop button.") + QStringLiteral("\r\r");
        else if (m_run.terminateAfterSync)
            m_out += GLS("• User Action: ") + GLS("user did quit the application during the task.")
                + QStringLiteral("\r\r");
        m_out += GLS("• Timing: ") + QStringLiteral("\r\t") + GLS("Start at:") + u' ' + longDate(m_run.start)
            + QStringLiteral("\r\t") + GLS("End at:") + QStringLiteral("  ") + longDate(m_run.end)
            + QStringLiteral("\r\t") + GLS("Elapsed Time: ") + elapsed(m_run.start, m_run.end) + kCR;
        if (m_run.allSessions)
            sessionList();
        preferences();
    }

    void sessionList()
    {
        m_out += kCR + GLS("• Sessions: ") + u'(' + num(m_run.sessions.size()) + QStringLiteral(")\r");
        int i = 0;
        for (const LogSession &s : m_run.sessions)
            m_out += u'\t' + num(++i) + QStringLiteral(": ") + textOf(s.session, "sessionName")
                + QStringLiteral(" - ") + GLS("Errors:") + u' ' + num(errorSum(s)) + kCR;
    }

    void yesNoLine(const char *label, qlonglong value)
    {
        m_out += QStringLiteral("\t\t") + GLS(label) + QStringLiteral(": ") + YesNo(value) + kCR;
    }

    void preferences()
    {
        m_out += kCR + GLS("• Preferences: ") + QStringLiteral("\r\t") + GLS("• General: ") + kCR;
        for (const SessionOption &o : kGeneralPreferences)
            yesNoLine(o.label, pref(o.key));
        m_out += QStringLiteral("\t\t") + GLS("On error:") + u' ' + onErrorChoice(pref("prefOnError")) + kCR;

        m_out += u'\t' + GLS("• Log: ") + kCR;
        m_out += QStringLiteral("\t\t") + GLS("Save log file") + QStringLiteral(": ") + YesNo(pref("prefSaveLogFile"));
        if (pref("prefSaveLogFile") == 1)
            m_out += QStringLiteral(" (") + whenChoice(pref("prefSaveLogFileWhen")) + u')';
        m_out += kCR;
        m_out += QStringLiteral("\t\t") + GLS("Log file format:") + u' ' + formatChoice(pref("prefLogFileFormat")) + kCR;
        m_out += QStringLiteral("\t\t") + GLS("Log kind:") + u' ' + logKindChoice(pref("prefLogKind")) + kCR;
        m_out += QStringLiteral("\t\t") + GLS("Log folder:") + u' ' + textOf(m_run.preferences, "prefPathLogFolder") + kCR;
        m_out += QStringLiteral("\t\t") + GLS("Send email") + QStringLiteral(": ") + YesNo(pref("prefSendEmail"));
        if (pref("prefSendEmail") == 1)
            m_out += QStringLiteral(" (") + whenChoice(pref("prefSendEmailWhen")) + u')';
        m_out += kCR;
        m_out += QStringLiteral("\t\t") + GLS("Email address:") + u' ' + textOf(m_run.preferences, "prefSendEmailAddress") + kCR;

        m_out += u'\t' + GLS("• Copy Mode: ") + kCR;
        yesNoLine("Run as root", m_run.euidRoot ? 1 : 0);
        m_out += QStringLiteral("\t\t") + GLS("Modification date tolerance (seconds):") + u' '
            + (m_run.modificationDelta > 0 ? num(m_run.modificationDelta) : GLS("No")) + QStringLiteral("\r\r");
    }

    static qlonglong errorSum(const LogSession &s)
    {
        qlonglong sum = 0;
        for (const LogTask &t : s.tasks)
            sum += t.totError;
        return sum;
    }

    bool isSync(const LogSession &s) const { return intOf(s.session, "settTask") == 1; }
    QString firstLabel(const LogSession &s) const { return isSync(s) ? GLS("1st") : GLS("Source"); }
    QString secondLabel(const LogSession &s) const { return isSync(s) ? GLS("2nd") : GLS("Destination"); }

    static QString kindWord(const QString &path, LogItemKind kind)
    {
        if (kind == LogItemKind::Auto) {
            const QFileInfo fi(path);
            kind = fi.exists() && !fi.isDir() ? LogItemKind::File : LogItemKind::Folder;
        }
        return kind == LogItemKind::File ? GLS("File") : GLS("Folder");
    }

    void session(LogSession &s)
    {
        const QVariantMap &doc = s.session;
        m_out += barRule() + kCR + GLS("• Session: ") + u'"' + textOf(doc, "sessionName") + QStringLiteral("\" - ")
            + GLS("Errors:") + u' ' + num(errorSum(s)) + kCR + barRule();
        if (intOf(doc, "timerOn") != 0 && doc.contains(QStringLiteral("timerArray")))
            timers(doc.value(QStringLiteral("timerArray")).toList());
        if (intOf(doc, "multiOn") == 1 && s.executiveMultiArray)
            multipleList(s);
        if (intOf(doc, "filterOn") == 1 && s.executiveFilterArray)
            filters(*s.executiveFilterArray);
        if (intOf(doc, "excludeOn") == 1 && s.executiveExcludeArray)
            excludes(*s.executiveExcludeArray);
        settings(doc);
        conflicts(doc);
        scripts(doc);
        m_out += QStringLiteral("\r\r");
        for (LogTask &t : s.tasks)
            task(t, s);
    }

    void timers(const QVariantList &rows)
    {
        m_out += kCR + GLS("• Timers: ") + kCR;
        for (int p = 1; p <= rows.size(); ++p) {
            const QVariantMap row = rows.at(p - 1).toMap();
            if (intOf(row, "onOff") == 0 || intOf(row, "valid") == 0)
                continue;
            m_out += u'\t' + num(p) + QStringLiteral(":\t") + GLS("Start at:") + QStringLiteral("\t\t")
                + timerDate(row.value(QStringLiteral("start")).toDateTime());
            if (intOf(row, "intervalOn") != 0) {
                m_out += QStringLiteral("\r\t\t") + GLS("Interval:") + QStringLiteral("\t\t") + intervalText(row);
                if (intOf(row, "endOn") != 0) {
                    const QDateTime end = row.value(QStringLiteral("end")).toDateTime();
                    m_out += QStringLiteral("\r\t\t") + GLS("End at:") + QStringLiteral("\t\t")
                        + (intOf(row, "endDateOn") == 0 ? m_style.locale.toString(end.toTimeZone(m_style.zone), QStringLiteral("HH:mm"))
                                                        : timerDate(end));
                }
                m_out += QStringLiteral("\r\t\t") + GLS("Execute On:") + u'\t' + daysText(row);
            }
            m_out += QStringLiteral("\r\t") + QString(98, u'-') + kCR;
        }
    }

    void multipleList(const LogSession &s)
    {
        m_out += kCR + GLS("• Multiple List: ") + kCR;
        for (int j = 1; j <= s.tasks.size(); ++j) {
            const LogTask &t = s.tasks.at(j - 1);
            if (j > 1)
                m_out += QStringLiteral("\r\t--\r");
            m_out += u'\t' + num(j) + QStringLiteral(": ") + GLS("Errors:") + u' ' + num(t.totError)
                + QStringLiteral("\r\t") + firstLabel(s) + u' ' + kindWord(t.sourceFolder, t.sourceKind)
                + QStringLiteral(": ") + t.sourceFolder + QStringLiteral("\r\t") + secondLabel(s) + u' '
                + kindWord(t.destFolder, t.destKind) + QStringLiteral(": ") + t.destFolder;
        }
        m_out += kCR;
    }

    void filters(const QVariantList &rows)
    {
        m_out += kCR + GLS("• Filters: ") + kCR;
        for (int k = 1; k <= rows.size(); ++k)
            m_out += u'\t' + num(k) + QStringLiteral(": ") + textOf(rows.at(k - 1).toMap(), "filterNameField") + kCR;
    }

    void excludes(const QVariantList &rows)
    {
        m_out += kCR + GLS("• Exclude: ") + kCR;
        for (int k = 1; k <= rows.size(); ++k) {
            const QVariant &e = rows.at(k - 1);
            const QString path = e.typeId() == QMetaType::QVariantMap ? textOf(e.toMap(), "itemToExclude") : e.toString();
            m_out += u'\t' + num(k) + QStringLiteral(": ") + path + kCR;
        }
    }

    void settings(const QVariantMap &doc)
    {
        const bool sync = intOf(doc, "settTask") == 1;
        m_out += kCR + GLS("• Settings: ") + kCR;
        m_out += u'\t' + GLS("Task") + QStringLiteral(": ") + taskChoice(intOf(doc, "settTask")) + kCR;
        m_out += u'\t' + (sync ? GLS("Exact Sync") : GLS("Exact Backup")) + QStringLiteral(": ")
            + YesNo(intOf(doc, "settExact")) + kCR;
        for (const SessionOption &o : kSessionOptions)
            m_out += u'\t' + GLS(o.label) + QStringLiteral(": ") + YesNo(intOf(doc, o.key)) + kCR;
    }

    void conflicts(const QVariantMap &doc)
    {
        m_out += kCR + GLS("• Conflict: ") + kCR;
        const int n = int(std::size(kConflictRules));
        for (int i = 0; i < n; ++i) {
            const ConflictRule &r = kConflictRules[i];
            m_out += u'\t' + GLS(r.heading) + QLatin1String(r.separator)
                + GLS(intOf(doc, r.radioKey) == 2 ? r.onLabel : r.offLabel) + QStringLiteral(" - ")
                + GLS("Ask") + QStringLiteral(": ") + YesNo(intOf(doc, r.askKey));
            if (i < n - 1)
                m_out += kCR;
        }
    }

    void scripts(const QVariantMap &doc)
    {
        const bool startOn = intOf(doc, "asStartOn") == 1, endOn = intOf(doc, "asEndOn") == 1;
        if (!startOn && !endOn)
            return;
        m_out += QStringLiteral("\r\r") + GLS("• AppleScript: ");
        const QString start = textOf(doc, "asStartText"), end = textOf(doc, "asEndText");
        if (startOn && !isEmptyScript(start))
            m_out += QStringLiteral("\r\tBefore Session: ") + scriptExcerpt(start);
        if (endOn && !isEmptyScript(end))
            m_out += QStringLiteral("\r\tAfter Session:    ") + scriptExcerpt(end);
    }

    void folderLine(const QString &label, const QString &path, LogItemKind kind, bool remote)
    {
        m_out += label + u' ' + kindWord(path, kind) + QStringLiteral(": \"") + path + u'"';
        if (remote)
            m_out += u' ' + GLS("(on Remote Volume)");
        m_out += kCR;
    }

    void summary(const QString &label, const QString &path, LogItemKind kind,
                 const LogSideCounters &c, const QString &visibleGap)
    {
        m_out += GLS(QStringLiteral("• ") + GLS("Summary") + u' ' + label + u' ' + kindWord(path, kind))
            + QStringLiteral(":\r\t") + path + QStringLiteral("\r\t")
            + GLS("Folders Found: ") + num(c.foldersScanned) + QStringLiteral("\r\t")
            + GLS("Files Found: ") + num(c.filesScanned) + QStringLiteral("\r\t-\r\t")
            + GLS("Folders Created: ") + num(c.foldersCreated) + QStringLiteral("\r\t")
            + GLS("Files Replaced: ") + num(c.filesReplaced) + QStringLiteral("\r\t")
            + GLS("Files Copied (new additions): ") + num(c.filesCopied) + QStringLiteral("\r\t")
            + GLS("Total of items copied:") + u' ' + num(c.itemVisible) + visibleGap + GLS("visible")
            + QStringLiteral(" + ") + num(c.itemInvisible) + u' ' + GLS("invisible") + QStringLiteral(" = ")
            + num(qlonglong(c.itemVisible) + c.itemInvisible) + QStringLiteral("\r\t-\r\t")
            + GLS("Folders Deleted: ") + num(c.foldersDeleted) + QStringLiteral("\r\t")
            + GLS("Files Deleted: ") + num(c.filesDeleted) + QStringLiteral("\r\r");
    }

    void task(LogTask &t, const LogSession &s)
    {
        m_out += dotRule() + QStringLiteral("• ") + GLS("Task") + u' ' + num(t.taskIndex + 1) + u' ' + GLS("of")
            + u' ' + num(s.tasks.size()) + QStringLiteral(" (") + GLS("Session") + QStringLiteral(": \"")
            + textOf(s.session, "sessionName") + QStringLiteral("\") - ") + GLS("Errors:") + u' '
            + num(t.totError) + kCR + dotRule();
        folderLine(firstLabel(s), t.sourceFolder, t.sourceKind, t.sourceOnRemoteVolume);
        folderLine(secondLabel(s), t.destFolder, t.destKind, t.destOnRemoteVolume);
        m_out += kCR;
        const qlonglong kind = pref("prefLogKind");
        if (kind == 2 || kind == 3) {
            // Appended piece by piece: a sum would copy the long text twice more.
            m_out += GLS("Start") + QStringLiteral("\r--\r");
            appendDetailed(t.detailedLogText);
            m_out += QStringLiteral("--\r") + GLS("End") + QStringLiteral("\r\r");
        }
        summary(firstLabel(s), t.sourceFolder, t.sourceKind, t.a, QStringLiteral(" "));
        summary(secondLabel(s), t.destFolder, t.destKind, t.b, QStringLiteral("  "));
    }

    // A detailed text is most of a long log, and nothing else holds it any
    // more: the log grows inside its buffer instead of beside a copy of it.
    void appendDetailed(QString &text)
    {
        if (text.size() <= m_out.size()) {
            m_out += text;
            text = QString();
            return;
        }
        const QString before = std::exchange(m_out, std::move(text));
        const qsizetype shift = before.size();
        const qsizetype length = m_out.size();
        m_out.resize(shift + length);
        QChar *d = m_out.data();
        std::memmove(d + shift, d, size_t(length) * sizeof(QChar));
        std::copy_n(before.constData(), shift, d);
    }

    LogRun &m_run;
    const LogStyle &m_style;
    QString m_out;
};

} // namespace

QString YesNo(qlonglong value)
{
    return value != 0 ? GLS("Yes") : GLS("No");
}

QString GetFixedLogHeader(const LogHost &host)
{
    QString out = dashRule();
    out += QStringLiteral("• Quillmere Vell " QM_VERSION " - https://www.brantwick.example\r");
    out += dashRule();
    out += kCR;
    out += GLS("• OS Info:") + QStringLiteral("\r\t") + GLS("MacOS X version:") + u' ' + host.osVersion;
    if (!host.osBuild.isEmpty())
        out += QStringLiteral(" (Build ") + host.osBuild + u')';
    out += QStringLiteral("\r\t") + GLS("MacAddress:") + u' ' + host.macAddress;
    out += QStringLiteral("\r\t") + GLS("Current User:") + u' ' + host.userFullName + QStringLiteral(" (")
        + host.userShortName + QStringLiteral(")\r\r");
    out += barRule() + kCR;
    return out;
}

QString MakeLog(LogRun run, const LogStyle &style, QString *fileName)
{
    if (fileName)
        *fileName = logFileName(run.start.toTimeZone(style.zone), intOf(run.preferences, "prefLogFileFormat"));
    return Composer(run, style).compose();
}

bool forEachLogPiece(QStringView log, const std::function<bool(QStringView)> &take)
{
    for (qsizetype at = 0, length = 0; at < log.size(); at += length) {
        length = std::min(kPieceSize, log.size() - at);
        if (log.at(at + length - 1).isHighSurrogate() && at + length < log.size())
            ++length;
        if (!take(log.mid(at, length)))
            return false;
    }
    return true;
}

QString logWithNewlines(const QString &log)
{
    QString out = log;
    out.replace(kCR, u'\n');
    return out;
}

} // namespace qm
