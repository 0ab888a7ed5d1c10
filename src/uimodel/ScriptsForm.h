#pragma once
// The script window: the before and after scripts with their boxes. The
// confirm button checks the enabled scripts and stores all four values into
// the current session; a script that fails the check keeps the window open
// with the faulty range selected in its text.
#include "scripts/ScriptHooks.h"

#include <QString>
#include <QVariantMap>

namespace qm {

struct ScriptsApplyResult {
    enum class Outcome { Closed, Stored, Refused };
    Outcome outcome = Outcome::Closed;
    ScriptPanelCheck check; // the refusal: message, script (1 or 2), range
};

struct ScriptTryResult {
    QString message; // "" when the script compiled and ran without error
    QString output;  // what it wrote on its standard output
    int errorStart = -1; // the faulty line of a script that did not compile
    int errorLength = 0;
};

class ScriptsForm {
public:
    static constexpr int kConfirmTag = 1;

    // SetAppleScriptPanes: false (nothing changes) without a current session.
    bool SetAppleScriptPanes(const QVariantMap &document);

    bool startOn = false;
    bool endOn = false;
    QString startText;
    QString endText;

    // AppleScriptApply: tag 1 checks and stores; any other closes.
    ScriptsApplyResult apply(int buttonTag, QVariantMap &document) const;

    // AppleScriptTryExecute on `text` (tag 1 the first script): blocks for
    // as long as the script runs, so callers run it off the main thread.
    static ScriptTryResult tryScript(int tag, const QString &text, const ScriptContext &context,
                                     const ScriptRunOptions &options = {});
    // The context of the current session, for a try.
    static ScriptContext contextOf(const QVariantMap &document);
};

} // namespace qm
