// The gamepad as the game sees it: through the same key seam as the keyboard, so a pad and the
// equivalent keys must give the same actions, in the same order, at the same rates.
#include "app/GameBase.h"
#include "app/GamepadMapping.h"
#include "app/GlfwGamepad.h"
#include "app/InputHandler.h"
#include "app/PlayerControls.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace {

struct HeldKeys final : KeyboardState {
    HeldKeys() = default;
    explicit HeldKeys(std::set<int> held) : keys(std::move(held)) {}
    std::set<int> keys;
    bool isDown(int glfwKey) const override { return keys.count(glfwKey) > 0; }
};

struct RecordingGame final : GameBase {
    void onAction(InputAction action, float deltaTime) override {
        actions.emplace_back(action, deltaTime);
    }
    std::vector<std::pair<int, float>> actions;
};

constexpr float frameTime = 0.02f; // seconds

std::vector<std::pair<int, float>> actionsFor(const HeldKeys& keys, const GamepadState& pad) {
    GamepadMapping mapping;
    mapping.update(pad, frameTime);
    RecordingGame game;
    InputHandler(&game).poll(PlayerControls(keys, mapping), frameTime);
    return game.actions;
}

GamepadState connectedPad() {
    GamepadState pad;
    pad.connected = true;
    return pad;
}

} // namespace

TEST(Gamepad, EveryMappedControlActsLikeItsKey) {
    GamepadState pad = connectedPad();
    pad.axes[GLFW_GAMEPAD_AXIS_LEFT_X] = -1.0f;       // roll left
    pad.axes[GLFW_GAMEPAD_AXIS_LEFT_Y] = -1.0f;       // stick forward: nose down
    pad.axes[GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER] = 1.0f; // speed up
    for (int button :
         {GLFW_GAMEPAD_BUTTON_A, GLFW_GAMEPAD_BUTTON_X, GLFW_GAMEPAD_BUTTON_Y,
          GLFW_GAMEPAD_BUTTON_BACK, GLFW_GAMEPAD_BUTTON_DPAD_UP, GLFW_GAMEPAD_BUTTON_DPAD_DOWN,
          GLFW_GAMEPAD_BUTTON_LEFT_BUMPER, GLFW_GAMEPAD_BUTTON_RIGHT_BUMPER})
        pad.buttons[button] = true;
    const HeldKeys keys({GLFW_KEY_A, GLFW_KEY_UP, GLFW_KEY_W, GLFW_KEY_SPACE, GLFW_KEY_1,
                         GLFW_KEY_2, GLFW_KEY_F1, GLFW_KEY_F2, GLFW_KEY_F3, GLFW_KEY_F8,
                         GLFW_KEY_F9});
    EXPECT_EQ(actionsFor(HeldKeys(), pad), actionsFor(keys, {}));

    GamepadState other = connectedPad();
    other.axes[GLFW_GAMEPAD_AXIS_LEFT_X] = 1.0f;
    other.axes[GLFW_GAMEPAD_AXIS_LEFT_Y] = 1.0f;
    other.axes[GLFW_GAMEPAD_AXIS_LEFT_TRIGGER] = 1.0f;
    EXPECT_EQ(actionsFor(HeldKeys(), other),
              actionsFor(HeldKeys({GLFW_KEY_D, GLFW_KEY_DOWN, GLFW_KEY_S}), {}));
}

TEST(Gamepad, StickDeflectionScalesTheRateAndTriggersHoldPastHalfTravel) {
    struct Case {
        float stick;
        float expectedTime; // of the D action, seconds; 0: no action
    };
    for (const Case& row :
         {Case{0.1f, 0.0f}, Case{0.5f, frameTime * 0.5f}, Case{1.0f, frameTime}}) {
        GamepadState pad = connectedPad();
        pad.axes[GLFW_GAMEPAD_AXIS_LEFT_X] = row.stick;
        const auto actions = actionsFor(HeldKeys(), pad);
        SCOPED_TRACE(row.stick);
        if (row.expectedTime == 0.0f) {
            EXPECT_TRUE(actions.empty());
        } else {
            ASSERT_EQ(actions.size(), 1u);
            EXPECT_EQ(actions[0].first, KeyD);
            EXPECT_FLOAT_EQ(actions[0].second, row.expectedTime);
        }
    }
    // Trigger axes run from -1 at rest to 1: 0.4 of the travel is -0.2, 0.6 is 0.2.
    GamepadState pad = connectedPad();
    pad.axes[GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER] = -0.2f;
    EXPECT_TRUE(actionsFor(HeldKeys(), pad).empty());
    pad.axes[GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER] = 0.2f;
    EXPECT_EQ(actionsFor(HeldKeys(), pad), (std::vector<std::pair<int, float>>{{KeyW, frameTime}}));

    // A held key and a tilted stick together: one action at the key's rate, never more.
    pad = connectedPad();
    pad.axes[GLFW_GAMEPAD_AXIS_LEFT_X] = -0.5f;
    EXPECT_EQ(actionsFor(HeldKeys({GLFW_KEY_A}), pad),
              (std::vector<std::pair<int, float>>{{KeyA, frameTime}}));
}

TEST(Gamepad, APadThatIsGoneHoldsNothing) {
    GamepadState pad = connectedPad();
    pad.buttons.fill(true);
    pad.axes = {-1.0f, -1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
    GamepadMapping mapping;
    mapping.update(pad, frameTime);
    EXPECT_TRUE(mapping.isDown(GLFW_KEY_SPACE));

    pad.connected = false; // pulled out: whatever the last reading said is void
    mapping.update(pad, frameTime);
    for (int key = GLFW_KEY_SPACE; key <= GLFW_KEY_LAST; ++key)
        EXPECT_EQ(mapping.strength(key), 0.0f) << key;
}

TEST(Gamepad, BackAndStartHeldForASecondQuit) {
    auto escAfter = [](std::initializer_list<int> buttons, float seconds) {
        GamepadState pad = connectedPad();
        for (int button : buttons)
            pad.buttons[button] = true;
        GamepadMapping mapping;
        for (float held = 0.0f; held < seconds; held += 0.1f)
            mapping.update(pad, 0.1f);
        return mapping.isDown(GLFW_KEY_ESCAPE);
    };
    EXPECT_FALSE(escAfter({GLFW_GAMEPAD_BUTTON_BACK, GLFW_GAMEPAD_BUTTON_START}, 0.8f));
    EXPECT_TRUE(escAfter({GLFW_GAMEPAD_BUTTON_BACK, GLFW_GAMEPAD_BUTTON_START}, 1.05f));
    EXPECT_FALSE(escAfter({GLFW_GAMEPAD_BUTTON_BACK}, 3.0f));
    EXPECT_FALSE(escAfter({GLFW_GAMEPAD_BUTTON_START}, 3.0f));

    // Letting go of either starts the second over.
    GamepadState chord = connectedPad();
    chord.buttons[GLFW_GAMEPAD_BUTTON_BACK] = chord.buttons[GLFW_GAMEPAD_BUTTON_START] = true;
    GamepadState backOnly = connectedPad();
    backOnly.buttons[GLFW_GAMEPAD_BUTTON_BACK] = true;
    GamepadMapping mapping;
    for (const GamepadState* state : {&chord, &chord, &backOnly, &chord, &chord})
        mapping.update(*state, 0.3f);
    EXPECT_FALSE(mapping.isDown(GLFW_KEY_ESCAPE));
    EXPECT_FALSE(mapping.isDown(GLFW_KEY_F1)) << "the way out is not the help screen";
}

TEST(Gamepad, MappingFilesAreCheckedBeforeGlfwSeesThem) {
    const std::string good =
        "# a comment\n\n"
        "030000005e0400008e02000014010000,Test Pad,a:b0,b:b1,leftx:a0,platform:Linux,\r\n";
    std::string problem;
    EXPECT_TRUE(GlfwGamepad::isMappingText(good, problem)) << problem;
    for (const char* damaged :
         {"030000005e0400008e0200001401000,Short GUID,a:b0\n",
          "030000005e0400008e02000014010000,No fields\n",
          "030000005e0400008e02000014010000,Pad,a:b0,garbage,b:b1\n",
          "030000005e0400008e02000014010000,Pad,:b0\n", "\x89PNG\r\n\x1a\n"}) {
        EXPECT_FALSE(GlfwGamepad::isMappingText(good + damaged, problem)) << damaged;
        EXPECT_EQ(problem, "line 4 is not a gamepad mapping") << damaged;
    }
    EXPECT_FALSE(GlfwGamepad::isMappingText(good + std::string(1100, 'a'), problem));
}
