#pragma once
// The one decision point for errors met during a run: every error is
// logged (when the log kind says so), counted, and submitted to the error
// policy, which goes on, asks, or stops the run.
#include "engine/RunContext.h"
#include "engine/RunState.h"
#include "engine/RunQuestions.h"

#include <functional>

namespace qm {

class MainThreadProxy;

enum ErrorPolicy { PolicyUseInForce = 0, PolicyStop = 1, PolicyContinue = 2, PolicyAsk = 3 };

class RunErrors {
public:
    struct Wiring {
        RunFlags *flags = nullptr;
        RunCounters *counters = nullptr;    // of the task being processed
        QString *detailedLogText = nullptr; // of the task being processed
        const SessionSettings *settings = nullptr;
        const RunTrigger *executedBy = nullptr;
        RunQuestions *questions = nullptr; // used on the main thread only
        MainThreadProxy *proxy = nullptr;   // absent: decide on the calling thread
        std::function<int()> prefOnError;   // read at each error, on the main thread
    };

    explicit RunErrors(Wiring wiring);

    // The policy of a run started by `trigger`: only runs from the Execute
    // button follow the preference; unattended runs never wait for a user.
    static int policyInForce(RunTrigger trigger, int prefOnError);

    // Main thread. Yes (true) = go on; no = the run stops.
    bool ManageTheError(const QString &text, int forceToCase);
    // Any thread: the text is in errString().
    bool AddErrQuickly(int forceToCase);
    // The standard report of a run error from the worker: logged, decided on
    // the main thread, counted.
    bool reportRunError(const QString &text);
    // As above, with its own dialog title, dialog-only advice, and whether
    // the error is counted.
    bool reportRunError(const RunError &error);

    void setErrString(const QString &text) { m_errString = text; }
    const QString &errString() const { return m_errString; }
    void setErrorTitle(const QString &title) { m_errorTitle = title; }
    const QString &errorTitle() const { return m_errorTitle; }

private:
    Wiring m_w;
    QString m_errString;
    QString m_errorTitle;

    void appendToLog(const QString &text);
    // On the main thread (through the proxy when there is one).
    bool decide(const QString &text, int forceToCase, bool beepFirst);
};


} // namespace qm
