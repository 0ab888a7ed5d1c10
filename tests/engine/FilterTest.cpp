#include "engine/ExcludeList.h"
#include "engine/ExcludeListBootItems.h"
#include "engine/Filter.h"
#include "engine/FilterRowRules.h"
#include "fs/CatalogInfo.h"
#include "support/Files.h"
#include <QDir>
#include <QFile>
#include <unistd.h>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qm;

namespace {

// An item whose facts are given, counting which expensive facts were asked.
struct FakeItem : FilterItemFacts {
    QString itemPath;
    ItemInfo lstat;
    std::optional<QDateTime> created = QDateTime(QDate(2024, 5, 10), QTime(13, 0));
    std::optional<QDateTime> modified = QDateTime(QDate(2024, 6, 1), QTime(8, 0));
    std::optional<FinderCodes> finder = FinderCodes{0x54455854 /* TEXT */, 0x74747874 /* ttxt */};
    std::optional<bool> folder; // following links; nullopt = missing
    int creationAsked = 0;

    explicit FakeItem(const QString &path = "/data/Report.TXT", bool isFolder = false)
        : itemPath(path), folder(isFolder)
    {
        lstat.kind = ItemKind::File;
        lstat.uid = lstat.gid = 0;
    }
    QString path() const override { return itemPath; }
    std::optional<ItemInfo> info() override
    {
        return lstat.exists() ? std::optional<ItemInfo>(lstat) : std::nullopt;
    }
    std::optional<QDateTime> creationDate() override { ++creationAsked; return created; }
    std::optional<QDateTime> modificationDate() override { return modified; }
    std::optional<FinderCodes> codes() override { return finder; }
    std::optional<bool> isFolderFollowingLinks() override { return folder; }
};

QVariantMap filterRow(const QVariantMap &criteria)
{
    QVariantMap row{{"onOff", 1}, {"filterNameField", "row"}};
    for (auto it = criteria.begin(); it != criteria.end(); ++it)
        row.insert(it.key(), it.value());
    return row;
}

// A row with one criterion that compares `text` ("FileName", "Type", "Owner"...).
QVariantMap textRow(const char *which, int op, const QString &text)
{
    const QString base = QString("filter%1").arg(which);
    return filterRow({{base + "On", 1}, {base + "Pop", op}, {base + "Field", text}});
}

QVariantMap nameRow(int op, const QString &text) { return textRow("FileName", op, text); }

QVariantMap kindRow(int op) { return filterRow({{"filterKindOn", 1}, {"filterKindPop", op}}); }

QVariantMap dateRow(const char *which, int op, int y, int m, int d)
{
    const QString base = QString("filter%1Date").arg(which);
    return filterRow({{base + "On", 1}, {base + "Pop", op}, {base + "Year", y},
                      {base + "Month", m}, {base + "Day", d}});
}

// A filter list in skip mode (filterCopySkip 2) unless told otherwise.
FilterList listOf(const QVariantList &rows, int copySkip = 2)
{
    FilterList list;
    list.CountFilterValid({{"filterArray", rows}, {"filterCopySkip", copySkip}});
    list.setClock([] { return QDate(2024, 6, 1); });
    return list;
}

// In skip mode "filtered" means "the item matched a row".
bool matches(const QVariantMap &row, FakeItem &item) { return listOf({row}).IsToBeFiltered(item); }

bool nameMatches(int op, const QString &text, const QString &name)
{
    FakeItem item("/data/" + name);
    return matches(nameRow(op, text), item);
}

ItemInfo lstatOf(const QString &path)
{
    ItemInfo info;
    ReadCatalogInfo(path, &info);
    return info;
}

} // namespace

TEST(FilterList, KeepsOnlyRowsThatAreOnAndHaveACriterionInRowOrder)
{
    QVariantMap off = nameRow(0, "a");
    off["onOff"] = 0;
    QVariantMap criterionOff = nameRow(0, "b");
    criterionOff["filterFileNameOn"] = 0;
    const QVariantList rows{off, nameRow(0, "x"), filterRow({}), criterionOff, nameRow(0, "y")};
    FilterList list;
    EXPECT_EQ(list.CountFilterValid({{"filterArray", rows}}), 2);
    ASSERT_EQ(list.records().size(), 2);
    EXPECT_EQ(list.records()[0].toMap().value("filterFileNameField"), "x");
    EXPECT_EQ(list.records()[1].toMap().value("filterFileNameField"), "y");
    EXPECT_EQ(list.CountFilterValid({}), 0) << "a session without a list has no rows";
    FakeItem item;
    EXPECT_FALSE(list.IsToBeFiltered(item)) << "no rows: nothing is filtered, in either mode";
}

TEST(FilterList, FileNameOperatorsIgnoreCase)
{
    EXPECT_TRUE(nameMatches(FilterOp::Contains, "PORT", "report.txt"));
    EXPECT_FALSE(nameMatches(FilterOp::Contains, "xyz", "report.txt"));
    EXPECT_TRUE(nameMatches(FilterOp::BeginsWith, "REP", "report.txt"));
    EXPECT_FALSE(nameMatches(FilterOp::BeginsWith, "port", "report.txt"));
    EXPECT_FALSE(nameMatches(FilterOp::BeginsWith, "report.txt.bak", "report.txt"))
        << "a text longer than the name never begins it";
    EXPECT_TRUE(nameMatches(FilterOp::EndsWith, ".tmp", "A.TMP"));
    EXPECT_FALSE(nameMatches(FilterOp::EndsWith, ".tmp", "a.txt"));
    EXPECT_FALSE(nameMatches(FilterOp::EndsWith, "long.tmp", ".tmp"));
    EXPECT_TRUE(nameMatches(FilterOp::Is, "Notes", "NOTES"));
    EXPECT_FALSE(nameMatches(FilterOp::Is, "Notes", "Notes2"));
    EXPECT_TRUE(nameMatches(FilterOp::IsNot, "Notes", "Notes2"));
    EXPECT_FALSE(nameMatches(FilterOp::IsNot, "notes", "NOTES"));
    EXPECT_TRUE(nameMatches(FilterOp::DoesNotContain, "tmp", "report.txt"));
    EXPECT_FALSE(nameMatches(FilterOp::DoesNotContain, "TMP", "x.tmp"));
    EXPECT_FALSE(nameMatches(6, "x", "x")) << "an operator outside the menu never matches";
    EXPECT_FALSE(nameMatches(-1, "x", "x"));
    // Only the last path component is the name.
    EXPECT_FALSE(nameMatches(FilterOp::Contains, "data", "report.txt"));
}

TEST(FilterList, DateOperatorsCompareWholeLocalDays)
{
    FakeItem item; // created 2024-05-10 13:00 local, modified 2024-06-01 (today)
    EXPECT_TRUE(matches(dateRow("Creation", FilterOp::SameDay, 2024, 5, 10), item));
    EXPECT_FALSE(matches(dateRow("Creation", FilterOp::SameDay, 2024, 5, 11), item));
    EXPECT_TRUE(matches(dateRow("Creation", FilterOp::Before, 2024, 5, 11), item));
    EXPECT_FALSE(matches(dateRow("Creation", FilterOp::Before, 2024, 5, 10), item))
        << "the same day is not before it, whatever the hour";
    EXPECT_TRUE(matches(dateRow("Creation", FilterOp::After, 2024, 5, 9), item));
    EXPECT_FALSE(matches(dateRow("Creation", FilterOp::After, 2024, 5, 10), item));
    EXPECT_TRUE(matches(dateRow("Creation", FilterOp::NotSameDay, 2023, 5, 10), item));
    EXPECT_FALSE(matches(dateRow("Creation", FilterOp::NotSameDay, 2024, 5, 10), item));
    EXPECT_FALSE(matches(dateRow("Creation", FilterOp::Separator, 2024, 5, 10), item))
        << "the separator item of the menu never matches";
    EXPECT_FALSE(matches(dateRow("Creation", 7, 2024, 5, 10), item));
    EXPECT_FALSE(matches(dateRow("Creation", FilterOp::Today, 2000, 1, 1), item));
    EXPECT_TRUE(matches(dateRow("Modification", FilterOp::Today, 2000, 1, 1), item));
    EXPECT_FALSE(matches(dateRow("Modification", FilterOp::Yesterday, 2000, 1, 1), item));
    item.modified = QDateTime(QDate(2024, 5, 31), QTime(23, 59, 59));
    EXPECT_TRUE(matches(dateRow("Modification", FilterOp::Yesterday, 2000, 1, 1), item));
    // A stored day that no calendar has never matches instead of wrapping.
    EXPECT_FALSE(matches(dateRow("Creation", FilterOp::NotSameDay, 2024, 2, 31), item));
    item.modified.reset();
    EXPECT_FALSE(matches(dateRow("Modification", FilterOp::NotSameDay, 2000, 1, 1), item));
}

TEST(FilterList, AnItemWithoutCreationDateEndsTheEvaluationAsNoMatch)
{
    FakeItem item;
    item.created.reset();
    const QVariantMap today = dateRow("Creation", FilterOp::Today, 2024, 6, 1);
    const QVariantMap anyName = nameRow(FilterOp::Contains, "");
    // Skip mode: not matched, so copied, even though the next row would match.
    EXPECT_FALSE(listOf({today, anyName}, 2).IsToBeFiltered(item));
    // Copy-only mode: not matched, so left out.
    EXPECT_TRUE(listOf({today, anyName}, 1).IsToBeFiltered(item));
    // A name that fails first keeps the date from being read at all.
    FakeItem other;
    other.created.reset();
    QVariantMap both = nameRow(FilterOp::Is, "nothing");
    both.insert(dateRow("Creation", FilterOp::Today, 2024, 6, 1));
    EXPECT_TRUE(listOf({both, anyName}, 2).IsToBeFiltered(other))
        << "the second row is reached when the first fails on its name";
    EXPECT_EQ(other.creationAsked, 0);
}

TEST(FilterList, TypeAndCreatorCodesAreCaseSensitive)
{
    FakeItem item;
    const auto code = textRow;
    EXPECT_TRUE(matches(code("Type", FilterOp::CodeIs, "TEXT"), item));
    EXPECT_FALSE(matches(code("Type", FilterOp::CodeIs, "text"), item));
    EXPECT_TRUE(matches(code("Type", FilterOp::CodeIsNot, "text"), item));
    EXPECT_FALSE(matches(code("Type", FilterOp::CodeIs, "TEX"), item));
    EXPECT_TRUE(matches(code("Creator", FilterOp::CodeIs, "ttxt"), item));
    EXPECT_FALSE(matches(code("Creator", FilterOp::CodeIsNot, "ttxt"), item));
    EXPECT_FALSE(matches(code("Creator", 2, "ttxt"), item));
    item.finder.reset(); // attributes that cannot be read fail both operators
    EXPECT_FALSE(matches(code("Type", FilterOp::CodeIs, "TEXT"), item));
    EXPECT_FALSE(matches(code("Type", FilterOp::CodeIsNot, "TEXT"), item));
    EXPECT_EQ(quotedFourCharCode(0x54455854), "'TEXT'");
    EXPECT_EQ(quotedFourCharCode(0), "''");
}

TEST(FilterList, KindTellsFoldersFromEverythingElse)
{
    const auto kind = kindRow;
    FakeItem item;
    EXPECT_TRUE(matches(kind(FilterOp::NotAFolder), item));
    EXPECT_FALSE(matches(kind(FilterOp::AFolder), item));
    item.folder = true;
    EXPECT_TRUE(matches(kind(FilterOp::AFolder), item));
    EXPECT_FALSE(matches(kind(FilterOp::NotAFolder), item));
    EXPECT_FALSE(matches(kind(2), item));
    item.folder.reset(); // a dangling link
    EXPECT_FALSE(matches(kind(FilterOp::NotAFolder), item));
    EXPECT_FALSE(matches(kind(FilterOp::AFolder), item));
}

TEST(FilterList, OwnerAndGroupByNameOrId)
{
    const auto account = textRow;
    FakeItem item; // owned by root:root (uid and gid 0)
    EXPECT_TRUE(matches(account("Owner", FilterOp::NameIs, "root"), item));
    EXPECT_FALSE(matches(account("Owner", FilterOp::NameIs, "ROOT"), item)) << "names are exact";
    EXPECT_TRUE(matches(account("Owner", FilterOp::NameIsNot, "nobody"), item));
    EXPECT_TRUE(matches(account("Owner", FilterOp::IdIs, "0"), item));
    EXPECT_FALSE(matches(account("Owner", FilterOp::IdIsNot, "0"), item));
    EXPECT_TRUE(matches(account("Group", FilterOp::NameIs, "root"), item));
    EXPECT_TRUE(matches(account("Group", FilterOp::IdIsNot, "65534"), item));
    // A text that is no number names no ID: it must not pick root's items.
    EXPECT_FALSE(matches(account("Owner", FilterOp::IdIs, "abc"), item));
    EXPECT_FALSE(matches(account("Owner", FilterOp::IdIsNot, "abc"), item));
    item.lstat.uid = 4000123; // an ID without an account
    EXPECT_FALSE(matches(account("Owner", FilterOp::NameIs, ""), item));
    EXPECT_TRUE(matches(account("Owner", FilterOp::IdIs, "4000123"), item));
    item.lstat.kind = ItemKind::Missing;
    EXPECT_FALSE(matches(account("Owner", FilterOp::NameIsNot, "x"), item));
}

TEST(FilterList, CriteriaOfOneRowAllMustMatchRowsAreAlternatives)
{
    QVariantMap nameAndFolder = nameRow(FilterOp::EndsWith, ".tmp");
    nameAndFolder.insert(kindRow(FilterOp::AFolder));
    FakeItem file("/d/x.tmp");
    EXPECT_FALSE(matches(nameAndFolder, file));
    file.folder = true;
    EXPECT_TRUE(matches(nameAndFolder, file));

    const FilterList either = listOf({nameRow(FilterOp::EndsWith, ".tmp"), kindRow(FilterOp::AFolder)});
    FakeItem tmp("/d/a.tmp"), folder("/d/f", true), neither("/d/a.txt");
    EXPECT_TRUE(either.IsToBeFiltered(tmp));
    EXPECT_TRUE(either.IsToBeFiltered(folder));
    EXPECT_FALSE(either.IsToBeFiltered(neither));
}

TEST(FilterList, CopyOnlyModeLeavesOutEverythingThatMatchesNothing)
{
    const FilterList copyOnly = listOf({nameRow(FilterOp::EndsWith, ".tmp")}, 1);
    const FilterList skip = listOf({nameRow(FilterOp::EndsWith, ".tmp")}, 2);
    const FilterList other = listOf({nameRow(FilterOp::EndsWith, ".tmp")}, 0);
    FakeItem tmp("/d/A.TMP"), txt("/d/a.txt"), folder("/d/Folder", true);
    EXPECT_FALSE(copyOnly.IsToBeFiltered(tmp));
    EXPECT_TRUE(copyOnly.IsToBeFiltered(txt));
    EXPECT_TRUE(copyOnly.IsToBeFiltered(folder)) << "folders are filtered like files";
    EXPECT_TRUE(skip.IsToBeFiltered(tmp));
    EXPECT_FALSE(skip.IsToBeFiltered(txt));
    EXPECT_TRUE(other.IsToBeFiltered(tmp)) << "every value but 1 means skip";
    EXPECT_TRUE(copyOnly.copiesOnlyMatches());
    EXPECT_FALSE(other.copiesOnlyMatches());
}


TEST(ExcludeList, ExcludesTheNamedItemsIgnoringCase)
{
    QVariantList rows{QVariantMap{{"onOff", 1}, {"itemToExclude", "/Users/Me/Notes"}},
                      QVariantMap{{"onOff", 0}, {"itemToExclude", "/Users/Me/Off"}},
                      QVariantMap{{"onOff", 1}, {"itemToExclude", ""}},
                      QVariantMap{{"onOff", 1}, {"itemToExclude", "/data/Folder/"}}};
    ExcludeList list;
    EXPECT_EQ(list.CountExcludeValid({{"excludeArray", rows}}), 2);
    EXPECT_EQ(list.paths(), (QStringList{"/Users/Me/Notes", "/data/Folder/"}));
    EXPECT_TRUE(list.IsToBeExcluded("/users/me/notes"));
    EXPECT_FALSE(list.IsToBeExcluded("/Users/Me/Off"));
    EXPECT_FALSE(list.IsToBeExcluded("/Users/Me/Notes2"));
    EXPECT_FALSE(list.IsToBeExcluded("/Users/Me/Notes/inner")) << "only the item itself";
    EXPECT_FALSE(list.IsToBeExcluded(""));
    EXPECT_TRUE(list.IsToBeExcluded("/data/folder")) << "a trailing slash names the same item";
    EXPECT_TRUE(list.IsInsideExcluded("/Users/Me/Notes/inner/x"));
    EXPECT_FALSE(list.IsInsideExcluded("/Users/Me"));
}

TEST(FolderPairList, GivesOneTaskPerUsableRow)
{
    QVariantList rows{QVariantMap{{"onOff", 1}, {"source", "/a"}, {"destination", "/b"}},
                      QVariantMap{{"onOff", 0}, {"source", "/c"}, {"destination", "/d"}},
                      QVariantMap{{"onOff", 1}, {"source", ""}, {"destination", "/e"}},
                      QVariantMap{{"onOff", 1}, {"source", "/f"}, {"destination", ""}},
                      QVariantMap{{"source", "/g"}, {"destination", "/h"}},
                      QVariantMap{{"onOff", 1}, {"source", "/i"}, {"destination", "/j"}}};
    FolderPairList pairs;
    ASSERT_EQ(pairs.CountMultiValid({{"multiArray", rows}}), 2);
    EXPECT_EQ(pairs.pairs()[0].source, "/a");
    EXPECT_EQ(pairs.pairs()[0].destination, "/b");
    EXPECT_EQ(pairs.pairs()[1].source, "/i");
    EXPECT_EQ(pairs.records().size(), 2);
    EXPECT_EQ(pairs.CountMultiValid({}), 0) << "the list is emptied before each count";
    EXPECT_TRUE(pairs.pairs().empty());
}


TEST(BootItems, StartupDiskTasksUseTheFixedEntriesOnly)
{
    BootItemsContext context;
    context.uid = 1000;
    context.ownFolders = {"/home/me/.local/share/Quillmere/", "/home/me/.local/share/Trash"};
    context.volumeRootOf = [](const QString &) { return QStringLiteral("/"); };
    BootItems items;
    items.MakeItemsToDontCopyList("/", "/home/me/backup", context);
    for (const char *folder : {"/dev", "/proc", "/sys", "/run", "/tmp", "/mnt", "/media"}) {
        EXPECT_TRUE(items.isCopiedEmpty(folder)) << folder;
        EXPECT_FALSE(items.isNeverCopied(folder)) << folder;
    }
    EXPECT_TRUE(items.isNeverCopied("/lost+found"));
    EXPECT_TRUE(items.isNeverCopied("/.Trash"));
    EXPECT_TRUE(items.isNeverCopied("/.Trash-1000"));
    EXPECT_TRUE(items.isNeverCopied("/home/me/.local/share/Quillmere"));
    EXPECT_TRUE(items.isNeverCopied("/home/me/.local/share/Trash"));
    EXPECT_FALSE(items.isNeverCopied("/home"));
    EXPECT_FALSE(items.isCopiedEmpty("/dev/sda")) << "entries match whole paths only";
    EXPECT_FALSE(items.isCopiedEmpty("/Dev"));
    for (const QString &entry : items.itemsToDontCopy())
        EXPECT_FALSE(entry.startsWith("/home/me/backup")) << qPrintable(entry);
}

TEST(BootItems, AnotherVolumeGetsItsOwnPrefixedEntries)
{
    QTemporaryDir volume; // stands for the mount point of a volume named Backup
    ASSERT_TRUE(QDir(volume.path()).mkpath(".Trash-1234"));
    ASSERT_TRUE(QDir(volume.path()).mkpath("lost+found"));
    const QString root = volume.path();
    BootItemsContext context;
    context.uid = 1000;
    context.volumeRootOf = [root](const QString &path) {
        return path.startsWith(root) ? root : QStringLiteral("/");
    };
    BootItems items;
    items.MakeItemsToDontCopyList(root + "/Work", "/home/me/Work", context);
    EXPECT_TRUE(items.isNeverCopied("/.Trash"));
    EXPECT_TRUE(items.isNeverCopied(root + "/.Trash"));
    EXPECT_TRUE(items.isNeverCopied(root + "/lost+found"));
    EXPECT_TRUE(items.isNeverCopied(root + "/.Trash-1000"));
    EXPECT_TRUE(items.isNeverCopied(root + "/.Trash-1234")) << "other accounts' trash too";
    // The system folders of the start-up disk are not looked for on other
    // volumes, where a folder named "dev" is the user's own.
    EXPECT_FALSE(items.isCopiedEmpty(root + "/dev"));
    // Rebuilding for another task forgets the volume.
    items.MakeItemsToDontCopyList("/home/me/a", "/home/me/b", context);
    EXPECT_FALSE(items.isNeverCopied(root + "/.Trash"));
    EXPECT_EQ(items.itemsToDontCopy().count(root + "/lost+found"), 0);
}


TEST(DiskFilterItemFacts, ReadsKindCodesAndDatesFromTheDisk)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    ASSERT_TRUE(QDir(root).mkpath("Folder"));
    ASSERT_TRUE(QDir(root).mkpath("Tool.app"));
    ASSERT_TRUE(qmtest::writeBytes(root + "/doc.txt", {}));
    ASSERT_TRUE(QFile::link(root + "/Folder", root + "/toFolder"));
    ASSERT_TRUE(QFile::link(root + "/doc.txt", root + "/toDoc"));
    ASSERT_TRUE(QFile::link(root + "/gone", root + "/dangling"));

    CatalogInfo set;
    set.finderInfo.setFileType(fourCharCode("TEXT"));
    set.finderInfo.setCreator(fourCharCode("ttxt"));
    set.creationDate.tv_sec = QDateTime(QDate(2001, 2, 3), QTime(12, 0)).toSecsSinceEpoch();
    const OSStatus written = WriteCatalogInfo(root + "/doc.txt", set, kCatFinderInfo | kCatCreateDate);
    if (written != Status::noErr)
        GTEST_SKIP() << "this file system keeps no extended attributes (status " << written << ")";

    const FilterList folders = listOf({kindRow(FilterOp::AFolder)});
    for (const char *name : {"Folder", "toFolder"})
        EXPECT_TRUE(folders.IsToBeFiltered(root + "/" + name, lstatOf(root + "/" + name))) << name;
    for (const char *name : {"Tool.app", "doc.txt", "toDoc", "dangling"})
        EXPECT_FALSE(folders.IsToBeFiltered(root + "/" + name, lstatOf(root + "/" + name))) << name;

    QVariantMap textRows = textRow("Type", FilterOp::CodeIs, "TEXT");
    textRows.insert(textRow("Creator", FilterOp::CodeIs, "ttxt"));
    const FilterList text = listOf({textRows});
    EXPECT_TRUE(text.IsToBeFiltered(root + "/doc.txt", lstatOf(root + "/doc.txt")));
    EXPECT_TRUE(text.IsToBeFiltered(root + "/toDoc", lstatOf(root + "/toDoc")))
        << "codes are read through a link";
    EXPECT_FALSE(text.IsToBeFiltered(root + "/Folder", lstatOf(root + "/Folder")));

    const FilterList created = listOf({dateRow("Creation", FilterOp::SameDay, 2001, 2, 3)});
    EXPECT_TRUE(created.IsToBeFiltered(root + "/doc.txt", lstatOf(root + "/doc.txt")));
    FilterList realToday = listOf({dateRow("Modification", FilterOp::Today, 2000, 1, 1)});
    realToday.setClock([] { return QDate::currentDate(); });
    EXPECT_TRUE(realToday.IsToBeFiltered(root + "/Folder", lstatOf(root + "/Folder")));

    const FilterList mine = listOf({textRow("Owner", FilterOp::IdIs, QString::number(::getuid()))});
    EXPECT_TRUE(mine.IsToBeFiltered(root + "/doc.txt", lstatOf(root + "/doc.txt")));
}


TEST(FilterRowRules, TheFirstFailingCheckNamesItsField)
{
    // The field that failed, or "ok".
    auto failure = [](const QVariantMap &row) {
        const FilterRowCheck c = CheckFilterRow(row);
        return c.ok ? QString("ok") : c.field;
    };
    EXPECT_EQ(CheckFilterRow(filterRow({})).message, "Please define a criteria for this filter.");
    EXPECT_EQ(failure(filterRow({})), "filterFileNameOn");
    EXPECT_EQ(CheckFilterRow(nameRow(0, "")).message, "Please insert a valid file name.");
    EXPECT_EQ(failure(nameRow(0, "")), "filterFileNameField");
    EXPECT_EQ(failure(nameRow(0, "x")), "ok");
    EXPECT_EQ(failure(dateRow("Creation", 0, 1903, 1, 1)), "filterCreationDateYear");
    EXPECT_EQ(failure(dateRow("Modification", 0, 2024, 13, 1)), "filterModificationDateMonth");
    EXPECT_EQ(failure(dateRow("Creation", 0, 2024, 4, 31)), "filterCreationDateDay");
    EXPECT_EQ(failure(dateRow("Creation", 0, 2024, 2, 29)), "ok");
    EXPECT_EQ(failure(dateRow("Creation", 0, 2100, 2, 29)), "filterCreationDateDay") << "no leap year";
    QVariantMap blankYear = dateRow("Creation", 0, 2024, 1, 1);
    blankYear["filterCreationDateYear"] = "";
    EXPECT_EQ(failure(blankYear), "filterCreationDateYear");
    EXPECT_EQ(failure(textRow("Group", 0, "")), "filterGroupField");
    EXPECT_EQ(failure(kindRow(0)), "ok");
}

TEST(FilterRowRules, TheDisplayNameJoinsTheCriteriaThatAreOn)
{
    QVariantMap row = nameRow(FilterOp::EndsWith, ".tmp");
    row.insert(dateRow("Modification", FilterOp::Before, 2024, 3, 9));
    row.insert(kindRow(FilterOp::AFolder));
    row.insert(textRow("Owner", FilterOp::IdIs, "501"));
    EXPECT_EQ(FilterDisplayName(row),
              "FN ends with \".tmp\" - MD is before \"3/9/2024\" - Kind folder - Owner ID is \"501\"");
    EXPECT_EQ(FilterDisplayName(dateRow("Creation", FilterOp::Today, 2024, 3, 9)), "CD is today")
        << "today and yesterday take no date";
}
