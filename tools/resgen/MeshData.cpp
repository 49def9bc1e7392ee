#include "MeshData.h"

#include <cassert>
#include <cmath>
#include <map>
#include <tuple>

namespace resgen {

namespace {

using PositionKey = std::tuple<long, long, long>;

PositionKey keyOf(glm::vec3 p) {
    return {std::lround(p.x / positionTolerance), std::lround(p.y / positionTolerance),
            std::lround(p.z / positionTolerance)};
}

} // namespace

void MeshData::addTriangle(glm::vec3 a, glm::vec3 b, glm::vec3 c, int group, int part) {
    assert(group < nextGroup && "triangle group must come from newGroup()");
    // Degenerate corners of lofts (a nose tip, a closed ring) would only add slivers.
    if (glm::length(glm::cross(b - a, c - a)) < 1.0e-9f)
        return;
    const auto base = static_cast<std::uint32_t>(positions.size());
    positions.insert(positions.end(), {a, b, c});
    normals.insert(normals.end(), 3, glm::vec3(0.0f));
    uvs.insert(uvs.end(), 3, glm::vec2(0.0f));
    triangles.emplace_back(base, base + 1, base + 2);
    groups.push_back(group);
    parts.push_back(part);
}

void MeshData::addPolygon(const std::vector<glm::vec3>& points, int group, int part) {
    assert(points.size() >= 3 && "a polygon needs three corners");
    for (std::size_t i = 1; i + 1 < points.size(); ++i)
        addTriangle(points[0], points[i], points[i + 1], group, part);
}

void MeshData::transform(const glm::mat4& matrix) {
    for (glm::vec3& p : positions)
        p = glm::vec3(matrix * glm::vec4(p, 1.0f));
}

glm::vec3 MeshData::faceNormal(std::size_t t) const {
    const glm::uvec3 tri = triangles[t];
    const glm::vec3 n =
        glm::cross(positions[tri.y] - positions[tri.x], positions[tri.z] - positions[tri.x]);
    const float length = glm::length(n);
    return length > 0.0f ? n / length : glm::vec3(0.0f, 1.0f, 0.0f);
}

float MeshData::faceArea(std::size_t t) const {
    const glm::uvec3 tri = triangles[t];
    return 0.5f * glm::length(glm::cross(positions[tri.y] - positions[tri.x],
                                         positions[tri.z] - positions[tri.x]));
}

void MeshData::computeNormals() {
    // Sum of area-weighted face normals per (group, position).
    std::map<std::pair<int, PositionKey>, glm::vec3> sums;
    for (std::size_t t = 0; t < triangles.size(); ++t) {
        const glm::uvec3 tri = triangles[t];
        const glm::vec3 weighted =
            glm::cross(positions[tri.y] - positions[tri.x], positions[tri.z] - positions[tri.x]);
        for (int c = 0; c < 3; ++c)
            sums[{groups[t], keyOf(positions[tri[c]])}] += weighted;
    }
    for (std::size_t t = 0; t < triangles.size(); ++t) {
        const glm::uvec3 tri = triangles[t];
        for (int c = 0; c < 3; ++c) {
            const glm::vec3 sum = sums[{groups[t], keyOf(positions[tri[c]])}];
            const float length = glm::length(sum);
            normals[tri[c]] = length > 0.0f ? sum / length : faceNormal(t);
        }
    }
}

glm::vec3 MeshData::boundsMin() const {
    glm::vec3 lo = positions.empty() ? glm::vec3(0.0f) : positions.front();
    for (const glm::vec3& p : positions)
        lo = glm::min(lo, p);
    return lo;
}

glm::vec3 MeshData::boundsMax() const {
    glm::vec3 hi = positions.empty() ? glm::vec3(0.0f) : positions.front();
    for (const glm::vec3& p : positions)
        hi = glm::max(hi, p);
    return hi;
}

void MeshData::weld() {
    struct Key {
        PositionKey position;
        long nx, ny, nz, u, v;
        bool operator<(const Key& o) const {
            return std::tie(position, nx, ny, nz, u, v) <
                   std::tie(o.position, o.nx, o.ny, o.nz, o.u, o.v);
        }
    };
    auto quantise = [](float value, float step) { return std::lround(value / step); };
    std::map<Key, std::uint32_t> seen;
    std::vector<glm::vec3> newPositions, newNormals;
    std::vector<glm::vec2> newUvs;
    std::vector<std::uint32_t> remap(positions.size());
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const Key key{keyOf(positions[i]),           quantise(normals[i].x, 1e-4f),
                      quantise(normals[i].y, 1e-4f), quantise(normals[i].z, 1e-4f),
                      quantise(uvs[i].x, 1e-6f),     quantise(uvs[i].y, 1e-6f)};
        auto [it, inserted] = seen.emplace(key, static_cast<std::uint32_t>(newPositions.size()));
        if (inserted) {
            newPositions.push_back(positions[i]);
            newNormals.push_back(normals[i]);
            newUvs.push_back(uvs[i]);
        }
        remap[i] = it->second;
    }
    for (glm::uvec3& tri : triangles)
        tri = glm::uvec3(remap[tri.x], remap[tri.y], remap[tri.z]);
    positions = std::move(newPositions);
    normals = std::move(newNormals);
    uvs = std::move(newUvs);
}

} // namespace resgen
