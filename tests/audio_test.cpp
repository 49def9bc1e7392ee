// The sound engine against the real SDL2_mixer, on SDL's dummy output driver (which consumes
// audio at the real rate without a sound card), and the game's generated sounds as that
// decoder sees them.
#include "TestSupport.h"
#include "audio/SoundEngine.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numbers>
#include <thread>
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

// Engine behaviour

TEST_F(SoundEngineTest, LoopedSoundsStreamAsMusicAndOneShotsOverlapOnChannelsAndEnd) {
    const fs::path music = dir.path() / "music.wav";
    const fs::path shot = dir.path() / "shot.wav";
    writeTone(music, 0.05);
    writeTone(shot, 0.05);

    engine->play2D(music.string(), true);
    EXPECT_EQ(Mix_PlayingMusic(), 1);
    EXPECT_EQ(Mix_Playing(-1), 0) << "a looped sound must not take an effect channel";
    engine->play2D(shot.string(), false);
    engine->play2D(shot.string(), false);
    EXPECT_EQ(Mix_Playing(-1), 2) << "two shots of one effect sound together";

    // Both last 50 ms: long after that the shots have ended and the music plays on.
    for (int wait = 0; wait < 2000 && Mix_Playing(-1) != 0; ++wait) // 20 s, generously
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(Mix_Playing(-1), 0) << "a one-shot kept playing";
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(Mix_PlayingMusic(), 1) << "looped music stopped after its end";
}

TEST_F(SoundEngineTest, EffectsAreDecodedOnceAndPlayedFromMemory) {
    const fs::path preloaded = dir.path() / "rocket.wav";
    const fs::path firstPlayed = dir.path() / "boom.wav";
    writeTone(preloaded, 5.0);
    writeTone(firstPlayed, 5.0);

    engine->preload(preloaded.string());
    engine->play2D(firstPlayed.string(), false);
    EXPECT_EQ(Mix_Playing(-1), 1);

    // With the files gone, only the decoded copies can still sound.
    fs::remove(preloaded);
    fs::remove(firstPlayed);
    testing::internal::CaptureStderr();
    engine->play2D(preloaded.string(), false);
    engine->play2D(firstPlayed.string(), false);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(Mix_Playing(-1), 3);
}

TEST_F(SoundEngineTest, MissingAndUndecodableFilesAreSilentAndReportedOncePerFile) {
    const fs::path music = dir.path() / "music.wav";
    const fs::path garbage = dir.path() / "garbage.mp3";
    writeTone(music, 5.0);
    testing_support::writeFile(garbage, std::string(4096, 'x'));
    const std::string missing = (dir.path() / "missing.mp3").string();

    engine->play2D(music.string(), true);
    testing::internal::CaptureStderr();
    for (int frame = 0; frame < 3; ++frame) {
        engine->preload(missing);
        engine->play2D(missing, false);
        engine->play2D(missing, true);
        engine->preload(garbage.string());
        engine->play2D(garbage.string(), false);
        engine->play2D(garbage.string(), true);
    }
    const std::string out = testing::internal::GetCapturedStderr();

    EXPECT_EQ(testing_support::countOf(out, "Sound: cannot play"), 2u) << out;
    EXPECT_NE(out.find("missing.mp3"), std::string::npos) << out;
    EXPECT_NE(out.find("garbage.mp3"), std::string::npos) << out;
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
            testing::internal::CaptureStderr();
            SoundEngine* engine = createSoundEngine();
            bool ok = engine != nullptr && !engine->isAudible();
            if (engine != nullptr) {
                engine->preload(shot.string());
                engine->play2D(shot.string(), false);
                engine->play2D(shot.string(), true);
                engine->play2D("missing.mp3", false);
            }
            const std::string out = testing::internal::GetCapturedStderr();
            ok = ok && testing_support::countOf(out, "\n") == 1u &&
                 out.rfind("Sound: no audio device, playing silently", 0) == 0 &&
                 Mix_Playing(-1) == 0 && Mix_PlayingMusic() == 0;
            std::cout << "stderr was: [" << out << "]" << std::endl;
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

int clippedSamples(const Decoded& d) {
    return static_cast<int>(std::count_if(d.samples.begin(), d.samples.end(), [](std::int16_t s) {
        return s >= 32767 || s <= -32768;
    }));
}

class GeneratedSoundTest : public testing::Test {
protected:
    void SetUp() override {
        audio = testing_support::sourceDir() / "Resources" / "audio";
        if (!fs::exists(audio / "bgm.mp3"))
            GTEST_SKIP() << "Resources/audio has not been generated";
        ASSERT_TRUE(dummyEngine()->isAudible());
    }
    fs::path audio;
};

constexpr std::size_t kMs10 = kRateHz / 100;

} // namespace

TEST_F(GeneratedSoundTest, EffectsHaveTheirLengthsStartAtOnceAndEndQuietly) {
    struct Expected {
        const char* name;
        double minSeconds, maxSeconds;
    };
    for (const Expected& e :
         {Expected{"rocket.mp3", 0.8, 1.4}, Expected{"explosion.mp3", 1.7, 2.6}}) {
        SCOPED_TRACE(e.name);
        Decoded d;
        ASSERT_TRUE(decode(audio / e.name, d)) << Mix_GetError();
        EXPECT_GE(d.seconds(), e.minSeconds);
        EXPECT_LE(d.seconds(), e.maxSeconds);
        EXPECT_EQ(clippedSamples(d), 0);
        // Heard the moment it is played, loud enough, and no click when it stops.
        EXPECT_GT(rms(d, 0, 5 * kMs10), 0.02) << "the first 50 ms are (nearly) silent";
        double loudest = 0.0;
        for (std::size_t f = 0; f + kMs10 <= d.frames(); f += kMs10)
            loudest = std::max(loudest, rms(d, f, kMs10));
        EXPECT_GT(loudest, 0.15);
        EXPECT_LT(rms(d, d.frames() - kMs10, kMs10), 0.01) << "ends abruptly";
    }
}

TEST_F(GeneratedSoundTest, MusicLastsLongEnoughAndLoopsWithoutAClick) {
    Decoded d;
    ASSERT_TRUE(decode(audio / "bgm.mp3", d)) << Mix_GetError();
    Mix_Music* streamed = Mix_LoadMUS((audio / "bgm.mp3").c_str());
    EXPECT_NE(streamed, nullptr) << Mix_GetError();
    if (streamed != nullptr)
        Mix_FreeMusic(streamed);

    EXPECT_GE(d.seconds(), 20.0);
    EXPECT_EQ(clippedSamples(d), 0);

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
