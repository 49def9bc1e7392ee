#pragma once

#include <filesystem>
#include <optional>
#include <string>

// The benchmark flight: start-up time to the first presented frame (cold, with an empty Mesa
// shader cache, and warm), measured in fresh child processes; then the fixed flight replayed as
// fast as the renderer allows at render scale 100, at 50 and with a target of 60 frames a second
// (floor 25), each in a child process, taking turns, with wall time per frame and main-thread CPU
// time per frame split into the game's update and its draw submission; then as many empty frames
// (clear and swap only) on a window of this process. Prints the figures side by side as a
// Markdown table with the ratios to 100, and how far each flight's picture of one frame is from
// the full-scale one; with `pictureDir`, those pictures are kept there as JPEG files. Returns the
// process exit status (0 on success).
int runFlightBenchmark(const std::filesystem::path& scriptPath,
                       const std::optional<std::filesystem::path>& pictureDir);

// The child side of one flight: the game run in `dir` (which holds the flight's config.js);
// writes its frame figures to `resultFile` and the picture of a fixed frame to `picture`.
int runFlightProbe(const std::filesystem::path& dir, const std::filesystem::path& scriptPath,
                   const std::filesystem::path& resultFile, const std::filesystem::path& picture);

// The child side of a start-up measurement: starts the game (mode "game", one presented frame
// of the real game) or only the engine (mode "empty", one cleared and presented frame) and
// writes to `resultFile` the time from `startNanoseconds` (CLOCK_MONOTONIC, taken by the parent
// just before it started this process) to the first presented frame, and the peak resident
// memory so far.
int runStartupProbe(const std::string& mode, long long startNanoseconds,
                    const std::filesystem::path& resultFile);
