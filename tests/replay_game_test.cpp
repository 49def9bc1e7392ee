// The real game end to end through zephrane-replay: scripted flights checked by their console
// lines, their final state and their screenshots.
//
// Screenshots are compared with small reference pictures under tests/data/replay/: the 1600 x
// 800 screenshot is averaged down by 8 in each direction (200 x 100), and the two pictures
// match when no more than 0.5 % of the pixels differ by more than 3/255 in any channel. That
// absorbs the last-bit differences another Mesa version or CPU may make, and still sees a
// missing object, a wrong colour or a moved text. To regenerate the references on purpose:
//   ZEPHRANE_UPDATE_REFERENCES=1 ctest -R ReplayGame
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

constexpr int referenceShrink = 8;               // screenshot pixels per reference pixel, per axis
constexpr int channelTolerance = 3;              // of 255
constexpr double differingPixelFraction = 0.005; // 0.5 %

#define REQUIRE_GAME()                                                                             \
    ZEPHRANE_REQUIRE(std::getenv("DISPLAY") && fs::exists(replayProgram()) &&                      \
                         fs::is_directory(sourceDir() / "Resources" / "models"),                   \
                     "needs a display, zephrane-replay and the generated Resources/")

// Pictures

RgbPicture shrink(const RgbPicture& full) {
    RgbPicture small{full.width / referenceShrink, full.height / referenceShrink, {}};
    std::vector<int> sums(size_t(small.width) * small.height * 3);
    for (int y = 0; y < small.height * referenceShrink; ++y)
        for (int x = 0; x < small.width * referenceShrink; ++x)
            for (int c = 0; c < 3; ++c)
                sums[(size_t(y / referenceShrink) * small.width + x / referenceShrink) * 3 + c] +=
                    full.rgb[(size_t(y) * full.width + x) * 3 + c];
    constexpr int area = referenceShrink * referenceShrink;
    for (int sum : sums)
        small.rgb.push_back(static_cast<unsigned char>((sum + area / 2) / area));
    return small;
}

// Compares a screenshot with its reference (see the top of this file); the message says how far
// apart they are.
::testing::AssertionResult looksLikeReference(const fs::path& screenshot,
                                              const std::string& reference) {
    const RgbPicture shot = readPicture(screenshot);
    if (shot.rgb.empty())
        return ::testing::AssertionFailure() << "no screenshot " << screenshot;
    const RgbPicture small = shrink(shot);
    const fs::path referenceFile = sourceDir() / "tests" / "data" / "replay" / (reference + ".png");
    if (std::getenv("ZEPHRANE_UPDATE_REFERENCES"))
        writePng(referenceFile, small.width, small.height, small.rgb);
    const RgbPicture expected = readPicture(referenceFile);
    if (expected.rgb.empty())
        return ::testing::AssertionFailure() << "no reference picture " << referenceFile;
    if (expected.width != small.width || expected.height != small.height)
        return ::testing::AssertionFailure()
               << "size " << small.width << " x " << small.height << ", reference "
               << expected.width << " x " << expected.height;
    long differing = 0;
    int worst = 0;
    for (size_t pixel = 0; pixel < small.rgb.size() / 3; ++pixel) {
        int largest = 0;
        for (int c = 0; c < 3; ++c)
            largest = std::max(largest, std::abs(int(small.rgb[pixel * 3 + c]) -
                                                 int(expected.rgb[pixel * 3 + c])));
        worst = std::max(worst, largest);
        if (largest > channelTolerance)
            ++differing;
    }
    const long allowed = long(differingPixelFraction * double(small.rgb.size() / 3));
    if (differing > allowed)
        return ::testing::AssertionFailure()
               << reference << ": " << differing << " pixels differ by more than "
               << channelTolerance << " (at most " << allowed << " may), worst " << worst;
    return ::testing::AssertionSuccess();
}

} // namespace

// Refusals

TEST(ReplayGame, RefusesBadScriptsAndOptionsBeforeTheGameStarts) {
    ZEPHRANE_REQUIRE(fs::exists(replayProgram()), "needs zephrane-replay built");
    TempDir dir;
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), replayProgram().string());
        return runProcess(args, dir.path(), "", 60);
    };
    writeFile(dir.path() / "bad.replay", "10 0.05 W\n5 0.05 Q\n");
    writeFile(dir.path() / "good.replay", "10 0.05 W\n");
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"bad.replay"}, "zephrane-replay: bad.replay: line 2: unknown key \"Q\"\n"},
        {{"missing.replay"}, "zephrane-replay: cannot open missing.replay\n"},
        {{"good.replay", "--screenshots", "good.replay/shots"},
         "zephrane-replay: cannot create the screenshot directory good.replay/shots\n"},
        {{"good.replay", "--state", "no/such/dir/state.json"},
         "zephrane-replay: cannot write no/such/dir/state.json\n"},
        {{"--record", "x.replay", "--fast"}, "zephrane-replay: --record takes only --state"},
        {{}, "zephrane-replay: give a script, --record FILE or --benchmark"},
        {{"good.replay", "--memory-log"}, "zephrane-replay: --memory-log needs a file name\n"},
        {{"good.replay", "--memory-log", "no/such/dir/memory.log"},
         "zephrane-replay: cannot write no/such/dir/memory.log\n"},
        {{"--benchmark", "--memory-log", "memory.log"},
         "zephrane-replay: --benchmark takes only a script\n"},
    };
    for (const auto& c : cases) {
        const ProcessResult result = run(c.args);
        EXPECT_EQ(result.exitCode, 2) << c.message;
        EXPECT_EQ(result.err.rfind(c.message, 0), 0u) << result.err;
        EXPECT_EQ(result.out, "") << c.message; // the game never started
    }
}

// Repeatability

TEST(ReplayGame, SameScriptSameBytes) {
    REQUIRE_GAME();
    // Speed, roll, pitch, a rocket, the three views, wireframe and transparency, at uneven
    // frame times.
    const std::string script = "12 0.0416667 W SPACE\n"
                               "shot fired\n"
                               "20 0.04 D UP 2\n"
                               "5 0.05 F3 A\n"
                               "shot wireframe\n"
                               "15 0.0466667 F9 2 S DOWN\n"
                               "shot transparent\n";
    TempDir dir;
    const Replay first = runReplay(dir, "first", script);
    const Replay second = runReplay(dir, "second", script);
    ASSERT_EQ(first.process.exitCode, 1) << first.process.out << first.process.err;
    ASSERT_EQ(second.process.exitCode, 1) << second.process.out << second.process.err;
    EXPECT_EQ(first.process.out, second.process.out);
    EXPECT_EQ(readFile(dir.path() / "first.json"), readFile(dir.path() / "second.json"));
    for (const char* shot : {"fired", "wireframe", "transparent"}) {
        const std::string a = readFile(first.shots / (std::string(shot) + ".png"));
        EXPECT_GT(a.size(), 1000u) << shot;
        EXPECT_TRUE(a == readFile(second.shots / (std::string(shot) + ".png"))) << shot;
    }
    // The script did reach all of that: the second view press came a second after the first.
    EXPECT_EQ(first.state["frames"].asInt(), 52);
    EXPECT_EQ(first.state["player"]["viewMode"].asInt(), 2);
    EXPECT_EQ(first.state["rocketsInFlight"].asInt(), 1);
    for (const char* on : {"wireframe", "transparency"})
        EXPECT_TRUE(first.state["switches"][on].asBool()) << on;
    EXPECT_TRUE(looksLikeReference(first.shots / "wireframe.png", "wireframe"));
}

// The gamepad reaches the game through the same controls as the keys: a pad-flown script and
// its key twin fly the same flight, bit for bit.
TEST(ReplayGame, GamepadFliesLikeTheKeys) {
    REQUIRE_GAME();
    TempDir dir;
    const Replay keys = runReplay(dir, "keys", "10 0.05 W SPACE A\n10 0.05 UP 2\n10 0.05 D\n");
    const Replay pad =
        runReplay(dir, "pad", "10 0.05 RT=1 PAD-A LX=-1\n10 0.05 LY=-1 PAD-Y\n10 0.05 LX=1\n");
    ASSERT_EQ(keys.process.exitCode, 1) << keys.process.out << keys.process.err;
    ASSERT_EQ(pad.process.exitCode, 1) << pad.process.out << pad.process.err;
    EXPECT_EQ(pad.state["player"], keys.state["player"]);
    EXPECT_EQ(pad.state["rocketsInFlight"].asInt(), 1);
    EXPECT_EQ(pad.process.out, keys.process.out);
}

// Screens and switches

TEST(ReplayGame, HelpScreenStopsTheGame) {
    REQUIRE_GAME();
    TempDir dir;
    // W for a second, then help (F1 comes before the game's update) for a second and a half.
    const Replay helped = runReplay(dir, "helped",
                                    "60 0.0166667 W\n"
                                    "1 0.0166667 F1 W\n"
                                    "shot help\n"
                                    "30 0.05 W SPACE\n");
    ASSERT_EQ(helped.process.exitCode, 1) << helped.process.out << helped.process.err;
    const Json::Value& state = helped.state;
    EXPECT_EQ(state["frames"].asInt(), 91);
    EXPECT_TRUE(state["switches"]["help"].asBool());
    // The clock and the score stopped after the first second (sixty updates), yet the actions
    // still reached the jet: W went on speeding it up, SPACE fired a rocket that stands still.
    EXPECT_FLOAT_EQ(state["points"].asFloat(), 0.59999973f);
    EXPECT_NEAR(state["timeLeft"].asFloat(), 99.0f, 1e-3f);
    EXPECT_GT(state["player"]["speed"].asFloat(), 100.0f);
    EXPECT_EQ(state["rocketsInFlight"].asInt(), 1);
    EXPECT_TRUE(looksLikeReference(helped.shots / "help.png", "help"));
}

TEST(ReplayGame, CullingDrawsLessWhenTheCameraLooksAway) {
    REQUIRE_GAME();
    TempDir dir;
    // The free camera turns up to the sky; F8 then takes effect from the next frame's draw.
    const std::string lookUp = "1 0.05 1\n20 0.05 DOWN\n";
    const Replay culled = runReplay(dir, "culled", lookUp + "1 0.05 F8\n2 0.05\n");
    const Replay lastFrame = runReplay(dir, "last-frame", lookUp + "2 0.05\n1 0.05 F8\n");
    ASSERT_EQ(culled.process.exitCode, 1) << culled.process.out << culled.process.err;
    ASSERT_EQ(lastFrame.process.exitCode, 1) << lastFrame.process.out << lastFrame.process.err;
    EXPECT_TRUE(culled.state["switches"]["frustumCulling"].asBool());
    EXPECT_TRUE(lastFrame.state["switches"]["frustumCulling"].asBool());
    // Twelve objects and the jet's spinner, all drawn while culling is off.
    EXPECT_EQ(lastFrame.state["componentsDrawn"].asInt(), 13);
    EXPECT_GT(culled.state["componentsDrawn"].asInt(), 0);
    EXPECT_LT(culled.state["componentsDrawn"].asInt(), 13);
}

TEST(ReplayGame, FreeCameraTakesTheKeysUntilOneIsPressedAgain) {
    REQUIRE_GAME();
    TempDir dir;
    // The free camera flies for 1.5 s; a second press after the one-second cooldown gives the
    // keys back to the jet for the last half second.
    const Replay replay =
        runReplay(dir, "free", "1 0.05 1\n30 0.05 W LEFT\nshot free-camera\n10 0.05 1 W\n");
    ASSERT_EQ(replay.process.exitCode, 1) << replay.process.out << replay.process.err;
    EXPECT_TRUE(looksLikeReference(replay.shots / "free-camera.png", "free-camera"));
    EXPECT_FALSE(replay.state["freeCameraActive"].asBool());
    // The jet flew straight on (LEFT never reached it); W reached it only in the last half
    // second, after the second press.
    EXPECT_EQ(replay.state["player"]["position"][0].asFloat(), 1.0f);
    EXPECT_EQ(replay.state["player"]["position"][1].asFloat(), 0.0f);
    EXPECT_GT(replay.state["player"]["speed"].asFloat(), 70.0f);
    EXPECT_LE(replay.state["player"]["speed"].asFloat(), 70.0f + 15.0f * 0.5f);
}

// Rules

// Down into the target's crater, round to face it, one rocket; the script ends two frames after
// the frame that moves the target.
const char* const hitScript = "28 0.05 UP\n"
                              "100 0.05\n"
                              "28 0.05 DOWN\n"
                              "36 0.05 D\n"
                              "72 0.05 DOWN\n"
                              "1 0.05 A SPACE\n"
                              "34 0.05 A\n"
                              "shot hit\n"
                              "3 0.05 A\n";

TEST(ReplayGame, DiveFireAndHitTheTarget) {
    REQUIRE_GAME();
    TempDir dir;
    const Replay replay = runReplay(dir, "hit", hitScript);
    ASSERT_EQ(replay.process.exitCode, 1) << replay.process.out << replay.process.err;
    EXPECT_EQ(replay.count("--- Hit target! ---"), 1) << replay.process.out;
    EXPECT_EQ(replay.countPrefix("---Collision"), 0) << replay.process.out;
    // The whole flight runs on the driver's debug context without an error report.
    EXPECT_EQ(replay.process.out.find("Type = Error"), std::string::npos) << replay.process.out;
    // The frame after the hit moves the target: its old and new centre end the output.
    const auto& lines = replay.lines;
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.end()[-3], "--- Hit target! ---") << replay.process.out;
    EXPECT_EQ(lines.end()[-2].rfind("new center: vec3(", 0), 0u);
    EXPECT_EQ(lines.end()[-1].rfind("new center: vec3(", 0), 0u);
    EXPECT_NE(lines.end()[-1], lines.end()[-2]);

    const Json::Value& state = replay.state;
    EXPECT_EQ(state["level"].asInt(), 2);
    EXPECT_FALSE(state["gameOver"].asBool());
    EXPECT_EQ(state["rocketsInFlight"].asInt(), 0);
    // The clock restarted at 95 s in the frame after the hit, at most two frames ago.
    EXPECT_LE(state["timeLeft"].asFloat(), 95.0f);
    EXPECT_GE(state["timeLeft"].asFloat(), 94.9f - 1e-4f);
    EXPECT_GT(state["points"].asFloat(), 1000.0f);
    EXPECT_TRUE(looksLikeReference(replay.shots / "hit.png", "hit"));
}

TEST(ReplayGame, CrashIntoAnEnemyJetEndsTheGame) {
    REQUIRE_GAME();
    TempDir dir;
    // Round to the east, straight into the first enemy jet's circle; then cheat mode.
    const Replay replay = runReplay(dir, "crash",
                                    "36 0.05 D\n36 0.05 DOWN\n36 0.05 A\n57 0.05\n"
                                    "shot game-over\n5 0.05\nshot still-over\n1 0.05 F6\n"
                                    "shot cheat\n");
    ASSERT_EQ(replay.process.exitCode, 1) << replay.process.out << replay.process.err;
    // Only that jet was touched; the game runs on, so the collision repeats each frame.
    EXPECT_EQ(replay.countPrefix("---Collision"), replay.count("---Collision with enemy jet ---"));
    EXPECT_GE(replay.count("---Collision with enemy jet ---"), 2);
    EXPECT_TRUE(replay.state["gameOver"].asBool());
    EXPECT_TRUE(replay.state["switches"]["cheatMode"].asBool());
    EXPECT_TRUE(looksLikeReference(replay.shots / "game-over.png", "game-over"));
    // The score goes on rising after the end, but the screen keeps the final points.
    EXPECT_EQ(readFile(replay.shots / "game-over.png"), readFile(replay.shots / "still-over.png"));
    // Cheat mode shows the running game again instead of the black screen.
    const std::vector<unsigned char> cheat = readPicture(replay.shots / "cheat.png").rgb;
    EXPECT_GT(std::count_if(cheat.begin(), cheat.end(), [](unsigned char c) { return c > 64; }),
              long(cheat.size() / 2));
}

// The memory log: a line per minute of game time at the frame that ends nearest to it, one
// more at the end. 8.5714283 s reads as a float a little under 60/7 s: seven frames fall short
// of the minute by a hair and still carry it. The long last frame passes minute 3 on its own.
TEST(ReplayGame, MemoryLogHasALinePerGameMinuteAndOneAtTheEnd) {
    REQUIRE_GAME();
    TempDir dir;
    const fs::path log = dir.path() / "memory.log";
    const Replay replay =
        runReplay(dir, "minutes", "14 8.5714283\n1 75\n", {"--memory-log", log.string()});
    ASSERT_EQ(replay.process.exitCode, 1) << replay.process.err;
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
