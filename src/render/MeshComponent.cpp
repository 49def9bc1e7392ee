#include "render/MeshComponent.h"

#include "formats/ModelBounds.h"
#include "render/ShaderProgram.h"
#include "render/Texture.h"

#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <array>
#include <iostream>
#include <string>
#include <utility>

namespace {

// The animation counter advances per drawn mesh and wraps below the ten frames of an
// animated model.
constexpr float textureFrameStep = 0.4f;
constexpr float textureFrameLimit = 10.0f;

constexpr unsigned int importFlags = aiProcess_Triangulate | aiProcess_FlipUVs;
constexpr unsigned int indicesPerTriangle = 3;

struct ShaderChoice {
    const char* pathContains;
    const char* vertexFile;
    const char* fragmentFile;
};

// First match wins. The sky box is lit by nothing; baked models multiply in their light map;
// every other model is lit by the scene light.
constexpr std::array<ShaderChoice, 5> shaderTable{{
    {"skybox", "Shader/texture.vert", "Shader/texture.frag"},
    {"lightmap", "Shader/texture_l.vert", "Shader/texture_l.frag"},
    {"SSD", "Shader/texture_l.vert", "Shader/texture_l.frag"},
    {"terrain", "Shader/texture_l.vert", "Shader/texture_l.frag"},
    {"uvbox", "Shader/texture_l.vert", "Shader/texture_l.frag"},
}};
constexpr const char* litVertexFile = "Shader/texture_l.vert";
constexpr const char* litFragmentFile = "Shader/texture_usual.frag";

struct LightMapChoice {
    const char* pathContains;
    const char* file;
};

// Every match adds its light map: these tests are independent of each other.
constexpr std::array<LightMapChoice, 4> lightMapTable{{
    {"finallightmap", "lagerlm.png"},
    {"SSD", "lightm.png"},
    {"uvbox", "boxBake.png"},
    {"terrain", "terrainlm2.png"},
}};

// Animated models get the frames "2.png" to "10.png" after their own texture.
constexpr int firstAnimationFrame = 2;
constexpr int lastAnimationFrame = 10;

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

// Assimp keeps matrices row by row with the translation in the fourth column; GLM keeps them
// column by column, so element (row i, column j) moves to column j, row i.
glm::mat4 toGlm(const aiMatrix4x4& matrix) {
    glm::mat4 result(1.0f);
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            result[column][row] = matrix[static_cast<unsigned>(row)][column];
    return result;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Import

void MeshComponent::load(const std::string& modelPath) {
    // Assimp trusts the array sizes an FBX file declares (see ModelBounds); a file whose sizes
    // cannot be true is refused with a line of the importer's kind before Assimp reads it.
    std::string refusal;
    if (!ModelBounds::checkFile(modelPath, refusal)) {
        std::cout << "ERROR::ASSIMP::" << refusal << std::endl;
        return;
    }
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(modelPath, importFlags);
    if (scene == nullptr || scene->mFlags == AI_SCENE_FLAGS_INCOMPLETE ||
        scene->mRootNode == nullptr) {
        std::cout << "ERROR::ASSIMP::" << importer.GetErrorString() << std::endl;
        return;
    }
    path = modelPath;
    processNode(scene);
}

void MeshComponent::update(float /*deltaTime*/) {}

// Only the root's direct children carry meshes in the models we ship; their transforms are
// taken as they are, without the parent's.
void MeshComponent::processNode(const aiScene* scene) {
    // The import runs without the importer's own validation step, so every count is checked
    // against its array before the array is read: a damaged file must not reach past them.
    const aiNode* root = scene->mRootNode;
    if (root->mChildren == nullptr || scene->mMeshes == nullptr)
        return;
    for (unsigned int c = 0; c < root->mNumChildren; ++c) {
        const aiNode* child = root->mChildren[c];
        if (child == nullptr || child->mMeshes == nullptr)
            continue;
        for (unsigned int i = 0; i < child->mNumMeshes; ++i) {
            const unsigned int meshIndex = child->mMeshes[i];
            if (meshIndex >= scene->mNumMeshes || scene->mMeshes[meshIndex] == nullptr)
                continue;
            Mesh mesh = processMesh(scene->mMeshes[meshIndex], scene);
            mesh.nodeTransform = toGlm(child->mTransformation);
            meshes.push_back(mesh);
        }
    }
}

Mesh MeshComponent::processMesh(const aiMesh* mesh, const aiScene* scene) {
    // A mesh whose positions are missing is taken as one without vertices.
    const unsigned int vertexCount = mesh->mVertices != nullptr ? mesh->mNumVertices : 0;
    std::vector<Vertex> vertices;
    vertices.reserve(vertexCount);
    const aiVector3D* texCoords = mesh->mTextureCoords[0];
    for (unsigned int k = 0; k < vertexCount; ++k) {
        Vertex vertex{};
        vertex.position = {mesh->mVertices[k].x, mesh->mVertices[k].y, mesh->mVertices[k].z};
        // The import does not generate normals; a mesh without them is lit by ambient light
        // only (the shaders treat a zero normal as facing nowhere).
        if (mesh->mNormals != nullptr)
            vertex.normal = {mesh->mNormals[k].x, mesh->mNormals[k].y, mesh->mNormals[k].z};
        else
            vertex.normal = glm::vec3(0.0f);
        vertex.texCoords =
            texCoords != nullptr ? glm::vec2(texCoords[k].x, texCoords[k].y) : glm::vec2(0.0f);
        vertices.push_back(vertex);
    }
    updateBounds(vertices);

    // Meshes are drawn as triangles, three indices a face. Triangulation leaves point and line
    // faces as they are, and one of them in the buffer would shift every later triangle, so
    // only triangles go in. A face pointing past the vertex list would make the driver read
    // outside the buffer; such faces are dropped too.
    std::vector<GLuint> indices;
    const unsigned int faceCount = mesh->mFaces != nullptr ? mesh->mNumFaces : 0;
    for (unsigned int f = 0; f < faceCount; ++f) {
        const aiFace& face = mesh->mFaces[f];
        bool valid = face.mIndices != nullptr && face.mNumIndices == indicesPerTriangle;
        for (unsigned int j = 0; valid && j < face.mNumIndices; ++j)
            valid = face.mIndices[j] < vertexCount;
        if (!valid)
            continue;
        indices.insert(indices.end(), face.mIndices, face.mIndices + face.mNumIndices);
    }

    const aiMaterial* material =
        scene->mMaterials != nullptr && mesh->mMaterialIndex < scene->mNumMaterials
            ? scene->mMaterials[mesh->mMaterialIndex]
            : nullptr;
    std::vector<Texture*> textures = loadMaterialTextures(material);

    const char* vertexFile = litVertexFile;
    const char* fragmentFile = litFragmentFile;
    for (const ShaderChoice& choice : shaderTable) {
        if (contains(path, choice.pathContains)) {
            vertexFile = choice.vertexFile;
            fragmentFile = choice.fragmentFile;
            break;
        }
    }
    auto* shader = new ShaderProgram(vertexFile, fragmentFile);
    return Mesh(shader, std::move(vertices), std::move(indices), std::move(textures));
}

// ---------------------------------------------------------------------------------------------
// Textures

std::vector<Texture*> MeshComponent::loadMaterialTextures(const aiMaterial* material) {
    std::vector<Texture*> textures;
    for (unsigned int i = 0;
         material != nullptr && i < aiGetMaterialTextureCount(material, aiTextureType_DIFFUSE);
         ++i) {
        aiString file;
        if (aiGetMaterialTexture(material, aiTextureType_DIFFUSE, i, &file) != aiReturn_SUCCESS)
            continue;
        loadTexture(file.C_Str(), textures);
    }

    for (const LightMapChoice& choice : lightMapTable) {
        if (contains(path, choice.pathContains)) {
            std::cout << "--lightmap!" << std::endl;
            loadTexture(choice.file, textures);
        }
    }

    if (contains(path, "vid") || contains(path, "single")) {
        for (int frame = firstAnimationFrame; frame <= lastAnimationFrame; ++frame)
            loadTexture(std::to_string(frame) + ".png", textures);
    }

    std::cout << "no of textures of " << path << " is: " << textures.size() << std::endl;
    return textures;
}

// The render switches re-filter one texture per component: the one loaded last.
void MeshComponent::loadTexture(const std::string& fileName, std::vector<Texture*>& into) {
    auto* texture = new Texture();
    texture->load(fileName);
    textureId = texture->id;
    into.push_back(texture);
}

// ---------------------------------------------------------------------------------------------
// Bounds and drawing

void MeshComponent::updateBounds(const std::vector<Vertex>& vertices) {
    if (vertices.empty())
        return;
    boundsMin = vertices.front().position;
    boundsMax = vertices.front().position;
    for (const Vertex& vertex : vertices) {
        for (int axis = 0; axis < 3; ++axis) {
            if (boundsMin[axis] > vertex.position[axis])
                boundsMin[axis] = vertex.position[axis];
            if (vertex.position[axis] > boundsMax[axis])
                boundsMax[axis] = vertex.position[axis];
        }
    }
    center = (boundsMax + boundsMin) * 0.5f;
    // Both are half the box's diagonal; they differ at most in rounding, and the smaller is kept.
    const float toMin = glm::length(boundsMin - center);
    const float toMax = glm::length(boundsMax - center);
    radius = toMax > toMin ? toMin : toMax;
}

void MeshComponent::draw() {
    for (Mesh& mesh : meshes) {
        textureFrame += textureFrameStep;
        if (textureFrame >= textureFrameLimit)
            textureFrame = 0.0f;
        mesh.modelMatrix = modelMatrix;
        mesh.localTransform = localTransform;
        mesh.draw(textureFrame);
    }
}
