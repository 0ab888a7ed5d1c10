#include "cli/TerminalConflicts.h"

#include "engine/ConflictText.h"
#include "platform/Messages.h"

namespace qm {
namespace {

void put(FILE *out, QString text)
{
    text.replace(u'\r', u'\n');
    std::fputs(text.toLocal8Bit().constData(), out);
}

} // namespace

ConflictReply askConflictOnTerminal(const ConflictQuestion &question, FILE *in, FILE *out)
{
    const ConflictText t = conflictText(question);
    put(out, QStringLiteral("\n%1\n%2\n  %3\n  %4\n  %5\n  %6\n")
                 .arg(t.windowTitle, t.explanation, question.source, t.sourceDate, question.dest, t.destDate));
    for (;;) {
        QString prompt = QStringLiteral("[r] %1  [s] %2").arg(t.okTitle, t.skipTitle);
        if (t.canChangeDirection)
            prompt += QStringLiteral("  [v] %1").arg(t.changeDirectionTip);
        prompt += QStringLiteral("  [x] %1 ? ").arg(GLS("Stop"));
        put(out, prompt);
        std::fflush(out);
        char line[64];
        if (!std::fgets(line, sizeof line, in))
            return ConflictReply{};
        switch (line[0]) {
        case 'r': return ConflictReply{ConflictReply::Choice::Carry, false};
        case 's': return ConflictReply{ConflictReply::Choice::Skip, false};
        case 'x': return ConflictReply{ConflictReply::Choice::Stop, false};
        case 'v':
            if (t.canChangeDirection)
                return ConflictReply{ConflictReply::Choice::Carry, true};
            break;
        default:
            break;
        }
    }
}

} // namespace qm
