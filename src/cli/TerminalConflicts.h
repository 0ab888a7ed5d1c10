#pragma once
// The questions of --ask: conflicts asked on the terminal, with the
// dialog's own texts; everything else answered as an unattended run would.
#include "engine/RunQuestions.h"

#include <cstdio>

namespace qm {

// Carry out, skip or stop; carrying out the other way round is offered only
// where the dialog offers it. End of input skips.
ConflictReply askConflictOnTerminal(const ConflictQuestion &question, FILE *in, FILE *out);

class TerminalRunQuestions : public UnattendedRunQuestions {
public:
    TerminalRunQuestions(FILE *in, FILE *out) : m_in(in), m_out(out) {}
    ConflictReply askConflict(const ConflictQuestion &question) override
    {
        return askConflictOnTerminal(question, m_in, m_out);
    }
    bool answersUnattendedConflicts() const override { return true; }

private:
    FILE *m_in;
    FILE *m_out;
};

} // namespace qm
