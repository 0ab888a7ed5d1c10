#pragma once
// The question asked before a run started with the Execute button.
#include "engine/RunState.h"
#include "engine/RunQuestions.h"

#include <QVariantMap>

namespace qm {

struct ConfirmationRequest {
    RunTrigger executedBy = RunTrigger::Button;
    int prefAskConfirmation = 1;
    bool allSessions = false;    // the console shows "All Sessions"
    QVariantMap session;         // the current session's record
};

// The question's text; empty when no question is to be asked.
QString confirmationQuestion(const ConfirmationRequest &request);

// Yes (true) = start the run.
bool AreYouSure(const ConfirmationRequest &request, RunQuestions &questions);

} // namespace qm
