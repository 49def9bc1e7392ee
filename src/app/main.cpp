// Zephrane: the player's jet over a terrain, three enemy jets, a target to hit before the
// level clock runs out. Run from the directory that holds config.js, Shader/ and Resources/;
// the only arguments are --help and --version.
#include "app/CommandLine.h"
#include "app/Zephrane.h"
#include "platform/ParentLink.h"
#include "platform/ShutdownSignal.h"

#include <iostream>

int main(int argc, char** argv) {
    // Answered before anything touches the window system, so they work without a display.
    if (const auto status = answerCommandLine(argc, argv, std::cout, std::cerr))
        return *status;
    ParentLink::attach();
    ShutdownSignal::install();
    GameBase* game = new Zephrane(); // lives until the process ends, like everything it creates
    return game->run();
}
