#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace synth {

// A small stereo room: parallel damped comb filters into series all-pass filters per side, the
// right side's delays a little longer than the left's so that the tail spreads across the
// stereo field. It gives the music its sense of space.
class Reverb {
public:
    // `feedback` sets the decay time (below 1), `damping` how fast the highs die (0 to 1).
    Reverb(float feedback, float damping);

    // One mono input sample in, the wet left and right samples out.
    std::array<float, 2> process(float input);

private:
    struct Comb {
        std::vector<float> line;
        std::size_t position = 0;
        float lowpassed = 0.0f;
    };
    struct AllPass {
        std::vector<float> line;
        std::size_t position = 0;
    };

    float feedback;
    float damping;
    std::array<std::vector<Comb>, 2> combs;
    std::array<std::vector<AllPass>, 2> allPasses;
};

} // namespace synth
