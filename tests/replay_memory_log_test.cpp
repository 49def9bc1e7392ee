// zephrane-replay --memory-log: a line per minute of game time at the frame that ends nearest
// to it, one more at the end, and the option's mistakes refused before the game starts.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

constexpr int replayTimeoutSeconds = 900; // a sanitized build is slow

fs::path replayProgram() {
    return binaryDir() / "tools" / "replay" / "zephrane-replay";
}

} // namespace

TEST(ReplayMemoryLog, RefusesBadUseBeforeTheGameStarts) {
    if (!fs::exists(replayProgram()))
        GTEST_SKIP() << "needs zephrane-replay built";
    TempDir dir;
    writeFile(dir.path() / "good.replay", "10 0.05 W\n");
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"good.replay", "--memory-log"}, "zephrane-replay: --memory-log needs a file name\n"},
        {{"good.replay", "--memory-log", "no/such/dir/memory.log"},
         "zephrane-replay: cannot write no/such/dir/memory.log\n"},
        {{"--benchmark", "--memory-log", "memory.log"},
         "zephrane-replay: --benchmark takes only a script\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), replayProgram().string());
        const ProcessResult result = runProcess(args, dir.path(), "", 60);
        EXPECT_EQ(result.exitCode, 2) << c.message;
        EXPECT_EQ(result.err, c.message);
        EXPECT_EQ(result.out, ""); // the game never started
    }
}

TEST(ReplayMemoryLog, LogsEachGameMinuteAndTheEnd) {
    if (!std::getenv("DISPLAY") || !fs::exists(replayProgram()) ||
        !fs::is_directory(sourceDir() / "Resources" / "models"))
        GTEST_SKIP() << "needs a display, zephrane-replay and the generated Resources/";
    TempDir dir;
    // 8.5714283 s reads as a float a little under 60/7 s: seven frames fall short of the minute
    // by a hair and still carry it. The long last frame passes minute 3 on its own.
    writeFile(dir.path() / "minutes.replay", "14 8.5714283\n1 75\n");
    const fs::path log = dir.path() / "memory.log";
    const ProcessResult result =
        runProcess({replayProgram().string(), (dir.path() / "minutes.replay").string(), "--fast",
                    "--memory-log", log.string()},
                   sourceDir(), "", replayTimeoutSeconds, {{"SDL_AUDIODRIVER", "dummy"}});
    ASSERT_EQ(result.exitCode, 1) << result.err;

    std::istringstream lines(readFile(log));
    std::string header;
    std::getline(lines, header);
    EXPECT_EQ(header.rfind("# minute", 0), 0u) << header;
    const struct {
        std::string minute;
        long frame;
        std::string seconds;
    } expected[] = {
        {"1", 6, "60.000"}, {"2", 13, "120.000"}, {"3", 14, "195.000"}, {"end", 14, "195.000"}};
    for (const auto& e : expected) {
        std::string minute, seconds;
        long frame = -1, residentKib = 0, peakKib = 0;
        lines >> minute >> frame >> seconds >> residentKib >> peakKib;
        EXPECT_EQ(minute, e.minute);
        EXPECT_EQ(frame, e.frame) << "minute " << e.minute;
        EXPECT_EQ(seconds, e.seconds) << "minute " << e.minute;
        EXPECT_GT(residentKib, 0) << "minute " << e.minute;
        EXPECT_GE(peakKib, residentKib) << "minute " << e.minute;
    }
    std::string rest;
    EXPECT_FALSE(lines >> rest) << "unexpected: " << rest;
}
