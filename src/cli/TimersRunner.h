#pragma once
// Keeps a document's timers without a display: builds the same schedule as
// the desktop program and starts each due run, until SIGINT or SIGTERM.
#include "cli/BatchOptions.h"

#include <cstdio>

namespace qm {

class TimersRunner {
public:
    // Needs a QCoreApplication. 0 after a stop request, 2 when it could not
    // start (as the batch runner).
    static int run(const BatchOptions &options, FILE *out = stdout, FILE *err = stderr);
};

} // namespace qm
