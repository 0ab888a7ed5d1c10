#pragma once
// SIGINT and SIGTERM as a stop request for the run of `flags`: the run ends
// at its next test. Only one guard exists at a time.
#include "engine/RunState.h"

#include <csignal>

namespace qm {

class StopSignals {
public:
    explicit StopSignals(RunFlags &flags);
    ~StopSignals();
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // A signal arrived since the guard was made.
    bool received() const;

private:
    struct sigaction m_oldInt = {}, m_oldTerm = {};
};

} // namespace qm
