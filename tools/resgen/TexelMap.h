#pragma once

#include "Image.h"
#include "MeshData.h"

#include <functional>
#include <vector>

namespace resgen {

// The point of the model that one texel shows.
struct SurfaceSample {
    glm::vec3 position{0.0f};
    glm::vec3 normal{0.0f, 1.0f, 0.0f};
    int part = -1;
    int triangle = -1;
};

// For every texel of a texture laid out by the mesh's texture coordinates, the surface point
// it shows: the triangle under its centre, or for texels that a chart's border only partly
// covers, the nearest point of a triangle close by. Painting and light-map baking both work on
// these samples, so colour and light line up texel for texel.
class TexelMap {
public:
    static TexelMap rasterize(const MeshData& mesh, int width, int height);

    // Evaluates `shader` for every covered texel (on all cores; it must not share state), then
    // grows the result `dilateRings` texels into the empty background.
    Image shade(const std::function<glm::vec4(const SurfaceSample&)>& shader,
                int dilateRings) const;

    int width = 0;
    int height = 0;
    std::vector<SurfaceSample> samples;
    std::vector<std::uint8_t> covered;
};

// Runs body(row) for every row in [0, rows) on all cores; rows are dealt out interleaved.
void parallelRows(int rows, const std::function<void(int)>& body);

} // namespace resgen
