#pragma once

#include <cstdint>

namespace resgen {

// Hashing and a small generator with a fixed start value: every generated file must come out
// byte for byte the same on every run and every machine, so nothing here reads the clock or the
// C library's generator.
inline std::uint32_t hash32(std::uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

inline std::uint32_t hash32(std::uint32_t a, std::uint32_t b) {
    return hash32(a ^ hash32(b + 0x9e3779b9U));
}

inline std::uint32_t hash32(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    return hash32(hash32(a, b), c);
}

// Uniform float in [0, 1) from a hash.
inline float unitFloat(std::uint32_t h) {
    return static_cast<float>(h >> 8) * (1.0f / 16777216.0f);
}

// A counter-based generator: the n-th number depends only on the stream and n, so work split
// over threads draws the same numbers whatever the scheduling.
class Random {
public:
    explicit Random(std::uint32_t stream) : stream(stream) {}
    std::uint32_t nextUint() { return hash32(stream, counter++); }
    float next() { return unitFloat(nextUint()); }

private:
    std::uint32_t stream;
    std::uint32_t counter = 0;
};

} // namespace resgen
