#include "cli/StopSignals.h"

#include <atomic>

namespace qm {
namespace {

// A signal handler may only store into lock-free atomics.
std::atomic<RunFlags *> g_target{nullptr};
std::atomic<bool> g_received{false};

void onStopSignal(int)
{
    g_received = true;
    if (RunFlags *flags = g_target.load()) {
        flags->userPressedStop = true;
        flags->isCopying = false;
    }
}

} // namespace

StopSignals::StopSignals(RunFlags &flags)
{
    g_received = false;
    g_target = &flags;
    struct sigaction sa = {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &m_oldInt);
    sigaction(SIGTERM, &sa, &m_oldTerm);
}

StopSignals::~StopSignals()
{
    sigaction(SIGINT, &m_oldInt, nullptr);
    sigaction(SIGTERM, &m_oldTerm, nullptr);
    g_target = nullptr;
}

bool StopSignals::received() const
{
    return g_received;
}

} // namespace qm
