#include "ModelExtent.h"

#include "render/MeshComponent.h"

ModelExtent measureModel(const MeshComponent& component) {
    ModelExtent bounds;
    for (const Mesh& mesh : component.meshes) {
        // The order the mesh shaders apply them in: component matrix, then node matrix.
        const glm::mat4 toModel = component.localTransform * mesh.nodeTransform;
        for (const Vertex& vertex : mesh.vertices) {
            const glm::vec3 position = glm::vec3(toModel * glm::vec4(vertex.position, 1.0f));
            if (bounds.empty) {
                bounds.min = bounds.max = position;
                bounds.empty = false;
            }
            bounds.min = glm::min(bounds.min, position);
            bounds.max = glm::max(bounds.max, position);
        }
    }
    bounds.center = (bounds.min + bounds.max) * 0.5f;
    bounds.radius = glm::length(bounds.max - bounds.center);
    return bounds;
}
