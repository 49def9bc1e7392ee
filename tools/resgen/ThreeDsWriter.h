#pragma once

#include "ModelFile.h"

#include <filesystem>

namespace resgen {

// Autodesk 3DS, written without keyframer chunks: the importer then hangs every object on a
// direct child of the root node (with keyframer nodes it nests them three levels deep, where the
// game does not look). The format stores no normals; the importer computes them from the
// faces' smoothing groups, which are derived here from the mesh's groups so that it arrives at
// the normals the mesh was built with.
class ThreeDsWriter {
public:
    // False with a message when the file cannot be written or the mesh does not fit the format
    // (more than 65535 vertices or faces, or groups too entangled for 32 smoothing bits).
    static bool write(const std::filesystem::path& path, const ModelFile& model);

    // One smoothing bit per group such that no two groups touching the same position share a
    // bit; empty when 32 bits are not enough.
    static std::vector<std::uint32_t> smoothingBits(const MeshData& mesh);
};

} // namespace resgen
