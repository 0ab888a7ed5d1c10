#pragma once
// The decision table of the scan: what to do with one pair of items, given
// the task kind, the date tolerance, the backup dates and the Exact Sync
// index, with conflicts settled by the session's rules or the user.
#include "engine/ItemInfo.h"
#include "engine/RunContext.h"
#include <QString>
#include <optional>

namespace qm {

// One side of a pair as the scan classified it.
struct ScanSide {
    QString path;
    ItemInfo info;       // kind Missing when absent
    bool isFolder = false; // a real folder (packages count as files)
    bool isLink = false;
    bool present() const { return info.exists(); }
    // The backup date, read from the item the first time it is needed.
    std::optional<qint64> backupDate() const;
    // The backup date as already read with the item.
    void seedBackupDate(std::optional<qint64> seconds)
    {
        m_backup = seconds;
        m_backupRead = true;
    }

private:
    mutable bool m_backupRead = false;
    mutable std::optional<qint64> m_backup;
};

// Seconds since 1970 UTC; whole seconds as the catalog keeps them.
using BackupSeconds = std::optional<qint64>;

struct TaskDates {
    BackupSeconds mainSourceBackup; // backup date of the task's source folder
    BackupSeconds mainDestBackup;
    bool compareAtIndex = false;    // an Exact Sync index is loaded
};

class ScanDecision {
public:
    struct Result {
        int mode = 0;
        int sideMarker = -1; // 0 or 1 for modes derived from the index
        bool skipPair = false; // the pair is passed over (an error was reported)
    };

    ScanDecision(RunContext &context, const TaskDates &dates) : m_ctx(context), m_dates(dates) {}

    // Counts the pair in the scan counters and answers its mode.
    Result decide(const ScanSide &a, const ScanSide &b, bool dsStore, int parentMode);

    // X newer than Y by more than `delta` whole seconds (the difference is
    // truncated toward zero before the comparison).
    static bool isNewer(const timespec &x, const timespec &y, int delta);
    // X strictly later than Y at full precision.
    static bool laterThan(const timespec &x, const timespec &y);
    // X strictly later than a whole-second date.
    static bool isLater(const timespec &x, qint64 seconds);
    // The later of two backup dates, else the one that exists, else `fallback`.
    static BackupSeconds referenceDate(BackupSeconds sb, BackupSeconds db, BackupSeconds fallback);

private:
    RunContext &m_ctx;
    TaskDates m_dates;
    const ScanSide *m_a = nullptr;
    const ScanSide *m_b = nullptr;

    // The data forks of the pair differ in size.
    bool sizesDiffer() const;
    int bothFiles(bool dsStore);
    int syncFiles(bool dsStore);
    int backupFiles(bool dsStore);
    Result onlyOnOneSide(Side present, bool dsStore, int parentMode);
    int onlyOnDestBackup(bool dsStore);
    // The rule decides: asks when the ask flag is on (never in an unattended
    // run), otherwise skips; a skip counts and answers `fallback`.
    int settle(const ConflictRule &rule, int kind, BackupSeconds date, int mode, int fallback);
};

} // namespace qm
