// The sound engine against the real SDL2_mixer on SDL's dummy output driver (which consumes
// audio at the real rate without a sound card), and the generated music as that decoder sees it.
#include "TestSupport.h"
#include "audio/Mp3Encoding.h"
#include "audio/SoundEngine.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <numbers>
#include <vector>

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

// A looped sound streams as music, beside the effects; effects are decoded once (with their
// files gone, only decoded copies can still sound) and overlap on channels. Missing and
// undecodable files are silent, reported once per file, and leave the music on.
TEST(SoundEngine, PlaysMusicAndOverlappingEffectsAndReportsBadFilesOnce) {
    SoundEngine* engine = dummyEngine();
    ASSERT_NE(engine, nullptr);
    ASSERT_TRUE(engine->isAudible()) << "the dummy driver should always open";
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
    fs::remove(preloaded);
    fs::remove(firstPlayed);
    EXPECT_EQ(remarksOf([&] {
                  engine->play2D(preloaded.string(), false);
                  engine->play2D(firstPlayed.string(), false);
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
}

// Runs in a fresh process: the mixer of this one is already open on the dummy driver.
TEST(SoundEngineWithoutDevice, IsSilentSaysSoOnceAndIgnoresEveryCall) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    const fs::path shot = dir.path() / "shot.mp3";
    writeTone(shot, 5.0);
    EXPECT_EXIT(
        {
            setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
            SoundEngine* engine = nullptr;
            const std::string remarks = remarksOf([&] {
                engine = createSoundEngine();
                if (engine != nullptr) {
                    engine->preload(shot.string());
                    engine->play2D(shot.string(), false);
                    engine->play2D(shot.string(), true);
                    engine->play2D("missing.mp3", false);
                }
            });
            const bool ok = engine != nullptr && !engine->isAudible() &&
                            testing_support::countOf(remarks, "Sound: ") == 1u &&
                            remarks.rfind("Sound: no audio device, playing silently", 0) == 0 &&
                            Mix_Playing(-1) == 0 && Mix_PlayingMusic() == 0;
            std::cerr << "remarks: [" << remarks << "]" << std::endl;
            std::exit(ok ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

// The generated music loops, so silence at either end would be a gap heard every twenty
// seconds: an MP3 encoder's start-up delay decodes as some 25 ms of silence unless the file tells
// the decoder to skip it, and the last frame's padding as silence at the end.
TEST(GeneratedSound, MusicLastsTwentySecondsWithoutSilenceAtItsLoopPoint) {
    const fs::path bgm = testing_support::sourceDir() / "Resources/audio/bgm.mp3";
    ZEPHRANE_REQUIRE(fs::exists(bgm), "Resources/audio has not been generated");
    ASSERT_TRUE(dummyEngine()->isAudible());
    int rate = 0, channels = 0;
    Uint16 format = 0;
    Mix_QuerySpec(&rate, &format, &channels);
    ASSERT_EQ(format, AUDIO_S16SYS);
    Mix_Chunk* chunk = Mix_LoadWAV(bgm.c_str()); // decoded whole, in the device's format
    ASSERT_NE(chunk, nullptr) << Mix_GetError();
    const auto* samples = reinterpret_cast<const std::int16_t*>(chunk->abuf);
    const std::size_t count = chunk->alen / sizeof(std::int16_t), tenMs = rate / 100 * channels;
    EXPECT_GE(count, 20u * rate * channels);
    auto loudness = [&](std::size_t first, std::size_t length) {
        double sum = 0.0;
        for (std::size_t i = first; i < first + length; ++i)
            sum += double(samples[i]) * samples[i];
        return std::sqrt(sum / double(length));
    };
    const double middle = loudness(count / 2, 100 * tenMs);
    EXPECT_GT(middle, 0.02 * 32768);
    EXPECT_GT(loudness(0, tenMs), middle / 8) << "silence at the loop start";
    EXPECT_GT(loudness(count - tenMs, tenMs), middle / 8) << "silence at the loop end";
    Mix_FreeChunk(chunk);
}
