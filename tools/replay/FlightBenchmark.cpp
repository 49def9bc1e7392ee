#include "FlightBenchmark.h"

#include "MemoryLog.h"
#include "PictureDifference.h"
#include "ReplayScript.h"
#include "Screenshot.h"
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

constexpr int startupRuns = 3;     // per start-up figure; the median is reported
constexpr long pictureFrame = 900; // the frame every flight keeps a picture of (15 s in)
constexpr int canvasWidth = 1600;  // the benchmark's window, as config.js asks for it
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

// Runs this very program again (even should its file be rebuilt meanwhile) with `arguments` and
// `environment`, its standard output discarded, and waits for it.
bool spawnSelf(std::vector<std::string> arguments, std::vector<std::string> environment) {
    const char* const self = "/proc/self/exe";
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
        return false;
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::string> currentEnvironment() {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry)
        environment.emplace_back(*entry);
    return environment;
}

std::optional<ProbeResult> probeOnce(const std::string& mode, const fs::path& cacheDir,
                                     const fs::path& workDir) {
    const fs::path resultFile = workDir / "probe.txt";
    std::error_code ignored;
    fs::remove(resultFile, ignored);

    std::vector<std::string> environment;
    for (const std::string& variable : currentEnvironment())
        if (variable.rfind(shaderCacheVariable + std::string("="), 0) != 0 &&
            variable.rfind("MESA_SHADER_CACHE_DISABLE=", 0) != 0)
            environment.push_back(variable);
    environment.push_back(shaderCacheVariable + std::string("=") + cacheDir.string());

    const long long start = monotonicNow();
    spawnSelf(
        {"zephrane-replay", "--probe-startup", mode, std::to_string(start), resultFile.string()},
        environment);
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

// A script shorter than the usual flight (a test's) still gets its pictures compared.
long pictureFrameOf(const ReplayScript& script) {
    return std::min(pictureFrame, long(script.frameCount()) - 1);
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
        game->hooks = FrameHooks{&clock, &source, nullptr, nullptr, 0}; // no wait for the display
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

// The flight in a child process: the real game in `dir` (its config.js sets the render scale),
// with wall time, main-thread CPU time and render scale of every frame written to `resultFile`
// after the peak memory and the mean CPU of the update and draw passes, and the picture of frame
// `pictureFrame` (or the last one of a shorter script) written to `picture`.
int runFlightProbe(const fs::path& dir, const fs::path& scriptPath, const fs::path& resultFile,
                   const fs::path& picture) {
    std::ifstream file(scriptPath);
    std::string error;
    const auto script = ReplayScript::parse(file, error);
    if (!script)
        return 2;
    std::error_code changed;
    fs::current_path(dir, changed);
    if (changed)
        return 2;

    class PictureTaker final : public FrameObserver {
    public:
        PictureTaker(const fs::path& picture, long frame) : picture(picture), frame(frame) {}
        void beforePresent(const FrameInfo& info, const Engine&) override {
            scales.push_back(info.renderScale);
            std::string ignored;
            if (info.index == frame)
                writeScreenshot(picture, canvasWidth, canvasHeight, ignored);
        }
        const fs::path& picture;
        const long frame;
        std::vector<int> scales;
    } taker(picture, pictureFrameOf(*script));

    ScriptedFrameSource source(*script);
    StampingClock clock(source);
    auto* game = new TimedZephrane(); // lives until the process ends, as in the game
    game->hooks = FrameHooks{&clock, &source, nullptr, &taker, 0};
    if (game->run() != 1)
        return 1;
    clock.stamp();
    std::ofstream out(resultFile);
    out << readResidentKib().peak << ' ' << mean(game->updateCpu) << ' ' << mean(game->drawCpu)
        << '\n';
    for (size_t i = 1; i < clock.wall.size() && i <= taker.scales.size(); ++i)
        out << double(clock.wall[i] - clock.wall[i - 1]) / nanosecondsPerMillisecond << ' '
            << double(clock.cpu[i] - clock.cpu[i - 1]) / nanosecondsPerMillisecond << ' '
            << taker.scales[i - 1] << '\n';
    return out ? 0 : 1;
}

// ---------------------------------------------------------------------------------------------
// Parent side
// ---------------------------------------------------------------------------------------------

namespace {

// The flights compared: the full picture, half of it each way, and a frame-rate target that may
// go down to a quarter.
struct Variant {
    std::string name, fileStem;
    int renderScale, targetFps;
};
const Variant variants[] = {
    {"100", "scale-100", 100, 0}, {"50", "scale-50", 50, 0}, {"target 60", "target-60", 25, 60}};
constexpr int variantCount = 3;
constexpr int flightRounds = 2;       // the three take turns this often; frames are pooled
constexpr double settleSeconds = 2.0; // the target's frames are judged after this much wall time
constexpr int jpegQuality = 85;

struct FlightFrame {
    double ms = 0; // wall time
    int scale = 0; // render scale it was drawn at
};

struct FlightRun {
    std::vector<long long> wall, cpu; // time stamps rebuilt from the frame times, ns
    std::vector<FlightFrame> frames;
    double cpuUpdate = 0, cpuDraw = 0;
    long peakKib = 0;
};

std::optional<FlightRun> readFlight(const fs::path& resultFile) {
    std::ifstream in(resultFile);
    FlightRun run;
    if (!(in >> run.peakKib >> run.cpuUpdate >> run.cpuDraw))
        return std::nullopt;
    double wallMs = 0, cpuMs = 0;
    int scale = 0;
    run.wall.push_back(0);
    run.cpu.push_back(0);
    while (in >> wallMs >> cpuMs >> scale) {
        run.frames.push_back({wallMs, scale});
        run.wall.push_back(run.wall.back() + (long long)(wallMs * nanosecondsPerMillisecond));
        run.cpu.push_back(run.cpu.back() + (long long)(cpuMs * nanosecondsPerMillisecond));
    }
    return run.frames.empty() ? std::nullopt : std::optional(run);
}

// A folder where the game runs with its own config.js and the data of the current folder.
bool prepareFlightDir(const fs::path& dir, const Variant& variant) {
    std::error_code error;
    fs::create_directories(dir, error);
    for (const char* linked : {"Shader", "Resources"})
        fs::create_directory_symlink(fs::absolute(linked), dir / linked, error);
    std::ofstream config(dir / "config.js");
    config << "{\"width\": " << canvasWidth << ", \"height\": " << canvasHeight
           << ", \"fitwindow\": 1, \"renderscale\": " << variant.renderScale
           << ", \"targetfps\": " << variant.targetFps << "}\n";
    return bool(config) && !error;
}

struct VariantFigures {
    FrameFigures frames;
    double withinTarget = 0; // share of frames after settling within the target or at the floor
    int scaleLow = 100, scaleHigh = 0, scaleMedian = 100; // after settling
    long peakKib = 0;
    long frameCount = 0;
    bool ok = true;
};

VariantFigures combine(const std::vector<FlightRun>& runs, const Variant& variant) {
    VariantFigures figures;
    std::vector<long long> wall{0}, cpu{0};
    std::vector<int> settledScales;
    long settled = 0, good = 0;
    double update = 0, draw = 0;
    for (const FlightRun& run : runs) {
        for (size_t i = 1; i < run.wall.size(); ++i) {
            wall.push_back(wall.back() + run.wall[i] - run.wall[i - 1]);
            cpu.push_back(cpu.back() + run.cpu[i] - run.cpu[i - 1]);
        }
        const double targetMs = variant.targetFps > 0 ? 1000.0 / variant.targetFps : 0.0;
        for (size_t i = 0; i < run.frames.size(); ++i) {
            if (double(run.wall[i]) / 1e9 < settleSeconds)
                continue;
            ++settled;
            const FlightFrame& frame = run.frames[i];
            good += frame.ms <= targetMs || frame.scale == variant.renderScale;
            settledScales.push_back(frame.scale);
        }
        update += run.cpuUpdate;
        draw += run.cpuDraw;
        figures.peakKib = std::max(figures.peakKib, run.peakKib);
    }
    figures.frames = figuresFrom(wall, cpu);
    figures.frames.cpuUpdate = runs.empty() ? 0 : update / double(runs.size());
    figures.frames.cpuDraw = runs.empty() ? 0 : draw / double(runs.size());
    figures.frameCount = long(wall.size()) - 1;
    figures.withinTarget = settled > 0 ? double(good) / double(settled) : 0.0;
    if (!settledScales.empty()) {
        std::sort(settledScales.begin(), settledScales.end());
        figures.scaleLow = settledScales.front();
        figures.scaleHigh = settledScales.back();
        figures.scaleMedian = settledScales[settledScales.size() / 2];
    }
    return figures;
}

} // namespace

int runFlightBenchmark(const fs::path& scriptPath, const std::optional<fs::path>& pictureDir) {
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
    std::error_code fsError;
    if (pictureDir && !fs::is_directory(*pictureDir, fsError)) {
        std::cerr << "zephrane-replay: " << pictureDir->string() << " is not a directory\n";
        return 2;
    }

    // Start-up first, while this process has no window of its own yet.
    std::cerr << "benchmark: start-up runs (" << 2 * (2 * startupRuns + 1) << " starts)\n";
    const StartupFigures gameStartup = measureStartup("game");
    const StartupFigures emptyStartup = measureStartup("empty");

    // This process's window, for the empty frames; it also keeps the X server from resetting
    // (and dropping the next flight's connection) whenever a flight ends.
    Engine engine; // its window lives until the process ends
    if (engine.init() != 0)
        return 1;

    // The flights, each in a process of its own (its peak memory is its own), taking turns so
    // that a machine's drift reaches them all alike.
    const fs::path workDir = makeTempDir("zephrane-flight");
    if (workDir.empty()) {
        std::cerr << "zephrane-replay: no temporary folder\n";
        return 1;
    }
    std::vector<FlightRun> runs[variantCount];
    bool allRan = true;
    for (const Variant& variant : variants)
        allRan = prepareFlightDir(workDir / variant.fileStem, variant) && allRan;
    for (int round = 0; round < flightRounds; ++round)
        for (int v = 0; v < variantCount; ++v) {
            const Variant& variant = variants[v];
            const fs::path dir = workDir / variant.fileStem;
            const fs::path resultFile = workDir / (variant.fileStem + ".txt");
            fs::remove(resultFile, fsError);
            std::cerr << "benchmark: flight " << variant.name << ", round " << round + 1 << " of "
                      << flightRounds << ", " << script->frameCount() << " frames\n";
            const bool ran = spawnSelf({"zephrane-replay", "--probe-flight", dir.string(),
                                        fs::absolute(scriptPath).string(), resultFile.string(),
                                        (workDir / (variant.fileStem + ".png")).string()},
                                       currentEnvironment());
            auto run = ran ? readFlight(resultFile) : std::nullopt;
            if (run)
                runs[v].push_back(std::move(*run));
            else
                std::cerr << "benchmark: that flight failed" << (ran ? " to write its figures" : "")
                          << "\n";
            allRan = allRan && run;
        }
    VariantFigures figures[variantCount];
    for (int v = 0; v < variantCount; ++v)
        figures[v] = combine(runs[v], variants[v]);

    // The pictures of the same frame, against the full one.
    std::optional<PictureDifference> differences[variantCount];
    std::string pictureNames[variantCount];
    for (int v = 0; v < variantCount; ++v) {
        const fs::path png = workDir / (variants[v].fileStem + ".png");
        differences[v] = comparePictures(png, workDir / (variants[0].fileStem + ".png"));
        if (pictureDir) {
            const fs::path jpeg = *pictureDir / ("flight-" + variants[v].fileStem + ".jpg");
            if (writeJpegCopy(png, jpeg, jpegQuality))
                pictureNames[v] = jpeg.string();
        }
    }
    fs::remove_all(workDir, fsError);
    // The full flight's picture against itself is the measure's zero point.
    assert((!differences[0] || (differences[0]->meanError == 0.0 && differences[0]->ssim == 1.0)) &&
           "a picture compared with itself differs by nothing");

    // Empty frames (clear and swap only) on a window of this process, as many as a flight had.
    const long flightFrames = runs[0].empty() ? 0 : long(runs[0][0].frames.size());
    std::cerr << "benchmark: " << flightFrames << " empty frames\n";
    glfwSwapInterval(0);
    glViewport(0, 0, canvasWidth, canvasHeight);
    int width = 0, height = 0;
    glfwGetFramebufferSize(engine.window, &width, &height);
    std::vector<long long> emptyWall, emptyCpu;
    for (long frame = 0; frame < flightFrames; ++frame) {
        emptyWall.push_back(monotonicNow());
        emptyCpu.push_back(threadCpuNow());
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glfwSwapBuffers(engine.window);
    }
    emptyWall.push_back(monotonicNow());
    emptyCpu.push_back(threadCpuNow());
    const FrameFigures empty = figuresFrom(emptyWall, emptyCpu);

    std::ostringstream out;
    out << "\n## Benchmark flight\n\n";
    out << "- script: " << scriptPath.string() << ", " << flightFrames << " frames; window "
        << width << " x " << height
        << (width == canvasWidth && height == canvasHeight ? "" : " (not the 1600 x 800 asked!)")
        << "\n";
    out << "- renderer: " << glString(GL_RENDERER) << "; " << glString(GL_VERSION) << "\n";
    out << "- flights: render scale 100, render scale 50, and a target of 60 frames a second "
           "with the scale's floor at 25; each in its own process, the three taking turns, "
        << flightRounds << " rounds, frames pooled" << (allRan ? "" : " (some flights failed!)")
        << "\n";
    out << "- start-up: median of " << startupRuns
        << " runs from process start to the first presented frame; cold = empty Mesa shader "
           "cache, warm = the cache filled by an earlier run"
        << (gameStartup.ok && emptyStartup.ok ? "" : " (some runs failed!)") << "\n";
    out << "- frame time: wall time per frame, nearest-rank percentiles; CPU: main-thread "
           "time per frame, mean\n\n";
    out << "| figure | 100 | 50 | 50 / 100 | target 60 | target / 100 | empty frame |\n";
    out << "| --- | ---: | ---: | ---: | ---: | ---: | ---: |\n";
    auto line = [&](const std::string& figure, auto value, int decimals, const std::string& unit,
                    const std::string& emptyText) {
        const double full = value(figures[0]);
        out << "| " << figure;
        for (int v = 0; v < variantCount; ++v) {
            out << " | " << fixed(value(figures[v]), decimals) << unit;
            if (v > 0)
                out << " | " << (full > 0.0 ? fixed(value(figures[v]) / full, 2) : "n/a");
        }
        out << " | " << emptyText << " |\n";
    };
    const auto ms = [](double value) { return fixed(value, 2) + " ms"; };
    out << "| start-up to first frame, cold | " << ms(gameStartup.coldMs) << " | - | - | - | - | "
        << ms(emptyStartup.coldMs) << " |\n";
    out << "| start-up to first frame, warm | " << ms(gameStartup.warmMs) << " | - | - | - | - | "
        << ms(emptyStartup.warmMs) << " |\n";
    line(
        "frame time, median", [](auto& f) { return f.frames.median; }, 2, " ms", ms(empty.median));
    line(
        "frame time, p95", [](auto& f) { return f.frames.p95; }, 2, " ms", ms(empty.p95));
    line(
        "frame time, p99", [](auto& f) { return f.frames.p99; }, 2, " ms", ms(empty.p99));
    line(
        "frame time, max", [](auto& f) { return f.frames.max; }, 2, " ms", ms(empty.max));
    line(
        "p99 / median",
        [](auto& f) { return f.frames.median > 0 ? f.frames.p99 / f.frames.median : 0; }, 2, "",
        "-");
    line(
        "CPU per frame, update", [](auto& f) { return f.frames.cpuUpdate; }, 3, " ms", "-");
    line(
        "CPU per frame, draw submission", [](auto& f) { return f.frames.cpuDraw; }, 3, " ms", "-");
    line(
        "CPU per frame, whole frame", [](auto& f) { return f.frames.cpuFrame; }, 3, " ms",
        fixed(empty.cpuFrame, 3) + " ms");
    line(
        "frames measured", [](auto& f) { return double(f.frameCount); }, 0, "",
        std::to_string(flightFrames));
    line(
        "peak resident memory", [](auto& f) { return double(f.peakKib) / kibPerMib; }, 1, " MiB",
        fixed(double(emptyStartup.peakKib) / kibPerMib, 1) + " MiB");
    out << "\n- target 60: after the first " << fixed(settleSeconds, 0) << " s, "
        << fixed(100.0 * figures[2].withinTarget, 1)
        << " % of the frames took at most 1/60 s or were drawn at the floor; the scale in use "
           "was "
        << figures[2].scaleMedian << " % (median), " << figures[2].scaleLow << " to "
        << figures[2].scaleHigh << " %\n";
    for (int v = 1; v < variantCount; ++v) {
        out << "- picture of frame " << pictureFrameOf(*script) << ", " << variants[v].name
            << " against 100: ";
        if (differences[v])
            out << "mean error " << fixed(differences[v]->meanError, 2) << " / 255, SSIM "
                << fixed(differences[v]->ssim, 3) << "\n";
        else
            out << "not taken!\n";
    }
    for (int v = 0; v < variantCount; ++v)
        if (!pictureNames[v].empty())
            out << "- picture " << variants[v].name << ": " << pictureNames[v] << "\n";
    std::cout << out.str() << std::flush;
    return allRan ? 0 : 1;
}
