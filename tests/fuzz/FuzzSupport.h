#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class MeshComponent;

// What the loading fuzzers share: a hidden OpenGL context and a throw-away game working
// directory, set up once per process in LLVMFuzzerInitialize.
namespace fuzz_support {

// The texture names that the working directory holds as small valid PNGs: every light map and
// animation frame that model loading adds by rule, and the material textures of the corpus.
extern const std::vector<std::string> pngTextureNames;

// A hidden 4.3 core debug context with GLEW loaded, an OpenGL error recorder as debug callback,
// and DevIL started. Ends the process with a message when there is no display.
void startHiddenGlContext();

// A fresh directory under the system's temporary directory with Shader/ (a copy of the game's)
// and Resources/models/ and Resources/textures/ holding the PNGs above, made the working
// directory. It is removed when the process exits.
std::filesystem::path enterGameWorkingDirectory();

// Writes an RGB image as a PNG through DevIL. False when DevIL refuses.
bool writePng(const std::filesystem::path& path, int width, int height,
              const std::vector<std::uint8_t>& rgb);

void writeBytes(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size);

// The OpenGL errors reported since the last call. Loading and drawing must cause none: an error
// means the game handed the driver something it should have refused or fixed first.
std::vector<std::string> takeGlErrors();

// Aborts with the recorded OpenGL errors, if there are any.
void trapOnGlErrors(const char* during);

// Deletes everything a loaded component made (GL objects, textures, programs), which the game
// itself keeps until the process ends, so that a long fuzzing run does not grow without bound.
void releaseComponent(MeshComponent& component);

} // namespace fuzz_support
