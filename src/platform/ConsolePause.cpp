#include "platform/ConsolePause.h"

#include <cstdio>
#include <iostream>

void consolePause() {
    std::cout << "Press Enter to continue . . ." << std::endl;
    waitForCharacter();
}

void waitForCharacter() {
    // getchar returns EOF at once when standard input is closed, so scripted runs go on.
    std::getchar();
}
