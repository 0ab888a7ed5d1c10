#include "engine/Scanner.h"
#include "platform/FileName.h"
#include "engine/ExactSyncIndex.h"
#include "engine/ExactSyncRecorder.h"
#include "engine/ScanDecision.h"
#include "engine/ScanListing.h"
#include "fs/FSCopyObject.h"
#include "fs/LPUtilities.h"
#include "platform/Messages.h"

#include <QFile>
#include <atomic>
#include <climits>
#include <deque>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

namespace {

const QString kDsStore = QStringLiteral(".DS_Store");

// Whether `path` is joinPath(folder, name), without building it.
bool isJoined(const QString &path, const QString &folder, const QString &name)
{
    const qsizetype slash = folder.endsWith(QLatin1Char('/')) ? 0 : 1;
    return path.size() == folder.size() + slash + name.size() && path.startsWith(folder) && path.endsWith(name)
           && (slash == 0 || path.at(folder.size()) == QLatin1Char('/'));
}

// Follows links: the scan's "exists, and is it a directory" test.
struct Presence {
    bool exists = false;
    bool isDir = false;
};

// An item the level above read: a real folder, or no folder at all.
Presence presenceFrom(const ItemInfo &info)
{
    return {info.exists(), info.kind == ItemKind::Folder};
}

Presence presenceOf(const QString &path)
{
    struct stat st;
    if (::stat(nativeName(path).constData(), &st) != 0)
        return {};
    return {true, S_ISDIR(st.st_mode)};
}

std::optional<qint64> backupSeconds(const UTCDateTime &d)
{
    if (d.wholeSeconds() == 0)
        return std::nullopt;
    return qint64(d.wholeSeconds()) - UTCDateTime::kUnixEpochOffset;
}

std::optional<qint64> backupDateOf(const QString &path)
{
    ItemInfo info;
    if (ReadCatalogInfo(path, &info) != Status::noErr)
        return std::nullopt;
    return backupSeconds(info.backupDate);
}

bool isDsStoreItem(const CopyItem &item)
{
    return item.sourceName() == kDsStore;
}

// One side's item of a pair, read before the pairs are planned.
struct PreRead {
    bool ok = false;
    bool backupRead = false;
    bool stampSettled = false; // its stamp is known to be later than its change
    ItemInfo info;
    std::optional<qint64> backup;
};

} // namespace

// One folder pair's listing, each item read as it is listed. The levels the
// walk comes to next are listed on the lister threads while the engine plans
// the current one; whichever thread comes to a listing first makes it.
struct Scanner::FolderListing {
    QString folderA, folderB; // empty for a side without a folder
    bool backupA = false, backupB = false; // the reads take the backup dates
    ListedItemReader readA, readB;
    std::vector<PreRead> listedA, listedB;
    std::vector<ScanPairNames> pairs;
    QString unreadable;
    bool ok = false;
    std::atomic<bool> claimed{false};
    WorkerPool::Result done; // of the lister's job, once given one
    // Where the lister counts the items it listed until the walk takes them.
    std::atomic<size_t> *aheadCount = nullptr;
    size_t counted = 0;

    // Whether this listing, made ahead, is the one `wanted` describes.
    bool serves(const FolderListing &wanted) const
    {
        return folderA == wanted.folderA && folderB == wanted.folderB && backupA == wanted.backupA
               && backupB == wanted.backupB;
    }
    // With `aside`, side B is listed there meanwhile.
    void list(WorkerPool *aside)
    {
        // Room for the few dozen items most folders hold, once listed: the
        // listings a level plans are many more than those being made.
        constexpr size_t kUsualItems = 64;
        listedA.reserve(folderA.isEmpty() ? 0 : kUsualItems);
        listedB.reserve(folderB.isEmpty() ? 0 : kUsualItems);
        ok = pairFolderNames(folderA, folderB, true, &pairs, &unreadable, aside, readA, readB);
    }
    // On the lister: made ahead, and counted until the walk takes it. With
    // `limit` items or more made ahead already, or a folder that looks large,
    // it is left to the walk: listed ahead, folders of many items each would
    // be held in memory several at once.
    void makeAhead(size_t limit)
    {
        if (aheadCount->load() >= limit || looksLarge(folderA) || looksLarge(folderB)
            || claimed.exchange(true))
            return;
        list(nullptr);
        counted = listedA.size() + listedB.size();
        *aheadCount += counted;
    }
    // Makes the listing here unless the lister has begun it; then waits for it.
    void make(WorkerPool *aside)
    {
        if (!claimed.exchange(true))
            list(aside);
        else
            taken(true);
    }
    // Not wanted after all: not made, or, under way, waited for, as its
    // reads may look at the index the task loaded.
    void drop()
    {
        if (claimed.exchange(true) && done.valid())
            taken(false);
    }

private:
    // A folder's own size grows with its entries on every common file
    // system (blocks of names, or bytes per name): beyond this it holds
    // thousands of them.
    static bool looksLarge(const QString &folder)
    {
        constexpr qint64 kLargeFolderBytes = 64 * 1024;
        struct statx stx;
        return !folder.isEmpty()
               && ::statx(AT_FDCWD, nativeName(folder).constData(), AT_STATX_SYNC_AS_STAT, STATX_SIZE, &stx) == 0
               && qint64(stx.stx_size) > kLargeFolderBytes;
    }
    // `help`: the lister is behind the walk, which lists the folders queued
    // after this one meanwhile instead of sleeping (not when they are about
    // to be dropped too).
    void taken(bool help)
    {
        if (help)
            done.waitHelping();
        else
            done.wait();
        *aheadCount -= std::exchange(counted, 0);
    }
};

// One folder level: lists both sides, pairs the names and plans each pair.
class Scanner::Level {
public:
    Level(Scanner &scanner, CopyItem &parent, const SidePaths &paths, const ItemInfo *knownA,
          const ItemInfo *knownB, std::shared_ptr<FolderListing> given)
        : m_s(scanner), m_ctx(scanner.m_ctx), m_set(scanner.m_ctx.settings()), m_p(parent), m_path(paths),
          m_knownA(knownA), m_knownB(knownB), m_given(std::move(given))
    {
    }
    ~Level()
    {
        for (const std::shared_ptr<FolderListing> &ahead : m_ahead) {
            if (ahead)
                ahead->drop();
        }
        if (m_given)
            m_given->drop();
    }

    bool run();

private:
    Scanner &m_s;
    RunContext &m_ctx;
    const SessionSettings &m_set;
    CopyItem &m_p;
    const SidePaths &m_path; // of m_p
    const ItemInfo *m_knownA; // the folders as the level above read them, if it did
    const ItemInfo *m_knownB;
    bool m_keepFolder = false;
    bool m_answer = true;
    std::shared_ptr<FolderListing> m_given; // this level's listing, made ahead
    // The listings of the pairs' folders, in pair order; given to the lister
    // a few folders ahead of the walk.
    std::vector<std::shared_ptr<FolderListing>> m_ahead;
    size_t m_nextAhead = 0;
    std::deque<size_t> m_givenAhead; // indexes given to the lister, not yet reached
    std::shared_ptr<FolderListing> listingOf(Presence s, Presence d, const QString &source,
                                             const QString &dest) const;
    void planAhead(const std::vector<ScanPairNames> &pairs);
    void listAhead(size_t current);

    bool parentRemoves() const { return m_p.copyMode > CopyMode::ReplaceA; }
    void skip()
    {
        if (parentRemoves())
            m_keepFolder = true;
    }
    // The files of one side's folder that the last index recorded and that
    // nothing touched since well before that run began.
    struct SettledStamps {
        const ExactSyncTree *tree = nullptr;
        int folder = -1;
        qint64 before = 0; // seconds
        bool covers(const ItemInfo &info, const QString &name) const
        {
            return folder >= 0 && info.attributeModDate.tv_sec < before
                   && info.contentModDate.tv_sec < before && tree->hasFile(folder, name);
        }
    };
    SettledStamps settledStamps(bool sideA, const QString &folder) const;
    std::vector<PreRead> m_readA, m_readB;
    size_t m_pairIndex = 0;
    // What an exact synchronization's index learns of this level's names.
    ExactSyncRecorder::FolderFacts *m_factsA = nullptr;
    ExactSyncRecorder::FolderFacts *m_factsB = nullptr;

    bool readItem(const QString &path, ItemInfo *info) const;
    void takeLeftovers(std::vector<ScanPairNames> &pairs);
    bool isLeftover(const QString &path, bool mayRemove);
    // Invisible items are left out, or aliases resolved: the Finder information tells.
    bool wantsFinderInfo() const { return !m_set.isInvisibleOn || m_set.isResolveAliasOn; }
    void readAhead(const std::vector<ScanPairNames> &pairs);
    ListedItemReader listedReader(std::vector<PreRead> *out, bool withBackup, bool sideA,
                                  const QString &folder) const;
    void takeListedReads(const std::vector<ScanPairNames> &pairs, std::vector<PreRead> &listedA,
                         std::vector<PreRead> &listedB);
    bool classify(ScanSide &side, bool listed, const PreRead *pre);
    bool resolveAlias(ScanSide &side);
    bool resolveSymLink(ScanSide &side);
    bool takeTarget(ScanSide &side, const QString &target);
    void processPair(const ScanPairNames &names, bool atRoot);
    bool commit(const ScanPairNames &names, ScanSide &a, ScanSide &b, int mode, int sideMarker, bool atRoot);
    void noteFacts(ScanSide &side, const QString &listedPath, const QString &name,
                   ExactSyncRecorder::FolderFacts *facts, const PreRead *pre);
    void repair(Presence s, Presence d);
};

bool Scanner::Level::run()
{
    const Presence s = m_knownA ? presenceFrom(*m_knownA) : presenceOf(m_path.source);
    const Presence d = m_knownB ? presenceFrom(*m_knownB) : presenceOf(m_path.dest);
    if (!s.exists && !d.exists) {
        m_ctx.reportRunError(RunError::uncounted(GLS("Can't find the folders") + QStringLiteral(" \"") + displayName(m_path.source)
                                  + QStringLiteral("\" ") + GLS("and") + QStringLiteral(" \r\"")
                                  + displayName(m_path.dest) + QLatin1Char('"')));
        if (m_p.copyMode > CopyMode::ReplaceA)
            m_p.copyMode = CopyMode::Folder;
        return false;
    }

    std::vector<ScanPairNames> pairs;
    if (!m_p.subItems.empty()) {
        // A task made of two files: only that name is compared.
        pairs.push_back({m_p.subItems.front().sourceName(), m_p.subItems.front().destName(), true, true});
        m_p.subItems.clear();
    } else {
        const bool withDest = d.isDir && (m_set.isSyncOn || m_set.isExactOn);
        ExactSyncRecorder *record = m_ctx.exactSyncRecorder();
        const bool recording = record && record->started();
        std::shared_ptr<FolderListing> listing = listingOf(s, d, m_path.source, m_path.dest);
        if (m_given && m_given->serves(*listing)) {
            listing = std::move(m_given);
            listing->make(&m_s.reader());
        } else {
            if (m_given)
                m_given->drop();
            listing->list(&m_s.reader());
        }
        m_given.reset();
        if (!listing->ok) {
            // An unreadable folder must not look empty: that would plan the
            // removal of everything on the other side.
            m_ctx.reportRunError(GLS("Can't scan the folder") + QStringLiteral(" \"")
                                 + displayName(listing->unreadable) + QLatin1Char('"'));
            skip();
        } else {
            pairs = std::move(listing->pairs);
        }
        if (listing->ok && recording) {
            if (s.isDir)
                m_factsA = record->listed(m_path.source, pairs);
            if (d.isDir)
                m_factsB = record->listed(m_path.dest, pairs);
        }
        takeLeftovers(pairs);
        if (!withDest)
            std::erase_if(pairs, [](const ScanPairNames &p) { return !p.inA; });
        if (!m_set.isFilterOn) {
            takeListedReads(pairs, listing->listedA, listing->listedB);
            planAhead(pairs);
        }
    }

    const bool atRoot = m_p.isTheRootOfTheTree;
    if (m_set.isFilterOn)
        readAhead(pairs);
    for (size_t i = 0; i < pairs.size(); ++i) {
        if (!m_ctx.isCopying() || !m_answer)
            break;
        m_pairIndex = i;
        listAhead(i);
        processPair(pairs[i], atRoot);
    }
    if (m_keepFolder)
        repair(s, d);
    return m_answer;
}

// Temporaries that a stopped or crashed copy left are never the user's
// items: they are left out of the pairs and, on a side this task may
// change, removed.
void Scanner::Level::takeLeftovers(std::vector<ScanPairNames> &pairs)
{
    std::erase_if(pairs, [this](ScanPairNames &p) {
        if (p.inA && IsTemporaryName(p.nameA) && isLeftover(joinPath(m_path.source, p.nameA), m_set.isSyncOn))
            p.inA = false;
        if (p.inB && IsTemporaryName(p.nameB) && isLeftover(joinPath(m_path.dest, p.nameB), true))
            p.inB = false;
        return !p.inA && !p.inB;
    });
}

bool Scanner::Level::isLeftover(const QString &path, bool mayRemove)
{
    if (!IsLeftoverTemporary(path))
        return false;
    // One changed since this run began may be another process's copy
    // under way: left alone until a later run.
    struct stat st;
    const bool old = ::lstat(nativeName(path).constData(), &st) == 0
                     && qint64(st.st_ctim.tv_sec) < m_ctx.runStart().toSecsSinceEpoch();
    if (!mayRemove || !old)
        return true;
    if (FSDeleteObjects(path) == Status::noErr)
        m_ctx.logSuccess(GLS("Removed the leftover temporary item") + QStringLiteral(" \"") + path
                         + QLatin1Char('"'));
    else
        m_ctx.reportRunError(GLS("Can't remove the leftover temporary item") + QStringLiteral(" \"")
                             + path + QLatin1Char('"'));
    return true;
}

bool Scanner::Level::takeTarget(ScanSide &side, const QString &target)
{
    if (m_ctx.itemPolicy().isBootItemNotToCopy(target))
        return false;
    ItemInfo info;
    if (m_set.isFilterOn)
        ReadCatalogInfo(target, &info);
    else
        readItemForScan(nativeName(target), true, &info);
    side.path = target;
    side.info = info;
    side.isLink = info.isSymLink();
    return true;
}

bool Scanner::Level::resolveAlias(ScanSide &side)
{
    if (!side.info.isAliasFile())
        return true;
    static const LPUtilities fs;
    QString target = side.path;
    QString error;
    if (!fs.ResolveTheAlias(target)) {
        error = GLS("Can't resolve the alias") + QStringLiteral(" \"") + displayName(side.path) + QLatin1Char('"');
    } else if (itemNameOf(target) != itemNameOf(side.path)) {
        error = GLS("Cannot resolve the Alias\r") + side.path
                + GLS("\rbecause it points to a Target file\r") + target
                + GLS("\rwhich has a different file name. This could cause conflicts when "
                      "resolving the Alias and copying the Target file.\r")
                + GLS("Please use alias and target files with equal names");
    }
    if (!error.isEmpty()) {
        m_ctx.reportRunError(error);
        return false;
    }
    return takeTarget(side, target);
}

bool Scanner::Level::resolveSymLink(ScanSide &side)
{
    const QString resolved = canonicalPath(side.path);
    const QString target = resolved.isEmpty() ? side.path : resolved;
    QString error;
    // A link to a folder the walk is inside (or above it) would be walked
    // for ever.
    if (target == side.path || m_s.isOnTheWalk(target)) {
        error = GLS("Can't resolve the SYM link") + QStringLiteral(" \"") + displayName(side.path)
                + QLatin1Char('"');
    } else if (itemNameOf(target) != itemNameOf(side.path)) {
        error = QStringLiteral("Cannot resolve the SymLink\r") + side.path
                + QStringLiteral("\rbecause it points to a Target file\r") + target
                + QStringLiteral("\rwhich has a different file name. This could cause conflicts "
                                 "when resolving the SymLink and copying the Target file.\r")
                + QStringLiteral("Please use SymLinks and Target files with the equal names");
    }
    if (!error.isEmpty()) {
        m_ctx.reportRunError(error);
        return false;
    }
    return takeTarget(side, target);
}

// Filters judge creation dates and type codes: they get the full read.
bool Scanner::Level::readItem(const QString &path, ItemInfo *info) const
{
    if (m_set.isFilterOn)
        return ReadCatalogInfo(path, info) == Status::noErr;
    return readItemForScan(nativeName(path), wantsFinderInfo(), info);
}

// With filters, which judge the full read, the items are read after the
// pairing; a folder of many items then on both sides at once: the two
// reads wait on different inodes, often on different disks.
void Scanner::Level::readAhead(const std::vector<ScanPairNames> &pairs)
{
    constexpr size_t kWorthIt = 16;
    if (pairs.size() < kWorthIt)
        return;
    m_readA.resize(pairs.size());
    m_readB.resize(pairs.size());
    auto readSide = [&](bool sideA) {
        std::vector<PreRead> &out = sideA ? m_readA : m_readB;
        const QString &folder = sideA ? m_path.source : m_path.dest;
        for (size_t i = 0; i < pairs.size(); ++i) {
            const ScanPairNames &names = pairs[i];
            if (sideA ? names.inA : names.inB)
                out[i].ok = readItem(joinPath(folder, sideA ? names.nameA : names.nameB), &out[i].info);
        }
    };
    WorkerPool::Result other = m_s.reader().submit([&](int) {
        readSide(false);
        return Status::noErr;
    });
    readSide(true);
    other.wait();
}

// What a side's listing reads of each item; the index needs every file's
// backup date too, read here while the folder is open rather than again at
// the end.
ListedItemReader Scanner::Level::listedReader(std::vector<PreRead> *out, bool withBackup, bool sideA,
                                              const QString &folder) const
{
    const bool withFinderInfo = wantsFinderInfo();
    const SettledStamps settled = withBackup ? settledStamps(sideA, folder) : SettledStamps();
    return [out, withFinderInfo, withBackup, settled](const xattr::Entry &entry, const QString &name) {
        PreRead &read = out->emplace_back();
        read.ok = readItemForScan(entry, withFinderInfo, &read.info);
        if (!withBackup || !read.ok || read.info.kind != ItemKind::File)
            return;
        if (settled.covers(read.info, name)) {
            read.stampSettled = true;
        } else {
            read.backup = readBackupSeconds(entry);
            read.backupRead = true;
        }
    };
}

// The listing a level of these two folders needs, not made yet. Without
// filters (which need the full read) each item is read in its listing while
// its folder is open. Side B is listed in every task kind so that leftovers
// of ours there are found; its own items count only where the kind says.
std::shared_ptr<Scanner::FolderListing> Scanner::Level::listingOf(Presence s, Presence d, const QString &source,
                                                                  const QString &dest) const
{
    auto listing = std::make_shared<FolderListing>();
    listing->folderA = s.isDir ? source : QString();
    listing->folderB = d.isDir ? dest : QString();
    ExactSyncRecorder *record = m_ctx.exactSyncRecorder();
    const bool recording = record && record->started();
    listing->backupA = recording && s.isDir && record->records(source);
    listing->backupB = recording && d.isDir && record->records(dest);
    if (!m_set.isFilterOn) {
        listing->readA = listedReader(&listing->listedA, listing->backupA, true, source);
        listing->readB = listedReader(&listing->listedB, listing->backupB, false, dest);
    }
    return listing;
}

// The listings of the folders among the pairs, as the levels below will
// need them if nothing on the way changes the pair.
void Scanner::Level::planAhead(const std::vector<ScanPairNames> &pairs)
{
    m_ahead.assign(pairs.size(), nullptr);
    for (size_t i = 0; i < pairs.size(); ++i) {
        const PreRead &a = m_readA[i], &b = m_readB[i];
        const Presence s{a.ok && a.info.exists(), a.ok && a.info.kind == ItemKind::Folder};
        const Presence d{b.ok && b.info.exists(), b.ok && b.info.kind == ItemKind::Folder};
        if (s.isDir || d.isDir)
            m_ahead[i] = listingOf(s, d, joinPath(m_path.source, pairs[i].nameA),
                                   joinPath(m_path.dest, pairs[i].nameB));
    }
}

// Keeps the lister a few folders ahead of the pair being planned, but stops
// it while the listings not yet reached hold many items: folders of many
// items each would otherwise be held in memory all at once.
void Scanner::Level::listAhead(size_t current)
{
    constexpr size_t kFoldersAhead = 8;
    constexpr size_t kItemsAhead = 20000;
    while (!m_givenAhead.empty() && m_givenAhead.front() <= current)
        m_givenAhead.pop_front();
    for (; m_nextAhead < m_ahead.size() && m_givenAhead.size() < kFoldersAhead
           && m_s.m_itemsListedAhead.load() < kItemsAhead;
         ++m_nextAhead) {
        if (m_nextAhead <= current || !m_ahead[m_nextAhead])
            continue;
        std::shared_ptr<FolderListing> listing = m_ahead[m_nextAhead];
        listing->aheadCount = &m_s.m_itemsListedAhead;
        listing->done = m_s.lister().submit([listing](int) {
            listing->makeAhead(kItemsAhead);
            return Status::noErr;
        });
        m_givenAhead.push_back(m_nextAhead);
    }
}

// The listings' reads, in the order of the pairs.
void Scanner::Level::takeListedReads(const std::vector<ScanPairNames> &pairs, std::vector<PreRead> &listedA,
                                     std::vector<PreRead> &listedB)
{
    m_readA.resize(pairs.size());
    m_readB.resize(pairs.size());
    for (size_t i = 0; i < pairs.size(); ++i) {
        const ScanPairNames &p = pairs[i];
        if (p.inA && p.slotA >= 0 && size_t(p.slotA) < listedA.size())
            m_readA[i] = std::move(listedA[size_t(p.slotA)]);
        if (p.inB && p.slotB >= 0 && size_t(p.slotB) < listedB.size())
            m_readB[i] = std::move(listedB[size_t(p.slotB)]);
    }
}

// The last index was written after its run stamped every recorded file whose
// backup date was not later than its change, with that run's start. A file
// recorded there whose change time and modification are both well before
// that start was neither stamped then nor touched since: its stamp is still
// later than its change. (A stamp that failed then, or a clock set back,
// can only leave a stamp unrenewed, which makes the file look changed: the
// cautious side.) The margin covers coarse file-system clocks.
Scanner::Level::SettledStamps Scanner::Level::settledStamps(bool sideA, const QString &folder) const
{
    constexpr qint64 kMarginSeconds = 3;
    SettledStamps settled;
    const LoadedExactSyncIndex *index = m_s.m_compareAtIndex ? m_ctx.itemPolicy().exactSyncIndex() : nullptr;
    if (!index || !index->lastExactSyncDate.isValid())
        return settled;
    const int where = sideA ? 1 : 0;
    settled.tree = &index->tree(where);
    settled.folder = index->recordedFolder(folder, where);
    settled.before = index->lastExactSyncDate.toSecsSinceEpoch() - kMarginSeconds;
    return settled;
}

// Reads one side of a pair. False means the whole pair is passed over.
bool Scanner::Level::classify(ScanSide &side, bool listed, const PreRead *pre)
{
    // A name the listing did not show is absent without asking again.
    bool read = false;
    if (pre) {
        read = listed && pre->ok;
        side.info = pre->info;
    } else {
        read = listed && readItem(side.path, &side.info);
    }
    if (!read)
        side.info.kind = ItemKind::Missing;
    if (!side.info.exists())
        return true;
    side.isLink = side.info.isSymLink();
    if (m_set.isResolveAliasOn && !side.isLink && !resolveAlias(side))
        return false;
    if (m_set.isResolveSymLinkOn && side.isLink && !resolveSymLink(side))
        return false;
    if (!side.info.exists())
        return true;
    switch (side.info.kind) {
    case ItemKind::Folder:
        side.isFolder = !isFilePackageAtPath(side.path);
        break;
    case ItemKind::File:
    case ItemKind::SymLink:
        break;
    default:
        return false; // devices, sockets, pipes
    }
    ItemPolicy &policy = m_ctx.itemPolicy();
    if (m_set.isExcludeOn && policy.isToBeExcluded(side.path))
        return false;
    if (m_set.isFilterOn && policy.isToBeFiltered(side.path, side.info))
        return false;
    if (!m_set.isInvisibleOn && !itemNameIn(side.path).startsWith(QLatin1Char('.'))
        && (side.info.finderInfo.flags() & FinderInfo::kIsInvisible))
        return false;
    return true;
}

void Scanner::Level::processPair(const ScanPairNames &names, bool atRoot)
{
    ScanSide a, b;
    a.path = joinPath(m_path.source, names.nameA);
    b.path = joinPath(m_path.dest, names.nameB);
    const QString listedA = a.path, listedB = b.path;
    // The kernel refuses longer paths: such an item can be neither read nor
    // written by its path, and must not pass for absent.
    for (const QString *p : {&a.path, &b.path}) {
        // (A UTF-16 unit is at most three bytes: short paths are not encoded.)
        if (p->size() * 3 >= PATH_MAX && nativeName(*p).size() >= PATH_MAX) {
            m_ctx.reportRunError(GLS("The path is longer than the system allows:")
                                 + QStringLiteral("\r\"") + displayName(*p) + QLatin1Char('"'));
            return skip();
        }
    }

    ItemPolicy &policy = m_ctx.itemPolicy();
    // The program's own folders may lie anywhere below a task folder (a
    // backed-up home holds them): asked at every level.
    if (policy.isBootItemNotToCopy(a.path) || policy.isBootItemNotToCopy(b.path))
        return skip();
    const bool pre = !m_readA.empty();
    if (!classify(a, names.inA, pre ? &m_readA[m_pairIndex] : nullptr)
        || !classify(b, names.inB, pre ? &m_readB[m_pairIndex] : nullptr))
        return skip();
    if (m_factsA && names.inA)
        noteFacts(a, listedA, names.nameA, m_factsA, pre ? &m_readA[m_pairIndex] : nullptr);
    if (m_factsB && names.inB)
        noteFacts(b, listedB, names.nameB, m_factsB, pre ? &m_readB[m_pairIndex] : nullptr);

    const bool dsStore = itemNameIn(a.path) == kDsStore || itemNameIn(b.path) == kDsStore;
    ScanDecision decision(m_ctx, {m_s.m_mainSourceBackup, m_s.m_mainDestBackup,
                                  m_s.m_compareAtIndex});
    const ScanDecision::Result r = decision.decide(a, b, dsStore, m_p.copyMode);
    if (r.skipPair)
        return skip();
    const int mode = r.mode;
    if (m_p.copyMode == CopyMode::RemoveA && mode != CopyMode::RemoveA
        && itemNameIn(a.path) != kDsStore)
        m_keepFolder = true;
    if (m_p.copyMode == CopyMode::RemoveB && mode != CopyMode::RemoveB
        && itemNameIn(b.path) != kDsStore)
        m_keepFolder = true;
    if (mode == CopyMode::Nothing)
        return;
    commit(names, a, b, mode, r.sideMarker, atRoot);
}

// An item read as it is listed (no alias or link resolved in its place):
// its kind, and for a file whether the index must stamp it.
void Scanner::Level::noteFacts(ScanSide &side, const QString &listedPath, const QString &name,
                               ExactSyncRecorder::FolderFacts *facts, const PreRead *pre)
{
    if (side.path != listedPath)
        return;
    quint8 fact = 0;
    if (side.info.kind == ItemKind::Folder)
        fact = side.isFolder ? ExactSyncRecorder::Folder : ExactSyncRecorder::Package;
    else if (side.info.kind == ItemKind::File)
        fact = ExactSyncRecorder::File;
    else
        return; // links are never stamped; anything else is read again
    if (fact != ExactSyncRecorder::Folder && !(pre && pre->stampSettled)) {
        if (pre && pre->backupRead)
            side.seedBackupDate(pre->backup);
        const std::optional<qint64> backup = side.backupDate();
        if (!backup || *backup <= qint64(side.info.contentModDate.tv_sec))
            fact |= ExactSyncRecorder::StampDue;
    }
    facts->insert(ExactSyncRecorder::nameKey(name), fact);
}

bool Scanner::Level::commit(const ScanPairNames &names, ScanSide &a, ScanSide &b, int mode, int sideMarker,
                            bool atRoot)
{
    ItemPolicy &policy = m_ctx.itemPolicy();
    const bool anyFolder = a.isFolder || b.isFolder;
    const bool copyEmpty = atRoot && anyFolder
                           && (policy.isBootFolderToCopyEmpty(a.path)
                               || policy.isBootFolderToCopyEmpty(b.path));
    if (!(copyEmpty && m_set.euidRoot)) {
        QString errString;
        const int refusal = policy.checkPrivileges(a.path, b.path, mode, &errString,
                                                   a.info.exists() ? &a.info : nullptr,
                                                   b.info.exists() ? &b.info : nullptr);
        if (refusal != 0) {
            m_s.reportPrivilegeError(refusal, errString);
            if ((m_p.copyMode == CopyMode::RemoveA && mode == CopyMode::RemoveA)
                || (m_p.copyMode == CopyMode::RemoveB && mode == CopyMode::RemoveB))
                m_keepFolder = true;
            return false;
        }
    }

    CopyItem child;
    child.setNames(names.nameA, names.nameB);
    const SidePaths paths{a.path, b.path};
    // A resolved link's side is its target, elsewhere than the parent.
    const bool ownSource = !isJoined(a.path, m_path.source, names.nameA);
    const bool ownDest = !isJoined(b.path, m_path.dest, names.nameB);
    if (ownSource || ownDest)
        child.setFullPaths(ownSource ? a.path : QString(), ownDest ? b.path : QString());
    child.copyMode = mode;
    if (sideMarker >= 0)
        child.ifSkipAddToExactIndex = sideMarker;
    if (anyFolder) {
        child.hasSubItems = true;
        if (!copyEmpty) {
            std::shared_ptr<FolderListing> ahead;
            if (m_pairIndex < m_ahead.size())
                ahead = std::move(m_ahead[m_pairIndex]);
            const bool answer = m_s.scanFolder(child, paths, &a.info, &b.info, std::move(ahead));
            const bool createsFolder = mode == CopyMode::CopyAToB || mode == CopyMode::CopyBToA;
            if (m_set.isSkipEmptyFolders && createsFolder
                && (child.subItems.empty()
                    || (child.subItems.size() == 1
                        && (child.subItems.front().sourceName() == kDsStore
                            || child.subItems.front().destName() == kDsStore)))) {
                // The dropped folder's desktop-metadata file leaves the counts.
                for (const CopyItem &sub : child.subItems) {
                    m_ctx.planCounters().add(sub.copyMode, -1);
                    if (sub.copyMode != CopyMode::Folder)
                        --m_ctx.counters().itemsToDo;
                }
                return m_answer = answer;
            }
            const int cm = child.copyMode;
            if ((m_p.copyMode == CopyMode::RemoveA && cm != CopyMode::RemoveA)
                || (m_p.copyMode == CopyMode::RemoveB && cm != CopyMode::RemoveB))
                m_keepFolder = true;
            if (!answer) {
                m_answer = false;
                return false;
            }
        }
        if (child.subItems.empty() && child.copyMode == CopyMode::Folder)
            return true;
    }
    if (child.copyMode != CopyMode::Folder)
        ++m_ctx.counters().itemsToDo;
    m_ctx.planCounters().add(child.copyMode);
    m_p.subItems.push_back(std::move(child));
    return true;
}

// P was planned for removal but something in it stays: keep the folder, and
// recreate it on the side that lost it when it must receive a copy.
void Scanner::Level::repair(Presence s, Presence d)
{
    m_p.copyMode = CopyMode::Folder;
    auto firstCopy = [this](int m1, int m2) {
        for (const CopyItem &sub : m_p.subItems) {
            if (!isDsStoreItem(sub) && (sub.copyMode == m1 || sub.copyMode == m2))
                return true;
        }
        return false;
    };
    if (s.exists && !d.exists) {
        if (firstCopy(CopyMode::CopyAToB, CopyMode::ReplaceB))
            m_p.copyMode = CopyMode::CopyAToB;
    } else if (d.exists && !s.exists && m_set.isSyncOn) {
        if (firstCopy(CopyMode::CopyBToA, CopyMode::ReplaceA))
            m_p.copyMode = CopyMode::CopyBToA;
    }
    if (!m_p.subItems.empty() && isDsStoreItem(m_p.subItems.front())) {
        CopyItem &first = m_p.subItems.front();
        m_ctx.planCounters().add(first.copyMode, -1);
        if (m_p.copyMode == CopyMode::Folder) {
            m_p.subItems.erase(m_p.subItems.begin());
            --m_ctx.counters().itemsToDo;
        } else {
            first.copyMode = m_p.copyMode;
            m_ctx.planCounters().add(first.copyMode);
        }
    }
}

// ---------------------------------------------------------------------------

Scanner::Scanner(RunContext &context) : m_ctx(context) {}

namespace {

// The names directly inside a folder; nullopt when it cannot be listed.
std::optional<QStringList> namesIn(const QString &folder)
{
    std::vector<ScanPairNames> pairs;
    QString unreadable;
    if (!pairFolderNames(folder, QString(), false, &pairs, &unreadable))
        return std::nullopt;
    QStringList names;
    for (const ScanPairNames &p : pairs)
        names.append(p.nameA);
    return names;
}

} // namespace

QString Scanner::refusedSide(const QString &source, const QString &dest)
{
    ItemPolicy &policy = m_ctx.itemPolicy();
    for (const QString &side : {source, dest}) {
        if (policy.isOnUnmountedVolume(side))
            return GLS("Can't use the folder") + QStringLiteral(" \"") + side + QStringLiteral("\" ")
                   + GLS("because I cannot mount the volume it resides on");
    }
    const SessionSettings &set = m_ctx.settings();
    if (!set.isExactOn)
        return QString();
    const std::optional<QStringList> a = namesIn(source);
    const std::optional<QStringList> b = namesIn(dest);
    if (!a || !b || a->isEmpty() == b->isEmpty())
        return QString();
    // One side is empty. Its deletions would be carried to the other side
    // only for items that were there at the last run: then the emptiness is
    // far more likely a disk that is not there than the user's wish.
    const bool emptyA = a->isEmpty();
    const QString &emptied = emptyA ? source : dest;
    const QStringList &others = emptyA ? *b : *a;
    bool wereThere = false;
    if (set.isSyncOn) {
        for (const QString &name : others) {
            if (policy.itWasExisting(joinPath(emptied, name), emptyA ? 1 : 0)) {
                wereThere = true;
                break;
            }
        }
    } else if (emptyA) {
        // An exact backup: the destination's backup dates tell what earlier
        // runs put there.
        wereThere = m_mainDestBackup.has_value();
        for (qsizetype i = 0; !wereThere && i < others.size(); ++i)
            wereThere = readBackupSeconds(nativeName(joinPath(dest, others[i]))).has_value();
    }
    if (!wereThere)
        return QString();
    return GLS("The folder is empty, but the other folder holds items that were there at the last run. "
               "Nothing is deleted or copied for this task. Is its volume mounted?")
           + QStringLiteral(" \"") + emptied + QLatin1Char('"');
}

void Scanner::reportPrivilegeError(int answer, const QString &errString)
{
    RunError error(errString);
    if (answer == 1) {
        error.dialogSuffix = QLatin1Char(' ') + GLS("Try to log in as root or mark the check-box")
                             + QStringLiteral(" \"") + GLS("Run as root")
                             + QStringLiteral("\" ") + GLS("in the QM Preferences panel");
        error.title = GLS("Insufficient Privileges") + QLatin1Char(':');
    } else {
        error.dialogSuffix =
            QLatin1Char(' ')
            + GLS("Try to unmark the check-box \"Locked\" in the Finder \"Get Info\" panel or "
                  "to mark the check-box")
            + QStringLiteral(" \"") + GLS("Unlock locked items") + QStringLiteral("\" ")
            + GLS("in the QM Settings panel");
        error.title = GLS("Item Locked") + QLatin1Char(':');
    }
    m_ctx.reportRunError(error);
}

bool Scanner::ScanSingleFolder(CopyItem &item, const SidePaths &paths)
{
    return scanFolder(item, paths, nullptr, nullptr);
}

bool Scanner::scanFolder(CopyItem &item, const SidePaths &paths, const ItemInfo *knownA, const ItemInfo *knownB,
                         std::shared_ptr<FolderListing> ahead)
{
    if (!m_ctx.isCopying()) {
        if (ahead)
            ahead->drop();
        return true;
    }
    // Only resolved links can lead the walk back into itself: the real
    // folders it is inside are kept for them.
    const bool trackWalk = m_ctx.settings().isResolveSymLinkOn;
    if (trackWalk) {
        for (const QString &p : {paths.source, paths.dest}) {
            const QString real = canonicalPath(p);
            m_walk.push_back(real.isEmpty() ? p : real);
        }
    }
    Level level(*this, item, paths, knownA, knownB, std::move(ahead));
    const bool answer = level.run();
    if (trackWalk)
        m_walk.resize(m_walk.size() - 2);
    return answer;
}

bool Scanner::isOnTheWalk(const QString &folder) const
{
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    for (const QString &p : m_walk) {
        if (p == folder || p.startsWith(prefix))
            return true;
    }
    return false;
}

WorkerPool &Scanner::reader()
{
    if (!m_reader)
        m_reader = std::make_unique<WorkerPool>(1);
    return *m_reader;
}

WorkerPool &Scanner::lister()
{
    if (!m_lister)
        m_lister = std::make_unique<WorkerPool>(2, 1, 1);
    return *m_lister;
}

TaskScan Scanner::ScanOneTask(int sessionIndex, int taskIndex, const QString &sourceFolder,
                              const QString &destFolder)
{
    TaskScan scan;
    const SessionSettings &set = m_ctx.settings();
    ItemPolicy &policy = m_ctx.itemPolicy();
    QString source = sourceFolder;
    QString dest = destFolder;

    const int valid = policy.foldersAreValid(source, dest);
    if (valid != 1) {
        scan.verdict = quint8(valid);
        return scan;
    }
    scan.sourceFolder = source;
    scan.destFolder = dest;
    const char *start = set.isSyncOn ? (set.isExactOn ? "Start Exact Synchronization between:\rSource: "
                                                      : "Start Synchronization between:\rSource: ")
                                     : (set.isExactOn ? "Start Exact Backup between:\rSource: "
                                                      : "Start Backup between:\rSource: ");
    m_ctx.diagnostic(GLS(start) + source + QLatin1Char('\r') + GLS("Destination")
                     + QStringLiteral(": ") + dest);

    CopyItem &root = scan.root;
    root.sessionIndex = sessionIndex;
    root.taskIndex = taskIndex;
    auto isRealFolder = [](const QString &p) {
        const Presence pr = presenceOf(p);
        return pr.exists && pr.isDir && !isFilePackageAtPath(p);
    };
    if (!isRealFolder(source) && !isRealFolder(dest)) {
        CopyItem pair;
        pair.setNames(itemNameOf(source), itemNameOf(dest));
        pair.copyMode = CopyMode::Folder;
        root.subItems.push_back(pair);
        source = parentPath(source);
        dest = parentPath(dest);
    }

    QString errString;
    const int refusal = policy.checkPrivileges(source, dest, CopyMode::Folder, &errString, nullptr, nullptr);
    if (refusal != 0) {
        reportPrivilegeError(refusal, errString);
        scan.verdict = 1;
        return scan;
    }

    root.setFullPaths(source, dest);
    root.copyMode = CopyMode::Folder;
    root.hasSubItems = true;
    root.isTheRootOfTheTree = true;
    root.isSyncOn = set.isSyncOn;

    m_mainSourceBackup = backupDateOf(source);
    m_mainDestBackup = backupDateOf(dest);
    m_compareAtIndex = policy.loadExactSyncIndex(source, dest);
    if (root.subItems.empty()) {
        if (const QString refused = refusedSide(source, dest); !refused.isEmpty()) {
            m_ctx.reportRunError(refused);
            scan.keepRecords = true;
            return scan;
        }
    }
    policy.makeItemsToDontCopyList(source, dest);
    if (ExactSyncRecorder *record = m_ctx.exactSyncRecorder(); record && root.subItems.empty())
        record->start(source, dest);

    const bool ok = ScanSingleFolder(root, {source, dest});
    if (ok && !root.subItems.empty()) {
        scan.planned = true;
        m_ctx.planCounters().add(CopyMode::Folder);
    }
    scan.verdict = ok ? 1 : 0;
    return scan;
}

} // namespace qm
