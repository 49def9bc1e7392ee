#pragma once

#include <filesystem>
#include <optional>

// How far one picture is from another of the same size: the mean absolute difference over
// every channel of every pixel (0 to 255), and the mean structural similarity of the two
// luminance pictures over 8 x 8 blocks (1 for the same picture, near 0 for unrelated ones).
struct PictureDifference {
    double meanError = 0.0;
    double ssim = 0.0;
};

// Reads both files (PNG or JPEG); nothing when either does not decode or their sizes differ.
std::optional<PictureDifference> comparePictures(const std::filesystem::path& picture,
                                                 const std::filesystem::path& reference);

// Writes a picture file again as a JPEG of the given quality (1 to 100); false on failure.
bool writeJpegCopy(const std::filesystem::path& from, const std::filesystem::path& to, int quality);
