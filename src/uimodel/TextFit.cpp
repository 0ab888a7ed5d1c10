#include "uimodel/TextFit.h"

#include <QStringList>

namespace qm {

namespace {

const QChar kEllipsis(0x2026);

// The text left after `cuts` characters were taken from the middle, one at a
// time, each the character just before half the current length (the length
// counting the ellipsis that ends the text while it is measured). Every cut
// falls next to the previous ones, so what is left is a head and a tail, and
// the gap lies exactly at half the remaining length, taken downwards.
QString cutText(const QList<uint> &chars, int cuts)
{
    const int n = int(chars.size());
    int head = n; // characters kept from the start
    int tail = n; // index of the first character kept at the end
    for (int i = 0; i < cuts; ++i) {
        const int kept = head + (n - tail);
        const int at = (kept + 1) / 2 - 1; // index in the kept text
        if (at < head) {
            // The cut lands in the head: it is the head's last character
            // once the first cut has made the gap.
            if (head == n) {
                head = at;
                tail = at + 1;
            } else {
                --head;
            }
        } else {
            ++tail;
        }
    }
    QString out;
    auto append = [&out](uint c) {
        if (QChar::requiresSurrogates(c)) {
            out += QChar(QChar::highSurrogate(c));
            out += QChar(QChar::lowSurrogate(c));
        } else {
            out += QChar(char16_t(c));
        }
    };
    for (int i = 0; i < head; ++i)
        append(chars.at(i));
    out += kEllipsis;
    for (int i = tail; i < n; ++i)
        append(chars.at(i));
    return out;
}

} // namespace

QString TruncatedString(const QString &text, const FieldFit &field)
{
    const int room = field.width - 2;
    if (text.isEmpty() || !field.measure || field.measure(text) <= room)
        return text;
    const QList<uint> chars = text.toUcs4();
    // The width falls as cuts are added: find the fewest cuts that fit.
    int low = 1, high = int(chars.size());
    if (field.measure(cutText(chars, high)) > room)
        return QString(kEllipsis);
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (field.measure(cutText(chars, mid)) <= room)
            high = mid;
        else
            low = mid + 1;
    }
    return cutText(chars, low);
}

QString TruncatedLines(const QString &text, const FieldFit &field)
{
    QStringList lines = text.split(u'\r');
    for (QString &line : lines)
        line = TruncatedString(line, field);
    return lines.join(u'\r');
}

} // namespace qm
