#include "Terrain.h"

#include "Buildings.h"
#include "FbxWriter.h"
#include "Image.h"
#include "LightmapBaker.h"
#include "MeshData.h"
#include "Noise.h"
#include "SceneLayout.h"
#include "TexelMap.h"

#include <algorithm>
#include <cmath>

namespace resgen {

namespace {

// ---------------------------------------------------------------------------------------------
// Shape, in world units

constexpr int cells = 96;                 // grid cells per side
constexpr float worldHalfExtent = 362.0f; // reaches the drawn sky box's walls (6 x 60)
constexpr int colourTexels = 2048;
constexpr int lightTexels = 512;
constexpr float waterLevel = -50.3f; // world height of the lake's surface
constexpr float flatHeight = layout::groundHeight;

struct FlatArea {
    glm::vec2 lo, hi; // world x and z
    float blend;      // world units over which the hills return
};
// The airfield under the buildings (x 78..106, z -25..6 with room around) and the target's
// first place.
constexpr FlatArea airfield{{66.0f, -40.0f}, {122.0f, 18.0f}, 24.0f};
constexpr glm::vec2 targetPad{20.0f, -7.0f};
constexpr float targetPadRadius = 9.0f;
constexpr float targetPadBlend = 14.0f;
constexpr glm::vec2 lakeCentre{-55.0f, -115.0f};
constexpr float lakeRadius = 42.0f;
// The lake's bottom is the terrain's lowest point, and the game's terrain collision is an
// endless floor at that height (drawn: twice it, minus 50): 7 units deep keeps that floor near
// -56, far below the jets' spheres.
constexpr float lakeDepth = 7.0f;
// Hills in the middle stay well below -3, the lowest height at which the target reappears.
constexpr float hillHeight = 46.0f; // above the flat ground, for the highest noise values

float boxDistance(glm::vec2 p, const FlatArea& area) {
    const glm::vec2 d = glm::max(area.lo - p, p - area.hi);
    return glm::length(glm::max(d, glm::vec2(0.0f)));
}

// How much of the hills remain at a place (0 on flat ground).
float hilliness(glm::vec2 p) {
    const float airfieldFade = smoothStep(0.0f, airfield.blend, boxDistance(p, airfield));
    const float padFade =
        smoothStep(targetPadRadius, targetPadRadius + targetPadBlend, glm::length(p - targetPad));
    return airfieldFade * padFade;
}

} // namespace

float terrainWorldHeight(float x, float z) {
    const glm::vec2 p(x, z);
    // Rolling hills, kept low in the middle of the map where the game is played.
    const float rolling = fractalNoise(p / 90.0f, 5, 11U);
    const float hills = std::max(0.0f, rolling - 0.35f) * hillHeight;
    // Mountains rising towards the rim hide the sky box's lower edge.
    const float rim = std::max(std::abs(x), std::abs(z));
    const float ridges = 1.0f - std::abs(fractalNoise(p / 70.0f, 5, 23U) * 2.0f - 1.0f);
    const float mountains = smoothStep(210.0f, 340.0f, rim) * (30.0f + 90.0f * ridges);
    // The lake: calm shores, then a smooth bowl below the water line.
    const float lakeDistance =
        glm::length(p - lakeCentre) * (0.8f + 0.4f * fractalNoise(p / 30.0f, 3, 31U));
    const float calm = smoothStep(lakeRadius * 0.8f, lakeRadius * 1.8f, lakeDistance);
    float height = flatHeight + (hills * calm + mountains) * hilliness(p);
    const float lake = 1.0f - lakeDistance / lakeRadius;
    if (lake > 0.0f)
        height -= lakeDepth * smoothStep(0.0f, 0.6f, lake) * (0.8f + 0.2f * rolling);
    return height;
}

namespace {

glm::vec3 worldToModel(glm::vec3 world) {
    return glm::vec3(layout::worldToTerrain() * glm::vec4(world, 1.0f));
}

MeshData buildMesh() {
    MeshData mesh;
    const int group = mesh.newGroup(); // one smooth surface
    const float step = 2.0f * worldHalfExtent / cells;
    auto point = [&](int i, int j) {
        const float x = -worldHalfExtent + step * static_cast<float>(i);
        const float z = -worldHalfExtent + step * static_cast<float>(j);
        return worldToModel({x, terrainWorldHeight(x, z), z});
    };
    for (int j = 0; j < cells; ++j) {
        for (int i = 0; i < cells; ++i) {
            const glm::vec3 a = point(i, j), b = point(i + 1, j), c = point(i + 1, j + 1),
                            d = point(i, j + 1);
            // Split along the shorter diagonal in height, so ridges stay ridges.
            if (std::abs(a.y - c.y) < std::abs(b.y - d.y)) {
                mesh.addTriangle(a, d, c, group, 0);
                mesh.addTriangle(a, c, b, group, 0);
            } else {
                mesh.addTriangle(a, d, b, group, 0);
                mesh.addTriangle(b, d, c, group, 0);
            }
        }
    }
    mesh.computeNormals();
    // Straight top-down layout: u along x, v along -z (north up in the picture).
    const glm::vec3 lo = worldToModel({-worldHalfExtent, 0.0f, -worldHalfExtent});
    const glm::vec3 hi = worldToModel({worldHalfExtent, 0.0f, worldHalfExtent});
    for (std::size_t i = 0; i < mesh.positions.size(); ++i) {
        const glm::vec3 p = mesh.positions[i];
        mesh.uvs[i] = {(p.x - lo.x) / (hi.x - lo.x), (p.z - lo.z) / (hi.z - lo.z)};
    }
    return mesh;
}

// ---------------------------------------------------------------------------------------------
// Paint

glm::vec3 groundColour(const SurfaceSample& s) {
    const glm::vec3 world =
        glm::vec3(s.position.x * layout::terrainScale, s.position.y * layout::terrainScale,
                  s.position.z * layout::terrainScale) +
        layout::terrainOffset;
    const glm::vec2 p(world.x, world.z);
    const float slope = 1.0f - s.normal.y; // 0 flat, 1 vertical
    const float fine = fractalNoise(p / 3.0f, 3, 301U);
    const float patches = fractalNoise(p / 25.0f, 4, 307U);

    // Grass, lush and dry in patches.
    glm::vec3 colour = glm::mix(glm::vec3(0.24f, 0.40f, 0.15f), glm::vec3(0.46f, 0.50f, 0.24f),
                                smoothStep(0.4f, 0.7f, patches));
    colour *= 0.85f + 0.3f * fine;

    // Rock on steep slopes and high up, snow on the mountain tops.
    const glm::vec3 rock = glm::vec3(0.45f, 0.42f, 0.38f) * (0.8f + 0.4f * fine);
    const float rockiness =
        glm::clamp(smoothStep(0.18f, 0.35f, slope) + smoothStep(10.0f, 45.0f, world.y), 0.0f, 1.0f);
    colour = glm::mix(colour, rock, rockiness);
    const float snow = smoothStep(45.0f, 70.0f, world.y + 15.0f * patches) *
                       (1.0f - smoothStep(0.3f, 0.5f, slope));
    colour = glm::mix(colour, glm::vec3(0.93f, 0.95f, 0.97f), snow);

    // Shore and water.
    const float shore = smoothStep(waterLevel + 1.4f, waterLevel + 0.3f, world.y);
    colour = glm::mix(colour, glm::vec3(0.70f, 0.64f, 0.48f) * (0.9f + 0.2f * fine), shore);
    if (world.y < waterLevel) {
        const float depth = smoothStep(0.0f, 5.0f, waterLevel - world.y);
        colour = glm::mix(glm::vec3(0.20f, 0.42f, 0.45f), glm::vec3(0.06f, 0.20f, 0.32f), depth);
        colour *= 0.95f + 0.1f * fine;
    }

    // The airfield's concrete apron with joints and a painted taxi line.
    const FlatArea apron{airfield.lo + 6.0f, airfield.hi - 6.0f, 0.0f};
    if (boxDistance(p, apron) <= 0.0f) {
        const glm::vec2 slab = glm::fract((p - apron.lo) / 6.0f);
        const float joint = (slab.x < 0.03f || slab.y < 0.03f) ? 0.75f : 1.0f;
        glm::vec3 concrete = glm::vec3(0.60f, 0.60f, 0.57f) * (0.88f + 0.2f * fine) * joint;
        concrete *= 0.92f + 0.16f * patches;
        const float lineX = std::abs(p.x - 76.0f);
        if (lineX < 0.4f)
            concrete = glm::vec3(0.85f, 0.72f, 0.20f);
        colour = concrete;
    }
    // A bare earth pad where the target first stands.
    const float pad =
        smoothStep(targetPadRadius, targetPadRadius - 2.0f, glm::length(p - targetPad));
    colour = glm::mix(colour, glm::vec3(0.50f, 0.40f, 0.28f) * (0.85f + 0.3f * fine), pad);
    return colour;
}

} // namespace

bool writeTerrain(const OutputDirs& out) {
    MeshData mesh = buildMesh();

    const TexelMap colourMap = TexelMap::rasterize(mesh, colourTexels, colourTexels);
    const Image colour =
        colourMap.shade([](const SurfaceSample& s) { return glm::vec4(groundColour(s), 1.0f); }, 2);

    // Occluders in terrain model space: the ground itself and the buildings standing on it.
    RayScene scene;
    scene.addMesh(mesh);
    const glm::mat4 toTerrain = layout::worldToTerrain();
    scene.addMesh(hangarMesh(), toTerrain * layout::hangar());
    scene.addMesh(towerMesh(), toTerrain * layout::tower());
    for (const glm::mat4& crate : {layout::crate1(), layout::crate2(), layout::crate3()})
        scene.addMesh(crateMesh(), toTerrain * crate);
    scene.build();
    BakeSettings settings;
    settings.skySamples = 10;
    settings.sunSamples = 2;
    settings.skyReach = 10.0f;
    settings.bias = 0.05f;
    settings.stream = 41U;
    const TexelMap lightMap = TexelMap::rasterize(mesh, lightTexels, lightTexels);
    const Image light = LightmapBaker::bake(lightMap, scene, settings, 2);

    ModelFile model{"terrain", "ground", "terrain.png", std::move(mesh)};
    model.mesh.weld();
    return colour.savePng(out.textures / "terrain.png") &&
           light.savePng(out.textures / "terrainlm2.png") &&
           FbxWriter::write(out.models / "terrain.fbx", model);
}

} // namespace resgen
