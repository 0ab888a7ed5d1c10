// Whole runs of the program under faults: an index folder that refuses
// writes, a side emptied between runs.
#include "support/Documents.h"
#include "app/AppPaths.h"
#include "support/Files.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace qm;
using namespace qmtest;

namespace {

struct BatchRun {
    int status = -1;
    QString out;
};

BatchRun runBatch(const QString &document)
{
    QProcess p;
    p.start(QStringLiteral(QM_EXECUTABLE), {"--batch", document, "--session", "1"});
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLocal8Bit(p.readAllStandardOutput())};
}

// The immutable flag on a folder refuses every new, removed or renamed
// entry in it, to root as well.
class FrozenFolder {
public:
    explicit FrozenFolder(const QString &path) : m_path(path) { m_frozen = set(true); }
    ~FrozenFolder()
    {
        if (m_frozen)
            set(false);
    }
    bool frozen() const { return m_frozen; }

private:
    bool set(bool on) const
    {
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return false;
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return ok;
    }
    QString m_path;
    bool m_frozen = false;
};

class SafeRuns : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(a) && QDir().mkpath(b));
        document = writeSession(home.path() + "/exact.qmy", 0,
                                {{"topFolder", a}, {"bottomFolder", b}, {"settTask", 1}, {"settExact", 1}});
        ASSERT_FALSE(document.isEmpty());
    }
    TempHome home;
    const QString a = home.path() + "/A";
    const QString b = home.path() + "/B";
    QString document;
};

} // namespace

TEST_F(SafeRuns, AnIndexThatCannotBeWrittenIsAnErrorAndItsPredecessorDeletesNothing)
{
    ASSERT_TRUE(writeBytes(a + "/one", "1") && writeBytes(a + "/two", "2"));
    ASSERT_EQ(runBatch(document).status, 0);
    ASSERT_EQ(bytesOf(b + "/one"), QByteArray("1"));

    const FrozenFolder readOnly(AppPaths::fromEnvironment().exactSyncIndexFolder);
    if (!readOnly.frozen())
        GTEST_SKIP() << "this file system cannot make a folder immutable";
    // The run carries the deletion over, but cannot record it.
    ASSERT_TRUE(QFile::remove(a + "/one"));
    const BatchRun refused = runBatch(document);
    EXPECT_EQ(refused.status, 1) << refused.out.toStdString();
    EXPECT_TRUE(refused.out.contains("Can't update the ExactSync")) << refused.out.toStdString();
    EXPECT_TRUE(refused.out.contains("Errors: 1")) << refused.out.toStdString();
    EXPECT_FALSE(QFileInfo::exists(b + "/one"));

    // Made again since: the old index would take it for a deletion on B.
    ASSERT_TRUE(writeBytes(a + "/one", "new"));
    EXPECT_EQ(runBatch(document).status, 1);
    EXPECT_EQ(bytesOf(a + "/one"), QByteArray("new"));
    EXPECT_EQ(bytesOf(b + "/one"), QByteArray("new"));
}

TEST_F(SafeRuns, AnEmptiedSideStaysRefusedRunAfterRun)
{
    ASSERT_TRUE(writeBytes(a + "/one", "1") && writeBytes(b + "/two", "2"));
    ASSERT_EQ(runBatch(document).status, 0);
    ASSERT_TRUE(QDir(a).removeRecursively() && QDir().mkpath(a));
    for (int run = 0; run < 2; ++run) {
        const BatchRun r = runBatch(document);
        EXPECT_EQ(r.status, 1) << r.out.toStdString();
        EXPECT_EQ(QDir(b).entryList(QDir::Files), QStringList({"one", "two"})) << "run " << run;
        EXPECT_EQ(QDir(a).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList()) << "run " << run;
    }
}
