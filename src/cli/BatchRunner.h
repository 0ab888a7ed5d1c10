#pragma once
// Runs a document's sessions without a display, as an unattended run, and
// answers the exit status: 0 done without run errors, 1 run errors or
// stopped, 2 could not start.
#include "cli/BatchOptions.h"

#include <QString>
#include <cstdio>

namespace qm {

class BatchRunner {
public:
    enum Exit { Done = 0, RunErrors = 1, CannotStart = 2 };

    // Needs a QCoreApplication; runs its event loop until the run ends.
    static int run(const BatchOptions &options, FILE *out = stdout, FILE *err = stderr);

    // Writes a run's log with its line ends made "\n", in the local encoding.
    static void printLog(const QString &log, FILE *out);
};

} // namespace qm
