#pragma once

#include <string>
#include <vector>

// The extra matrix the game gives a model's component, so that a picture shows the model turned
// the way it flies: the player's jet and the rockets are modelled along other axes.
enum class PreviewTurn { None, Jet, Rocket };

// What to draw and how, from the command line:
//   zephrane-preview <model path> <out.png> [--size WxH] [--yaw deg] [--pitch deg]
//                    [--distance factor] [--local-transform jet|rocket|none] [--inside]
//
// yaw and pitch place the camera on a sphere around the model: yaw 0 is behind it (on +z, the
// game's chase view, as the game's models fly along -z), positive yaw turns towards +x, positive
// pitch raises the camera. distance scales the distance at which the model's bounding sphere
// just fills the picture. With --inside the camera stands at the model's centre and looks the
// same way it would from outside: the sky box is only visible from within, so a path containing
// "skybox" (the word the game picks the sky shader by) turns it on by itself.
struct PreviewOptions {
    std::string modelPath;
    std::string outputPath;
    int width = 640; // pixels
    int height = 400;
    float yawDegrees = 35.0f;
    float pitchDegrees = 20.0f;
    float distanceFactor = 1.0f;
    PreviewTurn turn = PreviewTurn::None;
    bool inside = false;
};

// Fills `options` from the arguments after the program name. On a bad argument returns false
// with a one-line reason in `error`; nothing throws.
bool parsePreviewOptions(const std::vector<std::string>& arguments, PreviewOptions& options,
                         std::string& error);

const char* previewUsage();
