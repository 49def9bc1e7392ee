// zephrane-replay: plays the real game from a replay script instead of the clock and the
// keyboard, records a played game as such a script, and runs the benchmark flight. Run it from
// the directory that holds config.js, Shader/ and Resources/, as the game itself.
#include "FlightBenchmark.h"
#include "FrameRecorder.h"
#include "MemoryLog.h"
#include "ReplayObserver.h"
#include "ReplayScript.h"
#include "ScriptedFrameSource.h"
#include "StateSummary.h"
#include "app/Zephrane.h"
#include "platform/ParentLink.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int usageError = 2; // bad options, unreadable script or output
const char* const defaultBenchmarkScript = "bench/flight.replay";

const char* const usage =
    "usage:\n"
    "  zephrane-replay SCRIPT [--screenshots DIR] [--state FILE] [--memory-log FILE] [--fast]\n"
    "      Plays the game from SCRIPT. Screenshots named in the script are written to DIR as\n"
    "      NAME.png; the final state goes to FILE as JSON. Frames are shown at their scripted\n"
    "      pace unless --fast is given (as fast as the renderer allows). --memory-log writes\n"
    "      the resident memory (VmRSS, VmHWM in KiB) after every minute of game time and at\n"
    "      the end.\n"
    "  zephrane-replay --record FILE [--state FILE] [--memory-log FILE]\n"
    "      Plays the game in a window as usual and writes what was played to FILE as a script.\n"
    "  zephrane-replay --benchmark [SCRIPT] [--screenshots DIR]\n"
    "      Runs the benchmark flight (default bench/flight.replay) at render scale 100, at 50\n"
    "      and with a frame-rate target, and prints their table; DIR keeps a picture of each.\n"
    "The exit status is the game's (1 after a normal end, 255 after a failed start; 0 after a\n"
    "benchmark), or 2 for bad options, scripts and output paths. Keys in scripts are the\n"
    "actions' default keys, whatever keys.js binds.\n";

struct Options {
    std::optional<fs::path> script;
    std::optional<fs::path> screenshots;
    std::optional<fs::path> state;
    std::optional<fs::path> record;
    std::optional<fs::path> memoryLog;
    bool fast = false;
    bool benchmark = false;
};

int fail(const std::string& message) {
    std::cerr << "zephrane-replay: " << message << "\n";
    return usageError;
}

// Returns the options, or an exit status when the program should end at once.
std::variant<Options, int> parseOptions(const std::vector<std::string>& args) {
    Options options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::optional<fs::path>& into) {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return false;
            into = args[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            std::cout << usage;
            return 0;
        } else if (arg == "--screenshots") {
            if (!value(options.screenshots))
                return fail("--screenshots needs a directory");
        } else if (arg == "--state") {
            if (!value(options.state))
                return fail("--state needs a file name");
        } else if (arg == "--record") {
            if (!value(options.record))
                return fail("--record needs a file name");
        } else if (arg == "--memory-log") {
            if (!value(options.memoryLog))
                return fail("--memory-log needs a file name");
        } else if (arg == "--fast") {
            options.fast = true;
        } else if (arg == "--benchmark") {
            options.benchmark = true;
        } else if (arg.rfind("-", 0) == 0 && arg != "-") {
            return fail("unknown option " + arg + "\n" + usage);
        } else if (!options.script) {
            options.script = arg;
        } else {
            return fail("only one script can be played\n" + std::string(usage));
        }
    }
    const int modes = int(options.benchmark) + int(options.record.has_value()) +
                      int(options.script.has_value() && !options.benchmark);
    if (modes != 1)
        return fail("give a script, --record FILE or --benchmark\n" + std::string(usage));
    if (options.record && (options.screenshots || options.fast))
        return fail("--record takes only --state and --memory-log: a recorded game is played in "
                    "real time");
    if (options.benchmark && (options.state || options.memoryLog || options.fast))
        return fail("--benchmark takes only a script and --screenshots");
    return options;
}

std::optional<ReplayScript> readScript(const fs::path& path, std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = "cannot open " + path.string();
        return std::nullopt;
    }
    auto script = ReplayScript::parse(file, error);
    if (!script)
        error = path.string() + ": " + error;
    return script;
}

// Output files are checked before the game starts, so that a long flight is not lost at the end.
bool canWrite(const fs::path& file, std::string& error) {
    std::ofstream probe(file, std::ios::app);
    if (!probe) {
        error = "cannot write " + file.string();
        return false;
    }
    return true;
}

bool writeText(const fs::path& file, const std::string& text, std::string& error) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        error = "cannot write " + file.string();
        return false;
    }
    return true;
}

int runGame(const Options& options) {
    std::string error;
    std::optional<ReplayScript> script;
    if (options.script) {
        script = readScript(*options.script, error);
        if (!script)
            return fail(error);
    }
    if (options.screenshots) {
        std::error_code ignored; // the test below says whether it worked
        fs::create_directories(*options.screenshots, ignored);
        if (!fs::is_directory(*options.screenshots, ignored))
            return fail("cannot create the screenshot directory " + options.screenshots->string());
    }
    if (options.state && !canWrite(*options.state, error))
        return fail(error);
    if (options.record && !canWrite(*options.record, error))
        return fail(error);

    FrameRecorder recorder;
    FrameObserver* const recording = options.record ? &recorder : nullptr;
    std::optional<MemoryLog> memoryLog;
    if (options.memoryLog) {
        memoryLog.emplace(*options.memoryLog, recording);
        if (!memoryLog->isOpen())
            return fail("cannot write " + options.memoryLog->string());
    }

    std::optional<ScriptedFrameSource> source;
    ReplayObserver::Options watch;
    watch.next = memoryLog ? &*memoryLog : recording;
    auto* game = new Zephrane(); // lives until the process ends, as in the game
    if (script) {
        source.emplace(*script);
        game->hooks.clock = &*source;
        game->hooks.keyboard = &*source;
        game->hooks.gamepad = &*source;
        if (options.fast)
            game->hooks.swapInterval = 0; // no wait for the display
        watch.script = &*script;
        watch.screenshotDir = options.screenshots;
        watch.pacing = options.fast ? nullptr : &*source;
    }
    ReplayObserver observer(watch);
    game->hooks.observer = &observer;

    const int status = game->run();
    if (status != 1)
        return status; // the game has said why

    int result = status;
    for (const std::string& problem : observer.failures()) {
        std::cerr << "zephrane-replay: " << problem << "\n";
        result = usageError;
    }
    if (script && observer.framesSeen() < script->frameCount())
        std::cerr << "zephrane-replay: the game ended after frame " << observer.framesSeen()
                  << " of " << script->frameCount() << " (ESC or the window was closed)\n";
    if (options.record) {
        std::ostringstream text;
        recorder.script().write(text);
        if (!writeText(*options.record, text.str(), error))
            return fail(error);
        std::cerr << "zephrane-replay: recorded " << recorder.script().frameCount() << " frames to "
                  << options.record->string() << "\n";
    }
    if (options.state) {
        if (!writeText(*options.state, stateSummaryJson(*game, observer), error))
            return fail(error);
    }
    if (memoryLog && !memoryLog->finish())
        return fail("cannot write " + options.memoryLog->string());
    if (options.screenshots)
        std::cerr << "zephrane-replay: " << observer.screenshotsWritten().size()
                  << " screenshots in " << options.screenshots->string() << "\n";
    return result;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    // The benchmark's start-up measurement runs this program again in a child process.
    if (args.size() == 4 && args[0] == "--probe-startup")
        return runStartupProbe(args[1], std::atoll(args[2].c_str()), args[3]);
    if (args.size() == 5 && args[0] == "--probe-flight")
        return runFlightProbe(args[1], args[2], args[3], args[4]);

    auto parsed = parseOptions(args);
    if (const int* status = std::get_if<int>(&parsed))
        return *status;
    const Options& options = std::get<Options>(parsed);
    ParentLink::attach(); // scripts/play.sh learns from it how the demo flight ended
    if (options.benchmark)
        return runFlightBenchmark(options.script.value_or(defaultBenchmarkScript),
                                  options.screenshots);
    return runGame(options);
}
