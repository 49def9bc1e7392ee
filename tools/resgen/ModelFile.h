#pragma once

#include "MeshData.h"

#include <string>

namespace resgen {

// What a model file holds: one named object with one material, whose only texture is the
// diffuse map `textureFile` (a name relative to the game's texture directory). One object and
// one material make one imported mesh on a direct child of the root node, so the game's
// bounding sphere covers the whole model.
struct ModelFile {
    std::string objectName;
    std::string materialName;
    std::string textureFile;
    MeshData mesh; // welded, with normals and texture coordinates
};

} // namespace resgen
