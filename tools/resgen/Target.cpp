#include "Image.h"
#include "Noise.h"
#include "ObjWriter.h"
#include "Shapes.h"
#include "TexelMap.h"
#include "UvAtlas.h"
#include "Vehicles.h"

#include <cmath>
#include <string>

namespace resgen {

namespace {

// A round board on a post, a bullseye on both faces. The game shows its own texture "1.png"
// and then the frames "2.png" to "10.png" in turn: a ring of light runs outwards over the
// bullseye once per cycle.
constexpr float boardRadius = 2.6f;
constexpr float boardCentreY = 4.9f;
constexpr float boardThickness = 0.35f;
constexpr int boardSides = 16;
constexpr int frames = 10;
constexpr int textureTexels = 256;
constexpr int texturePadding = 4;
constexpr float ringWidth = boardRadius / 5.0f;

enum Part { face, rim, post, foot };

glm::vec3 paintTarget(const SurfaceSample& s, int frame) {
    const glm::vec3 p = s.position;
    const float grime = 0.9f + 0.1f * fractalNoise(p * 4.0f, 3, 1001U);
    switch (s.part) {
    case face: {
        const float r = glm::length(glm::vec2(p.x, p.y - boardCentreY));
        const int ring = static_cast<int>(r / ringWidth);
        glm::vec3 colour =
            ring % 2 == 0 ? glm::vec3(0.85f, 0.10f, 0.08f) : glm::vec3(0.95f, 0.95f, 0.92f);
        if (r > boardRadius * 0.96f)
            colour = glm::vec3(0.15f, 0.15f, 0.15f);
        // The travelling ring of light and the beating centre.
        const float phase = static_cast<float>(frame) / frames;
        const float wave = (r - phase * boardRadius * 1.2f) / 0.28f;
        const float glow = std::exp(-wave * wave) + (r < ringWidth ? 0.6f * (1.0f - phase) : 0.0f);
        return glm::min(colour * grime + glm::vec3(1.0f, 0.8f, 0.25f) * glow * 0.7f,
                        glm::vec3(1.0f));
    }
    case rim:
        return glm::vec3(0.20f, 0.20f, 0.22f) * grime;
    case post:
        return glm::vec3(0.45f, 0.46f, 0.48f) * grime;
    default:
        return glm::vec3(0.55f, 0.53f, 0.50f) * grime;
    }
}

MeshData targetMesh() {
    MeshData mesh;
    const std::vector<glm::vec3> disc =
        ellipseRing({0.0f, boardCentreY, 0.0f}, glm::vec3(1, 0, 0), glm::vec3(0, 1, 0), boardRadius,
                    boardRadius, boardSides);
    addPlate(mesh, disc, std::vector<float>(disc.size(), boardThickness), glm::vec3(0, 0, 1), face,
             rim);
    addBox(mesh, {-0.18f, 0.0f, -0.18f}, {0.18f, boardCentreY - boardRadius + 0.3f, 0.18f}, post,
           false);
    addBox(mesh, {-1.2f, 0.0f, -1.2f}, {1.2f, 0.25f, 1.2f}, foot, false);
    mesh.computeNormals();
    return mesh;
}

} // namespace

bool writeTarget(const OutputDirs& out) {
    MeshData mesh = targetMesh();
    UvAtlas::unwrap(mesh, textureTexels, textureTexels, texturePadding);
    const TexelMap map = TexelMap::rasterize(mesh, textureTexels, textureTexels);
    for (int frame = 0; frame < frames; ++frame) {
        const Image image = map.shade(
            [frame](const SurfaceSample& s) { return glm::vec4(paintTarget(s, frame), 1.0f); },
            texturePadding + 2);
        if (!image.savePng(out.textures / (std::to_string(frame + 1) + ".png")))
            return false;
    }
    ModelFile model{"target", "target", "1.png", std::move(mesh)};
    model.mesh.weld();
    return ObjWriter::write(out.models / "single.obj", model);
}

} // namespace resgen
