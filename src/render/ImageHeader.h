#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What the texture loader reads of an image file before DevIL sees it: the pixel size its
// header declares, and whether its structure is one DevIL's decoder comes back from.
//
// DevIL allocates the whole declared picture before it decodes a single row, so a few bytes
// claiming 65535 x 65535 pixels cost gigabytes and minutes before the texture upload could
// refuse them; and some of its readers loop for ever or allocate gigabytes on damaged files.
// Free of OpenGL and DevIL, so it can be tested and fuzzed alone.
struct ImageHeader {
    std::uint32_t width = 0;
    std::uint32_t height = 0;

    // bytes: the start of the file (the whole file, or at least its first few kilobytes).
    // The format is chosen by the file name's extension, as DevIL chooses its decoder: PNG,
    // TGA, BMP and JPEG, in any case. Returns false when the extension is another one or the
    // bytes end before the size.
    static bool read(const std::string& fileName, const std::uint8_t* bytes, std::size_t length,
                     ImageHeader& out);

    // False when DevIL's decoder would not come back from these bytes (the whole file) in
    // reasonable time and memory: its JPEG reader loops for ever once the data ends early, so a
    // JPEG must hold every segment and scan it announces, up to its end marker; its BMP and TGA
    // readers allocate whatever palette is announced, so a palette BMP may list at most 2^bits
    // colours and a TGA's colour map (at most 32767 entries) must lie inside the file. Files of
    // other formats are not examined.
    static bool decodable(const std::string& fileName, const std::uint8_t* bytes,
                          std::size_t length);
};
