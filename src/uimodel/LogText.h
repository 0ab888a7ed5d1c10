#pragma once
// The log window's rules: what it shows (a saved log file, read back with
// its text intact, or the last run's log), and the search for the previous
// or next error line.
#include <QByteArray>
#include <QString>

#include <optional>

namespace qm {

// The text of an RTF document: the program's own log files and any simple
// RTF (groups, escapes, "\uN" with its fallback characters, "\'hh" in the
// Windows-1252 code page, paragraph ends as "\r"). Styling and ignorable
// destinations (font tables, "{\*...}") are dropped. Nothing when the data
// is not RTF.
std::optional<QString> rtfToText(const QByteArray &rtf);

struct LogWindowContent {
    enum class Source {
        File,       // a saved log file: the title is its name
        LastRun,    // nothing saved there: the last run's log, "Log Window"
        Nothing,    // nothing saved and no log in memory: the window stays as it is
        CannotOpen, // a file is there but cannot be read: "Can't open this Log file."
    };
    Source source = Source::Nothing;
    QString title;
    // Line ends as the window shows them: every "\r\n" and "\r" is "\n", so
    // that an error line ends where the text view's line does.
    QString text;
    bool ok() const { return source == Source::File || source == Source::LastRun; }
};

// FillLogWindow: the file at path when one is there ("rtf" files as rich
// text, others as plain text), otherwise the last run's log.
LogWindowContent FillLogWindow(const QString &path, const QString &lastRunLog);

// "\r\n" and "\r" become "\n".
QString logDisplayText(QString text);

struct TextRange {
    qsizetype start = 0;
    qsizetype length = 0;
    bool operator==(const TextRange &) const = default;
};

// LogFindError: the error line ("√ " up to the end of its line) after the
// selection (or before it for previous), wrapping round the text; nothing
// when the text holds no error line (the window beeps). Without any
// selection (start -1) the whole text is searched.
std::optional<TextRange> LogFindError(const QString &text, TextRange selection, bool previous);

} // namespace qm
