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
    QVariantList list = {session("Photos", {repeating(at(2026, 12, 1, 8, 0), step(0, 0, 1, 0, 0)),
                                            repeating(at(2026, 12, 1, 9, 0), step(0, 0, 1, 0, 0))})};
    QVariantList sessions() const override { return list; }
    int sessionIndex() const override { return 0; }
    bool syncAndQuit() const override { return false; }
    bool isRunUnderway() const override { return false; }
    bool consoleShown() const override { return true; }
};

class MonitorModelTest : public ::testing::Test {
protected:
    ScopedTimeZone zone{kBerlin};
    TestClock clock{at(2026, 12, 7, 7, 0)};
    OneSessionHost host;
    ScheduleMonitor monitor{clock, host};
    MonitorModel model{monitor};

    void SetUp() override
    {
        model.setLocale(QLocale::c());
        monitor.setRunStarter([](int, int, int) { return true; });
        monitor.rebuild(true);
    }

    QString text(int row, int column) const { return model.data(model.index(row, column)).toString(); }
    QVariant role(int row, int column, int role) const { return model.data(model.index(row, column), role); }
};

TEST_F(MonitorModelTest, RowsFollowARunFromStartToFinish)
{
    int resets = 0;
    int shown = -1;
    QObject::connect(&model, &QAbstractItemModel::modelReset, [&] { ++resets; });
    QObject::connect(&model, &MonitorModel::rowToShow, [&](int row) { shown = row; });
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(text(1, MonitorModel::ProgressiveColumn), "2");
    EXPECT_EQ(text(0, MonitorModel::StartDateColumn), "2026.12.07, 08:00 - Monday");
    EXPECT_EQ(text(0, MonitorModel::SessionNameColumn), "Photos");
    EXPECT_EQ(text(0, MonitorModel::StateColumn), "Wait");
    EXPECT_EQ(role(0, MonitorModel::NextExeColumn, MonitorModel::ImageNameRole).toString(), "icnPreviewViolet");
    EXPECT_FALSE(role(1, MonitorModel::NextExeColumn, MonitorModel::ImageNameRole).isValid());

    clock.set(at(2026, 12, 7, 8, 0));
    monitor.checkIfTimeToSync();
    EXPECT_GT(resets, 0);
    EXPECT_EQ(text(0, MonitorModel::StateColumn), "Run");
    EXPECT_EQ(role(0, 0, MonitorModel::ToneRole).toInt(), MonitorModel::RunningTone);
    EXPECT_EQ(text(0, MonitorModel::ErrorsColumn), "");
    EXPECT_EQ(shown, 0);
    EXPECT_FALSE(model.isDaysChoiceEnabled());

    monitor.markDone(2, QString());
    EXPECT_EQ(text(0, MonitorModel::StateColumn), "Done");
    EXPECT_EQ(text(0, MonitorModel::ErrorsColumn), "2");
    EXPECT_EQ(role(0, 0, MonitorModel::ToneRole).toInt(), MonitorModel::DoneTone);
    EXPECT_EQ(role(1, 0, MonitorModel::ToneRole).toInt(), MonitorModel::WaitingTone);
    EXPECT_EQ(role(1, MonitorModel::NextExeColumn, MonitorModel::ImageNameRole).toString(), "icnPreviewViolet");
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(model.isDaysChoiceEnabled());
}

TEST_F(MonitorModelTest, SecondDayIsListedAfterTodayAndDeletingTakesOnlyFinishedEntries)
{
    clock.set(at(2026, 12, 7, 8, 0));
    monitor.checkIfTimeToSync();
    EXPECT_EQ(model.deleteRows({0}), -1); // blocked while running
    monitor.markDone(0, QString());
    model.chooseDays(1);
    EXPECT_EQ(model.daysPosition(), 1);
    EXPECT_EQ(dates(monitor.schedule().entries()),
              (QStringList{"2026-12-07 08:00", "2026-12-07 09:00", "2026-12-08 08:00", "2026-12-08 09:00"}));
    EXPECT_EQ(text(2, MonitorModel::StartDateColumn), "2026.12.08, 08:00 - Tuesday");

    EXPECT_EQ(model.deleteRows({0, 1}), -1); // a waiting entry among them
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.deleteRows({0}), 0);
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(text(0, MonitorModel::StateColumn), "Wait");
}

TEST_F(MonitorModelTest, LogOpensOnlyForAnExistingFile)
{
    QTemporaryDir dir;
    const QString log = dir.filePath("QMLog_2026.rtf");
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    clock.set(at(2026, 12, 7, 8, 0));
    monitor.checkIfTimeToSync();
    monitor.markDone(0, log);
    EXPECT_TRUE(model.canOpenLog(0));
    EXPECT_EQ(model.logPath(0), log);
    EXPECT_FALSE(model.canOpenLog(1));
    EXPECT_FALSE(model.canOpenLog(5));
    // Replaced by a folder of the same name, or gone: nothing to open.
    ASSERT_TRUE(QFile::remove(log) && QDir().mkdir(log));
    EXPECT_FALSE(model.canOpenLog(0));
    ASSERT_TRUE(QDir().rmdir(log));
    EXPECT_TRUE(model.logPath(0).isEmpty());
}

} // namespace
