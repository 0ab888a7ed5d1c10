#pragma once
// What a run asks of the program around it. Every call is made on the main
// thread: the run driver hands it out only there (RunDriver::host() checks),
// and the worker reaches it through the main-thread proxy.
#include "engine/RunQuestions.h"

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
    virtual RunQuestions &questions() = 0;

    // Enables or disables the timer check; answers whether it was enabled.
    virtual bool TimerSyncEnabled(bool enable) { (void)enable; return false; }
    virtual void SaveLogFileToDisk(RunDriver &run) { (void)run; }
    // The run is over: the console restored and the report shown.
    virtual void runConcluded(RunDriver &run) { (void)run; }
    // A run the schedule started has ended.
    virtual void SchedulingTimerDone(RunDriver &run) { (void)run; }
    virtual void terminateApplication() {}
};

} // namespace qm
