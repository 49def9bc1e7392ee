#include "Image.h"

#include <algorithm>
#include <cmath>
#include <iostream>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace resgen {

namespace {

constexpr int pngCompressionLevel = 4;

} // namespace

Image::Image(int width, int height, glm::vec4 fill)
    : w(width), h(height), pixels(static_cast<std::size_t>(width) * height, fill) {}

std::vector<std::uint8_t> Image::toBytes(int channels) const {
    std::vector<std::uint8_t> bytes(pixels.size() * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        for (int c = 0; c < channels; ++c) {
            const float v = std::clamp(pixels[i][c], 0.0f, 1.0f);
            bytes[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] =
                static_cast<std::uint8_t>(std::lround(v * 255.0f));
        }
    }
    return bytes;
}

bool Image::savePng(const std::filesystem::path& path, int channels) const {
    const std::vector<std::uint8_t> bytes = toBytes(channels);
    // A lighter zlib effort: the files grow by a few percent and are written twice as fast.
    stbi_write_png_compression_level = pngCompressionLevel;
    if (stbi_write_png(path.string().c_str(), w, h, channels, bytes.data(), w * channels) == 0) {
        std::cerr << "resgen: could not write " << path.string() << std::endl;
        return false;
    }
    return true;
}

Image Image::halved() const {
    const int hw = std::max(1, w / 2);
    const int hh = std::max(1, h / 2);
    Image out(hw, hh);
    for (int y = 0; y < hh; ++y) {
        for (int x = 0; x < hw; ++x) {
            const int sx = std::min(2 * x, w - 1), sx1 = std::min(2 * x + 1, w - 1);
            const int sy = std::min(2 * y, h - 1), sy1 = std::min(2 * y + 1, h - 1);
            out.at(x, y) = 0.25f * (at(sx, sy) + at(sx1, sy) + at(sx, sy1) + at(sx1, sy1));
        }
    }
    return out;
}

void Image::dilate(std::vector<std::uint8_t>& covered, int rings) {
    std::vector<std::uint8_t> next = covered;
    for (int ring = 0; ring < rings; ++ring) {
        bool changed = false;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const std::size_t i = static_cast<std::size_t>(y) * w + x;
                if (covered[i])
                    continue;
                glm::vec4 sum(0.0f);
                int count = 0;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = x + dx, ny = y + dy;
                        if (nx < 0 || ny < 0 || nx >= w || ny >= h)
                            continue;
                        if (covered[static_cast<std::size_t>(ny) * w + nx]) {
                            sum += at(nx, ny);
                            ++count;
                        }
                    }
                }
                if (count > 0) {
                    pixels[i] = sum / static_cast<float>(count);
                    next[i] = 1;
                    changed = true;
                }
            }
        }
        covered = next;
        if (!changed)
            break;
    }
}

} // namespace resgen
