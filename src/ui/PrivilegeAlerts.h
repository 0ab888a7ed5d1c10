#pragma once
// The run-as-root box's widgets: its availability and the alerts that
// follow the change it asked for.
#include "app/PrivilegeChange.h"

class QCheckBox;
class QWidget;

namespace qm {

class Dialogs;

// Without an escalation service a program that is not root cannot turn the
// mode on: the box says so instead of failing when used.
void applyRunAsRootAvailability(QCheckBox *box, bool euidRoot,
                                const QString &tool = PrivilegedMode::escalationTool());

// Shows the outcome's alert, if it has one; answers true when the program
// is to quit now (the set-user-id program took over, or "Quit Now").
bool showPrivilegeOutcome(const PrivilegeOutcome &outcome, Dialogs &dialogs, QWidget *parent);

} // namespace qm
