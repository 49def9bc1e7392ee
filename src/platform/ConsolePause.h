#pragma once

// Keeps a fatal message readable: asks for a key on standard output and waits for one
// character on standard input. Returns at once when standard input is closed or at its end,
// so scripted runs never hang.
void consolePause();

// Reads one character from standard input (for the texture loader's "could not be opened").
// Returns at once at end of input, and once SIGINT or SIGTERM came (ShutdownSignal); a signal
// during the read ends it too.
void waitForCharacter();
