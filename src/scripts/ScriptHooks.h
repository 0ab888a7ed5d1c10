#pragma once
// The two scripts of each session in a run: compiled (syntax-checked) once
// at the start of the run, run before the session's scan and after its
// copy. Every failure comes back as a ScriptRunError; the run driver appends
// its logLine to the detailed and errors-only logs, hands its text to the
// run's error handler and counts one run error for it.
#include "scripts/ScriptContext.h"
#include "scripts/ShellScript.h"

#include <QList>
#include <QVariantMap>
#include <optional>

namespace qm {

struct CompiledScripts {
    int sessionIndex = 0;
    std::optional<QString> before; // present only when it compiled
    std::optional<QString> after;
};

struct ScriptRunError {
    QString text;    // for the error handler: message + description, final "." removed
    QString logLine; // "√ " + text + "\r"
};

// Result of checking the script panel before it is stored.
struct ScriptPanelCheck {
    bool ok = true;
    QString message;  // the "Warning:" alert text when not ok
    int which = 0;    // 1 first script, 2 second, when not ok
    int errorStart = -1;  // the range of the faulty line in that text, when known
    int errorLength = 0;
};

class ScriptHooks {
public:
    enum Which { kBefore = 1, kAfter = 2 };

    explicit ScriptHooks(ScriptRunOptions options = {}) : m_options(std::move(options)) {}

    // Start of a run: forgets the last run's scripts and compiles those of
    // every session (all sessions) or of the current one.
    QList<ScriptRunError> GetExecutiveAppleScripts(const QVariantList &sessions, bool allSessions,
                                                   int currentIndex, bool isCopying);
    QList<ScriptRunError> CompileAppleScripts(int sessionIndex, const QVariantMap &session,
                                              bool isCopying);
    // which: 1 the start script, anything else the end script. Nothing to do
    // (no compiled script of that kind) is no error.
    std::optional<ScriptRunError> ExecuteAppleScript(int sessionIndex, int which,
                                                     const ScriptContext &context) const;
    const QList<CompiledScripts> &compiledScripts() const { return m_compiled; }

    static ScriptRunError ManageAppleScriptError(const QString &message, const ScriptError *error);
    static QString AddAppleScriptErrorDescription(const ScriptError *error);

    // The script panel: checking before storing, and the try buttons
    // (tag 1 the first script, any other the second); "" when it went well.
    static ScriptPanelCheck GetAppleScriptPanes(bool startOn, const QString &startText, bool endOn,
                                                const QString &endText);
    // With `output`, what the script wrote to its standard output.
    QString AppleScriptTryExecute(int tag, const QString &text, const ScriptContext &context,
                                  QByteArray *output = nullptr) const;

private:
    ScriptRunOptions m_options;
    QList<CompiledScripts> m_compiled;
};

} // namespace qm
