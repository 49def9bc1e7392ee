#include "platform/ParentLink.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <charconv>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

constexpr int firstFreeDescriptor = 3; // 0, 1 and 2 are the game's own streams
int outcomeFd = -1;

bool readNumber(const char* variable, long& value) {
    // The sanitizer's check that getenv gets no null pointer never fires: both names are literals.
    const char* text = std::getenv(variable);
    if (text == nullptr)
        return false;
    const char* end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(text, end, value);
    return error == std::errc() && stop == end && value > 0;
}

} // namespace

void ParentLink::attach() {
    long fd = 0;
    // An open descriptor comes only from the launcher and scripts/play.sh: the install test runs
    // them, but not in the sanitizer build, whose runs count coverage.
    if (readNumber("ZEPHRANE_OUTCOME_FD", fd) && fd >= firstFreeDescriptor &&
        fd <= std::numeric_limits<int>::max() && fcntl(int(fd), F_GETFD) != -1)
        outcomeFd = int(fd); // only under the launcher or scripts/play.sh, which open it

    long parent = 0;
    if (readNumber("ZEPHRANE_PARENT_PID", parent)) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        // The wrapper may have died between starting us and the request: its signal is lost.
        // No handler is installed yet, so this ends the process (before its coverage is written:
        // controls_test's wrapper that is already gone takes this branch).
        if (getppid() != pid_t(parent))
            raise(SIGTERM);
    }
}

void ParentLink::reportNormalEnd() {
    // Always, but for a game the launcher or scripts/play.sh started (see attach()).
    if (outcomeFd < 0)
        return;
    static const char line[] = "end\n";
    // A wrapper that has gone cannot be told; there is nothing else to do about it.
    [[maybe_unused]] const ssize_t written = write(outcomeFd, line, sizeof line - 1);
    outcomeFd = -1;
}
