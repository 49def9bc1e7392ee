#include "app/Zephrane.h"

#include "app/Engine.h"
#include "app/InputHandler.h"
#include "audio/SoundEngine.h"
#include "console/ConsolePause.h"

#include <GLFW/glfw3.h>

#include <iostream>

Zephrane::Zephrane() {
    soundEngine = createSoundEngine();
}

int Zephrane::run() {
    Engine engine;
    engine.hooks = hooks;
    if (engine.init() != 0) {
        std::cout << "Failed to initialize Engine" << std::endl;
        consolePause();
        return -1;
    }
    std::cout << "Successfully initialized Engine" << std::endl;
    glfwGetFramebufferSize(engine.window, &framebufferWidth, &framebufferHeight);

    assembleScene();

    engine.input = new InputHandler(this);
    engine.game = this;
    engine.mainLoop();
    return 1;
}
