#pragma once

#include "MeshData.h"

#include <glm/glm.hpp>

#include <vector>

namespace resgen {

// One planar chart of an unwrapped mesh: the plane its triangles were projected onto and where
// the projection sits in the texture.
struct Chart {
    glm::vec3 normal{0.0f};
    glm::vec3 axisU{0.0f};
    glm::vec3 axisV{0.0f};
    glm::vec2 planeMin{0.0f};    // smallest (u, v) of the projected triangles, model units
    glm::vec2 texelOrigin{0.0f}; // texel position of planeMin (column, row of the top-left)
    glm::vec2 texelSize{0.0f};   // extent in texels, padding excluded
};

// The texture layout of a mesh whose every triangle has its own place in the texture, as a
// light map needs: triangles are grouped into charts of connected triangles of one paint part
// whose normals stay within a cone, each chart is projected onto its plane, and the charts are
// packed into the texture with a border of `padding` texels around each. One scale (texels per
// model unit) serves all charts, the largest that fits.
class UvAtlas {
public:
    // Writes the texture coordinates of every corner of `mesh` (it must not be welded yet).
    static UvAtlas unwrap(MeshData& mesh, int width, int height, int padding,
                          float maxChartAngleDegrees = 50.0f);

    int width = 0;
    int height = 0;
    float texelsPerUnit = 0.0f;
    std::vector<Chart> charts;
    std::vector<int> chartOfTriangle;
};

// File texture coordinates of a texel position (column, row from the top-left corner): u runs
// left to right, v bottom to top.
inline glm::vec2 texelToUv(glm::vec2 texel, int width, int height) {
    return {texel.x / static_cast<float>(width), 1.0f - texel.y / static_cast<float>(height)};
}
inline glm::vec2 uvToTexel(glm::vec2 uv, int width, int height) {
    return {uv.x * static_cast<float>(width), (1.0f - uv.y) * static_cast<float>(height)};
}

} // namespace resgen
