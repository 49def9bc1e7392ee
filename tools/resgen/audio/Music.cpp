#include "Reverb.h"
#include "StateVariableFilter.h"
#include "Synthesis.h"
#include "WhiteNoise.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace synth {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// ---------------------------------------------------------------------------------------------
// Form: the loop is a whole number of bars and every bar a whole number of frames, so notes
// fall on exact frames and the loop closes exactly.
// ---------------------------------------------------------------------------------------------

constexpr std::size_t kBeatFrames = 29400; // 90 beats per minute
static_assert(kBeatFrames * 90 == static_cast<std::size_t>(kSampleRateHz) * 60);
constexpr std::size_t kEighthFrames = kBeatFrames / 2;
constexpr int kEighthsPerBar = 8;
constexpr std::size_t kBarFrames = kEighthFrames * kEighthsPerBar;
constexpr int kBarsPerChord = 2;
constexpr int kChordCount = 8;
constexpr int kBarCount = kBarsPerChord * kChordCount;
constexpr std::size_t kLoopFrames = kBarFrames * kBarCount;
// The second half of the loop adds percussion.
constexpr int kFirstDrumBar = kBarCount / 2;
// Room behind the loop for the last notes to ring out before they are folded onto the start.
constexpr std::size_t kTailFrames = 4 * kSampleRateHz;

struct Chord {
    int bass; // MIDI note numbers throughout
    std::array<int, 5> pad;
    std::array<int, 5> arpeggio; // ascending
};

// Am9 Fmaj9 Cmaj7 G6 | Am9 Dm9 Fmaj9 E7sus4, two bars each; the suspended E leads back to the
// A minor of the loop's start.
constexpr std::array<Chord, kChordCount> kChords = {{
    {45, {57, 60, 64, 67, 71}, {69, 72, 76, 79, 83}},
    {41, {53, 57, 60, 64, 67}, {65, 69, 72, 76, 79}},
    {48, {55, 59, 60, 64, 67}, {67, 71, 72, 76, 79}},
    {43, {55, 59, 62, 64, 67}, {67, 71, 74, 76, 79}},
    {45, {57, 60, 64, 67, 71}, {69, 72, 76, 79, 83}},
    {38, {53, 57, 60, 62, 64}, {62, 65, 69, 72, 76}},
    {41, {53, 57, 60, 64, 67}, {65, 69, 72, 76, 79}},
    {40, {52, 57, 59, 62, 64}, {64, 69, 71, 74, 76}},
}};

// Which arpeggio tone each eighth of a bar plays: the first bar of a chord climbs and falls, the
// second one skips about.
constexpr std::array<std::array<int, kEighthsPerBar>, kBarsPerChord> kArpeggioPatterns = {{
    {0, 1, 2, 3, 4, 3, 2, 1},
    {0, 2, 1, 3, 2, 4, 3, 1},
}};

struct BassHit {
    int startEighth;
    int lengthEighths;
    int interval; // semitones above the chord's bass note
};
constexpr std::array<BassHit, 4> kBassBar = {{{0, 3, 0}, {4, 2, 0}, {6, 1, 7}, {7, 1, 12}}};

std::size_t frameOf(int bar, int eighth) {
    return bar * kBarFrames + eighth * kEighthFrames;
}

double noteHz(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

// ---------------------------------------------------------------------------------------------
// Envelope pieces
// ---------------------------------------------------------------------------------------------

// 0 to 1 along half a cosine: no corner at either end, so no click.
float riseOver(std::size_t frame, std::size_t frames) {
    if (frame >= frames)
        return 1.0f;
    return 0.5f - 0.5f * static_cast<float>(std::cos(std::numbers::pi * frame / frames));
}

// 1 down to 0 over the last `fadeFrames` of a note `length` frames long.
float fadeAtEnd(std::size_t frame, std::size_t length, std::size_t fadeFrames) {
    return frame + fadeFrames <= length ? 1.0f : riseOver(length - frame, fadeFrames);
}

std::array<float, 2> panGains(float pan) { // -1 left .. +1 right, constant power
    const double angle = (pan + 1.0) * std::numbers::pi / 4.0;
    return {static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))};
}

// ---------------------------------------------------------------------------------------------
// Voices. Each adds one note into a stereo timeline at its start frame.
// ---------------------------------------------------------------------------------------------

constexpr double kPadDetuneCents = 7.0;
constexpr std::size_t kPadAttackFrames = 3 * kSampleRateHz / 2;
constexpr std::size_t kPadReleaseFrames = 2 * kSampleRateHz;
constexpr float kPadCutoffHz = 1100.0f;
constexpr float kPadCutoffOctaves = 0.7f; // the breathing's depth either way
constexpr int kPadBreathsPerLoop = 2;     // whole cycles, so it too is seamless
constexpr float kPadResonance = 0.9f;
// The breathing is slow: retuning every 32 frames (0.7 ms) sounds the same as every frame.
constexpr std::size_t kPadRetuneFrames = 32;

// A saw wave with its jump smoothed over one sample step (polyBLEP), which keeps the aliasing of
// a naive saw out of the pad's highs.
float bandLimitedSaw(double phase, double step) {
    double value = 2.0 * phase - 1.0;
    if (phase < step) {
        const double t = phase / step;
        value -= t + t - t * t - 1.0;
    } else if (phase > 1.0 - step) {
        const double t = (phase - 1.0) / step;
        value -= t * t + t + t + 1.0;
    }
    return static_cast<float>(value);
}

float padCutoffAt(std::size_t timelineFrame) {
    const double position = double(timelineFrame % kLoopFrames) / kLoopFrames;
    return kPadCutoffHz *
           std::exp2(kPadCutoffOctaves *
                     static_cast<float>(std::sin(kTwoPi * kPadBreathsPerLoop * position)));
}

// Two saws a few cents apart, one per side, each through its own low-pass; the slow rise and
// fall let one chord melt into the next.
void addPadNote(Signal& out, std::size_t start, std::size_t hold, int note, float gain,
                WhiteNoise& noise) {
    const double hz = noteHz(note);
    const double detune = std::pow(2.0, kPadDetuneCents / 1200.0);
    const std::array<double, 2> step = {hz / detune / kSampleRateHz, hz * detune / kSampleRateHz};
    std::array<double, 2> phase = {noise.unit(), noise.unit()};
    std::array<StateVariableFilter, 2> filters;
    const std::size_t length = hold + kPadReleaseFrames;
    for (std::size_t i = 0; i < length; ++i) {
        const float envelope =
            riseOver(i, kPadAttackFrames) * fadeAtEnd(i, length, kPadReleaseFrames);
        if (i % kPadRetuneFrames == 0)
            for (StateVariableFilter& filter : filters)
                filter.tune(padCutoffAt(start + i), kPadResonance);
        for (int side = 0; side < 2; ++side) {
            const float saw = bandLimitedSaw(phase[side], step[side]);
            phase[side] += step[side];
            if (phase[side] >= 1.0)
                phase[side] -= 1.0;
            out.at(start + i, side) += gain * envelope * filters[side].process(saw).low;
        }
    }
}

constexpr std::size_t kBellFrames = 7 * kSampleRateHz / 5;
constexpr std::size_t kBellAttackFrames = kSampleRateHz / 250;
constexpr std::size_t kBellFadeFrames = kSampleRateHz / 10;
constexpr double kBellDecaySeconds = 0.45;
constexpr double kBellBrightness = 2.2; // FM index at the strike
constexpr double kBellBrightnessDecaySeconds = 0.12;
constexpr double kBellBodyBrightness = 0.35; // FM index that remains

// A soft FM bell: a sine whose phase is bent by a sine an octave up; the bending dies away
// quickly, so each note starts bright and mellows.
void addBellNote(Signal& out, std::size_t start, int note, float gain, float pan) {
    const double hz = noteHz(note);
    const std::array<float, 2> sides = panGains(pan);
    for (std::size_t i = 0; i < kBellFrames; ++i) {
        const double t = double(i) / kSampleRateHz;
        const double index =
            kBellBrightness * std::exp(-t / kBellBrightnessDecaySeconds) + kBellBodyBrightness;
        const double value = std::sin(kTwoPi * hz * t + index * std::sin(kTwoPi * 2.0 * hz * t));
        const float envelope = std::min(1.0f, float(i) / kBellAttackFrames) *
                               static_cast<float>(std::exp(-t / kBellDecaySeconds)) *
                               fadeAtEnd(i, kBellFrames, kBellFadeFrames);
        for (int side = 0; side < 2; ++side)
            out.at(start + i, side) += gain * sides[side] * envelope * static_cast<float>(value);
    }
}

constexpr std::size_t kBassAttackFrames = kSampleRateHz / 100;
constexpr std::size_t kBassReleaseFrames = kSampleRateHz / 16;
constexpr float kBassSustain = 0.7f;
constexpr double kBassDecaySeconds = 0.3;
constexpr float kBassDrive = 1.5f;

// A round bass: a sine with a little second and third harmonic, gently saturated.
void addBassNote(Signal& out, std::size_t start, std::size_t hold, int note, float gain) {
    const double hz = noteHz(note);
    const std::size_t length = hold + kBassReleaseFrames;
    for (std::size_t i = 0; i < length; ++i) {
        const double t = double(i) / kSampleRateHz;
        const double phase = kTwoPi * hz * t;
        const float raw = static_cast<float>(std::sin(phase) + 0.25 * std::sin(2.0 * phase) +
                                             0.1 * std::sin(3.0 * phase));
        const float shaped = std::tanh(kBassDrive * raw) / std::tanh(kBassDrive);
        const float envelope =
            riseOver(i, kBassAttackFrames) *
            (kBassSustain +
             (1.0f - kBassSustain) * static_cast<float>(std::exp(-t / kBassDecaySeconds))) *
            fadeAtEnd(i, length, kBassReleaseFrames);
        for (int side = 0; side < 2; ++side)
            out.at(start + i, side) += gain * envelope * shaped;
    }
}

constexpr std::size_t kKickFrames = 3 * kSampleRateHz / 5;
constexpr double kKickBaseHz = 48.0;
constexpr double kKickSweepHz = 70.0;
constexpr double kKickSweepSeconds = 0.03;
constexpr double kKickDecaySeconds = 0.18;

// A soft kick: a sine that drops from about 120 Hz to 48 Hz within a few milliseconds.
void addKick(Signal& out, std::size_t start, float gain) {
    double phase = 0.0;
    for (std::size_t i = 0; i < kKickFrames; ++i) {
        const double t = double(i) / kSampleRateHz;
        phase += kTwoPi * (kKickBaseHz + kKickSweepHz * std::exp(-t / kKickSweepSeconds)) /
                 kSampleRateHz;
        const float envelope = riseOver(i, kSampleRateHz / 1000) *
                               static_cast<float>(std::exp(-t / kKickDecaySeconds)) *
                               fadeAtEnd(i, kKickFrames, kKickFrames / 4);
        for (int side = 0; side < 2; ++side)
            out.at(start + i, side) += gain * envelope * static_cast<float>(std::sin(phase));
    }
}

constexpr std::size_t kShakerFrames = kSampleRateHz / 5;
constexpr float kShakerCutoffHz = 6500.0f;
constexpr double kShakerDecaySeconds = 0.03;
constexpr float kShakerPan = 0.3f;

// High-passed noise with a quick decay, slightly right of centre.
void addShaker(Signal& out, std::size_t start, float gain, WhiteNoise& noise) {
    StateVariableFilter filter(kShakerCutoffHz, 0.7f);
    const std::array<float, 2> sides = panGains(kShakerPan);
    for (std::size_t i = 0; i < kShakerFrames; ++i) {
        const double t = double(i) / kSampleRateHz;
        const float envelope = riseOver(i, kSampleRateHz / 500) *
                               static_cast<float>(std::exp(-t / kShakerDecaySeconds)) *
                               fadeAtEnd(i, kShakerFrames, kShakerFrames / 4);
        const float value = filter.process(noise.next()).high;
        for (int side = 0; side < 2; ++side)
            out.at(start + i, side) += gain * sides[side] * envelope * value;
    }
}

// ---------------------------------------------------------------------------------------------
// Circular effects: run over the loop twice and keep the second pass, whose state at the start
// is the state the effect has at the loop's end. The echoes die out within one loop, so the
// result is exactly what endless repetition would produce.
// ---------------------------------------------------------------------------------------------

constexpr std::size_t kEchoFrames = 3 * kEighthFrames / 2; // a dotted eighth
constexpr float kEchoFeedback = 0.35f;
constexpr float kEchoLevel = 0.3f;

// Echoes that bounce between the left and the right.
Signal withPingPongEcho(const Signal& dry) {
    Signal out(2, dry.frames());
    std::array<std::vector<float>, 2> lines = {std::vector<float>(kEchoFrames, 0.0f),
                                               std::vector<float>(kEchoFrames, 0.0f)};
    std::size_t position = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t i = 0; i < dry.frames(); ++i) {
            const float left = lines[0][position], right = lines[1][position];
            lines[0][position] = 0.5f * (dry.at(i, 0) + dry.at(i, 1)) + right * kEchoFeedback;
            lines[1][position] = left * kEchoFeedback;
            position = (position + 1) % kEchoFrames;
            if (pass == 1) {
                out.at(i, 0) = dry.at(i, 0) + kEchoLevel * left;
                out.at(i, 1) = dry.at(i, 1) + kEchoLevel * right;
            }
        }
    }
    return out;
}

constexpr float kRoomFeedback = 0.86f;
constexpr float kRoomDamping = 0.35f;

// The room's reverberation of `send`, which is mixed to mono on the way in.
Signal roomOf(const Signal& send) {
    Signal wet(2, send.frames());
    Reverb room(kRoomFeedback, kRoomDamping);
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t i = 0; i < send.frames(); ++i) {
            const std::array<float, 2> tail = room.process(0.5f * (send.at(i, 0) + send.at(i, 1)));
            if (pass == 1) {
                wet.at(i, 0) = tail[0];
                wet.at(i, 1) = tail[1];
            }
        }
    }
    return wet;
}

// ---------------------------------------------------------------------------------------------
// Arrangement and mix
// ---------------------------------------------------------------------------------------------

constexpr std::uint32_t kMusicNoiseStart = 0x2545F491u;
constexpr float kPadGain = 0.11f;
constexpr float kBellGain = 0.2f;
constexpr float kBellAccent = 1.3f; // on the beat
constexpr float kBellPanWidth = 0.6f;
constexpr float kBassGain = 0.22f;
constexpr float kKickGain = 0.45f;
constexpr float kShakerGain = 0.08f;
constexpr float kShakerAccent = 1.8f; // off the beat
constexpr float kPadSend = 0.5f;
constexpr float kBellSend = 0.8f;
constexpr float kRoomLevel = 0.9f;
// Leaves headroom for the effects, which the game mixes on top.
constexpr float kMusicPeak = 0.6f;

} // namespace

Signal renderMusic() {
    WhiteNoise noise(kMusicNoiseStart);
    const std::size_t timelineFrames = kLoopFrames + kTailFrames;
    Signal pads(2, timelineFrames), bells(2, timelineFrames), rhythm(2, timelineFrames);

    for (int c = 0; c < kChordCount; ++c) {
        const Chord& chord = kChords[c];
        const int firstBar = c * kBarsPerChord;
        for (int note : chord.pad)
            addPadNote(pads, frameOf(firstBar, 0), kBarsPerChord * kBarFrames, note, kPadGain,
                       noise);
        for (int b = 0; b < kBarsPerChord; ++b) {
            const int bar = firstBar + b;
            for (int e = 0; e < kEighthsPerBar; ++e) {
                const int tone = kArpeggioPatterns[b][e];
                const float pan =
                    kBellPanWidth * (2.0f * tone / (chord.arpeggio.size() - 1) - 1.0f);
                const float accent = e % 2 == 0 ? kBellAccent : 1.0f;
                addBellNote(bells, frameOf(bar, e), chord.arpeggio[tone], kBellGain * accent, pan);
            }
            for (const BassHit& hit : kBassBar)
                addBassNote(rhythm, frameOf(bar, hit.startEighth),
                            hit.lengthEighths * kEighthFrames, chord.bass + hit.interval,
                            kBassGain);
            if (bar < kFirstDrumBar)
                continue;
            addKick(rhythm, frameOf(bar, 0), kKickGain);
            addKick(rhythm, frameOf(bar, 4), kKickGain);
            for (int e = 0; e < kEighthsPerBar; ++e)
                addShaker(rhythm, frameOf(bar, e),
                          kShakerGain * (e % 2 == 1 ? kShakerAccent : 1.0f), noise);
        }
    }
    for (Signal* part : {&pads, &bells, &rhythm})
        foldTail(*part, kLoopFrames);

    const Signal echoed = withPingPongEcho(bells);
    Signal send(2, kLoopFrames);
    for (std::size_t i = 0; i < send.samples.size(); ++i)
        send.samples[i] = kPadSend * pads.samples[i] + kBellSend * echoed.samples[i];
    const Signal room = roomOf(send);

    Signal mix(2, kLoopFrames);
    for (std::size_t i = 0; i < mix.samples.size(); ++i)
        mix.samples[i] =
            pads.samples[i] + echoed.samples[i] + rhythm.samples[i] + kRoomLevel * room.samples[i];
    normalizePeak(mix, kMusicPeak);
    return mix;
}

} // namespace synth
