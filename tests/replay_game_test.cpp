// Replay scripts read, written and played into the frame loop's seams; then the real game through
// zephrane-replay: scripted flights checked by their console lines, final state and screenshots
// (compared with tests/data/replay/, which docs/replays.md says how to regenerate).
#include "ReplayScript.h"
#include "ScriptedFrameSource.h"
#include "TestSupport.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <sstream>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

std::string written(const ReplayScript& script) {
    std::ostringstream out;
    script.write(out);
    return out.str();
}

bool sameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

ReplayScript::KeySet keys(std::initializer_list<int> glfwKeys) {
    ReplayScript::KeySet set = 0;
    for (int key : glfwKeys)
        set |= ReplayScript::keyBit(key);
    return set;
}

// The real game through zephrane-replay, in a scratch directory of its own.
class ReplayGame : public ::testing::Test {
protected:
    void SetUp() override {
        ZEPHRANE_REQUIRE(std::getenv("DISPLAY") && fs::exists(replayProgram()) &&
                             fs::is_directory(sourceDir() / "Resources" / "models"),
                         "needs a display, zephrane-replay and the generated Resources/");
    }
    TempDir dir;
};

// A screenshot averaged down by 8 (1600 x 800 to 200 x 100), where no more than 0.5 % of the
// pixels may differ: that absorbs what another Mesa or CPU may change, and still sees a missing
// object, a wrong colour or a moved text.
::testing::AssertionResult looksLikeReference(const fs::path& screenshot, const std::string& name) {
    return looksLikeReference(readPicture(screenshot), "replay/" + name, 8, 0.005);
}

// Two pictures of one size, averaged down by 8: the mean difference of a channel (of 255) and
// the share of pixels with a channel more than 24 apart.
std::pair<double, double> farApart(const RgbPicture& a, const RgbPicture& b) {
    const RgbPicture smallA = shrunk(a, 8), smallB = shrunk(b, 8);
    double errorSum = 0;
    for (std::size_t at = 0; at < smallA.rgb.size(); ++at)
        errorSum += std::abs(smallA.rgb[at] - smallB.rgb[at]);
    const double pixels = double(smallA.rgb.size() / 3);
    return {errorSum / (3 * pixels), double(differingPixels(smallA, smallB, 24)) / pixels};
}

// Of the pixels in the text's own colours (the green points line, the red clock) at the lower
// left of either picture, the share that both pictures have there.
double sameInk(const RgbPicture& a, const RgbPicture& b) {
    auto ink = [](const unsigned char* p) {
        return (p[1] >= 250 && p[0] <= 40 && p[2] <= 40) ||
               (p[0] >= 250 && p[1] <= 10 && p[2] <= 10);
    };
    long both = 0, either = 0;
    for (int y = a.height - 100; y < a.height; ++y)
        for (int x = 0; x < 320; ++x) {
            both += ink(a.at(x, y)) && ink(b.at(x, y));
            either += ink(a.at(x, y)) || ink(b.at(x, y));
        }
    return either > 0 ? double(both) / double(either) : 0.0;
}

#define ASSERT_ENDED(replay)                                                                       \
    ASSERT_EQ((replay).process.exitCode, 1) << (replay).process.out << (replay).process.err;       \
    EXPECT_TRUE((replay).process.err.ends_with(" screenshots in " + (replay).shots.string() + "\n"))

} // namespace

// A hand-written script (comments, blank lines, tabs, a CR, key names in any case) reads into
// stretches and shots and is written back plain. Recording merges equal frames unless a shot pins
// them; a pad at rest is no pad at all, and a pad's buttons and axes read back exactly.
TEST(ReplayScript, ReadsWritesAndRecordsStretchesShotsAndPads) {
    const std::string header = "# Zephrane replay: frames, frame time in seconds, keys held.\n";
    auto script = parsed<ReplayScript>(
        "# take-off\n\n120 0.0166667 w up   # climb\r\n  1\t0.5\nshot climb-1\n"
        "shot second_name\n30 0.02 SPACE Esc f1 1 2 Left\nshot end\n");
    ASSERT_TRUE(script);
    EXPECT_EQ(script->frameCount(), 151);
    EXPECT_EQ(script->shots().at(1).frameIndex, 120); // the frame just before the line
    EXPECT_TRUE(sameBits(script->stretches()[0].frameTime, 0.0166667f));
    EXPECT_EQ(written(*script), header +
                                    "120 0.0166667 W UP\n1 0.5\nshot climb-1\nshot second_name\n"
                                    "30 0.02 LEFT SPACE F1 1 2 ESC\nshot end\n");

    GamepadState pad{.connected = true};
    pad.buttons[GLFW_GAMEPAD_BUTTON_A] = pad.buttons[GLFW_GAMEPAD_BUTTON_DPAD_LEFT] = true;
    pad.axes[GLFW_GAMEPAD_AXIS_LEFT_X] = -1.0f / 3.0f;
    pad.axes[GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER] = 1.0f;
    ReplayScript recorded;
    EXPECT_FALSE(recorded.addShot("early")); // no frame yet
    for (int i = 0; i < 100; ++i)
        recorded.appendFrame(0.02f, keys({GLFW_KEY_SPACE}));
    recorded.appendFrame(0.02f, 0);
    ASSERT_TRUE(recorded.addShot("gap"));
    EXPECT_FALSE(recorded.addShot("gap") || recorded.addShot("with space"));
    recorded.appendFrame(0.02f, 0); // equal, but the shot must stay on frame 100
    recorded.appendFrame(0.02f, 0, GamepadState{.connected = true});
    recorded.appendFrame(0.02f, 0, {.connected = true, .axes = {0, 0, 0, 0.5f, -1, -1}}); // stick
    for (int i = 0; i < 2; ++i)
        recorded.appendFrame(0.05f, keys({GLFW_KEY_W}), pad);
    const std::string text = written(recorded);
    EXPECT_EQ(text, header + "100 0.02 SPACE\n1 0.02\nshot gap\n2 0.02\n1 0.02 RY=0.5\n"
                             "2 0.05 W PAD-A PAD-LEFT LX=-0.33333334 RT=1\n");
    auto read = parsed<ReplayScript>(text);
    ASSERT_TRUE(read) << text;
    EXPECT_EQ(read->stretches().at(4).pad, pad);
}

// Bad scripts, each refused naming its line (tests/data/replay-script-errors.txt); a zero frame
// time is allowed (a fast clock can read the same time twice).
TEST(ReplayScript, RejectsBadLinesNamingThem) {
    for (const auto& [text, message] : tableRows("replay-script-errors.txt", 31)) {
        std::string error;
        EXPECT_FALSE(parsed<ReplayScript>(text, &error)) << text;
        EXPECT_EQ(error.rfind(message, 0), 0u) << text << " gave " << error;
    }
    EXPECT_TRUE(parsed<ReplayScript>("5 0.01\nshot " + std::string(64, 'z') + "\nshot azAZ09-_\n"));
    EXPECT_TRUE(parsed<ReplayScript>("3 0\n") && parsed<ReplayScript>("3 -0\n"));
}

// Irregular float frame times and changing keys, as a recording has them, come back exactly
// over an hour of play; nothing is held before the first frame, and from the last one on Esc is
// held too, at the last frame time, to end the game.
TEST(ScriptedFrameSource, GivesEachFrameItsTimeAndKeysThenEsc) {
    ReplayScript script;
    std::vector<std::pair<float, ReplayScript::KeySet>> frames;
    unsigned state = 12345;
    for (int i = 0; i < 200000; ++i) {
        state = state * 1103515245u + 12345u;
        frames.emplace_back(0.001f + float(state >> 8) / float(1u << 24) * 0.03f,
                            keys({i % 3 ? GLFW_KEY_W : GLFW_KEY_SPACE, i % 5 ? 0 : GLFW_KEY_UP}));
        script.appendFrame(frames.back().first, frames.back().second);
    }
    ScriptedFrameSource source(script);
    EXPECT_FALSE(source.isDown(GLFW_KEY_W));
    EXPECT_EQ(source.frameIndex(), -1);
    double previous = source.now();
    for (std::size_t i = 0; i < frames.size() + 2; ++i) {
        const double now = source.now();
        ReplayScript::KeySet down = 0;
        for (const auto& key : ReplayScript::keyNames())
            down |= source.isDown(key.glfwKey) ? ReplayScript::keyBit(key.glfwKey) : 0;
        const std::size_t last = frames.size() - 1;
        ASSERT_TRUE(sameBits(float(now - previous), frames[std::min(i, last)].first)) << i;
        ASSERT_EQ(down,
                  (i <= last ? frames[i].second : 0) | (i >= last ? keys({GLFW_KEY_ESCAPE}) : 0))
            << i;
        previous = now;
    }
}

// The help is the usage docs/replays.md shows, word for word.
TEST_F(ReplayGame, HelpIsTheUsageTheGuideShows) {
    const ProcessResult help = runProcess({replayProgram().string(), "--help"}, dir.path());
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.starts_with("usage:\n")) << help.out;
    EXPECT_NE(readFile(sourceDir() / "docs/replays.md").find("```\n" + help.out + "```\n"),
              std::string::npos)
        << help.out;
}

TEST_F(ReplayGame, RefusesBadScriptsAndOptionsBeforeTheGameStarts) {
    writeFile(dir.path() / "bad.replay", "10 0.05 W\n5 0.05 Q\n");
    writeFile(dir.path() / "good.replay", "10 0.05 W\n");
    for (const auto& [arguments, message] : tableRows("replay-refusals.txt", 10)) {
        std::istringstream words(arguments == "none" ? "" : arguments);
        std::vector<std::string> args{replayProgram().string()};
        args.insert(args.end(), std::istream_iterator<std::string>(words), {});
        const ProcessResult result = runProcess(args, dir.path(), "", 60);
        EXPECT_EQ(result.exitCode, 2) << message;
        EXPECT_EQ(result.err.rfind(message, 0), 0u) << result.err;
        EXPECT_EQ(result.out, "") << message; // the game never started
    }
}

// Speed, roll, pitch, a rocket, the three views, wireframe and transparency at uneven frame
// times: the same script twice, and its twin flown on the gamepad (which reaches the game
// through the same controls as the keys, and is put down for the last frame), give the same
// output, state and screenshots.
TEST_F(ReplayGame, SameFlightSameBytesFromTheKeysAgainAndFromThePad) {
    const std::string keys = "12 0.0416667 W SPACE\nshot fired\n20 0.04 D UP 2\n5 0.05 F3 A\n"
                             "shot wireframe\n15 0.0466667 F9 2 S DOWN\nshot transparent\n1 0.05\n";
    const std::string pad = "12 0.0416667 RT=1 PAD-A\nshot fired\n20 0.04 LX=1 LY=-1 PAD-Y\n"
                            "5 0.05 PAD-DOWN LX=-1\nshot wireframe\n"
                            "15 0.0466667 PAD-RB PAD-Y LT=1 LY=1\nshot transparent\n1 0.05\n";
    const Replay first = runReplay(dir, "first", keys);
    ASSERT_ENDED(first);
    for (const auto& [name, script] : {std::pair{"second", keys}, {"pad", pad}}) {
        const Replay again = runReplay(dir, name, script);
        ASSERT_ENDED(again);
        EXPECT_EQ(again.process.out, first.process.out) << name;
        EXPECT_EQ(readFile(dir.path() / (name + std::string(".json"))),
                  readFile(dir.path() / "first.json"))
            << name;
        for (const char* shot : {"fired.png", "wireframe.png", "transparent.png"}) {
            const std::string bytes = readFile(first.shots / shot);
            EXPECT_GT(bytes.size(), 1000u) << shot;
            EXPECT_TRUE(bytes == readFile(again.shots / shot)) << name << " " << shot;
        }
    }
    // The script did reach all of that: the second view press came a second after the first.
    EXPECT_EQ(first.state["frames"].asInt(), 53);
    EXPECT_EQ(first.state["player"]["viewMode"].asInt(), 2);
    EXPECT_EQ(first.state["rocketsInFlight"].asInt(), 1);
    for (const char* on : {"wireframe", "transparency"})
        EXPECT_TRUE(first.state["switches"][on].asBool()) << on;
    EXPECT_EQ(
        first.state["switches"].getMemberNames(),
        (Json::Value::Members{"bilinearSampling", "cheatMode", "frustumCulling", "help",
                              "mipmapMode", "performanceOutput", "transparency", "wireframe"}));
    // Twelve objects, the jet's spinner and the rocket, all drawn while culling is off.
    EXPECT_EQ(first.state["componentsDrawn"].asInt(), 14);
    EXPECT_TRUE(looksLikeReference(first.shots / "wireframe.png", "wireframe"));
}

TEST_F(ReplayGame, HelpScreenStopsTheGame) {
    // W for a second, then help (F1 comes before the game's update) for a second and a half.
    const Replay helped =
        runReplay(dir, "helped", "60 0.0166667 W\n1 0.0166667 F1 W\nshot help\n30 0.05 W SPACE\n");
    ASSERT_ENDED(helped);
    const Json::Value& state = helped.state;
    EXPECT_TRUE(state["switches"]["help"].asBool());
    // The clock and the score stopped after the first second (sixty updates), yet the actions
    // still reached the jet: W went on speeding it up, SPACE fired a rocket that stands still.
    EXPECT_FLOAT_EQ(state["points"].asFloat(), 0.59999973f);
    EXPECT_NEAR(state["timeLeft"].asFloat(), 99.0f, 1e-3f);
    EXPECT_GT(state["player"]["speed"].asFloat(), 100.0f);
    EXPECT_EQ(state["rocketsInFlight"].asInt(), 1);
    EXPECT_TRUE(looksLikeReference(helped.shots / "help.png", "help"));
}

TEST_F(ReplayGame, FreeCameraTakesTheKeysUntilOneIsPressedAgain) {
    // The free camera pitches up for half a second, then flies and turns for 1.5 s on its own
    // axes (F8 held): the horizon stays level. A second press after the one-second cooldown gives
    // the keys back to the jet for the last half second.
    const Replay replay = runReplay(dir, "free",
                                    "1 0.05 1\n10 0.05 DOWN\n30 0.05 W LEFT F8\n"
                                    "shot free-camera\n10 0.05 1 W\n");
    ASSERT_ENDED(replay);
    EXPECT_TRUE(looksLikeReference(replay.shots / "free-camera.png", "free-camera"));
    EXPECT_FALSE(replay.state["freeCameraActive"].asBool());
    // F8 held for 1.5 s switched culling on, and after its one-second cooldown off again.
    EXPECT_FALSE(replay.state["switches"]["frustumCulling"].asBool());
    // The jet flew straight on (LEFT never reached it); W reached it only in the last half
    // second, after the second press.
    EXPECT_EQ(replay.state["player"]["position"][0].asFloat(), 1.0f);
    EXPECT_EQ(replay.state["player"]["position"][1].asFloat(), 0.0f);
    EXPECT_GT(replay.state["player"]["speed"].asFloat(), 70.0f);
    EXPECT_LE(replay.state["player"]["speed"].asFloat(), 70.0f + 15.0f * 0.5f);
}

// Every render switch pressed again after its one-second cooldown gives the same picture as a
// flight where none was pressed; pressed once, the picture differs. (F4 and F5 leave the texture
// filters the loaders chose for their own, so they are not among them.)
TEST_F(ReplayGame, EveryRenderSwitchComesBackWhenPressedAgain) {
    const std::string switches = "F2 F3 F6 F8 F9";
    const Replay plain = runReplay(dir, "plain", "2 0.05\nshot once\n50 0.05\nshot back\n");
    const Replay pressed =
        runReplay(dir, "pressed",
                  "1 0.05 " + switches + "\n1 0.05\nshot once\n24 0.05\n1 0.05 " + switches +
                      "\n25 0.05\nshot back\n");
    ASSERT_ENDED(plain);
    ASSERT_ENDED(pressed);
    EXPECT_EQ(pressed.state["switches"], plain.state["switches"]);
    EXPECT_NE(readPicture(pressed.shots / "once.png").rgb,
              readPicture(plain.shots / "once.png").rgb);
    EXPECT_EQ(readPicture(pressed.shots / "back.png").rgb,
              readPicture(plain.shots / "back.png").rgb);
    // F4 and F5 come back in the switches: F4 pressed twice, F5 three times.
    const std::string cycle = "1 0.05 F4 F5\n21 0.05\n";
    const Replay cycled = runReplay(dir, "cycled", cycle + cycle + "1 0.05 F5\n1 0.05\n");
    ASSERT_ENDED(cycled);
    EXPECT_EQ(cycled.state["switches"], plain.state["switches"]);
}

// Down into the target's crater, round to face it, one rocket; the script ends two frames after
// the frame that moves the target. The flight keys must turn the jet the way the help screen
// says (UP pitches the nose down, A rolls left) for the path to reach it. (What a hit scores and
// where the target goes is GameRules'.)
TEST_F(ReplayGame, DiveFireAndHitTheTarget) {
    const Replay replay = runReplay(dir, "hit",
                                    "28 0.05 UP\n100 0.05\n28 0.05 DOWN\n36 0.05 D\n72 0.05 DOWN\n"
                                    "1 0.05 A SPACE\n34 0.05 A\nshot hit\n3 0.05 A\n");
    ASSERT_ENDED(replay);
    EXPECT_EQ(countOf(replay.process.out, "--- Hit target! ---\n"), 1u) << replay.process.out;
    EXPECT_EQ(countOf(replay.process.out, "---Collision"), 0u) << replay.process.out;
    // The whole flight runs on the driver's debug context without an error report.
    EXPECT_EQ(replay.process.out.find("Type = Error"), std::string::npos) << replay.process.out;
    EXPECT_EQ(replay.state["level"].asInt(), 2);
    EXPECT_FALSE(replay.state["gameOver"].asBool());
    EXPECT_TRUE(looksLikeReference(replay.shots / "hit.png", "hit"));
}

// Round to the east, straight into the first enemy jet's circle; then cheat mode, and the free
// camera turned up to the sky, where culling leaves out some of the fourteen components.
TEST_F(ReplayGame, CrashIntoAnEnemyJetEndsTheGameAndCullingDrawsLessLookingAway) {
    const Replay replay = runReplay(dir, "crash",
                                    "36 0.05 D\n36 0.05 DOWN\n36 0.05 A\n57 0.05\n"
                                    "shot game-over\n5 0.05\nshot still-over\n1 0.05 F6\n"
                                    "shot cheat\n1 0.05 1\n20 0.05 DOWN\n1 0.05 F8\n2 0.05\n");
    ASSERT_ENDED(replay);
    EXPECT_TRUE(replay.state["switches"]["frustumCulling"].asBool());
    EXPECT_GT(replay.state["componentsDrawn"].asInt(), 0);
    EXPECT_LT(replay.state["componentsDrawn"].asInt(), 13);
    // Only that jet was touched; the game runs on, so the collision repeats each frame.
    const std::size_t jetCollisions =
        countOf(replay.process.out, "---Collision with enemy jet ---\n");
    EXPECT_EQ(countOf(replay.process.out, "---Collision"), jetCollisions);
    EXPECT_GE(jetCollisions, 2u);
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

// At a render scale of 50 the scene is drawn at half the width and height and scaled up: the
// picture is the full one a little softer (a black, shifted or unscaled one is far from it),
// while the overlay, drawn afterwards at full size, puts its text on the very same pixels.
TEST_F(ReplayGame, HalfScaleKeepsThePictureAndItsTextSharp) {
    const std::string script = "28 0.05 UP\n100 0.05\nshot scene\n2 0.05\n";
    const std::string config = R"({"width": 1600, "height": 800, "fitwindow": 1)";
    const Replay full = runReplay(dir, "full", script, gameFolder(dir, "at-100", config + "}"));
    const Replay half = runReplay(dir, "half", script,
                                  gameFolder(dir, "at-50", config + R"(, "renderscale": 50})"));
    ASSERT_ENDED(full);
    ASSERT_ENDED(half);
    EXPECT_EQ(half.process.out.find("Type = Error"), std::string::npos) << half.process.out;
    const RgbPicture fullPicture = readPicture(full.shots / "scene.png");
    const RgbPicture halfPicture = readPicture(half.shots / "scene.png");
    ASSERT_EQ(std::pair(halfPicture.width, halfPicture.height), std::pair(1600, 800));
    ASSERT_EQ(std::pair(fullPicture.width, fullPicture.height), std::pair(1600, 800));
    const auto [meanError, farShare] = farApart(halfPicture, fullPicture);
    EXPECT_LT(meanError, 1.0) << "far apart: " << farShare;
    EXPECT_LT(farShare, 0.005) << "mean difference: " << meanError;
    EXPECT_GT(sameInk(halfPicture, fullPicture), 0.95);
}
