#include "engine/ExactSyncIndex.h"
#include "platform/FileName.h"
#include "platform/OwnFiles.h"
#include "engine/CopyItem.h"
#include "engine/ExactSyncRecorder.h"
#include "engine/ScanListing.h"
#include "fs/CatalogInfo.h"
#include "fs/LPUtilities.h"
#include "platform/AtomicFile.h"
#include "platform/Messages.h"
#include "platform/PropertyList.h"
#include "platform/Xattr.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <QStringDecoder>
#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <thread>
#include <unistd.h>

namespace qm {

namespace {

const char *const kVersionKey = "fileVersion";
const char *const kListKey = "indexFilesList";
const char *const kSourceKey = "absolutePathSource";
const char *const kDestKey = "absolutePathDest";
const char *const kFileNameKey = "indexFileName";
const char *const kTreeSourceKey = "treeSource";
const char *const kTreeDestKey = "treeDest";
const char *const kDateKey = "lastExactSyncDate";

// Deeper than any real tree; a stored one beyond it is damaged.
constexpr int kMaxDepth = 4096;

QString lastComponent(const QString &path)
{
    const QStringList c = exactSyncPathComponents(path);
    return c.isEmpty() ? QString() : c.last();
}

std::optional<qlonglong> version(const QVariantMap &dict)
{
    const QVariant v = dict.value(kVersionKey);
    if (v.typeId() != QMetaType::LongLong && v.typeId() != QMetaType::Int)
        return std::nullopt;
    return v.toLongLong();
}

bool isString(const QVariant &v) { return v.typeId() == QMetaType::QString; }

// Whether the property-list XML holds the text exactly: no control
// characters but tab, line feed and return, no non-characters, no escaped
// bytes that are not UTF-8.
bool isStorable(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if ((u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || u == 0xFFFE || u == 0xFFFF)
            return false;
    }
    return !hasInvalidBytes(text);
}

// An entry name that XML cannot hold is stored as "/" and its bytes with
// %-escapes. A real name never holds "/", so the two forms never meet, and
// an older reader only sees a name that exists nowhere.
QString storedName(const QString &name)
{
    if (isStorable(name))
        return name;
    return u'/' + QString::fromLatin1(nativeName(name).toPercentEncoding(" "));
}

std::optional<QString> nameFromStored(const QString &key)
{
    if (!key.startsWith(u'/'))
        return key;
    const QString name = fromNativeName(QByteArray::fromPercentEncoding(key.mid(1).toLatin1()));
    if (name.isEmpty() || name.contains(u'/') || name.contains(QChar(0)))
        return std::nullopt;
    return name;
}

// A folder path that XML cannot hold is stored as its bytes (data).
QVariant storedPath(const QString &path)
{
    return isStorable(path) ? QVariant(path) : QVariant(nativeName(path));
}

bool isStoredPath(const QVariant &v)
{
    return isString(v) || v.typeId() == QMetaType::QByteArray;
}

bool storedPathIs(const QVariant &stored, const QString &path)
{
    if (stored.typeId() == QMetaType::QByteArray)
        return stored.toByteArray() == nativeName(path);
    return stored.toString() == path;
}

// A file name that stays inside the index folder.
bool isPlainName(const QString &name)
{
    return !name.isEmpty() && !name.contains('/') && name != "." && name != ".." &&
           !name.contains(QChar(0));
}

enum class Match { None, Straight, Crossed };

Match matchOf(const QVariantMap &dict, const QString &source, const QString &dest)
{
    const QVariant s = dict.value(kSourceKey);
    const QVariant d = dict.value(kDestKey);
    if (!isStoredPath(s) || !isStoredPath(d))
        return Match::None;
    if (storedPathIs(s, source) && storedPathIs(d, dest))
        return Match::Straight;
    if (storedPathIs(s, dest) && storedPathIs(d, source))
        return Match::Crossed;
    return Match::None;
}

bool isExistingFile(const QString &path)
{
    CatalogInfo info;
    return ReadCatalogInfo(path, &info) == Status::noErr && info.exists() && !info.isFolder();
}

QString indexError(const char *text, const QString &path)
{
    return GLS(text) + " \"" + path + "\"";
}

QString nextRunSentence()
{
    return ".\r" + GLS("The next Exact Sync on these two folders will not run as") + " \"" +
           GLS("Exact Sync") + "\"";
}

void fail(ExactSyncWriteResult *result, const QString &text, const QString &extra = QString())
{
    result->written = false;
    result->logLine = "√ " + text + "\r";
    result->errorMessage = text + extra + nextRunSentence();
}

struct ListedName {
    QString name;
    unsigned char type; // d_type
};

// A folder's names and their kinds as the directory itself tells them;
// empty when it cannot be read, as a missing folder lists nothing.
std::vector<ListedName> listTypedFolder(DIR *dir)
{
    std::vector<ListedName> names;
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        const char *n = entry->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        names.push_back({fromNativeName(n), entry->d_type});
    }
    return names;
}

QStringList listFolder(const QString &path)
{
    DIR *dir = ::opendir(nativeName(path).constData());
    QStringList names;
    for (ListedName &listed : listTypedFolder(dir))
        names.append(std::move(listed.name));
    if (dir)
        ::closedir(dir);
    return names;
}

// One tree as the property-list writer would write it below the pair's dict.
QByteArray treeXml(const ExactSyncTree &tree, const QString &key)
{
    QByteArray out;
    // About one line of tabs, key and name per entry, with room to spare.
    out.reserve(96 * tree.entryCount() + 1024);
    tree.appendXml(out, key, 2);
    return out;
}

// The pair file: its other keys by the property-list writer, then the two
// trees (whose keys sort after them) written straight from the trees, as
// the writer would have written them from maps of maps.
QByteArray pairFileXml(const QVariantMap &header, const ExactSyncTree &source, const QString &sourceKey,
                       const ExactSyncTree &dest, const QString &destKey)
{
    static const QByteArray end = "\t</dict>\n</plist>\n";
    QByteArray bytes = PropertyList::serialize(header);
    if (!bytes.endsWith(end)) {
        QVariantMap pair = header;
        pair.insert(kTreeSourceKey, QVariantMap{{sourceKey, source.toNode()}});
        pair.insert(kTreeDestKey, QVariantMap{{destKey, dest.toNode()}});
        return PropertyList::serialize(pair);
    }
    bytes.chop(end.size());
    // The index is written while the run waits: large trees are written
    // side by side.
    constexpr qsizetype kTreeWrittenAside = 4096;
    QByteArray destPart, sourcePart;
    if (dest.entryCount() + source.entryCount() >= kTreeWrittenAside) {
        std::thread aside([&] { destPart = treeXml(dest, destKey); });
        sourcePart = treeXml(source, sourceKey);
        aside.join();
    } else {
        destPart = treeXml(dest, destKey);
        sourcePart = treeXml(source, sourceKey);
    }
    bytes.reserve(bytes.size() + destPart.size() + sourcePart.size() + 64);
    bytes += "\t\t<key>treeDest</key>\n";
    bytes += destPart;
    bytes += "\t\t<key>treeSource</key>\n";
    bytes += sourcePart;
    bytes += end;
    return bytes;
}

// Reads a pair file as this program writes it, straight into its trees;
// anything else it leaves to the general property-list reader (nullopt),
// which then decides, so that both always agree.
class PairReader {
public:
    explicit PairReader(QByteArrayView bytes) : m_p(bytes.data()), m_end(bytes.data() + bytes.size()) {}

    bool run(QVariantMap *header, QString *sourceKey, ExactSyncTree *source, QString *destKey,
             ExactSyncTree *dest)
    {
        if (!skip("<?xml version=\"1.0\" encoding=\"UTF-8\"?>") || !space() || !skip("<plist version=\"1.0\">")
            || !space() || !skip("<dict>"))
            return false;
        bool trees[2] = {false, false};
        for (;;) {
            space();
            if (skip("</dict>"))
                break;
            QString key;
            if (!skip("<key>") || !text("</key>", &key) || !space())
                return false;
            if (key == QLatin1String(kTreeSourceKey) || key == QLatin1String(kTreeDestKey)) {
                const bool isSource = key == QLatin1String(kTreeSourceKey);
                if (trees[!isSource])
                    return false;
                Ahead ahead;
                if (!trees[isSource])
                    ahead.start(*this, !isSource, isSource ? destKey : sourceKey, isSource ? dest : source);
                if (!tree(isSource ? sourceKey : destKey, isSource ? source : dest))
                    return false;
                trees[!isSource] = true;
                if (ahead.finish(this))
                    trees[isSource] = true;
            } else if (!headerValue(key, header)) {
                return false;
            }
        }
        space();
        if (!skip("</plist>"))
            return false;
        space();
        return m_p == m_end && trees[0] && trees[1];
    }

private:
    const char *m_p;
    const char *m_end;

    // The second tree of a large file, read on another thread while this
    // one reads the first. Where the first does not end right before it,
    // the reading ahead counts for nothing and the second is read in turn.
    class Ahead {
    public:
        void start(const PairReader &first, bool sourceTree, QString *key, ExactSyncTree *out)
        {
            constexpr qsizetype kReadAside = 256 * 1024;
            if (first.m_end - first.m_p < kReadAside)
                return;
            // At the pair's level, the key's own line: a name cannot hold "<".
            const QByteArray marker = QByteArray("\n\t\t<key>") + (sourceTree ? kTreeSourceKey : kTreeDestKey)
                                      + "</key>\n";
            const QByteArrayView rest(first.m_p, first.m_end - first.m_p);
            const qsizetype at = rest.indexOf(marker);
            if (at < 0)
                return;
            m_keyLine = first.m_p + at + 3; // after the line end and two tabs
            m_key = key;
            m_out = out;
            const char *content = m_keyLine + marker.size() - 3;
            m_reader = std::make_unique<PairReader>(QByteArrayView(content, first.m_end - content));
            m_thread = std::thread([this] {
                m_reader->space();
                m_ok = m_reader->tree(&m_readKey, &m_read);
            });
        }
        // Takes the second tree when `first` stands right before its key.
        bool finish(PairReader *first)
        {
            if (!m_thread.joinable())
                return false;
            m_thread.join();
            first->space();
            if (!m_ok || first->m_p != m_keyLine)
                return false;
            *m_key = std::move(m_readKey);
            *m_out = std::move(m_read);
            first->m_p = m_reader->m_p;
            return true;
        }
        ~Ahead()
        {
            if (m_thread.joinable())
                m_thread.join();
        }

    private:
        const char *m_keyLine = nullptr;
        QString *m_key = nullptr;
        ExactSyncTree *m_out = nullptr;
        std::unique_ptr<PairReader> m_reader;
        std::thread m_thread;
        bool m_ok = false;
        QString m_readKey;
        ExactSyncTree m_read;
    };

    bool skip(const char *s)
    {
        const qsizetype n = qsizetype(qstrlen(s));
        if (m_end - m_p < n || memcmp(m_p, s, size_t(n)) != 0)
            return false;
        m_p += n;
        return true;
    }
    bool space()
    {
        while (m_p < m_end && (*m_p == ' ' || *m_p == '\t' || *m_p == '\n'))
            ++m_p;
        return true;
    }

    // Character data up to `end`: plain ASCII, UTF-8 and the entities this
    // program's writer makes.
    bool text(const char *end, QString *out)
    {
        const char *start = m_p;
        bool plain = true;
        while (m_p < m_end && *m_p != '<') {
            const uchar c = uchar(*m_p++);
            if (c < 0x20 || c >= 0x7f || c == '&')
                plain = false;
            else if (c == '>')
                return false;
        }
        const QByteArrayView raw(start, m_p - start);
        if (!skip(end))
            return false;
        if (plain) {
            *out = QString::fromLatin1(raw);
            return true;
        }
        QByteArray utf8;
        utf8.reserve(raw.size());
        for (qsizetype i = 0; i < raw.size(); ++i) {
            const char c = raw[i];
            if (uchar(c) < 0x20 && c != '\t' && c != '\n')
                return false; // line ends and the rest are the general reader's
            if (c != '&') {
                utf8 += c;
                continue;
            }
            static const struct { const char *entity; char c; } known[] = {
                {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}, {"&#13;", '\r'}};
            bool found = false;
            for (const auto &k : known) {
                if (raw.sliced(i).startsWith(k.entity)) {
                    utf8 += k.c;
                    i += qsizetype(qstrlen(k.entity)) - 1;
                    found = true;
                    break;
                }
            }
            if (!found)
                return false;
        }
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        *out = decoder(utf8);
        return !decoder.hasError() && !out->contains(QChar(0xFFFE)) && !out->contains(QChar(0xFFFF));
    }

    bool headerValue(const QString &key, QVariantMap *header)
    {
        QString value;
        if (key == QLatin1String(kVersionKey)) {
            bool ok = false;
            if (!skip("<integer>") || !text("</integer>", &value))
                return false;
            const qlonglong v = value.toLongLong(&ok);
            if (!ok || value != QString::number(v))
                return false;
            header->insert(key, v);
            return true;
        }
        if (key == QLatin1String(kDateKey)) {
            if (!skip("<date>") || !text("</date>", &value) || value.size() != 20)
                return false;
            QDateTime date = QDateTime::fromString(value, Qt::ISODate);
            if (!date.isValid())
                return false;
            header->insert(key, date.toUTC());
            return true;
        }
        if (key == QLatin1String(kSourceKey) || key == QLatin1String(kDestKey)) {
            if (!skip("<string>") || !text("</string>", &value))
                return false;
            header->insert(key, value);
            return true;
        }
        return false;
    }

    // {folder name: content node}, the only key of a tree.
    bool tree(QString *key, ExactSyncTree *out)
    {
        if (!skip("<dict>") || !space() || !skip("<key>") || !text("</key>", key) || !space())
            return false;
        ExactSyncTree t;
        if (!node(t, ExactSyncTree::kRoot, 3) || !space() || !skip("</dict>"))
            return false;
        t.finish();
        *out = std::move(t);
        return true;
    }

    bool node(ExactSyncTree &t, int into, int depth)
    {
        if (skip("<dict/>"))
            return true;
        if (depth > PropertyList::kMaxNesting || !skip("<dict>"))
            return false;
        for (;;) {
            space();
            if (skip("</dict>"))
                return true;
            QString stored;
            if (!skip("<key>") || !text("</key>", &stored) || !space())
                return false;
            const std::optional<QString> name = nameFromStored(stored);
            if (!name)
                return false;
            if (skip("<string></string>") || skip("<string/>"))
                t.addFile(into, *name);
            else if (!node(t, t.addFolder(into, *name), depth + 1))
                return false;
        }
    }
};

// Lists one side of the pair into its tree (MakeExactSyncIndex). Where the
// run recorded what it knows of a folder's entries, the folder's names are
// read again but its entries are not: the record says which are folders and
// which files need the new backup date.
class TreeBuilder {
public:
    TreeBuilder(ExactSyncWriteRequest &request, bool sourceSide)
        : m_request(request),
          m_ownFolder(sourceSide ? request.source : request.dest),
          m_otherFolder(sourceSide ? request.dest : request.source),
          m_shift(int(exactSyncPathComponents(m_ownFolder).size())),
          m_stamp(UTCDateTime::fromDateTime(request.runStart)),
          m_stampBytes(m_stamp.encode()),
          m_recorded(request.recorded)
    {
    }

    ExactSyncTree build()
    {
        ExactSyncTree tree;
        addFolderContent(tree, ExactSyncTree::kRoot, m_ownFolder);
        tree.finish();
        return tree;
    }

private:
    void addFolderContent(ExactSyncTree &tree, int node, const QString &folder)
    {
        const ExactSyncRecorder::FolderFacts *facts = m_recorded ? m_recorded->folder(folder) : nullptr;
        if (facts)
            addKnownContent(tree, node, folder, *facts);
        else
            addContent(tree, node, folder);
    }

    void addContent(ExactSyncTree &tree, int node, const QString &folder)
    {
        QStringList names = listFolder(folder);
        takeRecordedAnyway(folder, &names);
        tree.reserve(node, names.size());
        const QString prefix = folder == QLatin1String("/") ? QString() : folder;
        // Entries are read relative to their open folder: no path lookup each.
        const int dir = ::open(nativeName(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        for (const QString &name : std::as_const(names))
            addListedEntry(tree, node, prefix, dir, name);
        if (dir >= 0)
            ::close(dir);
    }

    // One entry as a listing finds it: read, and stamped when it is a file
    // changed since its backup date.
    void addListedEntry(ExactSyncTree &tree, int node, const QString &prefix, int dir, const QString &name)
    {
        const QString path = prefix + '/' + name;
        const QByteArray native = nativeName(path);
        const QByteArray own = nativeName(name);
        const xattr::Entry entry{dir >= 0 ? dir : AT_FDCWD,
                                 dir >= 0 ? own.constData() : native.constData(), native.constData()};
        bool isFolder = false;
        ItemInfo info;
        if (!entryExists(path, entry, &isFolder, &info))
            return;
        if (isFolder) {
            addContent(tree, tree.addFolder(node, name), path);
            return;
        }
        tree.addFile(node, name);
        if (info.exists() && !m_keepBackupDate.contains(path))
            stamp(path, entry, info);
    }

    // A folder the run recorded: its names are listed again (an item another
    // program removed meanwhile must not be recorded), the rest comes from
    // the record where the listed kind agrees with it.
    void addKnownContent(ExactSyncTree &tree, int node, const QString &folder,
                         const ExactSyncRecorder::FolderFacts &facts)
    {
        DIR *listing = ::opendir(nativeName(folder).constData());
        const std::vector<ListedName> names = listTypedFolder(listing);
        QStringList recordedAnyway;
        takeRecordedAnyway(folder, &recordedAnyway);
        tree.reserve(node, qsizetype(names.size()) + recordedAnyway.size());
        const QString prefix = folder == QLatin1String("/") ? QString() : folder;
        const int dir = listing ? ::dirfd(listing) : -1;
        for (const ListedName &listed : names) {
            const QString &name = listed.name;
            if (listed.type == DT_LNK) {
                tree.addFile(node, name); // links carry no backup date
                continue;
            }
            const quint8 fact = facts.value(ExactSyncRecorder::nameKey(name), ExactSyncRecorder::Unknown);
            const quint8 kind = fact & ExactSyncRecorder::KindMask;
            if (listed.type == DT_DIR && kind == ExactSyncRecorder::Folder) {
                addFolderContent(tree, tree.addFolder(node, name), prefix + '/' + name);
            } else if ((listed.type == DT_REG && kind == ExactSyncRecorder::File)
                       || (listed.type == DT_DIR && kind == ExactSyncRecorder::Package)) {
                tree.addFile(node, name);
                if (fact & ExactSyncRecorder::StampDue)
                    stampKnown(prefix + '/' + name, dir, name);
            } else {
                addListedEntry(tree, node, prefix, dir, name);
            }
        }
        for (const QString &name : std::as_const(recordedAnyway))
            addListedEntry(tree, node, prefix, dir, name);
        if (listing)
            ::closedir(listing);
    }

    void stampKnown(const QString &path, int dir, const QString &name)
    {
        if (m_keepBackupDate.contains(path))
            return;
        const QByteArray native = nativeName(path);
        const QByteArray own = nativeName(name);
        const xattr::Entry entry{dir >= 0 ? dir : AT_FDCWD,
                                 dir >= 0 ? own.constData() : native.constData(), native.constData()};
        if (xattr::set(entry, xattr::kBackupDate, m_stampBytes) != Status::noErr)
            LPUtilities().SetBackupDateDitto(path, m_stamp);
    }

    // A file whose backup date is already later than its last change stays
    // recognised as unchanged without a new one; an older date only makes
    // the next run look more closely, never less. Links carry no date.
    void stamp(const QString &path, const xattr::Entry &entry, const ItemInfo &info)
    {
        if (info.kind == ItemKind::SymLink)
            return;
        const std::optional<qint64> backup = readBackupSeconds(entry);
        if (backup && *backup > qint64(info.contentModDate.tv_sec))
            return;
        if (xattr::set(entry, xattr::kBackupDate, m_stampBytes) != Status::noErr)
            LPUtilities().SetBackupDateDitto(path, m_stamp);
    }

    // Entries of addToExactIndex that belong in this folder (AddToExactIndex).
    void takeRecordedAnyway(const QString &folder, QStringList *names)
    {
        QStringList &pending = m_request.addToExactIndex;
        for (qsizetype i = pending.size() - 1; i >= 0; --i) {
            if (parentPath(pending[i]) != folder)
                continue;
            names->append(pending[i].mid(pending[i].lastIndexOf('/') + 1));
            m_restored.append(pending[i]);
            m_keepBackupDate.insert(pending[i]);
            pending.removeAt(i);
        }
    }

    // ItExistsInSourceOrDest: the entry itself, or failing that its
    // counterpart on the other side (whose backup date is then kept).
    bool entryExists(const QString &path, const xattr::Entry &entry, bool *isFolder, ItemInfo *own)
    {
        if (readItemForScan(entry, false, own)) {
            *isFolder = own->isFolder() && !isFilePackageAtPath(path);
            return true;
        }
        CatalogInfo info;
        const QStringList components = exactSyncPathComponents(path);
        if (components.size() <= m_shift)
            return false;
        const QString counterpart =
            (m_otherFolder == QLatin1String("/") ? QString() : m_otherFolder) + '/' +
            components.mid(m_shift).join('/');
        if (ReadCatalogInfo(counterpart, &info) != Status::noErr || !info.exists())
            return false;
        m_restored.append(counterpart);
        m_keepBackupDate.insert(counterpart);
        *isFolder = info.isFolder() && !isFilePackageAtPath(counterpart);
        return true;
    }

public:
    void keepBackupDates(const QStringList &paths)
    {
        for (const QString &p : paths)
            m_keepBackupDate.insert(p);
    }
    // Paths whose backup dates this side left alone, for the request.
    const QStringList &restored() const { return m_restored; }

private:
    ExactSyncWriteRequest &m_request;
    QString m_ownFolder;
    QString m_otherFolder;
    int m_shift;
    UTCDateTime m_stamp;
    QByteArray m_stampBytes;
    QSet<QString> m_keepBackupDate;
    QStringList m_restored;
    const ExactSyncRecorder *m_recorded;
};

} // namespace

// --- Paths and trees ----------------------------------------------------------------

QStringList exactSyncPathComponents(const QString &path)
{
    QStringList components = path.split('/', Qt::SkipEmptyParts);
    if (path.startsWith('/'))
        components.prepend(QStringLiteral("/"));
    return components;
}

ExactSyncTree::ExactSyncTree() : m_nodes(1) {}

int ExactSyncTree::addFolder(int parent, const QString &name)
{
    const int node = int(m_nodes.size());
    m_nodes.emplace_back();
    add(parent, name, node);
    return node;
}

void ExactSyncTree::addFile(int parent, const QString &name)
{
    add(parent, name, kFileMark);
}

void ExactSyncTree::add(int parent, const QString &name, int child)
{
    Node &node = m_nodes[size_t(parent)];
    const Entry entry{quint32(m_names.size()), quint32(name.size()), child};
    m_names.append(name);
    if (node.sorted && !node.entries.empty() && !(nameOf(node.entries.back()) < nameOf(entry)))
        node.sorted = false;
    node.entries.push_back(entry);
}

void ExactSyncTree::reserve(int node, qsizetype entries)
{
    m_nodes[size_t(node)].entries.reserve(size_t(entries));
}

qsizetype ExactSyncTree::entryCount() const
{
    qsizetype n = 0;
    for (const Node &node : m_nodes)
        n += qsizetype(node.entries.size());
    return n;
}

void ExactSyncTree::finish()
{
    for (Node &node : m_nodes) {
        if (node.sorted)
            continue;
        std::vector<Entry> &e = node.entries;
        std::stable_sort(e.begin(), e.end(), [this](const Entry &x, const Entry &y) { return nameOf(x) < nameOf(y); });
        std::vector<Entry> kept;
        kept.reserve(e.size());
        for (size_t i = 0; i < e.size(); ++i) {
            if (i + 1 < e.size() && nameOf(e[i]) == nameOf(e[i + 1]))
                continue; // a later entry of the same name replaces it
            kept.push_back(e[i]);
        }
        e.swap(kept);
        node.sorted = true;
    }
}

const ExactSyncTree::Entry *ExactSyncTree::find(int node, QStringView name) const
{
    const Node &n = m_nodes[size_t(node)];
    if (!n.sorted) {
        for (auto it = n.entries.rbegin(); it != n.entries.rend(); ++it)
            if (nameOf(*it) == name)
                return &*it;
        return nullptr;
    }
    const auto it = std::lower_bound(n.entries.begin(), n.entries.end(), name,
                                     [this](const Entry &e, QStringView v) { return nameOf(e) < v; });
    return it != n.entries.end() && nameOf(*it) == name ? &*it : nullptr;
}

int ExactSyncTree::folderAt(const QStringList &components) const
{
    int node = kRoot;
    for (const QString &name : components) {
        const Entry *e = find(node, name);
        if (!e || e->child == kFileMark)
            return -1;
        node = e->child;
    }
    return node;
}

bool ExactSyncTree::hasFile(int node, const QString &name) const
{
    const Entry *e = find(node, name);
    return e && e->child == kFileMark;
}

bool ExactSyncTree::contains(const QStringList &components) const
{
    int node = kRoot;
    for (qsizetype i = 0; i < components.size(); ++i) {
        const Entry *e = find(node, components[i]);
        if (!e)
            return false;
        if (e->child == kFileMark)
            return i == components.size() - 1;
        node = e->child;
    }
    return true;
}

QVariantMap ExactSyncTree::writeNode(int node) const
{
    QVariantMap out;
    for (const Entry &e : m_nodes[size_t(node)].entries)
        out.insert(storedName(nameOf(e).toString()),
                   e.child == kFileMark ? QVariant(QString("")) : QVariant(writeNode(e.child)));
    return out;
}

QVariantMap ExactSyncTree::toNode() const { return writeNode(kRoot); }

namespace {

// (Appending a repeated character grows the array to the exact size each
// time; appending bytes grows it ahead.)
void appendIndent(QByteArray &out, int depth)
{
    static constexpr char kTabs[] = "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t";
    constexpr int kRun = int(sizeof kTabs) - 1;
    for (; depth > kRun; depth -= kRun)
        out.append(kTabs, kRun);
    out.append(kTabs, depth);
}

// Text as the property-list writer escapes it.
void appendEscapedUtf8(QByteArray &out, QStringView text)
{
    const QByteArray utf8 = text.toUtf8();
    // Runs without a character to escape go in whole: most names have none.
    qsizetype plain = 0;
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char *escaped = nullptr;
        switch (utf8[i]) {
        case '&': escaped = "&amp;"; break;
        case '<': escaped = "&lt;"; break;
        case '>': escaped = "&gt;"; break;
        case '"': escaped = "&quot;"; break;
        case '\r': escaped = "&#13;"; break;
        default: continue;
        }
        out.append(utf8.constData() + plain, i - plain);
        out += escaped;
        plain = i + 1;
    }
    out.append(utf8.constData() + plain, utf8.size() - plain);
}

// The same, with ASCII that needs no escape (most names) copied straight.
void appendEscaped(QByteArray &out, QStringView text)
{
    const qsizetype at = out.size();
    out.resize(at + text.size());
    char *p = out.data() + at;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x80 || u == '&' || u == '<' || u == '>' || u == '"' || u == '\r') {
            out.truncate(at);
            appendEscapedUtf8(out, text);
            return;
        }
        *p++ = char(u);
    }
}

} // namespace

void ExactSyncTree::appendXml(QByteArray &out, const QString &folderKey, int depth) const
{
    appendIndent(out, depth);
    out += "<dict>\n";
    appendIndent(out, depth + 1);
    out += "<key>";
    appendEscaped(out, folderKey);
    out += "</key>\n";
    appendNodeXml(out, kRoot, depth + 1);
    appendIndent(out, depth);
    out += "</dict>\n";
}

void ExactSyncTree::appendNodeXml(QByteArray &out, int node, int depth) const
{
    const Node &n = m_nodes[size_t(node)];
    appendIndent(out, depth);
    if (n.entries.empty()) {
        out += "<dict/>\n";
        return;
    }
    out += "<dict>\n";
    auto appendEntry = [&](QStringView key, int child) {
        appendIndent(out, depth + 1);
        out += "<key>";
        appendEscaped(out, key);
        out += "</key>\n";
        if (child == kFileMark) {
            appendIndent(out, depth + 1);
            out += "<string></string>\n";
        } else {
            appendNodeXml(out, child, depth + 1);
        }
    };
    // In the stored names' order, as a map of them would hold them: where
    // every name is stored as it is, that is the folder's own order.
    const bool asTheyAre = n.sorted && std::all_of(n.entries.begin(), n.entries.end(), [this](const Entry &e) {
        return isStorable(nameOf(e));
    });
    if (asTheyAre) {
        for (const Entry &e : n.entries)
            appendEntry(nameOf(e), e.child);
    } else {
        QMap<QString, int> stored; // a later entry of a name replaces an earlier one
        for (const Entry &e : n.entries)
            stored.insert(storedName(nameOf(e).toString()), e.child);
        for (auto it = stored.constBegin(); it != stored.constEnd(); ++it)
            appendEntry(it.key(), it.value());
    }
    appendIndent(out, depth);
    out += "</dict>\n";
}

bool ExactSyncTree::readNode(int into, const QVariantMap &node, int depth)
{
    if (depth > kMaxDepth)
        return false;
    for (auto it = node.constBegin(); it != node.constEnd(); ++it) {
        const QVariant &v = it.value();
        const std::optional<QString> name = nameFromStored(it.key());
        if (!name)
            return false;
        if (v.typeId() == QMetaType::QVariantMap) {
            if (!readNode(addFolder(into, *name), v.toMap(), depth + 1))
                return false;
        } else if (isString(v) && v.toString().isEmpty()) {
            addFile(into, *name);
        } else {
            return false;
        }
    }
    return true;
}

std::optional<ExactSyncTree> ExactSyncTree::fromNode(const QVariant &node)
{
    if (node.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    ExactSyncTree tree;
    if (!tree.readNode(kRoot, node.toMap(), 0))
        return std::nullopt;
    tree.finish();
    return tree;
}

bool LoadedExactSyncIndex::ItWasExixting(const QString &path, int where) const
{
    const bool sourceSide = where == 1;
    const int shift = sourceSide ? shiftSource : shiftDest;
    const QStringList components = exactSyncPathComponents(path);
    return (sourceSide ? source : dest).contains(components.mid(shift));
}

int LoadedExactSyncIndex::recordedFolder(const QString &path, int where) const
{
    const QStringList components = exactSyncPathComponents(path);
    const int shift = where == 1 ? shiftSource : shiftDest;
    if (components.size() < shift)
        return -1;
    return tree(where).folderAt(components.mid(shift));
}

void AddOrRemoveItemToExactIndex(QStringList &taskList, const CopyItem &item, const SidePaths &paths, int on)
{
    if (item.ifSkipAddToExactIndex < 0)
        return;
    const QString &path = item.ifSkipAddToExactIndex == 1 ? paths.source : paths.dest;
    if (on > 0) {
        if (!taskList.contains(path))
            taskList.append(path);
    } else {
        taskList.removeAll(path);
    }
}

// --- Reading ------------------------------------------------------------------------

ExactSyncIndexStore::ExactSyncIndexStore(QString indexFolder) : m_folder(std::move(indexFolder))
{
    while (m_folder.size() > 1 && m_folder.endsWith('/'))
        m_folder.chop(1);
}

std::optional<QVariantMap> ExactSyncIndexStore::readMainIndex() const
{
    if (!isExistingFile(mainIndexPath()))
        return std::nullopt;
    QVariantMap main;
    QString error;
    if (!PropertyList::readDictionary(mainIndexPath(), &main, &error))
        return std::nullopt;
    return main;
}

int ExactSyncIndexStore::findRow(const QVariantList &rows, const QString &source,
                                 const QString &dest) const
{
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (rows[i].typeId() != QMetaType::QVariantMap)
            continue;
        const QVariantMap row = rows[i].toMap();
        if (matchOf(row, source, dest) != Match::None && isString(row.value(kFileNameKey)) &&
            isPlainName(row.value(kFileNameKey).toString()))
            return int(i);
    }
    return -1;
}

std::optional<ExactSyncIndexStore::PairFile>
ExactSyncIndexStore::findPairFile(const QVariantMap &main, const QString &source,
                                  const QString &dest) const
{
    const std::optional<qlonglong> v = version(main);
    if (!v || *v > kFileVersion)
        return std::nullopt;
    const QVariantList rows = main.value(kListKey).toList();
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (rows[i].typeId() != QMetaType::QVariantMap)
            continue;
        const QVariantMap row = rows[i].toMap();
        if (matchOf(row, source, dest) == Match::None || !isString(row.value(kFileNameKey)))
            continue;
        const QString name = row.value(kFileNameKey).toString();
        if (!isPlainName(name))
            continue;
        PairFile pair;
        pair.row = int(i);
        pair.path = m_folder + '/' + name;
        if (!isExistingFile(pair.path) || !readPairFile(pair.path, &pair))
            continue;
        const std::optional<qlonglong> pv = version(pair.content);
        if (!pv || *pv > kFileVersion)
            continue;
        const Match m = matchOf(pair.content, source, dest);
        if (m == Match::None)
            continue;
        pair.crossed = m == Match::Crossed;
        return pair;
    }
    return std::nullopt;
}

QString ExactSyncIndexStore::setAsidePath() const
{
    return parentPath(m_folder) + QStringLiteral("/QM3ExactSyncSetAside.plist");
}

bool ExactSyncIndexStore::isSetAside(const QString &source, const QString &dest) const
{
    if (!QFileInfo::exists(setAsidePath()))
        return false;
    QVariantMap list;
    QString error;
    // A list that cannot be read could hold the pair: no index is safer.
    if (!PropertyList::readDictionary(setAsidePath(), &list, &error))
        return true;
    for (const QVariant &row : list.value(kListKey).toList())
        if (matchOf(row.toMap(), source, dest) != Match::None)
            return true;
    return false;
}

bool ExactSyncIndexStore::setAside(const QString &source, const QString &dest, bool on) const
{
    QVariantMap list;
    QString error;
    const bool exists = QFileInfo::exists(setAsidePath());
    if (exists && !PropertyList::readDictionary(setAsidePath(), &list, &error) && on)
        list.clear();
    if (!exists && !on)
        return true;
    QVariantList rows = list.value(kListKey).toList();
    const qsizetype before = rows.size();
    rows.removeIf([&](const QVariant &row) { return matchOf(row.toMap(), source, dest) != Match::None; });
    if (on)
        rows.append(QVariantMap{{kSourceKey, source}, {kDestKey, dest}});
    else if (rows.size() == before)
        return true;
    if (rows.isEmpty())
        return QFile::remove(setAsidePath());
    list.insert(kVersionKey, kFileVersion);
    list.insert(kListKey, rows);
    return PropertyList::write(setAsidePath(), list, &error);
}

bool ExactSyncIndexStore::forget(const QString &source, const QString &dest) const
{
    discard(source, dest);
    if (!lastExactSyncDate(source, dest))
        return true;
    return setAside(source, dest, true);
}

std::optional<QDateTime> ExactSyncIndexStore::lastExactSyncDate(const QString &source,
                                                                const QString &dest) const
{
    if (isSetAside(source, dest))
        return std::nullopt;
    const std::optional<QVariantMap> main = readMainIndex();
    if (!main)
        return std::nullopt;
    const std::optional<PairFile> pair = findPairFile(*main, source, dest);
    if (!pair)
        return std::nullopt;
    return pair->content.value(kDateKey).toDateTime();
}

std::optional<LoadedExactSyncIndex> ExactSyncIndexStore::load(const QString &source,
                                                              const QString &dest,
                                                              bool taskIsExactSync) const
{
    if (taskIsExactSync && isSetAside(source, dest))
        return std::nullopt;
    const std::optional<QVariantMap> main = readMainIndex();
    if (!main)
        return std::nullopt;
    std::optional<PairFile> pair = findPairFile(*main, source, dest);
    if (!pair)
        return std::nullopt;
    if (!taskIsExactSync) {
        // Another task kind changed the pair: its index no longer applies.
        discard(source, dest);
        return std::nullopt;
    }
    const QString sourceName = storedName(lastComponent(source));
    const QString destName = storedName(lastComponent(dest));
    LoadedExactSyncIndex loaded;
    loaded.shiftSource = int(exactSyncPathComponents(source).size());
    loaded.shiftDest = int(exactSyncPathComponents(dest).size());
    loaded.lastExactSyncDate = pair->content.value(kDateKey).toDateTime();
    if (pair->treesRead) {
        // Each stored tree describes the folder it was written for; a
        // crossed pair ran the other way round last time.
        PairFile &p = *pair;
        if ((p.crossed ? p.destKey : p.sourceKey) != sourceName || (p.crossed ? p.sourceKey : p.destKey) != destName)
            return std::nullopt;
        loaded.source = std::move(p.crossed ? p.dest : p.source);
        loaded.dest = std::move(p.crossed ? p.source : p.dest);
        return loaded;
    }
    const char *sourceTree = pair->crossed ? kTreeDestKey : kTreeSourceKey;
    const char *destTree = pair->crossed ? kTreeSourceKey : kTreeDestKey;
    const QVariantMap trees[2] = {pair->content.value(sourceTree).toMap(),
                                  pair->content.value(destTree).toMap()};
    if (!trees[0].contains(sourceName) || !trees[1].contains(destName))
        return std::nullopt;
    std::optional<ExactSyncTree> a = ExactSyncTree::fromNode(trees[0].value(sourceName));
    std::optional<ExactSyncTree> b = ExactSyncTree::fromNode(trees[1].value(destName));
    if (!a || !b)
        return std::nullopt;
    loaded.source = std::move(*a);
    loaded.dest = std::move(*b);
    return loaded;
}

bool ExactSyncIndexStore::discard(const QString &source, const QString &dest) const
{
    std::optional<QVariantMap> main = readMainIndex();
    if (!main)
        return true;
    QVariantList rows = main->value(kListKey).toList();
    bool ok = true;
    for (int row = findRow(rows, source, dest); row >= 0; row = findRow(rows, source, dest)) {
        const QString path = m_folder + '/' + rows[row].toMap().value(kFileNameKey).toString();
        if (QFileInfo::exists(path) && !QFile::remove(path))
            ok = false;
        rows.removeAt(row);
    }
    main->insert(kListKey, rows);
    QString error;
    return PropertyList::write(mainIndexPath(), *main, &error) && ok;
}

bool ExactSyncIndexStore::readPairFile(const QString &path, PairFile *pair)
{
    QByteArray bytes;
    {
        const OwnFilesAccess asUser;
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return false;
        bytes = f.readAll();
    }
    QVariantMap header;
    if (PairReader(bytes).run(&header, &pair->sourceKey, &pair->source, &pair->destKey, &pair->dest)) {
        pair->content = std::move(header);
        pair->treesRead = true;
        return true;
    }
    QVariant content;
    QString error;
    if (!PropertyList::parse(bytes, path, &content, &error) || content.typeId() != QMetaType::QVariantMap)
        return false;
    pair->content = content.toMap();
    pair->treesRead = false;
    return true;
}

// --- Writing ------------------------------------------------------------------------

bool ExactSyncIndexStore::prepareFolder(ExactSyncWriteResult *result) const
{
    const QFileInfo folder(m_folder);
    CatalogInfo mainInfo;
    const bool mainIsFile = ReadCatalogInfo(mainIndexPath(), &mainInfo) == Status::noErr &&
                            mainInfo.exists() && !mainInfo.isFolder();
    if (folder.isDir() && mainIsFile)
        return true;
    const QString thus = ".\r" + GLS("Thus can't write the ExactSyncIndex file for this synchronization");
    CatalogInfo info;
    if (ReadCatalogInfo(m_folder, &info) == Status::noErr && info.exists()) {
        const bool removed = info.isFolder() ? QDir(m_folder).removeRecursively()
                                             : QFile::remove(m_folder);
        if (!removed) {
            fail(result, indexError("Can't delete the ExactSyncIndex folder", m_folder), thus);
            return false;
        }
    }
    if (!atomicfile::makeOwnFolder(m_folder)) {
        fail(result, indexError("Can't create the ExactSync Index Folder", m_folder), thus);
        return false;
    }
    return true;
}

bool ExactSyncIndexStore::prepareMainIndex(ExactSyncWriteResult *result) const
{
    QString error;
    if (!isExistingFile(mainIndexPath()) &&
        !PropertyList::write(mainIndexPath(), QVariantMap{{kVersionKey, kFileVersion}}, &error)) {
        fail(result, indexError("Can't create the ExactSync MainIndex File", mainIndexPath()));
        return false;
    }
    QVariantMap main = readMainIndex().value_or(QVariantMap());
    bool changed = false;
    const std::optional<qlonglong> v = version(main);
    if (!v || *v > kFileVersion) {
        // Another version's list is not ours to interpret.
        main.insert(kVersionKey, kFileVersion);
        main.remove(kListKey);
        changed = true;
    }
    if (main.value(kListKey).typeId() != QMetaType::QVariantList) {
        main.insert(kListKey, QVariantList());
        changed = true;
    }
    if (changed && !PropertyList::write(mainIndexPath(), main, &error)) {
        fail(result, indexError("Can't update the ExactSync MainIndex File", mainIndexPath()));
        return false;
    }
    return true;
}

ExactSyncWriteResult ExactSyncIndexStore::write(ExactSyncWriteRequest request) const
{
    if (!request.runCompleted)
        return {}; // the previous index stays as it was
    const QString source = request.source;
    const QString dest = request.dest;
    ExactSyncWriteResult result = writePair(std::move(request));
    if (!result.failed()) {
        setAside(source, dest, false);
        return result;
    }
    if (!forget(source, dest)) {
        const QString more = ".\r" + GLS("The previous index could not be set aside: please empty the folder")
                             + " \"" + m_folder + "\"";
        result.errorMessage += more;
        result.logLine.insert(result.logLine.size() - 1, more);
    }
    return result;
}

ExactSyncWriteResult ExactSyncIndexStore::writePair(ExactSyncWriteRequest request) const
{
    ExactSyncWriteResult result;
    if (!prepareFolder(&result) || !prepareMainIndex(&result))
        return result;

    QVariantMap main = readMainIndex().value_or(QVariantMap());
    QVariantList rows = main.value(kListKey).toList();
    const int row = findRow(rows, request.source, request.dest);
    QString pairPath;
    if (row >= 0) {
        pairPath = m_folder + '/' + rows[row].toMap().value(kFileNameKey).toString();
    } else {
        pairPath = m_folder + '/' + pairIndexBaseName();
        if (!LPUtilities().FindUniqueNameInFolder(pairPath)) {
            const QString text =
                indexError("Can't find an unique name for the ExactSync Index File", pairPath);
            result.errorMessage = text + nextRunSentence() + ".\r" + GLS("Please empty the folder") +
                                  " \"" + m_folder + "\"";
            result.logLine = "√ " + result.errorMessage + "\r";
            return result;
        }
        rows.append(QVariantMap{{kSourceKey, storedPath(request.source)},
                                {kDestKey, storedPath(request.dest)},
                                {kFileNameKey, QFileInfo(pairPath).fileName()}});
        main.insert(kListKey, rows);
        QString error;
        if (!PropertyList::write(mainIndexPath(), main, &error)) {
            fail(&result, indexError("Can't update the ExactSync MainIndex File", mainIndexPath()));
            return result;
        }
    }

    if (request.onBuildingTrees)
        request.onBuildingTrees();
    QVariantMap pair{{kVersionKey, kFileVersion},
                     {kSourceKey, storedPath(request.source)},
                     {kDestKey, storedPath(request.dest)},
                     {kDateKey, request.runStart}};
    QByteArray bytes;
    {
        ExactSyncTree a, b;
        TreeBuilder sourceSide(request, true);
        sourceSide.keepBackupDates(request.restoreBackupDates);
        if (request.addToExactIndex.isEmpty()) {
            // Nothing recorded anyway: neither side looks at the other's
            // results, so both are listed at once.
            TreeBuilder destSide(request, false);
            destSide.keepBackupDates(request.restoreBackupDates);
            std::thread other([&] { b = destSide.build(); });
            a = sourceSide.build();
            other.join();
            request.restoreBackupDates += sourceSide.restored();
            request.restoreBackupDates += destSide.restored();
        } else {
            a = sourceSide.build();
            request.restoreBackupDates += sourceSide.restored();
            TreeBuilder destSide(request, false);
            destSide.keepBackupDates(request.restoreBackupDates);
            b = destSide.build();
            request.restoreBackupDates += destSide.restored();
        }
        bytes = pairFileXml(pair, a, storedName(lastComponent(request.source)), b,
                            storedName(lastComponent(request.dest)));
    }

    QString error;
    if (!atomicfile::write(pairPath, bytes, &error)) {
        // The older file is forgotten by write(): it describes trees this
        // run has changed, and could make the next run delete an item
        // created since.
        fail(&result, indexError("Can't update the ExactSync Index File", pairPath));
        return result;
    }
    result.written = true;
    return result;
}

} // namespace qm
