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

#include <glm/glm.hpp>
#include <gtest/gtest.h>
#include <json/json.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

constexpr int referenceShrink = 8;               // screenshot pixels per reference pixel, per axis
constexpr int channelTolerance = 3;              // of 255
constexpr double differingPixelFraction = 0.005; // 0.5 %
constexpr int replayTimeoutSeconds = 900;        // a sanitized build is slow

// Running a replay

struct Replay {
    ProcessResult process;
    Json::Value state;
    fs::path shots;
    std::vector<std::string> lines; // standard output, line by line

    long count(const std::string& line) const {
        return long(std::count(lines.begin(), lines.end(), line));
    }
    long countPrefix(const std::string& prefix) const {
        return long(std::count_if(lines.begin(), lines.end(),
                                  [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
    }
};

fs::path replayProgram() {
    return binaryDir() / "tools" / "replay" / "zephrane-replay";
}

// Runs a script from the repository root (the game's working directory) as fast as possible.
Replay runReplay(const TempDir& dir, const std::string& name, const std::string& script) {
    Replay replay;
    const fs::path scriptFile = dir.path() / (name + ".replay");
    writeFile(scriptFile, script);
    replay.shots = dir.path() / name;
    const fs::path stateFile = dir.path() / (name + ".json");
    replay.process =
        runProcess({replayProgram().string(), scriptFile.string(), "--fast", "--screenshots",
                    replay.shots.string(), "--state", stateFile.string()},
                   sourceDir(), "", replayTimeoutSeconds, {{"SDL_AUDIODRIVER", "dummy"}});
    std::istringstream out(replay.process.out);
    for (std::string line; std::getline(out, line);)
        replay.lines.push_back(line);
    Json::CharReaderBuilder reader;
    std::istringstream stateText(readFile(stateFile));
    std::string errors;
    Json::parseFromStream(reader, stateText, &replay.state, &errors);
    return replay;
}

bool canRunGame(std::string& why) {
    if (!std::getenv("DISPLAY"))
        why = "needs a display";
    else if (!fs::is_directory(sourceDir() / "Resources" / "models"))
        why = "needs the generated Resources/ (scripts/setup.sh)";
    else if (!fs::exists(replayProgram()))
        why = "needs zephrane-replay built";
    return why.empty();
}

#define REQUIRE_GAME()                                                                             \
    do {                                                                                           \
        std::string why;                                                                           \
        if (!canRunGame(why))                                                                      \
            GTEST_SKIP() << why;                                                                   \
    } while (false)

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
    if (!fs::exists(replayProgram()))
        GTEST_SKIP() << "needs zephrane-replay built";
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
    // The clock, the score and the jet stopped after the first second: sixty hundredths of a
    // point, and the jet (drawn at a tenth of its size) about 7.75 units on, where a second from
    // 70 units per second, speeding up by 15 per second, takes it (2.5 s would take it 22).
    EXPECT_FLOAT_EQ(state["points"].asFloat(), 0.59999973f);
    EXPECT_NEAR(state["timeLeft"].asFloat(), 99.0f, 1e-3f);
    EXPECT_EQ(state["level"].asInt(), 1);
    EXPECT_FALSE(state["gameOver"].asBool());
    const Json::Value& at = state["player"]["position"];
    const glm::vec3 position(at[0].asFloat(), at[1].asFloat(), at[2].asFloat());
    EXPECT_NEAR(glm::distance(position, glm::vec3(1.0f, 0.0f, 0.0f)), 7.75f, 0.05f);
    // The actions still reached the jet: W went on speeding it up (to 107.75 after 2.5 s),
    // SPACE fired a rocket that stands still.
    EXPECT_GT(state["player"]["speed"].asFloat(), 100.0f);
    EXPECT_EQ(state["rocketsInFlight"].asInt(), 1);
    EXPECT_TRUE(looksLikeReference(helped.shots / "help.png", "help"));
}

TEST(ReplayGame, WireframeTogglesOncePerSecondWhileHeld) {
    REQUIRE_GAME();
    TempDir dir;
    // 2.5 s of F3: on at once, off after a second, on again after two.
    const Replay replay = runReplay(dir, "wireframe", "10 0.05\n50 0.05 F3\nshot wireframe\n");
    ASSERT_EQ(replay.process.exitCode, 1) << replay.process.out << replay.process.err;
    EXPECT_TRUE(replay.state["switches"]["wireframe"].asBool());
    EXPECT_TRUE(looksLikeReference(replay.shots / "wireframe.png", "wireframe"));
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
    // The jet flew straight on (LEFT never reached it) and only the last half second of W
    // sped it up from its first 70 units per second, by 15 per second.
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
    // A hundredth per frame, and the thousand for the hit.
    EXPECT_NEAR(state["points"].asFloat(), 1000.0f + 0.01f * state["frames"].asFloat(), 1e-2f);
    // The new place has whole-number coordinates.
    for (const Json::Value& coordinate : state["target"]["position"])
        EXPECT_EQ(coordinate.asFloat(), std::trunc(coordinate.asFloat()));
    EXPECT_TRUE(looksLikeReference(replay.shots / "hit.png", "hit"));
}

TEST(ReplayGame, CrashIntoAnEnemyJetEndsTheGame) {
    REQUIRE_GAME();
    TempDir dir;
    // Round to the east, straight into the first enemy jet's circle; then cheat mode.
    const Replay replay = runReplay(dir, "crash",
                                    "36 0.05 D\n36 0.05 DOWN\n36 0.05 A\n57 0.05\n"
                                    "shot game-over\n5 0.05\n1 0.05 F6\nshot cheat\n");
    ASSERT_EQ(replay.process.exitCode, 1) << replay.process.out << replay.process.err;
    // Only that jet was touched; the game runs on, so the collision repeats each frame.
    EXPECT_EQ(replay.countPrefix("---Collision"), replay.count("---Collision with enemy jet ---"));
    EXPECT_GE(replay.count("---Collision with enemy jet ---"), 2);
    EXPECT_TRUE(replay.state["gameOver"].asBool());
    EXPECT_TRUE(replay.state["switches"]["cheatMode"].asBool());
    EXPECT_TRUE(looksLikeReference(replay.shots / "game-over.png", "game-over"));
    // Cheat mode shows the running game again instead of the black screen.
    const std::vector<unsigned char> cheat = readPicture(replay.shots / "cheat.png").rgb;
    EXPECT_GT(std::count_if(cheat.begin(), cheat.end(), [](unsigned char c) { return c > 64; }),
              long(cheat.size() / 2));
}

// The demo flight and recordings

TEST(ReplayGame, DemoFlightHitsTheTarget) {
    REQUIRE_GAME();
    if (std::getenv("ZEPHRANE_SANITIZED"))
        GTEST_SKIP() << "a thousand frames are too slow in a sanitized build";
    TempDir dir;
    const Replay replay = runReplay(dir, "demo", readFile(sourceDir() / "demo" / "demo.replay"));
    ASSERT_EQ(replay.process.exitCode, 1) << replay.process.out << replay.process.err;
    EXPECT_EQ(replay.count("--- Hit target! ---"), 1) << replay.process.out;
    EXPECT_EQ(replay.countPrefix("---Collision"), 0) << replay.process.out;
    // The whole flight runs on the driver's debug context without an error report.
    EXPECT_EQ(replay.process.out.find("Type = Error"), std::string::npos) << replay.process.out;
    EXPECT_EQ(replay.process.out.find("Type = Undefined Behavior"), std::string::npos);
    EXPECT_EQ(replay.state["level"].asInt(), 2);
    EXPECT_FALSE(replay.state["gameOver"].asBool());
    for (const char* shot : {"take-off", "airfield", "turn", "rocket", "hit", "level-2"})
        EXPECT_TRUE(fs::exists(replay.shots / (std::string(shot) + ".png"))) << shot;
}

TEST(ReplayGame, RecordedGameReplaysToTheSameState) {
    REQUIRE_GAME();
    if (shellOutput("command -v xdotool").empty())
        GTEST_SKIP() << "needs xdotool";
    TempDir dir;
    const fs::path script = dir.path() / "recorded.replay";
    const fs::path recordedState = dir.path() / "recorded.json";
    std::string recordedOut;
    {
        ChildProcess game({replayProgram().string(), "--record", script.string(), "--state",
                           recordedState.string()},
                          sourceDir(), {{"SDL_AUDIODRIVER", "dummy"}});
        ASSERT_TRUE(game.waitForOutput("Successfully initialized Engine\n", 300)) << game.output();
        // Keys are sent to this game's own window, so that other games on the same display
        // (tests running side by side) do not get them.
        const std::string window =
            shellOutput("xdotool search --sync --all --pid " + std::to_string(game.pid()) +
                        " --name '^Zephrane$' | head -n 1");
        ASSERT_FALSE(window.empty());
        auto keys = [&](const std::string& action, const std::string& names) {
            std::string command = "xdotool";
            std::istringstream list(names);
            for (std::string name; list >> name;)
                command += " " + action + " --window " + window + " " + name;
            shellOutput(command + " 2>&1");
        };
        // Fly, roll and fire while the texture filters change; each accepted switch prints
        // its new state, which tells when the game has seen the keys. A game losing the focus
        // (another test's window opening) releases its keys, so they are pressed again until
        // the game answers.
        auto pressUntil = [&](const std::string& names, const std::string& answer) {
            for (int attempt = 0; attempt < 10; ++attempt) {
                shellOutput("xdotool windowfocus --sync " + window + " 2>&1");
                keys("keydown", names);
                if (game.waitForOutput(answer, 30))
                    return true;
            }
            return false;
        };
        EXPECT_TRUE(pressUntil("w a space F4", "TSQ = nn, MM = linear\n")) << game.output();
        keys("keyup", "F4 a space");
        EXPECT_TRUE(pressUntil("F5 Up", "TSQ = nn, MM = nn\n")) << game.output();
        keys("keyup", "F5 Up w");
        // ESC likewise, until the game's output ends (waiting returns early only then).
        for (int attempt = 0; attempt < 10; ++attempt) {
            shellOutput("xdotool windowfocus --sync " + window + " 2>&1");
            keys("keydown", "Escape");
            const auto start = std::chrono::steady_clock::now();
            game.waitForOutput("\n(never printed)\n", 30);
            if (std::chrono::steady_clock::now() - start < std::chrono::seconds(25))
                break;
        }
        EXPECT_EQ(game.wait(60), 1) << game.output();
        keys("keyup", "Escape");
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
