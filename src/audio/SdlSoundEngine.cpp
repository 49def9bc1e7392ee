#include "audio/SoundEngine.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace {

// The mixer runs at the rate our sounds are made at, so nothing is resampled.
constexpr int kMixRateHz = 44100;
constexpr int kMixOutputChannels = 2;
// Frames per device buffer: about 23 ms at 44.1 kHz, short enough for a shot to feel immediate.
constexpr int kMixBufferFrames = 1024;
// Effects that may sound at the same time; further ones are dropped while all are busy.
constexpr int kEffectChannels = 16;
constexpr int kLoopForever = -1;
constexpr int kAnyFreeChannel = -1;
constexpr int kPlayOnce = 0;
constexpr int kAllChannels = -1;
constexpr int kFullPercent = 100;

// The mixer's volume (0 to MIX_MAX_VOLUME) for a loudness in percent, rounded to the nearest.
int mixerVolume(int percent) {
    const int held = std::clamp(percent, 0, kFullPercent);
    return (held * MIX_MAX_VOLUME + kFullPercent / 2) / kFullPercent;
}

// SDL2_mixer behind the game's sound interface. Looped sounds go to the mixer's single music
// stream (decoded while playing, so a long track costs no memory up front); one-shots are
// decoded completely once per path and then mixed from memory on any free channel. An engine
// created without a device keeps `audible` false and ignores every call.
class SdlSoundEngine final : public SoundEngine {
public:
    explicit SdlSoundEngine(bool audible) : audible(audible) {}

    void play2D(const std::string& path, bool looped) override {
        if (!audible)
            return;
        if (looped) {
            // A second looped sound replaces the first: the mixer has one music stream.
            if (Mix_Music* music = musicFor(path))
                Mix_PlayMusic(music, kLoopForever);
            return;
        }
        // When every channel is busy the shot is dropped: losing one effect beats a stall.
        if (Mix_Chunk* chunk = effectFor(path))
            Mix_PlayChannel(kAnyFreeChannel, chunk, kPlayOnce);
    }

    void preload(const std::string& path) override {
        if (audible)
            effectFor(path);
    }

    bool isAudible() const override { return audible; }

    void setVolumes(int musicPercent, int effectsPercent) override {
        musicLoudness = musicPercent;
        effectsLoudness = effectsPercent;
        applyVolumes();
    }

    void setMuted(bool mute) override {
        muted = mute;
        applyVolumes();
    }

private:
    // Channel volumes stay with the channel across plays, and the music's with the mixer, so
    // setting them once covers every later sound.
    void applyVolumes() {
        if (!audible)
            return;
        Mix_VolumeMusic(muted ? 0 : mixerVolume(musicLoudness));
        Mix_Volume(kAllChannels, muted ? 0 : mixerVolume(effectsLoudness));
    }

    // A failed load is remembered as null so that a missing file costs one message and one
    // attempt, not a disk access in every frame that wants the sound.
    Mix_Chunk* effectFor(const std::string& path) {
        auto found = effects.find(path);
        if (found != effects.end())
            return found->second;
        Mix_Chunk* chunk = Mix_LoadWAV(path.c_str());
        if (chunk == nullptr)
            reportOnce(path);
        effects.emplace(path, chunk);
        return chunk;
    }

    Mix_Music* musicFor(const std::string& path) {
        auto found = tracks.find(path);
        if (found != tracks.end())
            return found->second;
        Mix_Music* music = Mix_LoadMUS(path.c_str());
        if (music == nullptr)
            reportOnce(path);
        tracks.emplace(path, music);
        return music;
    }

    void reportOnce(const std::string& path) {
        if (reported.insert(path).second)
            std::cerr << "Sound: cannot play \"" << path << "\": " << Mix_GetError() << std::endl;
    }

    bool audible;
    int musicLoudness = kFullPercent;
    int effectsLoudness = kFullPercent;
    bool muted = false;
    std::unordered_map<std::string, Mix_Chunk*> effects;
    std::unordered_map<std::string, Mix_Music*> tracks;
    std::unordered_set<std::string> reported;
};

SoundEngine* silentEngine(const std::string& reason) {
    std::cerr << "Sound: no audio device, playing silently (" << reason << ")" << std::endl;
    return new SdlSoundEngine(false);
}

} // namespace

SoundEngine* createSoundEngine() {
    // SDL would otherwise take SIGINT and SIGTERM for itself and only queue a quit event that
    // the game never reads; the game's own handlers end the frame loop instead.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_Init(SDL_INIT_AUDIO) != 0)
        return silentEngine(SDL_GetError());
    if (Mix_OpenAudio(kMixRateHz, MIX_DEFAULT_FORMAT, kMixOutputChannels, kMixBufferFrames) != 0) {
        std::string reason = Mix_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return silentEngine(reason);
    }
    // All of the game's sounds are MP3; a device without a decoder is as good as none.
    if ((Mix_Init(MIX_INIT_MP3) & MIX_INIT_MP3) == 0) {
        std::string reason = std::string("no MP3 decoder: ") + Mix_GetError();
        Mix_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return silentEngine(reason);
    }
    Mix_AllocateChannels(kEffectChannels);
    return new SdlSoundEngine(true);
}
