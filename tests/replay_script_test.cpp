// Replay scripts: reading and writing them and playing them into the frame loop's clock and
// keyboard seams. (A played game recorded and replayed whole is ReplayRecord's.)
#include "ReplayScript.h"
#include "ScriptedFrameSource.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

namespace {

std::optional<ReplayScript> parse(const std::string& text, std::string* errorOut = nullptr) {
    std::istringstream in(text);
    std::string error;
    auto script = ReplayScript::parse(in, error);
    if (errorOut)
        *errorOut = error;
    return script;
}

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

// What a frame loop would see of a source: the time of each frame and its held keys.
struct PlayedFrame {
    float frameTime;
    ReplayScript::KeySet keys;
};

std::vector<PlayedFrame> play(ScriptedFrameSource& source, long frames) {
    std::vector<PlayedFrame> played;
    double previous = source.now();
    for (long i = 0; i < frames; ++i) {
        const double now = source.now();
        ReplayScript::KeySet held = 0;
        for (const auto& key : ReplayScript::keyNames())
            if (source.isDown(key.glfwKey))
                held |= ReplayScript::keyBit(key.glfwKey);
        played.push_back({float(now - previous), held});
        previous = now;
    }
    return played;
}

} // namespace

// Reading and writing

TEST(ReplayScript, ReadsStretchesShotsAndComments) {
    auto script = parse("# take-off\n"
                        "\n"
                        "120 0.0166667 w up   # climb\r\n"
                        "  1\t0.5\n"
                        "shot climb-1\n"
                        "shot second_name\n"
                        "30 0.02 SPACE Esc f1 1 2 Left\n"
                        "shot end\n");
    ASSERT_TRUE(script);
    ASSERT_EQ(script->stretches().size(), 3u);
    EXPECT_EQ(script->frameCount(), 151);
    EXPECT_EQ(script->stretches()[0].frames, 120);
    EXPECT_TRUE(sameBits(script->stretches()[0].frameTime, 0.0166667f));
    EXPECT_EQ(script->stretches()[0].keys, keys({GLFW_KEY_W, GLFW_KEY_UP}));
    EXPECT_EQ(script->stretches()[1].keys, 0u);
    EXPECT_EQ(script->stretches()[2].keys, keys({GLFW_KEY_SPACE, GLFW_KEY_ESCAPE, GLFW_KEY_F1,
                                                 GLFW_KEY_1, GLFW_KEY_2, GLFW_KEY_LEFT}));
    ASSERT_EQ(script->shots().size(), 3u);
    EXPECT_EQ(script->shots()[0].frameIndex, 120); // the frame just before the line
    EXPECT_EQ(script->shots()[1].frameIndex, 120);
    EXPECT_EQ(script->shots()[2].name, "end");
    EXPECT_EQ(script->shots()[2].frameIndex, 150);
    // Keys the game does not read have no bit.
    EXPECT_EQ(ReplayScript::keyBit(GLFW_KEY_F7) | ReplayScript::keyBit(GLFW_KEY_Q), 0u);
}

TEST(ReplayScript, RejectsBadLinesNamingThem) {
    std::string huge; // frame counts add up to no more than the limit, however many lines
    for (int i = 0; i < 11; ++i)
        huge += "100000000 0.01\n";
    const std::pair<std::string, std::string> cases[] = {
        {"10 0.01\n10 0.01 Q\n", "line 2: unknown key \"Q\""},
        {"10 0.01 F7\n", "line 1: unknown key"},
        {"0 0.01\n", "line 1: \"0\" is not a frame count"},
        {"-3 0.01\n", "line 1:"},
        {"1.5 0.01\n", "line 1:"},
        {"99999999999999999999 0.01\n", "line 1:"},
        {"# nothing\n\n12\n", "line 3: a frame time in seconds must follow the frame count"},
        {"5 -0.1\n", "line 1:"},
        {"5 nan\n", "line 1:"},
        {"5 inf\n", "line 1:"},
        {"5 1e9\n", "line 1:"},
        {"5 0.01s\n", "line 1:"},
        {"5 +0.1\n", "line 1:"},
        {"shot start\n5 0.01\n", "line 1: shot \"start\" comes before any frame"},
        {"5 0.01\nshot ../escape\n", "line 2: shot name"},
        {"5 0.01\nshot a b\n", "line 2: a shot line is \"shot NAME\""},
        {"5 0.01\nshot a\n5 0.01\nshot a\n", "line 4: shot name \"a\" is used twice"},
        {"# only a comment\n", "the script has no frames"},
        {huge, "line 11: the script is longer than"},
        {"5 0.01 PAD-Q\n", "line 1: unknown key \"PAD-Q\""},
        {"5 0.01 LX=1.5\n", "line 1: axis value \"1.5\" is not from -1 to 1"},
        {"5 0.01 RT=nan\n", "line 1: axis value"},
        {"5 0.01 LY=\n", "line 1: axis value"},
    };
    for (const auto& [text, message] : cases) {
        std::string error;
        EXPECT_FALSE(parse(text, &error)) << text;
        EXPECT_EQ(error.rfind(message, 0), 0u) << text << " gave " << error;
    }
    // A zero frame time is allowed (a fast clock can read the same time twice).
    EXPECT_TRUE(parse("3 0\n"));
    EXPECT_TRUE(parse("3 -0\n"));
}

// A pad-flown game: buttons and axes come back exactly, and a pad at rest is no pad at all.
TEST(ReplayScript, GamepadStretchesReadBackExactly) {
    GamepadState pad;
    pad.connected = true;
    pad.buttons[GLFW_GAMEPAD_BUTTON_A] = pad.buttons[GLFW_GAMEPAD_BUTTON_DPAD_LEFT] = true;
    pad.axes[GLFW_GAMEPAD_AXIS_LEFT_X] = -1.0f / 3.0f;
    pad.axes[GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER] = 1.0f;
    GamepadState atRest;
    atRest.connected = true;

    ReplayScript recorded;
    recorded.appendFrame(0.05f, keys({GLFW_KEY_W}), pad);
    recorded.appendFrame(0.05f, keys({GLFW_KEY_W}), pad);
    recorded.appendFrame(0.05f, 0, atRest);
    recorded.appendFrame(0.05f, 0, GamepadState{});
    ASSERT_EQ(recorded.stretches().size(), 2u);
    EXPECT_FALSE(recorded.stretches()[1].pad.connected);

    const std::string text = written(recorded);
    EXPECT_NE(text.find("\n2 0.05 W PAD-A PAD-LEFT LX=-0.33333334 RT=1\n2 0.05\n"),
              std::string::npos)
        << text;
    auto read = parse(text);
    ASSERT_TRUE(read) << text;
    EXPECT_EQ(read->stretches()[0].pad, pad);
    EXPECT_EQ(read->stretches()[1].pad, GamepadState{});
}

TEST(ReplayScript, RecordingMergesEqualFramesUnlessAShotPinsThem) {
    ReplayScript script;
    EXPECT_FALSE(script.addShot("early")); // no frame yet
    for (int i = 0; i < 100; ++i)
        script.appendFrame(0.02f, keys({GLFW_KEY_SPACE}));
    script.appendFrame(0.02f, 0);
    ASSERT_TRUE(script.addShot("gap"));
    EXPECT_FALSE(script.addShot("gap"));
    EXPECT_FALSE(script.addShot("with space"));
    script.appendFrame(0.02f, 0); // equal, but the shot must stay on frame 100
    script.appendFrame(0.02f, 0);
    ASSERT_EQ(script.stretches().size(), 3u);
    EXPECT_EQ(script.stretches()[0].frames, 100);
    EXPECT_EQ(script.stretches()[1].frames, 1);
    EXPECT_EQ(script.stretches()[2].frames, 2);
    EXPECT_EQ(script.frameCount(), 103);
    auto read = parse(written(script));
    ASSERT_TRUE(read);
    ASSERT_EQ(read->shots().size(), 1u);
    EXPECT_EQ(read->shots()[0].frameIndex, 100);
}

// Playing and recording

TEST(ScriptedFrameSource, GivesEachFrameItsTimeAndKeysThenEsc) {
    auto script = parse("2 0.25 W\n1 0.5\n3 0.125 SPACE\n");
    ASSERT_TRUE(script);
    ScriptedFrameSource source(*script);
    EXPECT_FALSE(source.isDown(GLFW_KEY_W)); // nothing is held before the first frame
    EXPECT_EQ(source.frameIndex(), -1);

    const auto played = play(source, 8);
    const float times[] = {0.25f, 0.25f, 0.5f, 0.125f, 0.125f, 0.125f, 0.125f, 0.125f};
    const auto space = keys({GLFW_KEY_SPACE}), esc = keys({GLFW_KEY_ESCAPE});
    const ReplayScript::KeySet held[] = {
        keys({GLFW_KEY_W}), keys({GLFW_KEY_W}), 0, space, space, space | esc, esc, esc};
    for (size_t i = 0; i < played.size(); ++i) {
        EXPECT_EQ(played[i].frameTime, times[i]) << i;
        EXPECT_EQ(played[i].keys, held[i]) << i;
    }
    EXPECT_EQ(source.frameIndex(), 7);
    EXPECT_DOUBLE_EQ(source.time(), 0.25 + 0.25 + 0.5 + 5 * 0.125);
}

TEST(ScriptedFrameSource, FrameTimesSurviveALongFlightExactly) {
    // Irregular float frame times, as a recording has them, over an hour of play.
    ReplayScript script;
    unsigned state = 12345;
    std::vector<float> times;
    for (int i = 0; i < 200000; ++i) {
        state = state * 1103515245u + 12345u;
        times.push_back(0.001f + float(state >> 8) / float(1u << 24) * 0.03f);
        script.appendFrame(times.back(), 0);
    }
    ScriptedFrameSource source(script);
    double previous = source.now();
    for (size_t i = 0; i < times.size(); ++i) {
        const double now = source.now();
        ASSERT_TRUE(sameBits(float(now - previous), times[i])) << "frame " << i;
        previous = now;
    }
}
