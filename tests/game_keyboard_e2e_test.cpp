// The real programs end to end, the way a player and a terminal reach them: start-up failures in a
// scratch directory, X key events from xdotool to the game's own window, and the signals of Ctrl+C
// and kill. GLFW takes keys only with the focus (and releases held keys when it loses it), so
// CTest runs this program with nothing beside it (RUN_SERIAL).
#include "TestSupport.h"

#include <csignal>
#include <cstdlib>
#include <sstream>
#include <thread>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// llvmpipe drawing on the main thread alone makes every frame several times longer than a
// tap, so a tap that is only seen while it is held would be lost most of the time.
const std::map<std::string, std::string> slowFramesWithSound{{"SDL_AUDIODRIVER", "dummy"},
                                                             {"LP_NUM_THREADS", "0"}};

class RunningGame : public ::testing::Test {
protected:
    void start(const std::vector<std::string>& argv, const fs::path& cwd = sourceDir()) {
        ZEPHRANE_REQUIRE(std::getenv("DISPLAY") && !shellOutput("command -v xdotool").empty(),
                         "needs a display and xdotool");
        game.emplace(argv, cwd, slowFramesWithSound);
        ASSERT_TRUE(game->waitForOutput("Successfully initialized Engine\n", 120))
            << game->output();
        window = shellOutput("xdotool search --sync --all --pid " + std::to_string(game->pid()) +
                             " --name '^Zephrane$' | head -n 1");
        ASSERT_FALSE(window.empty());
    }

    // Each named key in turn to the focused game window: "key" taps it (press, 12 ms,
    // release), "keydown" and "keyup" press or release it.
    void keys(const std::string& action, const std::string& names) {
        std::string command = "xdotool windowfocus --sync " + window;
        std::istringstream list(names);
        for (std::string name; list >> name;)
            command += " " + action + " --window " + window + " --delay 12 " + name;
        shellOutput(command + " 2>&1");
    }

    std::optional<ChildProcess> game;
    std::string window;
};

} // namespace

// Ctrl+C in the terminal while the scene is still being assembled, and kill's SIGTERM once the
// frame loop runs (a held key's switch line shows it does), end the game like the close button;
// after SIGTERM nothing more is written. A second signal ends it by the signal.
TEST_F(RunningGame, SignalsEndTheGameLikeTheCloseButton) {
    for (int signal : {SIGINT, SIGTERM}) {
        start({(binaryDir() / "zephrane").string()});
        if (IsSkipped() || HasFatalFailure())
            return;
        if (signal == SIGTERM) {
            keys("keydown", "F5");
            EXPECT_TRUE(game->waitForOutput("TSQ = bilinear, MM = nn\n", 60)) << game->output();
            keys("keyup", "F5");
        }
        const std::string before = game->output();
        kill(game->pid(), signal);
        EXPECT_EQ(game->wait(20), 1) << signal << ": " << game->output();
        EXPECT_TRUE(signal == SIGINT || game->output() == before) << game->output();
    }
    // A second Ctrl+C before the first is honoured ends the game at once, by the signal.
    start({(binaryDir() / "zephrane").string()});
    if (IsSkipped() || HasFatalFailure())
        return;
    kill(game->pid(), SIGINT);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    kill(game->pid(), SIGINT);
    EXPECT_EQ(game->wait(20), -1000) << game->output();
}

// The game played through zephrane-replay, which records it, with a player's keys.js that moves
// fire to G and the mute to N. Each accepted filter switch prints the new state once; taps are
// spaced past the switch's one-second cooldown, and one during scene loading is kept for the
// first frame. N mutes and the default M does nothing; held keys fly, roll and fire (G), and an
// Escape tap ends the game. The recording holds the actions, so it replays to the same output
// and final state without the bindings.
TEST_F(RunningGame, EveryTapCountsOnceAndTheRecordedGameReplaysWithoutItsBindings) {
    ZEPHRANE_REQUIRE(fs::exists(replayProgram()) &&
                         fs::is_directory(sourceDir() / "Resources" / "models"),
                     "needs zephrane-replay and the generated Resources/");
    TempDir dir;
    const fs::path folder = gameFolder(dir, "game", readFile(sourceDir() / "config.js"));
    writeFile(folder / "keys.js", "{ \"fire\": \"G\", \"mute\": \"n\" }");
    const fs::path script = dir.path() / "recorded.replay", state = dir.path() / "recorded.json";
    start({replayProgram().string(), "--record", script.string(), "--state", state.string()},
          folder);
    if (IsSkipped() || HasFatalFailure())
        return;
    const char* const taps[][2] = {{"F5", "TSQ = bilinear, MM = nn\n"},
                                   {"F5", "TSQ = bilinear, MM = off\n"},
                                   {"m", ""},
                                   {"F5", "TSQ = bilinear, MM = linear\n"},
                                   {"n", "Sound off\n"},
                                   {"F4", "TSQ = nn, MM = linear\n"}};
    std::string lines;
    for (const auto& [key, line] : taps) {
        keys("key", key);
        ASSERT_TRUE(game->waitForOutput(lines += line, 30)) << key << " lost:\n" << game->output();
        std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    }
    EXPECT_EQ(countOf(game->output(), "TSQ = "), 4u) << game->output();
    EXPECT_EQ(countOf(game->output(), "Sound "), 1u) << "M still mutes:\n" << game->output();
    keys("keydown", "w a g F5");
    EXPECT_TRUE(game->waitForOutput("TSQ = nn, MM = nn\n", 30)) << game->output();
    keys("keyup", "F5 a g w");
    keys("key", "XF86AudioPlay Escape"); // a key GLFW has no code for changes nothing
    EXPECT_EQ(game->wait(30), 1) << game->output();
    const std::string recorded = readFile(script);
    EXPECT_NE(recorded.find("SPACE"), std::string::npos) << recorded;
    EXPECT_NE(recorded.find(" M"), std::string::npos) << recorded;
    // Replayed from the repository root (where no keys.js is), it prints what the game printed
    // and ends in its final state, with a rocket in flight.
    const Replay replay = runReplay(dir, "replayed", recorded);
    ASSERT_EQ(replay.process.exitCode, 1) << replay.process.out << replay.process.err;
    EXPECT_EQ(replay.process.out, game->output());
    EXPECT_EQ(readFile(dir.path() / "replayed.json"), readFile(state));
    EXPECT_GE(replay.state["rocketsInFlight"].asInt(), 1);
}

// The engine's own message first, then the game's and the pause prompt; status -1. Where the
// configuration fails, the sound engine finds no device: its remark must not come first.
TEST(StartupFailures, EachFailureHasItsMessage) {
    const std::string parseFailure = "Failed to parse configuration file\n";
    const std::string tail = "Failed to initialize Engine\nPress Enter to continue . . .\n";
    for (const auto& [config, firstLines] : tableRows("startup-failures.txt", 10)) {
        SCOPED_TRACE(config);
        const bool window = firstLines == "No window.\n";
        ZEPHRANE_REQUIRE(!window || std::getenv("DISPLAY"), "needs a display");
        TempDir dir;
        if (config != "none")
            writeFile(dir.path() / "config.js", config);
        // A damaged gamepad mapping file beside config.js costs one remark, on standard error.
        writeFile(dir.path() / "gamecontrollerdb.txt", "not a mapping\n");
        std::vector<std::string> argv{(binaryDir() / "zephrane").string()};
        if (config == "{}")
            argv.insert(argv.begin(), {"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY"});
        const std::string sound =
            firstLines.rfind(parseFailure, 0) == 0 ? "no-such-driver" : "dummy";
        const ProcessResult result =
            runProcess(argv, dir.path(), "", 60, {{"SDL_AUDIODRIVER", sound}});
        EXPECT_EQ(result.exitCode, -1) << result.out << result.err;
        EXPECT_EQ(result.signal, 0);
        // Byte for byte on both streams, but for the JSON reader's own words.
        const std::string remark = "Gamepad: gamecontrollerdb.txt was not loaded (line 1 is not "
                                   "a gamepad mapping); the built-in mappings stay\n";
        if (sound == "dummy") {
            EXPECT_EQ(result.out, firstLines + tail);
            EXPECT_EQ(result.err, window ? remark : "");
        } else {
            EXPECT_EQ(result.out.rfind(firstLines, 0), 0u) << result.out;
            EXPECT_TRUE(result.out.ends_with(tail)) << result.out;
            EXPECT_EQ(result.err.rfind("Sound: no audio device, playing silently (", 0), 0u)
                << result.err;
            EXPECT_EQ(countOf(result.err, "Sound: "), 1u) << result.err;
        }
    }
}
