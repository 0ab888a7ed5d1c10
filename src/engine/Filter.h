#pragma once
// The session's filter list: which items a task copies, described by name,
// dates, type and creator codes, kind, owner and group.
//
// A row matches an item when every criterion that is on in it matches; the
// first matching row decides. With filterCopySkip 1 only matching items are
// copied (a folder that matches nothing is left out with its content); with
// any other value matching items are left out.
#include "engine/ItemInfo.h"
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <optional>

namespace qm {

// Operator values, in the order of the editor's pop-up menus.
namespace FilterOp {
enum Name : int { Contains = 0, BeginsWith, EndsWith, Is, IsNot, DoesNotContain };
enum Date : int { SameDay = 0, Before, After, NotSameDay, Separator, Today, Yesterday };
enum Code : int { CodeIs = 0, CodeIsNot };
enum Kind : int { NotAFolder = 0, AFolder };
enum Account : int { NameIs = 0, NameIsNot, IdIs, IdIsNot };
} // namespace FilterOp

// One stored filter row (keys filter...), typed.
struct FilterRow {
    struct Text {
        bool on = false;
        int op = 0;
        QString text;
    };
    struct Date {
        bool on = false;
        int op = 0;
        int month = 1, day = 1, year = 2002;
    };
    struct Choice {
        bool on = false;
        int op = 0;
    };

    bool on = true;
    QString displayName; // filterNameField
    Text fileName;
    Date creationDate;
    Date modificationDate;
    Text type;
    Text creator;
    Choice kind;
    Text owner;
    Text group;

    bool hasCriterion() const;
    static FilterRow fromRecord(const QVariantMap &record);
};

// Type and creator codes of an item (big-endian four-character codes).
struct FinderCodes {
    quint32 type = 0;
    quint32 creator = 0;
};

// What the filters may ask about one item. Answers that cost more than the
// lstat the scanner already made are read only when a row needs them.
class FilterItemFacts {
public:
    virtual ~FilterItemFacts() = default;
    virtual QString path() const = 0;
    // Not following a final link; nullopt when the item cannot be read.
    virtual std::optional<ItemInfo> info() = 0;
    // nullopt: the item has no such date (or cannot be read).
    virtual std::optional<QDateTime> creationDate() = 0;
    virtual std::optional<QDateTime> modificationDate() = 0;
    // Following links; nullopt when the attributes cannot be read.
    virtual std::optional<FinderCodes> codes() = 0;
    // Following links: whether the item is a folder (a directory that is
    // not a package); nullopt when nothing is there.
    virtual std::optional<bool> isFolderFollowingLinks() = 0;
};

// Facts read from the disk, starting from the scanner's lstat.
class DiskFilterItemFacts : public FilterItemFacts {
public:
    DiskFilterItemFacts(const QString &path, const ItemInfo &lstatInfo);
    QString path() const override { return m_path; }
    std::optional<ItemInfo> info() override;
    std::optional<QDateTime> creationDate() override;
    std::optional<QDateTime> modificationDate() override;
    std::optional<FinderCodes> codes() override;
    std::optional<bool> isFolderFollowingLinks() override;

private:
    // The item itself, or the final target of a link.
    const ItemInfo *followed();

    QString m_path;
    ItemInfo m_info;
    std::optional<ItemInfo> m_target;
    QString m_targetPath;
};

// The executive filter list of the session being run.
class FilterList {
public:
    FilterList();

    // Keeps the rows that are on and have a criterion on, in row order, and
    // takes the session's filterCopySkip. Answers the count of rows kept.
    int CountFilterValid(const QVariantMap &session);

    // True when the item must be left out because of the filters.
    bool IsToBeFiltered(FilterItemFacts &item) const;
    bool IsToBeFiltered(const QString &path, const ItemInfo &lstatInfo) const;

    int count() const { return int(m_rows.size()); }
    bool copiesOnlyMatches() const { return m_copyOnlyMatches; }
    // executiveFilterArray, for the session run record and the log.
    const QVariantList &records() const { return m_records; }

    // The day "today" is taken from (tests fix it).
    void setClock(std::function<QDate()> today) { m_today = std::move(today); }

private:
    enum class Verdict { Match, NoMatch, Abort };
    Verdict rowMatches(const FilterRow &row, FilterItemFacts &item) const;
    bool accountMatches(const FilterRow::Text &criterion, bool owner,
                        FilterItemFacts &item) const;
    std::optional<QString> accountName(quint32 id, bool owner) const;

    std::vector<FilterRow> m_rows;
    QVariantList m_records;
    bool m_copyOnlyMatches = false;
    std::function<QDate()> m_today;
    // Account names by ID, looked up once per run.
    mutable QHash<quint32, std::optional<QString>> m_userNames;
    mutable QHash<quint32, std::optional<QString>> m_groupNames;
};

// Four-character form of a code in single quotes ('TEXT'); a zero code
// gives "''".
QString quotedFourCharCode(quint32 code);

} // namespace qm
