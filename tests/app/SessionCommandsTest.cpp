#include "support/DocumentFakes.h"
#include "app/SessionCommands.h"
#include "app/SessionDocument.h"

#include <gtest/gtest.h>

using qm::SessionCommands;
using Outcome = qm::SessionCommandResult::Outcome;

namespace {

class Sessions : public ::testing::Test {
protected:
    void useSessions(const QStringList &list, int current = 0)
    {
        doc.insert("sessionsArray", QVariantList());
        for (int i = 0; i < list.size(); ++i)
            qm::SessionDocument::AddSession(i == 0 ? 1 : 2, list[i], &doc);
        doc.insert("sessionIndex", qlonglong(current));
    }
    QStringList names() const
    {
        QStringList out;
        for (int i = 0; i < commands.sessionCount(); ++i)
            out << commands.GetSessionName(i);
        return out;
    }

    QVariantMap doc = qm::SessionDocument::NewTemplate();
    qmtest::ScriptedQuestions questions;
    qmtest::CountingHooks hooks;
    bool running = false;
    SessionCommands commands{doc, questions, &hooks, [this] { return running; }};
};

TEST_F(Sessions, NewAndDuplicateProposeNumberedNames)
{
    EXPECT_EQ(commands.newSession().outcome, Outcome::Cancelled); // nothing typed
    questions.typed = {"Session 3"};
    ASSERT_TRUE(commands.newSession().done());
    EXPECT_EQ(questions.proposed, QStringList({"Session 3", "Session 3"}));
    const QVariantMap added = doc.value("sessionsArray").toList()[2].toMap();
    EXPECT_EQ(added.value("settTask").toLongLong(), 1);
    EXPECT_EQ(added.value("timerArray").toList().size(), 32);
    EXPECT_EQ(commands.currentIndex(), 2);

    useSessions({"Sync", "Backup", "Other"}, 1);
    QVariantList sessions = doc.value("sessionsArray").toList();
    QVariantMap backup = sessions[1].toMap();
    backup.insert("topFolder", "/data/source");
    sessions[1] = backup;
    doc.insert("sessionsArray", sessions);
    questions.typed = {"Copy 4 of Backup"};
    ASSERT_TRUE(commands.duplicateSession().done());
    EXPECT_EQ(questions.proposed.last(), "Copy 4 of Backup");
    QVariantMap copy = doc.value("sessionsArray").toList()[3].toMap();
    copy.insert("sessionName", "Backup");
    EXPECT_EQ(copy, backup);
    EXPECT_EQ(commands.currentIndex(), 3);
    EXPECT_EQ(SessionCommands::formatName("Copy %d of %@", 12, "50%d"), "Copy 12 of 50%d");
}

TEST_F(Sessions, NameDialogChecksAgainstEveryMenuTitle)
{
    useSessions({"Sync", "Backup"}, 1);
    questions.typed = {"", "All Sessions", "New", "Sync", "sync"};
    ASSERT_TRUE(commands.renameSession().done());
    EXPECT_EQ(questions.dialogAlerts, QStringList({"Please insert a valid name.", "Can't use this name.",
                                                   "Can't use this name.", "Name duplicated."}));
    EXPECT_EQ(names(), QStringList({"Sync", "sync"})); // names compare with case

    // Its own name closes the dialog and changes nothing.
    const QVariantMap before = doc;
    questions.typed = {"sync"};
    EXPECT_EQ(commands.renameSession().outcome, Outcome::Unchanged);
    questions.typed = {"<cancel>"};
    EXPECT_EQ(commands.renameSession().outcome, Outcome::Cancelled);
    EXPECT_EQ(doc, before);
    EXPECT_EQ(hooks.changes, 1);
    EXPECT_TRUE(questions.warnings.isEmpty());
}

TEST_F(Sessions, RefusalsShowTheirTextAndChangeNothing)
{
    useSessions({"A", "B", "C"});
    ASSERT_TRUE(commands.selectAllSessions().done());
    EXPECT_EQ(commands.currentIndex(), 4);
    const QVariantMap before = doc;
    questions.typed = {"X", "Y"};
    questions.confirms = {true, true};
    for (auto r : {commands.duplicateSession(), commands.renameSession(), commands.removeSession()})
        EXPECT_EQ(r.outcome, Outcome::Refused);
    EXPECT_EQ(questions.warnings, QStringList({"Can't duplicate the \"All\" Session.",
                                               "Can't rename the \"All\" Session.",
                                               "Can't remove the \"All\" Session."}));
    EXPECT_EQ(doc, before);
    EXPECT_TRUE(questions.proposed.isEmpty() && questions.asked.isEmpty());
    EXPECT_TRUE(hooks.active);
    EXPECT_EQ(hooks.stops, hooks.restarts);

    useSessions({"Only"});
    EXPECT_EQ(commands.removeSession(true).message, "Can't remove the last Session.");
    EXPECT_EQ(names(), QStringList{"Only"});
    // Separators and positions past the menu are refused without a word.
    EXPECT_EQ(commands.ChooseSession(1).outcome, Outcome::Refused);
    EXPECT_EQ(commands.selectSession(5).outcome, Outcome::Refused);
    EXPECT_EQ(questions.warnings.size(), 4);
}

TEST_F(Sessions, EveryCommandIsRefusedDuringARun)
{
    useSessions({"A", "B", "C"}, 1);
    const QVariantMap before = doc;
    running = true;
    questions.typed = {"X", "Y"};
    questions.confirms = {true, true};
    const int n = commands.sessionCount();
    for (int position = 0; position < n + SessionCommands::kFixedItemCount; ++position)
        EXPECT_EQ(commands.ChooseSession(position, true, position == n + 6).outcome, Outcome::Busy);
    EXPECT_EQ(commands.moveSession(0, 2).outcome, Outcome::Busy);
    EXPECT_EQ(doc, before);
    EXPECT_TRUE(questions.proposed.isEmpty() && questions.asked.isEmpty());
    EXPECT_EQ(hooks.stops, 0);
}

TEST_F(Sessions, RemoveAsksAndLeavesAValidCurrentSession)
{
    useSessions({"A", "B", "C"}, 2);
    questions.confirms = {false, true};
    EXPECT_EQ(commands.removeSession().outcome, Outcome::Cancelled);
    ASSERT_TRUE(commands.removeSession().done());
    EXPECT_EQ(questions.asked.value(0),
              "Are you sure you want to remove the current session \"C\" definitively?");
    EXPECT_EQ(names(), QStringList({"A", "B"}));
    EXPECT_EQ(commands.currentIndex(), 1); // the one before the last

    useSessions({"A", "B", "C", "D"}, 2);
    questions.confirms = {true};
    ASSERT_TRUE(commands.removeSession(true).done());
    EXPECT_EQ(questions.asked.last(), "You are on the point to delete all the sessions but the first one.");
    EXPECT_EQ(names(), QStringList{"A"});
    EXPECT_EQ(commands.currentIndex(), 0);
}

TEST_F(Sessions, MenuPositionsAndEnabling)
{
    auto enabledTags = [](const qm::SessionMenu &m) {
        QList<int> tags;
        for (const qm::SessionMenuItem &item : m.items)
            if (item.enabled && item.tag > 0)
                tags << item.tag;
        return tags;
    };
    EXPECT_EQ(enabledTags(commands.menu()), QList<int>({1, 2, 3, 4, 5}));
    EXPECT_EQ(enabledTags(commands.menu(true, false)), QList<int>({2, 3, 4, 5}));
    EXPECT_TRUE(enabledTags(commands.menu(false)).isEmpty());

    EXPECT_EQ(commands.ChooseSession(0).outcome, Outcome::Unchanged); // already current
    ASSERT_TRUE(commands.ChooseSession(3).done());                    // All Sessions
    EXPECT_TRUE(commands.IsCurrentSessionAllSessions());
    EXPECT_EQ(enabledTags(commands.menu()), QList<int>({1, 2}));
    questions.typed = {"Third"};
    ASSERT_TRUE(commands.ChooseSession(5).done()); // New
    EXPECT_EQ(commands.currentIndex(), 2);
    ASSERT_TRUE(commands.ChooseSession(4).done()); // All Sessions, one further down now
    EXPECT_EQ(commands.currentIndex(), 4);

    useSessions({"Only"});
    EXPECT_EQ(enabledTags(commands.menu()), QList<int>({1, 2, 3, 4}));
}

TEST_F(Sessions, MoveKeepsTheCurrentSessionCurrent)
{
    useSessions({"A", "B", "C", "D"}, 1);
    ASSERT_TRUE(commands.moveSession(1, 3).done());
    EXPECT_EQ(names(), QStringList({"A", "C", "D", "B"}));
    ASSERT_TRUE(commands.moveSession(0, 2).done()); // another one moves past it
    ASSERT_TRUE(commands.moveSession(3, 0).done());
    EXPECT_EQ(names(), QStringList({"B", "C", "D", "A"}));
    EXPECT_EQ(commands.GetSessionName(commands.currentIndex()), "B");
    ASSERT_TRUE(commands.moveSession(3, 0).done()); // and in front of it
    EXPECT_EQ(commands.GetSessionName(commands.currentIndex()), "B");
    EXPECT_EQ(commands.moveSession(0, 4).outcome, Outcome::Refused);
}

} // namespace
