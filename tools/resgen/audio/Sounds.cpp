#include "Audio.h"

#include "Mp3Encoding.h"
#include "Synthesis.h"

#include <iostream>
#include <system_error>

bool writeSounds(const std::filesystem::path& resourcesDir) {
    const std::filesystem::path audio = resourcesDir / "audio";
    std::error_code error;
    std::filesystem::create_directories(audio, error);
    if (error) {
        std::cerr << "Audio: cannot create " << audio.string() << ": " << error.message()
                  << std::endl;
        return false;
    }
    // Every file is attempted, so that one failure does not hide another.
    bool ok = synth::writeMp3(audio / "bgm.mp3", synth::renderMusic());
    ok = synth::writeMp3(audio / "rocket.mp3", synth::renderRocket()) && ok;
    ok = synth::writeMp3(audio / "explosion.mp3", synth::renderExplosion()) && ok;
    return ok;
}
