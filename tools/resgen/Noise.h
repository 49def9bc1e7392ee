#pragma once

#include <glm/glm.hpp>

#include <cstdint>

namespace resgen {

// Smooth value noise and its fractal sums, in 2D and 3D, in [0, 1]. Every procedural surface
// (terrain heights, clouds, paint wear) is built from these; `layer` picks an independent
// noise field.
float valueNoise(glm::vec2 p, std::uint32_t layer);
float valueNoise(glm::vec3 p, std::uint32_t layer);
float fractalNoise(glm::vec2 p, int octaves, std::uint32_t layer, float gain = 0.5f);
float fractalNoise(glm::vec3 p, int octaves, std::uint32_t layer, float gain = 0.5f);

// Hermite step and a soft threshold used by the painters.
float smoothStep(float edge0, float edge1, float x);

} // namespace resgen
