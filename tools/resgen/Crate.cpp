#include "BakedModel.h"
#include "Buildings.h"
#include "Lighting.h"
#include "Noise.h"
#include "SceneLayout.h"
#include "Shapes.h"

#include <cmath>

namespace resgen {

namespace {

constexpr float half = 1.2f;    // the crate is 2.4 units on a side
constexpr float batten = 0.22f; // width of the edge boards
constexpr float proud = 0.06f;  // how far the edge boards stand out

enum Part { boards, frame };

// A steady pseudo-random shade per plank.
float unitShade(float value) {
    return std::fmod(std::abs(value) * 0.618034f, 1.0f);
}

glm::vec3 paintCrate(const SurfaceSample& s) {
    const glm::vec3 p = s.position;
    const glm::vec3 n = s.normal;
    // Coordinates on the face: planks run horizontally on the sides, along x on the lid.
    const bool lid = std::abs(n.y) > 0.7f;
    const float across = lid ? p.z : p.y;
    const float along = lid ? p.x : (std::abs(n.x) > std::abs(n.z) ? p.z : p.x);
    const float plank = std::floor(across / 0.4f);
    const float grain =
        fractalNoise(glm::vec2(along * 0.8f, across * 12.0f + plank * 3.7f), 4, 701U);
    glm::vec3 wood = glm::vec3(0.62f, 0.45f, 0.25f) * (0.75f + 0.35f * grain);
    wood *= 0.9f + 0.15f * unitShade(plank);
    const float gap = std::abs(across / 0.4f - std::round(across / 0.4f));
    if (s.part == boards && gap < 0.04f)
        wood *= 0.45f;
    if (s.part == frame)
        wood = glm::vec3(0.50f, 0.36f, 0.20f) * (0.8f + 0.3f * grain);
    // A stencilled arrow on the sides.
    if (!lid && s.part == boards) {
        const glm::vec2 q(along, p.y - 1.2f);
        const bool shaftPart = std::abs(q.x) < 0.09f && q.y > -0.45f && q.y < 0.15f;
        const bool head = q.y >= 0.15f && q.y < 0.5f && std::abs(q.x) < (0.5f - q.y) * 0.9f;
        if (shaftPart || head)
            wood = glm::mix(wood, glm::vec3(0.12f, 0.10f, 0.08f), 0.8f);
    }
    return wood;
}

} // namespace

MeshData crateMesh() {
    MeshData mesh;
    addBox(mesh, {-half, 0.0f, -half}, {half, 2.0f * half, half}, boards, false);
    // Edge boards round every vertical edge and along the lid's rim.
    for (float sx : {-1.0f, 1.0f}) {
        for (float sz : {-1.0f, 1.0f}) {
            const glm::vec3 corner(sx * half, 0.0f, sz * half);
            const glm::vec3 lo = glm::min(corner, corner - glm::vec3(sx, 0, sz) * batten) -
                                 glm::vec3(sx < 0 ? proud : 0.0f, 0.0f, sz < 0 ? proud : 0.0f);
            const glm::vec3 hi =
                glm::max(corner, corner - glm::vec3(sx, 0, sz) * batten) +
                glm::vec3(sx > 0 ? proud : 0.0f, 2.0f * half, sz > 0 ? proud : 0.0f);
            addBox(mesh, lo, hi, frame, false);
        }
    }
    return mesh;
}

bool writeCrate(const OutputDirs& out) {
    BakedModelRecipe recipe;
    recipe.modelFile = "uvbox.obj";
    recipe.objectName = "crate";
    recipe.materialName = "crate";
    recipe.colourFile = "crate.png";
    recipe.lightMapFile = "boxBake.png";
    recipe.colourTexels = 512;
    recipe.lightTexels = 256;
    recipe.paint = paintCrate;
    recipe.bake.skyReach = 3.0f;
    recipe.bake.stream = 17U;
    // Three crates share this light map; the sun is baked as the middle one sees it.
    recipe.bake.sunDirection = sunDirectionInModel(layout::crateYaws[1]);
    return writeBakedModel(out, crateMesh(), recipe);
}

} // namespace resgen
