#pragma once

struct GLFWwindow;

// An OpenGL 4.3 core context in an invisible window, for programs that draw through the game's
// code without showing anything: the picture tools, the tests and the fuzzers.
//
// Initialises GLFW when needed, makes the context current and loads GLEW, and clears the error
// GLEW's probing of a core context leaves behind. With `debug` the context is a debug context;
// installing a callback is left to the caller. Returns nullptr when there is no display or the
// driver refuses; the window then is not made.
GLFWwindow* openHiddenGlContext(int width, int height, const char* title, bool debug);
