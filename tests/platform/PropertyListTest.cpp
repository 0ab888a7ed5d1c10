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
