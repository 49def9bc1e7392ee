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
    // Matrix times vector, right to left: three of them cost far less per vertex than the two
    // matrix products that would build the whole placement first.
    vec4 worldPosition = model * (ptransform * (transform * vec4(position, 1.0)));
    FragPos = worldPosition.xyz;
    // Scaled placements would skew normals with the plain matrix; the inverse transpose does
    // not. For a placement (no projective part) that is the 3 x 3 cofactor matrix over the
    // determinant, a fraction of the cost of a 4 x 4 inverse per vertex. A zero normal (a model
    // without normals) stays zero and is treated as unlit by the fragment stage.
    mat3 m = mat3(model) * mat3(ptransform) * mat3(transform);
    mat3 cofactors = mat3(cross(m[1], m[2]), cross(m[2], m[0]), cross(m[0], m[1]));
    Normal = cofactors * normal / dot(m[0], cofactors[0]);
    TexCoords = texCoords;
    gl_Position = projection * (view * worldPosition);
}
