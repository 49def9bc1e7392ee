#pragma once

#include "MeshData.h"
#include "OutputDirs.h"

namespace resgen {

// The models the game lights itself (no light map), with their textures.

// "Futuristic combat jet.3ds" with "jet.DDS": the fighter, 15 units long, nose towards -y and
// up along +z in the file (the game turns it 270 degrees about x after 180 about z, which
// brings the nose to -z and the top to +y). Drawn at 0.1, it is 1.5 world units long.
MeshData jetMesh(); // in the game's jet frame: nose -z, up +y
bool writeJet(const OutputDirs& out);

// "AIM120D.3ds" with "missile.png": the missile, nose towards +y in the file (the game turns it
// 270 degrees about x, bringing the nose to -z). Modelled on the jet's right wingtip rail, as
// its launch position; drawn at 0.01.
MeshData missileMesh(); // in the game's rocket frame: nose -z, up +y
bool writeMissile(const OutputDirs& out);

// "anim.obj" with "spinner.png": a small sensor pod that hangs and turns below the jet.
bool writeSpinner(const OutputDirs& out);

// "single.obj" with "1.png" and the nine animation frames "2.png" to "10.png": the target, a
// round bullseye board on a post whose rings pulse outwards.
bool writeTarget(const OutputDirs& out);

} // namespace resgen
