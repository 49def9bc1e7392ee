#pragma once

#include <memory>
#include <string>

// The game's sound engine: plays sound files as non-positional sounds. The engine is created
// once, before the window, and lives until the process ends; scene objects hold copies of the
// pointer without owning it.
//
// Callers may rely on:
//  - play2D never fails visibly: a missing or undecodable file, or a machine without an
//    audio device, simply produces no sound;
//  - a looped sound is streamed from its file (background music), a one-shot effect is decoded
//    once per file and played from memory afterwards; preload() moves that one decode to
//    start-up so that no frame ever decodes an effect.
class SoundEngine {
public:
    virtual void play2D(const std::string& path, bool looped) = 0;
    virtual void preload(const std::string& path) = 0;

    // True when sound really reaches an output device.
    virtual bool isAudible() const = 0;

    // Loudness of the music and of the effects, in percent of full (100, the start-up value);
    // values outside 0 to 100 are held at the nearer end. Muting silences both and keeps them
    // for the unmute.
    virtual void setVolumes(int musicPercent, int effectsPercent) = 0;
    virtual void setMuted(bool muted) = 0;

protected:
    ~SoundEngine() = default;
};

// Creates the engine behind SoundEngine (SDL2_mixer). Never returns null: without an audio
// device it returns a silent engine and writes one line saying so on standard error, which
// keeps standard output for the game's own lines.
SoundEngine* createSoundEngine();
