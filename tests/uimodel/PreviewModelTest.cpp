#include "PlanBuilder.h"
#include "uimodel/PreviewModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace qm;
using namespace qmtest;

namespace {

using Tone = PreviewModel::Tone;

QModelIndex childNamed(const PreviewModel &m, const QModelIndex &parent, const QString &name)
{
    for (int r = 0; r < m.rowCount(parent); ++r) {
        const QModelIndex i = m.index(r, 0, parent);
        if (i.data().toString() == name)
            return i;
    }
    return {};
}

// The row reached by names from the first task's root: "d/x".
QModelIndex rowAt(const PreviewModel &m, const QString &names)
{
    QModelIndex i = m.index(0, 0);
    for (const QString &name : names.split('/', Qt::SkipEmptyParts))
        i = childNamed(m, i, name);
    return i;
}

TEST(PreviewModel, PassesTheModelTesterWhileItIsEdited)
{
    RunPlan plan = planOf({"d6*[e6*[x6*] y6*] f1[g2 h4] s5", "k3[l3] m7"});
    PreviewModel model(plan);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.columnCount(), 3);
    EXPECT_EQ(model.rowCount(rowAt(model, "d")), 2);
    EXPECT_FALSE(model.hasChildren(rowAt(model, "s")));
    EXPECT_FALSE(model.hasChildren(rowAt(model, "d").siblingAtColumn(PreviewModel::OperationColumn)));
    for (const char *names : {"d/e/x", "f", "d/e/x", "f/h", "f"})
        EXPECT_TRUE(model.toggle(rowAt(model, names))) << names;
    EXPECT_TRUE(model.reverseDirection(rowAt(model, "s")));
    EXPECT_FALSE(model.toggle(QModelIndex()));
}

TEST(PreviewModel, NamesPathsAndDepths)
{
    RunPlan plan = planOf({"d1[x2]"});
    plan.itemsToCopy[0].setFullPaths("/", "/B");
    PreviewModel model(plan);
    const QModelIndex root = model.index(0, PreviewModel::SourceColumn);
    EXPECT_EQ(root.data().toString(), "/");
    EXPECT_EQ(root.siblingAtColumn(PreviewModel::DestColumn).data().toString(), "B");
    const QModelIndex x = model.index(0, PreviewModel::DestColumn, model.index(0, 0, root));
    EXPECT_EQ(x.data().toString(), "x");
    EXPECT_EQ(x.data(PreviewModel::PathRole).toString(), "/B/d/x");
    EXPECT_EQ(x.siblingAtColumn(PreviewModel::SourceColumn).data(PreviewModel::PathRole).toString(), "/d/x");
    EXPECT_EQ(x.data(PreviewModel::DepthRole).toInt(), 2);
    EXPECT_FALSE(x.siblingAtColumn(PreviewModel::OperationColumn).data().isValid());
    EXPECT_EQ(model.headerData(PreviewModel::SourceColumn, Qt::Horizontal).toString(), "Source");
}

struct LookCase {
    const char *item; // one item of the plan text
    const char *sourceImage, *operationImage, *destImage;
    Tone sourceTone, destTone;
};

void PrintTo(const LookCase &c, std::ostream *os)
{
    *os << c.item;
}

class Look : public ::testing::TestWithParam<LookCase> {};

TEST_P(Look, ImagesAndTextToneFollowTheMode)
{
    const LookCase &c = GetParam();
    RunPlan plan = planOf({c.item});
    PreviewModel model(plan);
    const QModelIndex row = model.index(0, 0, model.index(0, 0));
    auto image = [&](int column) { return row.siblingAtColumn(column).data(PreviewModel::ImageRole).toString(); };
    auto tone = [&](int column) { return Tone(row.siblingAtColumn(column).data(PreviewModel::ToneRole).toInt()); };
    EXPECT_EQ(image(PreviewModel::SourceColumn), QString(c.sourceImage));
    EXPECT_EQ(image(PreviewModel::OperationColumn), QString(c.operationImage));
    EXPECT_EQ(image(PreviewModel::DestColumn), QString(c.destImage));
    EXPECT_EQ(tone(PreviewModel::SourceColumn), c.sourceTone);
    EXPECT_EQ(tone(PreviewModel::DestColumn), c.destTone);
    EXPECT_EQ(row.siblingAtColumn(PreviewModel::SourceColumn).data(PreviewModel::ExistsRole).toBool(),
              std::string(c.sourceImage).find("Gray") == std::string::npos);
}

constexpr Tone P = Tone::Present, A = Tone::Absent, Off = Tone::SwitchedOff;
INSTANTIATE_TEST_SUITE_P(
    PreviewModel, Look,
    ::testing::Values(
        LookCase{"f1[x2]", "folder", "icnPreviewNothing", "folder", P, P},
        LookCase{"x2", "file", "icnPreviewViolet", "icnFileGray", P, A},
        LookCase{"x3", "icnFileGray", "icnPreviewOrange", "file", A, P},
        LookCase{"x4", "file", "icnPreviewViolet", "file", P, P},
        LookCase{"x5", "file", "icnPreviewOrange", "file", P, P},
        LookCase{"x6", "file", "icnPreviewDelete", "icnFileGray", P, A},
        LookCase{"f7[]", "icnFolderGray", "icnPreviewDelete", "folder", A, P},
        // A folder on both sides switched off: both sides gray, red text.
        LookCase{"f-1[x-2]", "icnFolderGray", "icnPreviewSkip", "icnFolderGray", Off, Off},
        LookCase{"x-2", "file", "icnPreviewSkip", "icnFileGray", Off, Off},
        LookCase{"x-4", "file", "icnPreviewSkip", "file", Off, Off},
        LookCase{"x-7", "icnFileGray", "icnPreviewSkip", "file", Off, Off}),
    [](const ::testing::TestParamInfo<LookCase> &info) { return "Case" + std::to_string(info.index); });

TEST(PreviewModel, AToggleRedrawsTheRowsItChangedAndTellsTheCounters)
{
    RunPlan plan = planOf({"k1[d6*[x6* y6*]] z2"});
    PreviewModel model(plan);
    const QModelIndex x = rowAt(model, "k/d/x");
    const QModelIndex d = x.parent();
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy counters(&model, &PreviewModel::countersChanged);
    ASSERT_TRUE(model.toggle(x));
    EXPECT_EQ(counters.size(), 1);
    auto redrawn = [&](const QModelIndex &i) {
        for (const QList<QVariant> &args : changed) {
            const QModelIndex from = args[0].toModelIndex(), to = args[1].toModelIndex();
            if (from.parent() == i.parent() && from.row() <= i.row() && i.row() <= to.row())
                return true;
        }
        return false;
    };
    EXPECT_TRUE(redrawn(x));
    EXPECT_TRUE(redrawn(d));
    EXPECT_FALSE(redrawn(d.parent())); // k stays on
    EXPECT_EQ(d.siblingAtColumn(1).data(PreviewModel::ImageRole).toString(), "icnPreviewSkip");

    // Switching the folder on again redraws the rows already shown below it.
    changed.clear();
    ASSERT_TRUE(model.toggle(d));
    EXPECT_TRUE(redrawn(x));
    EXPECT_EQ(x.siblingAtColumn(1).data(PreviewModel::ImageRole).toString(), "icnPreviewDelete");

    // A backup's replacement cannot be reversed; nothing is redrawn.
    RunPlan backup = planOf({"r4"}, false);
    PreviewModel backupModel(backup);
    QSignalSpy backupCounters(&backupModel, &PreviewModel::countersChanged);
    EXPECT_FALSE(backupModel.reverseDirection(rowAt(backupModel, "r")));
    EXPECT_EQ(backupCounters.size(), 0);
}

} // namespace
