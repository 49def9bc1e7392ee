#include "app/Zephrane.h"

#include "app/Engine.h"
#include "app/InputHandler.h"
#include "audio/SoundEngine.h"
#include "platform/ConsolePause.h"
#include "platform/ParentLink.h"

#include <GLFW/glfw3.h>

#include <iostream>
#ifdef __GLIBC__
#include <malloc.h>
#endif

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
    if (soundEngine != nullptr)
        soundEngine->setVolumes(engine.musicVolume, engine.effectsVolume);
    glfwGetFramebufferSize(engine.window, &framebufferWidth, &framebufferHeight);

    assembleScene();
#ifdef __GLIBC__
    // Decoding the pictures and importing the models frees several megabytes that the C
    // library would otherwise keep resident for the whole game; hand them back once, here.
    malloc_trim(0);
#endif

    engine.input = new InputHandler(this);
    engine.game = this;
    engine.mainLoop();
    ParentLink::reportNormalEnd();
    return 1;
}
