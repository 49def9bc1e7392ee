#include "RayScene.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace resgen {

namespace {

constexpr std::uint32_t leafSize = 4;

bool hitsBox(glm::vec3 lo, glm::vec3 hi, glm::vec3 origin, glm::vec3 inverseDir,
             float maxDistance) {
    const glm::vec3 t0 = (lo - origin) * inverseDir;
    const glm::vec3 t1 = (hi - origin) * inverseDir;
    const glm::vec3 near = glm::min(t0, t1);
    const glm::vec3 far = glm::max(t0, t1);
    const float enter = std::max(std::max(near.x, near.y), std::max(near.z, 0.0f));
    const float exit = std::min(std::min(far.x, far.y), std::min(far.z, maxDistance));
    return enter <= exit;
}

} // namespace

void RayScene::addMesh(const MeshData& mesh, const glm::mat4& transform) {
    for (const glm::uvec3& tri : mesh.triangles) {
        addTriangle(glm::vec3(transform * glm::vec4(mesh.positions[tri.x], 1.0f)),
                    glm::vec3(transform * glm::vec4(mesh.positions[tri.y], 1.0f)),
                    glm::vec3(transform * glm::vec4(mesh.positions[tri.z], 1.0f)));
    }
}

void RayScene::addTriangle(glm::vec3 a, glm::vec3 b, glm::vec3 c) {
    corners.insert(corners.end(), {a, b, c});
}

void RayScene::build() {
    const auto count = static_cast<std::uint32_t>(triangleCount());
    order.resize(count);
    std::iota(order.begin(), order.end(), 0U);
    centroids.resize(count);
    for (std::uint32_t t = 0; t < count; ++t)
        centroids[t] = (corners[3 * t] + corners[3 * t + 1] + corners[3 * t + 2]) / 3.0f;
    nodes.clear();
    nodes.reserve(2 * count + 1);
    if (count > 0)
        buildNode(0, count);
}

std::uint32_t RayScene::buildNode(std::uint32_t first, std::uint32_t count) {
    const auto index = static_cast<std::uint32_t>(nodes.size());
    nodes.emplace_back();
    glm::vec3 lo(1e30f), hi(-1e30f), centreLo(1e30f), centreHi(-1e30f);
    for (std::uint32_t i = first; i < first + count; ++i) {
        const std::uint32_t t = order[i];
        for (int c = 0; c < 3; ++c) {
            lo = glm::min(lo, corners[3 * t + static_cast<std::uint32_t>(c)]);
            hi = glm::max(hi, corners[3 * t + static_cast<std::uint32_t>(c)]);
        }
        centreLo = glm::min(centreLo, centroids[t]);
        centreHi = glm::max(centreHi, centroids[t]);
    }
    nodes[index].lo = lo;
    nodes[index].hi = hi;
    if (count <= leafSize) {
        nodes[index].first = first;
        nodes[index].count = count;
        return index;
    }
    const glm::vec3 extent = centreHi - centreLo;
    const int axis =
        extent.x > extent.y ? (extent.x > extent.z ? 0 : 2) : (extent.y > extent.z ? 1 : 2);
    const std::uint32_t half = count / 2;
    std::nth_element(order.begin() + first, order.begin() + first + half,
                     order.begin() + first + count, [&](std::uint32_t a, std::uint32_t b) {
                         return centroids[a][axis] != centroids[b][axis]
                                    ? centroids[a][axis] < centroids[b][axis]
                                    : a < b;
                     });
    buildNode(first, half); // the left child follows its parent directly
    const std::uint32_t right = buildNode(first + half, count - half);
    nodes[index].first = right;
    nodes[index].count = 0;
    return index;
}

bool RayScene::hitsTriangle(std::uint32_t t, glm::vec3 origin, glm::vec3 dir,
                            float maxDistance) const {
    // Moller-Trumbore, both sides.
    const glm::vec3 a = corners[3 * t], b = corners[3 * t + 1], c = corners[3 * t + 2];
    const glm::vec3 e1 = b - a, e2 = c - a;
    const glm::vec3 p = glm::cross(dir, e2);
    const float det = glm::dot(e1, p);
    if (std::abs(det) < 1e-12f)
        return false;
    const float inverse = 1.0f / det;
    const glm::vec3 s = origin - a;
    const float u = glm::dot(s, p) * inverse;
    if (u < 0.0f || u > 1.0f)
        return false;
    const glm::vec3 q = glm::cross(s, e1);
    const float v = glm::dot(dir, q) * inverse;
    if (v < 0.0f || u + v > 1.0f)
        return false;
    const float distance = glm::dot(e2, q) * inverse;
    return distance > 0.0f && distance < maxDistance;
}

bool RayScene::occluded(glm::vec3 origin, glm::vec3 dir, float maxDistance) const {
    if (hasFloor && dir.y < 0.0f && origin.y >= floorHeight) {
        const float distance = (floorHeight - origin.y) / dir.y;
        if (distance < maxDistance)
            return true;
    }
    if (nodes.empty())
        return false;
    const glm::vec3 inverseDir(1.0f / (dir.x != 0.0f ? dir.x : 1e-20f),
                               1.0f / (dir.y != 0.0f ? dir.y : 1e-20f),
                               1.0f / (dir.z != 0.0f ? dir.z : 1e-20f));
    std::uint32_t stack[64];
    int top = 0;
    stack[top++] = 0;
    while (top > 0) {
        const std::uint32_t index = stack[--top];
        const Node& node = nodes[index];
        if (!hitsBox(node.lo, node.hi, origin, inverseDir, maxDistance))
            continue;
        if (node.count > 0) {
            for (std::uint32_t i = node.first; i < node.first + node.count; ++i)
                if (hitsTriangle(order[i], origin, dir, maxDistance))
                    return true;
            continue;
        }
        if (top + 2 <= 64) {
            stack[top++] = node.first;
            stack[top++] = index + 1;
        }
    }
    return false;
}

} // namespace resgen
