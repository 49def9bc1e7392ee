#pragma once

#include <iosfwd>
#include <optional>

// The game's command line. Without arguments the game plays; `--help` and `--version` answer on
// standard output and end with status 0 before anything opens a window; anything else is a
// one-line error and the usage on standard error, status 2. The texts name the program as the
// player types it, `zephrane`, whether the launcher or the game binary was started.
//
// Returns the status to end with, or nothing when the game should play.
std::optional<int> answerCommandLine(int argc, const char* const* argv, std::ostream& out,
                                     std::ostream& err);
