#pragma once

#include "scene/InputAction.h"

#include <glm/glm.hpp>

#include <utility>
#include <vector>

class MeshComponent;
class SoundEngine;
struct CameraComponent;

// Everything placed in the world: a model matrix (model space to world space) and the mesh
// components drawn at it. There is no hierarchy; every movement reads the matrix with
// getModelMatrix, transforms it and writes it back with setModelMatrix.
//
// Components and cameras are not owned; objects are never deleted. soundEngine is set when the
// object is registered with the game; objects that are never registered keep null and must not
// play sounds.
//
// draw(frustumCulling) copies the model matrix into each component, skips components whose
// bounding sphere the active camera's frustum rejects (the radius is used unscaled) and returns
// how many it drew.
class SceneObject {
public:
    explicit SceneObject(const glm::mat4& modelMatrix) : modelMatrix(modelMatrix) {}
    virtual ~SceneObject() = default;

    virtual void onAction(InputAction action, float deltaTime);
    virtual void update(float deltaTime);
    virtual int draw(bool frustumCulling);
    virtual void addMeshComponent(MeshComponent* component);
    virtual std::vector<MeshComponent*> getMeshComponents();
    virtual void addCameraComponent(CameraComponent* component);
    virtual void setCameraComponent(CameraComponent* component);
    virtual CameraComponent* getCameraComponent();
    // The first mesh component's model-space box (minimum, maximum); requires a component.
    virtual std::pair<glm::vec3, glm::vec3> getBoundingBox();
    // Overlap with positive depth on all three axes of the two model-space boxes.
    virtual bool intersects(SceneObject& other);
    virtual glm::mat4 getModelMatrix();
    virtual void setModelMatrix(const glm::mat4& matrix);

    SoundEngine* soundEngine = nullptr;

protected:
    glm::mat4 modelMatrix;
    CameraComponent* cameraComponent = nullptr;
    std::vector<MeshComponent*> meshComponents;
    std::vector<CameraComponent*> cameraComponents;
};
