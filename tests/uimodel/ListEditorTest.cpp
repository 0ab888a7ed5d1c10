#include "uimodel/MultiListEditor.h"

#include "support/Documents.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace qm;

namespace {

struct Pair {
    int onOff;
    const char *source;
    const char *destination;
};

QVariantMap documentWithPairs(bool listOn, std::initializer_list<Pair> pairs)
{
    QVariantMap session = SessionDefaults::session(1, "S");
    session["multiOn"] = qlonglong(listOn ? 1 : 0);
    QVariantList rows;
    for (const Pair &p : pairs)
        rows << QVariantMap{{"onOff", qlonglong(p.onOff)}, {"source", p.source}, {"destination", p.destination}};
    return qmtest::documentOf({qmtest::withRows(session, "multiArray", rows)});
}

struct AddedVolumes {
    QStringList paths;
    MultiListEditor::VolumeAdder adder()
    {
        return [this](QVariantMap *session, const QString &path) {
            paths << path;
            session->insert("autoMountOn", qlonglong(1));
        };
    }
};

struct MultiApplyCase {
    const char *name;
    bool listOn;
    std::initializer_list<Pair> pairs;
    const char *warning; // "" = stored
};

const MultiApplyCase kMultiApplyCases[] = {
    {"OffListStoresWhateverItHolds", false, {{1, "/a", "/a"}}, ""},
    {"OnePairStored", true, {{1, "/a", "/b"}}, ""},
    {"OnlyHalfRowsIsEmpty", true, {{1, "/a", ""}, {1, "", "/b"}}, "Can't set an empty Multi list."},
    {"OnlyRowsSwitchedOffIsEmpty", true, {{0, "/a", "/b"}}, "Can't set an empty Multi list."},
    {"NothingAtAllIsEmpty", true, {}, "Can't set an empty Multi list."},
    {"SameFolderAtRowThree",
     true,
     {{1, "/a", "/b"}, {1, "", ""}, {1, "/x/y", "/x/y"}},
     "Can't set the same folder:\r\"/x/y\"\ras source and destination at the row 3."},
    {"SameFolderWithTrailingSlash", true, {{1, "/x/y/", "/x/y"}},
     "Can't set the same folder:\r\"/x/y/\"\ras source and destination at the row 1."},
    {"SameFolderInARowSwitchedOffIgnored", true, {{0, "/a", "/a"}, {1, "/a", "/b"}}, ""},
    {"FirstFaultBeforeLaterPairs", true, {{1, "/a", "/a"}, {1, "/c", "/c"}},
     "Can't set the same folder:\r\"/a\"\ras source and destination at the row 1."},
};

class MultiApply : public testing::TestWithParam<MultiApplyCase> {};

TEST_P(MultiApply, ValidatesBeforeStoring)
{
    const MultiApplyCase &c = GetParam();
    QVariantMap doc = documentWithPairs(c.listOn, c.pairs);
    const QVariantMap before = doc;
    MultiListEditor editor(nullptr);
    ASSERT_TRUE(editor.load(doc));
    editor.setSwitchTitle("Multi");
    const ListApplyResult result = editor.apply(1, false, doc, false);
    EXPECT_EQ(result.warning, QString::fromUtf8(c.warning));
    EXPECT_EQ(result.stored, QString::fromUtf8(c.warning).isEmpty());
    EXPECT_EQ(result.stayInPanel, !result.stored);
    if (!result.stored) {
        EXPECT_EQ(doc, before);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, MultiApply, testing::ValuesIn(kMultiApplyCases),
                         [](const auto &info) { return std::string(info.param.name); });

struct ApplyButtonCase {
    const char *name;
    int tag;
    bool option;
    bool runUnderway;
    bool stored;
    bool stay;
};

const ApplyButtonCase kApplyButtonCases[] = {
    {"ApplyStoresAndLeaves", 1, false, false, true, false},
    {"OptionApplyStoresAndStays", 1, true, false, true, true},
    {"CancelLeavesWithoutStoring", ListEditor::kCancelTag, false, false, false, false},
    {"OptionCancelStillLeaves", ListEditor::kCancelTag, true, false, false, false},
    {"RunUnderwayStoresNothing", 1, false, true, false, true},
};

class ListApplyButtons : public testing::TestWithParam<ApplyButtonCase> {};

TEST_P(ListApplyButtons, StoreOrLeaveTheSessionUntouched)
{
    const ApplyButtonCase &c = GetParam();
    QVariantMap doc = documentWithPairs(true, {{1, "/a", "/b"}});
    const QVariantMap before = doc;
    MultiListEditor editor(nullptr);
    ASSERT_TRUE(editor.load(doc));
    editor.click(0, 0, {});                     // row 1 off
    editor.setPath(1, MultiListEditor::SourceColumn, "/c");
    editor.setPath(1, MultiListEditor::DestinationColumn, "/d");
    editor.setListOn(false);
    EXPECT_EQ(doc, before) << "editing touched the session";

    const ListApplyResult result = editor.apply(c.tag, c.option, doc, c.runUnderway);
    EXPECT_EQ(result.stored, c.stored);
    EXPECT_EQ(result.stayInPanel, c.stay);
    EXPECT_TRUE(result.warning.isEmpty());
    if (!c.stored) {
        EXPECT_EQ(doc, before);
        return;
    }
    const QVariantMap s = qmtest::sessionAt(doc, 0);
    EXPECT_EQ(s["multiOn"].toLongLong(), 0);
    const QVariantList rows = s["multiArray"].toList();
    ASSERT_EQ(rows.size(), kSessionRowCount);
    EXPECT_EQ(rows[0].toMap()["onOff"].toLongLong(), 0);
    EXPECT_EQ(rows[1].toMap()["source"].toString(), "/c");
    EXPECT_EQ(rows[1].toMap()["destination"].toString(), "/d");
}

INSTANTIATE_TEST_SUITE_P(Cases, ListApplyButtons, testing::ValuesIn(kApplyButtonCases),
                         [](const auto &info) { return std::string(info.param.name); });

struct ClickCase {
    const char *name;
    bool listOn;
    int row;
    int column;
    ClickKeys keys;
    ListClick::Action action;
    QVariantMap rowAfter; // row 0 after the click; empty = unchanged
};

const ClickCase kClickCases[] = {
    {"OnOffColumnTurnsOff", true, 0, 0, {}, ListClick::Action::Changed,
     {{"onOff", 0LL}, {"source", "/src/a"}, {"destination", "/dst/b"}}},
    {"SwitchOffShowsAlertAndChangesNothing", false, 0, 0, {}, ListClick::Action::ListOff, {}},
    {"SwitchOffPathCellToo", false, 0, 1, {false, true}, ListClick::Action::ListOff, {}},
    {"BelowTheRowsOnlyClears", true, kSessionRowCount, 0, {}, ListClick::Action::None, {}},
    {"ColumnAboveTwoOnlyClears", true, 0, 3, {}, ListClick::Action::None, {}},
    {"OutsideClearsEvenWhenOff", false, -1, 0, {}, ListClick::Action::None, {}},
    {"OptionEmptiesSource", true, 0, 1, {false, true}, ListClick::Action::Changed,
     {{"onOff", 1LL}, {"source", ""}, {"destination", "/dst/b"}}},
    {"OptionEmptiesDestination", true, 0, 2, {false, true}, ListClick::Action::Changed,
     {{"onOff", 1LL}, {"source", "/src/a"}, {"destination", ""}}},
    {"ControlReveals", true, 0, 2, {true, false}, ListClick::Action::Reveal, {}},
    {"PlainClickChooses", true, 0, 1, {}, ListClick::Action::ChoosePath, {}},
};

class MultiClick : public testing::TestWithParam<ClickCase> {};

TEST_P(MultiClick, ActsByColumn)
{
    const ClickCase &c = GetParam();
    QVariantMap doc = documentWithPairs(c.listOn, {{1, "/src/a", "/dst/b"}});
    MultiListEditor editor(nullptr);
    editor.load(doc);
    editor.setSwitchTitle("Multiple");
    const QVariantMap before = editor.rowAt(0);
    const ListClick click = editor.click(c.row, c.column, c.keys);
    EXPECT_EQ(click.action, c.action);
    EXPECT_EQ(editor.rowAt(0), c.rowAfter.isEmpty() ? before : c.rowAfter);
    if (c.action == ListClick::Action::ListOff) {
        EXPECT_EQ(click.title, "The Multiple list is off:");
        EXPECT_EQ(click.message, "In order to edit the Multiple list, mark the check-box \"Multiple\".");
    }
    if (c.action == ListClick::Action::Reveal) {
        EXPECT_EQ(click.path, "/dst/b");
    }
    if (c.action == ListClick::Action::ChoosePath) {
        EXPECT_EQ(click.title, "Choose the source Folder");
        EXPECT_EQ(click.buttonTitle, "Choose");
        EXPECT_EQ(click.path, QDir::homePath()) << "a missing folder starts at home";
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, MultiClick, testing::ValuesIn(kClickCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(MultiListEditor, OnOffMarkFlipsAnythingButOneToOne)
{
    QVariantMap doc = documentWithPairs(true, {{7, "/a", "/b"}, {1, "/c", "/d"}});
    MultiListEditor editor(nullptr);
    editor.load(doc);
    EXPECT_EQ(editor.data(editor.index(0, 0)).toString(), "-");
    EXPECT_EQ(editor.data(editor.index(1, 0)).toString(), "•");
    editor.click(0, 0, {});
    EXPECT_EQ(editor.rowAt(0)["onOff"].toLongLong(), 1);
}

TEST(MultiListEditor, ChooserStartsAtAnExistingCell)
{
    const QString existing = QDir::tempPath();
    QVariantMap doc = documentWithPairs(true, {{1, qPrintable(existing), "/b"}});
    MultiListEditor editor(nullptr);
    editor.load(doc);
    EXPECT_EQ(editor.click(0, 1, {}).path, existing);
    EXPECT_EQ(editor.click(0, 2, {}).title, "Choose the destination Folder");
}

TEST(MultiListEditor, TableShowsLastComponentsAndGraysWhileOff)
{
    QVariantMap doc = documentWithPairs(true, {{1, "/src/a/", "/"}});
    MultiListEditor editor(nullptr);
    QAbstractItemModelTester tester(&editor, QAbstractItemModelTester::FailureReportingMode::Fatal);
    editor.load(doc);
    ASSERT_EQ(editor.rowCount(), kSessionRowCount);
    ASSERT_EQ(editor.columnCount(), 3);
    EXPECT_EQ(editor.data(editor.index(0, 1)).toString(), "a");
    EXPECT_EQ(editor.data(editor.index(0, 2)).toString(), "/");
    EXPECT_EQ(editor.data(editor.index(0, 1), ListEditor::PathRole).toString(), "/src/a/");
    EXPECT_FALSE(editor.data(editor.index(5, 1), ListEditor::GrayRole).toBool());
    EXPECT_TRUE(editor.flags(editor.index(5, 1)) & Qt::ItemIsSelectable);

    QSignalSpy changed(&editor, &QAbstractItemModel::dataChanged);
    editor.setListOn(false);
    EXPECT_EQ(changed.count(), 1) << "every row is redrawn gray";
    EXPECT_TRUE(editor.data(editor.index(5, 1), ListEditor::GrayRole).toBool());
    EXPECT_FALSE(editor.flags(editor.index(5, 1)) & Qt::ItemIsSelectable);
}

TEST(MultiListEditor, PickedAndDroppedVolumesJoinOnlyOnApply)
{
    QVariantMap doc = documentWithPairs(true, {{1, "/a", "/b"}});
    AddedVolumes volumes;
    MultiListEditor editor(volumes.adder());
    editor.load(doc);
    EXPECT_FALSE(editor.drop(0, 0, {"/x"})) << "the mark column takes no drop";
    EXPECT_TRUE(editor.drop(0, 1, {"/media/usb/one", "/ignored"}));
    editor.setPath(1, 1, "/media/usb/replaced");
    editor.setPath(1, 1, "/mnt/disk/kept");
    editor.setPath(1, 2, "/mnt/disk/other");
    EXPECT_TRUE(volumes.paths.isEmpty());

    editor.apply(ListEditor::kCancelTag, false, doc, false);
    EXPECT_TRUE(volumes.paths.isEmpty()) << "cancel adds no volume";

    ASSERT_TRUE(editor.apply(1, false, doc, false).stored);
    EXPECT_EQ(volumes.paths, QStringList({"/media/usb/one", "/mnt/disk/kept", "/mnt/disk/other"}));
    EXPECT_EQ(qmtest::sessionAt(doc, 0)["autoMountOn"].toLongLong(), 1) << "the adder works on the stored session";

    editor.setListOn(false);
    EXPECT_FALSE(editor.drop(0, 1, {"/y"})) << "no drop while off";
}

TEST(ListEditor, LoadRefusesWithoutCurrentSessionAndPathMenuListsAncestors)
{
    QVariantMap doc = documentWithPairs(true, {{1, "/a", "/b"}});
    doc["sessionIndex"] = 1; // All Sessions
    MultiListEditor editor(nullptr);
    EXPECT_FALSE(editor.load(doc));
    EXPECT_EQ(editor.store(doc), QString());
    EXPECT_EQ(qmtest::sessionAt(doc, 0), qmtest::sessionAt(documentWithPairs(true, {{1, "/a", "/b"}}), 0));

    EXPECT_EQ(ListEditor::pathAncestors("/home/me/file.txt"),
              QStringList({"/", "/home", "/home/me", "/home/me/file.txt"}));
    EXPECT_EQ(ListEditor::pathAncestors("/"), QStringList({"/"}));
    EXPECT_TRUE(ListEditor::pathAncestors("").isEmpty());
}

} // namespace
