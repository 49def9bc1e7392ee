#pragma once

#include "platform/FrameSource.h"

#include <filesystem>
#include <fstream>
#include <string>

// This process's resident memory now and at its peak, in KiB (VmRSS and VmHWM of
// /proc/self/status); 0 where it cannot be read.
struct ResidentKib {
    long current = 0;
    long peak = 0;
};
ResidentKib readResidentKib();

// Writes the process's resident memory once per minute of game time and once at the end, so
// that a long replay shows whether the game's memory stays flat. Game time is the sum of the
// frame times the game was given. A minute is logged at the frame whose end lies closest to it
// (within half a frame), so 3600 frames of 1/60 s log minute 1 at frame 3599 even though the
// frame time is not exactly representable. Each line is flushed at once: a run that dies still
// leaves its figures. Any further observer is called first.
//
// Line format, one figure per column:   minute  frame  seconds  VmRSS(KiB)  VmHWM(KiB)
// where minute is "end" on the last line, frame the index of the frame just logged, seconds its
// game time at the end of the frame, and the memory figures are 0 when /proc cannot tell.
class MemoryLog final : public FrameObserver {
public:
    static constexpr double secondsPerEntry = 60.0;

    MemoryLog(const std::filesystem::path& file, FrameObserver* next);

    bool isOpen() const { return static_cast<bool>(out); }
    void beforePresent(const FrameInfo& frame, const Engine& engine) override;
    // Writes the "end" line for the last frame seen (nothing when no frame was seen). Returns
    // false when the file could not be written.
    bool finish();

private:
    void write(const std::string& label);

    std::ofstream out;
    FrameObserver* next;
    double gameSeconds = 0.0;
    long lastFrame = -1;
    long minutesLogged = 0;
};
