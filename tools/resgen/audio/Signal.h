#pragma once

#include <cassert>
#include <cstddef>
#include <vector>

namespace synth {

// Every sound is made at the rate the game's mixer runs at, so nothing is resampled on playback.
constexpr int kSampleRateHz = 44100;

// A block of interleaved float samples; full scale is 1.0.
struct Signal {
    int channels = 1;
    std::vector<float> samples;

    Signal() = default;
    Signal(int channelCount, std::size_t frameCount)
        : channels(channelCount), samples(frameCount * channelCount, 0.0f) {
        assert(channelCount == 1 || channelCount == 2);
    }

    std::size_t frames() const { return samples.size() / channels; }
    float& at(std::size_t frame, int channel) {
        assert(frame < frames() && "a note runs past the end of its timeline");
        return samples[frame * channels + channel];
    }
    float at(std::size_t frame, int channel) const { return samples[frame * channels + channel]; }
};

// Scales the signal so that its largest magnitude becomes `peak`; silence stays silence.
void normalizePeak(Signal& signal, float peak);

// Adds everything past `loopFrames` onto the start and cuts it off: the tails of notes that
// ring over the loop's end then sound at its beginning, as they will when the loop repeats.
void foldTail(Signal& signal, std::size_t loopFrames);

} // namespace synth
