#include "fs/LPUtilities.h"
#include "uimodel/PreviewInfo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qm;

namespace {

const QDateTime kModified(QDate(2009, 3, 7), QTime(14, 5, 9));
const QDateTime kBackup(QDate(2010, 12, 25), QTime(8, 0, 1));

void writeFile(const QString &path, qsizetype size)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(size, 'q'));
    f.flush();
    f.setFileTime(kModified, QFileDevice::FileModificationTime);
}

TEST(PreviewInfo, BoxesShowWhatIsOnDisk)
{
    QTemporaryDir dir;
    const QString file = dir.path() + "/report.txt";
    writeFile(file, 1234567);
    const QString dated = dir.path() + "/dated.txt";
    writeFile(dated, 999);
    ASSERT_TRUE(LPUtilities().SetBackupDate(dated, UTCDateTime::fromDateTime(kBackup)));
    const QString folder = dir.path() + "/Folder";
    QDir().mkpath(folder);

    const QLocale c = QLocale::c();
    const PreviewSideInfo big = previewSideInfo(file, c);
    EXPECT_TRUE(big.exists);
    EXPECT_EQ(big.name, "report.txt");
    EXPECT_EQ(big.path, file);
    EXPECT_EQ(big.modified, "Sat, Mar 07, 2009 - 14:05:09");
    EXPECT_EQ(big.backup, "--"); // never backed up
    EXPECT_EQ(big.size, "1,234,567 bytes");

    const PreviewSideInfo small = previewSideInfo(dated, c);
    EXPECT_EQ(small.backup, "Sat, Dec 25, 2010 - 08:00:01");
    EXPECT_EQ(small.size, "999 bytes");

    const PreviewSideInfo box = previewSideInfo(folder, c);
    EXPECT_TRUE(box.exists);
    EXPECT_EQ(box.name, "Folder");
    EXPECT_EQ(box.size, "--");

    for (const QString &absent : {dir.path() + "/gone", QString()}) {
        const PreviewSideInfo none = previewSideInfo(absent, c);
        EXPECT_FALSE(none.exists);
        for (const QString &field : {none.name, none.modified, none.backup, none.size, none.path})
            EXPECT_EQ(field, "--");
    }
}

TEST(PreviewInfo, CounterFieldsInTheWindowsOrder)
{
    PlanCounters c;
    c.itemsToDoNothing = 1;
    c.itemsToDoSkip = 2;
    c.itemsToDoDelete = 3;
    c.itemsToDoAtoB = 4000;
    c.itemsToDoBtoA = 5;
    c.globalItemsToDo = 4008;
    EXPECT_EQ(previewCounterTexts(c), (QStringList{"1", "2", "3", "4,000", "5", "4,008"}));
}

TEST(PreviewInfo, SideColumnsNeverGetANegativeWidth)
{
    EXPECT_EQ(previewSideColumnWidth(10), 0);
}

} // namespace
