#include "platform/Messages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringDecoder>

namespace qm {
namespace {

// A small scanner for the ".strings" grammar: quoted keys and values,
// C and C++ comments, backslash escapes (\n \r \t \" \\ \Uxxxx).
class StringsScanner {
public:
    explicit StringsScanner(const QString &text) : m_s(text) {}

    bool parse(QHash<QString, QString> *out, QString *error)
    {
        QHash<QString, QString> table;
        for (;;) {
            if (!skipSpace())
                return fault(error, QStringLiteral("a comment is not closed"));
            if (m_pos >= m_s.size())
                break;
            QString key, value;
            if (peek() != u'"')
                return fault(error, QStringLiteral("a quoted key was expected"));
            if (!quoted(&key, error))
                return false;
            if (!skipSpace())
                return fault(error, QStringLiteral("a comment is not closed"));
            if (peek() == u';') {
                ++m_pos;
                table.insert(key, key);
                continue;
            }
            if (peek() != u'=')
                return fault(error, QStringLiteral("\"=\" was expected"));
            ++m_pos;
            if (!skipSpace())
                return fault(error, QStringLiteral("a comment is not closed"));
            if (peek() != u'"')
                return fault(error, QStringLiteral("a quoted value was expected"));
            if (!quoted(&value, error))
                return false;
            if (!skipSpace())
                return fault(error, QStringLiteral("a comment is not closed"));
            if (peek() != u';')
                return fault(error, QStringLiteral("\";\" was expected"));
            ++m_pos;
            table.insert(key, value);
        }
        *out = std::move(table);
        return true;
    }

private:
    const QString &m_s;
    qsizetype m_pos = 0;

    QChar peek() const { return m_pos < m_s.size() ? m_s.at(m_pos) : QChar(); }

    int line(qsizetype pos) const { return int(QStringView(m_s).left(pos).count(u'\n')) + 1; }

    bool fault(QString *error, const QString &what) const { return faultAt(error, m_pos, what); }

    bool faultAt(QString *error, qsizetype pos, const QString &what) const
    {
        if (error)
            *error = QStringLiteral("line %1: %2").arg(line(pos)).arg(what);
        return false;
    }

    // Skips blanks and comments; false when a block comment runs to the
    // end of the file (everything after it would silently be lost).
    bool skipSpace()
    {
        while (m_pos < m_s.size()) {
            if (m_s.at(m_pos).isSpace()) {
                ++m_pos;
            } else if (QStringView(m_s).mid(m_pos, 2) == u"/*") {
                const qsizetype end = m_s.indexOf(u"*/", m_pos + 2);
                if (end < 0)
                    return false;
                m_pos = end + 2;
            } else if (QStringView(m_s).mid(m_pos, 2) == u"//") {
                const qsizetype end = m_s.indexOf(u'\n', m_pos);
                m_pos = end < 0 ? m_s.size() : end + 1;
            } else {
                return true;
            }
        }
        return true;
    }

    static int hexDigit(QChar c)
    {
        const char16_t u = c.unicode();
        if (u >= '0' && u <= '9')
            return u - '0';
        if (u >= 'a' && u <= 'f')
            return u - 'a' + 10;
        if (u >= 'A' && u <= 'F')
            return u - 'A' + 10;
        return -1;
    }

    // Reads exactly four hex digits after \U; anything shorter is a fault.
    bool unicodeEscape(QString *text)
    {
        if (m_pos + 4 > m_s.size())
            return false;
        char16_t code = 0;
        for (int i = 0; i < 4; ++i) {
            const int d = hexDigit(m_s.at(m_pos + i));
            if (d < 0)
                return false;
            code = char16_t(code * 16 + d);
        }
        text->append(QChar(code));
        m_pos += 4;
        return true;
    }

    // At an opening quote: reads the quoted text with its escapes.
    bool quoted(QString *out, QString *error)
    {
        const qsizetype start = m_pos++;
        QString text;
        while (m_pos < m_s.size()) {
            const QChar c = m_s.at(m_pos++);
            if (c == u'"') {
                *out = text;
                return true;
            }
            if (c != u'\\') {
                text.append(c);
                continue;
            }
            if (m_pos >= m_s.size())
                break;
            const qsizetype escapeAt = m_pos - 1;
            const QChar e = m_s.at(m_pos++);
            switch (e.unicode()) {
            case 'n': text.append(u'\n'); break;
            case 'r': text.append(u'\r'); break;
            case 't': text.append(u'\t'); break;
            case 'U':
            case 'u':
                if (!unicodeEscape(&text))
                    return faultAt(error, escapeAt, QStringLiteral("\\U must be followed by four hex digits"));
                break;
            default: text.append(e); break;
            }
        }
        return faultAt(error, start, QStringLiteral("a quoted text is not closed"));
    }
};

// The text of a strings file: UTF-16 when it starts with a byte-order mark,
// else UTF-8 (an optional UTF-8 mark is dropped). Bytes that do not decode
// refuse the file: a table in another encoding would show garbled texts.
bool decodeStrings(const QByteArray &bytes, QString *text)
{
    QStringConverter::Encoding enc = QStringConverter::Utf8;
    qsizetype skip = 0;
    if (bytes.startsWith("\xFF\xFE")) {
        enc = QStringConverter::Utf16LE;
        skip = 2;
    } else if (bytes.startsWith("\xFE\xFF")) {
        enc = QStringConverter::Utf16BE;
        skip = 2;
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        skip = 3;
    }
    QStringDecoder dec(enc, QStringConverter::Flag::Stateless);
    *text = dec(QByteArrayView(bytes).sliced(skip));
    return !dec.hasError();
}

MessageTable &installedTable()
{
    static MessageTable table;
    return table;
}

// "C" and "POSIX" name no language, also with a code set ("C.UTF-8").
void appendLanguage(QStringList *out, const QString &tag)
{
    QString t = tag.section(u'.', 0, 0).section(u'@', 0, 0);
    t.replace(u'-', u'_');
    if (t.isEmpty() || t == u"C" || t == u"POSIX")
        return;
    const QStringList forms = {t, t.section(u'_', 0, 0),
                               QLocale::languageToString(QLocale(t).language())};
    for (const QString &f : forms)
        if (!f.isEmpty() && f != u"C" && !out->contains(f))
            out->append(f);
}

} // namespace

bool MessageTable::load(const QString &path, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, f.errorString());
        return false;
    }
    QString text;
    if (!decodeStrings(f.readAll(), &text)) {
        if (error)
            *error = QStringLiteral("%1: not UTF-8, nor UTF-16 with a byte-order mark").arg(path);
        return false;
    }
    QHash<QString, QString> table;
    QString why;
    if (!StringsScanner(text).parse(&table, &why)) {
        if (error)
            *error = QStringLiteral("%1, %2").arg(path, why);
        return false;
    }
    for (auto it = table.cbegin(); it != table.cend(); ++it)
        m_table.insert(it.key(), it.value());
    return true;
}

QString MessageTable::lookup(const QString &text) const
{
    if (text.isEmpty())
        return QString();
    const auto it = m_table.constFind(text);
    if (it == m_table.cend() || it->isEmpty())
        return text;
    return *it;
}

QStringList preferredLanguages()
{
    QStringList out;
    for (const QString &tag : QString::fromLocal8Bit(qgetenv("LANGUAGE")).split(u':', Qt::SkipEmptyParts))
        appendLanguage(&out, tag);
    for (const char *var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString v = QString::fromLocal8Bit(qgetenv(var));
        if (!v.isEmpty()) {
            appendLanguage(&out, v);
            break;
        }
    }
    for (const QString &tag : QLocale::system().uiLanguages())
        appendLanguage(&out, tag);
    // A user who ranks English above other languages keeps that order.
    if (!out.contains(QStringLiteral("English")))
        out.append(QStringLiteral("English"));
    return out;
}

QString findStringsFile(const QString &resourcesDir, const QStringList &languages)
{
    QStringList tries = languages;
    if (!tries.contains(QStringLiteral("English")))
        tries.append(QStringLiteral("English"));
    for (const QString &lang : tries) {
        // Language names come from the environment: never let one reach
        // outside the resources folder.
        if (lang.isEmpty() || lang.contains(u'/') || lang.contains(u'\\'))
            continue;
        const QString p = resourcesDir + u'/' + lang + QStringLiteral(".lproj/Localizable.strings");
        if (QFileInfo(p).isFile())
            return p;
    }
    return QString();
}

QString resourcesDirectory()
{
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/resources");
    if (QFileInfo(beside).isDir())
        return beside;
    const QString installed = QCoreApplication::applicationDirPath() + QStringLiteral("/../share/quillmere");
    if (QFileInfo(installed).isDir())
        return QDir::cleanPath(installed);
    return beside;
}

void installMessageTable(const MessageTable &table)
{
    installedTable() = table;
}

const MessageTable &messageTable()
{
    return installedTable();
}

QString GLS(const QString &text)
{
    return installedTable().lookup(text);
}

} // namespace qm
