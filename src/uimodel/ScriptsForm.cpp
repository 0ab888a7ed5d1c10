#include "uimodel/ScriptsForm.h"

#include "uimodel/ListEditor.h"

namespace qm {

namespace {

QVariantMap sessionOf(const QVariantMap &document, int index)
{
    return document.value(QStringLiteral("sessionsArray")).toList().at(index).toMap();
}

} // namespace

bool ScriptsForm::SetAppleScriptPanes(const QVariantMap &document)
{
    const int index = currentSessionIndex(document);
    if (index < 0)
        return false;
    const QVariantMap session = sessionOf(document, index);
    startOn = session.value(QStringLiteral("asStartOn")).toLongLong() != 0;
    endOn = session.value(QStringLiteral("asEndOn")).toLongLong() != 0;
    startText = session.value(QStringLiteral("asStartText")).toString();
    endText = session.value(QStringLiteral("asEndText")).toString();
    return true;
}

ScriptsApplyResult ScriptsForm::apply(int buttonTag, QVariantMap &document) const
{
    ScriptsApplyResult result;
    const int index = currentSessionIndex(document);
    if (buttonTag != kConfirmTag || index < 0)
        return result;
    result.check = ScriptHooks::GetAppleScriptPanes(startOn, startText, endOn, endText);
    if (!result.check.ok) {
        result.outcome = ScriptsApplyResult::Outcome::Refused;
        return result;
    }
    QVariantList sessions = document.value(QStringLiteral("sessionsArray")).toList();
    QVariantMap session = sessions.at(index).toMap();
    session.insert(QStringLiteral("asStartOn"), qlonglong(startOn ? 1 : 0));
    session.insert(QStringLiteral("asEndOn"), qlonglong(endOn ? 1 : 0));
    session.insert(QStringLiteral("asStartText"), startText);
    session.insert(QStringLiteral("asEndText"), endText);
    sessions[index] = session;
    document.insert(QStringLiteral("sessionsArray"), sessions);
    result.outcome = ScriptsApplyResult::Outcome::Stored;
    return result;
}

ScriptTryResult ScriptsForm::tryScript(int tag, const QString &text, const ScriptContext &context,
                                       const ScriptRunOptions &options)
{
    QByteArray output;
    ScriptTryResult result;
    result.message = ScriptHooks(options).AppleScriptTryExecute(tag, text, context, &output);
    result.output = QString::fromUtf8(output);
    if (!result.message.isEmpty()) {
        const bool first = tag == 1;
        const ScriptPanelCheck check = ScriptHooks::GetAppleScriptPanes(first, text, !first, text);
        result.errorStart = check.errorStart;
        result.errorLength = check.errorLength;
    }
    return result;
}

ScriptContext ScriptsForm::contextOf(const QVariantMap &document)
{
    const int index = currentSessionIndex(document);
    return index < 0 ? ScriptContext() : ScriptContext::fromSession(sessionOf(document, index), index, 1);
}

} // namespace qm
