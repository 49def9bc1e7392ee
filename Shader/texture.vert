#version 430 core
// Sky box: only the placement matters, no lighting inputs are passed on.

layout(location = 0) in vec3 position;
layout(location = 2) in vec2 texCoords;

uniform mat4 projection;
uniform mat4 view;
uniform mat4 model;      // the object's placement
uniform mat4 ptransform; // the component's extra matrix
uniform mat4 transform;  // the node's matrix inside the model file

out vec2 TexCoords;

void main() {
    TexCoords = texCoords;
    gl_Position = projection * view * model * ptransform * transform * vec4(position, 1.0);
}
