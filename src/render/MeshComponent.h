#pragma once

#include "render/Mesh.h"

#include <GL/glew.h>
#include <glm/glm.hpp>

#include <string>
#include <vector>

class Texture;
struct aiMesh;
struct aiMaterial;
struct aiScene;

// One model file turned into drawable meshes, with the model-space bounding box and sphere
// that collisions and frustum culling read.
//
// load(path) imports the file; the model's path alone decides, by case-sensitive substring,
// each mesh's shader pair, the light maps added to its textures and the nine animation frames.
// Only meshes on the root node's direct children are imported. A file that cannot be imported
// prints "ERROR::ASSIMP::" and leaves the component as it was. Bounds are those of the last
// imported mesh; a mesh without vertices leaves them unchanged.
//
// A component may be shared by several objects (all rockets share one): the owner copies its
// model matrix in before every draw. Components are never destroyed. Game logic may use a
// component that was never loaded, with its bounds set directly: it then has no meshes and
// draws nothing, and nothing here touches OpenGL.
class MeshComponent {
public:
    MeshComponent() = default;
    virtual ~MeshComponent() = default;

    virtual void load(const std::string& path);
    virtual void update(float deltaTime);
    virtual void draw();

    GLuint textureId = 0;
    std::vector<Mesh> meshes;
    float textureFrame = 0.0f;
    float radius = 0.0f;
    std::string path;
    glm::mat4 modelMatrix{1.0f};
    glm::mat4 localTransform{1.0f};
    glm::vec3 boundsMin{0.0f};
    glm::vec3 boundsMax{0.0f};
    glm::vec3 center{0.0f};

    // The bounds step for one mesh's positions (exposed for tests and tools).
    void updateBounds(const std::vector<Vertex>& vertices);

private:
    void processNode(const aiScene* scene);
    Mesh processMesh(const aiMesh* mesh, const aiScene* scene);
    std::vector<Texture*> loadMaterialTextures(const aiMaterial* material);
    void loadTexture(const std::string& fileName, std::vector<Texture*>& into);
};
