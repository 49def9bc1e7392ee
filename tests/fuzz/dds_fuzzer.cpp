// Fuzzes the DDS reader: any bytes must parse or be refused without reading outside the input,
// and every level it lists must lie inside the data it kept.
#include "render/DdsImage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DdsImage image;
    const bool parsed = DdsImage::parse(data, size, image);
    if (parsed != (image.glFormat != 0))
        __builtin_trap(); // success means a known format, and only that
    if (image.data.size() > size)
        __builtin_trap(); // never more data than the file holds
    std::size_t end = 0;
    for (const DdsLevel& level : image.levels) {
        if (level.offset != end || (level.size == 0 && level.width != 0 && level.height != 0) ||
            level.size > image.data.size() - level.offset)
            __builtin_trap();
        end = level.offset + level.size;
    }
    if (image.levels.size() > image.mipMapCount)
        __builtin_trap();
    return 0;
}
