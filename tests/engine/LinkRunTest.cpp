// Symbolic links in a run: items of their own, copied as links whatever
// they point at, and, when resolved, never followed round in a circle.
#include "EngineFixture.h"
#include "engine/FilterItemPolicy.h"
#include "platform/FileName.h"
#include "platform/Messages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qm;

namespace {

// Runs with the real item policy: its privilege checks judge links too.
class LinkRunTest : public qmtest::EngineTest {
protected:
    FilterItemPolicy policy{
        FilterItemPolicyWiring{&ctx.set, dir.path() + "/support/ExactSync Indexes", {}, {}, {}, {}}};
    void SetUp() override
    {
        EngineTest::SetUp();
        ctx.policy = &policy;
    }
    static void makeLink(const QString &path, const QByteArray &target, qint64 mtime)
    {
        ::unlink(nativeName(path).constData());
        ASSERT_EQ(::symlink(target.constData(), nativeName(path).constData()), 0);
        setMtime(path, mtime);
    }
    static QByteArray linkText(const QString &path)
    {
        char buf[4096];
        const ssize_t n = ::readlink(nativeName(path).constData(), buf, sizeof buf);
        return n < 0 ? QByteArray("<no link>") : QByteArray(buf, int(n));
    }
};

} // namespace

class DanglingLinkTest : public LinkRunTest, public ::testing::WithParamInterface<bool> {};

TEST_P(DanglingLinkTest, AreCopiedAndRetargetedAsLinks)
{
    const bool sync = GetParam();
    ctx.set.isSyncOn = sync;
    writeFile(a + "/target", "t", now - 900);
    makeLink(a + "/dangling", "nowhere", now - 500);
    makeLink(a + "/moved", "target", now - 500);
    makeLink(b + "/fromB", "../missing", now - 500);
    run();
    EXPECT_TRUE(ctx.errors.isEmpty()) << qPrintable(ctx.errors.join('\n'));
    EXPECT_EQ(linkText(b + "/dangling"), "nowhere");
    EXPECT_EQ(linkText(b + "/moved"), "target");
    EXPECT_EQ(linkText(a + "/fromB"), sync ? "../missing" : "<no link>");

    // Pointed at a file that does not exist yet: the copy follows.
    makeLink(a + "/moved", "not-yet", now - 100);
    ctx.taskCounters = {};
    run();
    EXPECT_TRUE(ctx.errors.isEmpty()) << qPrintable(ctx.errors.join('\n'));
    EXPECT_EQ(linkText(b + "/moved"), "not-yet");
    EXPECT_EQ(ctx.taskCounters.b.filesReplaced, 1);
}

INSTANTIATE_TEST_SUITE_P(BackupAndSync, DanglingLinkTest, ::testing::Bool());

TEST_F(LinkRunTest, ResolvedLinkCyclesAreReportedAndTheRunGoesOn)
{
    ctx.set.isResolveSymLinkOn = true;
    writeFile(a + "/plain", "p", now - 500);
    QDir().mkpath(a + "/x");
    QDir().mkpath(a + "/y");
    const QString above = QFileInfo(dir.path()).fileName();
    QDir().mkpath(a + "/deep/er");
    // Back to the task folder itself, into each other, and above the task.
    const std::pair<QString, QByteArray> links[] = {{a + "/A", "../A"},
                                                    {a + "/x/y", "../y"},
                                                    {a + "/y/x", "../x"},
                                                    {a + "/deep/er/" + above, "../../../.."}};
    for (const auto &[path, target] : links)
        makeLink(path, target, now - 500);
    run();
    EXPECT_EQ(readFile(b + "/plain"), "p") << "the rest of the task is copied";
    const QString cycle = GLS("Can't resolve the SYM link");
    const QStringList errors = ctx.errors;
    for (const QString &link : {a + "/A", a + "/y/x", a + "/x/y", a + "/deep/er/" + above}) {
        const bool named = std::any_of(errors.begin(), errors.end(), [&](const QString &e) {
            return e.startsWith(cycle) && e.contains('"' + link + '"');
        });
        EXPECT_TRUE(named) << qPrintable(link) << "\n" << qPrintable(errors.join('\n'));
    }
    EXPECT_GE(ctx.taskCounters.totError, 4);
}

// The item of a resolved link is its target, elsewhere than the folder that
// holds the link: its content is read and logged from there.
// Also where side B already holds a folder of that name, which the walk
// lists ahead before it comes to the link.
TEST_F(LinkRunTest, AResolvedFolderLinkIsCopiedFromWhereItPoints)
{
    ctx.set.isResolveSymLinkOn = true;
    const QString target = dir.path() + "/elsewhere/data";
    writeFile(target + "/inner/f", "f", now - 500);
    makeLink(a + "/data", nativeName(target), now - 500);
    for (const bool folderOnB : {false, true}) {
        QDir(b).removeRecursively();
        QDir().mkpath(b);
        ctx.detailedLog.clear();
        if (folderOnB)
            writeFile(b + "/data/old", "old", now - 900);
        run();
        EXPECT_TRUE(ctx.errors.isEmpty()) << qPrintable(ctx.errors.join('\n'));
        EXPECT_EQ(readFile(b + "/data/inner/f"), "f") << folderOnB;
        EXPECT_FALSE(QFileInfo(b + "/data").isSymLink());
        const QString line = "Copied file \"" + target + "/inner/f\" to:\r\"" + b + "/data/inner/f\"\r";
        EXPECT_TRUE(ctx.detailedLog.contains(line)) << qPrintable(ctx.detailedLog);
    }
}
