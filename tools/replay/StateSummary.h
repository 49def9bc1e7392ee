#pragma once

#include "ReplayObserver.h"

#include <string>

class Zephrane;

// The game's state after its last frame as a small JSON document: score, level, clock,
// game over, the player's jet (position, speed, view), rockets in flight, the target's place,
// the camera in use, the last frame's component count and the engine's switches. Numbers are
// written in the shortest form that reads back to the same float, so two runs that agree bit
// for bit give the same bytes.
std::string stateSummaryJson(Zephrane& game, const ReplayObserver& observer);
