#include "UvAtlas.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <map>
#include <numeric>
#include <tuple>

namespace resgen {

namespace {

using PositionKey = std::tuple<long, long, long>;
using EdgeKey = std::pair<PositionKey, PositionKey>;

PositionKey keyOf(glm::vec3 p) {
    return {std::lround(p.x / positionTolerance), std::lround(p.y / positionTolerance),
            std::lround(p.z / positionTolerance)};
}

EdgeKey edgeOf(glm::vec3 a, glm::vec3 b) {
    PositionKey ka = keyOf(a), kb = keyOf(b);
    return ka < kb ? EdgeKey{ka, kb} : EdgeKey{kb, ka};
}

// A basis on the chart's plane: walls get u horizontal and v up, floors and roofs u along x.
void chooseAxes(Chart& chart) {
    const glm::vec3 n = chart.normal;
    const glm::vec3 reference =
        std::abs(n.y) > 0.9f ? glm::vec3(0.0f, 0.0f, -1.0f) : glm::vec3(0.0f, 1.0f, 0.0f);
    chart.axisU = glm::normalize(glm::cross(reference, n));
    chart.axisV = glm::cross(n, chart.axisU);
}

struct Placement {
    glm::vec2 origin{0.0f};
    bool fits = false;
};

// Shelf packing, tallest charts first. Sizes include padding on both sides.
std::vector<Placement> pack(const std::vector<glm::ivec2>& sizes, int width, int height) {
    std::vector<std::size_t> order(sizes.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return sizes[a].y != sizes[b].y ? sizes[a].y > sizes[b].y : sizes[a].x > sizes[b].x;
    });
    std::vector<Placement> placements(sizes.size());
    int x = 0, y = 0, shelf = 0;
    for (std::size_t index : order) {
        const glm::ivec2 size = sizes[index];
        if (x + size.x > width) {
            x = 0;
            y += shelf;
            shelf = 0;
        }
        if (size.x > width || y + size.y > height)
            return {};
        placements[index] = {glm::vec2(static_cast<float>(x), static_cast<float>(y)), true};
        x += size.x;
        shelf = std::max(shelf, size.y);
    }
    return placements;
}

} // namespace

UvAtlas UvAtlas::unwrap(MeshData& mesh, int width, int height, int padding,
                        float maxChartAngleDegrees) {
    UvAtlas atlas;
    atlas.width = width;
    atlas.height = height;
    const std::size_t triangleCount = mesh.triangles.size();
    atlas.chartOfTriangle.assign(triangleCount, -1);

    // Triangles that share an edge.
    std::map<EdgeKey, std::vector<std::size_t>> byEdge;
    for (std::size_t t = 0; t < triangleCount; ++t) {
        const glm::uvec3 tri = mesh.triangles[t];
        for (int c = 0; c < 3; ++c)
            byEdge[edgeOf(mesh.positions[tri[c]], mesh.positions[tri[(c + 1) % 3]])].push_back(t);
    }

    // Grow charts from the first free triangle over edges, within the normal cone.
    const float minCosine = std::cos(glm::radians(maxChartAngleDegrees));
    std::vector<std::vector<std::size_t>> members;
    for (std::size_t start = 0; start < triangleCount; ++start) {
        if (atlas.chartOfTriangle[start] >= 0 || mesh.faceArea(start) <= 0.0f)
            continue;
        const int chartIndex = static_cast<int>(members.size());
        const glm::vec3 startNormal = mesh.faceNormal(start);
        members.push_back({start});
        atlas.chartOfTriangle[start] = chartIndex;
        for (std::size_t i = 0; i < members.back().size(); ++i) {
            const std::size_t t = members.back()[i];
            const glm::uvec3 tri = mesh.triangles[t];
            for (int c = 0; c < 3; ++c) {
                for (std::size_t other :
                     byEdge[edgeOf(mesh.positions[tri[c]], mesh.positions[tri[(c + 1) % 3]])]) {
                    if (atlas.chartOfTriangle[other] >= 0 ||
                        mesh.parts[other] != mesh.parts[start] ||
                        glm::dot(mesh.faceNormal(other), startNormal) < minCosine)
                        continue;
                    atlas.chartOfTriangle[other] = chartIndex;
                    members.back().push_back(other);
                }
            }
        }
    }

    // Project each chart onto the plane of its mean normal.
    for (const std::vector<std::size_t>& chartTriangles : members) {
        Chart chart;
        glm::vec3 sum(0.0f);
        for (std::size_t t : chartTriangles)
            sum += mesh.faceNormal(t) * mesh.faceArea(t);
        chart.normal = glm::normalize(sum);
        chooseAxes(chart);
        glm::vec2 lo(1e30f), hi(-1e30f);
        for (std::size_t t : chartTriangles) {
            for (int c = 0; c < 3; ++c) {
                const glm::vec3 p = mesh.positions[mesh.triangles[t][c]];
                const glm::vec2 q(glm::dot(p, chart.axisU), glm::dot(p, chart.axisV));
                lo = glm::min(lo, q);
                hi = glm::max(hi, q);
            }
        }
        chart.planeMin = lo;
        chart.texelSize = hi - lo; // model units for now
        atlas.charts.push_back(chart);
    }

    // The largest scale whose packing fits, by bisection.
    auto sizesAt = [&](float scale) {
        std::vector<glm::ivec2> sizes;
        for (const Chart& chart : atlas.charts)
            sizes.push_back(glm::ivec2(glm::ceil(chart.texelSize * scale)) + 2 * padding + 1);
        return sizes;
    };
    float low = 0.0f, high = 4096.0f;
    for (int step = 0; step < 40; ++step) {
        const float middle = 0.5f * (low + high);
        if (!pack(sizesAt(middle), width, height).empty())
            low = middle;
        else
            high = middle;
    }
    assert(low > 0.0f && "the charts must fit the texture at some scale");
    atlas.texelsPerUnit = low;
    const std::vector<Placement> placements = pack(sizesAt(low), width, height);

    for (std::size_t c = 0; c < atlas.charts.size(); ++c) {
        Chart& chart = atlas.charts[c];
        const glm::vec2 extent = chart.texelSize;
        chart.texelSize = extent * low;
        chart.texelOrigin = placements[c].origin + static_cast<float>(padding) + 0.5f;
        for (std::size_t t : members[c]) {
            for (int k = 0; k < 3; ++k) {
                const std::uint32_t corner = mesh.triangles[t][k];
                const glm::vec3 p = mesh.positions[corner];
                const glm::vec2 q(glm::dot(p, chart.axisU), glm::dot(p, chart.axisV));
                // v grows upwards in the model, rows grow downwards in the picture.
                const glm::vec2 texel(chart.texelOrigin.x + (q.x - chart.planeMin.x) * low,
                                      chart.texelOrigin.y +
                                          (extent.y - (q.y - chart.planeMin.y)) * low);
                mesh.uvs[corner] = texelToUv(texel, width, height);
            }
        }
    }
    return atlas;
}

} // namespace resgen
