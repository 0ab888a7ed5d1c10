#include "uimodel/SessionMenuModel.h"

#include "app/SessionDefaults.h"
#include "support/DocumentFakes.h"

#include <QAbstractItemModelTester>
#include <gtest/gtest.h>

using namespace qm;

namespace {

class SessionMenuModelTest : public ::testing::Test {
protected:
    QVariantMap doc{{"sessionsArray", QVariantList{SessionDefaults::session(1, "Photos"),
                                                   SessionDefaults::session(2, "Mail")}},
                    {"sessionIndex", 0}};
    qmtest::ScriptedQuestions questions;
    bool running = false;
    SessionCommands commands{doc, questions, nullptr, [this] { return running; }};
    SessionMenuModel model{commands};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};

    QString title(int row) const { return model.data(model.index(row)).toString(); }
    bool enabled(int row) const { return model.flags(model.index(row)).testFlag(Qt::ItemIsEnabled); }
};

} // namespace

TEST_F(SessionMenuModelTest, ListsSessionsThenTheFixedItems)
{
    ASSERT_EQ(model.rowCount(), 2 + SessionCommands::kFixedItemCount);
    const std::tuple<int, const char *, int, bool> rows[] = {
        {0, "Photos", SessionMenuItem::SessionTag, true},
        {1, "Mail", SessionMenuItem::SessionTag, true},
        {2, "", SessionMenuItem::Separator, false},
        {3, "All Sessions", SessionMenuItem::AllSessionsTag, true},
        {4, "", SessionMenuItem::Separator, false},
        {5, "New", SessionMenuItem::NewTag, true},
        {8, "Remove", SessionMenuItem::RemoveTag, true},
    };
    for (const auto &[row, text, tag, on] : rows) {
        EXPECT_EQ(title(row), text) << row;
        EXPECT_EQ(model.data(model.index(row), SessionMenuModel::TagRole).toInt(), tag) << row;
        EXPECT_EQ(enabled(row), on) << row;
    }
    EXPECT_EQ(model.data(model.index(2), Qt::AccessibleDescriptionRole).toString(), "separator");
    EXPECT_EQ(model.selectedRow(), 0);

    // The list and settings panels allow no All Sessions; other panels no menu.
    model.setEnabled(true, false);
    EXPECT_FALSE(enabled(3));
    EXPECT_TRUE(enabled(0));
    model.setEnabled(false, false);
    EXPECT_FALSE(enabled(0));
    EXPECT_FALSE(model.isEnabled());
}

TEST_F(SessionMenuModelTest, ChoosingActsAndTheMenuFollows)
{
    int told = -1;
    QObject::connect(&model, &SessionMenuModel::selectedRowChanged, [&](int row) { told = row; });

    EXPECT_TRUE(model.choose(3).done()); // All Sessions
    EXPECT_EQ(model.selectedRow(), 3);
    EXPECT_EQ(told, 3);
    EXPECT_FALSE(enabled(6)); // Duplicate, Rename and Remove are off with All Sessions
    EXPECT_FALSE(enabled(8));

    questions.typed = {"Session 3"};
    EXPECT_TRUE(model.choose(5).done()); // New, made current
    ASSERT_EQ(model.rowCount(), 3 + SessionCommands::kFixedItemCount);
    EXPECT_EQ(title(2), "Session 3");
    EXPECT_EQ(model.selectedRow(), 2);

    // During a run the menu snaps back to the current session.
    running = true;
    EXPECT_EQ(model.choose(0).outcome, SessionCommandResult::Outcome::Busy);
    EXPECT_EQ(model.selectedRow(), 2);
    EXPECT_EQ(doc["sessionIndex"].toInt(), 2);
}

TEST_F(SessionMenuModelTest, RemovingFollowsTheListAndTheLastSessionsRemoveIsOff)
{
    questions.confirms = {true};
    model.choose(8); // Remove "Photos"
    ASSERT_EQ(model.rowCount(), 1 + SessionCommands::kFixedItemCount);
    EXPECT_EQ(title(0), "Mail");
    EXPECT_FALSE(enabled(1 + SessionCommands::kFixedItemCount - 1));
}
