#include "PictureDifference.h"

#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

constexpr int channels = 3;
constexpr int blockSize = 8;
// The usual stabilising constants for 8-bit pictures: (0.01 * 255)^2 and (0.03 * 255)^2.
constexpr double c1 = 6.5025, c2 = 58.5225;

struct Picture {
    int width = 0, height = 0;
    std::unique_ptr<unsigned char, void (*)(void*)> rgb{nullptr, stbi_image_free};
};

Picture load(const std::filesystem::path& file) {
    Picture picture;
    int stored = 0;
    picture.rgb.reset(stbi_load(file.c_str(), &picture.width, &picture.height, &stored, channels));
    return picture;
}

std::vector<double> luminance(const Picture& picture) {
    std::vector<double> luma(size_t(picture.width) * size_t(picture.height));
    const unsigned char* p = picture.rgb.get();
    for (double& value : luma) {
        value = 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
        p += channels;
    }
    return luma;
}

} // namespace

std::optional<PictureDifference> comparePictures(const std::filesystem::path& picture,
                                                 const std::filesystem::path& reference) {
    const Picture a = load(picture), b = load(reference);
    if (!a.rgb || !b.rgb || a.width != b.width || a.height != b.height)
        return std::nullopt;
    PictureDifference difference;
    const size_t values = size_t(a.width) * size_t(a.height) * channels;
    double errorSum = 0.0;
    for (size_t i = 0; i < values; ++i)
        errorSum += std::abs(int(a.rgb.get()[i]) - int(b.rgb.get()[i]));
    difference.meanError = errorSum / double(values);

    const std::vector<double> x = luminance(a), y = luminance(b);
    double ssimSum = 0.0;
    int blocks = 0;
    for (int top = 0; top + blockSize <= a.height; top += blockSize)
        for (int left = 0; left + blockSize <= a.width; left += blockSize) {
            double mx = 0, my = 0, xx = 0, yy = 0, xy = 0;
            for (int row = top; row < top + blockSize; ++row)
                for (int column = left; column < left + blockSize; ++column) {
                    const size_t i = size_t(row) * size_t(a.width) + size_t(column);
                    mx += x[i];
                    my += y[i];
                    xx += x[i] * x[i];
                    yy += y[i] * y[i];
                    xy += x[i] * y[i];
                }
            const double n = blockSize * blockSize;
            mx /= n;
            my /= n;
            const double vx = xx / n - mx * mx, vy = yy / n - my * my, cov = xy / n - mx * my;
            ssimSum +=
                (2 * mx * my + c1) * (2 * cov + c2) / ((mx * mx + my * my + c1) * (vx + vy + c2));
            ++blocks;
        }
    difference.ssim = blocks > 0 ? ssimSum / blocks : 0.0;
    return difference;
}

bool writeJpegCopy(const std::filesystem::path& from, const std::filesystem::path& to,
                   int quality) {
    const Picture picture = load(from);
    if (!picture.rgb)
        return false;
    stbi_flip_vertically_on_write(0); // loaded top row first, as a JPEG stores it
    return stbi_write_jpg(to.c_str(), picture.width, picture.height, channels, picture.rgb.get(),
                          quality) != 0;
}
