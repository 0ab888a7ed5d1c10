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
    // The tabs keep the session menu (only the console with All Sessions);
    // the windows and the closed document disable it; all but the console
    // stop the timer check.
    const std::tuple<Panel, const char *, bool, PanelAction> cases[] = {
        {Panel::Console, "console", true, PanelAction::ShowSession},
        {Panel::Timer, "timer", true, PanelAction::LoadTimerRows},
        {Panel::Multi, "multi", true, PanelAction::LoadList},
        {Panel::Filter, "filter", true, PanelAction::LoadList},
        {Panel::Exclude, "exclude", true, PanelAction::LoadList},
        {Panel::Settings, "settings", true, PanelAction::FillSettings},
        {Panel::AutoMountVolumes, "autoMountVolumes", true, PanelAction::LoadVolumes},
        {Panel::About, "about", false, PanelAction::OpenAbout},
        {Panel::Preferences, "preferences", false, PanelAction::OpenPreferences},
        {Panel::Conflicts, "conflicts", false, PanelAction::OpenConflicts},
        {Panel::AppleScript, "appleScript", false, PanelAction::OpenScripts},
        {Panel::DocumentClosed, "documentClosed", false, PanelAction::CloseDocument},
    };
    for (const auto &[panel, id, tab, action] : cases) {
        const PanelEntry e = GoPanel(panel);
        EXPECT_EQ(e.identifier, id);
        EXPECT_EQ(panelFromIdentifier(id), panel) << id;
        EXPECT_EQ(e.isTab, tab) << id;
        EXPECT_EQ(e.menuEnabled, tab) << id;
        EXPECT_EQ(e.menuAllowsAllSessions, panel == Panel::Console) << id;
        EXPECT_EQ(e.stopsTimerCheck, panel != Panel::Console) << id;
        EXPECT_EQ(e.action, action) << id;
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
