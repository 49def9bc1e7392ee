#pragma once

#include "Signal.h"

#include <filesystem>

namespace synth {

// Encodes a mono or stereo signal (full scale 1.0) as a constant-bit-rate MP3 file and writes
// it to `path`. The file carries an "Info" frame with the encoder's start-up delay and end
// padding, which lets the decoder return exactly the frames that went in: without it every
// decoder prepends about 25 ms of silence and appends up to a frame more, and a looped track
// would stutter at its loop point. Nothing time- or machine-dependent (no ID3 tag) goes into
// the file. Returns false after a message on standard error.
bool writeMp3(const std::filesystem::path& path, const Signal& signal);

} // namespace synth
