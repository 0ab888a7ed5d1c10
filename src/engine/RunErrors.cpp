#include "engine/RunErrors.h"

#include "engine/MainThreadProxy.h"
#include "platform/Messages.h"

namespace qm {

RunErrors::RunErrors(Wiring wiring) : m_w(std::move(wiring)), m_errorTitle(GLS("Warning:")) {}

int RunErrors::policyInForce(RunTrigger trigger, int prefOnError)
{
    return trigger == RunTrigger::Button ? prefOnError : PolicyContinue;
}

bool RunErrors::ManageTheError(const QString &text, int forceToCase)
{
    const int pref = m_w.prefOnError ? m_w.prefOnError() : PolicyAsk;
    const RunTrigger trigger = m_w.executedBy ? *m_w.executedBy : RunTrigger::Button;
    const int policy = forceToCase != PolicyUseInForce ? forceToCase : policyInForce(trigger, pref);
    RunQuestions *q = m_w.questions;
    bool goOn = false;
    switch (policy) {
    case PolicyContinue:
        goOn = true;
        break;
    case PolicyAsk: {
        const ErrorAlert alert{ErrorAlert::Kind::AskToContinue, m_errorTitle,
                               text + QStringLiteral(".\r") + GLS("Would you skip and continue?"),
                               {GLS("Continue"), GLS("Stop")}};
        goOn = q && q->errorAlert(alert) == ErrorChoice::Continue;
        if (!goOn && m_w.flags)
            m_w.flags->userPressedStop = true;
        break;
    }
    case PolicyStop:
        if (q)
            q->errorAlert(ErrorAlert{ErrorAlert::Kind::Stopped, m_errorTitle,
                                     text + QStringLiteral(".\r") + GLS("The process stopped."), {GLS("OK")}});
        break;
    default:
        break;
    }
    if (!goOn && m_w.flags)
        m_w.flags->isCopying = false;
    return goOn;
}

void RunErrors::appendToLog(const QString &text)
{
    if (m_w.detailedLogText && m_w.settings
        && (m_w.settings->makeDetailedLog || m_w.settings->makeErrorsLog))
        *m_w.detailedLogText += QStringLiteral("\u221A ") + text + u'\r';
}

bool RunErrors::decide(const QString &text, int forceToCase, bool beepFirst)
{
    auto onMain = [&] {
        if (beepFirst && m_w.questions)
            m_w.questions->beep();
        return ManageTheError(text, forceToCase);
    };
    if (m_w.proxy)
        return m_w.proxy->call(onMain);
    return onMain();
}

bool RunErrors::AddErrQuickly(int forceToCase)
{
    appendToLog(m_errString);
    if (m_w.counters)
        ++m_w.counters->totError;
    const RunTrigger trigger = m_w.executedBy ? *m_w.executedBy : RunTrigger::Button;
    if (trigger != RunTrigger::Button)
        return true;
    return decide(m_errString, forceToCase, true);
}

bool RunErrors::reportRunError(const QString &text)
{
    return reportRunError(RunError(text));
}

bool RunErrors::reportRunError(const RunError &error)
{
    m_errString = error.text;
    appendToLog(error.text);
    const QString usualTitle = m_errorTitle;
    if (!error.title.isEmpty())
        m_errorTitle = error.title;
    const bool goOn = decide(error.text + error.dialogSuffix, PolicyUseInForce, false);
    m_errorTitle = usualTitle;
    if (error.counted && m_w.counters)
        ++m_w.counters->totError;
    return goOn;
}

} // namespace qm
