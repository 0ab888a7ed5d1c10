#include "report/MailAddress.h"

namespace qm {

bool isMakerAddress(const QString &address)
{
    return address.contains(QStringLiteral("@") + QLatin1String(kMakerMailDomain), Qt::CaseInsensitive);
}

bool isAcceptableMailAddress(const QString &a)
{
    auto isEndChar = [](QChar c) { return c == u'.' || c == u'@'; };
    if (a.size() <= 4 || isEndChar(a.front()) || isEndChar(a.back()))
        return false;
    if (a.compare(QLatin1String(kPlaceholderMailAddress), Qt::CaseInsensitive) == 0)
        return false;
    if (!a.contains(u'@') || a.contains(QStringLiteral("@.")) || !a.contains(u'.'))
        return false;
    return !isMakerAddress(a) && !hasControlCharacters(a);
}

bool hasControlCharacters(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator || c.unicode() == 0x85)
            return true;
    return false;
}

} // namespace qm
