#include "uimodel/ExcludeListEditor.h"
#include "uimodel/FilterListEditor.h"
#include "uimodel/TimerListEditor.h"

#include "support/Documents.h"

#include <QAbstractItemModelTester>
#include <gtest/gtest.h>

using namespace qm;

namespace {

QVariantMap documentWithList(const char *switchKey, bool on, const char *listKey,
                             const std::vector<QVariantMap> &changes)
{
    QVariantMap session = SessionDefaults::session(1, "S");
    session[switchKey] = qlonglong(on ? 1 : 0);
    return qmtest::documentOf({qmtest::withRows(session, listKey, QVariantList(changes.begin(), changes.end()))});
}

struct EmptyListCase {
    const char *name;
    std::vector<QVariantMap> rows;
    bool accepted;
};

// Exclude list: a row counts when it is on and names an item.
const EmptyListCase kExcludeCases[] = {
    {"DefaultRowsAreEmpty", {}, false},
    {"RowOffDoesNotCount", {{{"onOff", 0LL}, {"itemToExclude", "/a"}}}, false},
    {"OnRowWithoutPathDoesNotCount", {{{"onOff", 1LL}}}, false},
    {"OneItemLaterDown", {{{"onOff", 0LL}, {"itemToExclude", "/a"}}, {{"itemToExclude", "/b"}}}, true},
};

class ExcludeApply : public testing::TestWithParam<EmptyListCase> {};

TEST_P(ExcludeApply, RefusesAnEmptyList)
{
    QVariantMap doc = documentWithList("excludeOn", true, "excludeArray", GetParam().rows);
    const QVariantMap before = doc;
    ExcludeListEditor editor;
    ASSERT_TRUE(editor.load(doc));
    const ListApplyResult r = editor.apply(1, false, doc, false);
    EXPECT_EQ(r.stored, GetParam().accepted);
    EXPECT_EQ(r.warning, GetParam().accepted ? QString() : QString("Can't set an empty Exclude list."));
    if (!r.stored) {
        EXPECT_EQ(doc, before);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ExcludeApply, testing::ValuesIn(kExcludeCases),
                         [](const auto &info) { return std::string(info.param.name); });

// Filter list: a row counts when it is on with some criterion on.
const EmptyListCase kFilterCases[] = {
    {"DefaultRowsAreEmpty", {}, false},
    {"NamedRowWithoutCriterion", {{{"filterNameField", "x"}}}, false},
    {"CriterionInRowOff", {{{"onOff", 0LL}, {"filterKindOn", 1LL}}}, false},
    {"GroupCriterionCounts", {{{"filterGroupOn", 1LL}, {"filterGroupField", "staff"}}}, true},
};

class FilterApply : public testing::TestWithParam<EmptyListCase> {};

TEST_P(FilterApply, RefusesAnEmptyListAndStoresTheMode)
{
    QVariantMap doc = documentWithList("filterOn", true, "filterArray", GetParam().rows);
    FilterListEditor editor;
    ASSERT_TRUE(editor.load(doc));
    EXPECT_EQ(editor.mode(), FilterListEditor::SkipMatching);
    editor.setMode(FilterListEditor::CopyMatching);
    const ListApplyResult r = editor.apply(1, true, doc, false);
    EXPECT_EQ(r.stored, GetParam().accepted);
    EXPECT_TRUE(r.stayInPanel);
    EXPECT_EQ(r.warning, GetParam().accepted ? QString() : QString("Can't set an empty Filter list."));
    EXPECT_EQ(qmtest::sessionAt(doc, 0)["filterCopySkip"].toLongLong(),
              r.stored ? FilterListEditor::CopyMatching : FilterListEditor::SkipMatching);
}

INSTANTIATE_TEST_SUITE_P(Cases, FilterApply, testing::ValuesIn(kFilterCases),
                         [](const auto &info) { return std::string(info.param.name); });

struct PanelClickCase {
    const char *name;
    int column;
    ClickKeys keys;
    ListClick::Action action;
};

const PanelClickCase kExcludeClicks[] = {
    {"OptionEmptiesAndSwitchesOn", 1, {false, true}, ListClick::Action::Changed},
    {"ControlReveals", 1, {true, false}, ListClick::Action::Reveal},
    {"PlainClickChooses", 1, {}, ListClick::Action::ChoosePath},
    {"SecondColumnOnlyClears", 2, {}, ListClick::Action::None},
};

class ExcludeClick : public testing::TestWithParam<PanelClickCase> {};

TEST_P(ExcludeClick, ActsOnThePathColumn)
{
    const PanelClickCase &c = GetParam();
    QVariantMap doc = documentWithList("excludeOn", true, "excludeArray",
                                       {{{"onOff", 0LL}, {"itemToExclude", "/gone/item"}}});
    ExcludeListEditor editor;
    QAbstractItemModelTester tester(&editor, QAbstractItemModelTester::FailureReportingMode::Fatal);
    editor.load(doc);
    EXPECT_EQ(editor.data(editor.index(0, 1)).toString(), "/gone/item");
    const ListClick click = editor.click(0, c.column, c.keys);
    EXPECT_EQ(click.action, c.action);
    const QVariantMap row = editor.rowAt(0);
    const bool emptied = c.action == ListClick::Action::Changed;
    EXPECT_EQ(row["itemToExclude"].toString(), emptied ? "" : "/gone/item");
    EXPECT_EQ(row["onOff"].toLongLong(), emptied ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, ExcludeClick, testing::ValuesIn(kExcludeClicks),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ExcludeListEditor, DropsOnARowNameItsItemWhileOn)
{
    QVariantMap doc = documentWithList("excludeOn", true, "excludeArray", {});
    ExcludeListEditor editor;
    editor.load(doc);
    EXPECT_FALSE(editor.drop(0, 2, {"/x"})) << "no such column";
    EXPECT_TRUE(editor.drop(3, 1, {"/x", "/y"}));
    EXPECT_EQ(editor.rowAt(3)["itemToExclude"].toString(), "/x");
    EXPECT_TRUE(editor.drop(5, 0, {"/on/the/mark"}));
    EXPECT_EQ(editor.rowAt(5)["itemToExclude"].toString(), "/on/the/mark");
    editor.setListOn(false);
    EXPECT_FALSE(editor.drop(4, 1, {"/x"}));
    EXPECT_EQ(editor.click(3, 1, {}).action, ListClick::Action::ListOff);
}

TEST(FilterListEditor, OptionClickResetsEveryCriterionAndPlainClickEdits)
{
    QVariantMap full = SessionDefaults::filterRow();
    for (auto it = full.begin(); it != full.end(); ++it) {
        if (it.key().endsWith("On") || it.key().endsWith("Pop"))
            it.value() = 1LL;
        else if (it.value().typeId() == QMetaType::QString)
            it.value() = QString("text");
    }
    full["onOff"] = 0LL;
    QVariantMap doc = documentWithList("filterOn", true, "filterArray", {full, full});
    FilterListEditor editor;
    QAbstractItemModelTester tester(&editor, QAbstractItemModelTester::FailureReportingMode::Fatal);
    editor.load(doc);
    EXPECT_EQ(editor.data(editor.index(0, 1)).toString(), "text");

    EXPECT_EQ(editor.click(0, 2, {false, true}).action, ListClick::Action::Changed);
    EXPECT_EQ(editor.rowAt(0), SessionDefaults::filterRow()) << "owner and group too";
    const ListClick edit = editor.click(1, 1, {});
    EXPECT_EQ(edit.action, ListClick::Action::EditRow);
    EXPECT_EQ(edit.row, 1);
    EXPECT_EQ(editor.rowAt(1), full);
}

TEST(FilterRowForm, OpensWithFilterNAndStoresTheBuiltName)
{
    FilterRowForm form(SessionDefaults::filterRow(), 4);
    EXPECT_EQ(form.nameField(), "Filter 5");
    QVariantMap row = SessionDefaults::filterRow();
    const QVariantMap before = row;
    FilterRowCheck check = form.confirm(&row);
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.message, "Please define a criteria for this filter.");
    EXPECT_EQ(row, before);

    form.setValue("filterKindOn", 1LL);
    form.setValue("filterKindPop", 1LL);
    EXPECT_TRUE(form.criterionEnabled("filterKindOn"));
    EXPECT_FALSE(form.criterionEnabled("filterOwnerOn"));
    check = form.confirm(&row);
    ASSERT_TRUE(check.ok);
    EXPECT_EQ(row["filterKindOn"].toLongLong(), 1);
    EXPECT_EQ(row["filterNameField"].toString(), FilterDisplayName(form.fields()));
    EXPECT_FALSE(row["filterNameField"].toString().isEmpty());

    FilterRowForm named(row, 4);
    EXPECT_EQ(named.nameField(), row["filterNameField"].toString());
}

struct DayCase {
    const char *name;
    int day;
    int month;
    int year;
    int maximum;
    int dayAfter;
};

const DayCase kDayCases[] = {
    {"LeapFebruary2008", 31, 2, 2008, 29, 29},
    {"February2009", 29, 2, 2009, 28, 28},
    {"February2100HasNo29th", 29, 2, 2100, 28, 28},
    {"February2000", 30, 2, 2000, 29, 29},
    {"April", 31, 4, 2010, 30, 30},
    {"DayWithinStays", 12, 6, 2010, 30, 12},
    {"December", 31, 12, 2010, 31, 31},
};

class FilterDateSteppers : public testing::TestWithParam<DayCase> {};

TEST_P(FilterDateSteppers, MonthOrYearChangeClampsTheDay)
{
    const DayCase &c = GetParam();
    using D = FilterRowForm::DateCriterion;
    FilterRowForm byMonth(SessionDefaults::filterRow(), 0);
    byMonth.setDateYear(D::Modification, c.year);
    byMonth.setDateDay(D::Modification, c.day);
    EXPECT_EQ(byMonth.setDateMonth(D::Modification, c.month), c.maximum);
    EXPECT_EQ(byMonth.value("filterModificationDateDay").toInt(), c.dayAfter);

    FilterRowForm byYear(SessionDefaults::filterRow(), 0);
    byYear.setDateMonth(D::Creation, c.month);
    byYear.setDateDay(D::Creation, c.day);
    EXPECT_EQ(byYear.setDateYear(D::Creation, c.year), c.maximum);
    EXPECT_EQ(byYear.value("filterCreationDateDay").toInt(), c.dayAfter);
    EXPECT_EQ(byYear.value("filterModificationDateDay").toInt(), 1) << "the other date is untouched";
}

INSTANTIATE_TEST_SUITE_P(Cases, FilterDateSteppers, testing::ValuesIn(kDayCases),
                         [](const auto &info) { return std::string(info.param.name); });

struct DateOperatorCase {
    const char *name;
    int pop;
    QDate filled; // invalid = the fields keep their values
};

const DateOperatorCase kDateOperators[] = {
    {"IsToday", FilterRowForm::kIsToday, QDate(2008, 3, 1)},
    {"IsYesterdayCrossesIntoLeapDay", FilterRowForm::kIsYesterday, QDate(2008, 2, 29)},
    {"IsBeforeKeepsTheFields", 1, QDate()},
};

class FilterDateOperator : public testing::TestWithParam<DateOperatorCase> {};

TEST_P(FilterDateOperator, TodayAndYesterdayFillAndDisable)
{
    const DateOperatorCase &c = GetParam();
    using D = FilterRowForm::DateCriterion;
    FilterRowForm form(SessionDefaults::filterRow(), 0);
    form.setValue("filterCreationDateOn", 1LL);
    const bool selectMonth = form.chooseDateOperator(D::Creation, c.pop, QDate(2008, 3, 1));
    EXPECT_EQ(selectMonth, !c.filled.isValid());
    EXPECT_EQ(form.dateFieldsEnabled(D::Creation), !c.filled.isValid());
    const QDate shown(form.value("filterCreationDateYear").toInt(), form.value("filterCreationDateMonth").toInt(),
                      form.value("filterCreationDateDay").toInt());
    EXPECT_EQ(shown, c.filled.isValid() ? c.filled : QDate(2002, 1, 1));
    EXPECT_FALSE(form.dateFieldsEnabled(D::Modification)) << "its box is off";
}

INSTANTIATE_TEST_SUITE_P(Cases, FilterDateOperator, testing::ValuesIn(kDateOperators),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(FilterRowForm, PickingFromAFileWithoutCodesEmptiesTheField)
{
    FilterRowForm form(SessionDefaults::filterRow(), 0);
    form.setValue("filterTypeField", "TEXT");
    EXPECT_EQ(form.pickCode(FilterRowForm::Code::Type, "/nonexistent/file"), "This file has not a Type.");
    EXPECT_EQ(form.value("filterTypeField").toString(), "");
    EXPECT_EQ(form.pickCode(FilterRowForm::Code::Creator, "/nonexistent/file"), "This file has not a Creator.");
}

// Timers.
const QDateTime kNow(QDate(2009, 2, 28), QTime(10, 30));

TEST(TimerListEditor, ClicksAndGrayCells)
{
    QVariantMap doc = documentWithList("timerOn", true, "timerArray",
                                       {{{"onOff", 0LL}, {"valid", 1LL}}, {{"onOff", 1LL}, {"valid", 1LL}}});
    TimerListEditor editor([] { return kNow; }, QLocale::c());
    QAbstractItemModelTester tester(&editor, QAbstractItemModelTester::FailureReportingMode::Fatal);
    editor.load(doc);
    EXPECT_FALSE(editor.data(editor.index(0, 0), ListEditor::GrayRole).toBool());
    EXPECT_TRUE(editor.data(editor.index(0, 1), ListEditor::GrayRole).toBool()) << "row off";
    EXPECT_FALSE(editor.data(editor.index(1, 2), ListEditor::GrayRole).toBool());

    EXPECT_EQ(editor.click(1, 1, {}).action, ListClick::Action::EditRow);
    EXPECT_EQ(editor.click(1, 2, {false, true}).action, ListClick::Action::Changed);
    EXPECT_EQ(editor.rowAt(1)["valid"].toLongLong(), 0);
    EXPECT_EQ(editor.rowAt(1)["start"].toDateTime(), kNow);
    EXPECT_EQ(editor.click(0, 0, {}).action, ListClick::Action::Changed);
    EXPECT_EQ(editor.rowAt(0)["onOff"].toLongLong(), 1);

    editor.setListOn(false);
    EXPECT_TRUE(editor.data(editor.index(0, 0), ListEditor::GrayRole).toBool());
    editor.setSwitchTitle("Timers");
    const ListClick off = editor.click(0, 0, {});
    EXPECT_EQ(off.action, ListClick::Action::ListOff);
    EXPECT_EQ(off.message, "In order to edit the Timer list, mark the check-box \"Timers\".");
    EXPECT_EQ(editor.rowAt(0)["onOff"].toLongLong(), 1);
}

TEST(TimerListEditor, DialogConfirmsIntoTheWorkingCopyAndApplyStores)
{
    QVariantMap doc = documentWithList("timerOn", true, "timerArray", {});
    const QVariantMap before = doc;
    TimerListEditor editor([] { return kNow; }, QLocale::c());
    editor.load(doc);
    EXPECT_EQ(editor.apply(1, false, doc, false).warning, "Can't set an empty Timer list.");

    TimerForm zero = editor.dialogFor(2);
    zero.intervalOn = true; // a repeating timer with nothing to repeat by
    const TimerCheck refused = editor.confirmDialog(2, zero);
    EXPECT_EQ(refused.field, TimerField::Interval);
    EXPECT_EQ(editor.rowAt(2)["valid"].toLongLong(), 0);

    TimerForm form = editor.dialogFor(2);
    EXPECT_EQ(form.startYear, 2009);
    ASSERT_TRUE(editor.confirmDialog(2, form).ok());
    EXPECT_EQ(editor.rowAt(2)["valid"].toLongLong(), 1);
    EXPECT_EQ(doc, before);

    ASSERT_TRUE(editor.apply(1, false, doc, false).stored);
    const QVariantMap s = qmtest::sessionAt(doc, 0);
    EXPECT_EQ(s["timerOn"].toLongLong(), 1);
    EXPECT_EQ(s["timerArray"].toList().at(2).toMap()["start"].toDateTime(), kNow);
}

} // namespace
