#include "report/LogFiles.h"
#include "uimodel/LogText.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qm;

namespace qm {
void PrintTo(const TextRange &r, std::ostream *os)
{
    *os << "[" << r.start << ", +" << r.length << "]";
}
} // namespace qm

using Source = LogWindowContent::Source;

namespace {

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? path : QString();
}

// Whatever the log holds comes back from its rich-text file unchanged.
TEST(LogText, TheProgramsOwnRtfComesBackIntact)
{
    const QString texts[] = {
        QString(),
        QStringLiteral("Quillmere\r• Session: \"Home\"\r√ Can't copy the file \"/a/{x}\\y\"\r\tend\r"),
        QStringLiteral("…√ élan, Ærø, 日本語, Ωmega\r"),
        QStringLiteral("emoji \U0001F600 and \U0001F4C1 side by side\r"),
        QStringLiteral("? after an escape: √? and é?x, a digit after one: é1 √2\r"),
        QStringLiteral("control \x01 and DEL \x7f kept"),
        QStringLiteral("\\par is not a paragraph here, nor {\\b bold}"),
    };
    for (const QString &text : texts) {
        const std::optional<QString> back = rtfToText(rtfDocument(text));
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, text);
    }
}

TEST(LogText, RtfFromElsewhereGivesItsText)
{
    struct Case {
        const char *rtf;
        const char *text; // UTF-8
    };
    const Case cases[] = {
        {"{\\rtf1\\ansi\\ansicpg1252{\\fonttbl\\f0\\fswiss Helvetica;}{\\colortbl;\\red255\\green255\\blue255;}"
         "\\f0\\fs24 \\cf0 Caf\\'e9 \\'93quoted\\'94\\par\nnext}",
         "Café “quoted”\rnext"},
        {"{\\rtf1{\\*\\expandedcolortbl;;}{\\*\\unknown hidden}shown\\line two\\tab x}", "shown\rtwo\tx"},
        {"{\\rtf1\\uc0 \\u8730 \\u-3 end}", "√\xef\xbf\xbd" "end"},
        {"{\\rtf1\\uc2 \\u233\\'3f\\'3fA{\\uc1\\u233 ?B}}", "éAéB"},
        {"{\\rtf1 a\\~b\\_c\\-d\\emdash\\bullet}", "a\xc2\xa0" "b-cd—•"},
        {"{\\rtf1 unbalanced {group", "unbalanced group"},
    };
    for (const Case &c : cases) {
        const std::optional<QString> text = rtfToText(c.rtf);
        ASSERT_TRUE(text.has_value()) << c.rtf;
        EXPECT_EQ(*text, QString::fromUtf8(c.text)) << c.rtf;
    }
    EXPECT_FALSE(rtfToText("plain text, not rich text").has_value());
    EXPECT_FALSE(rtfToText("").has_value());
}

TEST(LogText, TheWindowIsFilledFromTheFileOrTheLastRun)
{
    QTemporaryDir dir;
    const QString log = QStringLiteral("Header\r√ Can't copy \"/x\"\rDone\r");
    const QString shown = QStringLiteral("Header\n√ Can't copy \"/x\"\nDone\n");
    const QString rtf = writeFile(dir.path() + "/QMLog_2009_03_07_14_05_09.rtf", rtfDocument(log));
    const QString txt = writeFile(dir.path() + "/QMLog_2009_03_07_14_05_10.txt", log.toUtf8());
    const QString old = writeFile(dir.path() + "/old.txt", QByteArray("Caf\xe9 \x95 \x85\r"));
    const QString windows = writeFile(dir.path() + "/windows.txt", "one\r\ntwo\rthree\n");
    const QString broken = writeFile(dir.path() + "/broken.rtf", "this is no rich text");
    QDir().mkpath(dir.path() + "/folder.rtf");

    struct Case {
        QString path, lastRun;
        Source source;
        QString title, text;
    };
    const Case cases[] = {
        {rtf, "ignored", Source::File, "QMLog_2009_03_07_14_05_09.rtf", shown},
        {txt, "", Source::File, "QMLog_2009_03_07_14_05_10.txt", shown},
        {old, "", Source::File, "old.txt", QStringLiteral("Café • …\n")},
        {windows, "", Source::File, "windows.txt", "one\ntwo\nthree\n"},
        {broken, "the last run", Source::CannotOpen, "", ""},
        {dir.path() + "/none.rtf", "the last run\r", Source::LastRun, "Log Window", "the last run\n"},
        {dir.path() + "/folder.rtf", "the last run", Source::LastRun, "Log Window", "the last run"},
        {QString(), "", Source::Nothing, "", ""},
        {dir.path() + "/none.rtf", "", Source::Nothing, "", ""},
    };
    for (const Case &c : cases) {
        const LogWindowContent content = FillLogWindow(c.path, c.lastRun);
        EXPECT_EQ(content.source, c.source) << c.path.toStdString();
        EXPECT_EQ(content.title, c.title) << c.path.toStdString();
        EXPECT_EQ(content.text, c.text) << c.path.toStdString();
        EXPECT_EQ(content.ok(), c.source == Source::File || c.source == Source::LastRun);
    }
}

struct FindCase {
    const char *what;
    TextRange selection;
    bool previous;
    std::optional<TextRange> found;
};

TEST(LogText, ErrorSearchWrapsRoundAndSelectsWholeLines)
{
    // Lines: 0 "ok" | 3 "√ one" | 9 "fine" | 14 "√ two" | 20 "√ last" (no line end)
    const QString text = QStringLiteral("ok\n√ one\nfine\n√ two\n√ last");
    ASSERT_EQ(text.indexOf(QStringLiteral("√ two")), 14);
    const TextRange one{3, 5}, two{14, 5}, last{20, 6};
    const FindCase cases[] = {
        {"no selection: next searches the whole text from its start", {-1, 0}, false, one},
        {"no selection: previous finds the last", {-1, 0}, true, last},
        {"caret at the start", {0, 0}, false, one},
        {"after the first error line", one, false, two},
        {"before the second, backwards", two, true, one},
        {"caret after the last error line wraps to the first", {26, 0}, false, one},
        {"caret after a mark, backwards, finds that line", {5, 0}, true, one},
        {"a selection over the only marks left wraps", {3, 23}, false, std::nullopt},
        {"a caret just inside a mark does not find that mark going back", {4, 0}, true, last},
    };
    for (const FindCase &c : cases)
        EXPECT_EQ(LogFindError(text, c.selection, c.previous), c.found) << c.what;

    for (const char *none : {"", "no errors at all\n", "√", "almost√\n"})
        for (bool previous : {false, true})
            EXPECT_FALSE(LogFindError(QString::fromUtf8(none), {-1, 0}, previous).has_value()) << none;
}

} // namespace
