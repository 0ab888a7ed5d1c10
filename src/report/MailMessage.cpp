#include "report/MailMessage.h"

#include <QLocale>
#include <QRandomGenerator>
#include <QRegularExpression>
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

QByteArray quotedPrintableLine(const QByteArray &line, const QByteArray &lineEnd)
{
    QByteArray out;
    int column = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const uchar b = uchar(line.at(i));
        const bool last = i + 1 == line.size();
        QByteArray token;
        if ((b >= 33 && b <= 126 && b != '=') || ((b == ' ' || b == '\t') && !last))
            token = QByteArray(1, char(b));
        else
            token = "=" + QByteArray::number(b, 16).toUpper().rightJustified(2, '0');
        if (column + token.size() > 75) {
            out += "=" + lineEnd;
            column = 0;
        }
        out += token;
        column += int(token.size());
    }
    return out;
}

QByteArray rfc2822Date(const QDateTime &t)
{
    return QLocale::c().toString(t, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss ")).toLatin1()
        + QByteArray(t.offsetFromUtc() < 0 ? "-" : "+")
        + QByteArray::number(qAbs(t.offsetFromUtc()) / 3600).rightJustified(2, '0')
        + QByteArray::number(qAbs(t.offsetFromUtc()) / 60 % 60).rightJustified(2, '0');
}

} // namespace

QByteArray quotedPrintable(const QString &text, const QByteArray &lineEnd)
{
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(breaks);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the text's final line end
    QByteArray out;
    for (const QString &line : lines)
        out += quotedPrintableLine(line.toUtf8(), lineEnd) + lineEnd;
    return out;
}

QByteArray MailMessage::toMime(const QByteArray &lineEnd) const
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
    return h + lineEnd + quotedPrintable(body, lineEnd);
}

} // namespace qm
