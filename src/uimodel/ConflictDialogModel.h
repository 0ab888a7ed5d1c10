#pragma once
// The conflict dialog's state for one question: its texts, which inspect
// buttons work, the direction button of a synchronization's replacement,
// and the answer its buttons give back to the waiting run.
#include "engine/ConflictText.h"

namespace qm {

class ConflictDialogModel {
public:
    // The buttons' tags; the answer is the tag, negated when the direction
    // was reversed.
    enum Button { Replace = ConflictReply::kCarryCode, Skip = ConflictReply::kSkipCode, Stop = ConflictReply::kStopCode };

    explicit ConflictDialogModel(const ConflictQuestion &question, const QLocale &locale = QLocale());

    const ConflictQuestion &question() const { return m_question; }
    const ConflictText &texts() const { return m_texts; }
    bool sourceInspectEnabled() const { return m_inspectSource; }
    bool destInspectEnabled() const { return m_inspectDest; }

    // Kind 31 only: the button that turns the replacement round.
    bool directionButtonShown() const { return m_texts.canChangeDirection; }
    // The direction the replacement now goes: "icnPreviewViolet" (A
    // replaces B) or "icnPreviewOrange" (B replaces A).
    QString directionImage() const;
    // ChangeDirection: toggles the direction (kind 31 only; otherwise false).
    bool ChangeDirection();
    bool directionChanged() const { return m_changed; }

    // The code the dialog ends with for a button, and the run's answer.
    int dialogCode(Button button) const { return m_changed ? -int(button) : int(button); }
    ConflictReply reply(Button button) const { return ConflictReply::fromDialogCode(int(button), m_changed); }

private:
    ConflictQuestion m_question;
    ConflictText m_texts;
    bool m_inspectSource = false;
    bool m_inspectDest = false;
    bool m_changed = false;
};

} // namespace qm
