#include "MemoryLog.h"

#include <cstdio>
#include <cstdlib>

ResidentKib readResidentKib() {
    ResidentKib kib;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            kib.current = std::atol(line.c_str() + 6);
        else if (line.rfind("VmHWM:", 0) == 0)
            kib.peak = std::atol(line.c_str() + 6);
    }
    return kib;
}

MemoryLog::MemoryLog(const std::filesystem::path& file, FrameObserver* next)
    : out(file, std::ios::trunc), next(next) {
    out << "# minute  frame  seconds  VmRSS(KiB)  VmHWM(KiB)" << std::endl;
}

void MemoryLog::beforePresent(const FrameInfo& frame, const Engine& engine) {
    if (next)
        next->beforePresent(frame, engine);
    gameSeconds += double(frame.deltaTime);
    lastFrame = frame.index;
    // Half a frame early counts: the frame ending nearest the minute carries it.
    const double halfFrame = 0.5 * double(frame.deltaTime);
    while (gameSeconds + halfFrame >= double(minutesLogged + 1) * secondsPerEntry) {
        ++minutesLogged;
        write(std::to_string(minutesLogged));
    }
}

bool MemoryLog::finish() {
    if (lastFrame >= 0)
        write("end");
    out.flush();
    return static_cast<bool>(out);
}

void MemoryLog::write(const std::string& label) {
    const ResidentKib kib = readResidentKib();
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", gameSeconds);
    out << label << ' ' << lastFrame << ' ' << seconds << ' ' << kib.current << ' ' << kib.peak
        << std::endl;
}
