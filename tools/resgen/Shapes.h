#pragma once

#include "MeshData.h"

#include <vector>

namespace resgen {

// Building blocks for the models. Every face is wound counter-clockwise seen from outside, so
// back-face culling keeps the outside.

enum class Shading { Flat, Smooth };

// An axis-aligned box; each face a flat panel of its own. Boxes standing on the ground can
// leave out their bottom, which nobody sees and which would only take texture space.
void addBox(MeshData& mesh, glm::vec3 lo, glm::vec3 hi, int part, bool withBottom = true);

// A surface through a sequence of rings of equal point count. Each ring runs counter-clockwise
// seen from beyond the last ring looking back towards the first. Flat: every quad its own
// panel; Smooth: one smooth surface. Caps close the first and last ring (they must be convex).
void addLoft(MeshData& mesh, const std::vector<std::vector<glm::vec3>>& rings, Shading shading,
             int part, bool capFirst, bool capLast, int capPart = -1);

// A slab between a top outline and a bottom outline of equal point count (top counter-clockwise
// seen from above its normal side): wings, fins, roofs. Top, bottom and every side are panels.
void addSlab(MeshData& mesh, const std::vector<glm::vec3>& top,
             const std::vector<glm::vec3>& bottom, int part, int edgePart = -1);

// A flat plate of the given outline (convex, any winding) and thickness (per corner), its top
// facing the side of `outside`: wings, fins, boards.
void addPlate(MeshData& mesh, const std::vector<glm::vec3>& outline,
              const std::vector<float>& thickness, glm::vec3 outside, int part, int edgePart = -1);

// The outline reflected across the x = 0 plane (and re-wound, so it stays counter-clockwise):
// the left wing from the right one.
std::vector<glm::vec3> mirroredX(const std::vector<glm::vec3>& outline);

// A ring of `segments` points around `center` in the plane spanned by `axisA` and `axisB`
// (counter-clockwise from A towards B), scaled by the two radii.
std::vector<glm::vec3> ellipseRing(glm::vec3 center, glm::vec3 axisA, glm::vec3 axisB,
                                   float radiusA, float radiusB, int segments,
                                   float startAngle = 0.0f);

} // namespace resgen
