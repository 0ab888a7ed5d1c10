#include "platform/PropertyList.h"
#include "platform/AtomicFile.h"

#include "platform/OwnFiles.h"

#include <QDateTime>
#include <QFile>
#include <QStringDecoder>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cctype>
#include <limits>
#include <optional>

namespace qm {
namespace {

// The typed values from an element's text, shared by both readers.
std::optional<QVariant> integerValue(const QString &text)
{
    bool ok = false;
    const QString s = text.trimmed();
    const qlonglong v = s.toLongLong(&ok, 10);
    if (ok)
        return QVariant(v);
    // Values above the signed range are stored by some writers unsigned.
    const qulonglong u = s.toULongLong(&ok, 10);
    if (ok && u <= qulonglong(std::numeric_limits<qlonglong>::max()))
        return QVariant(qlonglong(u));
    return std::nullopt;
}

std::optional<QVariant> realValue(const QString &text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return QVariant(v);
}

std::optional<QVariant> dateValue(const QString &text)
{
    QDateTime d = QDateTime::fromString(text.trimmed(), Qt::ISODate);
    if (!d.isValid())
        return std::nullopt;
    return QVariant(d.toUTC());
}

std::optional<QVariant> dataValue(const QString &text)
{
    QByteArray compact;
    for (QChar c : text)
        if (!c.isSpace())
            compact.append(char(c.unicode() & 0x7f));
    auto decoded = QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return QVariant(*decoded);
}

// A recursive-descent reader over the stream: each element yields a value or
// a fault; nothing is handed out until the whole document has been read.
class Reader {
public:
    Reader(const QByteArray &bytes, const QString &source) : m_xml(bytes), m_source(source) {}

    bool run(QVariant *out, QString *error)
    {
        std::optional<QVariant> root = readDocument();
        if (!root) {
            if (error)
                *error = m_error;
            return false;
        }
        *out = *root;
        return true;
    }

private:
    QXmlStreamReader m_xml;
    QString m_source;
    QString m_error;
    int m_depth = 0;

    // Each nested dictionary or array costs the reader stack: a damaged
    // file must be refused, not end the program.
    struct Nesting {
        Reader &r;
        explicit Nesting(Reader &reader) : r(reader) { ++r.m_depth; }
        ~Nesting() { --r.m_depth; }
        bool tooDeep() const { return r.m_depth > PropertyList::kMaxNesting; }
    };

    std::nullopt_t fail(const QString &what)
    {
        if (m_error.isEmpty())
            m_error = QStringLiteral("%1, line %2: %3")
                          .arg(m_source)
                          .arg(m_xml.lineNumber())
                          .arg(what);
        return std::nullopt;
    }

    // The next start or end element, skipping whitespace, comments and DTDs.
    bool nextTag()
    {
        while (!m_xml.atEnd()) {
            m_xml.readNext();
            if (m_xml.isStartElement() || m_xml.isEndElement())
                return true;
            if (m_xml.isCharacters() && !m_xml.isWhitespace()) {
                fail(QStringLiteral("unexpected text outside a value"));
                return false;
            }
        }
        if (m_xml.hasError())
            fail(m_xml.errorString());
        else
            fail(QStringLiteral("the file ends too early"));
        return false;
    }

    std::optional<QVariant> readDocument()
    {
        if (!nextTag())
            return std::nullopt;
        if (!m_xml.isStartElement() || m_xml.name() != u"plist")
            return fail(QStringLiteral("not a property list"));
        if (!nextTag())
            return std::nullopt;
        if (!m_xml.isStartElement())
            return fail(QStringLiteral("the property list is empty"));
        std::optional<QVariant> root = readValue();
        if (!root)
            return std::nullopt;
        if (!nextTag())
            return std::nullopt;
        if (!m_xml.isEndElement() || m_xml.name() != u"plist")
            return fail(QStringLiteral("more than one value at the top level"));
        while (!m_xml.atEnd()) {
            m_xml.readNext();
            if (m_xml.isStartElement())
                return fail(QStringLiteral("content after the end of the property list"));
        }
        if (m_xml.hasError() && m_xml.error() != QXmlStreamReader::PrematureEndOfDocumentError)
            return fail(m_xml.errorString());
        return root;
    }

    std::optional<QString> readText()
    {
        QString text = m_xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        if (m_xml.hasError())
            return fail(m_xml.errorString());
        return text;
    }

    // Called with the reader on a start element.
    std::optional<QVariant> readValue()
    {
        const QStringView name = m_xml.name();
        if (name == u"dict")
            return readDict();
        if (name == u"array")
            return readArray();
        if (name == u"true" || name == u"false") {
            const bool value = name == u"true";
            if (!nextTag())
                return std::nullopt;
            if (!m_xml.isEndElement())
                return fail(QStringLiteral("a boolean holds no elements"));
            return QVariant(value);
        }
        if (name == u"string") {
            std::optional<QString> t = readText();
            if (!t)
                return std::nullopt;
            return QVariant(*t);
        }
        if (name == u"integer")
            return readInteger();
        if (name == u"real")
            return readReal();
        if (name == u"date")
            return readDate();
        if (name == u"data")
            return readData();
        return fail(QStringLiteral("unknown element <%1>").arg(name));
    }

    std::optional<QVariant> readDict()
    {
        const Nesting nesting(*this);
        if (nesting.tooDeep())
            return fail(QStringLiteral("values nested too deeply"));
        QVariantMap map;
        for (;;) {
            if (!nextTag())
                return std::nullopt;
            if (m_xml.isEndElement())
                return QVariant(map);
            if (m_xml.name() != u"key")
                return fail(QStringLiteral("a dictionary entry without a key"));
            std::optional<QString> key = readText();
            if (!key)
                return std::nullopt;
            if (!nextTag())
                return std::nullopt;
            if (m_xml.isEndElement())
                return fail(QStringLiteral("the key \"%1\" has no value").arg(*key));
            if (m_xml.name() == u"key")
                return fail(QStringLiteral("the key \"%1\" has no value").arg(*key));
            std::optional<QVariant> value = readValue();
            if (!value)
                return std::nullopt;
            map.insert(*key, *value);
        }
    }

    std::optional<QVariant> readArray()
    {
        const Nesting nesting(*this);
        if (nesting.tooDeep())
            return fail(QStringLiteral("values nested too deeply"));
        QVariantList list;
        for (;;) {
            if (!nextTag())
                return std::nullopt;
            if (m_xml.isEndElement())
                return QVariant(list);
            std::optional<QVariant> value = readValue();
            if (!value)
                return std::nullopt;
            list.append(*value);
        }
    }

    std::optional<QVariant> readInteger()
    {
        std::optional<QString> t = readText();
        if (!t)
            return std::nullopt;
        if (std::optional<QVariant> v = integerValue(*t))
            return v;
        return fail(QStringLiteral("\"%1\" is not an integer in range").arg(t->trimmed()));
    }

    std::optional<QVariant> readReal()
    {
        std::optional<QString> t = readText();
        if (!t)
            return std::nullopt;
        if (std::optional<QVariant> v = realValue(*t))
            return v;
        return fail(QStringLiteral("\"%1\" is not a real number").arg(t->trimmed()));
    }

    std::optional<QVariant> readDate()
    {
        std::optional<QString> t = readText();
        if (!t)
            return std::nullopt;
        if (std::optional<QVariant> v = dateValue(*t))
            return v;
        return fail(QStringLiteral("\"%1\" is not a date").arg(t->trimmed()));
    }

    std::optional<QVariant> readData()
    {
        std::optional<QString> t = readText();
        if (!t)
            return std::nullopt;
        if (std::optional<QVariant> v = dataValue(*t))
            return v;
        return fail(QStringLiteral("the data is not valid base64"));
    }
};

// The files this program writes, read without the general XML machinery:
// a document of a hundred sessions holds a million elements, and the
// general reader spends most of its time on tokens. The fast reader takes
// only the plain forms the writer produces (UTF-8, no document type, no
// CDATA, no attributes but the root's version) and gives up on anything else,
// valid or not: the general reader then decides, with its own messages.
class FastReader {
public:
    explicit FastReader(const QByteArray &bytes)
        : m_p(bytes.constData()), m_end(bytes.constData() + bytes.size())
    {
    }

    std::optional<QVariant> run()
    {
        skip("\xEF\xBB\xBF");
        if (!skip("<?xml version=\"1.0\" encoding=\"UTF-8\"?>") && !skip("<?xml version=\"1.0\"?>")
            && startsWith("<?"))
            return std::nullopt;
        if (!skipMisc() || !(skip("<plist version=\"1.0\">") || skip("<plist>")) || !skipMisc())
            return std::nullopt;
        const std::optional<Element> first = element();
        if (!first || first->kind == Element::Close)
            return std::nullopt;
        std::optional<QVariant> root = value(*first);
        if (!root || !skipMisc() || !skip("</plist>") || !skipMisc() || m_p != m_end)
            return std::nullopt;
        return root;
    }

private:
    struct Element {
        enum Kind { Open, Close, Empty } kind;
        QByteArrayView name;
    };

    const char *m_p;
    const char *m_end;
    int m_depth = 0;

    bool startsWith(const char *s) const { return QByteArrayView(m_p, m_end - m_p).startsWith(s); }
    bool skip(const char *s)
    {
        if (!startsWith(s))
            return false;
        m_p += qstrlen(s);
        return true;
    }
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
    const char *find(const char *s) const
    {
        const qsizetype at = QByteArrayView(m_p, m_end - m_p).indexOf(QByteArrayView(s));
        return at < 0 ? nullptr : m_p + at;
    }

    // Whitespace and comments between elements.
    bool skipMisc()
    {
        for (;;) {
            while (m_p < m_end && isSpace(*m_p))
                ++m_p;
            if (!startsWith("<!--"))
                return true;
            m_p += 4;
            const char *end = find("--");
            if (!end || end + 2 >= m_end || end[2] != '>')
                return false; // "--" inside a comment is not XML
            for (const char *c = m_p; c < end; ++c)
                if ((uchar(*c) < 0x20 && !isSpace(*c)) || uchar(*c) >= 0x80)
                    return false; // left to the general reader's checks
            m_p = end + 3;
        }
    }

    // <name>, </name> or <name/>, names of lower-case letters only.
    std::optional<Element> element()
    {
        if (m_p >= m_end || *m_p != '<')
            return std::nullopt;
        ++m_p;
        const bool close = m_p < m_end && *m_p == '/';
        if (close)
            ++m_p;
        const char *nameStart = m_p;
        while (m_p < m_end && *m_p >= 'a' && *m_p <= 'z')
            ++m_p;
        const QByteArrayView name(nameStart, m_p - nameStart);
        if (name.isEmpty())
            return std::nullopt;
        if (skip(">"))
            return Element{close ? Element::Close : Element::Open, name};
        if (!close && skip("/>"))
            return Element{Element::Empty, name};
        return std::nullopt;
    }

    std::optional<QVariant> value(const Element &e)
    {
        if (e.kind == Element::Close)
            return std::nullopt;
        const bool empty = e.kind == Element::Empty;
        if (e.name == "dict")
            return empty ? QVariant(QVariantMap()) : dict();
        if (e.name == "array")
            return empty ? QVariant(QVariantList()) : array();
        if (e.name == "true" || e.name == "false")
            return empty ? std::optional<QVariant>(QVariant(e.name == "true")) : std::nullopt;
        if (empty)
            return e.name == "string" ? std::optional<QVariant>(QVariant(QString())) : std::nullopt;
        const std::optional<QString> t = text(e.name);
        if (!t)
            return std::nullopt;
        if (e.name == "string")
            return QVariant(*t);
        if (e.name == "integer")
            return integerValue(*t);
        if (e.name == "real")
            return realValue(*t);
        if (e.name == "date")
            return dateValue(*t);
        if (e.name == "data")
            return dataValue(*t);
        return std::nullopt;
    }

    std::optional<QVariant> dict()
    {
        if (++m_depth > PropertyList::kMaxNesting)
            return std::nullopt;
        QVariantMap map;
        for (;;) {
            if (!skipMisc())
                return std::nullopt;
            const std::optional<Element> k = element();
            if (!k)
                return std::nullopt;
            if (k->kind == Element::Close) {
                --m_depth;
                return k->name == "dict" ? std::optional<QVariant>(QVariant(map)) : std::nullopt;
            }
            if (k->kind != Element::Open || k->name != "key")
                return std::nullopt;
            std::optional<QString> key = text("key");
            if (!key || !skipMisc())
                return std::nullopt;
            const std::optional<Element> e = element();
            if (!e || e->name == "key")
                return std::nullopt;
            std::optional<QVariant> v = value(*e);
            if (!v)
                return std::nullopt;
            // Written in key order: the hint makes each insertion cheap.
            map.insert(map.cend(), *key, *v);
        }
    }

    std::optional<QVariant> array()
    {
        if (++m_depth > PropertyList::kMaxNesting)
            return std::nullopt;
        QVariantList list;
        for (;;) {
            if (!skipMisc())
                return std::nullopt;
            const std::optional<Element> e = element();
            if (!e)
                return std::nullopt;
            if (e->kind == Element::Close) {
                --m_depth;
                return e->name == "array" ? std::optional<QVariant>(QVariant(list)) : std::nullopt;
            }
            std::optional<QVariant> v = value(*e);
            if (!v)
                return std::nullopt;
            list.append(std::move(*v));
        }
    }

    // The text up to </name>: character data with the five predefined
    // entities and character references, line ends read as XML reads them.
    std::optional<QString> text(QByteArrayView name)
    {
        const char *start = m_p;
        bool plain = true;
        while (m_p < m_end && *m_p != '<') {
            const uchar c = uchar(*m_p);
            if (c < 0x20 || c >= 0x7f || c == '&' || c == '>')
                plain = false;
            ++m_p;
        }
        const QByteArrayView raw(start, m_p - start);
        if (m_p >= m_end || m_p + 2 + name.size() >= m_end || m_p[1] != '/'
            || QByteArrayView(m_p + 2, name.size()) != name || m_p[2 + name.size()] != '>')
            return std::nullopt;
        m_p += 3 + name.size();
        if (plain)
            return QString::fromLatin1(raw);
        return decoded(raw);
    }

    static std::optional<QString> decoded(QByteArrayView raw)
    {
        if (raw.contains("]]>"))
            return std::nullopt;
        QString out;
        out.reserve(raw.size());
        qsizetype i = 0;
        while (i < raw.size()) {
            const uchar c = uchar(raw[i]);
            if (c >= 0x80) {
                qsizetype j = i;
                while (j < raw.size() && uchar(raw[j]) >= 0x80)
                    ++j;
                // A U+FEFF inside a text is a character, not a byte-order mark.
                QStringDecoder utf8(QStringDecoder::Utf8,
                                    QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
                const QString part = utf8.decode(raw.sliced(i, j - i));
                if (utf8.hasError())
                    return std::nullopt;
                for (QChar ch : part)
                    if (ch.unicode() >= 0xFFFE)
                        return std::nullopt; // not characters in XML
                out.append(part);
                i = j;
            } else if (c == '&') {
                const qsizetype semi = raw.indexOf(';', i);
                if (semi < 0)
                    return std::nullopt;
                const std::optional<char32_t> ch = reference(raw.sliced(i + 1, semi - i - 1));
                if (!ch)
                    return std::nullopt;
                out.append(QString::fromUcs4(&*ch, 1));
                i = semi + 1;
            } else if (c == '\r') {
                out.append(u'\n');
                i += i + 1 < raw.size() && raw[i + 1] == '\n' ? 2 : 1;
            } else if (c < 0x20 && c != '\t' && c != '\n') {
                return std::nullopt;
            } else {
                out.append(QLatin1Char(char(c)));
                ++i;
            }
        }
        return out;
    }

    // amp, lt, gt, quot, apos, #N or #xN naming a character XML allows.
    static std::optional<char32_t> reference(QByteArrayView name)
    {
        static const std::pair<const char *, char32_t> named[] = {
            {"amp", U'&'}, {"lt", U'<'}, {"gt", U'>'}, {"quot", U'"'}, {"apos", U'\''}};
        for (const auto &[n, ch] : named)
            if (name == n)
                return ch;
        if (name.size() < 2 || name.front() != '#')
            return std::nullopt;
        const bool hex = name[1] == 'x';
        const QByteArrayView digits = name.sliced(hex ? 2 : 1);
        if (digits.isEmpty() || digits.size() > 8)
            return std::nullopt;
        char32_t v = 0;
        for (char d : digits) {
            const int n = std::isdigit(uchar(d)) ? d - '0'
                          : hex && std::isxdigit(uchar(d)) ? std::tolower(uchar(d)) - 'a' + 10
                                                           : -1;
            if (n < 0)
                return std::nullopt;
            v = v * (hex ? 16 : 10) + char32_t(n);
        }
        const bool allowed = v == 0x9 || v == 0xA || v == 0xD || (v >= 0x20 && v <= 0xD7FF)
                             || (v >= 0xE000 && v <= 0xFFFD) || (v >= 0x10000 && v <= 0x10FFFF);
        return allowed ? std::optional<char32_t>(v) : std::nullopt;
    }
};

// XML readers turn a carriage return into a line feed, and texts here use
// carriage returns as line ends, so each one is written as a character reference.
void writeText(QXmlStreamWriter &w, const QString &element, const QString &text)
{
    w.writeStartElement(element);
    qsizetype from = 0;
    for (;;) {
        const qsizetype cr = text.indexOf(u'\r', from);
        w.writeCharacters(text.mid(from, cr < 0 ? -1 : cr - from));
        if (cr < 0)
            break;
        w.writeEntityReference(QStringLiteral("#13"));
        from = cr + 1;
    }
    w.writeEndElement();
}

void writeValue(QXmlStreamWriter &w, const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::QVariantMap: {
        const QVariantMap map = v.toMap();
        w.writeStartElement(QStringLiteral("dict"));
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            writeText(w, QStringLiteral("key"), it.key());
            writeValue(w, it.value());
        }
        w.writeEndElement();
        return;
    }
    case QMetaType::QVariantHash: {
        const QVariantHash hash = v.toHash();
        QVariantMap map;
        for (auto it = hash.cbegin(); it != hash.cend(); ++it)
            map.insert(it.key(), it.value());
        writeValue(w, map);
        return;
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        w.writeStartElement(QStringLiteral("array"));
        for (const QVariant &item : v.toList())
            writeValue(w, item);
        w.writeEndElement();
        return;
    }
    case QMetaType::Bool:
        w.writeEmptyElement(v.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
        return;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::UChar:
        w.writeTextElement(QStringLiteral("integer"), QString::number(v.toLongLong()));
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        w.writeTextElement(QStringLiteral("real"), QString::number(v.toDouble(), 'g', 17));
        return;
    case QMetaType::QDateTime:
        w.writeTextElement(QStringLiteral("date"),
                           v.toDateTime().toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ")));
        return;
    case QMetaType::QByteArray:
        w.writeTextElement(QStringLiteral("data"), QString::fromLatin1(v.toByteArray().toBase64()));
        return;
    default:
        writeText(w, QStringLiteral("string"), v.toString());
        return;
    }
}

} // namespace

bool PropertyList::parse(const QByteArray &bytes, const QString &sourceName, QVariant *out,
                         QString *error)
{
    if (std::optional<QVariant> value = FastReader(bytes).run()) {
        *out = std::move(*value);
        return true;
    }
    return parseWithGeneralReader(bytes, sourceName, out, error);
}

bool PropertyList::parseWithGeneralReader(const QByteArray &bytes, const QString &sourceName, QVariant *out,
                                          QString *error)
{
    return Reader(bytes, sourceName).run(out, error);
}

bool PropertyList::read(const QString &path, QVariant *out, QString *error)
{
    // Every property list is one of the program's own files.
    const OwnFilesAccess asUser;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, f.errorString());
        return false;
    }
    return parse(f.readAll(), path, out, error);
}

bool PropertyList::readDictionary(const QString &path, QVariantMap *out, QString *error)
{
    QVariant root;
    if (!read(path, &root, error))
        return false;
    if (root.typeId() != QMetaType::QVariantMap) {
        if (error)
            *error = QStringLiteral("%1: the property list does not hold a dictionary").arg(path);
        return false;
    }
    *out = root.toMap();
    return true;
}

QByteArray PropertyList::serialize(const QVariant &root)
{
    QByteArray bytes;
    QXmlStreamWriter w(&bytes);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(-1);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("plist"));
    w.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
    writeValue(w, root);
    w.writeEndElement();
    w.writeEndDocument();
    return bytes;
}

bool PropertyList::write(const QString &path, const QVariant &root, QString *error)
{
    return atomicfile::write(path, serialize(root), error);
}

} // namespace qm
