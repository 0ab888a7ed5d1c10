// Every text the program looks up must be in the English table, or the
// table cannot be translated completely. These tests read the sources and
// find each GLS("...") / GLS(QStringLiteral("...")) call with a literal text.
#include "platform/Messages.h"

#include <QDirIterator>
#include <QFile>
#include <gtest/gtest.h>

#include <cctype>
#include <vector>

using namespace qm;

namespace {

struct LookedUpText {
    QString text;
    int line = 0;
};

// A C++ token, as far as finding literal calls needs: comments are dropped,
// adjacent string literals stay separate tokens.
struct Token {
    enum Kind { Identifier, String, Punct, Other } kind = Other;
    QByteArray spelling; // identifier or punctuation
    QString value;       // decoded text of a string literal
    int line = 0;
};

class SourceLexer {
public:
    explicit SourceLexer(const QByteArray &src) : m_s(src) {}

    std::vector<Token> tokens()
    {
        std::vector<Token> out;
        while (skipBlanksAndComments()) {
            const char c = m_s.at(m_pos);
            Token t;
            t.line = m_line;
            if (isIdentStart(c)) {
                const qsizetype start = m_pos;
                while (m_pos < m_s.size() && isIdentChar(m_s.at(m_pos)))
                    ++m_pos;
                const QByteArray word = m_s.mid(start, m_pos - start);
                if (m_pos < m_s.size() && (m_s.at(m_pos) == '"' || m_s.at(m_pos) == '\'')
                    && isLiteralPrefix(word)) {
                    t.kind = m_s.at(m_pos) == '"' ? Token::String : Token::Other;
                    t.value = literal(word);
                } else {
                    t.kind = Token::Identifier;
                    t.spelling = word;
                }
            } else if (c == '"' || c == '\'') {
                t.kind = c == '"' ? Token::String : Token::Other;
                t.value = literal(QByteArray());
            } else if (c >= '0' && c <= '9') {
                skipNumber();
            } else {
                t.kind = Token::Punct;
                t.spelling = QByteArray(1, c);
                ++m_pos;
            }
            out.push_back(t);
        }
        return out;
    }

private:
    const QByteArray &m_s;
    qsizetype m_pos = 0;
    int m_line = 1;

    static bool isIdentStart(char c) { return c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool isIdentChar(char c) { return isIdentStart(c) || (c >= '0' && c <= '9'); }
    static bool isLiteralPrefix(const QByteArray &w)
    {
        return w == "u8" || w == "u" || w == "U" || w == "L" || w == "R" || w == "u8R" || w == "uR"
            || w == "UR" || w == "LR";
    }

    char at(qsizetype i) const { return i < m_s.size() ? m_s.at(i) : '\0'; }

    void advance()
    {
        if (m_s.at(m_pos) == '\n')
            ++m_line;
        ++m_pos;
    }

    bool skipBlanksAndComments()
    {
        while (m_pos < m_s.size()) {
            const char c = m_s.at(m_pos);
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                advance();
            } else if (c == '\\' && at(m_pos + 1) == '\n') { // line splice
                advance();
                advance();
            } else if (c == '/' && at(m_pos + 1) == '/') {
                while (m_pos < m_s.size() && m_s.at(m_pos) != '\n')
                    advance();
            } else if (c == '/' && at(m_pos + 1) == '*') {
                m_pos += 2;
                while (m_pos < m_s.size() && !(m_s.at(m_pos) == '*' && at(m_pos + 1) == '/'))
                    advance();
                m_pos = qMin(m_pos + 2, m_s.size());
            } else {
                return true;
            }
        }
        return false;
    }

    // A pp-number, with digit separators (1'000) that are no char literals.
    void skipNumber()
    {
        while (m_pos < m_s.size()) {
            const char c = m_s.at(m_pos);
            if (isIdentChar(c) || c == '.')
                ++m_pos;
            else if (c == '\'' && isIdentChar(at(m_pos + 1)))
                ++m_pos;
            else if ((c == '+' || c == '-') && (at(m_pos - 1) == 'e' || at(m_pos - 1) == 'E'
                                                || at(m_pos - 1) == 'p' || at(m_pos - 1) == 'P'))
                ++m_pos;
            else
                break;
        }
    }

    // At the opening quote of a literal with the given prefix; decodes it.
    QString literal(const QByteArray &prefix)
    {
        const char quote = m_s.at(m_pos);
        ++m_pos;
        if (prefix.endsWith('R') && quote == '"')
            return rawLiteral();
        const bool narrow = prefix.isEmpty() || prefix == "u8";
        QByteArray bytes; // narrow literals: UTF-8 bytes, escapes included
        QString wide;
        auto flush = [&] {
            wide += QString::fromUtf8(bytes);
            bytes.clear();
        };
        while (m_pos < m_s.size() && m_s.at(m_pos) != quote && m_s.at(m_pos) != '\n') {
            const char c = m_s.at(m_pos++);
            if (c != '\\') {
                bytes.append(c);
                continue;
            }
            const char e = at(m_pos++);
            switch (e) {
            case 'n': bytes.append('\n'); break;
            case 'r': bytes.append('\r'); break;
            case 't': bytes.append('\t'); break;
            case 'a': bytes.append('\a'); break;
            case 'b': bytes.append('\b'); break;
            case 'f': bytes.append('\f'); break;
            case 'v': bytes.append('\v'); break;
            case '\n': ++m_line; break; // line splice inside the literal
            case 'x': {
                uint v = 0;
                while (isxdigit(uchar(at(m_pos))))
                    v = v * 16 + uint(QByteArray(1, m_s.at(m_pos++)).toUInt(nullptr, 16));
                appendUnit(v, narrow, &bytes, &wide, flush);
                break;
            }
            case 'u':
            case 'U': {
                const int n = e == 'u' ? 4 : 8;
                const char32_t cp = m_s.mid(m_pos, n).toUInt(nullptr, 16);
                m_pos += n;
                flush();
                wide += QString::fromUcs4(&cp, 1);
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    uint v = uint(e - '0');
                    for (int i = 0; i < 2 && at(m_pos) >= '0' && at(m_pos) <= '7'; ++i)
                        v = v * 8 + uint(m_s.at(m_pos++) - '0');
                    appendUnit(v, narrow, &bytes, &wide, flush);
                } else {
                    bytes.append(e); // \" \' \\ \?
                }
            }
        }
        ++m_pos; // the closing quote
        flush();
        return wide;
    }

    // Numeric escapes are bytes of the UTF-8 text in narrow literals, code
    // points in wide ones.
    template <typename Flush>
    static void appendUnit(uint v, bool narrow, QByteArray *bytes, QString *wide, Flush flush)
    {
        if (narrow) {
            bytes->append(char(v));
            return;
        }
        flush();
        const char32_t cp = v;
        *wide += QString::fromUcs4(&cp, 1);
    }

    QString rawLiteral()
    {
        const qsizetype open = m_s.indexOf('(', m_pos);
        if (open < 0) {
            m_pos = m_s.size();
            return QString();
        }
        const QByteArray close = ")" + m_s.mid(m_pos, open - m_pos) + "\"";
        qsizetype end = m_s.indexOf(close, open + 1);
        if (end < 0)
            end = m_s.size();
        const QByteArray body = m_s.mid(open + 1, end - open - 1);
        m_line += int(body.count('\n'));
        m_pos = qMin(end + close.size(), m_s.size());
        return QString::fromUtf8(body);
    }
};

bool isPunct(const std::vector<Token> &t, size_t i, char c)
{
    return i < t.size() && t[i].kind == Token::Punct && t[i].spelling == QByteArray(1, c);
}

// Adjacent literals starting at i form one text; answers the index after them.
size_t concatenated(const std::vector<Token> &t, size_t i, QString *text)
{
    text->clear();
    while (i < t.size() && t[i].kind == Token::String)
        *text += t[i++].value;
    return i;
}

bool isIdentifier(const std::vector<Token> &t, size_t i, const char *name)
{
    return i < t.size() && t[i].kind == Token::Identifier && t[i].spelling == name;
}

// The tokens of a conversion around a literal ("QStringLiteral(",
// "QString(", "QString::fromUtf8(", "QLatin1String("), or 0 when none.
size_t wrapperLength(const std::vector<Token> &t, size_t i)
{
    for (const char *name : {"QStringLiteral", "QString", "QLatin1String", "QLatin1StringView"})
        if (isIdentifier(t, i, name) && isPunct(t, i + 1, '('))
            return 2;
    if (isIdentifier(t, i, "QString") && isPunct(t, i + 1, ':') && isPunct(t, i + 2, ':')
        && (isIdentifier(t, i + 3, "fromUtf8") || isIdentifier(t, i + 3, "fromLatin1"))
        && isPunct(t, i + 4, '('))
        return 5;
    return 0;
}

// The texts of every GLS call whose whole argument is a literal text.
std::vector<LookedUpText> literalLookups(const QByteArray &source)
{
    const std::vector<Token> t = SourceLexer(source).tokens();
    std::vector<LookedUpText> out;
    for (size_t i = 0; i + 1 < t.size(); ++i) {
        if (!isIdentifier(t, i, "GLS") || !isPunct(t, i + 1, '('))
            continue;
        size_t j = i + 2;
        const size_t wrapper = wrapperLength(t, j);
        j += wrapper;
        if (j >= t.size() || t[j].kind != Token::String)
            continue;
        QString text;
        j = concatenated(t, j, &text);
        if (wrapper && !isPunct(t, j++, ')'))
            continue;
        if (!isPunct(t, j, ')'))
            continue; // GLS("a" + x) and the like: not a whole literal
        out.push_back({text, t[i].line});
    }
    return out;
}

QStringList texts(const std::vector<LookedUpText> &found)
{
    QStringList out;
    for (const auto &f : found)
        out << f.text;
    return out;
}

QString printable(QString s)
{
    return s.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""))
        .replace(u'\r', QStringLiteral("\\r")).replace(u'\n', QStringLiteral("\\n"))
        .replace(u'\t', QStringLiteral("\\t"));
}

const QString kTable = QStringLiteral(QM_SOURCE_DIR "/resources/English.lproj/Localizable.strings");

} // namespace

TEST(SourceLookups, FindsLiteralCallsWithEscapesAndConcatenation)
{
    const QByteArray src = R"cpp(
        QString a = GLS("Warning:");
        QString b = qm::GLS(QStringLiteral("Can't find the folders"));
        QString c = GLS("Start Backup between:\rSource: ");
        QString d = GLS("Can't resolve the main source SYM link" );
        QString e = GLS("Say \"hi\" \\ back\tnow\n");
        QString f = GLS("Scanning Folders" "\xE2\x80\xA6");
        QString g = GLS(
            "Cannot run.\r"
            "Please reinstall.");
        QString h = GLS(QStringLiteral("Two " "parts"));
        QString i = GLS("Scanning Folders…");
        QString j = GLS("\u2022 Errors: ");
        QString k = GLS(u8"Octal \101\102");
        QString l = GLS(R"(Raw "quoted" \r)");
        QString m = GLS(QString("Built"));
        QString n = GLS(QString::fromUtf8("Converted"));
        QString o = GLS(QLatin1String("Latin"));
    )cpp";
    EXPECT_EQ(texts(literalLookups(src)),
              (QStringList{"Warning:", "Can't find the folders", "Start Backup between:\rSource: ",
                           "Can't resolve the main source SYM link", "Say \"hi\" \\ back\tnow\n",
                           QString::fromUtf8("Scanning Folders…"), "Cannot run.\rPlease reinstall.",
                           "Two parts", QString::fromUtf8("Scanning Folders…"),
                           QString::fromUtf8("• Errors: "), "Octal AB", "Raw \"quoted\" \\r", "Built", "Converted", "Latin"}));
}

TEST(SourceLookups, IgnoresCommentsOtherLiteralsAndNonLiteralArguments)
{
    const QByteArray src = R"cpp(
        // GLS("In a line comment")
        /* GLS("In a block comment") */
        const char *s = "GLS(\"Inside a string\")";
        char q = '"'; int n = 1'000'000; char p = '\'';
        QString a = GLS(text);
        QString b = GLS("Can't find the folders" + path);
        QString c = GLS(QStringLiteral("Wrapped") + x);
        QString d = GLS(QString(name) + QString("Built"));
        QString GLS(const QString &text);
        QString e = NOTGLS("Other function");
        QString f = GLS("Real one");
    )cpp";
    const std::vector<LookedUpText> found = literalLookups(src);
    EXPECT_EQ(texts(found), QStringList{"Real one"});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].line, 12);
}

TEST(EnglishTable, ParsesAndHoldsTheProgramsTexts)
{
    MessageTable table;
    QString error;
    ASSERT_TRUE(table.load(kTable, &error)) << error.toStdString();
    EXPECT_GE(table.size(), 300);
    // A few texts of different subsystems, with their exact punctuation.
    for (const char *text : {"Warning:", "OK", "Cannot run.", "Scanning Folders…",
                             "Start Exact Backup between:\rSource: ", "• Errors: ",
                             "Can't duplicate the \"All\" Session.", "Copy %d of %@",
                             "Can't mount the volume. User or password not authorized."}) {
        EXPECT_TRUE(table.contains(QString::fromUtf8(text))) << printable(QString::fromUtf8(text)).toStdString();
        EXPECT_EQ(table.lookup(QString::fromUtf8(text)), QString::fromUtf8(text));
    }
}

TEST(EnglishTable, HoldsEveryTextTheSourcesLookUp)
{
    MessageTable table;
    QString error;
    ASSERT_TRUE(table.load(kTable, &error)) << error.toStdString();

    QStringList missing;
    int files = 0;
    QDirIterator it(QStringLiteral(QM_SOURCE_DIR "/src"), {"*.cpp", "*.h"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
        ++files;
        for (const LookedUpText &found : literalLookups(f.readAll())) {
            if (!table.contains(found.text))
                missing << QStringLiteral("%1:%2: \"%3\"")
                               .arg(path.mid(qstrlen(QM_SOURCE_DIR) + 1))
                               .arg(found.line)
                               .arg(printable(found.text));
        }
    }
    EXPECT_GT(files, 10) << "the sources were not found: the scan itself is broken";
    EXPECT_TRUE(missing.isEmpty()) << "texts looked up but missing from " << kTable.toStdString()
                                   << ":\n  " << missing.join(u"\n  ").toStdString();
}
