#pragma once

// What the format walks share: bounded reads of the file's bytes, and the walks themselves.
#include "formats/ImageCheck.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace formats {

// Every picture of a file together, in pixels: DevIL allocates all frames, directories and icon
// entries it finds, and the largest texture edge OpenGL implementations offer is 16384.
constexpr std::uint64_t largestTotalPixels = std::uint64_t{16384} * 16384;

// The file's bytes with reads that never pass its end: a read outside gives 0 and marks the
// view short, so a walk reads on and asks once whether everything was there.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t length) : data(data), length(length) {}

    std::size_t size() const { return length; }
    const std::uint8_t* at(std::size_t offset) const { return data + offset; }
    // Whether [offset, offset + count) lies inside the file. Inlined into every read: no file
    // takes the false outcomes of a read inside a range checked before, nor any outcome of the
    // copies of be16 and le16 that the linker drops for another object file's.
    bool holds(std::uint64_t offset, std::uint64_t count) const {
        return offset <= length && count <= length - offset;
    }
    std::uint32_t u8(std::size_t offset) const { return holds(offset, 1) ? data[offset] : 0; }
    std::uint32_t be16(std::size_t offset) const { return u8(offset) << 8 | u8(offset + 1); }
    std::uint32_t le16(std::size_t offset) const { return u8(offset + 1) << 8 | u8(offset); }
    std::uint32_t be32(std::size_t offset) const { return be16(offset) << 16 | be16(offset + 2); }
    std::uint32_t le32(std::size_t offset) const { return le16(offset + 2) << 16 | le16(offset); }
    std::uint64_t le64(std::size_t offset) const {
        return std::uint64_t{le32(offset + 4)} << 32 | le32(offset);
    }
    bool startsWith(std::size_t offset, const char* text, std::size_t count) const;

private:
    const std::uint8_t* data;
    std::size_t length;
};

// The work a walk may do: a sound file's tables take bytes of their own for every row, strip or
// entry they list, and the walks look at each once (or once for all that share the same data),
// so they stay well inside; tables pointing into the same data in ever other ways would make the
// work grow with the square of the file's size.
constexpr std::uint64_t stepsPerByte = 2;
constexpr std::uint64_t baseSteps = 4096;
constexpr const char* overspentReason = "tables that point into the same data over and over";

// Counts `steps` more of the walk's work; false once it passes the file's budget.
bool spend(const Bytes& file, ImageCheck& check, std::uint64_t steps);
// Records the declared size of the first picture.
void declareSize(ImageCheck& check, std::uint32_t width, std::uint32_t height);
// Refuses with the reason; returns false so a walk can `return refuse(...)`.
bool refuse(ImageCheck& check, const std::string& reason);

// One walk per format: true when DevIL's reader stays inside the file and the bound; fills the
// declared size as soon as it is read, and the reason when refused.
bool walkPng(const Bytes& file, ImageCheck& check);
bool walkJpeg(const Bytes& file, ImageCheck& check);
bool walkBmp(const Bytes& file, ImageCheck& check);
bool walkTga(const Bytes& file, ImageCheck& check);
bool walkDds(const Bytes& file, ImageCheck& check);
bool walkGif(const Bytes& file, ImageCheck& check);
bool walkTiff(const Bytes& file, ImageCheck& check);
bool walkPsd(const Bytes& file, ImageCheck& check);
bool walkIco(const Bytes& file, ImageCheck& check);
bool walkPnm(const Bytes& file, ImageCheck& check);
bool walkPcx(const Bytes& file, ImageCheck& check);
bool walkSgi(const Bytes& file, ImageCheck& check);
bool walkHdr(const Bytes& file, ImageCheck& check);

} // namespace formats
