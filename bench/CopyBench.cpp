// Whole-tree copy timings of the object copier beside cp -a and rsync -a,
// on the same disk, into an empty destination. Each run starts with cold
// caches when the process may drop them (root), so that the three tools
// read the same way.
//
//   CopyBench [--benchmark_filter=...]   (QM_BENCH_DIR picks the disk; default /var/tmp)
#include "fs/FSCopyObject.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QString>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString benchRoot()
{
    const QByteArray env = qgetenv("QM_BENCH_DIR");
    return (env.isEmpty() ? QStringLiteral("/var/tmp") : QString::fromLocal8Bit(env)) + "/qm-copybench";
}

void writeBytes(const QString &path, qint64 size, unsigned seed)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        std::abort();
    QByteArray block(1 << 20, Qt::Uninitialized);
    uint32_t x = seed * 2654435761u + 1;
    for (qint64 done = 0; done < size;) {
        const qint64 n = std::min<qint64>(size - done, block.size());
        for (qint64 i = 0; i < n; i += 4) {
            x = x * 1103515245u + 12345u;
            block[i] = char(x >> 24);
        }
        f.write(block.constData(), n);
        done += n;
    }
}

// 20,000 files of 1-16 KB in 1,000 folders.
QString smallFilesTree()
{
    const QString top = benchRoot() + "/src/SmallFiles";
    if (QFile::exists(top + "/.complete"))
        return top;
    QDir(top).removeRecursively();
    for (int d = 0; d < 1000; ++d) {
        const QString folder = top + QString("/f%1/g%2").arg(d / 50).arg(d);
        QDir().mkpath(folder);
        for (int i = 0; i < 20; ++i)
            writeBytes(folder + QString("/file%1.dat").arg(i), 1024 + ((d * 20 + i) * 7919) % (15 * 1024), unsigned(d * 20 + i));
    }
    QFile(top + "/.complete").open(QIODevice::WriteOnly);
    return top;
}

QString bigFile()
{
    const QString dir = benchRoot() + "/src/Big";
    const QString file = dir + "/big.bin";
    if (QFile::exists(dir + "/.complete"))
        return file;
    QDir().mkpath(dir);
    writeBytes(file, 2LL * 1024 * 1024 * 1024, 7);
    QFile(dir + "/.complete").open(QIODevice::WriteOnly);
    return file;
}

void dropCaches()
{
    ::sync();
    const int fd = ::open("/proc/sys/vm/drop_caches", O_WRONLY);
    if (fd >= 0) {
        (void)!::write(fd, "3", 1);
        ::close(fd);
    }
}

QString freshDestination()
{
    const QString dst = benchRoot() + "/dst";
    QDir(dst).removeRecursively();
    QDir().mkpath(dst);
    return dst;
}

enum Tool { kCopier, kCp, kRsync };

void runCopy(benchmark::State &state, const QString &source, Tool tool)
{
    for (auto _ : state) {
        const QString dst = freshDestination();
        dropCaches();
        const auto start = std::chrono::steady_clock::now();
        bool ok = false;
        if (tool == kCopier) {
            qm::ObjectCopier copier;
            ok = copier.FSCopyObject(source, dst) == qm::Status::noErr;
        } else {
            const QByteArray cmd = (tool == kCp ? QByteArray("cp -a '") : QByteArray("rsync -a '"))
                                   + QFile::encodeName(source) + "' '" + QFile::encodeName(dst) + "/'";
            ok = std::system(cmd.constData()) == 0;
        }
        ::sync(); // the data must be on the disk for the time to mean anything
        const auto end = std::chrono::steady_clock::now();
        if (!ok)
            state.SkipWithError("copy failed");
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}

void BM_SmallFiles(benchmark::State &state)
{
    runCopy(state, smallFilesTree(), Tool(state.range(0)));
}

void BM_BigFile(benchmark::State &state)
{
    runCopy(state, bigFile(), Tool(state.range(0)));
}

// Reading every item of the small-files tree (warm caches): lstat alone
// against the catalog information the scanner reads.
QList<QByteArray> treeItems()
{
    QList<QByteArray> items;
    QDirIterator it(smallFilesTree(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        items.append(QFile::encodeName(it.next()));
    return items;
}

void BM_ScanLstat(benchmark::State &state)
{
    const QList<QByteArray> items = treeItems();
    for (auto _ : state) {
        for (const QByteArray &p : items) {
            struct stat st;
            benchmark::DoNotOptimize(::lstat(p.constData(), &st));
        }
    }
    state.SetItemsProcessed(state.iterations() * items.size());
}

void BM_ScanReadCatalogInfo(benchmark::State &state)
{
    const QList<QByteArray> items = treeItems();
    for (auto _ : state) {
        for (const QByteArray &p : items) {
            qm::CatalogInfo info;
            benchmark::DoNotOptimize(qm::ReadCatalogInfo(p, &info));
        }
    }
    state.SetItemsProcessed(state.iterations() * items.size());
}

BENCHMARK(BM_ScanLstat)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanReadCatalogInfo)->Unit(benchmark::kMillisecond);

// 0 = the object copier, 1 = cp -a, 2 = rsync -a
BENCHMARK(BM_SmallFiles)->Arg(kCopier)->Arg(kCp)->Arg(kRsync)->UseManualTime()->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigFile)->Arg(kCopier)->Arg(kCp)->Arg(kRsync)->UseManualTime()->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
