#version 430 core
// The glyph bitmap's red channel is its coverage; blending lays the colour over the scene.

in vec2 TexCoords;

uniform sampler2D glyph; // unit 0
uniform vec3 textColor;

out vec4 FragColor;

void main() {
    FragColor = vec4(textColor, texture(glyph, TexCoords).r);
}
