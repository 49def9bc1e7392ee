#pragma once

#include "ModelFile.h"

#include <filesystem>

namespace resgen {

// ASCII FBX 7.4 with one model, its mesh, one material and its diffuse texture. Consecutive
// triangles that make a convex quad are written as that quad, split by the importer along the
// same diagonal. No creation time or any other varying field is written, so the file is the
// same on every run.
class FbxWriter {
public:
    static bool write(const std::filesystem::path& path, const ModelFile& model);
};

} // namespace resgen
