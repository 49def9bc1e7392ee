#pragma once

#include <glm/glm.hpp>

#include <cstdint>
#include <vector>

namespace resgen {

// Geometry of one model while it is being built: triangles with their own three corners (so
// every corner can take its own texture coordinate), a smoothing group and a paint part per
// triangle.
//
// Normals follow the rule of 3DS smoothing groups, so that the formats that store normals and
// the one whose importer computes them from groups end up lit alike: a corner's normal is the
// area-weighted mean of the normals of the triangles of its own group that touch its position.
// A group of its own per flat panel gives hard edges; one group over a curved surface gives a
// smooth one.
class MeshData {
public:
    std::vector<glm::vec3> positions;
    std::vector<glm::vec3> normals;
    std::vector<glm::vec2> uvs;
    std::vector<glm::uvec3> triangles;
    std::vector<int> groups;
    std::vector<int> parts;

    int newGroup() { return nextGroup++; }

    // Counter-clockwise seen from the front.
    void addTriangle(glm::vec3 a, glm::vec3 b, glm::vec3 c, int group, int part);
    // A convex polygon, counter-clockwise seen from the front, as a fan.
    void addPolygon(const std::vector<glm::vec3>& points, int group, int part);
    void addQuad(glm::vec3 a, glm::vec3 b, glm::vec3 c, glm::vec3 d, int group, int part) {
        addPolygon({a, b, c, d}, group, part);
    }

    // Moves every position (normals are recomputed by computeNormals).
    void transform(const glm::mat4& matrix);

    void computeNormals();
    glm::vec3 faceNormal(std::size_t triangle) const; // unit length
    float faceArea(std::size_t triangle) const;

    glm::vec3 boundsMin() const;
    glm::vec3 boundsMax() const;

    // Merges corners equal in position, normal and texture coordinate; keeps triangle order.
    void weld();

private:
    int nextGroup = 0;
};

// Positions equal within this distance (model units) are one point for smoothing and welding.
constexpr float positionTolerance = 1.0e-4f;

} // namespace resgen
