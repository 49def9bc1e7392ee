#include "Signal.h"

#include <algorithm>
#include <cmath>

namespace synth {

void normalizePeak(Signal& signal, float peak) {
    float largest = 0.0f;
    for (float s : signal.samples)
        largest = std::max(largest, std::abs(s));
    if (largest == 0.0f)
        return;
    const float gain = peak / largest;
    for (float& s : signal.samples)
        s *= gain;
}

void foldTail(Signal& signal, std::size_t loopFrames) {
    assert(signal.frames() >= loopFrames && "the signal is shorter than its loop");
    assert(signal.frames() - loopFrames <= loopFrames && "a tail longer than the loop itself");
    const std::size_t loopSamples = loopFrames * signal.channels;
    for (std::size_t i = loopSamples; i < signal.samples.size(); ++i)
        signal.samples[i - loopSamples] += signal.samples[i];
    signal.samples.resize(loopSamples);
}

} // namespace synth
