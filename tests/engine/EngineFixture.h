#pragma once
// A run around the scanner and executor for tests: a fake RunContext that
// records errors, log lines and questions, and helpers that build trees on
// real temporary folders.
#include "engine/Executor.h"
#include "engine/FilterItemPolicy.h"
#include "engine/RunContext.h"
#include "engine/Scanner.h"
#include "fs/LPUtilities.h"
#include "support/TempHome.h"

#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace qmtest {

class FakeRunContext : public qm::RunContext {
public:
    qm::SessionSettings set;
    qm::RunCounters taskCounters;
    qm::PlanCounters plan;
    QStringList restoreDates;
    qm::PermissiveItemPolicy permissive;
    qm::ItemPolicy *policy = &permissive;
    qm::ExactSyncRecorder *recorder = nullptr;
    bool copying = true;
    bool userStopped = false;
    bool unattended = false;
    bool stopOnError = false; // the error policy "stop"
    QStringList errors;
    QStringList errorTitles;
    QString detailedLog;
    QList<qm::ConflictQuestion> questions;
    std::function<qm::ConflictReply(const qm::ConflictQuestion &)> answer = [](const qm::ConflictQuestion &) {
        return qm::ConflictReply{};
    };
    std::function<void()> onItemStarted;
    // Any thread: copies run side by side.
    std::function<void(const QString &, qint64, qint64)> onBytes;
    int itemsStarted = 0;
    int tasksAfterCopy = 0;
    QDateTime start = QDateTime::currentDateTimeUtc();

    bool isCopying() const override { return copying; }
    void requestUserStop() override { copying = false; userStopped = true; }
    bool reportRunError(const qm::RunError &error) override
    {
        if (set.makeDetailedLog || set.makeErrorsLog)
            detailedLog += QStringLiteral("√ ") + error.text + QLatin1Char('\r');
        errors.append(error.text);
        errorTitles.append(error.title);
        if (error.counted)
            ++taskCounters.totError;
        if (stopOnError)
            copying = false;
        return !stopOnError;
    }
    void logSuccess(const QString &line) override
    {
        if (set.makeDetailedLog)
            detailedLog += line + QLatin1Char('\r');
    }
    void appendDetailedLog(const QString &text) override { detailedLog += text; }
    void diagnostic(const QString &) override {}
    bool isUnattended() const override { return unattended; }
    qm::ConflictReply askConflict(const qm::ConflictQuestion &q) override
    {
        questions.append(q);
        return answer(q);
    }
    void setStatusText(const QString &) override {}
    void itemStarted() override
    {
        ++itemsStarted;
        if (onItemStarted)
            onItemStarted();
    }
    void noteItemDone() override {}
    void publishOperation(int, const QString &, const QString &) override {}
    void publishBytes(const QString &item, qint64 copied, qint64 total) override
    {
        if (onBytes)
            onBytes(item, copied, total);
    }
    void showTask(const qm::CopyItem &) override {}
    QDateTime runStart() const override { return start; }
    const qm::SessionSettings &settings() const override { return set; }
    qm::RunCounters &counters() override { return taskCounters; }
    qm::PlanCounters &planCounters() override { return plan; }
    QStringList &restoreBackupDates() override { return restoreDates; }
    qm::ItemPolicy &itemPolicy() override { return *policy; }
    qm::ExactSyncRecorder *exactSyncRecorder() override { return recorder; }
    void beforeCopySession(int) override {}
    void beforeCopyTask() override {}
    void afterCopyTask(int, int, int) override { ++tasksAfterCopy; }
    void afterCopySession(int) override {}
};

// Two folders A (source) and B (destination) in a private home, and a run.
class EngineTest : public ::testing::Test {
protected:
    TempHome home;
    QTemporaryDir dir;
    QString a, b;
    FakeRunContext ctx;
    // A fixed "now" well after every date the trees use.
    qint64 now = QDateTime::currentSecsSinceEpoch() - 1000;

    void SetUp() override
    {
        a = dir.path() + "/A";
        b = dir.path() + "/B";
        QDir().mkpath(a);
        QDir().mkpath(b);
        ctx.set.makeDetailedLog = true;
    }
    void TearDown() override;

    // Makes B a fresh tmpfs of the given size ("512k"), unmounted at the
    // end; false where this process may not mount.
    bool useSmallDestination(const char *size);
    QString smallMount;

    // A file with the given content and modification time (seconds).
    static void writeFile(const QString &path, const QByteArray &content, qint64 mtime,
                          long nsec = 0);
    static QByteArray readFile(const QString &path);
    static qint64 mtimeOf(const QString &path);
    static void setMtime(const QString &path, qint64 mtime, long nsec = 0);
    static void setBackupDate(const QString &path, qint64 seconds);
    static std::optional<qint64> backupDateOf(const QString &path);
    static bool lock(const QString &path); // false: the file system refuses
    static bool isLocked(const QString &path);
    static bool exists(const QString &path); // the item itself, a dangling link too
    // Every path under root, relative, sorted; folders end with "/".
    static QStringList tree(const QString &root);

    qm::TaskScan scan(const QString &source, const QString &dest);
    qm::TaskScan scan() { return scan(a, b); }
    // Scans and carries out the plan, as one task of one session.
    qm::TaskScan run(const QString &source, const QString &dest, qm::Executor *executor = nullptr);
    qm::TaskScan run() { return run(a, b); }

    // The planned item whose source or dest ends with `suffix` (depth first).
    static const qm::CopyItem *find(const qm::CopyItem &root, const QString &suffix);
    static const qm::CopyItem *find(const qm::CopyItem &folder, const qm::SidePaths &paths, const QString &suffix);
    // The mode planned for `suffix`, 0 when it is not in the plan.
    static int modeOf(const qm::TaskScan &scan, const QString &suffix);
};

// An exact synchronization of a and b, its index kept in the test's folder.
class ExactSyncEngineTest : public EngineTest {
protected:
    QString indexFolder = dir.path() + "/support/ExactSync Indexes";
    qm::FilterItemPolicy policy{qm::FilterItemPolicyWiring{&ctx.set, indexFolder, {}, {}, {}, {}}};
    qint64 clock = now;

    void SetUp() override
    {
        EngineTest::SetUp();
        ctx.policy = &policy;
        ctx.set.isSyncOn = true;
        ctx.set.isExactOn = true;
    }
};

} // namespace qmtest
