#pragma once
// A conflict question asked on the terminal, with the dialog's own texts.
#include "engine/RunContext.h"

#include <cstdio>

namespace qm {

// Answers 100 (carry out), 99 (skip), 98 (stop) or -100 (carry out in the
// reversed direction, offered only where the dialog offers it). End of input
// skips.
int askConflictOnTerminal(const ConflictQuestion &question, FILE *in, FILE *out);

} // namespace qm
