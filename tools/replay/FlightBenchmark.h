#pragma once

#include <filesystem>
#include <string>

// The benchmark flight: start-up time to the first presented frame (cold, with an empty Mesa
// shader cache, and warm), measured in fresh child processes; then the fixed flight replayed in
// this process as fast as the renderer allows, with wall time per frame and main-thread CPU time
// per frame split into the game's update and its draw submission; then as many empty frames
// (clear and swap only) on the same window. Prints the figures as a Markdown table and returns
// the process exit status (0 on success).
int runFlightBenchmark(const std::filesystem::path& scriptPath);

// The child side of a start-up measurement: starts the game (mode "game", one presented frame
// of the real game) or only the engine (mode "empty", one cleared and presented frame) and
// writes to `resultFile` the time from `startNanoseconds` (CLOCK_MONOTONIC, taken by the parent
// just before it started this process) to the first presented frame, and the peak resident
// memory so far.
int runStartupProbe(const std::string& mode, long long startNanoseconds,
                    const std::filesystem::path& resultFile);
