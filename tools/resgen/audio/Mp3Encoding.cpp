#include "Mp3Encoding.h"

#include <lame/lame.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <vector>

namespace synth {

namespace {

constexpr int kBitRateKbps = 128;
// LAME's scale runs from 0 (best, slowest) to 9; 2 is its recommended high-quality setting.
constexpr int kEncoderQuality = 2;
constexpr std::size_t kBlockFrames = 8192;
// LAME's own bound for the output of one call: 1.25 bytes per frame plus 7200.
constexpr std::size_t outputBound(std::size_t frames) {
    return frames * 5 / 4 + 7200;
}

bool fail(const std::filesystem::path& path, const char* what) {
    std::cerr << "Audio: cannot write " << path.string() << ": " << what << std::endl;
    return false;
}

// Owns the encoder for one file so that every way out of writeMp3 closes it.
struct Encoder {
    lame_t lame = lame_init();
    ~Encoder() {
        if (lame != nullptr)
            lame_close(lame);
    }
};

} // namespace

bool writeMp3(const std::filesystem::path& path, const Signal& signal) {
    Encoder encoder;
    lame_t lame = encoder.lame;
    if (lame == nullptr)
        return fail(path, "the MP3 encoder did not start");
    lame_set_in_samplerate(lame, kSampleRateHz);
    lame_set_out_samplerate(lame, kSampleRateHz);
    lame_set_num_channels(lame, signal.channels);
    lame_set_mode(lame, signal.channels == 1 ? MONO : JOINT_STEREO);
    lame_set_VBR(lame, vbr_off);
    lame_set_brate(lame, kBitRateKbps);
    lame_set_quality(lame, kEncoderQuality);
    lame_set_bWriteVbrTag(lame, 1);
    lame_set_write_id3tag_automatic(lame, 0);
    if (lame_init_params(lame) < 0)
        return fail(path, "the MP3 encoder rejected its settings");

    std::vector<unsigned char> mp3;
    std::vector<unsigned char> block(outputBound(kBlockFrames));
    for (std::size_t first = 0; first < signal.frames(); first += kBlockFrames) {
        const int frames = static_cast<int>(std::min(kBlockFrames, signal.frames() - first));
        const float* pcm = signal.samples.data() + first * signal.channels;
        const int written =
            signal.channels == 1
                ? lame_encode_buffer_ieee_float(lame, pcm, pcm, frames, block.data(),
                                                static_cast<int>(block.size()))
                : lame_encode_buffer_interleaved_ieee_float(lame, pcm, frames, block.data(),
                                                            static_cast<int>(block.size()));
        if (written < 0)
            return fail(path, "MP3 encoding failed");
        mp3.insert(mp3.end(), block.begin(), block.begin() + written);
    }
    const int flushed = lame_encode_flush(lame, block.data(), static_cast<int>(block.size()));
    if (flushed < 0)
        return fail(path, "MP3 encoding failed");
    mp3.insert(mp3.end(), block.begin(), block.begin() + flushed);

    // The encoder reserved the first frame for the Info frame, known only now.
    std::vector<unsigned char> info(outputBound(0));
    const std::size_t infoBytes = lame_get_lametag_frame(lame, info.data(), info.size());
    if (infoBytes == 0 || infoBytes > info.size() || infoBytes > mp3.size())
        return fail(path, "the MP3 encoder produced no Info frame");
    std::copy_n(info.begin(), infoBytes, mp3.begin());

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(mp3.data()), static_cast<std::streamsize>(mp3.size()));
    out.close();
    if (!out)
        return fail(path, "the file could not be written");
    return true;
}

} // namespace synth
