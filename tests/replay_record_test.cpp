// A game played with real X key events and recorded by zephrane-replay replays to the same
// output and final state. The keys go to the game's own window, and CTest runs this program
// alone (RUN_SERIAL): a window opening beside it would take the focus, and GLFW releases held
// keys when its window loses it.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

using namespace testing_support;
namespace fs = std::filesystem;

TEST(ReplayRecord, RecordedGameReplaysToTheSameState) {
    ZEPHRANE_REQUIRE(std::getenv("DISPLAY") && fs::exists(replayProgram()) &&
                         fs::is_directory(sourceDir() / "Resources" / "models") &&
                         !shellOutput("command -v xdotool").empty(),
                     "needs a display, xdotool, zephrane-replay and the generated Resources/");
    TempDir dir;
    const fs::path script = dir.path() / "recorded.replay";
    const fs::path recordedState = dir.path() / "recorded.json";
    std::string recordedOut;
    {
        ChildProcess game({replayProgram().string(), "--record", script.string(), "--state",
                           recordedState.string()},
                          sourceDir(), {{"SDL_AUDIODRIVER", "dummy"}});
        ASSERT_TRUE(game.waitForOutput("Successfully initialized Engine\n", 120)) << game.output();
        const std::string window =
            shellOutput("xdotool search --sync --all --pid " + std::to_string(game.pid()) +
                        " --name '^Zephrane$' | head -n 1");
        ASSERT_FALSE(window.empty());
        shellOutput("xdotool windowfocus --sync " + window + " 2>&1");
        auto keys = [&](const std::string& action, const std::string& names) {
            std::string command = "xdotool";
            std::istringstream list(names);
            for (std::string name; list >> name;)
                command += " " + action + " --window " + window + " " + name;
            shellOutput(command + " 2>&1");
        };
        // Fly, roll and fire while the texture filters change; each switch prints its new
        // state, which tells when the game has seen the keys.
        keys("keydown", "w a space F4");
        EXPECT_TRUE(game.waitForOutput("TSQ = nn, MM = linear\n", 30)) << game.output();
        keys("keyup", "F4 a space");
        keys("keydown", "F5 Up");
        EXPECT_TRUE(game.waitForOutput("TSQ = nn, MM = nn\n", 30)) << game.output();
        keys("keyup", "F5 Up w");
        // A tap: a held key whose release found no window would stay down for later tests.
        keys("key", "Escape");
        EXPECT_EQ(game.wait(30), 1) << game.output();
        recordedOut = game.output();
    }
    const std::string recorded = readFile(script);
    ASSERT_NE(recorded.find("SPACE"), std::string::npos) << recorded;
    ASSERT_NE(recorded.find("F4"), std::string::npos) << recorded;

    const Replay replay = runReplay(dir, "replayed", recorded);
    ASSERT_EQ(replay.process.exitCode, 1) << replay.process.out << replay.process.err;
    EXPECT_EQ(replay.process.out, recordedOut);
    EXPECT_EQ(readFile(dir.path() / "replayed.json"), readFile(recordedState));
    EXPECT_GE(replay.state["rocketsInFlight"].asInt(), 1);
}
