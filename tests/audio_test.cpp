// The sound engine against the real SDL2_mixer, on SDL's dummy output driver (which consumes
// audio at the real rate without a sound card), and the generated music as that decoder sees it.
#include "TestSupport.h"
#include "audio/SoundEngine.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numbers>
#include <vector>

namespace fs = std::filesystem;
using testing_support::TempDir;

namespace {

constexpr int kRateHz = 44100;

// A mono 16-bit PCM WAV file with a quiet 440 Hz tone; SDL2_mixer decodes it both as an
// effect and as music, so the engine's paths can be tested without the generated MP3s.
void writeTone(const fs::path& path, double seconds) {
    const auto frames = static_cast<std::uint32_t>(seconds * kRateHz);
    std::ofstream out(path, std::ios::binary);
    auto put = [&](std::uint32_t value, int bytes) {
        out.write(reinterpret_cast<const char*>(&value), bytes);
    };
    out << "RIFF";
    put(36 + frames * 2, 4);
    out << "WAVEfmt ";
    // Format chunk: 16 bytes, PCM, mono, the rate, bytes per second, block size, sample bits.
    put(16, 4), put(1, 2), put(1, 2), put(kRateHz, 4), put(kRateHz * 2, 4), put(2, 2), put(16, 2);
    out << "data";
    put(frames * 2, 4);
    for (std::uint32_t i = 0; i < frames; ++i)
        put(static_cast<std::uint16_t>(static_cast<std::int16_t>(
                3000.0 * std::sin(2.0 * std::numbers::pi * 440.0 * i / kRateHz))),
            2);
}

// One engine per test process: the mixer is global state, as it is in the game.
SoundEngine* dummyEngine() {
    static SoundEngine* engine = [] {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        return createSoundEngine();
    }();
    return engine;
}

class SoundEngineTest : public testing::Test {
protected:
    void SetUp() override {
        engine = dummyEngine();
        ASSERT_NE(engine, nullptr);
        ASSERT_TRUE(engine->isAudible()) << "the dummy driver should always open";
        Mix_HaltChannel(-1);
        Mix_HaltMusic();
    }

    SoundEngine* engine = nullptr;
    TempDir dir;
};

} // namespace

// The engine's remarks while `calls` run: standard error only, standard output stays the game's.
template <typename Calls> std::string remarksOf(Calls calls) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    calls();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    return testing::internal::GetCapturedStderr();
}

// Engine behaviour

TEST_F(SoundEngineTest, LoopedSoundsStreamAsMusicAndOneShotsOverlapOnChannels) {
    const fs::path music = dir.path() / "music.wav";
    const fs::path shot = dir.path() / "shot.wav";
    writeTone(music, 5.0);
    writeTone(shot, 5.0);
    engine->play2D(music.string(), true);
    EXPECT_EQ(Mix_PlayingMusic(), 1);
    EXPECT_EQ(Mix_Playing(-1), 0) << "a looped sound must not take an effect channel";
    engine->play2D(shot.string(), false);
    engine->play2D(shot.string(), false);
    EXPECT_EQ(Mix_Playing(-1), 2) << "two shots of one effect sound together";
}

// Effects are decoded once: with the files gone, only the decoded copies can still sound.
// Missing and undecodable files are silent, reported once per file, and leave the music on.
TEST_F(SoundEngineTest, EffectsPlayFromMemoryAndBadFilesAreReportedOnce) {
    const fs::path preloaded = dir.path() / "rocket.wav", firstPlayed = dir.path() / "boom.wav";
    const fs::path music = dir.path() / "music.wav", garbage = dir.path() / "garbage.mp3";
    for (const fs::path& tone : {preloaded, firstPlayed, music})
        writeTone(tone, 5.0);
    testing_support::writeFile(garbage, std::string(4096, 'x'));
    const std::string missing = (dir.path() / "missing.mp3").string();

    engine->preload(preloaded.string());
    engine->play2D(firstPlayed.string(), false);
    fs::remove(preloaded);
    fs::remove(firstPlayed);
    EXPECT_EQ(remarksOf([&] {
                  engine->play2D(preloaded.string(), false);
                  engine->play2D(firstPlayed.string(), false);
              }),
              "");
    EXPECT_EQ(Mix_Playing(-1), 3);

    Mix_HaltChannel(-1);
    engine->play2D(music.string(), true);
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
    const fs::path shot = dir.path() / "shot.wav";
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

// The generated sounds, decoded the way the game decodes them

namespace {

struct Decoded {
    std::vector<std::int16_t> samples; // interleaved
    int channels = 0;
    double seconds() const { return double(samples.size()) / channels / kRateHz; }
    std::int16_t at(std::size_t frame, int channel) const {
        return samples[frame * channels + channel];
    }
    std::size_t frames() const { return samples.size() / channels; }
};

// Decodes through the mixer's own effect loader, which yields the device format.
bool decode(const fs::path& path, Decoded& decoded) {
    int rate = 0, channels = 0;
    Uint16 format = 0;
    Mix_QuerySpec(&rate, &format, &channels);
    if (rate != kRateHz || format != AUDIO_S16SYS)
        return false;
    Mix_Chunk* chunk = Mix_LoadWAV(path.c_str());
    if (chunk == nullptr)
        return false;
    decoded.channels = channels;
    const auto* begin = reinterpret_cast<const std::int16_t*>(chunk->abuf);
    decoded.samples.assign(begin, begin + chunk->alen / sizeof(std::int16_t));
    Mix_FreeChunk(chunk);
    return true;
}

double rms(const Decoded& d, std::size_t firstFrame, std::size_t frameCount) {
    double sum = 0.0;
    for (std::size_t f = firstFrame; f < firstFrame + frameCount; ++f)
        for (int c = 0; c < d.channels; ++c)
            sum += double(d.at(f, c)) * d.at(f, c);
    return std::sqrt(sum / double(frameCount * d.channels)) / 32768.0;
}

class GeneratedSoundTest : public testing::Test {
protected:
    void SetUp() override {
        audio = testing_support::sourceDir() / "Resources" / "audio";
        ZEPHRANE_REQUIRE(fs::exists(audio / "bgm.mp3"), "Resources/audio has not been generated");
        ASSERT_TRUE(dummyEngine()->isAudible());
    }
    fs::path audio;
};

constexpr std::size_t kMs10 = kRateHz / 100;

} // namespace

// The music loops: a click or a gap where it starts again is heard every twenty seconds.
TEST_F(GeneratedSoundTest, MusicLastsLongEnoughAndLoopsWithoutAClick) {
    Decoded d;
    ASSERT_TRUE(decode(audio / "bgm.mp3", d)) << Mix_GetError();
    Mix_Music* streamed = Mix_LoadMUS((audio / "bgm.mp3").c_str());
    EXPECT_NE(streamed, nullptr) << Mix_GetError();
    if (streamed != nullptr)
        Mix_FreeMusic(streamed);

    EXPECT_GE(d.seconds(), 20.0);

    // No gap at either end: an MP3 encoder's start-up delay decodes as some 25 ms of silence
    // at the start unless the file tells the decoder to skip it, and the last frame's padding
    // as silence at the end...
    const double middle = rms(d, d.frames() / 2, 100 * kMs10);
    EXPECT_GT(middle, 0.02);
    const double head = rms(d, 0, kMs10), tail = rms(d, d.frames() - kMs10, kMs10);
    EXPECT_GT(head, middle / 8) << "silence at the loop start";
    EXPECT_GT(tail, middle / 8) << "silence at the loop end";
    EXPECT_LT(std::abs(20.0 * std::log10(head / tail)), 6.0) << "level jumps at the loop point";

    // ...and the step from the last sample to the first is no bigger than the music's own
    // large steps elsewhere.
    for (int c = 0; c < d.channels; ++c) {
        std::vector<int> steps;
        for (std::size_t f = 1; f < d.frames(); ++f)
            steps.push_back(std::abs(d.at(f, c) - d.at(f - 1, c)));
        std::nth_element(steps.begin(), steps.begin() + steps.size() * 999 / 1000, steps.end());
        const int largeStep = steps[steps.size() * 999 / 1000];
        const int wrapStep = std::abs(d.at(0, c) - d.at(d.frames() - 1, c));
        EXPECT_LE(wrapStep, largeStep) << "channel " << c;
    }
}
