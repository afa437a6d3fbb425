#include "cli/stop_signals.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t stopSignalled = 0;

extern "C" void noteStopSignal(int) {
    stopSignalled = 1;
}

} // namespace

void installStopSignals() {
    struct sigaction action {};
    action.sa_handler = noteStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool takeStopSignal() {
    if (!stopSignalled)
        return false;
    stopSignalled = 0;
    return true;
}
