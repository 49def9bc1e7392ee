#pragma once

#include "OutputDirs.h"

#include <glm/glm.hpp>

namespace resgen {

// "terrain.fbx": a height field under the whole sky box, drawn by the game moved down by 50
// and doubled, with flat ground at the buildings and at the target's first place, a lake,
// rolling hills and mountains along the rim. Texture "terrain.png" is painted by height and
// slope; the light map "terrainlm2.png" holds the sun, the hills' and buildings' shadows and
// the sky's occlusion.
bool writeTerrain(const OutputDirs& out);

// Ground height (world units) at a world position; exposed for the placement checks.
float terrainWorldHeight(float worldX, float worldZ);

} // namespace resgen
