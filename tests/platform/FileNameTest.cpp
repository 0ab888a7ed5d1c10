#include "platform/FileName.h"
#include "platform/Trash.h"
#include "support/TempHome.h"

#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qm;

namespace {

struct NameCase {
    const char *label;
    QByteArray bytes;
    const char *shown; // displayName of the decoded name
};

const NameCase kNames[] = {
    {"ascii", "plain name.txt", "plain name.txt"},
    {"utf-8", "caf\xc3\xa9 \xe2\x82\xac", "caf\xc3\xa9 \xe2\x82\xac"},
    {"four-byte utf-8", "\xf0\x9f\x98\x80.png", "\xf0\x9f\x98\x80.png"},
    {"latin-1 byte", "bad\xffname", "bad\\xFFname"},
    {"lone continuation", "a\x80z", "a\\x80z"},
    {"overlong slash", "x\xc0\xafy", "x\\xC0\\xAFy"},
    {"encoded surrogate", "s\xed\xa0\x80", "s\\xED\\xA0\\x80"},
    {"truncated sequence", "t\xe2\x82", "t\\xE2\\x82"},
    {"above U+10FFFF", "\xf4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
    {"control character", "report\x01", "report\\x01"},
    {"line ends", QByteArray("a\rb\nc\td"), "a\\x0Db\\x0Ac\\x09d"},
    {"valid then invalid", "\xc3\xa9\xff\xc3\xa9", "\xc3\xa9\\xFF\xc3\xa9"},
};

} // namespace

TEST(FileName, EveryByteStringRoundTripsAndDistinctNamesStayDistinct)
{
    QSet<QString> decoded;
    for (const NameCase &c : kNames) {
        const QString name = fromNativeName(c.bytes);
        EXPECT_EQ(nativeName(name), c.bytes) << c.label;
        EXPECT_EQ(displayName(name), QString::fromUtf8(c.shown)) << c.label;
        decoded.insert(name);
    }
    EXPECT_EQ(decoded.size(), qsizetype(std::size(kNames)));
    // Every single byte, alone and after a lead byte that expects more.
    for (int b = 1; b < 256; ++b) {
        for (const QByteArray &bytes : {QByteArray(1, char(b)), QByteArray("\xe2") + char(b)}) {
            EXPECT_EQ(nativeName(fromNativeName(bytes)), bytes) << b;
        }
    }
}

TEST(FileName, NamesThatAreNotUtf8ReachTheRightItem)
{
    QTemporaryDir dir;
    const QByteArray base = dir.path().toUtf8();
    const QByteArray bad = base + "/bad\xffname";
    const QByteArray lookalike = base + "/bad\xef\xbf\xbdname"; // what a lossy decoder makes of it
    for (const QByteArray &p : {bad, lookalike}) {
        const int fd = ::open(p.constData(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, p.constData(), size_t(p.size())), p.size());
        ::close(fd);
    }
    const QString name = fromNativeName(bad);
    EXPECT_NE(name, fromNativeName(lookalike));
    EXPECT_TRUE(hasInvalidBytes(name));
    EXPECT_FALSE(hasInvalidBytes(fromNativeName(lookalike)));
    struct stat st;
    ASSERT_EQ(::lstat(nativeName(name).constData(), &st), 0);
    EXPECT_EQ(st.st_size, bad.size()) << "the bad name, not its look-alike";
    EXPECT_EQ(canonicalPath(name), fromNativeName(bad));
    ::unlink(bad.constData()); // beyond what the temporary folder can remove
}

TEST(FileName, AnyNameGoesToTheTrashWithItsBytesRecorded)
{
    qmtest::TempHome home;
    QTemporaryDir dir(home.path() + "/work-XXXXXX");
    const QByteArray item = dir.path().toUtf8() + "/bad\xffname";
    const int fd = ::open(item.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    ASSERT_EQ(moveToTrash(fromNativeName(item)), 0);
    struct stat st;
    EXPECT_NE(::lstat(item.constData(), &st), 0);
    const QByteArray trash = home.dataDir().toUtf8() + "/Trash";
    EXPECT_EQ(::lstat((trash + "/files/bad\xffname").constData(), &st), 0);
    // The info file's own name holds the raw byte; its text the escaped path.
    const QByteArray infoPath = trash + "/info/bad\xffname.trashinfo";
    const int in = ::open(infoPath.constData(), O_RDONLY);
    ASSERT_GE(in, 0);
    char text[4096];
    const ssize_t n = ::read(in, text, sizeof text);
    ::close(in);
    ASSERT_GT(n, 0);
    EXPECT_TRUE(QByteArray(text, int(n)).contains("Path=" + item.toPercentEncoding("/") + "\n"));

    // A second item of that name gets its own trash name.
    const int again = ::open(item.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(again, 0);
    ::close(again);
    ASSERT_EQ(moveToTrash(fromNativeName(item)), 0);
    EXPECT_EQ(::lstat((trash + "/files/bad\xffname.2").constData(), &st), 0);
    for (const char *left : {"/files/bad\xffname", "/files/bad\xffname.2",
                             "/info/bad\xffname.trashinfo", "/info/bad\xffname.2.trashinfo"})
        ::unlink((trash + left).constData()); // beyond what the temporary folder can remove
}

TEST(FileName, TheParentOfAPathIgnoresFinalSlashesAndStopsAtTheRoot)
{
    const struct {
        const char *path;
        const char *parent;
    } cases[] = {
        {"/home/ada/file", "/home/ada"}, {"/home/ada/folder/", "/home/ada"}, {"/home//", "/"},
        {"/top", "/"},                   {"/", "/"},                         {"", "/"},
        {"name", "/"},                   {"relative/name", "relative"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(parentPath(QString::fromUtf8(c.path)), QString::fromUtf8(c.parent)) << c.path;
}
