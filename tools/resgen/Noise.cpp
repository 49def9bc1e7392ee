#include "Noise.h"

#include "Random.h"

#include <cmath>

namespace resgen {

namespace {

float lattice(int x, int y, std::uint32_t layer) {
    return unitFloat(
        hash32(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), layer * 7919U + 1U));
}

float lattice(int x, int y, int z, std::uint32_t layer) {
    return unitFloat(hash32(hash32(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)),
                            static_cast<std::uint32_t>(z), layer * 104729U + 3U));
}

float fade(float t) {
    return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f);
}

} // namespace

float smoothStep(float edge0, float edge1, float x) {
    const float t = glm::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

float valueNoise(glm::vec2 p, std::uint32_t layer) {
    const glm::vec2 cell = glm::floor(p);
    const int x = static_cast<int>(cell.x);
    const int y = static_cast<int>(cell.y);
    const float fx = fade(p.x - cell.x);
    const float fy = fade(p.y - cell.y);
    const float a = glm::mix(lattice(x, y, layer), lattice(x + 1, y, layer), fx);
    const float b = glm::mix(lattice(x, y + 1, layer), lattice(x + 1, y + 1, layer), fx);
    return glm::mix(a, b, fy);
}

float valueNoise(glm::vec3 p, std::uint32_t layer) {
    const glm::vec3 cell = glm::floor(p);
    const int x = static_cast<int>(cell.x);
    const int y = static_cast<int>(cell.y);
    const int z = static_cast<int>(cell.z);
    const float fx = fade(p.x - cell.x);
    const float fy = fade(p.y - cell.y);
    const float fz = fade(p.z - cell.z);
    float planes[2];
    for (int k = 0; k < 2; ++k) {
        const float a = glm::mix(lattice(x, y, z + k, layer), lattice(x + 1, y, z + k, layer), fx);
        const float b =
            glm::mix(lattice(x, y + 1, z + k, layer), lattice(x + 1, y + 1, z + k, layer), fx);
        planes[k] = glm::mix(a, b, fy);
    }
    return glm::mix(planes[0], planes[1], fz);
}

float fractalNoise(glm::vec2 p, int octaves, std::uint32_t layer, float gain) {
    float sum = 0.0f;
    float amplitude = 1.0f;
    float total = 0.0f;
    for (int octave = 0; octave < octaves; ++octave) {
        sum += amplitude * valueNoise(p, layer + static_cast<std::uint32_t>(octave) * 31U);
        total += amplitude;
        amplitude *= gain;
        // The rotation keeps the octaves' lattices from lining up into visible grid streaks.
        p = glm::vec2(1.6f * p.x - 1.2f * p.y, 1.2f * p.x + 1.6f * p.y) + glm::vec2(17.3f, 9.1f);
    }
    return sum / total;
}

float fractalNoise(glm::vec3 p, int octaves, std::uint32_t layer, float gain) {
    float sum = 0.0f;
    float amplitude = 1.0f;
    float total = 0.0f;
    for (int octave = 0; octave < octaves; ++octave) {
        sum += amplitude * valueNoise(p, layer + static_cast<std::uint32_t>(octave) * 31U);
        total += amplitude;
        amplitude *= gain;
        p = glm::vec3(1.6f * p.x - 1.2f * p.z, 2.0f * p.y, 1.2f * p.x + 1.6f * p.z) +
            glm::vec3(17.3f, 5.7f, 9.1f);
    }
    return sum / total;
}

} // namespace resgen
