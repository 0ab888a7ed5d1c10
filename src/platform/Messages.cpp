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
            skipSpace();
            if (m_pos >= m_s.size())
                break;
            QString key, value;
            if (!quoted(&key))
                return fault(error, QStringLiteral("a quoted key was expected"));
            skipSpace();
            if (peek() == u';') {
                ++m_pos;
                table.insert(key, key);
                continue;
            }
            if (peek() != u'=')
                return fault(error, QStringLiteral("\"=\" was expected"));
            ++m_pos;
            skipSpace();
            if (!quoted(&value))
                return fault(error, QStringLiteral("a quoted value was expected"));
            skipSpace();
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

    int line() const { return int(m_s.left(m_pos).count(u'\n')) + 1; }

    bool fault(QString *error, const QString &what) const
    {
        if (error)
            *error = QStringLiteral("line %1: %2").arg(line()).arg(what);
        return false;
    }

    void skipSpace()
    {
        while (m_pos < m_s.size()) {
            if (m_s.at(m_pos).isSpace()) {
                ++m_pos;
            } else if (m_s.mid(m_pos, 2) == u"/*") {
                const qsizetype end = m_s.indexOf(u"*/", m_pos + 2);
                m_pos = end < 0 ? m_s.size() : end + 2;
            } else if (m_s.mid(m_pos, 2) == u"//") {
                const qsizetype end = m_s.indexOf(u'\n', m_pos);
                m_pos = end < 0 ? m_s.size() : end + 1;
            } else {
                return;
            }
        }
    }

    bool quoted(QString *out)
    {
        if (peek() != u'"')
            return false;
        ++m_pos;
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
                return false;
            const QChar e = m_s.at(m_pos++);
            switch (e.unicode()) {
            case 'n': text.append(u'\n'); break;
            case 'r': text.append(u'\r'); break;
            case 't': text.append(u'\t'); break;
            case 'U':
            case 'u': {
                bool ok = false;
                const uint code = m_s.mid(m_pos, 4).toUInt(&ok, 16);
                if (!ok)
                    return false;
                text.append(QChar(char16_t(code)));
                m_pos += 4;
                break;
            }
            default: text.append(e); break;
            }
        }
        return false;
    }
};

QString decodeStrings(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        auto enc = bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE;
        QStringDecoder dec(enc);
        QString s = dec(bytes.mid(2));
        return s;
    }
    QByteArray b = bytes;
    if (b.startsWith("\xEF\xBB\xBF"))
        b = b.mid(3);
    return QString::fromUtf8(b);
}

MessageTable &installedTable()
{
    static MessageTable table;
    return table;
}

void appendLanguage(QStringList *out, const QString &tag)
{
    if (tag.isEmpty() || tag == u"C" || tag == u"POSIX")
        return;
    QString t = tag.section(u'.', 0, 0).section(u'@', 0, 0);
    t.replace(u'-', u'_');
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
    const QString text = decodeStrings(f.readAll());
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
    out.removeAll(QStringLiteral("English"));
    out.append(QStringLiteral("English"));
    return out;
}

QString findStringsFile(const QString &resourcesDir, const QStringList &languages)
{
    QStringList tries = languages;
    if (!tries.contains(QStringLiteral("English")))
        tries.append(QStringLiteral("English"));
    for (const QString &lang : tries) {
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
