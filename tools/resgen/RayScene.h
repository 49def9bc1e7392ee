#pragma once

#include "MeshData.h"

#include <glm/glm.hpp>

#include <vector>

namespace resgen {

// Triangles in a bounding-volume hierarchy, for the occlusion rays of light-map baking, and an
// optional endless floor that stands for the flat ground under the buildings.
class RayScene {
public:
    void addMesh(const MeshData& mesh, const glm::mat4& transform = glm::mat4(1.0f));
    void addTriangle(glm::vec3 a, glm::vec3 b, glm::vec3 c);
    // A floor at height y that blocks rays coming from above.
    void setFloor(float y) {
        hasFloor = true;
        floorHeight = y;
    }
    void build();

    // Whether anything lies on the ray within maxDistance (dir need not be unit length; the
    // distance is in units of dir).
    bool occluded(glm::vec3 origin, glm::vec3 dir, float maxDistance) const;

    std::size_t triangleCount() const { return corners.size() / 3; }

private:
    struct Node {
        glm::vec3 lo{0.0f};
        glm::vec3 hi{0.0f};
        std::uint32_t first = 0; // first triangle (leaf) or right child (inner)
        std::uint32_t count = 0; // 0 for inner nodes
    };

    std::uint32_t buildNode(std::uint32_t first, std::uint32_t count);
    bool hitsTriangle(std::uint32_t triangle, glm::vec3 origin, glm::vec3 dir,
                      float maxDistance) const;

    std::vector<glm::vec3> corners; // three per triangle
    std::vector<std::uint32_t> order;
    std::vector<glm::vec3> centroids;
    std::vector<Node> nodes;
    bool hasFloor = false;
    float floorHeight = 0.0f;
};

} // namespace resgen
