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
QString cutText(const QString &text, const QList<qsizetype> &starts, int cuts)
{
    const int n = int(starts.size()) - 1; // characters; starts ends with the text's length
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
    return text.left(starts.at(head)) + kEllipsis + text.mid(starts.at(tail));
}

// Where each character begins: a surrogate pair is one character, and so is
// a lone surrogate (a name byte that is no valid text), which stays as it is.
QList<qsizetype> characterStarts(const QString &text)
{
    QList<qsizetype> starts;
    for (qsizetype i = 0; i < text.size(); ++i) {
        starts << i;
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
    }
    starts << text.size();
    return starts;
}

} // namespace

QString TruncatedString(const QString &text, const FieldFit &field)
{
    const int room = field.width - 2;
    if (text.isEmpty() || !field.measure || field.measure(text) <= room)
        return text;
    const QList<qsizetype> starts = characterStarts(text);
    // The width falls as cuts are added: find the fewest cuts that fit.
    int low = 1, high = int(starts.size()) - 1;
    if (field.measure(cutText(text, starts, high)) > room)
        return QString(kEllipsis);
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (field.measure(cutText(text, starts, mid)) <= room)
            high = mid;
        else
            low = mid + 1;
    }
    return cutText(text, starts, low);
}

QString TruncatedLines(const QString &text, const FieldFit &field)
{
    QStringList lines = text.split(u'\r');
    for (QString &line : lines)
        line = TruncatedString(line, field);
    return lines.join(u'\r');
}

} // namespace qm
