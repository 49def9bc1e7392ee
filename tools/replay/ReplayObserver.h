#pragma once

#include "platform/FrameSource.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class ReplayScript;
class ScriptedFrameSource;

// The engine's switches as they stood in a frame (the engine itself ends with the loop); copied
// from the engine at the end of every frame, so they start empty.
struct EngineSwitches {
    bool helpScreen{};
    bool performanceOutput{};
    bool wireframe{};
    bool transparency{};
    bool bilinearSampling{};
    int mipmapMode{};
    bool cheatMode{};
    bool frustumCulling{};
};

// Watches a replayed (or recorded) game frame by frame: writes the script's screenshots, keeps
// what the state summary needs of the last frame, and, when given the scripted clock, holds each
// frame back until its scripted time has passed on the wall clock so that a watcher sees the
// flight at its real speed. Any further observer (a recorder) is called first.
class ReplayObserver final : public FrameObserver {
public:
    struct Options {
        const ReplayScript* script = nullptr; // its shots are taken; none without a script
        std::optional<std::filesystem::path> screenshotDir;
        const ScriptedFrameSource* pacing = nullptr; // real-time pacing when set
        FrameObserver* next = nullptr;
    };

    explicit ReplayObserver(const Options& options) : options(options) {}

    void beforePresent(const FrameInfo& frame, const Engine& engine) override;

    long framesSeen() const { return frames; }
    const FrameInfo& lastFrame() const { return last; }
    const EngineSwitches& lastSwitches() const { return switches; }
    // Messages of screenshots that could not be written (the replay goes on without them).
    const std::vector<std::string>& failures() const { return problems; }
    const std::vector<std::filesystem::path>& screenshotsWritten() const { return written; }

private:
    void takeShots(const FrameInfo& frame, const Engine& engine);
    void pace();

    Options options;
    long frames = 0;
    FrameInfo last;
    EngineSwitches switches;
    size_t nextShot = 0;
    std::vector<std::string> problems;
    std::vector<std::filesystem::path> written;
    std::optional<std::chrono::steady_clock::time_point> wallStart;
};
