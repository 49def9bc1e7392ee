#pragma once

#include "platform/GamepadState.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A replay script: the frame times and held keys of a run of the game, frame by frame, so that
// the same run can be played again without a player and without a clock.
//
// Text form, one entry per line; "#" starts a comment, blank lines are ignored:
//
//   # frames  frame-time  keys held
//   120       0.0166667   W UP
//   60        0.0166667
//   shot      after-dive
//
// A stretch line holds its keys for the given number of frames, each lasting the given frame
// time in seconds. Key names are the game's keys (any letter case): W S A D UP DOWN LEFT RIGHT
// SPACE F1 F2 F3 F4 F5 F6 F8 F9 1 2 ESC M, each the default key of its action: the player's own
// bindings never reach a script, recorded or played. A gamepad held during the stretch is written
// beside them: its buttons by name (PAD-A PAD-B PAD-X PAD-Y PAD-LB PAD-RB PAD-BACK PAD-START
// PAD-GUIDE PAD-LS PAD-RS PAD-UP PAD-RIGHT PAD-DOWN PAD-LEFT) and its axes away from rest as
// NAME=VALUE, from -1 to 1 (LX LY RX RY LT RT; triggers rest at -1), for example
// "30 0.0333333 PAD-A LX=-0.5 RT=1". A stretch without any of them has no pad. A "shot" line names
// a screenshot of the frame just before it. Frame times are written in the shortest form that reads
// back to the same float, so a recorded script gives the game bit for bit the frame times it had.
class ReplayScript {
public:
    // A set of held keys, one bit per entry of keyNames().
    using KeySet = std::uint32_t;

    struct Stretch {
        long frames = 0;
        float frameTime = 0.0f; // seconds
        KeySet keys = 0;
        GamepadState pad; // connected exactly when the line names a button or an axis
    };

    struct Shot {
        long frameIndex = 0; // 0 for the first frame
        std::string name;    // letters, digits, '-' and '_' only, so it is safe as a file name
    };

    static constexpr long maxFramesPerLine = 100'000'000;
    static constexpr long maxFrames = 1'000'000'000;
    // A frame time of 0 is allowed (a fast clock can read the same time twice); the upper
    // bound keeps every figure the game derives from it (milliseconds as an int) in range.
    static constexpr float maxFrameTime = 3600.0f; // seconds

    // The script key names in their written order, with their GLFW key codes.
    struct KeyName {
        const char* name;
        int glfwKey;
    };
    static const std::vector<KeyName>& keyNames();
    // The bit of a GLFW key code in a KeySet; 0 for a key that scripts do not know.
    static KeySet keyBit(int glfwKey);

    // Reads a whole script. On failure returns nothing and sets `error` to a message that names
    // the line ("line 3: unknown key \"Q\"").
    static std::optional<ReplayScript> parse(std::istream& in, std::string& error);
    void write(std::ostream& out) const;

    // Appends one frame, merging it into the last stretch when time, keys and pad are the same.
    // A pad at rest is recorded as no pad: the game cannot tell the two apart.
    void appendFrame(float frameTime, KeySet keys, const GamepadState& pad = {});
    // Adds a screenshot of the latest frame; false (and nothing added) when there is no frame
    // yet, the name is not allowed or already taken.
    bool addShot(std::string_view name);
    static bool isValidShotName(std::string_view name);

    long frameCount() const { return totalFrames; }
    const std::vector<Stretch>& stretches() const { return stretchList; }
    const std::vector<Shot>& shots() const { return shotList; }

private:
    std::vector<Stretch> stretchList;
    std::vector<Shot> shotList; // in frame order
    long totalFrames = 0;
};
