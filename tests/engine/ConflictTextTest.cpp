#include "engine/ConflictText.h"

#include <gtest/gtest.h>

using namespace qm;

TEST(ConflictText, TextsFollowKindAndDirection)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    ConflictQuestion q;
    q.source = QStringLiteral("/nonexistent/a");
    q.dest = QStringLiteral("/nonexistent/b");
    q.referenceDate = QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9));
    q.kind = 11;
    q.copyMode = CopyMode::ReplaceB;
    ConflictText t = conflictText(q, english);
    EXPECT_EQ(t.explanation,
              "Since the last Sync/Backup (Tuesday, Mar 05, 2024 - 07:08:09)\r"
              "both the following source and destination files have been modified.\r"
              "The source file has the most recent modification date/time.\r"
              "Are you sure you want the source replaces the destination anyway?");
    EXPECT_EQ(t.sourceDate, "Modification Date: --") << "a missing file has no date";
    EXPECT_FALSE(t.canChangeDirection);

    q.kind = 31;
    q.copyMode = CopyMode::ReplaceA;
    t = conflictText(q, english);
    EXPECT_TRUE(t.canChangeDirection);
    EXPECT_EQ(t.changeDirectionTip, "Replace the source file and continue");
    EXPECT_TRUE(t.explanation.endsWith("Are you sure you want the destination replaces the source anyway?"));

    q.kind = 41;
    q.copyMode = CopyMode::RemoveA;
    t = conflictText(q, english);
    EXPECT_EQ(t.windowTitle, "Delete File");
    EXPECT_EQ(t.skipTitle, "Copy") << "skipping a deletion copies the item back";
    EXPECT_TRUE(t.explanation.endsWith("Are you sure you want to delete the source file anyway?"));
}
