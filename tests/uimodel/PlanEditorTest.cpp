#include "PlanBuilder.h"
#include "uimodel/PlanEditor.h"

#include <gtest/gtest.h>

using namespace qm;
using namespace qmtest;

namespace {

// Clicks in order; each click is the path of names from the root ("d/x").
void click(RunPlan &plan, const QString &names)
{
    PlanPosition at{0, {}};
    const CopyItem *item = &plan.itemsToCopy[0];
    for (const QString &name : names.split('/')) {
        int row = 0;
        while (item->subItems[size_t(row)].name != name)
            ++row;
        at.rows.append(row);
        item = &item->subItems[size_t(row)];
    }
    ASSERT_GE(PlanEditor(plan).toggle(at), 0);
}

struct ToggleCase {
    const char *what;
    const char *plan;
    std::vector<const char *> clicks;
    const char *after;
    QStringList exactList; // paths listed for the next index, in order
};

void PrintTo(const ToggleCase &c, std::ostream *os)
{
    *os << c.what;
}

class Toggling : public ::testing::TestWithParam<ToggleCase> {};

TEST_P(Toggling, ModesCountersAndExactList)
{
    const ToggleCase &c = GetParam();
    RunPlan plan = planOf({c.plan});
    for (const char *names : c.clicks)
        click(plan, names);
    EXPECT_EQ(textOf(plan.itemsToCopy[0]), QString(c.after));
    // The counters always agree with the modes the plan now holds.
    EXPECT_TRUE(plan.counters == countersOf(plan.itemsToCopy))
        << describe(plan.counters) << " vs " << describe(countersOf(plan.itemsToCopy));
    EXPECT_EQ(plan.addToExactIndex[0], c.exactList);
}

INSTANTIATE_TEST_SUITE_P(
    Preview, Toggling,
    ::testing::Values(
        ToggleCase{"a file kept inside a folder to delete keeps the folder",
                   "d6*[x6* y6*] f2", {"d/x"}, "d-6[x-6 y6] f2", {"/B/d", "/B/d/x"}},
        ToggleCase{"every deleted ancestor is kept, the first kept folder stops the climb",
                   "k1[d7*[e7*[x7*]]]", {"k/d/e/x"}, "k1[d-7[e-7[x-7]]]",
                   {"/A/k/d/e", "/A/k/d", "/A/k/d/e/x"}},
        ToggleCase{"switching the file on again brings its folders back",
                   "d6*[e6*[x6*] y6*]", {"d/e/x", "d/e/x"}, "d6[e6[x6] y6]", {}},
        ToggleCase{"a folder to delete stays off while another item in it is kept",
                   "d6*[x6* y6*]", {"d/x", "d/y", "d/x"}, "d-6[x6 y-6]", {"/B/d", "/B/d/y"}},
        ToggleCase{"and comes back with the last one", "d6*[x6* y6*]", {"d/x", "d/y", "d/x", "d/y"},
                   "d6[x6 y6]", {}},
        ToggleCase{"a folder switched off takes its whole subtree", "f1[g2 h4 k3[l3 m5]] n2", {"f"},
                   "f-1[g-2 h-4 k-3[l-3 m-5]] n2", {}},
        ToggleCase{"an item switched on inside a folder switched off brings the folders on",
                   "f1[g2 k3[l3 m5]]", {"f", "f/k/m"}, "f1[g-2 k3[l-3 m5]]", {}},
        ToggleCase{"a file kept inside a folder off: the folder to delete above comes on only when all is on",
                   "d6*[k6*[x6*] y6*]", {"d/k", "d/y", "d/k/x"}, "d-6[k6[x6] y-6]", {"/B/d", "/B/d/y"}},
        ToggleCase{"a copy back of a deleted file is listed by its missing side", "c2* e3*", {"c", "e"},
                   "c-2 e-3", {"/B/c", "/A/e"}},
        ToggleCase{"items not derived from the index are never listed", "c2 e3 g6 h7", {"c", "e", "g", "h"},
                   "c-2 e-3 g-6 h-7", {}},
        ToggleCase{"a switched-off replacement stays in the plan, off", "r4 s5", {"r"}, "r-4 s5", {}}),
    [](const ::testing::TestParamInfo<ToggleCase> &info) { return "Case" + std::to_string(info.index); });

// Whatever node of a plan the scanner left is switched off, switching it
// on again gives back exactly the plan before: modes, counters and lists.
TEST(Preview, EveryToggleIsUndoneByItsOpposite)
{
    const QString text = "d6*[e6*[x6* z6*] y6*] f1[g2 h4 k3[l3* m5]] n7*[o7*] p2[q2[r2]] s5";
    const RunPlan original = planOf({text});
    std::vector<PlanPosition> positions;
    std::function<void(const CopyItem &, QList<int>)> walk = [&](const CopyItem &item, QList<int> rows) {
        for (int r = 0; r < int(item.subItems.size()); ++r) {
            positions.push_back({0, rows + QList<int>{r}});
            walk(item.subItems[size_t(r)], rows + QList<int>{r});
        }
    };
    walk(original.itemsToCopy[0], {});
    positions.push_back({0, {}}); // the task's root too
    ASSERT_EQ(positions.size(), 18u);
    for (const PlanPosition &at : positions) {
        RunPlan plan = original;
        PlanEditor editor(plan);
        ASSERT_GE(editor.toggle(at), 0);
        EXPECT_NE(textOf(plan.itemsToCopy[0]), textOf(original.itemsToCopy[0]));
        EXPECT_TRUE(plan.counters == countersOf(plan.itemsToCopy)) << describe(plan.counters);
        editor.toggle(at);
        const std::string where = QStringList([&] {
            QStringList s;
            for (int r : at.rows)
                s.append(QString::number(r));
            return s;
        }()).join('/').toStdString();
        EXPECT_EQ(textOf(plan.itemsToCopy[0]), textOf(original.itemsToCopy[0])) << where;
        EXPECT_TRUE(plan.counters == original.counters) << where << ": " << describe(plan.counters);
        EXPECT_TRUE(plan.addToExactIndex[0].isEmpty()) << where;
    }
}

TEST(Preview, TogglesOfOneTaskLeaveTheOtherTasksAlone)
{
    RunPlan plan = planOf({"a6*", "b6*[c6*]"});
    PlanEditor editor(plan);
    editor.toggle({1, {0, 0}});
    EXPECT_EQ(textOf(plan.itemsToCopy[0]), "a6");
    EXPECT_EQ(textOf(plan.itemsToCopy[1]), "b-6[c-6]");
    EXPECT_TRUE(plan.addToExactIndex[0].isEmpty());
    EXPECT_EQ(plan.addToExactIndex[1], (QStringList{"/B/b", "/B/b/c"}));
    EXPECT_LT(editor.toggle({1, {3}}), 0);
    EXPECT_LT(editor.toggle({2, {}}), 0);
    EXPECT_EQ(editor.itemAt({0, {0, 0}}), nullptr);
}

TEST(Preview, ExactListKeepsOtherEntriesAndNeverDoublesAPath)
{
    RunPlan plan = planOf({"a6* b6*"});
    plan.addToExactIndex[0] = {"/B/elsewhere"};
    PlanEditor editor(plan);
    editor.toggle({0, {0}});
    editor.toggle({0, {1}});
    editor.toggle({0, {0}});
    editor.toggle({0, {0}});
    EXPECT_EQ(plan.addToExactIndex[0], (QStringList{"/B/elsewhere", "/B/b", "/B/a"}));
}

struct DirectionCase {
    bool isSyncOn;
    int mode;
    bool reversed; // false: the window beeps and nothing changes
    int after;
};

void PrintTo(const DirectionCase &c, std::ostream *os)
{
    *os << (c.isSyncOn ? "sync, mode " : "backup, mode ") << c.mode;
}

class Direction : public ::testing::TestWithParam<DirectionCase> {};

TEST_P(Direction, OnlyReplacementsOfASynchronizationTurnRound)
{
    const DirectionCase &c = GetParam();
    RunPlan plan = planOf({"r" + QString::number(c.mode)}, c.isSyncOn);
    const PlanCounters before = plan.counters;
    PlanEditor editor(plan);
    EXPECT_EQ(editor.ChangeCopyModeDirection({0, {0}}), c.reversed);
    EXPECT_EQ(plan.itemsToCopy[0].subItems[0].copyMode, c.after);
    EXPECT_TRUE(plan.counters == countersOf(plan.itemsToCopy)) << describe(plan.counters);
    EXPECT_EQ(plan.counters.globalItemsToDo, before.globalItemsToDo);
    // A second reversal restores the proposed direction.
    editor.ChangeCopyModeDirection({0, {0}});
    EXPECT_EQ(plan.itemsToCopy[0].subItems[0].copyMode, c.mode);
    EXPECT_TRUE(plan.counters == before);
}

INSTANTIATE_TEST_SUITE_P(Preview, Direction,
                         ::testing::Values(DirectionCase{true, 4, true, 5}, DirectionCase{true, 5, true, 4},
                                           DirectionCase{false, 4, false, 4}, DirectionCase{false, 5, false, 5},
                                           DirectionCase{true, 2, false, 2}, DirectionCase{true, 7, false, 7},
                                           DirectionCase{true, -4, false, -4},
                                           DirectionCase{true, 1, false, 1}));

TEST(Preview, FormattaMigliaiaGroupsDigitsByThree)
{
    const std::pair<const char *, const char *> cases[] = {
        {"", ""},        {"7", "7"},           {"999", "999"},           {"1000", "1,000"},
        {"12345", "12,345"}, {"123456", "123,456"}, {"1234567", "1,234,567"}, {"-1234567", "-1,234,567"},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(FormattaMigliaia(in), QString(out)) << in;
}

} // namespace
