#include "LightmapBaker.h"

#include "Lighting.h"
#include "Random.h"

#include <cmath>

namespace resgen {

namespace {

constexpr float twoPi = 6.2831853f;

void basisAround(glm::vec3 n, glm::vec3& t, glm::vec3& b) {
    const glm::vec3 helper = std::abs(n.x) > 0.5f ? glm::vec3(0, 1, 0) : glm::vec3(1, 0, 0);
    t = glm::normalize(glm::cross(helper, n));
    b = glm::cross(n, t);
}

} // namespace

float LightmapBaker::skyOpenness(glm::vec3 position, glm::vec3 normal, const RayScene& scene,
                                 const BakeSettings& settings, std::uint32_t texel) {
    Random random(hash32(texel, settings.stream + 0x51f15eU));
    const glm::vec3 origin = position + normal * settings.bias;
    glm::vec3 t, b;
    // Sky: cosine-weighted, stratified over rings of the hemisphere.
    basisAround(normal, t, b);
    float open = 0.0f;
    for (int i = 0; i < settings.skySamples; ++i) {
        const float u =
            (static_cast<float>(i) + random.next()) / static_cast<float>(settings.skySamples);
        const float angle = twoPi * random.next();
        const float r = std::sqrt(u);
        const glm::vec3 dir = t * (r * std::cos(angle)) + b * (r * std::sin(angle)) +
                              normal * std::sqrt(std::max(0.0f, 1.0f - u));
        // Rays below the horizon see the ground, which reflects a little sun.
        if ((settings.groundBelow && dir.y < -0.02f) ||
            scene.occluded(origin, dir, settings.skyReach))
            continue;
        open += 1.0f;
    }
    return open / static_cast<float>(settings.skySamples);
}

glm::vec3 LightmapBaker::lightAt(glm::vec3 position, glm::vec3 normal, const RayScene& scene,
                                 const BakeSettings& settings, std::uint32_t texel) {
    Random random(hash32(texel, settings.stream));
    const glm::vec3 origin = position + normal * settings.bias;
    glm::vec3 t, b;

    // Sun: stratified points on its disc.
    const glm::vec3 sun = settings.sunDirection;
    float sunLight = 0.0f;
    const float facing = glm::dot(normal, sun);
    if (facing > 0.0f) {
        basisAround(sun, t, b);
        const float discRadius = std::tan(glm::radians(settings.sunRadiusDegrees));
        int visible = 0;
        for (int i = 0; i < settings.sunSamples; ++i) {
            const float r = discRadius * std::sqrt((static_cast<float>(i) + random.next()) /
                                                   static_cast<float>(settings.sunSamples));
            const float angle = twoPi * random.next();
            const glm::vec3 dir =
                glm::normalize(sun + t * (r * std::cos(angle)) + b * (r * std::sin(angle)));
            if (!scene.occluded(origin, dir, 1.0e4f))
                ++visible;
        }
        sunLight = facing * static_cast<float>(visible) / static_cast<float>(settings.sunSamples);
    }

    const float skyOpen = skyOpenness(position, normal, scene, settings, texel);
    return sunColour * sunLight + skyColour * skyOpen + bounceColour * (1.0f - skyOpen);
}

Image LightmapBaker::bake(const TexelMap& map, const RayScene& scene, const BakeSettings& settings,
                          int dilateRings) {
    Image image(map.width, map.height, glm::vec4(0.0f, 0.0f, 0.0f, 1.0f));
    parallelRows(map.height, [&](int y) {
        for (int x = 0; x < map.width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * map.width + x;
            if (!map.covered[i])
                continue;
            const SurfaceSample& s = map.samples[i];
            const glm::vec3 light =
                lightAt(s.position, s.normal, scene, settings, static_cast<std::uint32_t>(i));
            image.at(x, y) = glm::vec4(light * lightMapStoredScale, 1.0f);
        }
    });
    std::vector<std::uint8_t> mask(map.covered.size());
    for (std::size_t i = 0; i < mask.size(); ++i)
        mask[i] = map.covered[i] ? 1 : 0;
    image.dilate(mask, dilateRings);
    return image;
}

} // namespace resgen
