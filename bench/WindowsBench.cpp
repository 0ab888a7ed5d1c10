// The session windows on full lists: the volumes panel with all 64 rows
// filled, and the scheduling monitor on a month of one-minute executions
// (44,640 entries), rebuilt, opened and scrolled from top to bottom.
//
//   WindowsBench   (runs offscreen unless QT_QPA_PLATFORM says otherwise)
#include "BenchMain.h"
#include "app/SessionDefaults.h"
#include "schedule/Clock.h"
#include "schedule/MonitorModel.h"
#include "schedule/ScheduleHost.h"
#include "schedule/ScheduleMonitor.h"
#include "schedule/TimerRow.h"
#include "ui/Dialogs.h"
#include "ui/SchedulingWindow.h"
#include "ui/VolumesPanel.h"
#include "volumes/PasswordCodec.h"
#include "volumes/VolumeUtilities.h"

#include <QApplication>
#include <QScrollBar>
#include <QTableView>
#include <benchmark/benchmark.h>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t0)
{
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

QVariantMap documentWith64Volumes()
{
    QVariantMap session = qm::SessionDefaults::session(1, QStringLiteral("Volumes"));
    QVariantList rows;
    for (int r = 0; r < 64; ++r) {
        QVariantMap row = qm::SessionDefaults::repairedVolumeRow();
        row.insert(QStringLiteral("volumeType"), qlonglong(r % 3 + 1));
        row.insert(QStringLiteral("scheme"), r % 3 ? QStringLiteral("file") : QStringLiteral("smb"));
        row.insert(QStringLiteral("user"), QStringLiteral("someone"));
        row.insert(QStringLiteral("host"), QStringLiteral("server%1.example").arg(r));
        row.insert(QStringLiteral("path"), QStringLiteral("/share/%1").arg(r));
        row.insert(QStringLiteral("mountPoint"), QStringLiteral("/media/someone/share%1").arg(r));
        row.insert(QStringLiteral("password"), qm::PasswordCodec::SetWellData(r % 2 ? QStringLiteral("secret") : QString()));
        rows.append(row);
    }
    session.insert(QStringLiteral("autoMountVolumeOn"), qlonglong(1));
    session.insert(QStringLiteral("autoMountVolumeArray"), rows);
    return {{QStringLiteral("sessionsArray"), QVariantList{session}}, {QStringLiteral("sessionIndex"), 0}};
}

class NoDialogs : public qm::WidgetDialogs {
public:
    int alert(QWidget *, QMessageBox::Icon, const QString &, const QString &, const QStringList &) override { return 0; }
};

void BM_OpenVolumesPanelWith64Rows(benchmark::State &state)
{
    QVariantMap doc = documentWith64Volumes();
    NoDialogs dialogs;
    auto volumes = std::make_shared<qm::VolumeUtilities>();
    for (auto _ : state) {
        const auto t0 = Clock::now();
        qm::VolumesPanel panel(qm::ListPanelServices{&dialogs, [&doc]() -> QVariantMap & { return doc; },
                                                     [] { return false; }, {}},
                               volumes);
        panel.load(doc);
        panel.resize(640, 440);
        panel.show();
        QApplication::processEvents();
        state.SetIterationTime(secondsSince(t0));
        if (panel.editor()->data(panel.editor()->index(63, 1)).toString().isEmpty())
            state.SkipWithError("the last row is not shown");
    }
}

class OneSessionHost : public qm::ScheduleHost {
public:
    QVariantList list;
    QVariantList sessions() const override { return list; }
    int sessionIndex() const override { return 0; }
    bool syncAndQuit() const override { return false; }
    bool isRunUnderway() const override { return false; }
    bool consoleShown() const override { return true; }
};

// One session with the given timers.
void setUpTimers(OneSessionHost &host, const QList<qm::TimerRow> &rows)
{
    QVariantList timers;
    for (const qm::TimerRow &row : rows)
        timers.append(row.toRecord());
    host.list = {QVariantMap{{QStringLiteral("sessionName"), QStringLiteral("Timers")},
                             {QStringLiteral("timerOn"), qlonglong(1)},
                             {QStringLiteral("timerArray"), timers}}};
}

qm::TimerRow repeatingRow(const QDateTime &start, const qm::TimerStep &step)
{
    qm::TimerRow row;
    row.valid = true;
    row.start = row.end = start;
    row.intervalOn = true;
    row.step = step;
    return row;
}

// One timer every minute since November 2026.
void setUpAMonthOfMinutes(OneSessionHost &host)
{
    setUpTimers(host, {repeatingRow(QDateTime(QDate(2026, 11, 1), QTime(0, 0)), qm::TimerStep{0, 0, 0, 0, 1})});
}

// A full list of 32 timers, each daily since 2004 at its own time.
void setUpDailyTimers(OneSessionHost &host)
{
    QList<qm::TimerRow> rows;
    for (int r = 0; r < 32; ++r)
        rows.append(repeatingRow(QDateTime(QDate(2004, 1, 1), QTime(r * 40 / 60, r * 40 % 60)),
                                 qm::TimerStep{0, 0, 1, 0, 0}));
    setUpTimers(host, rows);
}

// Choosing 31 days in the monitor's pop-up: the rebuild and the model's
// reset, all on the main thread.
void rebuildAMonth(benchmark::State &state, void (*setUp)(OneSessionHost &), int expectedEntries)
{
    qm::TestClock clock(QDateTime(QDate(2026, 12, 1), QTime(0, 0)));
    OneSessionHost host;
    setUp(host);
    qm::ScheduleMonitor monitor(clock, host);
    qm::MonitorModel model(monitor);
    for (auto _ : state) {
        monitor.setDaysToCover(1);
        const auto t0 = Clock::now();
        model.chooseDays(30);
        state.SetIterationTime(secondsSince(t0));
    }
    state.counters["entries"] = model.rowCount();
    if (model.rowCount() != expectedEntries)
        state.SkipWithError("the schedule does not hold a month of executions");
}

void BM_RebuildAMonthOfMinutes(benchmark::State &state)
{
    rebuildAMonth(state, setUpAMonthOfMinutes, 31 * 1440);
}

void BM_RebuildAMonthOfDailyTimers(benchmark::State &state)
{
    rebuildAMonth(state, setUpDailyTimers, 31 * 32);
}

void BM_OpenMonitorWithAMonthOfMinutes(benchmark::State &state)
{
    qm::TestClock clock(QDateTime(QDate(2026, 12, 1), QTime(0, 0)));
    OneSessionHost host;
    setUpAMonthOfMinutes(host);
    qm::ScheduleMonitor monitor(clock, host);
    const auto b0 = Clock::now();
    monitor.setDaysToCover(31);
    state.counters["buildMs"] = secondsSince(b0) * 1000;
    state.counters["entries"] = monitor.schedule().size();
    for (auto _ : state) {
        const auto t0 = Clock::now();
        qm::SchedulingWindow window(monitor, nullptr);
        window.resize(660, 420);
        window.show();
        QApplication::processEvents();
        state.SetIterationTime(secondsSince(t0));
        // Page by page from top to bottom, each page drawn: the slowest page counts.
        QScrollBar *bar = window.table()->verticalScrollBar();
        const int pages = 200;
        double slowest = 0;
        const auto s0 = Clock::now();
        for (int p = 1; p <= pages; ++p) {
            const auto p0 = Clock::now();
            bar->setValue(bar->maximum() * p / pages);
            window.table()->viewport()->repaint();
            slowest = std::max(slowest, secondsSince(p0));
        }
        state.counters["scrollPageMs"] = secondsSince(s0) * 1000 / pages;
        state.counters["slowestPageMs"] = slowest * 1000;
    }
    if (monitor.schedule().size() < 44000)
        state.SkipWithError("the schedule is shorter than a month of minutes");
}

BENCHMARK(BM_OpenVolumesPanelWith64Rows)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RebuildAMonthOfMinutes)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RebuildAMonthOfDailyTimers)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenMonitorWithAMonthOfMinutes)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return qmbench::runWidgetBenchmarks(argc, argv);
}
