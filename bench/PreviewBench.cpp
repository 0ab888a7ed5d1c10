// The preview and the log window on large inputs: a first backup of 100,000
// files in 2,000 folders shown in the preview, a folder of 10,000 items
// switched off and on again, and a 50 MB log opened and searched.
//
//   PreviewBench   (runs offscreen unless QT_QPA_PLATFORM says otherwise)
#include "BenchMain.h"
#include "report/LogFiles.h"
#include "ui/LogWindow.h"
#include "ui/PreviewWindow.h"
#include "uimodel/LogLinesModel.h"
#include "uimodel/LogText.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeView>
#include <benchmark/benchmark.h>

#include <chrono>
#include <sys/resource.h>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t0)
{
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

long peakKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// A first backup: `folders` folders of `files` files each, all to copy.
qm::RunPlan firstBackup(int folders, int files)
{
    qm::RunPlan plan;
    qm::CopyItem root;
    root.setFullPaths(QStringLiteral("/home/someone/Documents"), QStringLiteral("/media/backup/Documents"));
    root.copyMode = qm::CopyMode::Folder;
    root.hasSubItems = true;
    root.isTheRootOfTheTree = true;
    root.sessionIndex = root.taskIndex = 0;
    plan.counters.add(qm::CopyMode::Folder);
    root.subItems.reserve(size_t(folders));
    for (int f = 0; f < folders; ++f) {
        qm::CopyItem folder;
        folder.name = QStringLiteral("folder %1").arg(f, 4, 10, QLatin1Char('0'));
        folder.copyMode = qm::CopyMode::CopyAToB;
        folder.hasSubItems = true;
        folder.subItems.reserve(size_t(files));
        for (int i = 0; i < files; ++i) {
            qm::CopyItem file;
            file.name = QStringLiteral("file %1.txt").arg(i);
            file.copyMode = qm::CopyMode::CopyAToB;
            folder.subItems.push_back(std::move(file));
        }
        root.subItems.push_back(std::move(folder));
    }
    plan.counters.itemsToDoAtoB = folders * (files + 1);
    plan.counters.globalItemsToDo = plan.counters.itemsToDoAtoB;
    plan.addTask(std::move(root));
    return plan;
}

void BM_ShowPreviewOf100000Items(benchmark::State &state)
{
    for (auto _ : state) {
        qm::RunPlan plan = firstBackup(2000, 49);
        const long before = peakKb();
        const auto t0 = Clock::now();
        {
            qm::PreviewWindow window(plan);
            window.show();
            window.outline()->expand(window.model()->index(0, 0));
            QApplication::processEvents();
            state.SetIterationTime(secondsSince(t0));
            state.counters["items"] = plan.counters.globalItemsToDo;
            state.counters["addedPeakKB"] = double(peakKb() - before);
        }
    }
}

void BM_ToggleFolderOf10000Items(benchmark::State &state)
{
    qm::RunPlan plan = firstBackup(1, 9999);
    qm::PreviewModel model(plan);
    const QModelIndex folder = model.index(0, qm::PreviewModel::OperationColumn, model.index(0, 0));
    // Rows a view has shown are redrawn too.
    for (int r = 0; r < 40; ++r)
        model.index(r, 0, folder.siblingAtColumn(0));
    const qm::PlanCounters before = plan.counters;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        model.toggle(folder);
        state.SetIterationTime(secondsSince(t0));
    }
    if (plan.counters.itemsToDoSkip + plan.counters.itemsToDoAtoB != before.itemsToDoAtoB)
        state.SkipWithError("the counters went wrong");
}

QString bigLogFile(const QString &folder)
{
    QString log;
    log.reserve(44 * 1024 * 1024);
    int line = 0;
    while (log.size() < 43 * 1024 * 1024) {
        log += QStringLiteral("• Copied the file \"/home/someone/Documents/folder %1/file %2.txt\"\r")
                   .arg(line / 50).arg(line % 50);
        if (++line % 5000 == 0)
            log += QStringLiteral("√ Can't copy the file \"/home/someone/Documents/locked %1.txt\"\r").arg(line);
    }
    const QString path = folder + QStringLiteral("/QMLog_2026_12_07_18_00_00.rtf");
    qm::SaveLogToRTFFile(log, path);
    return path;
}

void BM_LogWindowOn50MBLog(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = bigLogFile(dir.path());
    state.counters["fileMB"] = double(QFileInfo(path).size()) / (1024 * 1024);
    for (auto _ : state) {
        const double c0 = cpuSeconds();
        const qm::LogWindowContent content = qm::FillLogWindow(path, QString());
        state.counters["readCpuMs"] = (cpuSeconds() - c0) * 1000;
        const double c1 = cpuSeconds();
        qm::LogLinesModel lines;
        lines.setText(content.text);
        state.counters["setTextCpuMs"] = (cpuSeconds() - c1) * 1000;
        qm::LogWindow window;
        const auto t0 = Clock::now();
        window.WindowOpenLog(path, QString());
        QApplication::processEvents();
        state.SetIterationTime(secondsSince(t0));
        const auto t1 = Clock::now();
        window.LogFindError(false);
        window.LogFindError(false);
        state.counters["nextErrorMs"] = secondsSince(t1) * 1000 / 2;
        if (!window.selectedLinesText().startsWith(QStringLiteral("√ ")))
            state.SkipWithError("no error line found");
    }
}

BENCHMARK(BM_ShowPreviewOf100000Items)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToggleFolderOf10000Items)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LogWindowOn50MBLog)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return qmbench::runWidgetBenchmarks(argc, argv);
}
