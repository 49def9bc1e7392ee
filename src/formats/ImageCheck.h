#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The image formats a texture may use, as DevIL chooses its decoder: by the file name's
// extension, in any case. Other marks every extension the game does not read (DevIL's rare game
// and scientific formats among them).
enum class ImageFormat { Other, Png, Jpeg, Bmp, Tga, Dds, Gif, Tiff, Psd, Ico, Pnm, Pcx, Sgi, Hdr };

// What the texture loader learns of an image file before DevIL sees it: its format, the pixel
// size its header declares, and whether DevIL's reader comes back from it.
//
// DevIL allocates the whole declared picture before it decodes a single row, so a few bytes
// claiming 65535 x 65535 pixels cost gigabytes and minutes before the texture upload could
// refuse them; and its readers trust the lengths, offsets and counts a file declares, reading
// past its end, looping or allocating without bound on a damaged one. Each format's walk
// (src/formats/*Walk.cpp) checks exactly what its reader trusts. Free of OpenGL and DevIL, so it
// can be tested and fuzzed alone.
struct ImageCheck {
    ImageFormat format = ImageFormat::Other;
    // The first picture's size as declared; sizeKnown is false when the header ends before it.
    bool sizeKnown = false;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // Pixels of every picture the file holds (frames, directories, icon entries), as DevIL
    // allocates them all.
    std::uint64_t totalPixels = 0;
    // Whether every structure DevIL reads lies inside the file and within the bound; when not,
    // what is wrong, in a few words.
    bool decodable = false;
    std::string reason;
    // Refused for its pictures together being larger than any texture: the same cause as one
    // picture too large, so the same answer (left out), not a damaged structure.
    bool tooLarge = false;
    // Steps the walk took (rows, strips, entries, chunks looked at): no more than a few for each
    // byte of the file, whatever its tables point at.
    std::uint64_t work = 0;

    // bytes: the whole file. The name only chooses the format.
    static ImageCheck examine(const std::string& fileName, const std::uint8_t* bytes,
                              std::size_t length);
};
