#version 430 core
// Phong lighting for everything that is neither sky nor baked.
//
// The scene's one light is strongly coloured (red) and sits below most of what flies, so on its
// own it would leave the jets black on top and red underneath. The light colour therefore only
// tints its own diffuse and specular terms, while a neutral sky term (a constant fill plus a
// soft light from above) keeps every texture readable in its own colours.

in vec3 FragPos;
in vec3 Normal;
in vec2 TexCoords;

struct Light {
    vec3 ambient;
    vec3 diffuse;
    vec3 specular;
};

struct Material {
    sampler2D diffuse; // unit 0
    vec3 specular;
    float shininess;
};

uniform vec3 lightPos;
uniform vec3 lightColor;
uniform vec3 viewPos;
uniform Light light;
uniform Material material;

out vec4 FragColor;

const vec3 skyFill = vec3(0.45);
const vec3 skyColor = vec3(0.35);
const vec3 skyDirection = vec3(0.27, 0.92, 0.27); // towards the sky, normalised
const float unlitNormalLength = 1e-6;

void main() {
    vec4 albedo = texture(material.diffuse, TexCoords);

    float normalLength = length(Normal);
    if (normalLength < unlitNormalLength) {
        // No normal: neither light can say which side is lit.
        FragColor = vec4(albedo.rgb * (skyFill + light.ambient), albedo.a);
        return;
    }
    vec3 n = Normal / normalLength;

    vec3 toLight = normalize(lightPos - FragPos);
    vec3 toEye = normalize(viewPos - FragPos);
    vec3 reflected = reflect(-toLight, n);

    float diffuseAmount = max(dot(n, toLight), 0.0);
    float specularAmount = diffuseAmount > 0.0
        ? pow(max(dot(toEye, reflected), 0.0), material.shininess)
        : 0.0;

    vec3 sky = skyFill + skyColor * max(dot(n, skyDirection), 0.0);
    vec3 lit = albedo.rgb * (sky + light.ambient + lightColor * light.diffuse * diffuseAmount);
    vec3 shine = lightColor * light.specular * material.specular * specularAmount;
    FragColor = vec4(clamp(lit + shine, 0.0, 1.0), albedo.a);
}
