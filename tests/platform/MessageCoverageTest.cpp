// Every text the program looks up must be in the English table, or the
// table cannot be translated completely. These tests read the sources and
// find each GLS("...") / GLS(QStringLiteral("...")) call with a literal text.
#include "platform/Messages.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
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
    QString text; // the spelling, or the decoded value of a string literal
    qsizetype offset = 0;
};

int digitValue(char c, int base)
{
    const int d = c >= '0' && c <= '9' ? c - '0' : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10 : 99;
    return d < base ? d : -1;
}

// The text of a literal's body. Numeric escapes are bytes of the UTF-8 text
// in narrow literals, code points in wide ones.
QString decoded(const QByteArray &s, bool narrow)
{
    static const char simple[] = "nrtabfv", simpleValue[] = "\n\r\t\a\b\f\v";
    QString text;
    QByteArray bytes;
    const auto codePoint = [&](char32_t cp) {
        text += QString::fromUtf8(bytes) + QString::fromUcs4(&cp, 1);
        bytes.clear();
    };
    for (qsizetype i = 0; i < s.size();) {
        const char c = s.at(i++);
        if (c != '\\' || i == s.size()) {
            bytes.append(c);
            continue;
        }
        const char e = s.at(i++);
        int base = 16, digits = 8;
        if (const char *p = std::strchr(simple, e); p && e) {
            bytes.append(simpleValue[p - simple]);
            continue;
        } else if (e == '\n') {
            continue; // a line splice
        } else if (e == 'x') {
            digits = int(s.size());
        } else if (e == 'u') {
            digits = 4;
        } else if (e >= '0' && e <= '7') {
            base = 8, digits = 3, --i;
        } else if (e != 'U') {
            bytes.append(e); // \" \' \\ \?
            continue;
        }
        uint v = 0;
        for (int k = 0, d; k < digits && i < s.size() && (d = digitValue(s.at(i), base)) >= 0; ++k, ++i)
            v = v * uint(base) + uint(d);
        if (narrow && e != 'u' && e != 'U')
            bytes.append(char(v));
        else
            codePoint(v);
    }
    return text + QString::fromUtf8(bytes);
}

std::vector<Token> tokensOf(const QString &s)
{
    static const QRegularExpression token(
        QStringLiteral(R"re(//[^\n]*|/\*.*?(?:\*/|$)|\\\n)re"
                       R"re(|(?:u8|[uUL])?R"(?<delim>[^()\\\s]{0,16})\((?<raw>.*?)\)\k<delim>")re"
                       R"re(|(?<prefix>(?:u8|[uUL])?)"(?<body>(?:[^"\\\n]|\\.)*)"?)re"
                       R"re(|'(?:[^'\\\n]|\\.)*'?|[A-Za-z_]\w*|\d(?:[\w.]|'(?=\w)|(?<=[eEpP])[+-])*|\S)re"),
        QRegularExpression::DotMatchesEverythingOption);
    std::vector<Token> out;
    for (auto it = token.globalMatch(s); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString word = m.captured();
        Token t;
        t.offset = m.capturedStart();
        if (word.startsWith(u"//") || word.startsWith(u"/*") || word.startsWith(u'\\')) {
            continue;
        } else if (m.capturedStart(u"raw") >= 0) {
            t.kind = Token::String;
            t.text = m.captured(u"raw");
        } else if (m.capturedStart(u"body") >= 0) {
            const QString prefix = m.captured(u"prefix");
            t.kind = Token::String;
            t.text = decoded(m.captured(u"body").toUtf8(), prefix.isEmpty() || prefix == u"u8");
        } else {
            const QChar c = word.at(0);
            t.kind = c == u'_' || c.isLetter() ? Token::Identifier : c == u'\'' || c.isDigit() ? Token::Other
                                                                                          : Token::Punct;
            t.text = word;
        }
        out.push_back(t);
    }
    return out;
}

// The texts of every GLS call whose whole argument is a literal text, alone
// or inside one conversion (QStringLiteral, QString, QString::fromUtf8...).
std::vector<LookedUpText> literalLookups(const QByteArray &source)
{
    const QString s = QString::fromUtf8(source);
    const std::vector<Token> t = tokensOf(s);
    const auto is = [&t](size_t i, Token::Kind kind, const char *text = nullptr) {
        return i < t.size() && t[i].kind == kind && (!text || t[i].text == QLatin1String(text));
    };
    static const QStringList wrappers{"QStringLiteral", "QString", "QLatin1String", "QLatin1StringView"};
    std::vector<LookedUpText> out;
    for (size_t i = 0; i + 1 < t.size(); ++i) {
        if (!is(i, Token::Identifier, "GLS") || !is(i + 1, Token::Punct, "("))
            continue;
        size_t j = i + 2, wrapper = 0;
        if (is(j, Token::Identifier) && wrappers.contains(t[j].text) && is(j + 1, Token::Punct, "("))
            wrapper = 2;
        else if (is(j, Token::Identifier, "QString") && is(j + 1, Token::Punct, ":") && is(j + 2, Token::Punct, ":")
                 && (is(j + 3, Token::Identifier, "fromUtf8") || is(j + 3, Token::Identifier, "fromLatin1"))
                 && is(j + 4, Token::Punct, "("))
            wrapper = 5;
        j += wrapper;
        const size_t first = j;
        QString text;
        while (is(j, Token::String))
            text += t[j++].text;
        // GLS("a" + x) and the like are no whole literal.
        if (j == first || (wrapper && !is(j++, Token::Punct, ")")) || !is(j, Token::Punct, ")"))
            continue;
        out.push_back({text, int(s.left(t[i].offset).count(u'\n')) + 1});
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
