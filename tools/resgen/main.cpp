// zephrane-resgen: writes every run-time file the game reads, under the Resources directory
// given on the command line: models and their textures, light maps and animation frames,
// sounds and the HUD font. Nothing is downloaded and nothing varies between runs.
#include "Audio.h"
#include "Buildings.h"
#include "Font.h"
#include "OutputDirs.h"
#include "SkyBox.h"
#include "Terrain.h"
#include "Vehicles.h"

#include <filesystem>
#include <functional>
#include <iostream>
#include <system_error>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: zephrane-resgen <output Resources dir>" << std::endl;
        return 2;
    }
    const fs::path resources = argv[1];
    const resgen::OutputDirs out{resources / "models", resources / "textures"};
    std::error_code error;
    for (const fs::path& dir :
         {out.models, out.textures, resources / "audio", resources / "fonts"}) {
        fs::create_directories(dir, error);
        if (error) {
            std::cerr << "resgen: cannot create " << dir.string() << ": " << error.message()
                      << std::endl;
            return 1;
        }
    }

    const std::vector<std::pair<const char*, std::function<bool()>>> steps{
        {"sky box", [&] { return resgen::writeSkyBox(out); }},
        {"terrain", [&] { return resgen::writeTerrain(out); }},
        {"hangar", [&] { return resgen::writeHangar(out); }},
        {"control tower", [&] { return resgen::writeTower(out); }},
        {"crate", [&] { return resgen::writeCrate(out); }},
        {"jet", [&] { return resgen::writeJet(out); }},
        {"missile", [&] { return resgen::writeMissile(out); }},
        {"spinner", [&] { return resgen::writeSpinner(out); }},
        {"target", [&] { return resgen::writeTarget(out); }},
        // Sounds and the font.
        {"sounds", [&] { return ::writeSounds(resources); }},
        {"font", [&] { return ::copyFont(resources); }},
    };
    bool ok = true;
    for (const auto& [name, step] : steps) {
        if (!step()) {
            std::cerr << "resgen: the " << name << " could not be written" << std::endl;
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
