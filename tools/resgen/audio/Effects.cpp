#include "StateVariableFilter.h"
#include "Synthesis.h"
#include "WhiteNoise.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace synth {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
// Effects peak just below full scale; the decoder's small overshoot must not clip.
constexpr float kEffectPeak = 0.89f;

std::size_t framesOf(double seconds) {
    return static_cast<std::size_t>(seconds * kSampleRateHz);
}

// 0 to 1 along half a cosine over `seconds`, so a sound starts without a click.
float riseOver(double t, double seconds) {
    return t >= seconds ? 1.0f
                        : static_cast<float>(0.5 - 0.5 * std::cos(std::numbers::pi * t / seconds));
}

// Exponential glide from `from` to `to` as `amount` goes 0 to 1: sweeps sound even in pitch.
float glide(float from, float to, double amount) {
    return from * static_cast<float>(std::pow(to / from, std::clamp(amount, 0.0, 1.0)));
}

// Below this nothing is heard, but an offset there wastes headroom and thumps on start and stop.
constexpr double kDcBlockHz = 15.0;

// Removes any offset, applies a soft saturation (tanh) for density, fades the last
// `fadeSeconds` out so that the sound ends in silence, and brings the peak to kEffectPeak.
void finish(Signal& sound, float drive, double fadeSeconds) {
    const std::size_t fade = framesOf(fadeSeconds);
    const std::size_t frames = sound.frames();
    const float pole = static_cast<float>(1.0 - kTwoPi * kDcBlockHz / kSampleRateHz);
    float previousInput = 0.0f, previousOutput = 0.0f;
    for (std::size_t i = 0; i < frames; ++i) {
        float& s = sound.samples[i];
        const float blocked = s - previousInput + pole * previousOutput;
        previousInput = s;
        previousOutput = blocked;
        s = std::tanh(drive * blocked);
        if (i + fade > frames)
            s *= riseOver(double(frames - i) / kSampleRateHz, fadeSeconds);
    }
    normalizePeak(sound, kEffectPeak);
}

// ---------------------------------------------------------------------------------------------
// Rocket launch
// ---------------------------------------------------------------------------------------------

constexpr std::uint32_t kRocketNoiseStart = 0x6D2B79F5u;
constexpr double kRocketSeconds = 1.1;

constexpr double kThumpBaseHz = 45.0;
constexpr double kThumpSweepHz = 120.0;
constexpr double kThumpSweepSeconds = 0.035;
constexpr double kThumpDecaySeconds = 0.09;
constexpr float kThumpLevel = 0.9f;

// The roar's band-pass centre rises while the motor lights, then falls as the rocket leaves.
constexpr float kRoarStartHz = 350.0f;
constexpr float kRoarPeakHz = 2600.0f;
constexpr float kRoarEndHz = 450.0f;
constexpr double kRoarRiseSeconds = 0.22;
constexpr float kRoarResonance = 2.5f;
// A two-pole band-pass alone leaves too much hiss far above its centre for the sweep to be
// heard; a low-pass just above the centre steepens the upper side.
constexpr float kRoarTopRatio = 1.5f;
constexpr float kRoarLevel = 1.1f;
constexpr float kRumbleCutoffHz = 220.0f;
constexpr float kRumbleLevel = 0.7f;
constexpr double kRoarAttackSeconds = 0.03;
constexpr double kRoarHoldSeconds = 0.15;

constexpr double kCracklesPerSecond = 120.0;
constexpr double kCrackleDecaySeconds = 0.3;
constexpr float kCrackleHz = 3200.0f;
constexpr float kCrackleLevel = 0.5f;
constexpr float kRocketDrive = 1.3f;
constexpr double kRocketFadeSeconds = 0.05;

} // namespace

Signal renderRocket() {
    WhiteNoise noise(kRocketNoiseStart);
    StateVariableFilter roar, roarTop;
    StateVariableFilter rumble(kRumbleCutoffHz, 0.7f);
    StateVariableFilter crackleFilter(kCrackleHz, 2.0f);
    Signal sound(1, framesOf(kRocketSeconds));
    double thumpPhase = 0.0;
    for (std::size_t i = 0; i < sound.frames(); ++i) {
        const double t = double(i) / kSampleRateHz;

        thumpPhase += kTwoPi * (kThumpBaseHz + kThumpSweepHz * std::exp(-t / kThumpSweepSeconds)) /
                      kSampleRateHz;
        const float thump =
            riseOver(t, 0.002) *
            static_cast<float>(std::exp(-t / kThumpDecaySeconds) * std::sin(thumpPhase));

        const float centre =
            t < kRoarRiseSeconds
                ? glide(kRoarStartHz, kRoarPeakHz, t / kRoarRiseSeconds)
                : glide(kRoarPeakHz, kRoarEndHz,
                        (t - kRoarRiseSeconds) / (kRocketSeconds - kRoarRiseSeconds));
        const float white = noise.next();
        roar.tune(centre, kRoarResonance);
        roarTop.tune(kRoarTopRatio * centre, 0.707f);
        const float hiss = roarTop.process(roar.process(white).band).low;
        const float body = rumble.process(white).low;
        // Full strength for a moment, then a quadratic fall to nothing at the end.
        const double afterHold =
            std::max(0.0, t - kRoarHoldSeconds) / (kRocketSeconds - kRoarHoldSeconds);
        const float roarEnvelope = riseOver(t, kRoarAttackSeconds) *
                                   static_cast<float>((1.0 - afterHold) * (1.0 - afterHold));

        // Sparse sparks, thinning out as the rocket leaves.
        const double sparkChance =
            kCracklesPerSecond / kSampleRateHz * std::exp(-t / kCrackleDecaySeconds);
        const float spark = noise.unit() < sparkChance ? noise.next() : 0.0f;
        const float crackle = crackleFilter.process(spark).band;

        sound.samples[i] = kThumpLevel * thump +
                           roarEnvelope * (kRoarLevel * hiss + kRumbleLevel * body) +
                           kCrackleLevel * crackle;
    }
    finish(sound, kRocketDrive, kRocketFadeSeconds);
    return sound;
}

// ---------------------------------------------------------------------------------------------
// Explosion
// ---------------------------------------------------------------------------------------------

namespace {

constexpr std::uint32_t kExplosionNoiseStart = 0x9E3779B9u;
constexpr double kExplosionSeconds = 2.0;

constexpr double kBoomBaseHz = 40.0;
constexpr double kBoomSweepHz = 80.0;
constexpr double kBoomSweepSeconds = 0.12;
constexpr double kBoomDecaySeconds = 0.5;
constexpr float kBoomLevel = 1.0f;

constexpr float kBlastLowestHz = 250.0f;
constexpr float kBlastSweepHz = 5500.0f;
constexpr double kBlastSweepSeconds = 0.25;
constexpr double kBlastDecaySeconds = 0.45;
constexpr float kBlastLevel = 1.4f;

constexpr float kRumbleHz = 90.0f;
constexpr double kRumbleDecaySeconds = 0.7;
constexpr float kExplosionRumbleLevel = 2.5f; // low-passed noise is quiet; this evens it out

constexpr double kDebrisPerSecond = 400.0;
constexpr double kDebrisDecaySeconds = 0.35;
constexpr float kDebrisHz = 1800.0f;
constexpr float kDebrisLevel = 0.6f;

constexpr float kExplosionDrive = 1.6f;
constexpr double kExplosionFadeSeconds = 0.4;

} // namespace

Signal renderExplosion() {
    WhiteNoise noise(kExplosionNoiseStart);
    StateVariableFilter blast;
    StateVariableFilter rumble(kRumbleHz, 0.9f);
    StateVariableFilter debrisFilter(kDebrisHz, 1.5f);
    Signal sound(1, framesOf(kExplosionSeconds));
    double boomPhase = 0.0;
    for (std::size_t i = 0; i < sound.frames(); ++i) {
        const double t = double(i) / kSampleRateHz;
        const float attack = riseOver(t, 0.003);

        boomPhase += kTwoPi * (kBoomBaseHz + kBoomSweepHz * std::exp(-t / kBoomSweepSeconds)) /
                     kSampleRateHz;
        const float boom =
            static_cast<float>(std::exp(-t / kBoomDecaySeconds) * std::sin(boomPhase));

        const float white = noise.next();
        const float cutoff =
            kBlastLowestHz + kBlastSweepHz * static_cast<float>(std::exp(-t / kBlastSweepSeconds));
        blast.tune(cutoff, 0.8f);
        const float blastNoise =
            blast.process(white).low * static_cast<float>(std::exp(-t / kBlastDecaySeconds));
        const float rumbleNoise =
            rumble.process(white).low * static_cast<float>(std::exp(-t / kRumbleDecaySeconds));

        const double debrisChance =
            kDebrisPerSecond / kSampleRateHz * std::exp(-t / kDebrisDecaySeconds);
        const float chunk = noise.unit() < debrisChance ? noise.next() : 0.0f;
        const float debris = debrisFilter.process(chunk).band;

        sound.samples[i] = attack * (kBoomLevel * boom + kBlastLevel * blastNoise +
                                     kExplosionRumbleLevel * rumbleNoise) +
                           kDebrisLevel * debris;
    }
    finish(sound, kExplosionDrive, kExplosionFadeSeconds);
    return sound;
}

} // namespace synth
