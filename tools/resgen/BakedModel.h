#pragma once

#include "LightmapBaker.h"
#include "MeshData.h"
#include "OutputDirs.h"
#include "TexelMap.h"

#include <functional>
#include <string>

namespace resgen {

// Everything that varies between the light-mapped scenery models: names, texture sizes, how a
// surface point is painted and how the light is baked.
struct BakedModelRecipe {
    std::string modelFile; // under models/, ".obj"
    std::string objectName;
    std::string materialName;
    std::string colourFile; // under textures/
    std::string lightMapFile;
    int colourTexels = 1024;
    int lightTexels = 256;
    int lightPadding = 3; // light-map texels of border around each chart
    std::function<glm::vec3(const SurfaceSample&)> paint;
    BakeSettings bake;
};

// Unwraps the mesh into non-overlapping charts, paints its colour texture and bakes its light
// map on that one layout (the game gives these models a single texture-coordinate set for
// both), with the model standing on flat ground at height 0, and writes the OBJ, its material
// library and both pictures.
bool writeBakedModel(const OutputDirs& out, MeshData mesh, const BakedModelRecipe& recipe);

} // namespace resgen
