#pragma once

#include "OutputDirs.h"

#include <glm/glm.hpp>

namespace resgen {

// "skybox3.obj": a cube seen from inside (faces wound towards its centre), its six faces laid
// out three by two in "sky.png". The game draws it six times larger about the origin; its
// model box also bounds where the target may reappear.
inline constexpr float skyBoxHalfExtent = 60.0f; // model units

// Colour of the sky seen in a direction (need not be unit length): gradient, sun and clouds.
glm::vec3 skyColourTowards(glm::vec3 direction);

bool writeSkyBox(const OutputDirs& out);

} // namespace resgen
