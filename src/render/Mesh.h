#pragma once

#include "render/Vertex.h"

#include <GL/glew.h>
#include <glm/glm.hpp>

#include <vector>

class ShaderProgram;
class Texture;

// One drawable piece of an imported model: vertices and indices uploaded once to static GPU
// buffers, the textures and the program it is drawn with, and its matrices.
//
// A Mesh is a value: copies share the GL names (vertex array, buffers, textures, program) and
// no GL object is ever deleted, so a copy stays drawable after the original is gone.
//
// draw() sets every uniform a mesh shader may use (a shader that lacks one simply ignores it),
// binds textures by count (1: unit 0; 2: colour on unit 0 and light map on unit 1; more: an
// animation frame chosen by textureFrame, clamped to the last frame) and issues one indexed
// draw. It reads the shared CameraView and SceneLight, which must be set. A mesh without
// vertices or without indices uploads nothing and draws nothing.
class Mesh {
public:
    Mesh(ShaderProgram* shader, std::vector<Vertex> vertices, std::vector<GLuint> indices,
         std::vector<Texture*> textures);

    void draw(float textureFrame);

    glm::mat4 modelMatrix{1.0f};
    std::vector<Vertex> vertices;
    std::vector<GLuint> indices;
    std::vector<Texture*> textures;
    ShaderProgram* shader = nullptr;
    GLuint vao = 0;
    GLuint vbo = 0;
    GLuint ebo = 0;
    glm::mat4 nodeTransform{1.0f};
    glm::mat4 localTransform{1.0f};
    glm::vec3 lightBaseColor{1.0f, 1.0f, 1.0f};
    glm::vec3 diffuseFactor{0.5f, 0.5f, 0.5f};
    glm::vec3 ambientFactor{0.2f, 0.2f, 0.2f};
    glm::vec3 lightSpecular{1.0f, 1.0f, 1.0f};
    glm::vec3 materialSpecular{0.3f, 0.3f, 0.3f};
    float materialShininess = 15.0f;

private:
    void setupMesh();
};
