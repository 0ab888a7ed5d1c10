#include "uimodel/FolderSizer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace qm;

namespace {

void writeFile(const QString &path, int bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(bytes, 'x'));
}

} // namespace

TEST(FolderSizer, AddsEveryFileBelowAndDeliversOnlyTheLatestRequest)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkpath("a/b");
    writeFile(dir.filePath("one"), 1000);
    writeFile(dir.filePath("a/.hidden"), 24);
    writeFile(dir.filePath("a/b/two"), 1);
    QFile::link(dir.filePath("one"), dir.filePath("a/link")); // not followed
    EXPECT_EQ(itemSizeInBytes(dir.path()), 1025);
    // A name that is no valid text is counted like any other.
    const QByteArray odd = QFile::encodeName(dir.filePath("a/b")) + "/bad\xff";
    const int fd = ::open(odd.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "12345", 5), 5);
    ::close(fd);
    EXPECT_EQ(itemSizeInBytes(dir.filePath("a")), 24 + 1 + 5);
    ::unlink(odd.constData());
    EXPECT_EQ(itemSizeInBytes(dir.filePath("a/b/two")), 1);
    EXPECT_EQ(itemSizeInBytes(dir.filePath("gone")), 0);

    FolderSizer sizer;
    QStringList answered;
    qint64 bytes = -1;
    QObject::connect(&sizer, &FolderSizer::sizeReady, [&](const QString &p, qint64 b) {
        answered << p;
        bytes = b;
    });
    sizer.request(dir.filePath("a/b"));
    sizer.request(dir.path());
    const QDeadlineTimer deadline(10000);
    while (answered.isEmpty() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    EXPECT_EQ(answered, QStringList{dir.path()});
    EXPECT_EQ(bytes, 1025);
}
