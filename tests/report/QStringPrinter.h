#pragma once
// Readable failure messages for texts: the UTF-8 form, with the log's
// carriage returns and tabs shown as escapes.
#include <QString>

#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os)
{
    QString shown = s;
    shown.replace(u'\\', QStringLiteral("\\\\")).replace(u'\r', QStringLiteral("\\r\n"))
        .replace(u'\n', QStringLiteral("\\n\n")).replace(u'\t', QStringLiteral("\\t"));
    *os << '"' << shown.toStdString() << '"';
}
