#pragma once

#include <filesystem>
#include <string>

// Reads the finished picture back from the back buffer of the current context (the bottom-left
// width x height pixels) and writes it as an RGB PNG file. The GL read state is restored
// afterwards, so the frame goes on as if nothing had happened. Returns false with a message in
// `error` when the file cannot be written.
bool writeScreenshot(const std::filesystem::path& file, int width, int height, std::string& error);
