#pragma once

// Lets the terminal end the game: SIGINT (Ctrl+C) and SIGTERM ask the frame loop to close the
// window, exactly as the window's close button does, so the loop's clean-up runs and the exit
// status is the normal one. A second signal while that is under way ends the process at once,
// for a game that is stuck and a player who presses Ctrl+C again.
//
// A SIGINT that the starting program left ignored stays ignored (a background program of a
// shell). install() is called once at start-up, before anything that might install handlers of its
// own; requested() is safe to call every frame.
class ShutdownSignal {
public:
    static void install();
    static bool requested();
};
