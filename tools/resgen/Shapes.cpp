#include "Shapes.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace resgen {

void addBox(MeshData& mesh, glm::vec3 lo, glm::vec3 hi, int part, bool withBottom) {
    const glm::vec3 c[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z},
                            {lo.x, hi.y, lo.z}, {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z},
                            {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
    mesh.addQuad(c[4], c[5], c[6], c[7], mesh.newGroup(), part); // +z
    mesh.addQuad(c[1], c[0], c[3], c[2], mesh.newGroup(), part); // -z
    mesh.addQuad(c[5], c[1], c[2], c[6], mesh.newGroup(), part); // +x
    mesh.addQuad(c[0], c[4], c[7], c[3], mesh.newGroup(), part); // -x
    mesh.addQuad(c[7], c[6], c[2], c[3], mesh.newGroup(), part); // +y
    if (withBottom)
        mesh.addQuad(c[0], c[1], c[5], c[4], mesh.newGroup(), part); // -y
}

void addLoft(MeshData& mesh, const std::vector<std::vector<glm::vec3>>& rings, Shading shading,
             int part, bool capFirst, bool capLast, int capPart) {
    assert(rings.size() >= 2 && "a loft needs two rings");
    const std::size_t count = rings.front().size();
    const int smoothGroup = shading == Shading::Smooth ? mesh.newGroup() : -1;
    for (std::size_t r = 0; r + 1 < rings.size(); ++r) {
        assert(rings[r].size() == count && rings[r + 1].size() == count &&
               "loft rings need equal point counts");
        for (std::size_t j = 0; j < count; ++j) {
            const std::size_t k = (j + 1) % count;
            const int group = shading == Shading::Smooth ? smoothGroup : mesh.newGroup();
            mesh.addQuad(rings[r][j], rings[r][k], rings[r + 1][k], rings[r + 1][j], group, part);
        }
    }
    const int cap = capPart < 0 ? part : capPart;
    if (capFirst) {
        std::vector<glm::vec3> reversed(rings.front().rbegin(), rings.front().rend());
        mesh.addPolygon(reversed, mesh.newGroup(), cap);
    }
    if (capLast)
        mesh.addPolygon(rings.back(), mesh.newGroup(), cap);
}

void addSlab(MeshData& mesh, const std::vector<glm::vec3>& top,
             const std::vector<glm::vec3>& bottom, int part, int edgePart) {
    assert(top.size() == bottom.size() && top.size() >= 3 && "slab outlines must match");
    const int edge = edgePart < 0 ? part : edgePart;
    mesh.addPolygon(top, mesh.newGroup(), part);
    std::vector<glm::vec3> reversed(bottom.rbegin(), bottom.rend());
    mesh.addPolygon(reversed, mesh.newGroup(), part);
    const std::size_t n = top.size();
    for (std::size_t j = 0; j < n; ++j) {
        const std::size_t k = (j + 1) % n;
        mesh.addQuad(bottom[j], bottom[k], top[k], top[j], mesh.newGroup(), edge);
    }
}

void addPlate(MeshData& mesh, const std::vector<glm::vec3>& outline,
              const std::vector<float>& thickness, glm::vec3 outside, int part, int edgePart) {
    assert(outline.size() == thickness.size() && "one thickness per outline corner");
    // Newell's normal of the outline.
    glm::vec3 normal(0.0f);
    for (std::size_t i = 0; i < outline.size(); ++i) {
        const glm::vec3 a = outline[i], b = outline[(i + 1) % outline.size()];
        normal += glm::vec3((a.y - b.y) * (a.z + b.z), (a.z - b.z) * (a.x + b.x),
                            (a.x - b.x) * (a.y + b.y));
    }
    normal = glm::normalize(normal);
    std::vector<glm::vec3> points = outline;
    std::vector<float> widths = thickness;
    if (glm::dot(normal, outside) < 0.0f) {
        std::reverse(points.begin(), points.end());
        std::reverse(widths.begin(), widths.end());
        normal = -normal;
    }
    std::vector<glm::vec3> top, bottom;
    for (std::size_t i = 0; i < points.size(); ++i) {
        top.push_back(points[i] + normal * (0.5f * widths[i]));
        bottom.push_back(points[i] - normal * (0.5f * widths[i]));
    }
    addSlab(mesh, top, bottom, part, edgePart);
}

std::vector<glm::vec3> mirroredX(const std::vector<glm::vec3>& outline) {
    std::vector<glm::vec3> mirrored;
    for (auto it = outline.rbegin(); it != outline.rend(); ++it)
        mirrored.push_back({-it->x, it->y, it->z});
    return mirrored;
}

std::vector<glm::vec3> ellipseRing(glm::vec3 center, glm::vec3 axisA, glm::vec3 axisB,
                                   float radiusA, float radiusB, int segments, float startAngle) {
    std::vector<glm::vec3> ring;
    ring.reserve(static_cast<std::size_t>(segments));
    for (int i = 0; i < segments; ++i) {
        const float angle =
            startAngle + 6.2831853f * static_cast<float>(i) / static_cast<float>(segments);
        ring.push_back(center + axisA * (radiusA * std::cos(angle)) +
                       axisB * (radiusB * std::sin(angle)));
    }
    return ring;
}

} // namespace resgen
