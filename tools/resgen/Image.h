#pragma once

#include <glm/glm.hpp>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace resgen {

// A linear RGBA picture in floats, row 0 at the top (the first row a PNG stores and the first
// row the game uploads, which a model's texture coordinate v = 1 addresses).
class Image {
public:
    Image() = default;
    Image(int width, int height, glm::vec4 fill = glm::vec4(0.0f, 0.0f, 0.0f, 1.0f));

    int width() const { return w; }
    int height() const { return h; }
    glm::vec4& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * w + x]; }
    const glm::vec4& at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * w + x]; }

    // 8-bit sRGB-free quantisation (values are already display values), rounded, clamped.
    std::vector<std::uint8_t> toBytes(int channels) const;
    // Writes an RGB (or RGBA) PNG; false with a message on standard error when it fails.
    bool savePng(const std::filesystem::path& path, int channels = 3) const;

    // Half-size box-filtered copy (at least 1 x 1), for mip chains.
    Image halved() const;

    // Fills every pixel that `covered` does not mark with the value of the nearest covered pixel
    // (grown ring by ring), so that filtering across a chart's border never reads the empty
    // background. `covered` has width x height entries and is updated.
    void dilate(std::vector<std::uint8_t>& covered, int rings);

private:
    int w = 0;
    int h = 0;
    std::vector<glm::vec4> pixels;
};

} // namespace resgen
