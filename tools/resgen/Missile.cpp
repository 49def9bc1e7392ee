#include "Image.h"
#include "Noise.h"
#include "PaintedModel.h"
#include "Shapes.h"
#include "ThreeDsWriter.h"
#include "Vehicles.h"

#include <cmath>

namespace resgen {

namespace {

// Modelled in the rocket's frame as the game shows it (nose -z, up +y). A rocket's model space
// is the jet's scaled by a tenth, so the jet's right wingtip rail (x 5, y -0.05, z 2.6 to 3.8
// in jet units) is at ten times those numbers here: the missile is drawn where it hangs at
// launch, on the launch rail just outboard of the tip, and flies off from there.
constexpr glm::vec3 railAxis{51.0f, 0.1f, 0.0f};
constexpr float noseZ = 28.3f;
constexpr float tailZ = 35.7f;
constexpr float bodyRadius = 0.3f;
constexpr int segments = 10;
constexpr int textureTexels = 256;
constexpr int texturePadding = 3;

enum Part { body, nose, fin, motor };

void addFins(MeshData& mesh, float front, float back, float rootChordBack, float span) {
    for (int k = 0; k < 4; ++k) {
        const float angle = 0.7853982f + 1.5707964f * static_cast<float>(k);
        const glm::vec3 out(std::cos(angle), std::sin(angle), 0.0f);
        const glm::vec3 root = railAxis + out * (bodyRadius * 0.8f);
        const glm::vec3 tip = railAxis + out * span;
        const std::vector<glm::vec3> outline{
            root + glm::vec3(0, 0, front), root + glm::vec3(0, 0, back),
            tip + glm::vec3(0, 0, back), tip + glm::vec3(0, 0, rootChordBack)};
        addPlate(mesh, outline, {0.05f, 0.05f, 0.03f, 0.03f}, glm::cross(out, glm::vec3(0, 0, 1)),
                 fin);
    }
}

glm::vec3 paintMissile(const SurfaceSample& s) {
    const float z = s.position.z;
    const float grime = 0.92f + 0.08f * fractalNoise(s.position * 8.0f, 2, 901U);
    switch (s.part) {
    case nose:
        return glm::vec3(0.55f, 0.56f, 0.55f) * grime;
    case fin:
        return glm::vec3(0.82f, 0.83f, 0.82f) * grime;
    case motor:
        return glm::vec3(0.12f, 0.10f, 0.10f);
    default:
        // White body with the warhead's yellow band and the motor's brown band.
        if (std::abs(z - 30.4f) < 0.15f)
            return glm::vec3(0.90f, 0.75f, 0.10f);
        if (std::abs(z - 33.6f) < 0.15f)
            return glm::vec3(0.55f, 0.35f, 0.18f);
        return glm::vec3(0.92f, 0.92f, 0.90f) * grime;
    }
}

// From the rocket frame to the file's: the game turns the file 270 degrees about x, taking file
// (x, y, z) to (x, z, -y).
glm::mat4 rocketFrameToFile() {
    return glm::mat4(glm::vec4(1, 0, 0, 0), glm::vec4(0, 0, 1, 0), glm::vec4(0, -1, 0, 0),
                     glm::vec4(0, 0, 0, 1));
}

} // namespace

MeshData missileMesh() {
    MeshData mesh;
    const glm::vec3 right(1, 0, 0), up(0, 1, 0);
    std::vector<std::vector<glm::vec3>> noseRings{
        std::vector<glm::vec3>(segments, railAxis + glm::vec3(0, 0, noseZ))};
    for (const auto& [z, r] :
         {std::pair{noseZ + 0.35f, 0.14f}, {noseZ + 0.8f, 0.25f}, {noseZ + 1.2f, bodyRadius}})
        noseRings.push_back(ellipseRing(railAxis + glm::vec3(0, 0, z), right, up, r, r, segments));
    addLoft(mesh, noseRings, Shading::Smooth, nose, false, false);
    addLoft(mesh,
            {noseRings.back(), ellipseRing(railAxis + glm::vec3(0, 0, tailZ), right, up, bodyRadius,
                                           bodyRadius, segments)},
            Shading::Smooth, body, false, true, motor);
    addFins(mesh, 31.0f, 32.6f, 32.2f, 0.55f); // mid-body strakes
    addFins(mesh, 34.5f, 35.7f, 35.5f, 0.80f); // tail control fins
    mesh.computeNormals();
    return mesh;
}

bool writeMissile(const OutputDirs& out) {
    MeshData mesh = missileMesh();
    const Image texture = paintModel(mesh, textureTexels, texturePadding, paintMissile, 0.3f, 0.4f);
    mesh.transform(rocketFrameToFile());
    mesh.computeNormals();
    ModelFile model{"missile", "missile", "missile.png", std::move(mesh)};
    model.mesh.weld();
    return texture.savePng(out.textures / "missile.png") &&
           ThreeDsWriter::write(out.models / "AIM120D.3ds", model);
}

} // namespace resgen
