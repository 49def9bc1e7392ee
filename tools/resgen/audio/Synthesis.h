#pragma once

#include "Signal.h"

namespace synth {

// The background music: a calm piece in A minor at 90 beats per minute, sixteen bars of pad
// chords, a bell arpeggio and a bass line, with light percussion in its second half. Stereo,
// about 42.7 s, and circular: every note and echo that rings past the end is already sounding
// at the start, so the track loops without a seam.
Signal renderMusic();

// A rocket launch, mono, 1.1 s: an ignition thump under a hissing roar whose pitch sweeps up
// as the motor lights and falls away as the rocket leaves.
Signal renderRocket();

// An explosion, mono, 2 s: a deep falling boom, a noise blast that darkens as it decays, and
// scattered crackle of debris.
Signal renderExplosion();

} // namespace synth
