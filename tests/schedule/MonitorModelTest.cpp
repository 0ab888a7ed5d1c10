#include "MonitorFixture.h"
#include "schedule/MonitorModel.h"

#include <QDir>

using namespace qm;
using namespace qmtest;

namespace {

class MonitorModelTest : public MonitorFixture {
protected:
    MonitorModel model{monitor};

    void SetUp() override
    {
        host.list = {session("Photos", {repeating(at(2026, 12, 1, 8, 0), TimerStep{0, 0, 1, 0, 0}),
                                        repeating(at(2026, 12, 1, 9, 0), TimerStep{0, 0, 1, 0, 0})})};
        model.setLocale(QLocale::c());
        MonitorFixture::SetUp();
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

    checkAt(at(2026, 12, 7, 8, 0));
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
    checkAt(at(2026, 12, 7, 8, 0));
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
    const QString log = logFile("QMLog_2026.rtf");
    checkAt(at(2026, 12, 7, 8, 0));
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
