#include "platform/ConsolePause.h"

#include "platform/ShutdownSignal.h"

#include <cstdio>
#include <iostream>

void consolePause() {
    std::cout << "Press Enter to continue . . ." << std::endl;
    waitForCharacter();
}

void waitForCharacter() {
    // After Ctrl+C or SIGTERM the player wants the game to end, not to be asked again (a
    // missing texture that several models use asks once per model).
    if (ShutdownSignal::requested())
        return;
    // getchar returns EOF at once when standard input is closed, so scripted runs go on.
    std::getchar();
}
