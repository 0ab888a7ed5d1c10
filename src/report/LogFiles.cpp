#include "report/LogFiles.h"

#include "platform/AtomicFile.h"
#include "platform/Messages.h"
#include "platform/OwnFiles.h"
#include "report/RunLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtDebug>

#include <algorithm>

namespace qm {

namespace {

QString undeletableFileMessage(const QString &folder)
{
    return GLS("Can't save the log file inside the log folder because the log folder") + QStringLiteral(" \"")
        + folder + QStringLiteral("\" ") + GLS("really is undeletable file");
}

enum class FolderState { Ready, Occupied, Missing };

FolderState folderState(const QString &path)
{
    const QFileInfo fi(path);
    if (fi.isDir())
        return FolderState::Ready;
    // Anything else at the path (a file, a dangling link) belongs to the
    // user: it is never deleted to make room for logs.
    if (fi.exists() || fi.isSymLink())
        return FolderState::Occupied;
    return FolderState::Missing;
}

// The folder the log goes to: the preferred one, made when missing, or else
// the fallback in the support folder. Empty with an error text when neither
// can be used.
QString usableLogFolder(const QString &preferred, const QString &supportFolder, QString *error,
                        bool *usedFallback)
{
    const OwnFilesAccess asUser;
    *usedFallback = false;
    switch (folderState(preferred)) {
    case FolderState::Ready:
        return preferred;
    case FolderState::Occupied:
        *error = undeletableFileMessage(preferred);
        return QString();
    case FolderState::Missing:
        if (atomicfile::makePrivateFolder(preferred))
            return preferred;
        break;
    }
    const QString fallback = QDir(supportFolder).filePath(GLS("Log Files"));
    *usedFallback = true;
    switch (folderState(fallback)) {
    case FolderState::Ready:
        return fallback;
    case FolderState::Occupied:
        *error = undeletableFileMessage(fallback);
        return QString();
    case FolderState::Missing:
        if (!supportFolder.isEmpty() && atomicfile::makePrivateFolder(fallback))
            return fallback;
        break;
    }
    *error = GLS("Can't save the log file because I can't create the folder") + QStringLiteral(" \"") + fallback
        + u'"';
    return QString();
}

bool needsUnicodeEscape(ushort u)
{
    return u >= 0x7f || (u < 0x20 && u != '\r' && u != '\n' && u != '\t');
}

void appendEscapedRtf(QByteArray *out, ushort u)
{
    if (u == '\r' || u == '\n')
        out->append("\\par\n");
    else if (u == '\t')
        out->append("\\tab ");
    else if (u == '\\' || u == '{' || u == '}')
        out->append('\\').append(char(u));
    else if (!needsUnicodeEscape(u))
        out->append(char(u));
    else // RTF takes the code unit as a signed 16-bit number; "?" for old readers
        out->append("\\u").append(QByteArray::number(qint16(u))).append('?');
}

} // namespace

QString logFileName(const QDateTime &start, qlonglong format)
{
    return QStringLiteral("QMLog_") + start.toString(QStringLiteral("yyyy_MM_dd_HH_mm_ss"))
        + (format == 1 ? QStringLiteral(".rtf") : QStringLiteral(".txt"));
}

bool isLogFileName(const QString &name)
{
    static const QRegularExpression pattern(
        QStringLiteral("^QMLog_\\d{4}_\\d{2}_\\d{2}_\\d{2}_\\d{2}_\\d{2}\\.(rtf|txt)$"));
    return pattern.match(name).hasMatch();
}

namespace {

bool writeRtf(QStringView log, const ByteSink &sink)
{
    QByteArray out("{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\fnil\\fcharset0 Helvetica;}}\n\\f0 ");
    out.reserve(kPieceSize + 64);
    // Each run of escaped characters sits in a group of its own, so that no
    // reader can take the text after an escape for part of its control word.
    bool inEscapes = false;
    for (QChar c : log) {
        const bool escaped = needsUnicodeEscape(c.unicode());
        if (escaped != inEscapes)
            out.append(escaped ? '{' : '}');
        inEscapes = escaped;
        appendEscapedRtf(&out, c.unicode());
        if (!passOnWhenFull(out, sink))
            return false;
    }
    if (inEscapes)
        out.append('}');
    out.append("}\n");
    return sink(out);
}

} // namespace

QByteArray rtfDocument(const QString &log)
{
    QByteArray document;
    writeRtf(log, [&document](QByteArrayView piece) {
        document.append(piece);
        return true;
    });
    return document;
}

// A log lists every file name of the run: written private to its owner, and
// converted as it is written, so that a long log is not held twice.
bool SaveLogToRTFFile(const QString &log, const QString &path)
{
    if (log.isEmpty() || path.isEmpty())
        return false;
    return atomicfile::write(path, [&log](const ByteSink &sink) { return writeRtf(log, sink); });
}

bool SaveLogToTextFile(const QString &log, const QString &path)
{
    if (log.isEmpty() || path.isEmpty())
        return false;
    return atomicfile::write(path, [&log](const ByteSink &sink) {
        return forEachLogPiece(log, [&sink](QStringView piece) { return sink(piece.toUtf8()); });
    });
}

LogSaveResult SaveLogFileToDisk(const QVariantMap &prefs, const LogSaveRequest &request)
{
    LogSaveResult result;
    if (prefs.value(QStringLiteral("prefSaveLogFile")).toLongLong() == 0)
        return result;
    if (prefs.value(QStringLiteral("prefSaveLogFileWhen")).toLongLong() == 2 && request.globalError == 0)
        return result;
    const QString preferred = prefs.value(QStringLiteral("prefPathLogFolder")).toString();
    if (preferred.isEmpty()) {
        result.status = LogSaveStatus::NoFolder;
        return result;
    }
    bool usedFallback = false;
    const QString folder = usableLogFolder(preferred, request.appSupportFolder, &result.errorText, &usedFallback);
    if (folder.isEmpty()) {
        result.status = LogSaveStatus::FolderError;
        return result;
    }
    if (usedFallback)
        result.newLogFolder = folder;
    result.path = QDir(folder).filePath(QFileInfo(request.fileName).fileName());
    const bool rtf = prefs.value(QStringLiteral("prefLogFileFormat")).toLongLong() == 1;
    const bool written = rtf ? SaveLogToRTFFile(request.logText, result.path)
                             : SaveLogToTextFile(request.logText, result.path);
    if (!written) {
        result.status = LogSaveStatus::WriteFailed;
        result.errorText = GLS("Can't write the file") + QStringLiteral(" \"") + result.path + QStringLiteral("\" ")
            + GLS("to the disk") + u'.';
        qWarning().noquote() << "Log file not written:" << result.path;
        return result;
    }
    result.status = LogSaveStatus::Saved;
    if (prefs.value(QStringLiteral("prefDeleteLogsOn")).toBool())
        result.pruned = RemoveLastLogFiles(folder, prefs.value(QStringLiteral("prefDeleteLogsPop")).toLongLong(),
                                           prefs.value(QStringLiteral("prefDeleteLogsField")).toLongLong());
    return result;
}

int RemoveLastLogFiles(const QString &folder, qlonglong mode, qlonglong count, const QDateTime &now)
{
    // A count below 1 would remove every log; the preferences refuse it, and
    // a hand-edited file must not turn it into a purge.
    if ((mode != 0 && mode != 1) || count < 1 || !QFileInfo(folder).isDir())
        return 0;
    struct Entry {
        QString path;
        QDateTime modified;
    };
    QList<Entry> logs;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &fi : entries) {
        if (!fi.isFile() || fi.isSymLink() || !isLogFileName(fi.fileName()))
            continue;
        const QDateTime modified = fi.lastModified();
        if (modified.isValid())
            logs.append({fi.filePath(), modified});
    }
    int removed = 0;
    if (mode == 0) {
        const qint64 limit = count * 86400;
        for (const Entry &e : logs)
            if (e.modified.msecsTo(now) / 1000 > limit && QFile::remove(e.path))
                ++removed;
        return removed;
    }
    if (logs.size() <= count)
        return 0;
    std::sort(logs.begin(), logs.end(), [](const Entry &x, const Entry &y) { return x.modified < y.modified; });
    for (qsizetype i = 0; i < logs.size() - count; ++i)
        if (QFile::remove(logs.at(i).path))
            ++removed;
    return removed;
}

} // namespace qm
