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

int askConflictOnTerminal(const ConflictQuestion &question, FILE *in, FILE *out)
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
            return ConflictAnswer::Skip;
        switch (line[0]) {
        case 'r': return ConflictAnswer::Carry;
        case 's': return ConflictAnswer::Skip;
        case 'x': return ConflictAnswer::Stop;
        case 'v':
            if (t.canChangeDirection)
                return -ConflictAnswer::Carry;
            break;
        default:
            break;
        }
    }
}

} // namespace qm
