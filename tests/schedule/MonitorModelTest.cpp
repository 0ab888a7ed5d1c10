#include "ScheduleTestSupport.h"
#include "schedule/Clock.h"
#include "schedule/MonitorModel.h"
#include "schedule/ScheduleHost.h"
#include "schedule/ScheduleMonitor.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qm;
using namespace qmtest;

namespace {

class OneSessionHost : public ScheduleHost {
public:
    QVariantList list;
    QVariantList sessions() const override { return list; }
    int sessionIndex() const override { return 0; }
    bool syncAndQuit() const override { return false; }
    bool isRunUnderway() const override { return false; }
    bool consoleShown() const override { return true; }
};

class MonitorModelTest : public ::testing::Test {
protected:
    ScopedTimeZone zone{"Europe/Berlin"};
    TestClock clock{at(2026, 12, 7, 7, 0)};
    OneSessionHost host;
    ScheduleMonitor monitor{clock, host};
    MonitorModel model{monitor};
    int resets = 0;

    void SetUp() override
    {
        // Every day at 8:00 and 9:00.
        host.list = {session("Photos", {repeating(at(2026, 12, 1, 8, 0), days(1)),
                                        repeating(at(2026, 12, 1, 9, 0), days(1))})};
        model.setLocale(QLocale::c());
        monitor.setRunStarter([](int, int, int) { return true; });
        QObject::connect(&model, &QAbstractItemModel::modelReset, [this] { ++resets; });
        monitor.rebuild(true);
    }

    QString text(int row, int column) const { return model.data(model.index(row, column)).toString(); }
    int tone(int row) const { return model.data(model.index(row, 0), MonitorModel::ToneRole).toInt(); }

    void runFirstDue(int errors, const QString &log = QString())
    {
        clock.set(at(2026, 12, 7, 9, 30));
        monitor.checkIfTimeToSync();
        monitor.markDone(errors, log);
    }
};

TEST_F(MonitorModelTest, RowsShowTheScheduleWithItsColumns)
{
    ASSERT_EQ(model.rowCount(), 2);
    ASSERT_EQ(model.columnCount(), 6);
    EXPECT_EQ(text(0, MonitorModel::ProgressiveColumn), "1");
    EXPECT_EQ(text(1, MonitorModel::ProgressiveColumn), "2");
    EXPECT_EQ(text(0, MonitorModel::StartDateColumn), "2026.12.07, 08:00 - Monday");
    EXPECT_EQ(text(0, MonitorModel::SessionNameColumn), "Photos");
    EXPECT_EQ(text(0, MonitorModel::StateColumn), "Wait");
    EXPECT_EQ(text(0, MonitorModel::ErrorsColumn), "");
    EXPECT_EQ(tone(0), MonitorModel::WaitingTone);
    EXPECT_EQ(model.data(model.index(0, MonitorModel::NextExeColumn), MonitorModel::ImageNameRole).toString(),
              "icnPreviewViolet");
    EXPECT_FALSE(model.data(model.index(1, MonitorModel::NextExeColumn), MonitorModel::ImageNameRole).isValid());
    EXPECT_EQ(model.headerData(4, Qt::Horizontal, MonitorModel::IdentifierRole).toString(), "state");
    EXPECT_FALSE(model.index(2, 0).isValid());
}

TEST_F(MonitorModelTest, RowsFollowARunFromStartToFinish)
{
    int shown = -1;
    bool daysEnabled = true;
    QObject::connect(&model, &MonitorModel::rowToShow, [&](int row) { shown = row; });
    QObject::connect(&model, &MonitorModel::daysChoiceEnabledChanged, [&](bool on) { daysEnabled = on; });
    const int before = resets;

    clock.set(at(2026, 12, 7, 8, 0));
    monitor.checkIfTimeToSync();
    EXPECT_GT(resets, before);
    EXPECT_EQ(text(0, MonitorModel::StateColumn), "Run");
    EXPECT_EQ(tone(0), MonitorModel::RunningTone);
    EXPECT_EQ(shown, 0);
    EXPECT_FALSE(daysEnabled);
    EXPECT_FALSE(model.isDaysChoiceEnabled());

    monitor.markDone(2, QString());
    EXPECT_EQ(text(0, MonitorModel::StateColumn), "Done");
    EXPECT_EQ(text(0, MonitorModel::ErrorsColumn), "2");
    EXPECT_EQ(tone(0), MonitorModel::DoneTone);
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(daysEnabled);
    EXPECT_EQ(model.data(model.index(1, MonitorModel::NextExeColumn), MonitorModel::ImageNameRole).toString(),
              "icnPreviewViolet");
    EXPECT_FALSE(model.data(model.index(0, MonitorModel::NextExeColumn), MonitorModel::ImageNameRole).isValid());
}

TEST_F(MonitorModelTest, SecondDayIsListedAfterTodayAndKeepsTheDoneEntries)
{
    runFirstDue(0);
    model.chooseDays(1);
    EXPECT_EQ(monitor.daysToCover(), 2);
    EXPECT_EQ(model.daysPosition(), 1);
    EXPECT_EQ(dates(monitor.schedule().entries()),
              (QStringList{"2026-12-07 08:00", "2026-12-08 08:00", "2026-12-08 09:00"}));
    EXPECT_EQ(text(0, MonitorModel::StateColumn), "Done");
    // 9:00 today was missed and is dropped by the rebuild (built at 9:30).
    EXPECT_EQ(text(1, MonitorModel::StartDateColumn), "2026.12.08, 08:00 - Tuesday");
}

TEST_F(MonitorModelTest, DeletingTakesOnlyFinishedEntries)
{
    clock.set(at(2026, 12, 7, 8, 0));
    monitor.checkIfTimeToSync();
    EXPECT_EQ(model.deleteRows({0}), -1); // blocked while running
    monitor.markDone(0, QString());
    EXPECT_EQ(model.deleteRows({0, 1}), -1); // a waiting entry among them
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.deleteRows({0}), 0);
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(text(0, MonitorModel::StartDateColumn), "2026.12.07, 09:00 - Monday");
    EXPECT_EQ(model.deleteRows({}), -1);
}

TEST_F(MonitorModelTest, LogOpensOnlyForAnExistingFile)
{
    QTemporaryDir dir;
    const QString log = dir.filePath("QMLog_2026.rtf");
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    runFirstDue(0, log);
    EXPECT_TRUE(model.canOpenLog(0));
    EXPECT_EQ(model.logPath(0), log);
    EXPECT_FALSE(model.canOpenLog(1));
    EXPECT_FALSE(model.canOpenLog(5));

    // Replaced by a folder of the same name, or gone: nothing to open.
    ASSERT_TRUE(QFile::remove(log));
    ASSERT_TRUE(QDir().mkdir(log));
    EXPECT_FALSE(model.canOpenLog(0));
    ASSERT_TRUE(QDir().rmdir(log));
    EXPECT_FALSE(model.canOpenLog(0));
    EXPECT_TRUE(model.logPath(0).isEmpty());
}

} // namespace
