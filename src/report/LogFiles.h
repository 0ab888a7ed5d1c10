#pragma once
// Saving the run log to the log folder, in rich text or plain text, and
// pruning old log files by age or by count.
#include <QDateTime>
#include <QString>
#include <QVariantMap>

namespace qm {

// "QMLog_<year>_<month>_<day>_<hour>_<minute>_<second>" of the start time
// as given (the caller gives local time), ".rtf" when format is 1, ".txt" otherwise.
QString logFileName(const QDateTime &start, qlonglong format);

// Whether a file name is one this program gives its logs. Only such files
// are ever pruned.
bool isLogFileName(const QString &name);

// The log as an RTF document: one run of plain text, every character outside
// printable ASCII written as a Unicode escape, "\r" as a paragraph end.
QByteArray rtfDocument(const QString &log);

// Atomic writes of the log; false when the text or path is empty or the
// write fails. Plain text is UTF-8, line ends unchanged: it is the 8-bit
// encoding Linux tools read by default, it holds "•", "…" and "√", and unlike
// the single-byte code pages it also holds every file name a log may quote.
bool SaveLogToRTFFile(const QString &log, const QString &path);
bool SaveLogToTextFile(const QString &log, const QString &path);

enum class LogSaveStatus {
    NotRequested, // the preferences ask for no file for this run
    NoFolder,     // no log folder is set
    Saved,
    FolderError,  // the log folder cannot be used; errorText says why
    WriteFailed,  // the folder is there but the file could not be written
};

struct LogSaveRequest {
    QString logText;
    QString fileName;         // from MakeLog
    int globalError = 0;      // the run's total error count
    QString appSupportFolder; // holds the fallback "Log Files" folder
};

struct LogSaveResult {
    LogSaveStatus status = LogSaveStatus::NotRequested;
    QString path;         // the log file written, or the one that failed
    QString errorText;    // for FolderError and WriteFailed: the message to report
    QString newLogFolder; // not empty when the fallback folder was used: the
                          // new value of prefPathLogFolder
    int pruned = 0;       // old log files removed after the save
    bool saved() const { return status == LogSaveStatus::Saved; }
};

// Saves the log as the preferences say and prunes afterwards when they ask
// for it. Never fails the run: a problem comes back as a status and a text.
LogSaveResult SaveLogFileToDisk(const QVariantMap &prefs, const LogSaveRequest &request);

// Prunes the log files of a folder (one level). Mode 0: removes those whose
// age in whole seconds is above count days; mode 1: keeps the count most
// recent; any other mode, or a count below 1, removes nothing. Failures are
// ignored. Returns how many were removed.
int RemoveLastLogFiles(const QString &folder, qlonglong mode, qlonglong count,
                       const QDateTime &now = QDateTime::currentDateTime());

} // namespace qm
