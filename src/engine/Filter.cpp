#include "engine/Filter.h"
#include "platform/FileName.h"
#include "fs/LPUtilities.h"
#include <QFileInfo>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace qm {

namespace {

bool flag(const QVariantMap &r, const char *key) { return r.value(key).toLongLong() != 0; }
int integer(const QVariantMap &r, const char *key, int fallback = 0)
{
    bool ok = false;
    const qlonglong v = r.value(key).toLongLong(&ok);
    return ok ? int(v) : fallback;
}

FilterRow::Text text(const QVariantMap &r, const char *on, const char *pop, const char *field)
{
    return {flag(r, on), integer(r, pop), r.value(field).toString()};
}

FilterRow::Date date(const QVariantMap &r, const char *on, const char *pop, const char *month,
                     const char *day, const char *year)
{
    return {flag(r, on), integer(r, pop), integer(r, month, 1), integer(r, day, 1),
            integer(r, year, 2002)};
}

bool nameMatches(const FilterRow::Text &c, const QString &name)
{
    const QString &t = c.text;
    switch (c.op) {
    case FilterOp::Contains: return name.contains(t, Qt::CaseInsensitive);
    case FilterOp::BeginsWith: return name.startsWith(t, Qt::CaseInsensitive);
    case FilterOp::EndsWith: return name.endsWith(t, Qt::CaseInsensitive);
    case FilterOp::Is: return name.compare(t, Qt::CaseInsensitive) == 0;
    case FilterOp::IsNot: return name.compare(t, Qt::CaseInsensitive) != 0;
    case FilterOp::DoesNotContain: return !name.contains(t, Qt::CaseInsensitive);
    default: return false;
    }
}

bool dayMatches(const FilterRow::Date &c, const QDate &itemDay, const QDate &today)
{
    // The row's day is taken in the local time zone, like the item's.
    const QDate rowDay(c.year, c.month, c.day);
    switch (c.op) {
    case FilterOp::SameDay: return rowDay.isValid() && itemDay == rowDay;
    case FilterOp::Before: return rowDay.isValid() && itemDay < rowDay;
    case FilterOp::After: return rowDay.isValid() && itemDay > rowDay;
    case FilterOp::NotSameDay: return rowDay.isValid() && itemDay != rowDay;
    case FilterOp::Today: return itemDay == today;
    case FilterOp::Yesterday: return itemDay == today.addDays(-1);
    default: return false; // the separator and unknown values never match
    }
}

bool codeMatches(const FilterRow::Text &c, quint32 code)
{
    const QString item = quotedFourCharCode(code);
    const QString row = QLatin1Char('\'') + c.text + QLatin1Char('\'');
    switch (c.op) {
    case FilterOp::CodeIs: return item == row;
    case FilterOp::CodeIsNot: return item != row;
    default: return false;
    }
}

// A whole decimal number; a text that is not one names no account ID.
std::optional<quint32> accountId(const QString &text)
{
    bool ok = false;
    const uint v = text.trimmed().toUInt(&ok, 10);
    return ok ? std::optional<quint32>(v) : std::nullopt;
}

std::optional<QString> lookUpName(quint32 id, bool owner)
{
    std::vector<char> buffer(16384);
    if (owner) {
        struct passwd pw, *found = nullptr;
        if (::getpwuid_r(id, &pw, buffer.data(), buffer.size(), &found) == 0 && found)
            return QString::fromLocal8Bit(found->pw_name);
    } else {
        struct group gr, *found = nullptr;
        if (::getgrgid_r(id, &gr, buffer.data(), buffer.size(), &found) == 0 && found)
            return QString::fromLocal8Bit(found->gr_name);
    }
    return std::nullopt;
}

} // namespace

QString quotedFourCharCode(quint32 code)
{
    QString chars;
    if (code != 0) {
        for (int shift = 24; shift >= 0; shift -= 8)
            chars += QChar::fromLatin1(char((code >> shift) & 0xFF));
    }
    return QLatin1Char('\'') + chars + QLatin1Char('\'');
}

bool FilterRow::hasCriterion() const
{
    return fileName.on || creationDate.on || modificationDate.on || type.on || creator.on ||
           kind.on || owner.on || group.on;
}

FilterRow FilterRow::fromRecord(const QVariantMap &r)
{
    FilterRow row;
    row.on = flag(r, "onOff");
    row.displayName = r.value("filterNameField").toString();
    row.fileName = text(r, "filterFileNameOn", "filterFileNamePop", "filterFileNameField");
    row.creationDate = date(r, "filterCreationDateOn", "filterCreationDatePop",
                            "filterCreationDateMonth", "filterCreationDateDay",
                            "filterCreationDateYear");
    row.modificationDate = date(r, "filterModificationDateOn", "filterModificationDatePop",
                                "filterModificationDateMonth", "filterModificationDateDay",
                                "filterModificationDateYear");
    row.type = text(r, "filterTypeOn", "filterTypePop", "filterTypeField");
    row.creator = text(r, "filterCreatorOn", "filterCreatorPop", "filterCreatorField");
    row.kind = {flag(r, "filterKindOn"), integer(r, "filterKindPop")};
    row.owner = text(r, "filterOwnerOn", "filterOwnerPop", "filterOwnerField");
    row.group = text(r, "filterGroupOn", "filterGroupPop", "filterGroupField");
    return row;
}

FilterList::FilterList() : m_today([] { return QDate::currentDate(); }) {}

int FilterList::CountFilterValid(const QVariantMap &session)
{
    m_rows.clear();
    m_records.clear();
    m_copyOnlyMatches = session.value("filterCopySkip").toLongLong() == 1;
    const QVariantList rows = session.value("filterArray").toList();
    for (const QVariant &v : rows) {
        const QVariantMap record = v.toMap();
        const FilterRow row = FilterRow::fromRecord(record);
        if (!row.on || !row.hasCriterion())
            continue;
        m_rows.push_back(row);
        m_records.append(record);
    }
    return count();
}

bool FilterList::IsToBeFiltered(FilterItemFacts &item) const
{
    if (m_rows.empty())
        return false;
    const bool answerForMatch = !m_copyOnlyMatches;
    for (const FilterRow &row : m_rows) {
        switch (rowMatches(row, item)) {
        case Verdict::Match: return answerForMatch;
        case Verdict::Abort: return !answerForMatch;
        case Verdict::NoMatch: break;
        }
    }
    return !answerForMatch;
}

FilterList::Verdict FilterList::rowMatches(const FilterRow &row, FilterItemFacts &item) const
{
    if (!row.hasCriterion())
        return Verdict::NoMatch;
    if (row.fileName.on) {
        const QString path = item.path();
        const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
        if (!nameMatches(row.fileName, name))
            return Verdict::NoMatch;
    }
    if (row.creationDate.on) {
        // An item without a creation date ends the whole evaluation.
        const std::optional<QDateTime> d = item.creationDate();
        if (!d || !d->isValid())
            return Verdict::Abort;
        if (!dayMatches(row.creationDate, d->toLocalTime().date(), m_today()))
            return Verdict::NoMatch;
    }
    if (row.modificationDate.on) {
        const std::optional<QDateTime> d = item.modificationDate();
        if (!d || !d->isValid() ||
            !dayMatches(row.modificationDate, d->toLocalTime().date(), m_today()))
            return Verdict::NoMatch;
    }
    if (row.type.on || row.creator.on) {
        const std::optional<FinderCodes> codes = item.codes();
        if (!codes)
            return Verdict::NoMatch;
        if (row.type.on && !codeMatches(row.type, codes->type))
            return Verdict::NoMatch;
        if (row.creator.on && !codeMatches(row.creator, codes->creator))
            return Verdict::NoMatch;
    }
    if (row.kind.on) {
        const std::optional<bool> isFolder = item.isFolderFollowingLinks();
        if (!isFolder)
            return Verdict::NoMatch;
        const bool folder = *isFolder;
        if (row.kind.op == FilterOp::NotAFolder ? folder
            : row.kind.op == FilterOp::AFolder  ? !folder
                                                : true)
            return Verdict::NoMatch;
    }
    if (row.owner.on && !accountMatches(row.owner, true, item))
        return Verdict::NoMatch;
    if (row.group.on && !accountMatches(row.group, false, item))
        return Verdict::NoMatch;
    return Verdict::Match;
}

bool FilterList::accountMatches(const FilterRow::Text &c, bool owner, FilterItemFacts &item) const
{
    const std::optional<ItemInfo> info = item.info();
    if (!info || !info->exists())
        return false;
    const quint32 id = owner ? info->uid : info->gid;
    switch (c.op) {
    case FilterOp::NameIs:
    case FilterOp::NameIsNot: {
        // An ID without an account has no name, not an empty one.
        const std::optional<QString> name = accountName(id, owner);
        return (name && *name == c.text) == (c.op == FilterOp::NameIs);
    }
    case FilterOp::IdIs:
    case FilterOp::IdIsNot: {
        const std::optional<quint32> wanted = accountId(c.text);
        if (!wanted)
            return false;
        return (id == *wanted) == (c.op == FilterOp::IdIs);
    }
    default: return false;
    }
}

std::optional<QString> FilterList::accountName(quint32 id, bool owner) const
{
    QHash<quint32, std::optional<QString>> &cache = owner ? m_userNames : m_groupNames;
    auto it = cache.constFind(id);
    if (it == cache.constEnd())
        it = cache.insert(id, lookUpName(id, owner));
    return *it;
}

bool FilterList::IsToBeFiltered(const QString &path, const ItemInfo &lstatInfo) const
{
    DiskFilterItemFacts facts(path, lstatInfo);
    return IsToBeFiltered(facts);
}

// --- Facts from the disk ------------------------------------------------------

DiskFilterItemFacts::DiskFilterItemFacts(const QString &path, const ItemInfo &lstatInfo)
    : m_path(path), m_info(lstatInfo)
{
}

std::optional<ItemInfo> DiskFilterItemFacts::info()
{
    if (!m_info.exists())
        return std::nullopt;
    return m_info;
}

std::optional<QDateTime> DiskFilterItemFacts::creationDate()
{
    const QDateTime d = LPUtilities().GetDate(m_path, &m_info, kCreationDate);
    return d.isValid() ? std::optional<QDateTime>(d) : std::nullopt;
}

std::optional<QDateTime> DiskFilterItemFacts::modificationDate()
{
    const QDateTime d = LPUtilities().GetDate(m_path, &m_info, kContentModDate);
    return d.isValid() ? std::optional<QDateTime>(d) : std::nullopt;
}

const ItemInfo *DiskFilterItemFacts::followed()
{
    if (!m_info.isSymLink())
        return m_info.exists() ? &m_info : nullptr;
    if (!m_target) {
        m_target = ItemInfo();
        m_targetPath = canonicalPath(m_path);
        if (!m_targetPath.isEmpty())
            ReadCatalogInfo(m_targetPath, &*m_target);
    }
    return m_target->exists() ? &*m_target : nullptr;
}

std::optional<FinderCodes> DiskFilterItemFacts::codes()
{
    const ItemInfo *item = followed();
    if (!item)
        return std::nullopt;
    return FinderCodes{item->finderInfo.fileType(), item->finderInfo.creator()};
}

std::optional<bool> DiskFilterItemFacts::isFolderFollowingLinks()
{
    const ItemInfo *item = followed();
    if (!item)
        return std::nullopt;
    const QString &path = m_info.isSymLink() ? m_targetPath : m_path;
    return item->isFolder() && !isFilePackageAtPath(path);
}

} // namespace qm
