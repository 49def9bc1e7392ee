#include "PreviewOptions.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace {

// Larger pictures are no preview any more: a multisampled 4096 x 4096 picture already takes
// some 800 MB in a software renderer.
constexpr int maxPictureSide = 4096; // pixels
// Straight above or below, the camera's up direction would be undefined.
constexpr float maxPitchDegrees = 89.0f;
constexpr float maxDistanceFactor = 1000.0f;

bool parseInt(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    const auto [stop, status] = std::from_chars(text.data(), end, value);
    return status == std::errc() && stop == end;
}

bool parseFloat(const std::string& text, float& value) {
    const char* end = text.data() + text.size();
    const auto [stop, status] = std::from_chars(text.data(), end, value);
    return status == std::errc() && stop == end && std::isfinite(value);
}

bool parseSize(const std::string& text, int& width, int& height) {
    const std::size_t cross = text.find('x');
    if (cross == std::string::npos)
        return false;
    int w = 0, h = 0;
    if (!parseInt(text.substr(0, cross), w) || !parseInt(text.substr(cross + 1), h))
        return false;
    if (w < 1 || h < 1 || w > maxPictureSide || h > maxPictureSide)
        return false;
    width = w;
    height = h;
    return true;
}

bool parseTurn(const std::string& text, PreviewTurn& turn) {
    if (text == "jet")
        turn = PreviewTurn::Jet;
    else if (text == "rocket")
        turn = PreviewTurn::Rocket;
    else if (text == "none")
        turn = PreviewTurn::None;
    else
        return false;
    return true;
}

} // namespace

bool parsePreviewOptions(const std::vector<std::string>& arguments, PreviewOptions& options,
                         std::string& error) {
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--inside") {
            options.inside = true;
            continue;
        }
        if (argument.rfind("--", 0) != 0) {
            positional.push_back(argument);
            continue;
        }
        if (i + 1 >= arguments.size()) {
            error = argument + " needs a value";
            return false;
        }
        const std::string& value = arguments[++i];
        bool valid = false;
        if (argument == "--size") {
            valid = parseSize(value, options.width, options.height);
        } else if (argument == "--yaw") {
            valid = parseFloat(value, options.yawDegrees);
        } else if (argument == "--pitch") {
            valid = parseFloat(value, options.pitchDegrees) &&
                    std::fabs(options.pitchDegrees) <= maxPitchDegrees;
        } else if (argument == "--distance") {
            valid = parseFloat(value, options.distanceFactor) && options.distanceFactor > 0.0f &&
                    options.distanceFactor <= maxDistanceFactor;
        } else if (argument == "--local-transform") {
            valid = parseTurn(value, options.turn);
        } else {
            error = "unknown option " + argument;
            return false;
        }
        if (!valid) {
            error = "bad value '" + value + "' for " + argument;
            return false;
        }
    }
    if (positional.size() != 2) {
        error = "expected a model path and an output file, got " +
                std::to_string(positional.size()) + " plain argument(s)";
        return false;
    }
    options.modelPath = positional[0];
    options.outputPath = positional[1];
    if (options.modelPath.find("skybox") != std::string::npos)
        options.inside = true;
    return true;
}

const char* previewUsage() {
    return "usage: zephrane-preview <model path> <out.png> [--size WxH] [--yaw deg] [--pitch deg]\n"
           "                        [--distance factor] [--local-transform jet|rocket|none]\n"
           "                        [--inside]\n"
           "Run it from the game's directory: shaders and textures are read from Shader/ and\n"
           "Resources/textures/ like the game does.\n"
           "  --size WxH         picture size in pixels, each side 1 to 4096 (default 640x400)\n"
           "  --yaw deg          camera around the model; 0 is behind it, on +z (default 35)\n"
           "  --pitch deg        camera height, -89 to 89 (default 20)\n"
           "  --distance factor  1 just fits the bounding sphere in the picture (default 1)\n"
           "  --local-transform  turn the model as the game turns the jet or the rocket\n"
           "  --inside           stand at the model's centre (automatic for sky boxes)\n";
}
