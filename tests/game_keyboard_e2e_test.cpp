// The real program end to end, the way a player and a terminal reach it: single key taps
// from xdotool (press, a few milliseconds, release) and the signals of Ctrl+C and kill.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <thread>

using namespace testing_support;

namespace {

// llvmpipe drawing on the main thread alone makes every frame several times longer than a
// tap, so a tap that is only seen while it is held would be lost most of the time.
const std::map<std::string, std::string> slowFramesWithSound{{"SDL_AUDIODRIVER", "dummy"},
                                                             {"LP_NUM_THREADS", "0"}};

class RunningGame : public ::testing::Test {
protected:
    void SetUp() override {
        ZEPHRANE_REQUIRE(std::getenv("DISPLAY") && !shellOutput("command -v xdotool").empty(),
                         "needs a display and xdotool");
        game.emplace(std::vector<std::string>{(binaryDir() / "zephrane").string()}, sourceDir(),
                     slowFramesWithSound);
        ASSERT_TRUE(game->waitForOutput("Successfully initialized Engine\n", 120))
            << game->output();
        // By process and title both: other games may have windows on the same display.
        window = shellOutput("xdotool search --sync --all --pid " + std::to_string(game->pid()) +
                             " --name '^Zephrane$' | head -n 1");
        ASSERT_FALSE(window.empty());
    }

    // One tap of one key (press, 12 ms, release) to the game's own window. The window needs
    // the focus for GLFW to take the keys, so these tests run with nothing beside them.
    void tap(const std::string& key) {
        shellOutput("xdotool windowfocus --sync " + window + " key --window " + window +
                    " --delay 12 " + key + " 2>&1");
    }

    std::optional<ChildProcess> game;
    std::string window;
};

} // namespace

TEST_F(RunningGame, EveryTapCountsOnce) {
    // Each accepted filter switch prints the new state once; taps are spaced past the
    // switch's one-second cooldown. A tap during scene loading is kept for the first frame.
    const char* const taps[][2] = {{"F5", "TSQ = bilinear, MM = nn\n"},
                                   {"F5", "TSQ = bilinear, MM = off\n"},
                                   {"F5", "TSQ = bilinear, MM = linear\n"},
                                   {"F4", "TSQ = nn, MM = linear\n"}};
    std::size_t previous = 0;
    for (const auto& [key, line] : taps) {
        tap(key);
        ASSERT_TRUE(game->waitForOutput(line, previous == 0 ? 30 : 10))
            << "tap of " << key << " lost:\n"
            << game->output();
        EXPECT_GT(game->output().find(line, previous), previous) << game->output();
        previous = game->output().find(line, previous);
        std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    }
    EXPECT_EQ(countOf(game->output(), "TSQ = "), 4u) << game->output();

    tap("Escape");
    EXPECT_EQ(game->wait(20), 1) << game->output();
}

TEST_F(RunningGame, SignalsEndTheGameLikeTheCloseButton) {
    // The first switch line proves the frame loop is running. The key is held rather than
    // tapped so that this test does not depend on taps being kept.
    shellOutput("xdotool windowfocus --sync " + window + " keydown --window " + window + " F5");
    const bool running = game->waitForOutput("TSQ = bilinear, MM = nn\n", 60);
    shellOutput("xdotool keyup --window " + window + " F5");
    ASSERT_TRUE(running) << game->output();
    const std::string before = game->output();
    kill(game->pid(), SIGTERM);
    EXPECT_EQ(game->wait(10), 1) << game->output();
    EXPECT_EQ(game->output(), before) << "nothing more is written after the loop ends";
}

// Ctrl+C in the terminal, while the scene is still being assembled.
TEST_F(RunningGame, InterruptDuringLoadingEndsTheGame) {
    kill(game->pid(), SIGINT);
    EXPECT_EQ(game->wait(20), 1) << game->output();
}
