#include "app/CommandLine.h"

#include <ostream>
#include <string_view>

#ifndef ZEPHRANE_VERSION
#error "ZEPHRANE_VERSION comes from the project's version in CMakeLists.txt"
#endif

namespace {

constexpr int statusAnswered = 0;
constexpr int statusUsageError = 2; // as getopt-style programs say it

const char* const usage = "usage: zephrane [--help | --version]\n";

const char* const help =
    "Zephrane: fly a jet that never stops moving forward over a terrain, among three circling\n"
    "enemy jets, and hit the target with a rocket before the level clock runs out.\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this text and end\n"
    "      --version  show the version and end\n"
    "\n"
    "Files, read from the working directory (the launcher runs the game in a folder that links\n"
    "the installed ones):\n"
    "  config.js             window settings: width, height, fullscreen, refreshrate,\n"
    "                        openglmajor, openglminor, fitwindow (1: the picture follows the\n"
    "                        window's size, with black bars); musicvolume and effectsvolume\n"
    "                        (0 to 100, default 100); renderscale (25 to 100) and\n"
    "                        targetfps (0: off) trade the scene's sharpness for frame\n"
    "                        rate when the game is slow\n"
    "  keys.js               the player's own keys, when present (below)\n"
    "  gamecontrollerdb.txt  extra gamepad mappings, when present\n"
    "  Shader/, Resources/   shaders, models, textures, font and sounds\n"
    "A player's own config.js, keys.js and gamecontrollerdb.txt in $XDG_CONFIG_HOME/zephrane/\n"
    "(else ~/.config/zephrane/) take the place of the installed ones.\n"
    "\n"
    "Keys (action name for keys.js in brackets):\n"
    "  W / S        speed up / slow down (free camera: forward / back)  [speedup, slowdown]\n"
    "  A / D        roll left / right (free camera: move left / right)  [rollleft, rollright]\n"
    "  UP / DOWN    pitch down / up (free camera: tilt)                 [pitchdown, pitchup]\n"
    "  LEFT / RIGHT free camera only: turn left / right                 [turnleft, turnright]\n"
    "  SPACE        fire a rocket (one every 5 s)                       [fire]\n"
    "  1            jet camera / free camera                            [camera]\n"
    "  2            jet view, interior view, rocket view                [view]\n"
    "  F1           help screen: the clock and the world stand still,   [help]\n"
    "               but keys still act (speed, turns, fire, switches)\n"
    "  F2           performance line                                    [performance]\n"
    "  F3           wireframe                                           [wireframe]\n"
    "  F4 / F5      texture filtering / mip-mapping                 [filtering, mipmapping]\n"
    "  F6           cheat mode (no game-over screen)                    [cheat]\n"
    "  F8           view-frustum culling                                [culling]\n"
    "  F9           additive transparency                               [transparency]\n"
    "  M            all sound off / on                                  [mute]\n"
    "  ESC          quit; after a game over the window stays open       [quit]\n"
    "keys.js binds actions to keys of your choosing, for example\n"
    "  { \"fire\": \"ENTER\", \"pitchdown\": [\"DOWN\", \"K\"], \"pitchup\": [\"UP\", \"I\"] }\n"
    "Key names: A-Z, 0-9, F1-F12, KP0-KP9, SPACE, ENTER, TAB, BACKSPACE, ESC, UP, DOWN, LEFT,\n"
    "RIGHT, INSERT, DELETE, HOME, END, PAGEUP, PAGEDOWN, LSHIFT, RSHIFT, LCTRL, RCTRL, LALT,\n"
    "RALT, COMMA, PERIOD, MINUS, EQUAL, SEMICOLON, APOSTROPHE, SLASH, BACKSLASH, LBRACKET,\n"
    "RBRACKET, GRAVE, KPENTER, KPPLUS, KPMINUS. Actions left out keep their keys; an unknown\n"
    "name, a key of two actions or an action without a key stops the start with a message.\n"
    "\n"
    "Gamepad (the first one connected, beside the keyboard):\n"
    "  left stick         roll and pitch          triggers      speed up / slow down\n"
    "  south button (A)   fire                    west (X)      jet camera / free camera\n"
    "  north button (Y)   view                    back          help screen\n"
    "  d-pad up / down    performance line / wireframe\n"
    "  shoulders          view-frustum culling (left) / additive transparency (right)\n"
    "  back and start held together for one second: quit\n"
    "\n"
    "Exit status: the game says 1 after a normal end and after a shader file that is missing or\n"
    "does not compile, 255 after a failed start, a shader program that does not link or a\n"
    "texture that cannot be decoded; the launcher says 0 after a normal end and never 0\n"
    "otherwise (1 for an incomplete installation). 2 for a bad option. See zephrane(6).\n";

} // namespace

std::optional<int> answerCommandLine(int argc, const char* const* argv, std::ostream& out,
                                     std::ostream& err) {
    if (argc <= 1)
        return std::nullopt;
    const std::string_view option = argv[1];
    if (argc == 2 && (option == "--help" || option == "-h")) {
        out << help;
        return statusAnswered;
    }
    if (argc == 2 && option == "--version") {
        out << "zephrane " << ZEPHRANE_VERSION << "\n";
        return statusAnswered;
    }
    if (option == "--help" || option == "-h" || option == "--version")
        err << "zephrane: " << option << " takes no further arguments\n" << usage;
    else
        err << "zephrane: unknown option " << option << "\n" << usage;
    return statusUsageError;
}
