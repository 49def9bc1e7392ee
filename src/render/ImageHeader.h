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
    // TGA, BMP, JPEG and DDS, in any case. Returns false when the extension is another one or
    // the bytes end before the size.
    static bool read(const std::string& fileName, const std::uint8_t* bytes, std::size_t length,
                     ImageHeader& out);

    // Whether the extension names a format the game hands to DevIL: PNG, TGA, BMP, JPEG, and
    // DDS when not named ".DDS" exactly. DevIL's other decoders are never given a file.
    static bool handedToDevil(const std::string& fileName);

    // Whether the bytes (the whole file) hold, within their length, every structure that their
    // headers declare, so that DevIL's decoder ends in time and memory bound by the file and the
    // decoded picture. DevIL's readers trust declared lengths: libpng reads a chunk for as long
    // as its length says, the JPEG reader loops for ever once the data ends early, the BMP and
    // TGA readers allocate whatever palette or picture is announced. So:
    //  - PNG: IHDR first, every chunk with its 12 bytes of framing inside the file, up to IEND,
    //    and enough compressed data for the rows IHDR declares;
    //  - JPEG: every segment and scan inside the file, up to the end marker;
    //  - TGA: a known image type, the image ID, the colour map (at most 32767 entries) and the
    //    least pixel data the picture needs inside the file;
    //  - BMP: a known info header, at most 2^bits palette colours, palette and pixel data inside
    //    the file;
    //  - DDS: a flat DXT1, DXT3 or DXT5 picture with every declared level inside the file.
    // False for every other extension.
    static bool decodable(const std::string& fileName, const std::uint8_t* bytes,
                          std::size_t length);
};
