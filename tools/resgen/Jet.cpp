#include "DdsWriter.h"
#include "Noise.h"
#include "PaintedModel.h"
#include "Shapes.h"
#include "ThreeDsWriter.h"
#include "Vehicles.h"

#include <algorithm>
#include <cmath>

namespace resgen {

namespace {

// The jet is modelled in the frame the game shows it in: nose towards -z, up +y, right +x.
constexpr int textureTexels = 512;
constexpr int texturePadding = 4;
constexpr float finCant = 0.38f; // radians the twin fins lean outwards

enum Part { fuselage, canopy, wing, tail, intake, intakeMouth, nozzle, exhaust, rail };

// Cross-section of the fuselage at one station: flat top, chines, a narrower belly.
// Counter-clockwise seen from behind (+z).
std::vector<glm::vec3> section(float z, float width, float height, float centreY) {
    const float w = width * 0.5f, h = height * 0.5f;
    return {{w, centreY + 0.2f * h, z},         {0.55f * w, centreY + h, z},
            {-0.55f * w, centreY + h, z},       {-w, centreY + 0.2f * h, z},
            {-0.8f * w, centreY - 0.7f * h, z}, {-0.4f * w, centreY - h, z},
            {0.4f * w, centreY - h, z},         {0.8f * w, centreY - 0.7f * h, z}};
}

// Half a dome over the fuselage top: from the right sill over the top to the left sill, closed
// along the sill.
std::vector<glm::vec3> canopySection(float z, float width, float height, float sillY) {
    std::vector<glm::vec3> ring;
    for (int k = 0; k <= 6; ++k) {
        const float angle = 3.1415927f * static_cast<float>(k) / 6.0f;
        ring.push_back({0.5f * width * std::cos(angle), sillY + height * std::sin(angle), z});
    }
    return ring;
}

void addFuselage(MeshData& mesh) {
    std::vector<std::vector<glm::vec3>> rings{
        std::vector<glm::vec3>(8, glm::vec3(0.0f, 0.0f, -7.5f))};
    const float stations[][4] = {
        // z, width, height, centre height
        {-6.6f, 0.45f, 0.40f, 0.02f}, {-5.2f, 0.85f, 0.70f, 0.06f}, {-3.6f, 1.10f, 0.95f, 0.12f},
        {-1.8f, 1.30f, 1.05f, 0.12f}, {0.0f, 1.70f, 1.00f, 0.08f},  {2.5f, 1.80f, 0.95f, 0.05f},
        {5.0f, 1.55f, 0.85f, 0.05f},  {6.6f, 1.30f, 0.75f, 0.05f},  {7.2f, 1.20f, 0.70f, 0.05f}};
    for (const auto& s : stations)
        rings.push_back(section(s[0], s[1], s[2], s[3]));
    addLoft(mesh, rings, Shading::Flat, fuselage, false, true, nozzle);

    const float canopyStations[][3] = {// z, width, height
                                       {-4.7f, 0.10f, 0.04f},
                                       {-3.7f, 0.60f, 0.40f},
                                       {-2.3f, 0.70f, 0.50f},
                                       {-1.0f, 0.60f, 0.38f},
                                       {0.3f, 0.28f, 0.10f}};
    std::vector<std::vector<glm::vec3>> canopyRings;
    for (const auto& s : canopyStations)
        canopyRings.push_back(canopySection(s[0], s[1], s[2], 0.55f));
    addLoft(mesh, canopyRings, Shading::Smooth, canopy, true, true);

    // Twin engine nozzles out of the tail.
    for (float x : {-0.32f, 0.32f}) {
        const glm::vec3 right(1, 0, 0), up(0, 1, 0);
        addLoft(mesh,
                {ellipseRing({x, 0.02f, 6.9f}, right, up, 0.30f, 0.30f, 10),
                 ellipseRing({x, 0.02f, 7.6f}, right, up, 0.27f, 0.27f, 10)},
                Shading::Smooth, nozzle, false, true, exhaust);
    }
}

void addIntakes(MeshData& mesh) {
    for (float side : {-1.0f, 1.0f}) {
        const float inner = 0.62f, outer = 1.02f;
        auto ring = [&](float zTop, float zBottom) {
            // Counter-clockwise seen from behind, on either side.
            std::vector<glm::vec3> r{{side * outer, -0.38f, zBottom},
                                     {side * outer, 0.22f, zTop},
                                     {side * inner, 0.22f, zTop},
                                     {side * inner, -0.38f, zBottom}};
            if (side < 0.0f)
                std::reverse(r.begin(), r.end());
            return r;
        };
        addLoft(mesh, {ring(-1.9f, -1.4f), ring(1.6f, 1.6f)}, Shading::Flat, intake, true, false,
                intakeMouth);
    }
}

void addFlyingSurfaces(MeshData& mesh) {
    const glm::vec3 up(0, 1, 0);
    // Main wings: swept leading edge, thin tips.
    const std::vector<glm::vec3> rightWing{
        {0.7f, -0.05f, -1.6f}, {0.7f, -0.05f, 4.4f}, {5.0f, -0.05f, 3.8f}, {5.0f, -0.05f, 2.6f}};
    const std::vector<float> wingThickness{0.22f, 0.16f, 0.06f, 0.06f};
    addPlate(mesh, rightWing, wingThickness, up, wing);
    addPlate(mesh, mirroredX(rightWing), {0.06f, 0.06f, 0.16f, 0.22f}, up, wing);
    // Missile launch rails on both tips; the right one carries the missile model's round.
    for (float side : {-1.0f, 1.0f}) {
        const float inner = side * 4.97f, outer = side * 5.08f;
        addBox(mesh, {std::min(inner, outer), -0.045f, 2.75f},
               {std::max(inner, outer), 0.005f, 3.65f}, rail);
    }

    // Tailplanes.
    const std::vector<glm::vec3> rightTailplane{
        {0.6f, 0.0f, 4.6f}, {0.6f, 0.0f, 7.2f}, {2.7f, 0.0f, 7.0f}, {2.7f, 0.0f, 6.0f}};
    addPlate(mesh, rightTailplane, {0.10f, 0.08f, 0.05f, 0.05f}, up, tail);
    addPlate(mesh, mirroredX(rightTailplane), {0.05f, 0.05f, 0.08f, 0.10f}, up, tail);

    // Twin fins leaning outwards.
    for (float side : {-1.0f, 1.0f}) {
        const glm::vec3 base(side * 0.55f, 0.42f, 0.0f);
        const glm::vec3 span = glm::vec3(side * std::sin(finCant), std::cos(finCant), 0.0f) * 2.1f;
        const std::vector<glm::vec3> fin{base + glm::vec3(0, 0, 3.4f), base + glm::vec3(0, 0, 6.9f),
                                         base + span + glm::vec3(0, 0, 7.2f),
                                         base + span + glm::vec3(0, 0, 5.6f)};
        addPlate(mesh, fin, {0.10f, 0.08f, 0.05f, 0.05f},
                 glm::vec3(side * std::cos(finCant), -std::sin(finCant), 0.0f), tail);
    }
}

// ---------------------------------------------------------------------------------------------
// Paint

glm::vec3 camouflage(glm::vec3 p, glm::vec3 n) {
    const float blotches = fractalNoise(p * 0.45f, 3, 801U);
    glm::vec3 colour =
        blotches > 0.52f ? glm::vec3(0.42f, 0.46f, 0.52f) : glm::vec3(0.58f, 0.62f, 0.66f);
    // The belly is paler, as on real fighters.
    colour = glm::mix(colour, glm::vec3(0.74f, 0.76f, 0.78f), smoothStep(-0.2f, -0.6f, n.y));
    return colour * (0.94f + 0.1f * fractalNoise(p * 6.0f, 2, 809U));
}

bool near(float value, float period, float width) {
    const float f = value / period - std::floor(value / period);
    return f < width / period || f > 1.0f - width / period;
}

glm::vec3 paintJet(const SurfaceSample& s) {
    const glm::vec3 p = s.position, n = s.normal;
    switch (s.part) {
    case fuselage: {
        glm::vec3 colour = camouflage(p, n);
        if (near(p.z, 1.5f, 0.02f))
            colour *= 0.7f; // panel joints
        if (p.z < -6.2f)
            colour = glm::vec3(0.30f, 0.32f, 0.34f); // radome
        // The squadron's chevron on both flanks behind the cockpit.
        if (std::abs(n.x) > 0.5f && p.z > -1.5f && p.z < 0.5f) {
            const float a = std::abs(p.y - 0.15f) * 1.6f + (p.z + 0.5f);
            if (a > 0.0f && a < 0.35f)
                colour = glm::vec3(0.90f, 0.72f, 0.12f);
        }
        return colour;
    }
    case canopy: {
        const float shine = smoothStep(0.55f, 1.0f, p.y + 0.1f * p.z);
        glm::vec3 glass =
            glm::mix(glm::vec3(0.10f, 0.16f, 0.22f), glm::vec3(0.45f, 0.62f, 0.72f), shine);
        if (std::abs(p.z + 1.6f) < 0.05f || p.y < 0.6f)
            glass = glm::vec3(0.25f, 0.27f, 0.30f); // frame and sill
        return glass;
    }
    case wing: {
        glm::vec3 colour = camouflage(p, n);
        if (near(std::abs(p.x), 1.2f, 0.015f))
            colour *= 0.75f;
        // Leading edge darker, wingtips striped.
        const float leading = -1.6f + (std::abs(p.x) - 0.7f) * (4.2f / 4.3f);
        if (p.z < leading + 0.18f)
            colour *= 0.7f;
        if (std::abs(p.x) > 4.55f)
            colour = near(p.z, 0.5f, 0.12f) ? glm::vec3(0.85f, 0.15f, 0.12f)
                                            : glm::vec3(0.9f, 0.9f, 0.9f);
        return colour;
    }
    case tail: {
        glm::vec3 colour = camouflage(p, n);
        // A yellow lightning flash across the fins, red tips.
        if (p.y > 0.6f) {
            const float along = p.z - 4.4f - (p.y - 0.6f) * 0.8f;
            if (std::abs(along - 0.5f * std::sin(p.y * 5.0f)) < 0.15f)
                colour = glm::vec3(0.92f, 0.75f, 0.12f);
            if (p.y > 2.15f)
                colour = glm::vec3(0.80f, 0.12f, 0.10f);
        }
        return colour;
    }
    case intake:
        return camouflage(p, n) * 0.9f;
    case intakeMouth:
        return glm::vec3(0.05f, 0.05f, 0.06f);
    case rail:
        return glm::vec3(0.30f, 0.31f, 0.33f);
    case nozzle: {
        const float heat = smoothStep(6.9f, 7.6f, p.z);
        return glm::mix(glm::vec3(0.32f, 0.32f, 0.34f), glm::vec3(0.45f, 0.36f, 0.30f), heat);
    }
    default: {
        // Inside the nozzle: a dull glow at the centre.
        const float r = std::min(glm::length(glm::vec2(p.x - 0.32f, p.y)),
                                 glm::length(glm::vec2(p.x + 0.32f, p.y)));
        return glm::mix(glm::vec3(0.95f, 0.55f, 0.20f), glm::vec3(0.10f, 0.08f, 0.08f),
                        smoothStep(0.05f, 0.25f, r));
    }
    }
}

// From the game's jet frame to the file's: the game turns the file by 180 degrees about z,
// then 270 about x, taking file (x, y, z) to (-x, z, y).
glm::mat4 jetFrameToFile() {
    return glm::mat4(glm::vec4(-1, 0, 0, 0), glm::vec4(0, 0, 1, 0), glm::vec4(0, 1, 0, 0),
                     glm::vec4(0, 0, 0, 1));
}

} // namespace

MeshData jetMesh() {
    MeshData mesh;
    addFuselage(mesh);
    addIntakes(mesh);
    addFlyingSurfaces(mesh);
    mesh.computeNormals();
    return mesh;
}

bool writeJet(const OutputDirs& out) {
    MeshData mesh = jetMesh();
    const Image texture = paintModel(mesh, textureTexels, texturePadding, paintJet, 0.45f, 1.5f);
    mesh.transform(jetFrameToFile());
    mesh.computeNormals();
    ModelFile model{"jet", "jet", "jet.DDS", std::move(mesh)};
    model.mesh.weld();
    return DdsWriter::write(out.textures / "jet.DDS", texture) &&
           ThreeDsWriter::write(out.models / "Futuristic combat jet.3ds", model);
}

} // namespace resgen
