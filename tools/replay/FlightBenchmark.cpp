#include "FlightBenchmark.h"

#include "MemoryLog.h"
#include "ReplayScript.h"
#include "ScriptedFrameSource.h"
#include "app/Engine.h"
#include "app/Zephrane.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <numeric>
#include <optional>
#include <random>
#include <sstream>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr int startupRuns = 3;    // per start-up figure; the median is reported
constexpr int canvasWidth = 1600; // the benchmark's window, as config.js asks for it
constexpr int canvasHeight = 800;
constexpr double nanosecondsPerMillisecond = 1e6;
constexpr double kibPerMib = 1024.0;
const char* const shaderCacheVariable = "MESA_SHADER_CACHE_DIR";

// ---------------------------------------------------------------------------------------------
// Clocks and memory
// ---------------------------------------------------------------------------------------------

long long readClock(clockid_t clock) {
    timespec time{};
    clock_gettime(clock, &time);
    return (long long)time.tv_sec * 1'000'000'000LL + time.tv_nsec;
}

long long monotonicNow() {
    return readClock(CLOCK_MONOTONIC);
}
long long threadCpuNow() {
    return readClock(CLOCK_THREAD_CPUTIME_ID);
}

// ---------------------------------------------------------------------------------------------
// Statistics
// ---------------------------------------------------------------------------------------------

struct FrameFigures {
    double median = 0, p95 = 0, p99 = 0, max = 0;    // wall time per frame, ms
    double cpuUpdate = 0, cpuDraw = 0, cpuFrame = 0; // mean main-thread CPU per frame, ms
    bool hasGameSplit = false;
};

// Nearest-rank percentile of sorted values.
double percentile(const std::vector<double>& sorted, double fraction) {
    if (sorted.empty())
        return 0.0;
    size_t rank = size_t(std::ceil(fraction * double(sorted.size())));
    return sorted[std::clamp<size_t>(rank, 1, sorted.size()) - 1];
}

double mean(const std::vector<double>& values) {
    return values.empty()
               ? 0.0
               : std::accumulate(values.begin(), values.end(), 0.0) / double(values.size());
}

// Wall and CPU figures from the time stamps taken at the start of every frame and once after
// the last one.
FrameFigures figuresFrom(const std::vector<long long>& wallStamps,
                         const std::vector<long long>& cpuStamps) {
    FrameFigures figures;
    std::vector<double> wall, cpu;
    for (size_t i = 1; i < wallStamps.size(); ++i) {
        wall.push_back(double(wallStamps[i] - wallStamps[i - 1]) / nanosecondsPerMillisecond);
        cpu.push_back(double(cpuStamps[i] - cpuStamps[i - 1]) / nanosecondsPerMillisecond);
    }
    std::sort(wall.begin(), wall.end());
    figures.median = percentile(wall, 0.5);
    figures.p95 = percentile(wall, 0.95);
    figures.p99 = percentile(wall, 0.99);
    figures.max = wall.empty() ? 0.0 : wall.back();
    figures.cpuFrame = mean(cpu);
    return figures;
}

// ---------------------------------------------------------------------------------------------
// The timed game: the real game, with its update and draw passes timed
// ---------------------------------------------------------------------------------------------

class TimedZephrane final : public Zephrane {
public:
    void update(float deltaTime) override {
        const long long start = threadCpuNow();
        Zephrane::update(deltaTime);
        updateCpu.push_back(double(threadCpuNow() - start) / nanosecondsPerMillisecond);
    }
    int draw(bool frustumCulling) override {
        const long long start = threadCpuNow();
        const int drawn = Zephrane::draw(frustumCulling);
        drawCpu.push_back(double(threadCpuNow() - start) / nanosecondsPerMillisecond);
        return drawn;
    }

    std::vector<double> updateCpu, drawCpu;
};

// The scripted clock, with a wall and a CPU time stamp at the start of every frame.
class StampingClock final : public FrameClock {
public:
    explicit StampingClock(ScriptedFrameSource& source) : source(source) {}
    double now() override {
        const double time = source.now();
        if (source.frameIndex() >= 0) {
            wall.push_back(monotonicNow());
            cpu.push_back(threadCpuNow());
        }
        return time;
    }
    void stamp() {
        wall.push_back(monotonicNow());
        cpu.push_back(threadCpuNow());
    }

    ScriptedFrameSource& source;
    std::vector<long long> wall, cpu;
};

// ---------------------------------------------------------------------------------------------
// Start-up probes (child processes)
// ---------------------------------------------------------------------------------------------

struct ProbeResult {
    double startupMs = 0;
    long peakKib = 0;
};

fs::path makeTempDir(const std::string& stem) {
    std::error_code error;
    fs::path base = fs::temp_directory_path(error);
    if (error)
        base = "/tmp";
    std::string pattern = (base / (stem + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data()))
        return {};
    return pattern;
}

std::optional<ProbeResult> probeOnce(const std::string& mode, const fs::path& cacheDir,
                                     const fs::path& workDir) {
    // This very program, even should its file be rebuilt meanwhile.
    const char* const self = "/proc/self/exe";
    const fs::path resultFile = workDir / "probe.txt";
    std::error_code ignored;
    fs::remove(resultFile, ignored);

    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable(*entry);
        if (variable.rfind(shaderCacheVariable + std::string("="), 0) != 0 &&
            variable.rfind("MESA_SHADER_CACHE_DISABLE=", 0) != 0)
            environment.push_back(variable);
    }
    environment.push_back(shaderCacheVariable + std::string("=") + cacheDir.string());

    const long long start = monotonicNow();
    std::vector<std::string> arguments = {"zephrane-replay", "--probe-startup", mode,
                                          std::to_string(start), resultFile.string()};
    std::vector<char*> argv, envp;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    for (auto& variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The game's own console lines would only clutter the table.
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, self, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return std::nullopt;
    int status = 0;
    waitpid(child, &status, 0);

    std::ifstream in(resultFile);
    long long nanoseconds = 0;
    ProbeResult result;
    if (!(in >> nanoseconds >> result.peakKib))
        return std::nullopt;
    result.startupMs = double(nanoseconds) / nanosecondsPerMillisecond;
    return result;
}

struct StartupFigures {
    double coldMs = 0, warmMs = 0;
    long peakKib = 0; // of the warm runs
    bool ok = false;
};

double medianOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// Cold: every run gets a new, empty shader cache. Warm: one run fills a cache, the measured
// runs then find every shader in it.
StartupFigures measureStartup(const std::string& mode) {
    StartupFigures figures;
    const fs::path workDir = makeTempDir("zephrane-bench");
    if (workDir.empty())
        return figures;
    std::vector<double> cold, warm;
    std::vector<long> peaks;
    std::error_code error;
    for (int run = 0; run < startupRuns; ++run) {
        const fs::path cache = workDir / ("cold-" + std::to_string(run));
        fs::create_directories(cache, error);
        if (auto result = probeOnce(mode, cache, workDir))
            cold.push_back(result->startupMs);
    }
    const fs::path warmCache = workDir / "warm";
    fs::create_directories(warmCache, error);
    probeOnce(mode, warmCache, workDir);
    for (int run = 0; run < startupRuns; ++run)
        if (auto result = probeOnce(mode, warmCache, workDir)) {
            warm.push_back(result->startupMs);
            peaks.push_back(result->peakKib);
        }
    fs::remove_all(workDir, error);

    figures.ok = cold.size() == startupRuns && warm.size() == startupRuns;
    figures.coldMs = medianOf(cold);
    figures.warmMs = medianOf(warm);
    figures.peakKib = peaks.empty() ? 0 : *std::max_element(peaks.begin(), peaks.end());
    return figures;
}

// ---------------------------------------------------------------------------------------------
// The table
// ---------------------------------------------------------------------------------------------

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string ratio(double game, double empty) {
    return empty > 0.0 ? fixed(game / empty, 1) : "n/a";
}

void row(std::ostream& out, const std::string& figure, const std::string& game,
         const std::string& empty, const std::string& ratioText) {
    out << "| " << figure << " | " << game << " | " << empty << " | " << ratioText << " |\n";
}

void timeRow(std::ostream& out, const std::string& figure, double gameMs, double emptyMs) {
    row(out, figure, fixed(gameMs, 2) + " ms", fixed(emptyMs, 2) + " ms", ratio(gameMs, emptyMs));
}

std::string glString(GLenum name) {
    const auto* text = reinterpret_cast<const char*>(glGetString(name));
    return text ? text : "?";
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Child side
// ---------------------------------------------------------------------------------------------

int runStartupProbe(const std::string& mode, long long startNanoseconds,
                    const fs::path& resultFile) {
    long long presented = 0;
    if (mode == "game") {
        // Two frames: the reading that starts the second one comes right after the first
        // frame was presented.
        std::istringstream text("2 0.016666668\n");
        std::string error;
        const auto script = ReplayScript::parse(text, error);
        assert(script && "the probe's own script parses");
        ScriptedFrameSource source(*script);
        class PresentedClock final : public FrameClock {
        public:
            PresentedClock(ScriptedFrameSource& source, long long& presented)
                : source(source), presented(presented) {}
            double now() override {
                const double time = source.now();
                if (source.frameIndex() == 1)
                    presented = monotonicNow();
                return time;
            }

        private:
            ScriptedFrameSource& source;
            long long& presented;
        } clock(source, presented);
        auto* game = new Zephrane(); // lives until the process ends, as in the game
        game->hooks = FrameHooks{&clock, &source, nullptr, 0};
        if (game->run() != 1)
            return 1;
    } else if (mode == "empty") {
        Engine engine; // its window lives until the process ends
        if (engine.init() != 0)
            return 1;
        glfwSwapInterval(0);
        glViewport(0, 0, canvasWidth, canvasHeight);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glfwSwapBuffers(engine.window);
        presented = monotonicNow();
    } else {
        std::cerr << "zephrane-replay: unknown start-up probe \"" << mode << "\"\n";
        return 2;
    }
    std::ofstream out(resultFile);
    out << (presented - startNanoseconds) << ' ' << readResidentKib().peak << '\n';
    return out ? 0 : 1;
}

// ---------------------------------------------------------------------------------------------
// Parent side
// ---------------------------------------------------------------------------------------------

int runFlightBenchmark(const fs::path& scriptPath) {
    std::ifstream file(scriptPath);
    if (!file) {
        std::cerr << "zephrane-replay: cannot open " << scriptPath.string() << "\n";
        return 2;
    }
    std::string error;
    const auto script = ReplayScript::parse(file, error);
    if (!script) {
        std::cerr << "zephrane-replay: " << scriptPath.string() << ": " << error << "\n";
        return 2;
    }

    // Start-up first, while this process has no window of its own yet.
    std::cerr << "benchmark: start-up runs (" << 2 * (2 * startupRuns + 1) << " starts)\n";
    const StartupFigures gameStartup = measureStartup("game");
    const StartupFigures emptyStartup = measureStartup("empty");

    std::cerr << "benchmark: the flight, " << script->frameCount() << " frames\n";
    ScriptedFrameSource source(*script);
    StampingClock clock(source);
    auto* game = new TimedZephrane(); // lives until the process ends, as in the game
    game->hooks = FrameHooks{&clock, &source, nullptr, 0};
    if (game->run() != 1) {
        std::cerr << "zephrane-replay: the game did not start\n";
        return 1;
    }
    clock.stamp();
    const long flightPeakKib = readResidentKib().peak;
    FrameFigures flight = figuresFrom(clock.wall, clock.cpu);
    flight.cpuUpdate = mean(game->updateCpu);
    flight.cpuDraw = mean(game->drawCpu);
    flight.hasGameSplit = true;
    const long flightFrames = long(clock.wall.size()) - 1;

    // Empty frames on the same window and context, as many as the flight had.
    std::cerr << "benchmark: " << flightFrames << " empty frames\n";
    GLFWwindow* window = glfwGetCurrentContext();
    int width = 0, height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    std::vector<long long> emptyWall, emptyCpu;
    for (long frame = 0; frame < flightFrames; ++frame) {
        emptyWall.push_back(monotonicNow());
        emptyCpu.push_back(threadCpuNow());
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glfwSwapBuffers(window);
    }
    emptyWall.push_back(monotonicNow());
    emptyCpu.push_back(threadCpuNow());
    const FrameFigures empty = figuresFrom(emptyWall, emptyCpu);

    std::ostringstream out;
    out << "\n## Benchmark flight\n\n";
    out << "- script: " << scriptPath.string() << ", " << flightFrames << " frames, "
        << fixed(source.time(), 1) << " s of game time; window " << width << " x " << height
        << (width == canvasWidth && height == canvasHeight ? "" : " (not the 1600 x 800 asked!)")
        << "\n";
    out << "- renderer: " << glString(GL_RENDERER) << "; " << glString(GL_VERSION) << "\n";
    out << "- game at the end: level " << game->level << ", points " << fixed(game->points, 2)
        << (game->gameOver ? ", game over" : ", still flying") << "\n";
    out << "- start-up: median of " << startupRuns
        << " runs from process start to the first presented frame; cold = empty Mesa shader "
           "cache, warm = the cache filled by an earlier run"
        << (gameStartup.ok && emptyStartup.ok ? "" : " (some runs failed!)") << "\n";
    out << "- frame time: wall time per frame, nearest-rank percentiles; CPU: main-thread "
           "time per frame, mean\n\n";
    row(out, "figure", "game flight", "empty frame", "ratio");
    row(out, "---", "---:", "---:", "---:");
    timeRow(out, "start-up to first frame, cold", gameStartup.coldMs, emptyStartup.coldMs);
    timeRow(out, "start-up to first frame, warm", gameStartup.warmMs, emptyStartup.warmMs);
    timeRow(out, "frame time, median", flight.median, empty.median);
    timeRow(out, "frame time, p95", flight.p95, empty.p95);
    timeRow(out, "frame time, p99", flight.p99, empty.p99);
    timeRow(out, "frame time, max", flight.max, empty.max);
    row(out, "CPU per frame, update", fixed(flight.cpuUpdate, 3) + " ms", "-", "-");
    row(out, "CPU per frame, draw submission", fixed(flight.cpuDraw, 3) + " ms", "-", "-");
    row(out, "CPU per frame, whole frame", fixed(flight.cpuFrame, 3) + " ms",
        fixed(empty.cpuFrame, 3) + " ms", ratio(flight.cpuFrame, empty.cpuFrame));
    row(out, "peak resident memory", fixed(double(flightPeakKib) / kibPerMib, 1) + " MiB",
        fixed(double(emptyStartup.peakKib) / kibPerMib, 1) + " MiB",
        ratio(double(flightPeakKib), double(emptyStartup.peakKib)));
    std::cout << out.str() << std::flush;
    return 0;
}
