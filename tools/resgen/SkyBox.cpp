#include "SkyBox.h"

#include "Image.h"
#include "Lighting.h"
#include "MeshData.h"
#include "Noise.h"
#include "ObjWriter.h"
#include "TexelMap.h"
#include "UvAtlas.h"

#include <cmath>

namespace resgen {

namespace {

constexpr int faceTexels = 768;
constexpr int facePadding = 4; // texels of continued sky around each face
constexpr int columns = 3;
constexpr int rows = 2;

struct Face {
    glm::vec3 inward; // normal, towards the centre
    glm::vec3 u;      // to the right, seen from inside
    glm::vec3 v;      // upwards, seen from inside
};

// u x v = inward, so each face is counter-clockwise seen from inside.
constexpr Face faces[6] = {
    {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},   // +x wall
    {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}},   // -x wall
    {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},  // +z wall
    {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},    // -z wall
    {{0, -1, 0}, {-1, 0, 0}, {0, 0, -1}}, // top
    {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}},   // bottom
};

glm::vec2 cellOrigin(int face) {
    return {static_cast<float>((face % columns) * faceTexels),
            static_cast<float>((face / columns) * faceTexels)};
}

} // namespace

glm::vec3 skyColourTowards(glm::vec3 direction) {
    const glm::vec3 d = glm::normalize(direction);
    const float up = d.y;

    // Blue deepening towards the zenith, pale haze at the horizon, a dim haze below it.
    const glm::vec3 horizon(0.80f, 0.86f, 0.92f);
    const glm::vec3 zenith(0.20f, 0.40f, 0.78f);
    const glm::vec3 below(0.62f, 0.66f, 0.68f);
    glm::vec3 colour = up >= 0.0f ? glm::mix(horizon, zenith, std::pow(up, 0.55f))
                                  : glm::mix(horizon, below, std::min(1.0f, -up * 4.0f));

    // Sun: a bright disc in a warm glow.
    const float toSun = glm::dot(d, sunDirection());
    const float angle = std::acos(glm::clamp(toSun, -1.0f, 1.0f));
    colour += glm::vec3(1.0f, 0.85f, 0.6f) * (0.35f * std::exp(-angle * angle * 12.0f));
    colour += glm::vec3(1.0f, 0.9f, 0.7f) * (0.25f * std::exp(-angle * 3.0f));
    if (angle < 0.045f)
        colour = glm::mix(colour, glm::vec3(1.0f, 0.98f, 0.9f), smoothStep(0.045f, 0.035f, angle));

    // Clouds on a layer overhead: projecting the direction onto it makes them shrink towards
    // the horizon, where they thin out.
    if (up > 0.0f) {
        const glm::vec2 onLayer = glm::vec2(d.x, d.z) / (up + 0.12f) * 1.6f;
        const float shape = fractalNoise(onLayer, 6, 101U, 0.55f);
        const float detail = fractalNoise(onLayer * 3.0f + glm::vec2(3.1f, 7.7f), 4, 211U);
        float density = smoothStep(0.50f, 0.72f, shape * 0.85f + detail * 0.15f);
        density *= smoothStep(0.0f, 0.25f, up);
        const float shade = smoothStep(0.45f, 0.85f, shape); // thicker clouds are darker below
        glm::vec3 cloud =
            glm::mix(glm::vec3(1.0f, 0.99f, 0.97f), glm::vec3(0.72f, 0.75f, 0.80f), shade * 0.8f);
        cloud += glm::vec3(0.25f, 0.18f, 0.08f) * std::exp(-angle * 4.0f); // lit rims near the sun
        colour = glm::mix(colour, cloud, density * 0.92f);
    }
    return glm::clamp(colour, glm::vec3(0.0f), glm::vec3(1.0f));
}

bool writeSkyBox(const OutputDirs& out) {
    const int width = columns * faceTexels, height = rows * faceTexels;
    const float inner = static_cast<float>(faceTexels - 2 * facePadding);

    MeshData mesh;
    for (int f = 0; f < 6; ++f) {
        const Face& face = faces[f];
        const glm::vec3 centre = -face.inward * skyBoxHalfExtent;
        const glm::vec3 u = face.u * skyBoxHalfExtent, v = face.v * skyBoxHalfExtent;
        const int group = mesh.newGroup();
        const auto base = mesh.positions.size();
        mesh.addQuad(centre - u - v, centre + u - v, centre + u + v, centre - u + v, group, f);
        // Corner texture coordinates: the face fills its cell inside the padding.
        const glm::vec2 origin = cellOrigin(f) + static_cast<float>(facePadding);
        for (std::size_t i = base; i < mesh.positions.size(); ++i) {
            const glm::vec3 p = mesh.positions[i] - centre;
            const float a = glm::dot(p, face.u) / skyBoxHalfExtent; // -1 .. 1
            const float b = glm::dot(p, face.v) / skyBoxHalfExtent;
            const glm::vec2 texel(origin.x + (a + 1.0f) * 0.5f * inner,
                                  origin.y + (1.0f - b) * 0.5f * inner);
            mesh.uvs[i] = texelToUv(texel, width, height);
        }
    }
    mesh.computeNormals();

    // Every texel, padding included, shows the sky in the direction it stands for, so the
    // picture runs on across the cube's edges without a seam.
    Image sky(width, height);
    parallelRows(height, [&](int y) {
        for (int x = 0; x < width; ++x) {
            const int f = (y / faceTexels) * columns + x / faceTexels;
            const glm::vec2 local =
                glm::vec2(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f) -
                cellOrigin(f) - static_cast<float>(facePadding);
            const float a = local.x / inner * 2.0f - 1.0f;
            const float b = 1.0f - local.y / inner * 2.0f;
            const Face& face = faces[f];
            sky.at(x, y) =
                glm::vec4(skyColourTowards(-face.inward + a * face.u + b * face.v), 1.0f);
        }
    });

    ModelFile model{"skybox", "sky", "sky.png", std::move(mesh)};
    model.mesh.weld();
    return sky.savePng(out.textures / "sky.png") &&
           ObjWriter::write(out.models / "skybox3.obj", model);
}

} // namespace resgen
