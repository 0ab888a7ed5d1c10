#include "platform/PropertyList.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using qm::PropertyList;

namespace {

QByteArray wrap(const char *body)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n") + body
           + "\n</plist>\n";
}

} // namespace

TEST(PropertyList, EveryTypeSurvivesARoundTrip)
{
    QVariantMap inner{{"n", qlonglong(-9007199254740993LL)}, {"r", 2.5}, {"t", true}, {"f", false}};
    QVariantMap root{{"dict", inner},
                     {"list", QVariantList{QString("a"), qlonglong(1), QVariantList{}}},
                     {"text", QString("<&> \"quoted\" \u00e9\r\nnext")},
                     {"empty", QString()},
                     {"date", QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58), Qt::UTC)},
                     {"data", QByteArray("\x00\x01\xff", 3)},
                     {"nodict", QVariantMap{}}};
    QVariant back;
    QString error;
    ASSERT_TRUE(PropertyList::parse(PropertyList::serialize(root), "mem", &back, &error)) << error.toStdString();
    EXPECT_EQ(back.toMap(), root);
    EXPECT_EQ(back.toMap().value("dict").toMap().value("n").typeId(), QMetaType::LongLong);
}

TEST(PropertyList, MalformedInputIsRefusedWithFileAndLine)
{
    const char *const bad[] = {
        "<dict><key>a</key></dict>",                         // key without value
        "<dict><key>a</key><key>b</key><string/></dict>",    // key without value
        "<integer>99999999999999999999</integer>",           // out of range
        "<integer>12x</integer>",
        "<data>!!!notbase64</data>",
        "<widget/>",                                         // unknown element
        "<dict><string>x</string></dict>",                   // value without key
        "<array><string>x</string>",                         // truncated
        "<real>abc</real>",
        "<date>yesterday</date>",
    };
    for (const char *body : bad) {
        QVariant out(QStringLiteral("untouched"));
        QString error;
        EXPECT_FALSE(PropertyList::parse(wrap(body), "doc.plist", &out, &error)) << body;
        EXPECT_EQ(out.toString(), "untouched") << body;
        EXPECT_TRUE(error.startsWith("doc.plist, line ")) << error.toStdString();
    }
    QVariant out;
    QString error;
    EXPECT_FALSE(PropertyList::parse("not xml at all", "x", &out, &error));
    EXPECT_FALSE(PropertyList::parse("", "x", &out, &error));
    EXPECT_FALSE(PropertyList::parse("<html/>", "x", &out, &error));
}

// The fast path for the program's own files must read exactly what the
// general reader reads, and leave to it whatever it does not know.
TEST(PropertyList, TheFastPathAndTheGeneralReaderAgree)
{
    const QByteArray cases[] = {
        wrap("<string>a&#13;b\r\nc\rd\te&amp;&lt;&gt;&quot;&apos;&#x41;&#233;</string>"),
        wrap("<string>caf\xc3\xa9 \xf0\x9f\x98\x80 &#x1F600;</string>"),
        wrap("<dict><key>k</key><integer>1</integer><key>k</key><integer>2</integer></dict>"),
        wrap("<dict><key>b</key><true/><key>a</key><false/></dict>"),     // keys out of order
        wrap("<array><integer> 12 </integer><real>1e3</real><date>2024-02-29T23:59:58Z</date></array>"),
        wrap("<array><data>AAH/</data><data/><string/><dict/><array/></array>"),
        wrap("<array><!-- a comment --><string>x</string></array>"),
        "\xEF\xBB\xBF" + wrap("<string>with a byte-order mark</string>"),
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//X//DTD PLIST 1.0//EN\" "
        "\"http://example.org/plist.dtd\">\n<plist version=\"1.0\"><string>d</string></plist>",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><plist><string>\xe9</string></plist>",
        wrap("<string><![CDATA[<raw>]]></string>"),
        wrap("<true></true>"),
        // Refused by both.
        wrap("<string>]]></string>"),
        wrap("<string>&bogus;</string>"),
        wrap("<string>&#0;</string>"),
        wrap("<string>\xc3\x28</string>"),
        wrap("<string>\xef\xbf\xbe</string>"),
        wrap("<integer>32\xef\xbb\xbf" "0</integer>"), // U+FEFF inside a text is no byte-order mark
        wrap("<string>\x01</string>"),
        wrap("<array><!-- a -- b --></array>"),
        wrap("<integer/>"),
        wrap("<string>x</string></plist><plist><string>y</string>"),
        "<plist version=\"1\" version=\"2\"><true/></plist>",
        "  <?xml version=\"1.0\"?><plist><true/></plist>",
    };
    for (const QByteArray &doc : cases) {
        QVariant fast, general;
        QString fastError, generalError;
        const bool fastOk = PropertyList::parse(doc, "doc", &fast, &fastError);
        const bool generalOk = PropertyList::parseWithGeneralReader(doc, "doc", &general, &generalError);
        ASSERT_EQ(fastOk, generalOk) << doc.toStdString() << generalError.toStdString();
        EXPECT_EQ(fastError, generalError) << doc.toStdString();
        if (fastOk) {
            EXPECT_EQ(PropertyList::serialize(fast), PropertyList::serialize(general)) << doc.toStdString();
        }
    }
}

TEST(PropertyList, WriteReplacesTheTargetWholeAndReadsBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("p.plist");
    QString error;
    ASSERT_TRUE(PropertyList::write(path, QVariantMap{{"k", qlonglong(1)}}, &error));
    ASSERT_TRUE(PropertyList::write(path, QVariantMap{{"k", qlonglong(2)}}, &error));
    QVariantMap back;
    ASSERT_TRUE(PropertyList::readDictionary(path, &back, &error));
    EXPECT_EQ(back.value("k").toLongLong(), 2);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
    EXPECT_FALSE(PropertyList::write(dir.filePath("missing/p.plist"), QVariantMap{}, &error));
    EXPECT_FALSE(PropertyList::readDictionary(dir.filePath("none.plist"), &back, &error));
    EXPECT_TRUE(error.contains("none.plist"));
}

namespace {

// `depth` containers, dictionaries and arrays in turn, around one string.
QByteArray nested(int depth)
{
    QByteArray open, close;
    for (int i = 0; i < depth; ++i) {
        open += i % 2 ? "<array>" : "<dict><key>k</key>";
        close.prepend(i % 2 ? "</array>" : "</dict>");
    }
    return wrap(open + "<string>leaf</string>" + close);
}

} // namespace

// A damaged file read at every start must be refused, never end the program.
TEST(PropertyList, NestingBeyondTheLimitIsRefusedAsDamaged)
{
    const struct {
        int depth;
        bool accepted;
    } cases[] = {
        {PropertyList::kMaxNesting, true},
        {PropertyList::kMaxNesting + 1, false},
        {31000, false},
        {200000, false},
    };
    for (const auto &c : cases) {
        QVariant out(QStringLiteral("untouched"));
        QString error;
        EXPECT_EQ(PropertyList::parse(nested(c.depth), "deep.plist", &out, &error), c.accepted) << c.depth;
        if (!c.accepted) {
            EXPECT_EQ(out.toString(), "untouched");
            EXPECT_TRUE(error.startsWith("deep.plist, line ")) << error.toStdString();
        }
    }
}
