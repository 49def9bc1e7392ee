#include "TexelMap.h"

#include "UvAtlas.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace resgen {

namespace {

// Texels whose centre lies this close (in texels) outside a triangle still take its nearest
// point, so that bilinear filtering at a chart's border reads surface values.
constexpr float borderReach = 0.75f;

glm::vec3 barycentric(glm::vec2 p, glm::vec2 a, glm::vec2 b, glm::vec2 c) {
    const glm::vec2 v0 = b - a, v1 = c - a, v2 = p - a;
    const float d = v0.x * v1.y - v1.x * v0.y;
    if (std::abs(d) < 1e-12f)
        return glm::vec3(-1.0f);
    const float v = (v2.x * v1.y - v1.x * v2.y) / d;
    const float w = (v0.x * v2.y - v2.x * v0.y) / d;
    return {1.0f - v - w, v, w};
}

// Barycentric coordinates of the point of segment ab nearest to p.
glm::vec2 nearestOnSegment(glm::vec2 p, glm::vec2 a, glm::vec2 b, float& distance) {
    const glm::vec2 ab = b - a;
    const float length2 = glm::dot(ab, ab);
    const float t = length2 > 0.0f ? glm::clamp(glm::dot(p - a, ab) / length2, 0.0f, 1.0f) : 0.0f;
    distance = glm::length(p - (a + t * ab));
    return {1.0f - t, t};
}

} // namespace

void parallelRows(int rows, const std::function<void(int)>& body) {
    const unsigned cores = std::max(1U, std::thread::hardware_concurrency());
    std::vector<std::thread> workers;
    for (unsigned w = 0; w < cores; ++w) {
        workers.emplace_back([&, w] {
            for (int row = static_cast<int>(w); row < rows; row += static_cast<int>(cores))
                body(row);
        });
    }
    for (std::thread& worker : workers)
        worker.join();
}

TexelMap TexelMap::rasterize(const MeshData& mesh, int width, int height) {
    TexelMap map;
    map.width = width;
    map.height = height;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    map.samples.assign(count, SurfaceSample{});
    map.covered.assign(count, 0);
    std::vector<float> borderDistance(count, 1e30f);

    for (std::size_t t = 0; t < mesh.triangles.size(); ++t) {
        const glm::uvec3 tri = mesh.triangles[t];
        glm::vec2 corner[3];
        for (int c = 0; c < 3; ++c)
            corner[c] = uvToTexel(mesh.uvs[tri[c]], width, height);
        const glm::vec2 lo = glm::min(corner[0], glm::min(corner[1], corner[2])) - 1.0f;
        const glm::vec2 hi = glm::max(corner[0], glm::max(corner[1], corner[2])) + 1.0f;
        const int x0 = std::max(0, static_cast<int>(std::floor(lo.x)));
        const int y0 = std::max(0, static_cast<int>(std::floor(lo.y)));
        const int x1 = std::min(width - 1, static_cast<int>(std::ceil(hi.x)));
        const int y1 = std::min(height - 1, static_cast<int>(std::ceil(hi.y)));
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                const std::size_t i = static_cast<std::size_t>(y) * width + x;
                const glm::vec2 centre(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f);
                glm::vec3 weights = barycentric(centre, corner[0], corner[1], corner[2]);
                const bool inside =
                    weights.x >= -1e-5f && weights.y >= -1e-5f && weights.z >= -1e-5f;
                if (!inside) {
                    if (map.covered[i] == 2)
                        continue;
                    // Nearest point on the triangle's edges.
                    float best = 1e30f;
                    for (int e = 0; e < 3; ++e) {
                        float distance = 0.0f;
                        const glm::vec2 st =
                            nearestOnSegment(centre, corner[e], corner[(e + 1) % 3], distance);
                        if (distance < best) {
                            best = distance;
                            weights = glm::vec3(0.0f);
                            weights[e] = st.x;
                            weights[(e + 1) % 3] = st.y;
                        }
                    }
                    if (best > borderReach || best >= borderDistance[i])
                        continue;
                    borderDistance[i] = best;
                }
                SurfaceSample& s = map.samples[i];
                s.position = weights.x * mesh.positions[tri.x] + weights.y * mesh.positions[tri.y] +
                             weights.z * mesh.positions[tri.z];
                const glm::vec3 n = weights.x * mesh.normals[tri.x] +
                                    weights.y * mesh.normals[tri.y] +
                                    weights.z * mesh.normals[tri.z];
                s.normal = glm::length(n) > 0.0f ? glm::normalize(n) : mesh.faceNormal(t);
                s.part = mesh.parts[t];
                s.triangle = static_cast<int>(t);
                map.covered[i] = inside ? 2 : 1;
            }
        }
    }
    return map;
}

Image TexelMap::shade(const std::function<glm::vec4(const SurfaceSample&)>& shader,
                      int dilateRings) const {
    Image image(width, height, glm::vec4(0.0f, 0.0f, 0.0f, 1.0f));
    parallelRows(height, [&](int y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            if (covered[i])
                image.at(x, y) = shader(samples[i]);
        }
    });
    std::vector<std::uint8_t> mask(covered.size());
    for (std::size_t i = 0; i < covered.size(); ++i)
        mask[i] = covered[i] ? 1 : 0;
    image.dilate(mask, dilateRings);
    return image;
}

} // namespace resgen
