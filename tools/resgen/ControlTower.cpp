#include "BakedModel.h"
#include "Buildings.h"
#include "Lighting.h"
#include "Noise.h"
#include "SceneLayout.h"
#include "Shapes.h"

#include <cmath>

namespace resgen {

namespace {

constexpr float baseHalf = 3.5f;
constexpr float baseHeight = 4.0f;
constexpr float shaftHalf = 1.5f;
constexpr float cabFloor = 12.0f;
constexpr float cabTop = 14.4f;
constexpr float mastTop = 18.0f;

enum Part { base, shaft, slab, glass, mast };

glm::vec3 concrete(glm::vec3 p, float fine) {
    const float stain = fractalNoise(glm::vec2(p.x + p.z, p.y) * 0.6f, 4, 601U);
    return glm::vec3(0.70f, 0.68f, 0.63f) * (0.85f + 0.12f * fine + 0.15f * stain);
}

// Along the wall: the horizontal coordinate on whichever face the point is.
float alongWall(glm::vec3 p, glm::vec3 n) {
    return std::abs(n.x) > std::abs(n.z) ? p.z : p.x;
}

glm::vec3 paintTower(const SurfaceSample& s) {
    const glm::vec3 p = s.position;
    const float fine = fractalNoise(glm::vec2(p.x - p.z, p.y) * 2.5f, 3, 607U);
    const bool upward = s.normal.y > 0.7f;
    switch (s.part) {
    case base: {
        if (upward)
            return glm::vec3(0.40f, 0.40f, 0.40f) * (0.9f + 0.2f * fine); // gravel roof
        const float u = alongWall(p, s.normal);
        // Two storeys of window bands; a door on the side that faces -x.
        const bool window = std::fmod(u + 100.0f, 1.6f) > 0.5f && std::abs(u) < 3.0f &&
                            (std::abs(p.y - 1.3f) < 0.55f || std::abs(p.y - 3.0f) < 0.5f);
        if (s.normal.x < -0.7f && std::abs(p.z) < 0.7f && p.y < 2.2f)
            return glm::vec3(0.20f, 0.30f, 0.45f);
        if (window)
            return glm::mix(glm::vec3(0.10f, 0.16f, 0.24f), glm::vec3(0.45f, 0.55f, 0.62f),
                            smoothStep(0.0f, 1.0f, (p.y - std::floor(p.y)) * 0.8f));
        return concrete(p, fine);
    }
    case shaft: {
        glm::vec3 colour = concrete(p, fine);
        // A slot of stairwell windows and the station's stripes.
        if (std::abs(alongWall(p, s.normal)) < 0.25f && std::fmod(p.y, 1.2f) > 0.4f)
            colour = glm::vec3(0.12f, 0.17f, 0.24f);
        if (p.y > cabFloor - 1.0f)
            colour = glm::vec3(0.80f, 0.30f, 0.12f) * (0.9f + 0.2f * fine);
        return colour;
    }
    case slab:
        return glm::vec3(0.85f, 0.85f, 0.82f) * (0.9f + 0.1f * fine);
    case glass: {
        // Tinted panes between thin mullions.
        const float angle = std::atan2(p.z, p.x) * 8.0f / 6.2831853f * 3.0f;
        const bool mullion = std::abs(angle - std::round(angle)) < 0.06f;
        if (mullion)
            return glm::vec3(0.20f, 0.20f, 0.22f);
        const float height = (p.y - cabFloor) / (cabTop - cabFloor);
        return glm::mix(glm::vec3(0.16f, 0.30f, 0.38f), glm::vec3(0.55f, 0.72f, 0.80f),
                        height * 0.8f);
    }
    default: {
        const bool red = std::fmod(p.y, 1.0f) < 0.5f;
        return red ? glm::vec3(0.85f, 0.15f, 0.10f) : glm::vec3(0.92f, 0.92f, 0.90f);
    }
    }
}

} // namespace

MeshData towerMesh() {
    MeshData mesh;
    addBox(mesh, {-baseHalf, 0.0f, -baseHalf}, {baseHalf, baseHeight, baseHalf}, base, false);
    addBox(mesh, {-shaftHalf, baseHeight, -shaftHalf}, {shaftHalf, cabFloor, shaftHalf}, shaft,
           false);
    addBox(mesh, {-3.0f, cabFloor, -3.0f}, {3.0f, cabFloor + 0.4f, 3.0f}, slab);
    // The cab's glass leans outwards, as on real towers, so it does not mirror the apron.
    const glm::vec3 x(1, 0, 0), minusZ(0, 0, -1);
    const std::vector<std::vector<glm::vec3>> cab{
        ellipseRing({0.0f, cabFloor + 0.4f, 0.0f}, x, minusZ, 2.6f, 2.6f, 8, 0.3926991f),
        ellipseRing({0.0f, cabTop, 0.0f}, x, minusZ, 3.0f, 3.0f, 8, 0.3926991f)};
    addLoft(mesh, cab, Shading::Flat, glass, false, false);
    addBox(mesh, {-3.3f, cabTop, -3.3f}, {3.3f, cabTop + 0.5f, 3.3f}, slab);
    addBox(mesh, {-0.12f, cabTop + 0.5f, -0.12f}, {0.12f, mastTop, 0.12f}, mast, false);
    addBox(mesh, {-1.1f, cabTop + 2.0f, -0.1f}, {1.1f, cabTop + 2.2f, 0.1f}, mast);
    return mesh;
}

bool writeTower(const OutputDirs& out) {
    BakedModelRecipe recipe;
    recipe.modelFile = "SSD+WE.obj";
    recipe.objectName = "tower";
    recipe.materialName = "tower";
    recipe.colourFile = "tower.png";
    recipe.lightMapFile = "lightm.png";
    recipe.colourTexels = 1024;
    recipe.lightTexels = 512;
    recipe.paint = paintTower;
    recipe.bake.skyReach = 10.0f;
    recipe.bake.stream = 13U;
    recipe.bake.sunDirection = sunDirectionInModel(layout::towerYaw);
    return writeBakedModel(out, towerMesh(), recipe);
}

} // namespace resgen
