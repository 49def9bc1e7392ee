#pragma once

#include <filesystem>

// Synthesizes and encodes the game's sounds under <resources>/audio/: "bgm.mp3" (seamless loop),
// "rocket.mp3" and "explosion.mp3". False with a message on standard error when it fails.
bool writeSounds(const std::filesystem::path& resourcesDir);
