#pragma once

#include "ModelFile.h"

#include <filesystem>

namespace resgen {

// Wavefront OBJ with its material library beside it ("name.obj" and "name.mtl").
class ObjWriter {
public:
    // path: the .obj file; the .mtl gets the same stem. False with a message on failure.
    static bool write(const std::filesystem::path& path, const ModelFile& model);
};

} // namespace resgen
