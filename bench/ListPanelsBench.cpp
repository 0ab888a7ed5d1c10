// Opening the list pages on a session whose 32 rows are all filled: each
// page is built, loads the session's list and is shown and drawn once. The
// target is under 50 ms a page.
//
//   ListPanelsBench   (runs offscreen unless QT_QPA_PLATFORM says otherwise)
#include "BenchMain.h"
#include "app/SessionDefaults.h"
#include "ui/Dialogs.h"
#include "ui/ListPanels.h"
#include "uimodel/ExcludeListEditor.h"
#include "uimodel/MultiListEditor.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

QVariantList filled(const char *list, const std::function<void(QVariantMap &, int)> &fill)
{
    QVariantList rows = qm::SessionDefaults::session(1, QStringLiteral("S")).value(list).toList();
    for (int r = 0; r < rows.size(); ++r) {
        QVariantMap row = rows[r].toMap();
        fill(row, r);
        rows[r] = row;
    }
    return rows;
}

// One session with every list on and every row of it in use.
QVariantMap fullDocument()
{
    QVariantMap s = qm::SessionDefaults::session(1, QStringLiteral("Full"));
    for (const char *on : {"timerOn", "multiOn", "filterOn", "excludeOn"})
        s[on] = qlonglong(1);
    const QDateTime start(QDate(2026, 12, 7), QTime(8, 0));
    s["timerArray"] = filled("timerArray", [&](QVariantMap &row, int r) {
        row["valid"] = qlonglong(1);
        row["start"] = start.addSecs(r * 600);
        row["intervalOn"] = qlonglong(1);
        row["intervalHours"] = qlonglong(r % 5 + 1);
        row["intervalDays"] = qlonglong(r % 3);
    });
    s["multiArray"] = filled("multiArray", [](QVariantMap &row, int r) {
        row["source"] = QStringLiteral("/home/someone/Documents/project %1").arg(r);
        row["destination"] = QStringLiteral("/media/backup/Documents/project %1").arg(r);
    });
    s["filterArray"] = filled("filterArray", [](QVariantMap &row, int r) {
        row["filterFileNameOn"] = qlonglong(1);
        row["filterFileNameField"] = QStringLiteral(".tmp%1").arg(r);
        row["filterOwnerOn"] = qlonglong(1);
        row["filterOwnerField"] = QStringLiteral("someone");
        row["filterNameField"] = QStringLiteral("FN ends with \".tmp%1\" - Owner name is \"someone\"").arg(r);
    });
    s["excludeArray"] = filled("excludeArray", [](QVariantMap &row, int r) {
        row["itemToExclude"] = QStringLiteral("/home/someone/Documents/cache %1").arg(r);
    });
    return {{"sessionsArray", QVariantList{s}}, {"sessionIndex", 0}};
}

struct Setup {
    QVariantMap document = fullDocument();
    qm::WidgetDialogs dialogs; // never asked: nothing is clicked
    qm::ListPanelServices services()
    {
        qm::ListPanelServices s;
        s.dialogs = &dialogs;
        s.document = [this]() -> QVariantMap & { return document; };
        s.runUnderway = [] { return false; };
        return s;
    }
};

using Maker = std::function<qm::ListPanel *(qm::ListPanelServices)>;

void openPanel(benchmark::State &state, const Maker &make)
{
    Setup setup;
    for (auto _ : state) {
        // Built, loaded, shown and drawn: the whole cost, though the console
        // builds its pages once and only loads and shows them after that.
        const auto t0 = Clock::now();
        std::unique_ptr<qm::ListPanel> panel(make(setup.services()));
        panel->resize(640, 440);
        const auto t1 = Clock::now();
        if (!panel->load(setup.document))
            state.SkipWithError("the session did not load");
        panel->show();
        QApplication::processEvents();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - t0).count());
        state.counters["loadAndShowMs"] = millisecondsSince(t1);
        state.counters["rows"] = panel->editor()->rowCount();
    }
}

void BM_OpenTimerPanel(benchmark::State &state)
{
    openPanel(state, [](qm::ListPanelServices s) { return new qm::TimerPanel(std::move(s)); });
}

void BM_OpenFolderPairPanel(benchmark::State &state)
{
    openPanel(state, [](qm::ListPanelServices s) {
        return new qm::ListPanel(new qm::MultiListEditor(nullptr), QStringLiteral("multi"), QStringLiteral("Multi"),
                                 std::move(s));
    });
}

void BM_OpenFilterPanel(benchmark::State &state)
{
    openPanel(state, [](qm::ListPanelServices s) { return new qm::FilterPanel(std::move(s)); });
}

void BM_OpenExcludePanel(benchmark::State &state)
{
    openPanel(state, [](qm::ListPanelServices s) {
        return new qm::ListPanel(new qm::ExcludeListEditor(), QStringLiteral("exclude"), QStringLiteral("Exclude"),
                                 std::move(s));
    });
}

BENCHMARK(BM_OpenTimerPanel)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenFolderPairPanel)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenFilterPanel)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenExcludePanel)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return qmbench::runWidgetBenchmarks(argc, argv);
}
