#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What model loading checks of a model file before Assimp sees it: the structures whose
// declared sizes Assimp trusts without bound.
//
// Assimp's FBX reader allocates and zero-fills every array as large as its element count says
// (up to four gigabytes) before it looks at the data behind it, so a file of a hundred bytes
// can cost seconds and gigabytes; its ASCII reader reserves room for the count an array
// announces in the same way. OBJ and 3DS files carry no such counts (3DS counts are 16-bit),
// and are not examined. Free of Assimp and OpenGL, so it can be tested and fuzzed alone.
struct ModelBounds {
    // bytes: the whole file. False, with the reason, when a binary FBX (known by its magic,
    // whatever the name) has a node or property outside its parent or the file, or an array
    // whose elements could not come from the data behind it (stored: exactly; deflated: at most
    // 1032 times as many bytes); or when an FBX file in text announces an array with more
    // elements than the file has bytes.
    static bool check(const std::string& fileName, const std::uint8_t* bytes, std::size_t length,
                      std::string& reason);

    // check on the file at path, read whole. A file that cannot be read passes: Assimp reports
    // it.
    static bool checkFile(const std::string& path, std::string& reason);
};
