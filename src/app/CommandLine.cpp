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
    "                        window's size, with black bars)\n"
    "                        renderscale (25 to 100) and targetfps (0: off) trade the\n"
    "                        scene's sharpness for frame rate when the game is slow\n"
    "  gamecontrollerdb.txt  extra gamepad mappings, when present\n"
    "  Shader/, Resources/   shaders, models, textures, font and sounds\n"
    "A player's own config.js and gamecontrollerdb.txt in $XDG_CONFIG_HOME/zephrane/ (else\n"
    "~/.config/zephrane/) take the place of the installed ones.\n"
    "\n"
    "Keys:\n"
    "  W / S        speed up / slow down (free camera: forward / back)\n"
    "  A / D        roll left / right (free camera: move left / right)\n"
    "  UP / DOWN    pitch down / up (free camera: tilt)\n"
    "  LEFT / RIGHT free camera only: turn left / right\n"
    "  SPACE        fire a rocket (one every 5 s)\n"
    "  1            jet camera / free camera\n"
    "  2            jet view, interior view, rocket view\n"
    "  F1           help screen (the game pauses while it shows)\n"
    "  F2           performance line    F3  wireframe\n"
    "  F4 / F5      texture filtering / mip-mapping\n"
    "  F6           cheat mode (no game-over screen)\n"
    "  F8           view-frustum culling    F9  additive transparency\n"
    "  ESC          quit; after a game over the window stays open until ESC\n"
    "\n"
    "Exit status: the game says 1 after a normal end and 255 after a failed start (1 after a\n"
    "shader that cannot be built); the launcher says 0 after a normal end and never 0 otherwise.\n"
    "2 for a bad option. See zephrane(6).\n";

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
