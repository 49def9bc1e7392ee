// The sound engine against the real SDL2_mixer on SDL's dummy output driver (which consumes
// audio at the real rate without a sound card).
#include "TestSupport.h"
#include "audio/Mp3Encoding.h"
#include "audio/SoundEngine.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numbers>

namespace fs = std::filesystem;
using testing_support::TempDir;

namespace {

// A quiet 440 Hz tone, encoded as the game's own sounds are.
void writeTone(const fs::path& path, double seconds) {
    synth::Signal tone(1, static_cast<std::size_t>(seconds * synth::kSampleRateHz));
    for (std::size_t i = 0; i < tone.frames(); ++i)
        tone.at(i, 0) = 0.1f * static_cast<float>(std::sin(2.0 * std::numbers::pi * 440.0 *
                                                           double(i) / synth::kSampleRateHz));
    ASSERT_TRUE(synth::writeMp3(path, tone)) << path;
}

// One engine per test process: the mixer is global state, as it is in the game.
SoundEngine* dummyEngine() {
    static SoundEngine* engine = [] {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        return createSoundEngine();
    }();
    return engine;
}

} // namespace

// The engine's remarks while `calls` run: standard error only, standard output stays the game's.
template <typename Calls> std::string remarksOf(Calls calls) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    calls();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    return testing::internal::GetCapturedStderr();
}

// Without a device the game plays on silently: one line on standard error gives SDL's reason,
// no device stays open, and nothing the silent engine is asked afterwards sounds or writes. Each
// case in a process of its own, as the mixer is global: an unknown driver, a device that cannot
// be opened, and a mixer without an MP3 decoder (every sound of the game is MP3).
TEST(SoundEngine, WithoutADeviceTheGamePlaysOnSilently) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const auto& [driver, reason] : std::initializer_list<std::array<const char*, 2>>{
             {"no-such-driver", "Audio target 'no-such-driver' not available"},
             {"disk", "Couldn't open /no/such/folder/sound.raw"},
             {"dummy", "no MP3 decoder: MP3 support not available"}}) {
        EXPECT_EXIT(
            {
                setenv("SDL_AUDIODRIVER", driver, 1);
                setenv("SDL_DISKAUDIOFILE", "/no/such/folder/sound.raw", 1);
                setenv("SDL_MIXER_DISABLE_MPG123", "1", 1);
                SoundEngine* engine = createSoundEngine();
                engine->preload("missing.mp3");
                engine->play2D("missing.mp3", false);
                engine->play2D("missing.mp3", true);
                engine->setVolumes(50, 50);
                engine->setMuted(true);
                std::exit(engine->isAudible() || Mix_QuerySpec(nullptr, nullptr, nullptr) ? 1 : 0);
            },
            testing::ExitedWithCode(0),
            std::string("^Sound: no audio device, playing silently \\(") + reason + "\\)\n$");
    }
}

// A looped sound streams as music, beside the effects; each sound is opened once (with their
// files gone, only the copies kept can still sound) and effects overlap on channels. Missing and
// undecodable files are silent, reported once per file, and leave the music on.
TEST(SoundEngine, PlaysMusicAndOverlappingEffectsAndReportsBadFilesOnce) {
    SoundEngine* engine = dummyEngine();
    ASSERT_NE(engine, nullptr);
    ASSERT_TRUE(engine->isAudible()) << "the dummy driver should always open";
    int rate = 0, channels = 0;
    Uint16 format = 0;
    Mix_QuerySpec(&rate, &format, &channels);
    EXPECT_EQ(std::tuple(rate, channels, Mix_AllocateChannels(-1)), std::tuple(44100, 2, 16))
        << "stereo at the sounds' own rate, and room for a burst of sixteen effects";
    TempDir dir;
    const fs::path preloaded = dir.path() / "rocket.mp3", firstPlayed = dir.path() / "boom.mp3";
    const fs::path music = dir.path() / "music.mp3", garbage = dir.path() / "garbage.mp3";
    for (const fs::path& tone : {preloaded, firstPlayed, music})
        writeTone(tone, 5.0);
    testing_support::writeFile(garbage, std::string(4096, 'x'));
    const std::string missing = (dir.path() / "missing.mp3").string();

    engine->play2D(music.string(), true);
    EXPECT_EQ(Mix_PlayingMusic(), 1);
    EXPECT_EQ(Mix_Playing(-1), 0) << "a looped sound must not take an effect channel";
    engine->preload(preloaded.string());
    engine->play2D(firstPlayed.string(), false);
    for (const fs::path& played : {preloaded, firstPlayed, music})
        fs::remove(played);
    EXPECT_EQ(remarksOf([&] {
                  engine->play2D(preloaded.string(), false);
                  engine->play2D(firstPlayed.string(), false);
                  engine->play2D(music.string(), true);
              }),
              "");
    EXPECT_EQ(Mix_Playing(-1), 3) << "two shots of one effect sound together";

    Mix_HaltChannel(-1);
    const std::string remarks = remarksOf([&] {
        for (int frame = 0; frame < 3; ++frame)
            for (const std::string& bad : {missing, garbage.string()}) {
                engine->preload(bad);
                engine->play2D(bad, false);
                engine->play2D(bad, true);
            }
    });
    EXPECT_EQ(testing_support::countOf(remarks, "Sound: "), 2u) << remarks;
    EXPECT_NE(remarks.find("missing.mp3"), std::string::npos) << remarks;
    EXPECT_NE(remarks.find("garbage.mp3"), std::string::npos) << remarks;
    EXPECT_EQ(Mix_Playing(-1), 0);
    EXPECT_EQ(Mix_PlayingMusic(), 1) << "a failed looped sound must leave the music playing";
    // A looped sound starts again at its end: a quarter-second tune still plays a second later.
    writeTone(dir.path() / "tune.mp3", 0.25);
    engine->play2D((dir.path() / "tune.mp3").string(), true);
    SDL_Delay(1000);
    EXPECT_EQ(Mix_PlayingMusic(), 1) << "the looped sound ended";
    // The same tune as an effect plays once and stops: the mixer hands its channel a quarter
    // second of sound (frames of 16-bit stereo), not half a second.
    static std::atomic<long> mixedBytes = 0;
    for (int channel = 0; channel < 16; ++channel)
        Mix_RegisterEffect(
            channel, [](int, void*, int bytes, void*) { mixedBytes += bytes; }, nullptr, nullptr);
    engine->play2D((dir.path() / "tune.mp3").string(), false);
    EXPECT_EQ(Mix_Playing(-1), 1);
    for (int waited = 0; waited < 50 && Mix_Playing(-1) > 0; ++waited)
        SDL_Delay(100);
    EXPECT_EQ(Mix_Playing(-1), 0) << "the effect never stopped";
    EXPECT_EQ(mixedBytes, 11025 * 4) << "0.25 s at 44.1 kHz, 4 bytes a frame";
}

// The loudness settings at their edges and past them, as the mixer holds them (0 to 128, 128 the
// start-up loudness) for sounds started afterwards; a mute silences both until the unmute brings
// back the latest settings.
TEST(SoundEngine, VolumesReachTheMixerAndMuteKeepsThem) {
    SoundEngine* engine = dummyEngine();
    ASSERT_TRUE(engine->isAudible());
    EXPECT_EQ(std::pair(Mix_VolumeMusic(-1), Mix_Volume(-1, -1)), std::pair(128, 128));
    TempDir dir;
    const std::string tone = (dir.path() / "tone.mp3").string();
    writeTone(tone, 2.0);
    // music %, effects %, then the mixer's music and effects volumes
    for (const auto& [music, effects, mixerMusic, mixerEffects] :
         std::initializer_list<std::array<int, 4>>{
             {0, 100, 0, 128}, {100, 0, 128, 0}, {-5, 250, 0, 128}, {99, 30, 127, 38}}) {
        engine->setVolumes(music, effects);
        engine->play2D(tone, true);
        engine->play2D(tone, false);
        EXPECT_EQ(std::pair(Mix_VolumeMusic(-1), Mix_Volume(-1, -1)),
                  std::pair(mixerMusic, mixerEffects))
            << music << " " << effects;
    }
    engine->setMuted(true);
    engine->setVolumes(100, 50);
    engine->play2D(tone, true);
    EXPECT_EQ(std::pair(Mix_VolumeMusic(-1), Mix_Volume(-1, -1)), std::pair(0, 0));
    engine->setMuted(false);
    EXPECT_EQ(std::pair(Mix_VolumeMusic(-1), Mix_Volume(-1, -1)), std::pair(128, 64));
}
