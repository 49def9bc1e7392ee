#include "PaintedModel.h"

#include "LightmapBaker.h"
#include "Random.h"
#include "RayScene.h"
#include "UvAtlas.h"

#include <bit>

namespace resgen {

namespace {

constexpr int occlusionRays = 12;

} // namespace

Image paintModel(MeshData& mesh, int texels, int padding,
                 const std::function<glm::vec3(const SurfaceSample&)>& paint,
                 float occlusionStrength, float occlusionReach) {
    UvAtlas::unwrap(mesh, texels, texels, padding);
    const TexelMap map = TexelMap::rasterize(mesh, texels, texels);
    RayScene scene;
    if (occlusionStrength > 0.0f) {
        scene.addMesh(mesh);
        scene.build();
    }
    BakeSettings settings;
    settings.sunSamples = 0;
    settings.skySamples = occlusionRays;
    settings.skyReach = occlusionReach;
    settings.bias = 0.005f;
    settings.groundBelow = false;
    return map.shade(
        [&](const SurfaceSample& s) {
            glm::vec3 colour = paint(s);
            if (occlusionStrength > 0.0f) {
                const std::uint32_t rays = hash32(std::bit_cast<std::uint32_t>(s.position.x),
                                                  std::bit_cast<std::uint32_t>(s.position.y),
                                                  std::bit_cast<std::uint32_t>(s.position.z));
                const float open =
                    LightmapBaker::skyOpenness(s.position, s.normal, scene, settings, rays);
                colour *= 1.0f - occlusionStrength * (1.0f - open);
            }
            return glm::vec4(colour, 1.0f);
        },
        padding + 2);
}

} // namespace resgen
