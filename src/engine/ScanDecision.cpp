#include "engine/ScanDecision.h"
#include "platform/FileName.h"
#include "platform/Messages.h"

#include "engine/ScanListing.h"

#include <QDateTime>
#include <QFile>

namespace qm {

namespace {

constexpr qint64 kNanos = 1000000000;

BackupSeconds backupOf(const ScanSide &side)
{
    return side.backupDate();
}

std::optional<QDateTime> toDateTime(BackupSeconds s)
{
    if (!s)
        return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(*s, Qt::UTC);
}

} // namespace

std::optional<qint64> ScanSide::backupDate() const
{
    if (!m_backupRead) {
        m_backup = readBackupSeconds(nativeName(path));
        m_backupRead = true;
    }
    return m_backup;
}

bool ScanDecision::isNewer(const timespec &x, const timespec &y, int delta)
{
    const qint64 diff = (qint64(x.tv_sec) - qint64(y.tv_sec)) * kNanos
                        + (qint64(x.tv_nsec) - qint64(y.tv_nsec));
    return diff / kNanos > delta;
}

bool ScanDecision::laterThan(const timespec &x, const timespec &y)
{
    return x.tv_sec > y.tv_sec || (x.tv_sec == y.tv_sec && x.tv_nsec > y.tv_nsec);
}

bool ScanDecision::sizesDiffer() const
{
    return m_a->info.dataLogicalSize != m_b->info.dataLogicalSize;
}

bool ScanDecision::isLater(const timespec &x, qint64 seconds)
{
    return x.tv_sec > seconds || (x.tv_sec == seconds && x.tv_nsec > 0);
}

BackupSeconds ScanDecision::referenceDate(BackupSeconds sb, BackupSeconds db,
                                          BackupSeconds fallback)
{
    if (sb && db)
        return *sb > *db ? sb : db;
    if (sb)
        return sb;
    if (db)
        return db;
    return fallback;
}

int ScanDecision::settle(const ConflictRule &rule, int kind, BackupSeconds date, int mode,
                         int fallback)
{
    if (rule.ask && !m_ctx.isUnattended()) {
        ConflictQuestion q;
        q.source = m_a->path;
        q.dest = m_b->path;
        q.referenceDate = toDateTime(date);
        q.copyMode = mode;
        q.kind = kind;
        q.isSyncOn = m_ctx.settings().isSyncOn;
        q.canChangeDirection = kind == 31;
        const ConflictReply reply = m_ctx.askConflict(q);
        if (reply.choice == ConflictReply::Choice::Carry) {
            if (kind == 31 && reply.reversed)
                return mode == CopyMode::ReplaceB ? CopyMode::ReplaceA : CopyMode::ReplaceB;
            return mode;
        }
        if (reply.choice == ConflictReply::Choice::Stop)
            m_ctx.requestUserStop();
    }
    ++m_ctx.counters().conflictsSkipped;
    return fallback;
}

ScanDecision::Result ScanDecision::decide(const ScanSide &a, const ScanSide &b, bool dsStore,
                                          int parentMode)
{
    m_a = &a;
    m_b = &b;
    RunCounters &c = m_ctx.counters();
    if (a.present() && b.present()) {
        if (a.isFolder != b.isFolder) {
            const QString text =
                GLS(a.isFolder ? "The source item is a Folder and the destination item is a "
                                 "File with the same name."
                               : "The source item is a File and the destination item is a "
                                 "Folder with the same name.")
                + QStringLiteral("\r\"") + a.path + QStringLiteral("\" ") + QStringLiteral("and")
                + QStringLiteral("\r\"") + b.path + QLatin1Char('"');
            m_ctx.reportRunError(text);
            return {0, -1, true};
        }
        if (a.isFolder) {
            ++c.a.foldersScanned;
            ++c.b.foldersScanned;
            return {CopyMode::Folder};
        }
        ++c.a.filesScanned;
        ++c.b.filesScanned;
        return {bothFiles(dsStore)};
    }
    if (a.present())
        return onlyOnOneSide(Side::A, dsStore, parentMode);
    if (b.present())
        return onlyOnOneSide(Side::B, dsStore, parentMode);
    return {CopyMode::Nothing};
}

int ScanDecision::bothFiles(bool dsStore)
{
    const SessionSettings &set = m_ctx.settings();
    if (set.isNewItemsOnly)
        return CopyMode::Nothing;
    return set.isSyncOn ? syncFiles(dsStore) : backupFiles(dsStore);
}

int ScanDecision::syncFiles(bool dsStore)
{
    const SessionSettings &set = m_ctx.settings();
    const timespec &sd = m_a->info.contentModDate;
    const timespec &dd = m_b->info.contentModDate;
    int mode = CopyMode::Nothing;
    if (isNewer(sd, dd, set.modificationDelta))
        mode = CopyMode::ReplaceB;
    else if (isNewer(dd, sd, set.modificationDelta))
        mode = CopyMode::ReplaceA;
    else if (sizesDiffer()) {
        // Rewritten within the tolerance of its copy: the whole seconds
        // cannot tell, the full dates can; equal ones are a conflict.
        if (laterThan(sd, dd))
            mode = CopyMode::ReplaceB;
        else if (laterThan(dd, sd))
            mode = CopyMode::ReplaceA;
        else if (dsStore || set.conflictSync.bypassesConflicts())
            return CopyMode::ReplaceB;
        else
            return settle(set.conflictSync, 31,
                          referenceDate(backupOf(*m_a), backupOf(*m_b), m_dates.mainDestBackup),
                          CopyMode::ReplaceB, CopyMode::Nothing);
    }
    if (mode == CopyMode::Nothing || set.conflictSync.bypassesConflicts() || dsStore)
        return mode;
    const BackupSeconds ref = referenceDate(backupOf(*m_a), backupOf(*m_b), m_dates.mainDestBackup);
    if (!ref)
        return mode;
    // A conflict only when the file about to be overwritten changed too.
    const timespec &overwritten = mode == CopyMode::ReplaceB ? dd : sd;
    if (!isLater(overwritten, *ref))
        return mode;
    if (set.isExactOn) {
        m_ctx.restoreBackupDates().append(m_a->path);
        m_ctx.restoreBackupDates().append(m_b->path);
    }
    return settle(set.conflictSync, 31, ref, mode, CopyMode::Nothing);
}

int ScanDecision::backupFiles(bool dsStore)
{
    const SessionSettings &set = m_ctx.settings();
    const timespec &sd = m_a->info.contentModDate;
    const timespec &dd = m_b->info.contentModDate;
    // Equal dates with other data (a source rewritten within the tolerance
    // of its copy) count as a newer source.
    const bool newer = isNewer(sd, dd, set.modificationDelta)
                       || (!isNewer(dd, sd, set.modificationDelta) && sizesDiffer());
    if (newer) {
        if (set.conflictBackup.bypassesConflicts() || dsStore)
            return CopyMode::ReplaceB;
        const BackupSeconds ref =
            referenceDate(backupOf(*m_a), backupOf(*m_b), m_dates.mainDestBackup);
        if (!ref || !isLater(dd, *ref))
            return CopyMode::ReplaceB;
        return settle(set.conflictBackup, 11, ref, CopyMode::ReplaceB, CopyMode::Nothing);
    }
    if (isNewer(dd, sd, set.modificationDelta)) {
        if (set.conflictBackup2.bypassesConflicts() || dsStore)
            return CopyMode::ReplaceB;
        return settle(set.conflictBackup2, 12, qint64(dd.tv_sec), CopyMode::ReplaceB,
                      CopyMode::Nothing);
    }
    return CopyMode::Nothing;
}

ScanDecision::Result ScanDecision::onlyOnOneSide(Side present, bool dsStore, int parentMode)
{
    const SessionSettings &set = m_ctx.settings();
    const bool onA = present == Side::A;
    const ScanSide &own = onA ? *m_a : *m_b;
    const ScanSide &other = onA ? *m_b : *m_a;
    SideCounters &counters = m_ctx.counters().side(present);
    ++(own.isFolder ? counters.foldersScanned : counters.filesScanned);

    const int copyMode = onA ? CopyMode::CopyAToB : CopyMode::CopyBToA;
    if (!set.isSyncOn) {
        if (onA)
            return {copyMode};
        return {set.isExactOn ? onlyOnDestBackup(dsStore) : int(CopyMode::Nothing)};
    }
    if (!m_dates.compareAtIndex)
        return {copyMode};

    const int removeMode = onA ? CopyMode::RemoveA : CopyMode::RemoveB;
    const int where = onA ? 0 : 1;
    const bool settled = set.conflictExactSync.bypassesConflicts() || own.isFolder || dsStore;
    const BackupSeconds ownBackup = backupOf(own);
    if (m_ctx.itemPolicy().itWasExisting(other.path, where)) {
        // The other side deleted it since the last Exact Sync.
        if (settled || !ownBackup || !isLater(own.info.contentModDate, *ownBackup))
            return {removeMode, where};
        return {settle(set.conflictExactSync, 41, ownBackup, removeMode, copyMode), where};
    }
    if (parentMode == removeMode) {
        // New in a folder the other side deleted.
        if (settled)
            return {removeMode};
        BackupSeconds date = ownBackup;
        if (!date)
            date = onA ? m_dates.mainSourceBackup : m_dates.mainDestBackup;
        if (!date)
            date = qint64(own.info.contentModDate.tv_sec);
        return {settle(set.conflictExactSync, 42, date, removeMode, copyMode)};
    }
    return {copyMode};
}

// Exact backup: a destination-only item disappears unless it changed since
// it last took part in a run.
int ScanDecision::onlyOnDestBackup(bool dsStore)
{
    const SessionSettings &set = m_ctx.settings();
    if (set.conflictExactBackup.bypassesConflicts() || m_b->isFolder || dsStore
        || !m_dates.mainDestBackup)
        return CopyMode::RemoveB;
    const BackupSeconds db = backupOf(*m_b);
    if (db && !isLater(m_b->info.contentModDate, *db))
        return CopyMode::RemoveB;
    if (db)
        return settle(set.conflictExactBackup, 21, db, CopyMode::RemoveB, CopyMode::Nothing);
    return settle(set.conflictExactBackup, 22, m_dates.mainDestBackup, CopyMode::RemoveB,
                  CopyMode::Nothing);
}

} // namespace qm
