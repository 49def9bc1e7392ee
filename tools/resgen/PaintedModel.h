#pragma once

#include "Image.h"
#include "MeshData.h"
#include "TexelMap.h"

#include <functional>

namespace resgen {

// Lays a model out in charts (see UvAtlas) and paints its texture by calling `paint` for the
// surface point of every texel. With occlusionStrength > 0 the model's own nooks are darkened
// by baked sky occlusion, which these models, lit by the game's light alone, otherwise lack.
// Normals must be computed; the mesh's texture coordinates are written.
Image paintModel(MeshData& mesh, int texels, int padding,
                 const std::function<glm::vec3(const SurfaceSample&)>& paint,
                 float occlusionStrength = 0.0f, float occlusionReach = 1.0f);

} // namespace resgen
