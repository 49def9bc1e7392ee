#pragma once

#include <filesystem>

// Copies the HUD font to <resources>/fonts/arial.ttf. False with a message on standard error
// when it fails.
bool copyFont(const std::filesystem::path& resourcesDir);
