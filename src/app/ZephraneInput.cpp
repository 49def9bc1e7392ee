// Zephrane::onAction and the texture-filter switches (F4 sampling quality, F5 mip-mapping).

#include "app/Zephrane.h"

#include "game/FighterJet.h"
#include "render/MeshComponent.h"
#include "scene/Camera.h"
#include "scene/CameraView.h"

#include <GL/glew.h>

#include <array>
#include <iostream>

namespace {

constexpr float switchCooldownSeconds = 1.0f;
constexpr int mipmapModeCount = 3; // 0 linear, 1 nearest, 2 off

struct TextureFilter {
    GLint magnification;
    GLint minification;
    const char* message;
};

// Indexed by mipmap mode; one table per sampling quality.
constexpr std::array<TextureFilter, mipmapModeCount> bilinearFilters{{
    {GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR, "TSQ = bilinear, MM = linear"},
    {GL_LINEAR, GL_LINEAR_MIPMAP_NEAREST, "TSQ = bilinear, MM = nn"},
    {GL_LINEAR, GL_LINEAR, "TSQ = bilinear, MM = off"},
}};
constexpr std::array<TextureFilter, mipmapModeCount> nearestFilters{{
    {GL_NEAREST, GL_NEAREST_MIPMAP_LINEAR, "TSQ = nn, MM = linear"},
    {GL_NEAREST, GL_NEAREST_MIPMAP_NEAREST, "TSQ = nn, MM = nn"},
    {GL_NEAREST, GL_NEAREST, "TSQ = nn, MM = off"},
}};

} // namespace

void Zephrane::onAction(InputAction action, float deltaTime) {
    // Every action goes to whatever the player steers, the switch keys included.
    SceneObject* receiver = freeCameraActive ? static_cast<SceneObject*>(freeCamera)
                                             : static_cast<SceneObject*>(player);
    if (receiver != nullptr)
        receiver->onAction(action, deltaTime);

    switch (action) {
    case Key1:
        if (cameraSwitchCooldown <= 0.0f) {
            // Show the picture of the object that is about to take the controls.
            SceneObject* next = freeCameraActive ? static_cast<SceneObject*>(player)
                                                 : static_cast<SceneObject*>(freeCamera);
            if (cameraView != nullptr && next != nullptr)
                cameraView->camera = next->getCameraComponent();
            cameraSwitchCooldown += switchCooldownSeconds;
            freeCameraActive = !freeCameraActive;
        }
        break;
    case KeyF4:
        if (samplingCooldown <= 0.0f) {
            bilinearSampling = !bilinearSampling;
            samplingCooldown = switchCooldownSeconds;
            applyTextureFilters();
        }
        break;
    case KeyF5:
        if (mipmapCooldown <= 0.0f) {
            mipmapMode = (mipmapMode + 1) % mipmapModeCount;
            mipmapCooldown = switchCooldownSeconds;
            applyTextureFilters();
        }
        break;
    default:
        break;
    }
}

void Zephrane::applyTextureFilters() {
    // Kept non-negative even if someone stored a negative mode.
    const int mode = ((mipmapMode % mipmapModeCount) + mipmapModeCount) % mipmapModeCount;
    const TextureFilter& filter = bilinearSampling ? bilinearFilters[mode] : nearestFilters[mode];

    // Only the texture a component loaded last is re-filtered; that is the one the switch is
    // meant to show off. The state is announced once, and only if anything was touched.
    bool announced = false;
    for (SceneObject* object : objects) {
        for (MeshComponent* component : object->getMeshComponents()) {
            if (!announced) {
                std::cout << filter.message << std::endl;
                announced = true;
            }
            glBindTexture(GL_TEXTURE_2D, component->textureId);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter.magnification);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter.minification);
        }
    }
}
