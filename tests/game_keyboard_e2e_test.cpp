// The real programs end to end, the way a player and a terminal reach them: X key events from
// xdotool to the game's own window, and the signals of Ctrl+C and kill. The window needs the
// focus for GLFW to take the keys (and GLFW releases held keys when it loses it), so CTest runs
// this program with nothing beside it (RUN_SERIAL).
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
    void SetUp() override { start({(binaryDir() / "zephrane").string()}); }

    void start(const std::vector<std::string>& argv) {
        ZEPHRANE_REQUIRE(std::getenv("DISPLAY") && !shellOutput("command -v xdotool").empty(),
                         "needs a display and xdotool");
        game.emplace(argv, sourceDir(), slowFramesWithSound);
        ASSERT_TRUE(game->waitForOutput("Successfully initialized Engine\n", 120))
            << game->output();
        // By process and title both: other games may have windows on the same display.
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

class RecordedGame : public RunningGame {
protected:
    void SetUp() override {}
};

} // namespace

// Each accepted filter switch prints the new state once; taps are spaced past the switch's
// one-second cooldown, and one during scene loading is kept for the first frame. Then kill's
// SIGTERM ends the game like the close button: nothing more is written after the loop ends.
TEST_F(RunningGame, EveryTapCountsOnceAndSigtermEndsTheGame) {
    const char* const taps[][2] = {{"F5", "TSQ = bilinear, MM = nn\n"},
                                   {"F5", "TSQ = bilinear, MM = off\n"},
                                   {"F5", "TSQ = bilinear, MM = linear\n"},
                                   {"F4", "TSQ = nn, MM = linear\n"}};
    std::size_t previous = 0;
    for (const auto& [key, line] : taps) {
        keys("key", key);
        ASSERT_TRUE(game->waitForOutput(line, previous == 0 ? 30 : 10))
            << "tap of " << key << " lost:\n"
            << game->output();
        EXPECT_GT(game->output().find(line, previous), previous) << game->output();
        previous = game->output().find(line, previous);
        std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    }
    EXPECT_EQ(countOf(game->output(), "TSQ = "), 4u) << game->output();
    const std::string before = game->output();
    kill(game->pid(), SIGTERM);
    EXPECT_EQ(game->wait(10), 1) << game->output();
    EXPECT_EQ(game->output(), before);
}

// Ctrl+C in the terminal, while the scene is still being assembled.
TEST_F(RunningGame, InterruptDuringLoadingEndsTheGame) {
    kill(game->pid(), SIGINT);
    EXPECT_EQ(game->wait(20), 1) << game->output();
}

// A game played with real key events and recorded by zephrane-replay replays to the same output
// and final state. Escape is a tap: a held key whose release found no window would stay down.
TEST_F(RecordedGame, ReplaysToTheSameState) {
    ZEPHRANE_REQUIRE(fs::exists(replayProgram()) &&
                         fs::is_directory(sourceDir() / "Resources" / "models"),
                     "needs zephrane-replay and the generated Resources/");
    TempDir dir;
    const fs::path script = dir.path() / "recorded.replay", state = dir.path() / "recorded.json";
    start({replayProgram().string(), "--record", script.string(), "--state", state.string()});
    if (IsSkipped() || HasFatalFailure())
        return;
    // Fly, roll and fire while the texture filters change; each switch prints its new state,
    // which tells when the game has seen the keys.
    keys("keydown", "w a space F4");
    EXPECT_TRUE(game->waitForOutput("TSQ = nn, MM = linear\n", 30)) << game->output();
    keys("keyup", "F4 a space");
    keys("keydown", "F5 Up");
    EXPECT_TRUE(game->waitForOutput("TSQ = nn, MM = nn\n", 30)) << game->output();
    keys("keyup", "F5 Up w");
    keys("key", "Escape");
    EXPECT_EQ(game->wait(30), 1) << game->output();
    const std::string recorded = readFile(script);
    ASSERT_NE(recorded.find("SPACE"), std::string::npos) << recorded;
    ASSERT_NE(recorded.find("F4"), std::string::npos) << recorded;

    const Replay replay = runReplay(dir, "replayed", recorded);
    ASSERT_EQ(replay.process.exitCode, 1) << replay.process.out << replay.process.err;
    EXPECT_EQ(replay.process.out, game->output());
    EXPECT_EQ(readFile(dir.path() / "replayed.json"), readFile(state));
    EXPECT_GE(replay.state["rocketsInFlight"].asInt(), 1);
}
