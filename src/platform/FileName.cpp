#include "platform/FileName.h"

#include <cstdlib>

namespace qm {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool isEscape(char16_t u) { return u >= 0xDC80 && u <= 0xDCFF; }

// Length of the valid UTF-8 sequence at p (at most n bytes), 0 when invalid:
// no overlong forms, no surrogates, nothing above U+10FFFF.
int sequenceLength(const unsigned char *p, qsizetype n)
{
    const unsigned char c = p[0];
    if (c < 0x80)
        return 1;
    auto cont = [&](int i) { return i < n && (p[i] & 0xC0) == 0x80; };
    if (c >= 0xC2 && c <= 0xDF)
        return cont(1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        if (!cont(1) || !cont(2))
            return 0;
        if (c == 0xE0 && p[1] < 0xA0)
            return 0; // overlong
        if (c == 0xED && p[1] >= 0xA0)
            return 0; // a surrogate
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (!cont(1) || !cont(2) || !cont(3))
            return 0;
        if (c == 0xF0 && p[1] < 0x90)
            return 0;
        if (c == 0xF4 && p[1] >= 0x90)
            return 0;
        return 4;
    }
    return 0;
}

char32_t codePoint(const unsigned char *p, int len)
{
    switch (len) {
    case 1: return p[0];
    case 2: return char32_t(p[0] & 0x1F) << 6 | (p[1] & 0x3F);
    case 3: return char32_t(p[0] & 0x0F) << 12 | char32_t(p[1] & 0x3F) << 6 | (p[2] & 0x3F);
    default:
        return char32_t(p[0] & 0x07) << 18 | char32_t(p[1] & 0x3F) << 12
               | char32_t(p[2] & 0x3F) << 6 | (p[3] & 0x3F);
    }
}

// An escape is lone when it does not complete a surrogate pair.
bool isLoneEscape(QStringView s, qsizetype i)
{
    return isEscape(s[i].unicode()) && (i == 0 || !QChar::isHighSurrogate(s[i - 1].unicode()));
}

} // namespace

QString fromNativeName(const char *bytes, qsizetype size)
{
    if (size < 0)
        size = qsizetype(qstrlen(bytes));
    const auto *p = reinterpret_cast<const unsigned char *>(bytes);
    bool ascii = true;
    qsizetype i = 0;
    for (; i < size; ++i) {
        if (p[i] >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return QString::fromLatin1(bytes, size);
    // Valid UTF-8 takes Qt's fast decoder; anything else is decoded here.
    bool valid = true;
    for (qsizetype j = i; j < size;) {
        const int len = sequenceLength(p + j, size - j);
        if (len == 0) {
            valid = false;
            break;
        }
        j += len;
    }
    if (valid)
        return QString::fromUtf8(bytes, size);
    QString out;
    out.reserve(size);
    out.append(QLatin1StringView(bytes, i));
    while (i < size) {
        const int len = sequenceLength(p + i, size - i);
        if (len == 0) {
            out.append(QChar(char16_t(kEscapeBase + p[i])));
            ++i;
            continue;
        }
        const char32_t cp = codePoint(p + i, len);
        if (cp >= 0x10000) {
            out.append(QChar(QChar::highSurrogate(cp)));
            out.append(QChar(QChar::lowSurrogate(cp)));
        } else {
            out.append(QChar(char16_t(cp)));
        }
        i += len;
    }
    return out;
}

bool hasInvalidBytes(QStringView name)
{
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (isLoneEscape(name, i))
            return true;
    }
    return false;
}

QByteArray nativeName(const QString &name)
{
    if (!hasInvalidBytes(name))
        return name.toUtf8();
    QByteArray out;
    out.reserve(name.size() * 2);
    qsizetype start = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!isLoneEscape(name, i))
            continue;
        out += QStringView(name).mid(start, i - start).toUtf8();
        out += char(name[i].unicode() - kEscapeBase);
        start = i + 1;
    }
    out += QStringView(name).mid(start).toUtf8();
    return out;
}

QString displayName(const QString &name)
{
    QString out;
    bool changed = false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name[i].unicode();
        int byte = -1;
        if (isLoneEscape(name, i))
            byte = u - kEscapeBase;
        else if (u < 0x20 || u == 0x7F)
            byte = u;
        if (byte >= 0 && !changed) {
            out = name.left(i);
            changed = true;
        }
        if (!changed)
            continue;
        if (byte < 0)
            out.append(name[i]);
        else
            out += QStringLiteral("\\x") + QString::number(byte, 16).toUpper().rightJustified(2, u'0');
    }
    return changed ? out : name;
}

QString canonicalPath(const QString &path)
{
    char *resolved = ::realpath(nativeName(path).constData(), nullptr);
    if (!resolved)
        return QString();
    const QString out = fromNativeName(resolved);
    ::free(resolved);
    return out;
}

QString parentPath(const QString &path)
{
    qsizetype end = path.size();
    while (end > 1 && path.at(end - 1) == u'/')
        --end;
    const qsizetype slash = path.lastIndexOf(u'/', end - 1);
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

} // namespace qm
