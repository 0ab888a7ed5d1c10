// Whole-task timings of the scanner and executor beside rsync on the same
// tree: a first backup into an empty folder and a second backup with nothing
// changed. The engine runs in this process (no program start-up); rsync runs
// as a process, as a user would start it.
//
//   EngineBench   (QM_BENCH_DIR picks the disk, default /var/tmp;
//                  QM_BENCH_MAXKB the largest file, default 8)
#include "engine/Executor.h"
#include "engine/Scanner.h"

#include <QDir>
#include <QFile>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <sys/resource.h>
#include <unistd.h>

namespace {

class BenchContext : public qm::RunContext {
public:
    qm::SessionSettings set;
    qm::RunCounters c;
    qm::PlanCounters plan;
    QStringList restore;
    qm::PermissiveItemPolicy policy;
    int errors = 0;
    QDateTime start = QDateTime::currentDateTimeUtc();

    bool isCopying() const override { return true; }
    void requestUserStop() override {}
    bool reportRunError(const qm::RunError &) override { return ++errors, true; }
    void logSuccess(const QString &) override {}
    void appendDetailedLog(const QString &) override {}
    void diagnostic(const QString &) override {}
    bool isUnattended() const override { return true; }
    qm::ConflictReply askConflict(const qm::ConflictQuestion &) override { return {}; }
    void setStatusText(const QString &) override {}
    void itemStarted() override {}
    void noteItemDone() override {}
    void publishOperation(int, const QString &, const QString &) override {}
    void showTask(const qm::CopyItem &) override {}
    QDateTime runStart() const override { return start; }
    const qm::SessionSettings &settings() const override { return set; }
    qm::RunCounters &counters() override { return c; }
    qm::PlanCounters &planCounters() override { return plan; }
    QStringList &restoreBackupDates() override { return restore; }
    qm::ItemPolicy &itemPolicy() override { return policy; }
    void beforeCopySession(int) override {}
    void beforeCopyTask() override {}
    void afterCopyTask(int, int, int) override {}
    void afterCopySession(int) override {}
};

QString benchRoot()
{
    const QByteArray env = qgetenv("QM_BENCH_DIR");
    return (env.isEmpty() ? QStringLiteral("/var/tmp") : QString::fromLocal8Bit(env))
           + "/qm-enginebench";
}

// 20,000 files of 1 KB up to QM_BENCH_MAXKB in 1,000 folders.
QString sourceTree()
{
    const QString top = benchRoot() + "/src";
    if (QFile::exists(top + "/.complete"))
        return top;
    QDir(top).removeRecursively();
    const int asked = qEnvironmentVariableIntValue("QM_BENCH_MAXKB");
    const int maxKb = asked > 0 ? asked : 8;
    QByteArray block(maxKb * 1024, 'q');
    for (int d = 0; d < 1000; ++d) {
        const QString folder = top + QString("/f%1/g%2").arg(d / 50).arg(d);
        QDir().mkpath(folder);
        for (int i = 0; i < 20; ++i) {
            QFile f(folder + QString("/file%1.dat").arg(i));
            if (!f.open(QIODevice::WriteOnly))
                std::abort();
            f.write(block.constData(), 1024 + ((d * 20 + i) * 7919) % (block.size() - 1023));
        }
    }
    QFile(top + "/.complete").open(QIODevice::WriteOnly);
    return top;
}

QString freshDestination()
{
    const QString dst = benchRoot() + "/dst";
    QDir(dst).removeRecursively();
    QDir().mkpath(dst);
    return dst;
}

bool engineBackup(const QString &source, const QString &dest, int *planned)
{
    BenchContext ctx;
    qm::Scanner scanner(ctx);
    qm::TaskScan t = scanner.ScanOneTask(0, 0, source, dest);
    std::vector<qm::CopyItem> plan;
    if (t.planned)
        plan.push_back(std::move(t.root));
    qm::Executor executor(ctx);
    executor.MainCopy({qm::SessionTasks{0, {0}}}, plan);
    *planned = ctx.c.itemsToDo;
    return ctx.errors == 0 && t.verdict == 1;
}

bool rsyncBackup(const QString &source, const QString &dest)
{
    const QByteArray cmd = "rsync -a --delete '" + QFile::encodeName(source) + "/' '"
                           + QFile::encodeName(dest) + "/'";
    return std::system(cmd.constData()) == 0;
}

template <typename F>
double timed(F &&f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// range(0): 0 = engine, 1 = rsync
void BM_FirstBackup(benchmark::State &state)
{
    const QString src = sourceTree();
    for (auto _ : state) {
        const QString dst = freshDestination();
        ::sync();
        bool ok = false;
        int planned = 0;
        state.SetIterationTime(timed([&] {
            ok = state.range(0) == 0 ? engineBackup(src, dst, &planned) : rsyncBackup(src, dst);
        }));
        if (!ok)
            state.SkipWithError("backup failed");
    }
}

void BM_SecondBackupUnchanged(benchmark::State &state)
{
    const QString src = sourceTree();
    const QString dst = freshDestination();
    int planned = 0;
    if (state.range(0) == 0 ? !engineBackup(src, dst, &planned) : !rsyncBackup(src, dst))
        state.SkipWithError("first backup failed");
    for (auto _ : state) {
        bool ok = false;
        state.SetIterationTime(timed([&] {
            ok = state.range(0) == 0 ? engineBackup(src, dst, &planned) : rsyncBackup(src, dst);
        }));
        if (!ok || planned != 0)
            state.SkipWithError("second backup failed or found work");
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["maxRssKB"] = double(usage.ru_maxrss);
}

BENCHMARK(BM_FirstBackup)->Arg(0)->Arg(1)->UseManualTime()->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SecondBackupUnchanged)->Arg(0)->Arg(1)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
