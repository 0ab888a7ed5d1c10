#include "platform/PropertyList.h"
#include "platform/AtomicFile.h"

#include "platform/OwnFiles.h"

#include <QDateTime>
#include <QFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <limits>
#include <optional>

namespace qm {
namespace {

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
        bool ok = false;
        const QString s = t->trimmed();
        const qlonglong v = s.toLongLong(&ok, 10);
        if (ok)
            return QVariant(v);
        // Values above the signed range are stored by some writers unsigned.
        const qulonglong u = s.toULongLong(&ok, 10);
        if (ok && u <= qulonglong(std::numeric_limits<qlonglong>::max()))
            return QVariant(qlonglong(u));
        return fail(QStringLiteral("\"%1\" is not an integer in range").arg(s));
    }

    std::optional<QVariant> readReal()
    {
        std::optional<QString> t = readText();
        if (!t)
            return std::nullopt;
        bool ok = false;
        const double v = t->trimmed().toDouble(&ok);
        if (!ok)
            return fail(QStringLiteral("\"%1\" is not a real number").arg(t->trimmed()));
        return QVariant(v);
    }

    std::optional<QVariant> readDate()
    {
        std::optional<QString> t = readText();
        if (!t)
            return std::nullopt;
        QDateTime d = QDateTime::fromString(t->trimmed(), Qt::ISODate);
        if (!d.isValid())
            return fail(QStringLiteral("\"%1\" is not a date").arg(t->trimmed()));
        return QVariant(d.toUTC());
    }

    std::optional<QVariant> readData()
    {
        std::optional<QString> t = readText();
        if (!t)
            return std::nullopt;
        QByteArray compact;
        for (QChar c : *t)
            if (!c.isSpace())
                compact.append(char(c.unicode() & 0x7f));
        auto decoded = QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return fail(QStringLiteral("the data is not valid base64"));
        return QVariant(*decoded);
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
