// Every text the program looks up must be in the English table, or the
// table cannot be translated completely. These tests read the sources and
// find each GLS("...") / GLS(QStringLiteral("...")) call with a literal text.
#include "platform/Messages.h"

#include <QDirIterator>
#include <QFile>
#include <gtest/gtest.h>

#include <cstring>
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

bool isIdentStart(char c) { return c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isIdentChar(char c) { return isIdentStart(c) || (c >= '0' && c <= '9'); }

// Decodes the literal whose opening quote is at s[*pos] and moves past it.
// Numeric escapes are bytes of the UTF-8 text in narrow literals, code
// points in wide ones.
QString decodeLiteral(const QByteArray &s, qsizetype *pos, int *line, const QByteArray &prefix)
{
    const auto at = [&s](qsizetype i) { return i < s.size() ? s.at(i) : '\0'; };
    const char quote = s.at((*pos)++);
    if (prefix.endsWith('R') && quote == '"') {
        const qsizetype open = s.indexOf('(', *pos);
        if (open < 0) {
            *pos = s.size();
            return QString();
        }
        const QByteArray close = ")" + s.mid(*pos, open - *pos) + "\"";
        qsizetype end = s.indexOf(close, open + 1);
        if (end < 0)
            end = s.size();
        const QByteArray body = s.mid(open + 1, end - open - 1);
        *line += int(body.count('\n'));
        *pos = qMin(end + close.size(), s.size());
        return QString::fromUtf8(body);
    }
    const bool narrow = prefix.isEmpty() || prefix == "u8";
    QByteArray bytes;
    QString text;
    const auto codePoint = [&](char32_t cp) {
        text += QString::fromUtf8(bytes) + QString::fromUcs4(&cp, 1);
        bytes.clear();
    };
    const auto unit = [&](uint v) {
        if (narrow)
            bytes.append(char(v));
        else
            codePoint(v);
    };
    const auto hexDigit = [](char c) {
        const char lower = char(c | 0x20);
        return c >= '0' && c <= '9' ? c - '0' : lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
    };
    static const char simple[] = "nrtabfv", simpleValue[] = "\n\r\t\a\b\f\v";
    while (*pos < s.size() && s.at(*pos) != quote && s.at(*pos) != '\n') {
        const char c = s.at((*pos)++);
        if (c != '\\') {
            bytes.append(c);
            continue;
        }
        const char e = at((*pos)++);
        if (const char *p = e ? std::strchr(simple, e) : nullptr) {
            bytes.append(simpleValue[p - simple]);
        } else if (e == '\n') {
            ++*line; // line splice inside the literal
        } else if (e == 'x') {
            uint v = 0;
            for (int d; (d = hexDigit(at(*pos))) >= 0; ++*pos)
                v = v * 16 + uint(d);
            unit(v);
        } else if (e == 'u' || e == 'U') {
            const int n = e == 'u' ? 4 : 8;
            codePoint(s.mid(*pos, n).toUInt(nullptr, 16));
            *pos += n;
        } else if (e >= '0' && e <= '7') {
            uint v = uint(e - '0');
            for (int i = 0; i < 2 && at(*pos) >= '0' && at(*pos) <= '7'; ++i)
                v = v * 8 + uint(s.at((*pos)++) - '0');
            unit(v);
        } else {
            bytes.append(e); // \" \' \\ \?
        }
    }
    ++*pos; // the closing quote
    return text + QString::fromUtf8(bytes);
}

std::vector<Token> tokensOf(const QByteArray &s)
{
    const auto at = [&s](qsizetype i) { return i < s.size() ? s.at(i) : '\0'; };
    static const QList<QByteArray> prefixes{"u8", "u", "U", "L", "R", "u8R", "uR", "UR", "LR"};
    std::vector<Token> out;
    int line = 1;
    for (qsizetype i = 0; i < s.size();) {
        const char c = s.at(i);
        if (c == ' ' || (c >= '\t' && c <= '\r') || (c == '\\' && at(i + 1) == '\n')) {
            line += c == '\n' || c == '\\';
            i += c == '\\' ? 2 : 1;
            continue;
        }
        if (c == '/' && (at(i + 1) == '/' || at(i + 1) == '*')) {
            const bool block = at(i + 1) == '*';
            qsizetype end = s.indexOf(block ? "*/" : "\n", i + 2);
            end = end < 0 ? s.size() : end + (block ? 2 : 0);
            line += int(s.mid(i, end - i).count('\n'));
            i = end;
            continue;
        }
        Token t;
        t.line = line;
        if (isIdentStart(c)) {
            const qsizetype start = i;
            while (i < s.size() && isIdentChar(s.at(i)))
                ++i;
            const QByteArray word = s.mid(start, i - start);
            if ((at(i) == '"' || at(i) == '\'') && prefixes.contains(word)) {
                t.kind = at(i) == '"' ? Token::String : Token::Other;
                t.value = decodeLiteral(s, &i, &line, word);
            } else {
                t.kind = Token::Identifier;
                t.spelling = word;
            }
        } else if (c == '"' || c == '\'') {
            t.kind = c == '"' ? Token::String : Token::Other;
            t.value = decodeLiteral(s, &i, &line, QByteArray());
        } else if (c >= '0' && c <= '9') {
            // A pp-number, with digit separators (1'000) that are no char literals.
            const auto exponent = [&](qsizetype k) {
                return at(k) == 'e' || at(k) == 'E' || at(k) == 'p' || at(k) == 'P';
            };
            while (isIdentChar(at(i)) || at(i) == '.' || (at(i) == '\'' && isIdentChar(at(i + 1)))
                   || ((at(i) == '+' || at(i) == '-') && exponent(i - 1)))
                ++i;
        } else {
            t.kind = Token::Punct;
            t.spelling = QByteArray(1, c);
            ++i;
        }
        out.push_back(t);
    }
    return out;
}

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
    const std::vector<Token> t = tokensOf(source);
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
