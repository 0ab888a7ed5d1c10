#pragma once
// Every question a run puts to the user, behind one interface: the
// confirmation before a run, the error alert, the conflict question, the
// preview of the plan and the beep. The run calls it on the main thread
// only (the worker waits for the answer through the main-thread proxy).
// The desktop answers with dialogs, the command-line runner's --ask on the
// terminal, and an unattended run with the answer that needs nobody.
#include "engine/RunContext.h"

#include <QString>
#include <QStringList>

namespace qm {

struct RunPlan;

// "Starting task:" before a run started with the Execute button.
struct RunConfirmation {
    QString title;      // looked up
    QString question;   // looked up
    QStringList buttons; // "OK" (default), "Cancel"
};

// An error met during a run, under the policy "ask" (Continue, Stop) or
// "stop" (one "OK": the run stops whatever is chosen).
struct ErrorAlert {
    enum class Kind { AskToContinue, Stopped };
    Kind kind = Kind::AskToContinue;
    QString title;       // "Warning:" unless the error names its own
    QString message;     // the error text, ".\r" and the closing sentence
    QStringList buttons; // the default first
};

enum class ErrorChoice { Continue, Stop };

class RunQuestions {
public:
    virtual ~RunQuestions() = default;

    // True = OK: start the run.
    virtual bool confirmRun(const RunConfirmation &confirmation) = 0;
    // The answer matters only for Kind::AskToContinue.
    virtual ErrorChoice errorAlert(const ErrorAlert &alert) = 0;
    // The conflict dialog (texts in ConflictText.h).
    virtual ConflictReply askConflict(const ConflictQuestion &question) = 0;
    // The plan before the copy. The answer may switch items off or turn
    // replacements round in place, keeping the plan's counters and Exact
    // Sync lists in step; the copy then carries out what it left. False =
    // the user stopped the run here.
    virtual bool showPreview(RunPlan &plan) = 0;
    virtual void beep() = 0;
    // Whether someone answers conflicts also in runs not started with the
    // Execute button (the terminal of --ask); otherwise they are skipped.
    virtual bool answersUnattendedConflicts() const { return false; }
};

// Nobody is there: every question gets the answer that asks nobody and
// changes nothing it need not (start, continue, skip, go on with the plan).
class UnattendedRunQuestions : public RunQuestions {
public:
    bool confirmRun(const RunConfirmation &) override { return true; }
    ErrorChoice errorAlert(const ErrorAlert &) override { return ErrorChoice::Continue; }
    ConflictReply askConflict(const ConflictQuestion &) override { return ConflictReply{}; }
    bool showPreview(RunPlan &) override { return true; }
    void beep() override {}
};

} // namespace qm
