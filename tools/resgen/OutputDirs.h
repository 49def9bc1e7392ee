#pragma once

#include <filesystem>

namespace resgen {

// Where the generated files go, under the Resources directory given on the command line.
struct OutputDirs {
    std::filesystem::path models;
    std::filesystem::path textures;
};

} // namespace resgen
