#pragma once

class MeshComponent;

// What the loading fuzzers share, set up once per process in LLVMFuzzerInitialize.
namespace fuzz_support {

// The tests' hidden 4.3 core debug context, recording OpenGL errors and drawing into a small
// viewport; DevIL started; and a fresh game working directory (removed at exit): a copy of
// Shader/ and, under Resources/textures/, a small PNG for every texture that model loading adds
// by rule and the corpus names. Ends the process with a message when there is no display.
void startLoadingFuzzer();

// Aborts with `what` on standard error unless `condition` holds.
void require(bool condition, const char* what);

// Aborts naming `during` when OpenGL reported errors since the last call: loading and drawing
// must cause none, since an error means the game handed the driver something it should have
// refused or fixed first.
void trapOnGlErrors(const char* during);

// Deletes what a loaded component made, which the game keeps until it ends, so that a long
// fuzzing run does not grow without bound.
void releaseComponent(MeshComponent& component);

} // namespace fuzz_support
