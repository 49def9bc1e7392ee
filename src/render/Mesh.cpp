#include "render/Mesh.h"

#include "render/ShaderProgram.h"
#include "render/Texture.h"
#include "scene/CameraComponent.h"
#include "scene/CameraView.h"
#include "scene/SceneLight.h"

#include <glm/gtc/type_ptr.hpp>

#include <cassert>
#include <cstdint>
#include <utility>

namespace {

constexpr GLint diffuseTextureUnit = 0;
constexpr GLint lightMapTextureUnit = 1;
constexpr std::size_t lightMappedTextureCount = 2;

void setMatrix(GLuint program, const char* name, const glm::mat4& value) {
    glUniformMatrix4fv(glGetUniformLocation(program, name), 1, GL_FALSE, glm::value_ptr(value));
}

void setVector(GLuint program, const char* name, const glm::vec3& value) {
    glUniform3f(glGetUniformLocation(program, name), value.x, value.y, value.z);
}

const void* byteOffset(std::size_t offset) {
    return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(offset));
}

} // namespace

Mesh::Mesh(ShaderProgram* shader, std::vector<Vertex> vertices, std::vector<GLuint> indices,
           std::vector<Texture*> textures)
    : vertices(std::move(vertices)), indices(std::move(indices)), textures(std::move(textures)),
      shader(shader) {
    setupMesh();
}

void Mesh::setupMesh() {
    // Nothing to upload from: the mesh keeps vao 0 and draw() skips it.
    if (vertices.empty() || indices.empty())
        return;

    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);

    glGenBuffers(1, &vbo);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(Vertex)),
                 vertices.data(), GL_STATIC_DRAW);

    glGenBuffers(1, &ebo);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ebo);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(GLuint)),
                 indices.data(), GL_STATIC_DRAW);

    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                          byteOffset(offsetof(Vertex, position)));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                          byteOffset(offsetof(Vertex, normal)));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                          byteOffset(offsetof(Vertex, texCoords)));

    // The vertex array goes first so that it keeps the index buffer recorded.
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

void Mesh::draw(float textureFrame) {
    if (vao == 0)
        return;
    assert(shader != nullptr && "a mesh with geometry needs a shader program");
    assert(activeCameraView != nullptr && activeCameraView->camera != nullptr &&
           "scene assembly sets the camera view before anything is drawn");
    const GLuint program = shader->program;
    glUseProgram(program);

    const std::size_t count = textures.size();
    if (count > lightMappedTextureCount) {
        // An animation: the frame counter picks the texture. A counter past the last frame
        // (fewer than ten frames) holds the last one rather than showing nothing.
        std::size_t frame = textureFrame > 0.0f ? static_cast<std::size_t>(textureFrame) : 0;
        if (frame >= count)
            frame = count - 1;
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, textures[frame]->id);
    } else if (count == 1) {
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, textures[0]->id);
    } else if (count == lightMappedTextureCount) {
        glActiveTexture(GL_TEXTURE0 + diffuseTextureUnit);
        glBindTexture(GL_TEXTURE_2D, textures[0]->id);
        glUniform1i(glGetUniformLocation(program, "color_texture"), diffuseTextureUnit);
        glActiveTexture(GL_TEXTURE0 + lightMapTextureUnit);
        glBindTexture(GL_TEXTURE_2D, textures[1]->id);
        glUniform1i(glGetUniformLocation(program, "lightmaptexture"), lightMapTextureUnit);
    }

    const CameraComponent& camera = *activeCameraView->camera;
    const glm::mat4& eye = activeCameraView->worldTransform;
    const glm::vec3 lightDiffuse = lightBaseColor * diffuseFactor;
    const glm::vec3 lightAmbient = lightDiffuse * ambientFactor;

    setMatrix(program, "model", modelMatrix);
    setMatrix(program, "transform", nodeTransform);
    setMatrix(program, "ptransform", localTransform);
    setMatrix(program, "view", camera.view);
    setMatrix(program, "projection", camera.projection);
    setVector(program, "lightPos", sceneLight.position);
    setVector(program, "lightColor", sceneLight.color);
    glUniform3f(glGetUniformLocation(program, "viewPos"), eye[3][0], eye[3][1], eye[3][2]);
    setVector(program, "light.ambient", lightAmbient);
    setVector(program, "light.diffuse", lightDiffuse);
    setVector(program, "light.specular", lightSpecular);
    glUniform1i(glGetUniformLocation(program, "material.diffuse"), diffuseTextureUnit);
    setVector(program, "material.specular", materialSpecular);
    glUniform1f(glGetUniformLocation(program, "material.shininess"), materialShininess);

    glBindVertexArray(vao);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT, nullptr);
    glBindVertexArray(0);

    // Unbinds on whichever unit is active: after a light-mapped mesh unit 0 keeps its texture.
    glBindTexture(GL_TEXTURE_2D, 0);
}
