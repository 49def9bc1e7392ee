#include "BakedModel.h"
#include "Buildings.h"
#include "Lighting.h"
#include "Noise.h"
#include "SceneLayout.h"
#include "Shapes.h"

#include <cmath>

namespace resgen {

namespace {

constexpr float halfWidth = 8.0f;   // x
constexpr float halfLength = 10.0f; // z
constexpr float wallHeight = 4.0f;
constexpr float archRise = 5.0f;
constexpr int archSegments = 10;
constexpr float doorHalfWidth = 6.2f;
constexpr float doorHeight = 6.6f;

enum Part { wall, roof, frontWall, backWall, plinth, vent };

// Corrugated sheet metal: ribs every 0.3 units along `along`, streaked by weather from the top.
glm::vec3 sheetMetal(glm::vec3 base, float along, glm::vec3 p) {
    const float rib = 0.5f + 0.5f * std::cos(along / 0.3f * 6.2831853f);
    const float streaks = fractalNoise(glm::vec2(along * 1.5f, p.y * 0.15f), 4, 503U);
    const float grime = smoothStep(1.5f, 0.0f, p.y) * 0.25f + (streaks - 0.5f) * 0.25f;
    return base * (0.88f + 0.12f * rib) * (1.0f - grime);
}

glm::vec3 paintHangar(const SurfaceSample& s) {
    const glm::vec3 p = s.position;
    const glm::vec3 metal(0.50f, 0.55f, 0.50f);
    const float fine = fractalNoise(glm::vec2(p.x + p.z, p.y) * 2.0f, 3, 509U);
    switch (s.part) {
    case wall:
        return sheetMetal(metal, p.z, p);
    case roof: {
        glm::vec3 colour = sheetMetal(metal * 1.08f, p.z, p);
        // A skylight strip along the ridge, framed every two units.
        if (std::abs(p.x) < 1.3f) {
            const float frame =
                std::abs(std::fmod(p.z + 100.0f, 2.0f) - 1.0f) > 0.92f ? 1.0f : 0.0f;
            colour =
                glm::mix(glm::vec3(0.62f, 0.74f, 0.80f), glm::vec3(0.30f, 0.32f, 0.32f), frame);
        }
        return colour;
    }
    case frontWall: {
        if (std::abs(p.x) < doorHalfWidth && p.y < doorHeight) {
            // Four sliding door leaves with frames, a hazard stripe along the foot.
            const float leaf = std::fmod(p.x + doorHalfWidth, doorHalfWidth / 2.0f);
            const bool edge =
                leaf < 0.12f || leaf > doorHalfWidth / 2.0f - 0.12f || p.y > doorHeight - 0.2f;
            glm::vec3 colour = edge ? glm::vec3(0.25f, 0.27f, 0.26f)
                                    : sheetMetal(glm::vec3(0.38f, 0.42f, 0.46f), p.y, p);
            if (p.y < 0.6f) {
                const bool yellow = std::fmod(p.x + p.y + 20.0f, 0.8f) < 0.4f;
                colour = yellow ? glm::vec3(0.85f, 0.70f, 0.10f) : glm::vec3(0.08f, 0.08f, 0.08f);
            }
            return colour * (0.92f + 0.16f * fine);
        }
        glm::vec3 colour = sheetMetal(metal, p.x, p);
        // A big hangar number above the doors: two bars of a "7".
        // Seen from outside, the front wall's right is model -x.
        const glm::vec2 q(-p.x, p.y - doorHeight - 0.3f);
        if ((q.y > 1.1f && q.y < 1.5f && std::abs(q.x) < 0.6f) ||
            (q.y > 0.0f && q.y < 1.5f && std::abs(q.x - (q.y - 0.75f) * 0.5f - 0.2f) < 0.18f))
            colour = glm::vec3(0.92f, 0.92f, 0.88f);
        return colour;
    }
    case backWall: {
        glm::vec3 colour = sheetMetal(metal, p.x, p);
        if (std::abs(p.x - 3.0f) < 0.6f && p.y < 2.2f)
            colour = glm::vec3(0.55f, 0.22f, 0.16f) * (0.9f + 0.2f * fine); // a personnel door
        return colour;
    }
    case plinth:
        return glm::vec3(0.56f, 0.55f, 0.52f) * (0.85f + 0.3f * fine);
    default:
        return glm::vec3(0.35f, 0.36f, 0.36f) * (0.9f + 0.2f * fine);
    }
}

} // namespace

MeshData hangarMesh() {
    MeshData mesh;
    // Cross-section, counter-clockwise seen from +z: up the right wall, over the arch, down.
    std::vector<glm::vec2> section{{halfWidth, 0.0f}};
    for (int i = 0; i <= archSegments; ++i) {
        const float angle = 3.1415927f * static_cast<float>(i) / archSegments;
        section.push_back({halfWidth * std::cos(angle), wallHeight + archRise * std::sin(angle)});
    }
    section.push_back({-halfWidth, 0.0f});

    const int roofGroup = mesh.newGroup();
    for (std::size_t j = 0; j + 1 < section.size(); ++j) {
        const glm::vec2 a = section[j], b = section[j + 1];
        const bool isWall = j == 0 || j + 2 == section.size();
        mesh.addQuad({a, -halfLength}, {b, -halfLength}, {b, halfLength}, {a, halfLength},
                     isWall ? mesh.newGroup() : roofGroup, isWall ? wall : roof);
    }
    // End walls: the front (-z) one seen from -z runs the other way round.
    std::vector<glm::vec3> back, front;
    for (const glm::vec2& q : section)
        back.push_back({q, halfLength});
    for (auto it = section.rbegin(); it != section.rend(); ++it)
        front.push_back({*it, -halfLength});
    mesh.addPolygon(back, mesh.newGroup(), backWall);
    mesh.addPolygon(front, mesh.newGroup(), frontWall);

    addBox(mesh, {-halfWidth - 0.3f, -0.5f, -halfLength - 0.3f},
           {halfWidth + 0.3f, 0.25f, halfLength + 0.3f}, plinth, false);
    for (float z : {-6.0f, 0.0f, 6.0f})
        addBox(mesh, {-0.6f, wallHeight + archRise - 0.2f, z - 0.8f},
               {0.6f, wallHeight + archRise + 0.6f, z + 0.8f}, vent, false);
    return mesh;
}

bool writeHangar(const OutputDirs& out) {
    BakedModelRecipe recipe;
    recipe.modelFile = "finallightmapBaked.obj";
    recipe.objectName = "hangar";
    recipe.materialName = "hangar";
    recipe.colourFile = "hangar.png";
    recipe.lightMapFile = "lagerlm.png";
    recipe.colourTexels = 1024;
    recipe.lightTexels = 512;
    recipe.paint = paintHangar;
    recipe.bake.skyReach = 12.0f;
    recipe.bake.stream = 11U;
    recipe.bake.sunDirection = sunDirectionInModel(layout::hangarYaw);
    return writeBakedModel(out, hangarMesh(), recipe);
}

} // namespace resgen
