#pragma once

#include "Image.h"
#include "Lighting.h"
#include "RayScene.h"
#include "TexelMap.h"

#include <cstdint>

namespace resgen {

struct BakeSettings {
    glm::vec3 sunDirection = resgen::sunDirection(); // towards the sun, in the model's space
    int sunSamples = 3;            // shadow rays per texel, spread over the sun's disc
    float sunRadiusDegrees = 1.2f; // softness of shadow edges
    int skySamples = 16;           // ambient-occlusion rays per texel
    float skyReach = 8.0f;         // model units an occluder may be away and still shade
    float bias = 0.02f;            // ray start offset along the normal, model units
    bool groundBelow = true;       // rays under the horizon meet the ground (not for aircraft)
    std::uint32_t stream = 1;      // keeps the maps' noise patterns apart
};

// Bakes sun light with shadows and sky light with ambient occlusion for every texel of a
// texel map against the occluders of a ray scene, and grows the result into the charts'
// padding. A texel's rays depend only on its position in the map, so the result is the same
// whatever the number of threads.
class LightmapBaker {
public:
    static Image bake(const TexelMap& map, const RayScene& scene, const BakeSettings& settings,
                      int dilateRings);

    // The light arriving at one surface point (linear, 1 is a fully lit face towards the sun
    // under an open sky).
    // The share of the sky visible from a surface point (0 enclosed, 1 open), for painted
    // occlusion; `texel` picks the rays.
    static float skyOpenness(glm::vec3 position, glm::vec3 normal, const RayScene& scene,
                             const BakeSettings& settings, std::uint32_t texel);

    static glm::vec3 lightAt(glm::vec3 position, glm::vec3 normal, const RayScene& scene,
                             const BakeSettings& settings, std::uint32_t texel);
};

} // namespace resgen
