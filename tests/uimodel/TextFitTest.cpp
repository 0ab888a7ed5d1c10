#include "uimodel/TextFit.h"

#include <gtest/gtest.h>

using namespace qm;

namespace {

// Every character is 10 wide, whatever the plane it comes from.
FieldFit fixedPitch(int width)
{
    return FieldFit{width, [](const QString &t) {
        int chars = 0;
        for (qsizetype i = 0; i < t.size(); ++i, ++chars)
            if (t.at(i).isHighSurrogate() && i + 1 < t.size() && t.at(i + 1).isLowSurrogate())
                ++i;
        return chars * 10;
    }};
}

struct FitCase {
    const char *text;
    int width;
    const char *shown;
};

} // namespace

TEST(TruncatedString, KeepsBeginningAndEndAroundTheEllipsis)
{
    const FitCase cases[] = {
        {"/home/ann/Photos", 162, "/home/ann/Photos"},  // 160 wide fits 162 - 2
        {"/home/ann/Photos", 161, "/home/a…/Photos"},   // the ellipsis costs one more cut
        {"0123456789", 102, "0123456789"},
        {"0123456789", 101, "0123…6789"},
        {"0123456789", 82, "012…6789"},
        {"0123456789", 72, "012…789"},
        {"0123456789", 52, "01…89"},
        {"0123456789", 22, "…9"},
        {"0123456789", 12, "…"},
        {"0123456789", 5, "…"}, // not even the ellipsis fits
        {"", 0, ""},
    };
    for (const FitCase &c : cases)
        EXPECT_EQ(TruncatedString(QString::fromUtf8(c.text), fixedPitch(c.width)), QString::fromUtf8(c.shown))
            << c.text << " in " << c.width;
}

TEST(TruncatedString, CutsCharactersOutsideTheBasicPlaneWhole)
{
    // Four emoji (two UTF-16 units each): the cut takes a whole one.
    const QString text = QString::fromUtf8("a\U0001F600\U0001F601\U0001F602\U0001F603b");
    const QString shown = TruncatedString(text, fixedPitch(61));
    EXPECT_EQ(shown, QString::fromUtf8("a\U0001F600…\U0001F603b"));
    EXPECT_TRUE(shown.isValidUtf16());

    // A lone surrogate (a name byte that is no text) is one character, kept as it is.
    const QString odd = QStringLiteral("ab") + QChar(0xDCFF) + QStringLiteral("cdefgh");
    EXPECT_EQ(TruncatedString(odd, fixedPitch(72)), QStringLiteral("ab") + QChar(0xDCFF) + QString::fromUtf8("…fgh"));
}

TEST(TruncatedString, ShortensEachReportLineOnItsOwn)
{
    EXPECT_EQ(TruncatedLines(QStringLiteral("• 0123456789: 5\r• Errors: 0"), fixedPitch(122)),
              QString::fromUtf8("• 012…789: 5\r• Errors: 0"));
}
