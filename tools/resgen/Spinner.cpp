#include "Image.h"
#include "Noise.h"
#include "ObjWriter.h"
#include "PaintedModel.h"
#include "Shapes.h"
#include "Vehicles.h"

#include <cmath>

namespace resgen {

namespace {

// A sensor pod with three swept vanes, about three jet units across: drawn at the jet's
// scale, 0.3 world units, turning a metre below the fighter.
constexpr int textureTexels = 256;
constexpr int texturePadding = 3;
constexpr float vaneRoot = 0.45f;
constexpr float vaneTip = 1.9f;

enum Part { pod, vane, lens };

glm::vec3 paintSpinner(const SurfaceSample& s) {
    const glm::vec3 p = s.position;
    switch (s.part) {
    case pod: {
        glm::vec3 colour(0.95f, 0.45f, 0.08f);
        if (std::abs(p.y - 0.2f) < 0.12f)
            colour = glm::vec3(0.95f, 0.95f, 0.92f);
        return colour * (0.9f + 0.1f * fractalNoise(p * 6.0f, 2, 951U));
    }
    case vane: {
        const float r = glm::length(glm::vec2(p.x, p.z));
        return r > vaneTip - 0.35f ? glm::vec3(0.95f, 0.45f, 0.08f)
                                   : glm::vec3(0.88f, 0.88f, 0.86f);
    }
    default:
        return glm::vec3(0.10f, 0.45f, 0.85f);
    }
}

} // namespace

bool writeSpinner(const OutputDirs& out) {
    MeshData mesh;
    // The pod: a spindle along y. Rings run counter-clockwise seen from above (z then x).
    const glm::vec3 axisA(0, 0, 1), axisB(1, 0, 0);
    std::vector<std::vector<glm::vec3>> rings{std::vector<glm::vec3>(8, glm::vec3(0, -1.1f, 0))};
    for (const auto& [y, r] : {std::pair{-0.45f, 0.50f}, {0.2f, 0.58f}, {0.75f, 0.36f}})
        rings.push_back(ellipseRing({0, y, 0}, axisA, axisB, r, r, 8));
    addLoft(mesh, rings, Shading::Smooth, pod, false, false);
    addLoft(mesh, {rings.back(), std::vector<glm::vec3>(8, glm::vec3(0, 1.2f, 0))}, Shading::Smooth,
            lens, false, false);

    // Three vanes, swept back against the turn.
    for (int k = 0; k < 3; ++k) {
        const float a = 2.0943951f * static_cast<float>(k);
        const glm::vec3 out(std::cos(a), 0.0f, std::sin(a));
        const glm::vec3 along(-std::sin(a), 0.0f, std::cos(a));
        const std::vector<glm::vec3> outline{
            out * vaneRoot - along * 0.35f, out * vaneRoot + along * 0.35f,
            out * vaneTip + along * 0.55f, out * vaneTip + along * 0.25f};
        addPlate(mesh, outline, {0.09f, 0.09f, 0.05f, 0.05f}, glm::vec3(0, 1, 0), vane);
    }
    mesh.computeNormals();
    const Image texture =
        paintModel(mesh, textureTexels, texturePadding, paintSpinner, 0.35f, 0.6f);
    ModelFile model{"spinner", "spinner", "spinner.png", std::move(mesh)};
    model.mesh.weld();
    return texture.savePng(out.textures / "spinner.png") &&
           ObjWriter::write(out.models / "anim.obj", model);
}

} // namespace resgen
