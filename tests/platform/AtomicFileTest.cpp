#include "platform/AtomicFile.h"
#include "platform/PropertyList.h"
#include "support/Files.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using qm::ByteSink;
using qm::PropertyList;
using qmtest::modeOf;
namespace atomicfile = qm::atomicfile;

namespace {

const QByteArray kOriginal = PropertyList::serialize(QVariantMap{{"prefKept", QString("the good file")}});

// Small, as preferences and indexes are: it fits a write buffer whole.
QVariantMap largeDictionary()
{
    QVariantMap m;
    for (int i = 0; i < 40; ++i)
        m.insert(QStringLiteral("key%1").arg(i), QString(40, QChar('x')));
    return m;
}

// Nothing but the stored file is left in the folder: no temporary.
QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// A small file system of its own, filled to the last block.
class FullDisk {
public:
    FullDisk()
    {
        const QByteArray at = QFile::encodeName(m_dir.path());
        m_mounted = ::mount("tmpfs", at.constData(), "tmpfs", 0, "size=256k") == 0;
    }
    ~FullDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }
    // Fills every free block; true when the disk refused more.
    bool fill() const
    {
        const int fd = ::open(QFile::encodeName(m_dir.path() + "/filler").constData(),
                              O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        const QByteArray block(4096, 'f');
        while (::write(fd, block.constData(), size_t(block.size())) > 0) {
        }
        const bool full = errno == ENOSPC;
        ::close(fd);
        return full;
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

} // namespace

TEST(AtomicFile, AFullDiskLeavesTheStoredFileAsItWas)
{
    FullDisk disk;
    if (!disk.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    const QString path = disk.path() + "/Prefs.plist";
    ASSERT_TRUE(qmtest::writeBytes(path, kOriginal));
    ASSERT_TRUE(disk.fill());

    QString error;
    EXPECT_FALSE(PropertyList::write(path, largeDictionary(), &error));
    EXPECT_TRUE(error.startsWith(path)) << error.toStdString();
    EXPECT_EQ(qmtest::bytesOf(path), kOriginal);
    EXPECT_EQ(entriesOf(disk.path()), QStringList({"Prefs.plist", "filler"}));

    // Written in pieces, the refusal reaches the producer, which stops.
    int handed = 0;
    bool refused = false;
    EXPECT_FALSE(atomicfile::write(path, [&](const ByteSink &sink) {
        for (; handed < 1000; ++handed)
            if (!sink(QByteArray(4096, 'x')))
                return !(refused = true);
        return true;
    }));
    EXPECT_TRUE(refused);
    EXPECT_LT(handed, 1000);
    EXPECT_EQ(qmtest::bytesOf(path), kOriginal);
    EXPECT_EQ(entriesOf(disk.path()), QStringList({"Prefs.plist", "filler"}));
}

// A file made as it is written replaces the stored one only when every piece
// went in and the producer finished.
TEST(AtomicFile, AFileWrittenInPiecesIsWholeOrNotWrittenAtAll)
{
    const struct {
        const char *what;
        int pieces;
        bool producerFinishes;
        QByteArray expected;
    } cases[] = {
        {"every piece", 3, true, "piece 0|piece 1|piece 2|"},
        {"no piece", 0, true, ""},
        {"the producer gives up after two pieces", 2, false, kOriginal},
    };
    for (const auto &c : cases) {
        QTemporaryDir dir;
        const QString path = dir.path() + "/QMLog_2026_12_09_00_00_00.txt";
        ASSERT_TRUE(qmtest::writeBytes(path, kOriginal));
        QString error;
        const bool written = atomicfile::write(
            path,
            [&c](const ByteSink &sink) {
                for (int i = 0; i < c.pieces; ++i)
                    if (!sink(QStringLiteral("piece %1|").arg(i).toUtf8()))
                        return false;
                return c.producerFinishes;
            },
            &error);
        EXPECT_EQ(written, c.producerFinishes) << c.what;
        EXPECT_EQ(error.isEmpty(), c.producerFinishes) << c.what;
        EXPECT_EQ(qmtest::bytesOf(path), c.expected) << c.what;
        EXPECT_EQ(entriesOf(dir.path()), QStringList({"QMLog_2026_12_09_00_00_00.txt"})) << c.what;
    }
}

// The limit is set in a child, which reports by its exit status: 0 when the
// write was refused, 1 when it claimed success, 2 when the limit could not be set.
TEST(AtomicFile, AWriteRefusedByTheFileSizeLimitLeavesTheStoredFileAsItWas)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/QM3ExactSyncMainIndex.plist";
    ASSERT_TRUE(qmtest::writeBytes(path, kOriginal));
    const QVariantMap bigger = largeDictionary();

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        atomicfile::ignoreFileSizeSignal();
        const rlimit limit{200, 200};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ::_exit(2);
        QString error;
        ::_exit(PropertyList::write(path, bigger, &error) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(qmtest::bytesOf(path), kOriginal);
    EXPECT_EQ(entriesOf(dir.path()), QStringList({"QM3ExactSyncMainIndex.plist"}));
}

TEST(AtomicFile, StoredFilesAndFoldersArePrivateWhateverTheUmask)
{
    QTemporaryDir dir;
    const mode_t saved = ::umask(0);
    const QString folder = dir.path() + "/made/in/between";
    const bool made = atomicfile::makePrivateFolder(folder);
    const bool wrote = atomicfile::write(folder + "/file", "bytes");
    const bool listed = PropertyList::write(folder + "/list.plist", QVariantMap{{"k", 1}}, nullptr);
    ::umask(saved);
    ASSERT_TRUE(made && wrote && listed);
    for (const QString &f : {dir.path() + "/made", dir.path() + "/made/in", folder})
        EXPECT_EQ(modeOf(f), 0700u) << f.toStdString();
    EXPECT_EQ(modeOf(folder + "/file"), 0600u);
    EXPECT_EQ(modeOf(folder + "/list.plist"), 0600u);
    // A folder that exists is the user's: left as it was.
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    EXPECT_TRUE(atomicfile::makePrivateFolder(folder));
    EXPECT_EQ(modeOf(folder), 0755u);
    EXPECT_FALSE(atomicfile::makePrivateFolder(folder + "/file/below"));
}

TEST(AtomicFile, AFileNamedThroughALinkIsReplacedWhereItLives)
{
    QTemporaryDir dir;
    const QString real = dir.path() + "/real.plist";
    const QString link = dir.path() + "/link.plist";
    ASSERT_TRUE(qmtest::writeBytes(real, kOriginal));
    ASSERT_TRUE(QFile::link(real, link));
    ASSERT_TRUE(atomicfile::write(link, "new"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(qmtest::bytesOf(real), QByteArray("new"));
}
