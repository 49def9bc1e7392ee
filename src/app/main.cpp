// Zephrane: the player's jet over a terrain, three enemy jets, a target to hit before the
// level clock runs out. No command-line arguments; run from the directory that holds
// config.js, Shader/ and Resources/.
#include "platform/ShutdownSignal.h"
#include "app/Zephrane.h"

int main() {
    ShutdownSignal::install();
    GameBase* game = new Zephrane(); // lives until the process ends, like everything it creates
    return game->run();
}
