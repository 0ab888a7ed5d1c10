// What the person sees after the run-as-root box asked for a change, and
// whether the program then quits.
#include "ui/PrivilegeAlerts.h"
#include "ui/UiFixture.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(PrivilegeAlerts, EachOutcomeShowsItsAlertAndOnlyQuitNowOrATakeOverQuits)
{
    using Kind = PrivilegeOutcome::Kind;
    struct Case {
        Kind kind;
        int answer;          // the button chosen, when an alert shows
        const char *title;   // "" for no alert
        const char *message;
        bool quits;
    };
    const Case cases[] = {
        {Kind::TurnedOn, 0, "", "", true},
        {Kind::Cancelled, 0, "", "", false},
        {Kind::Nothing, 0, "", "", false},
        {Kind::Denied, 0, "Root Permissions:", "Authorization denied.", false},
        {Kind::TurnOffDenied, 0, "Turning off Root Permissions:", "Authorization denied.", false},
        {Kind::TurnedOff, 0, "Root Permissions:", nullptr, true},  // "Quit Now"
        {Kind::TurnedOff, 1, "Root Permissions:", nullptr, false}, // "Later"
        {Kind::RestartFailed, 1, "Root Permissions:", nullptr, false},
    };
    for (const Case &c : cases) {
        qmtest::ScriptedDialogs dialogs;
        dialogs.answers.enqueue(c.answer);
        PrivilegeOutcome outcome;
        outcome.kind = c.kind;
        EXPECT_EQ(showPrivilegeOutcome(outcome, dialogs, nullptr), c.quits) << int(c.kind);
        if (*c.title == 0) {
            EXPECT_TRUE(dialogs.alerts.isEmpty()) << int(c.kind);
            continue;
        }
        ASSERT_EQ(dialogs.alerts.size(), 1) << int(c.kind);
        EXPECT_EQ(dialogs.alerts.first().title, QString::fromUtf8(c.title));
        if (c.message) {
            EXPECT_EQ(dialogs.alerts.first().text, QString::fromUtf8(c.message));
        }
    }
}

} // namespace
} // namespace qm
