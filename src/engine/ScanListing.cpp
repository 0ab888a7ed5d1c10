#include "engine/ScanListing.h"
#include "engine/WorkerPool.h"
#include "platform/FileName.h"

#include "platform/FileFlags.h"
#include "platform/Xattr.h"

#include <QFile>
#include <algorithm>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace qm {

namespace {

struct Name {
    QString key; // case-folded
    QString name;
    bool sideB = false;
    int slot = -1; // its place in its own side's listing
};

// The names the other side listed, taken in their order: two folders of the
// same names on one file system list them in the same order, so a name
// usually equals the other side's next one and can share its strings.
class OtherSide {
public:
    explicit OtherSide(const std::vector<Name> *names) : m_names(names) {}
    // The other side's entry of this exact name, if it is next or one after.
    const Name *take(const char *n)
    {
        if (!m_names)
            return nullptr;
        qsizetype length = 0;
        for (; n[length]; ++length) {
            if (static_cast<unsigned char>(n[length]) >= 0x80)
                return nullptr; // compared as Latin-1 below: ASCII only
        }
        const QLatin1StringView name(n, length);
        const size_t end = std::min(m_next + 2, m_names->size());
        for (size_t k = m_next; k < end; ++k) {
            const Name &other = (*m_names)[k];
            if (other.name.size() == length && other.name == name) {
                m_next = k + 1;
                return &other;
            }
        }
        return nullptr;
    }

private:
    const std::vector<Name> *m_names;
    size_t m_next = 0;
};

bool listFolder(const QString &folder, bool sideB, std::vector<Name> *out, bool *ignoresCase,
                const ListedItemReader &read, const std::vector<Name> *otherSide = nullptr)
{
    const QByteArray native = nativeName(folder);
    DIR *dir = ::opendir(native.constData());
    if (!dir)
        return false;
    *ignoresCase = *ignoresCase || fileflags::isCaseInsensitiveFolder(::dirfd(dir));
    // Most folders hold a few dozen entries: room for them from the start.
    out->reserve(out->size() + 64);
    const QByteArray prefix = native.endsWith('/') ? native : native + '/';
    QByteArray full = prefix;
    full.reserve(prefix.size() + NAME_MAX + 1);
    OtherSide other(otherSide);
    int slot = 0;
    while (const dirent *e = ::readdir(dir)) {
        const char *n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        Name entry;
        if (const Name *same = other.take(n)) {
            entry.name = same->name;
            entry.key = same->key;
        } else {
            entry.name = fromNativeName(n);
            entry.key = entry.name.toCaseFolded();
        }
        entry.sideB = sideB;
        entry.slot = slot++;
        if (read) {
            full.truncate(prefix.size());
            full.append(n);
            read(xattr::Entry{::dirfd(dir), n, full.constData()}, entry.name);
        }
        out->push_back(std::move(entry));
    }
    ::closedir(dir);
    return true;
}

void pairGroup(std::vector<Name>::const_iterator begin, std::vector<Name>::const_iterator end,
               bool withBOnly, std::vector<ScanPairNames> *pairs)
{
    const auto countB = std::count_if(begin, end, [](const Name &n) { return n.sideB; });
    const auto countA = (end - begin) - countB;
    auto emit = [&](const Name *a, const Name *b) {
        if (!a && !withBOnly)
            return;
        ScanPairNames p;
        p.nameA = a ? a->name : b->name;
        // Equal names share one string: the plan keeps it for the run.
        p.nameB = b && (!a || b->name != a->name) ? b->name : p.nameA;
        p.inA = a != nullptr;
        p.inB = b != nullptr;
        p.slotA = a ? a->slot : -1;
        p.slotB = b ? b->slot : -1;
        pairs->push_back(std::move(p));
    };
    if (countA <= 1 && countB <= 1) {
        const Name *a = nullptr, *b = nullptr;
        for (auto it = begin; it != end; ++it)
            (it->sideB ? b : a) = &*it;
        emit(a, b);
        return;
    }
    // Sorted by exact name, side A first: equal exact names are neighbours.
    for (auto it = begin; it != end;) {
        const Name *a = nullptr, *b = nullptr;
        auto next = it;
        while (next != end && next->name == it->name) {
            (next->sideB ? b : a) = &*next;
            ++next;
        }
        emit(a, b);
        it = next;
    }
}

} // namespace

bool readItemForScan(const xattr::Entry &entry, bool withFinderInfo, ItemInfo *info)
{
    *info = ItemInfo();
    struct statx stx;
    if (::statx(entry.folder, entry.name, AT_SYMLINK_NOFOLLOW | AT_STATX_SYNC_AS_STAT,
                STATX_BASIC_STATS, &stx) != 0)
        return false;
    fillFromStatx(stx, info);
    if (withFinderInfo && info->kind != ItemKind::SymLink) {
        char raw[32];
        const ssize_t n = xattr::getRaw(entry, xattr::kFinderInfo, raw, sizeof raw);
        if (n > 0)
            info->finderInfo = FinderInfo::decode(QByteArray(raw, int(n)));
    }
    return true;
}

bool readItemForScan(const QByteArray &path, bool withFinderInfo, ItemInfo *info)
{
    return readItemForScan(xattr::Entry{AT_FDCWD, path.constData(), path.constData()},
                           withFinderInfo, info);
}

std::optional<qint64> readBackupSeconds(const xattr::Entry &entry)
{
    char raw[8];
    const ssize_t n = xattr::getRaw(entry, xattr::kBackupDate, raw, sizeof raw);
    UTCDateTime d;
    if (n != 8 || !UTCDateTime::decode(QByteArray(raw, 8), &d) || d.wholeSeconds() == 0)
        return std::nullopt;
    return qint64(d.wholeSeconds()) - UTCDateTime::kUnixEpochOffset;
}

std::optional<qint64> readBackupSeconds(const QByteArray &path)
{
    return readBackupSeconds(xattr::Entry{AT_FDCWD, path.constData(), path.constData()});
}

bool pairFolderNames(const QString &folderA, const QString &folderB, bool withBOnly,
                     std::vector<ScanPairNames> *pairs, QString *unreadable, WorkerPool *aside,
                     const ListedItemReader &readA, const ListedItemReader &readB)
{
    // Each listing mostly waits for the disk: the two sides wait together.
    std::vector<Name> names, namesB;
    bool ignoresCase = false, ignoresCaseB = false, listedB = true;
    WorkerPool::Result sideB;
    auto listB = [&](const std::vector<Name> *namesA) {
        listedB = folderB.isEmpty() || listFolder(folderB, true, &namesB, &ignoresCaseB, readB, namesA);
        return Status::noErr;
    };
    const bool together = aside && !folderA.isEmpty() && !folderB.isEmpty();
    if (together)
        sideB = aside->submit([&](int) { return listB(nullptr); });
    const bool listedA = folderA.isEmpty() || listFolder(folderA, false, &names, &ignoresCase, readA);
    if (together)
        sideB.wait();
    else
        listB(names.empty() ? nullptr : &names); // side B shares side A's strings
    if (!listedA || !listedB) {
        *unreadable = listedA ? folderB : folderA;
        return false;
    }
    ignoresCase = ignoresCase || ignoresCaseB;
    names.insert(names.end(), std::make_move_iterator(namesB.begin()), std::make_move_iterator(namesB.end()));

    // Most names meet their twin from the other side, often sharing its
    // strings: those need no comparison of their characters.
    auto compare = [](const QString &x, const QString &y) {
        return x.constData() == y.constData() && x.size() == y.size() ? 0 : x.compare(y);
    };
    std::sort(names.begin(), names.end(), [&compare](const Name &x, const Name &y) {
        if (const int c = compare(x.key, y.key))
            return c < 0;
        if (const int c = compare(x.name, y.name))
            return c < 0;
        return !x.sideB && y.sideB;
    });
    pairs->reserve(names.size());
    for (auto it = names.cbegin(); it != names.cend();) {
        auto end = it + 1;
        // Names differing in case are one item only where a side cannot
        // hold both; elsewhere pairing them would write one file over another.
        while (end != names.cend() && (ignoresCase ? end->key == it->key : end->name == it->name))
            ++end;
        pairGroup(it, end, withBOnly, pairs);
        it = end;
    }
    return true;
}

} // namespace qm
