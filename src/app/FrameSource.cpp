#include "app/FrameSource.h"

#include <GLFW/glfw3.h>

double GlfwClock::now() { return glfwGetTime(); }

bool GlfwKeyboard::isDown(int glfwKey) const { return glfwGetKey(window, glfwKey) == GLFW_PRESS; }
