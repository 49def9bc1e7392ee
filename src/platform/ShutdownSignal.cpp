#include "platform/ShutdownSignal.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t shutdownRequested = 0;

extern "C" void onShutdownSignal(int signalNumber) {
    if (shutdownRequested) {
        // Already shutting down: let the default action end the process now (so this branch
        // never returns to the game, nor writes its coverage when a test sends a second signal).
        std::signal(signalNumber, SIG_DFL);
        std::raise(signalNumber);
        return;
    }
    shutdownRequested = 1;
}

} // namespace

void ShutdownSignal::install() {
    // No flags, so no SA_RESTART: a console pause blocked in a read returns instead of waiting on.
    struct sigaction action {};
    action.sa_handler = onShutdownSignal;
    sigemptyset(&action.sa_mask);
    // A shell starts background programs with SIGINT ignored, so that the terminal's Ctrl+C
    // reaches only its foreground: the installed launcher runs the game so and passes Ctrl+C on
    // as SIGTERM. Taking SIGINT here too would make one Ctrl+C two signals, the second fatal.
    struct sigaction inherited {};
    sigaction(SIGINT, nullptr, &inherited);
    // The install test runs the launcher, but not in the sanitizer build that counts coverage.
    if (inherited.sa_handler != SIG_IGN) // ignored only under the installed launcher
        sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool ShutdownSignal::requested() {
    return shutdownRequested != 0;
}
