#version 430 core
// Shared by the light-mapped and the lit models: world-space position and normal for lighting,
// texture coordinates for both the colour texture and the light map.

layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 texCoords;

uniform mat4 projection;
uniform mat4 view;
uniform mat4 model;      // the object's placement
uniform mat4 ptransform; // the component's extra matrix
uniform mat4 transform;  // the node's matrix inside the model file

out vec3 FragPos;
out vec3 Normal;
out vec2 TexCoords;

void main() {
    mat4 world = model * ptransform * transform;
    vec4 worldPosition = world * vec4(position, 1.0);
    FragPos = worldPosition.xyz;
    // Scaled placements would skew normals with the plain matrix. A zero normal (a model
    // without normals) stays zero and is treated as unlit by the fragment stage.
    Normal = mat3(transpose(inverse(world))) * normal;
    TexCoords = texCoords;
    gl_Position = projection * view * worldPosition;
}
