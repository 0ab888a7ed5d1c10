#include "report/MailMessage.h"

#include <QLocale>
#include <QRandomGenerator>
#include <QStringList>

namespace qm {

namespace {

bool isPlainAscii(const QString &s)
{
    for (QChar c : s)
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    return true;
}

// RFC 2047 encoded words of at most 75 characters, cut between characters.
QByteArray encodedHeaderText(const QString &text)
{
    if (isPlainAscii(text))
        return text.toLatin1();
    QList<QByteArray> words;
    QByteArray chunk;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QString one(text.at(i));
        if (text.at(i).isHighSurrogate() && i + 1 < text.size())
            one += text.at(++i);
        const QByteArray bytes = one.toUtf8();
        if ((chunk.size() + bytes.size() + 2) / 3 * 4 > 60) {
            words << "=?UTF-8?B?" + chunk.toBase64() + "?=";
            chunk.clear();
        }
        chunk += bytes;
    }
    if (!chunk.isEmpty())
        words << "=?UTF-8?B?" + chunk.toBase64() + "?=";
    return words.join("\r\n ");
}

// Appends one line of UTF-8 with soft breaks, so that no line passes 76
// characters. A space or tab at the line's end is encoded: mail transports
// may drop it.
void appendQuotedPrintableLine(QByteArray &out, QByteArrayView line, const QByteArray &lineEnd)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    int column = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const uchar b = uchar(line[i]);
        const bool last = i + 1 == line.size();
        const bool plain = (b >= 33 && b <= 126 && b != '=') || ((b == ' ' || b == '\t') && !last);
        const int width = plain ? 1 : 3;
        if (column + width > 75) {
            out += '=';
            out += lineEnd;
            column = 0;
        }
        if (plain) {
            out += char(b);
        } else {
            out += '=';
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
        column += width;
    }
}

// Appends the text line by line (lines end in "\r", "\n" or "\r\n"), handing
// `out` to `take` each time it passes a piece's size: the body of a long log
// is never copied whole into a list of its lines or into a second encoding.
bool appendQuotedPrintable(QByteArray &out, QStringView text, const QByteArray &lineEnd, const ByteSink &take)
{
    for (qsizetype at = 0; at < text.size();) {
        qsizetype end = at;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        appendQuotedPrintableLine(out, text.mid(at, end - at).toUtf8(), lineEnd);
        out += lineEnd;
        // "\r\n" is one line end; the text's final one adds no empty line.
        at = end + (text.mid(end).startsWith(u"\r\n") ? 2 : 1);
        if (!passOnWhenFull(out, take))
            return false;
    }
    return true;
}

QByteArray rfc2822Date(const QDateTime &t)
{
    return QLocale::c().toString(t, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss ")).toLatin1()
        + QByteArray(t.offsetFromUtc() < 0 ? "-" : "+")
        + QByteArray::number(qAbs(t.offsetFromUtc()) / 3600).rightJustified(2, '0')
        + QByteArray::number(qAbs(t.offsetFromUtc()) / 60 % 60).rightJustified(2, '0');
}

} // namespace

QByteArray MailMessage::headers(const QByteArray &lineEnd) const
{
    QByteArray h;
    auto header = [&](const char *name, const QByteArray &value) {
        QByteArray v = value;
        v.replace("\r\n", lineEnd);
        h += QByteArray(name) + ": " + v + lineEnd;
    };
    if (!from.isEmpty())
        header("From", from.toUtf8());
    header("To", to.toUtf8());
    header("Subject", encodedHeaderText(subject));
    header("Date", rfc2822Date(date));
    if (!messageIdDomain.isEmpty())
        header("Message-ID", "<" + QByteArray::number(date.toMSecsSinceEpoch()) + "."
                                 + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + "@"
                                 + messageIdDomain.toUtf8() + ">");
    header("MIME-Version", "1.0");
    header("Content-Type", "text/plain; charset=UTF-8");
    header("Content-Transfer-Encoding", "quoted-printable");
    return h;
}

bool MailMessage::writeMime(const QByteArray &lineEnd, const ByteSink &take) const
{
    QByteArray out = headers(lineEnd) + lineEnd;
    return appendQuotedPrintable(out, body, lineEnd, take) && take(out);
}

} // namespace qm
