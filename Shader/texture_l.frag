#version 430 core
// Baked lighting: colour texture times light map, sampled at the same coordinates. Light maps
// are baked with head room (mid grey is "lit"), so the product is brightened a little to keep
// lit surfaces near their painted colour.

in vec2 TexCoords;

uniform sampler2D color_texture;   // unit 0
uniform sampler2D lightmaptexture; // unit 1

out vec4 FragColor;

const float lightMapBrightness = 1.6;

void main() {
    vec4 color = texture(color_texture, TexCoords);
    vec3 light = texture(lightmaptexture, TexCoords).rgb;
    FragColor = vec4(clamp(color.rgb * light * lightMapBrightness, 0.0, 1.0), color.a);
}
