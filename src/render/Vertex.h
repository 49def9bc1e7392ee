#pragma once

#include <glm/glm.hpp>

#include <cstddef>

// One vertex of a mesh; its memory layout is the vertex buffer format that every mesh shader
// reads (locations 0, 1 and 2).
struct Vertex {
    glm::vec3 position;
    glm::vec3 normal;
    glm::vec2 texCoords;
};

static_assert(sizeof(Vertex) == 32, "the vertex buffer format is 32 bytes per vertex");
static_assert(offsetof(Vertex, normal) == 12 && offsetof(Vertex, texCoords) == 24,
              "vertex attributes sit at byte offsets 0, 12 and 24");
