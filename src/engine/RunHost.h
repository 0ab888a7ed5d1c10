#pragma once
// What a run asks of the program around it. Every call is made on the main
// thread (the run driver passes it through the main-thread proxy).
#include "engine/RunContext.h"
#include "engine/UserQuestions.h"

#include <QVariantList>
#include <QVariantMap>

namespace qm {

class RunDriver;

class RunHost {
public:
    virtual ~RunHost() = default;
    virtual QVariantList sessionsArray() const = 0;
    // The document's `sessionIndex`: the session shown; count + 1 = All Sessions.
    virtual int documentSessionIndex() const = 0;
    virtual QVariantMap preferences() const = 0;
    virtual UserQuestions &questions() = 0;

    // Enables or disables the timer check; answers whether it was enabled.
    virtual bool TimerSyncEnabled(bool enable) { (void)enable; return false; }
    // Shows the plan; no = the user stopped in the preview.
    virtual bool ShowPreview(RunDriver &run) { (void)run; return true; }
    virtual void SaveLogFileToDisk(RunDriver &run) { (void)run; }
    // The console restored and the report shown (and mailed).
    virtual void runConcluded(RunDriver &run) { (void)run; }
    virtual void SchedulingTimerDone(RunDriver &run) { (void)run; }
    // The conflict dialog; an unattended host skips.
    virtual int askConflict(const ConflictQuestion &question)
    {
        (void)question;
        return ConflictAnswer::Skip;
    }
    // The task whose plan is being carried out.
    virtual void showTask(const CopyItem &root) { (void)root; }
    virtual void showStatus(const QString &text) { (void)text; }
    virtual void showProgress(int done, int total) { (void)done; (void)total; }
    virtual void terminateApplication() {}
};

} // namespace qm
