#pragma once

// What ties the game to a wrapper script that starts it (the installed launcher,
// scripts/play.sh). The game's own exit status cannot tell a failed start from a normal end: it
// is 1 after a normal end and also after a shader that is missing. So a wrapper may hand the game
// two environment variables:
//   ZEPHRANE_OUTCOME_FD  a file descriptor open for writing. The game writes "end" and a line end
//                        there once, after a normal end of its frame loop (ESC, the close button,
//                        SIGINT, SIGTERM); a failed start, a shader failure or a crash write
//                        nothing.
//   ZEPHRANE_PARENT_PID  the wrapper's process id. The game asks the kernel for SIGTERM (which
//                        ends it normally) when the process that started it dies, so a launcher
//                        killed with SIGKILL takes its game with it; a wrapper that is gone
//                        before the game could ask ends the game at once.
// Values that are not numbers, or a descriptor that is not open, are ignored.
class ParentLink {
public:
    // First thing in main, before the shutdown signal handlers are installed.
    static void attach();
    // After the frame loop has ended normally.
    static void reportNormalEnd();
};
