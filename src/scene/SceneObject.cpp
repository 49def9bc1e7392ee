#include "scene/SceneObject.h"

#include "render/MeshComponent.h"
#include "scene/CameraComponent.h"
#include "scene/CameraView.h"
#include "scene/Frustum.h"

#include <algorithm>

void SceneObject::onAction(InputAction, float) {}

void SceneObject::update(float deltaTime) {
    for (MeshComponent* component : meshComponents)
        component->update(deltaTime);
}

int SceneObject::draw(bool frustumCulling) {
    // Culling needs the active camera; before one is set (or in a bare test scene) everything is
    // simply drawn, which is always a correct if slower picture.
    const CameraComponent* camera =
        activeCameraView != nullptr ? activeCameraView->camera : nullptr;
    const bool culling = frustumCulling && camera != nullptr;
    Frustum frustum;
    if (culling)
        frustum = Frustum::fromCamera(camera->view, camera->projection);

    int count = 0;
    for (MeshComponent* component : meshComponents) {
        // The component may be shared by several objects (rockets): it draws wherever the
        // object that draws it now stands.
        component->modelMatrix = modelMatrix;
        if (culling) {
            const glm::vec3 worldCenter =
                glm::vec3(modelMatrix * glm::vec4(component->center, 1.0f));
            if (!frustum.isSphereVisible(worldCenter, component->radius))
                continue;
        }
        component->draw();
        ++count;
    }
    return count;
}

void SceneObject::addMeshComponent(MeshComponent* component) {
    meshComponents.push_back(component);
}

std::vector<MeshComponent*> SceneObject::getMeshComponents() {
    return meshComponents;
}

void SceneObject::addCameraComponent(CameraComponent* component) {
    cameraComponents.push_back(component);
}

void SceneObject::setCameraComponent(CameraComponent* component) {
    cameraComponent = component;
}

CameraComponent* SceneObject::getCameraComponent() {
    return cameraComponent;
}

std::pair<glm::vec3, glm::vec3> SceneObject::getBoundingBox() {
    // An object without a model has no extent: a zero box at its origin instead of reading an
    // element that is not there.
    if (meshComponents.empty())
        return {glm::vec3(0.0f), glm::vec3(0.0f)};
    const MeshComponent* first = meshComponents.front();
    return {first->boundsMin, first->boundsMax};
}

bool SceneObject::intersects(SceneObject& other) {
    const auto [otherMin, otherMax] = other.getBoundingBox();
    const auto [ownMin, ownMax] = getBoundingBox();
    // Separation per axis: positive is a gap, zero is touching, negative is overlap depth.
    const glm::vec3 separation = glm::max(otherMin - ownMax, ownMin - otherMax);
    return std::max({separation.x, separation.y, separation.z}) < 0.0f;
}

glm::mat4 SceneObject::getModelMatrix() {
    return modelMatrix;
}

void SceneObject::setModelMatrix(const glm::mat4& matrix) {
    modelMatrix = matrix;
}
