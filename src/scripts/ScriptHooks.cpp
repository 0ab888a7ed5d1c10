#include "scripts/ScriptHooks.h"

#include "platform/Messages.h"

namespace qm {
namespace {

QString ordinal(bool first)
{
    return first ? QStringLiteral("first") : QStringLiteral("second");
}

// The character range of one line (1-based) of a text; a syntax error
// found at the end of the text points at the last line that holds anything.
std::pair<int, int> lineRange(const QString &text, int line)
{
    const QStringList lines = text.split(u'\n');
    int index = qMin(line, int(lines.size())) - 1;
    while (index > 0 && lines[index].trimmed().isEmpty())
        --index;
    if (index < 0)
        return {-1, 0};
    int start = 0;
    for (int l = 0; l < index; ++l)
        start += int(lines[l].size()) + 1;
    return {start, int(lines[index].size())};
}

} // namespace

QString ScriptHooks::AddAppleScriptErrorDescription(const ScriptError *error)
{
    if (!error)
        return {};
    QString text;
    if (error->number)
        text += QStringLiteral("\rError: ") + QString::number(*error->number) + QStringLiteral(".\r");
    text += error->message;
    return text;
}

ScriptRunError ScriptHooks::ManageAppleScriptError(const QString &message, const ScriptError *error)
{
    ScriptRunError e;
    e.text = message + AddAppleScriptErrorDescription(error);
    if (e.text.endsWith(u'.'))
        e.text.chop(1);
    e.logLine = QStringLiteral("√ ") + e.text + u'\r';
    return e;
}

QList<ScriptRunError> ScriptHooks::GetExecutiveAppleScripts(const QVariantList &sessions,
                                                            bool allSessions, int currentIndex,
                                                            bool isCopying)
{
    m_compiled.clear();
    QList<ScriptRunError> errors;
    for (int i = 0; i < sessions.size(); ++i) {
        if (allSessions || i == currentIndex)
            errors += CompileAppleScripts(i, sessions[i].toMap(), isCopying);
    }
    return errors;
}

QList<ScriptRunError> ScriptHooks::CompileAppleScripts(int sessionIndex, const QVariantMap &session,
                                                       bool isCopying)
{
    QList<ScriptRunError> errors;
    CompiledScripts record;
    record.sessionIndex = sessionIndex;
    struct Slot {
        const char *onKey, *textKey, *message;
        std::optional<QString> *target;
    };
    const Slot slots[] = {
        {"asStartOn", "asStartText", "Error compiling the first AppleScript.", &record.before},
        {"asEndOn", "asEndText", "Error compiling the second AppleScript.", &record.after},
    };
    for (const Slot &slot : slots) {
        if (session.value(QString::fromLatin1(slot.onKey)).toInt() == 0)
            continue;
        const QString text = session.value(QString::fromLatin1(slot.textKey)).toString();
        std::optional<ScriptError> failure;
        if (ShellScript::isEmptyText(text) || (failure = ShellScript::compile(text))) {
            errors.append(ManageAppleScriptError(GLS(slot.message),
                                                 failure ? &*failure : nullptr));
            if (!isCopying)
                return errors; // the run was stopped: this session gets no scripts
            continue;
        }
        *slot.target = text;
    }
    if (record.before || record.after)
        m_compiled.append(record);
    return errors;
}

std::optional<ScriptRunError> ScriptHooks::ExecuteAppleScript(int sessionIndex, int which,
                                                              const ScriptContext &context) const
{
    const bool before = which == kBefore;
    const QString message = QStringLiteral("Error running the %1 AppleScript of the session \"%2\".")
                                .arg(ordinal(before), context.sessionName);
    for (const CompiledScripts &record : m_compiled) {
        const std::optional<QString> &script = before ? record.before : record.after;
        if (record.sessionIndex != sessionIndex || !script)
            continue;
        ScriptRunOptions options = m_options;
        options.environment = context.environment(
            m_options.environment, before ? ScriptContext::Hook::Before : ScriptContext::Hook::After);
        const std::optional<ScriptError> failure = ShellScript::run(*script, options);
        if (!failure)
            return std::nullopt;
        qWarning("%s %s", qPrintable(message), qPrintable(failure->message));
        return ManageAppleScriptError(message, &*failure);
    }
    return std::nullopt;
}

ScriptPanelCheck ScriptHooks::GetAppleScriptPanes(bool startOn, const QString &startText, bool endOn,
                                                  const QString &endText)
{
    const struct {
        bool on;
        const QString &text;
        const char *message;
    } scripts[] = {{startOn, startText, "Error compiling the first AppleScript."},
                   {endOn, endText, "Error compiling the second AppleScript."}};
    for (int i = 0; i < 2; ++i) {
        if (!scripts[i].on || scripts[i].text.isEmpty())
            continue;
        const std::optional<ScriptError> failure = ShellScript::compile(scripts[i].text);
        if (!failure)
            continue;
        ScriptPanelCheck check;
        check.ok = false;
        check.which = i + 1;
        check.message = GLS(scripts[i].message) + AddAppleScriptErrorDescription(&*failure);
        if (failure->line > 0)
            std::tie(check.errorStart, check.errorLength) = lineRange(scripts[i].text, failure->line);
        return check;
    }
    return {};
}

QString ScriptHooks::AppleScriptTryExecute(int tag, const QString &text, const ScriptContext &context,
                                           QByteArray *output) const
{
    const QString which = ordinal(tag == 1);
    const QString compiling = QStringLiteral("Error compiling the %1 AppleScript.").arg(which);
    if (ShellScript::isEmptyText(text))
        return compiling + QStringLiteral("\rCannot compile an empty AppleScript text code.");
    if (const std::optional<ScriptError> failure = ShellScript::compile(text))
        return compiling + AddAppleScriptErrorDescription(&*failure);
    ScriptRunOptions options = m_options;
    options.environment = context.environment(
        m_options.environment, tag == 1 ? ScriptContext::Hook::Before : ScriptContext::Hook::After);
    if (const std::optional<ScriptError> failure = ShellScript::run(text, options, output))
        return QStringLiteral("Error running the %1 AppleScript.").arg(which)
            + AddAppleScriptErrorDescription(&*failure);
    return {};
}

} // namespace qm
