#pragma once

#include "ModelExtent.h"
#include "PreviewOptions.h"

#include <glm/glm.hpp>

// Where the camera and the light stand for one picture.
// framePreview sets every field.
struct PreviewFraming {
    glm::mat4 view{};
    glm::mat4 projection{};
    glm::vec3 eye{};
    glm::vec3 lightPosition{};
};

// Outside: the camera looks at the bounding sphere's centre from the options' direction, at the
// distance where the sphere just fits the narrower side of the picture (times the distance
// factor), and the light stands above and in front of the model, slightly to the left. Inside:
// the camera stands at the centre with a wide view and looks the same way.
PreviewFraming framePreview(const ModelExtent& bounds, const PreviewOptions& options,
                            float aspectRatio);
