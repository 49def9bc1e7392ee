#pragma once

#include "MeshData.h"
#include "OutputDirs.h"

namespace resgen {

// The light-mapped scenery. Each stands on the ground at model height 0 with its centre over
// the origin, in world units (the game draws them unscaled).

// "finallightmapBaked.obj": an arched hangar, its doors on the -z end (the game turns it so they
// face the crates and the player's start).
MeshData hangarMesh();
bool writeHangar(const OutputDirs& out);

// "SSD+WE.obj": a control tower with a glazed cab.
MeshData towerMesh();
bool writeTower(const OutputDirs& out);

// "uvbox.obj": a wooden crate.
MeshData crateMesh();
bool writeCrate(const OutputDirs& out);

} // namespace resgen
