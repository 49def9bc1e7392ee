#include "scene/TestCube.h"

// Scenery stays where it was put; only setModelMatrix moves it (the target after a hit, the
// spinner below the jet).
void TestCube::update(float) {}
