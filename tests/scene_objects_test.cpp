#include "render/MeshComponent.h"
#include "scene/Camera.h"
#include "scene/CameraComponent.h"
#include "scene/CameraView.h"
#include "scene/Frustum.h"

#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>

namespace {

MeshComponent* sphere(const glm::vec3& center, float radius) {
    auto* component = new MeshComponent();
    component->center = center;
    component->radius = radius;
    return component;
}

} // namespace

TEST(Culling, FirstDecidingPlaneWinsAndTheTestIsStrict) {
    Frustum frustum;
    for (Plane& plane : frustum.planes)
        plane = Plane{glm::vec3(1.0f, 0.0f, 0.0f), 1000.0f};      // far away, accepts all below
    frustum.planes[0] = Plane{glm::vec3(1.0f, 0.0f, 0.0f), 0.0f}; // left: inside where x > 0
    frustum.planes[5] = Plane{glm::vec3(0.0f, 0.0f, 1.0f), 0.0f}; // far: inside where z > 0

    // Crossing the left plane decides before the far plane, which it lies wholly beyond.
    EXPECT_TRUE(frustum.isSphereVisible(glm::vec3(0.5f, 0.0f, -50.0f), 1.0f));
    EXPECT_FALSE(frustum.isSphereVisible(glm::vec3(5.0f, 0.0f, -50.0f), 1.0f));
    // Exactly one radius outside is not outside.
    EXPECT_TRUE(frustum.isSphereVisible(glm::vec3(-2.0f, 0.0f, 5.0f), 2.0f));
    EXPECT_FALSE(frustum.isSphereVisible(glm::vec3(-2.001f, 0.0f, 5.0f), 2.0f));
}

TEST(Culling, DrawSkipsWhatTheActiveCameraCannotSee) {
    // A camera at the origin looking down -z: planes from the rows of projection x view.
    CameraComponent camera(glm::mat4(1.0f));
    camera.projection = cameraProjection(1.0f);
    const Frustum frustum = Frustum::fromCamera(camera.view, camera.projection);
    EXPECT_NEAR(frustum.planes[0].normal.x, 0.70710677f, 1e-6f);
    EXPECT_NEAR(frustum.planes[0].normal.z, -0.70710677f, 1e-6f);
    EXPECT_NEAR(frustum.planes[4].distance, -0.1f, 1e-4f);
    EXPECT_NEAR(frustum.planes[5].distance, 1000.0f, 1.0f); // 1 - 1.0002 in single precision

    CameraView view{glm::mat4(1.0f), &camera};
    activeCameraView = &view;
    // Drawn a hundred times smaller, yet culled with the stored radius: the big sphere, 14 units
    // outside the left plane, still reaches into the picture.
    SceneObject object(glm::scale(glm::mat4(1.0f), glm::vec3(0.01f)));
    MeshComponent* behind = sphere(glm::vec3(0.0f, 0.0f, 1000.0f), 1.0f);
    object.addMeshComponent(sphere(glm::vec3(0.0f, 0.0f, -1000.0f), 1.0f));
    object.addMeshComponent(behind);
    object.addMeshComponent(sphere(glm::vec3(-3000.0f, 0.0f, -1000.0f), 25.0f));
    EXPECT_EQ(object.draw(false), 3);
    EXPECT_EQ(object.draw(true), 2);
    EXPECT_EQ(behind->modelMatrix, object.getModelMatrix()); // placed even when culled
    activeCameraView = nullptr;

    SceneObject bare(glm::mat4(1.0f));
    EXPECT_EQ(bare.draw(true), 0);
    EXPECT_EQ(bare.getBoundingBox(), std::make_pair(glm::vec3(0.0f), glm::vec3(0.0f)));
}

TEST(Cameras, ProjectionHasTheStandardDepthTerms) {
    const glm::mat4 projection = cameraProjection(800.0f / 600.0f);
    EXPECT_FLOAT_EQ(projection[0][0], 0.75f);
    EXPECT_FLOAT_EQ(projection[2][2], -1.0002f);
    EXPECT_FLOAT_EQ(projection[3][2], -0.20002f);
    EXPECT_EQ(projection[2][3], -1.0f);
}

TEST(Cameras, FreeCameraMovesOnItsOwnAxesAndNeverRolls) {
    Camera camera(glm::mat4(1.0f));
    CameraComponent component(glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, 0.0f, -5.0f)));
    camera.setCameraComponent(&component);

    camera.onAction(KeyF1, 0.5f); // moves nothing, but re-aims from one unit behind
    EXPECT_EQ(component.view, glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, 0.0f, -1.0f)));
    camera.onAction(KeyW, 0.5f);
    EXPECT_EQ(glm::vec3(camera.getModelMatrix()[3]), glm::vec3(0.0f, 0.0f, -20.0f));

    // Pitch, then turn about the pitched vertical: the object's side axis leans, the view's not.
    camera.onAction(KeyDown, 0.5f);
    camera.onAction(KeyLeft, 0.5f);
    const glm::mat4 placement = camera.getModelMatrix();
    EXPECT_GT(std::abs(placement[0][1]), 0.1f);
    EXPECT_NEAR(component.view[1][0], 0.0f, 1e-6f);
    const glm::vec4 originInView = component.view * placement[3];
    EXPECT_NEAR(glm::distance(glm::vec3(originInView), glm::vec3(0.0f, 0.0f, -1.0f)), 0.0f, 1e-4f);
}
