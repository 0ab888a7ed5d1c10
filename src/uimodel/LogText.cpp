#include "uimodel/LogText.h"

#include "platform/Messages.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cctype>
#include <climits>
#include <vector>

namespace qm {
namespace {

// Windows-1252 where it differs from Latin-1 (0x80..0x9F); 0 = unassigned.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

QChar fromCp1252(unsigned char byte)
{
    if (byte >= 0x80 && byte < 0xA0)
        return kCp1252High[byte - 0x80] ? QChar(kCp1252High[byte - 0x80]) : QChar(u'?');
    return QChar(byte);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = char(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Destinations whose text is not part of the document.
bool isSkippedDestination(QByteArrayView word)
{
    static const char *const words[] = {"fonttbl", "colortbl", "stylesheet", "info",   "pict",
                                        "header",  "footer",   "headerl",    "headerr", "footerl",
                                        "footerr", "object",   "listtable",  "listoverridetable",
                                        "expandedcolortbl", "generator", "rsidtbl", "themedata"};
    for (const char *w : words)
        if (word == QByteArrayView(w))
            return true;
    return false;
}

class RtfReader {
public:
    explicit RtfReader(const QByteArray &data) : m_data(data) {}

    std::optional<QString> read()
    {
        if (!m_data.startsWith("{\\rtf"))
            return std::nullopt;
        m_out.reserve(m_data.size());
        m_groups.push_back(Group{});
        const qsizetype n = m_data.size();
        while (m_at < n) {
            const char c = m_data[m_at++];
            switch (c) {
            case '{':
                m_pendingSkip = 0;
                m_groups.push_back(m_groups.back());
                break;
            case '}':
                m_pendingSkip = 0;
                if (m_groups.size() > 1)
                    m_groups.pop_back();
                break;
            case '\\':
                controlSymbolOrWord();
                break;
            case '\r':
            case '\n':
                break; // line breaks of the RTF source itself
            default:
                if (m_pendingSkip > 0 || m_groups.back().skip || uchar(c) >= 0x80) {
                    text(fromCp1252(uchar(c)));
                    break;
                }
                // A run of plain characters, most of a log, in one step.
                const qsizetype start = m_at - 1;
                while (m_at < n && isPlain(m_data[m_at]))
                    ++m_at;
                m_out.append(QLatin1StringView(m_data.constData() + start, m_at - start));
                break;
            }
        }
        return m_out;
    }

private:
    static bool isPlain(char c)
    {
        const uchar u = uchar(c);
        return u >= 0x20 && u < 0x80 && c != '\\' && c != '{' && c != '}';
    }

    struct Group {
        bool skip = false;
        int unicodeSkip = 1; // \ucN: fallback characters after each \uN
    };

    void text(QChar c)
    {
        if (m_pendingSkip > 0) {
            --m_pendingSkip;
            return;
        }
        if (!m_groups.back().skip)
            m_out.append(c);
    }

    void controlSymbolOrWord()
    {
        const qsizetype n = m_data.size();
        if (m_at >= n)
            return;
        const char c = m_data[m_at];
        if (!std::isalpha(uchar(c))) {
            ++m_at;
            controlSymbol(c);
            return;
        }
        const qsizetype wordStart = m_at;
        while (m_at < n && std::isalpha(uchar(m_data[m_at])))
            ++m_at;
        const QByteArrayView word(m_data.constData() + wordStart, m_at - wordStart);
        std::optional<int> param;
        const qsizetype numberStart = m_at;
        if (m_at < n && (m_data[m_at] == '-' || std::isdigit(uchar(m_data[m_at])))) {
            const bool negative = m_data[m_at] == '-';
            if (negative)
                ++m_at;
            // Parsed in place: a log has a control word on every line.
            qint64 value = 0;
            while (m_at < n && std::isdigit(uchar(m_data[m_at]))) {
                if (value < (qint64(1) << 32))
                    value = value * 10 + (m_data[m_at] - '0');
                ++m_at;
            }
            if (m_at - numberStart > (negative ? 1 : 0))
                param = int(std::clamp<qint64>(negative ? -value : value, INT_MIN, INT_MAX));
        }
        if (m_at < n && m_data[m_at] == ' ')
            ++m_at; // the delimiter belongs to the word
        controlWord(word, param);
    }

    void controlSymbol(char c)
    {
        switch (c) {
        case '\\':
        case '{':
        case '}':
            text(QChar::fromLatin1(c));
            break;
        case '\'': {
            const int high = m_at < m_data.size() ? hexValue(m_data[m_at]) : -1;
            const int low = m_at + 1 < m_data.size() ? hexValue(m_data[m_at + 1]) : -1;
            if (high >= 0 && low >= 0) {
                m_at += 2;
                text(fromCp1252(uchar(high * 16 + low)));
            }
            break;
        }
        case '*':
            m_groups.back().skip = true;
            break;
        case '~':
            text(QChar(0x00A0));
            break;
        case '_':
            text(QChar(u'-'));
            break;
        case '\r':
        case '\n':
            newLine();
            break;
        default:
            break; // "\-" (optional hyphen) and unknown symbols show nothing
        }
    }

    void newLine()
    {
        m_pendingSkip = 0;
        text(QChar(u'\r'));
    }

    void controlWord(QByteArrayView word, std::optional<int> param)
    {
        if (word == "u" && param) {
            // A 16-bit code unit written as a signed number; its fallback
            // characters follow and are not part of the text.
            const char16_t unit = char16_t(*param < 0 ? *param + 65536 : *param);
            m_pendingSkip = 0;
            text(QChar(unit));
            m_pendingSkip = m_groups.back().unicodeSkip;
        } else if (word == "uc") {
            m_groups.back().unicodeSkip = param.value_or(1);
        } else if (word == "par" || word == "line") {
            newLine();
        } else if (word == "tab") {
            text(QChar(u'\t'));
        } else if (word == "emdash") {
            text(QChar(0x2014));
        } else if (word == "endash") {
            text(QChar(0x2013));
        } else if (word == "bullet") {
            text(QChar(0x2022));
        } else if (word == "lquote") {
            text(QChar(0x2018));
        } else if (word == "rquote") {
            text(QChar(0x2019));
        } else if (word == "ldblquote") {
            text(QChar(0x201C));
        } else if (word == "rdblquote") {
            text(QChar(0x201D));
        } else if (isSkippedDestination(word)) {
            m_groups.back().skip = true;
        }
    }

    const QByteArray &m_data;
    qsizetype m_at = 0;
    std::vector<Group> m_groups;
    int m_pendingSkip = 0;
    QString m_out;
};

// Plain-text logs are UTF-8; an older file in a single-byte code page is
// still read rather than refused.
QString plainLogText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    text.clear();
    text.reserve(bytes.size());
    for (char c : bytes)
        text.append(fromCp1252(uchar(c)));
    return text;
}

} // namespace

std::optional<QString> rtfToText(const QByteArray &rtf)
{
    return RtfReader(rtf).read();
}

QString logDisplayText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

LogWindowContent FillLogWindow(const QString &path, const QString &lastRunLog)
{
    LogWindowContent content;
    const QFileInfo info(path);
    if (!path.isEmpty() && info.exists() && !info.isDir()) {
        QFile file(path);
        std::optional<QString> text;
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.readAll();
            if (file.error() == QFileDevice::NoError)
                text = info.suffix() == QLatin1String("rtf") ? rtfToText(bytes) : plainLogText(bytes);
        }
        if (!text) {
            content.source = LogWindowContent::Source::CannotOpen;
            return content;
        }
        content.source = LogWindowContent::Source::File;
        content.title = info.fileName();
        content.text = logDisplayText(std::move(*text));
        return content;
    }
    if (lastRunLog.isEmpty())
        return content;
    content.source = LogWindowContent::Source::LastRun;
    content.title = GLS("Log Window");
    content.text = logDisplayText(lastRunLog);
    return content;
}

std::optional<TextRange> LogFindError(const QString &text, TextRange selection, bool previous)
{
    static const QString kMark = QStringLiteral("√ ");
    const qsizetype total = text.size();
    qsizetype s = selection.start, l = selection.length;
    if (s < 0) {
        // No selection at all: the whole text is searched, from its start
        // going forward and from its end going back.
        s = previous ? total : 0;
        l = 0;
    }
    s = qBound(qsizetype(0), s, total);
    const qsizetype after = qBound(s, s + l, total);
    const qsizetype markLength = kMark.size();

    // Forward from `from`, the mark wholly before `end`.
    auto forward = [&](qsizetype from, qsizetype end) -> qsizetype {
        const qsizetype p = text.indexOf(kMark, from);
        return p >= 0 && p + markLength <= end ? p : -1;
    };
    // Backward: the last mark wholly inside [from, end).
    auto backward = [&](qsizetype from, qsizetype end) -> qsizetype {
        if (end - from < markLength)
            return -1;
        const qsizetype p = text.lastIndexOf(kMark, end - markLength);
        return p >= from ? p : -1;
    };
    qsizetype found;
    if (previous) {
        found = backward(0, s);
        if (found < 0)
            found = backward(after, total);
    } else {
        found = forward(after, total);
        if (found < 0)
            found = forward(0, s);
    }
    if (found < 0)
        return std::nullopt;
    // The whole line: up to its line end, or to the end of the text for a
    // last line without one.
    qsizetype end = text.indexOf(QLatin1Char('\n'), found);
    if (end < 0)
        end = total;
    return TextRange{found, end - found};
}

} // namespace qm
