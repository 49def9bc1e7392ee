#version 430 core
// Sky box: the picture as painted. The red scene light must not tint the sky.

in vec2 TexCoords;

uniform sampler2D skyTexture; // unit 0

out vec4 FragColor;

void main() {
    FragColor = vec4(texture(skyTexture, TexCoords).rgb, 1.0);
}
