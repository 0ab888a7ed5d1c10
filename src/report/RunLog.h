#pragma once
// The run log: one text that tells what was run, how, with which settings and
// what happened to each folder pair. Lines end in "\r"; indentation is tabs.
#include "report/LogInput.h"

#include <QString>
#include <QStringView>

#include <functional>

namespace qm {

// The header every log starts with; also the whole log before a run.
QString GetFixedLogHeader(const LogHost &host);

// The whole log of a run. When fileName is given it receives the name of this
// run's log file ("QMLog_<start time>.rtf" or ".txt", by prefLogFileFormat).
// A run handed over whole (moved) lends its detailed texts to the log.
QString MakeLog(LogRun run, const LogStyle &style, QString *fileName = nullptr);

// The log with "\n" line ends, for a terminal or a pipe.
QString logWithNewlines(const QString &log);

// Hands the log to `take` in pieces of at most 64 K characters, never
// splitting a character outside the first plane, until `take` answers false.
// For writers that convert it: a whole converted copy of a long log would add
// half again to the run's peak memory. False when `take` refused a piece.
bool forEachLogPiece(QStringView log, const std::function<bool(QStringView)> &take);

// Yes/No of a value: "Yes" when non-zero (both looked up).
QString YesNo(qlonglong value);

} // namespace qm
