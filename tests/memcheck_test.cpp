// The real game under valgrind's memcheck on a short flight that ends on the game-over screen:
// any invalid read or write, use of an uninitialised value or bad free outside the GL driver
// (whose own reports tests/valgrind/gl-driver.supp suppresses) fails. Leaks do not count: the
// game keeps its objects until it ends, by design.
#include "TestSupport.h"

using namespace testing_support;
namespace fs = std::filesystem;

TEST(Memcheck, ReplayFlight) {
    const fs::path valgrind = "/usr/bin/valgrind";
    ZEPHRANE_REQUIRE(std::getenv("DISPLAY") && fs::exists(valgrind) && fs::exists(replayProgram()),
                     "needs a display, valgrind and zephrane-replay");
    TempDir dir;
    // A small window keeps the driver's pixel work small; the game still draws its whole canvas.
    const fs::path game = gameFolder(dir, "game", "{\"width\": 320, \"height\": 160}\n");
    // Most of the run is llvmpipe compiling shaders under valgrind: GALLIVM_PERF=nopt skips LLVM's
    // optimisation passes and saves about a third of it; LP_NUM_THREADS=0 rasterises on the
    // game's thread instead of a pool valgrind would serialise anyway. The child that forks (and
    // is not followed) is D-Bus's autolaunch helper.
    const ProcessResult result = runProcess(
        {valgrind.string(), "--tool=memcheck", "--error-exitcode=99",
         "--suppressions=" + (sourceDir() / "tests/valgrind/gl-driver.supp").string(),
         "--num-callers=40", "--leak-check=no", "--errors-for-leak-kinds=none",
         "--child-silent-after-fork=yes", replayProgram().string(),
         (sourceDir() / "tests/data/memcheck.replay").string(), "--fast", "--state", "state.json",
         "--screenshots", "shots"},
        game, "", 900,
        {{"SDL_AUDIODRIVER", "dummy"}, {"GALLIVM_PERF", "nopt"}, {"LP_NUM_THREADS", "0"}});
    // 99 is valgrind's status after memcheck found errors, which its log on standard error shows.
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_NE(readFile(game / "state.json").find("\"gameOver\": true"), std::string::npos)
        << "the flight no longer ends in game over: adjust tests/data/memcheck.replay";
}
