#include "uimodel/MenuEnabling.h"
#include "uimodel/PanelTable.h"

#include <gtest/gtest.h>

using namespace qm;

TEST(MenuEnabling, FollowsTheTableByTag)
{
    const MenuState idle{};
    MenuState running = idle;
    running.runUnderway = true;
    MenuState all = idle;
    all.allSessionsCurrent = true;
    MenuState otherPanel = idle;
    otherPanel.consoleShowsMainPanel = false;
    MenuState closed = idle;
    closed.documentOpen = false;
    MenuState noWindow = idle;
    noWindow.anyWindowVisible = false;
    MenuState saved = idle;
    saved.documentHasFile = true;

    struct Case {
        const char *name;
        const MenuState *state;
        std::vector<int> on, off;
    } cases[] = {
        {"idle", &idle, {10, 11, 12, 13, 14, 20, 24, 30, 31, 32, 40, 47, 51, 60, 61, 99}, {15}},
        // Every command that changes or replaces the document waits for the run.
        {"running", &running, {32, 51, 99}, {10, 11, 12, 13, 14, 15, 20, 21, 22, 23, 24, 30, 31, 40, 44, 47, 60, 61}},
        {"all sessions", &all, {20, 24, 32}, {30, 31, 40, 41, 45, 46, 47}},
        {"other panel", &otherPanel, {10, 51}, {30, 32, 40, 47}},
        {"no document", &closed, {10, 11, 13}, {14, 15, 30, 32, 40, 51}},
        {"no window", &noWindow, {10}, {13}},
        {"saved", &saved, {14, 15}, {}},
    };
    for (const Case &c : cases) {
        for (int tag : c.on)
            EXPECT_TRUE(isMenuItemEnabled(tag, *c.state)) << c.name << " tag " << tag;
        for (int tag : c.off)
            EXPECT_FALSE(isMenuItemEnabled(tag, *c.state)) << c.name << " tag " << tag;
    }
}

TEST(GoPanel, EachPanelSetsTheMenuAndTheTimerCheck)
{
    struct Case {
        Panel panel;
        const char *id;
        bool tab, menu, all;
        PanelAction action;
    } cases[] = {
        {Panel::Console, "console", true, true, true, PanelAction::ShowSession},
        {Panel::Timer, "timer", true, true, false, PanelAction::LoadTimerRows},
        {Panel::Multi, "multi", true, true, false, PanelAction::LoadList},
        {Panel::Filter, "filter", true, true, false, PanelAction::LoadList},
        {Panel::Exclude, "exclude", true, true, false, PanelAction::LoadList},
        {Panel::Settings, "settings", true, true, false, PanelAction::FillSettings},
        {Panel::AutoMountVolumes, "autoMountVolumes", true, true, false, PanelAction::LoadVolumes},
        {Panel::About, "about", false, false, false, PanelAction::OpenAbout},
        {Panel::Preferences, "preferences", false, false, false, PanelAction::OpenPreferences},
        {Panel::Conflicts, "conflicts", false, false, false, PanelAction::OpenConflicts},
        {Panel::AppleScript, "appleScript", false, false, false, PanelAction::OpenScripts},
        {Panel::DocumentClosed, "documentClosed", false, false, false, PanelAction::CloseDocument},
    };
    for (const Case &c : cases) {
        const PanelEntry e = GoPanel(c.panel);
        EXPECT_EQ(e.identifier, c.id);
        EXPECT_EQ(panelFromIdentifier(c.id), c.panel) << c.id;
        EXPECT_EQ(e.isTab, c.tab) << c.id;
        EXPECT_EQ(e.menuEnabled, c.menu) << c.id;
        EXPECT_EQ(e.menuAllowsAllSessions, c.all) << c.id;
        EXPECT_EQ(e.stopsTimerCheck, c.panel != Panel::Console) << c.id;
        EXPECT_EQ(e.action, c.action) << c.id;
    }
    EXPECT_FALSE(panelFromIdentifier("General").has_value());
}

TEST(PanelNavigator, RefusesWindowsDuringARunAndReturnsWhereItCameFrom)
{
    PanelNavigator nav;
    EXPECT_FALSE(nav.go(Panel::Preferences, true).has_value());
    EXPECT_FALSE(nav.go(Panel::About, true).has_value());
    EXPECT_TRUE(nav.go(Panel::Conflicts, true).has_value()); // its command is off in the menu instead

    ASSERT_TRUE(nav.go(Panel::Filter, false).has_value());
    ASSERT_TRUE(nav.go(Panel::Preferences, false).has_value());
    EXPECT_EQ(nav.currentTab(), Panel::Filter);
    EXPECT_EQ(nav.afterWindowCloses(Panel::Preferences, true), Panel::Filter);
    EXPECT_EQ(nav.afterWindowCloses(Panel::About, false), Panel::DocumentClosed);
    EXPECT_EQ(nav.afterWindowCloses(Panel::Conflicts, true), Panel::Console);
    EXPECT_EQ(nav.afterWindowCloses(Panel::AppleScript, true), Panel::Console);

    EXPECT_TRUE(PanelNavigator::timerCommandOpensMonitor(true, false));
    EXPECT_TRUE(PanelNavigator::timerCommandOpensMonitor(false, true));
    EXPECT_FALSE(PanelNavigator::timerCommandOpensMonitor(false, false));
}
