#pragma once

#include <GL/glew.h>

#include <string>

// One OpenGL 2D texture made from an image file under the texture directory.
//
// load(name) looks the file up as textureDirectory + name. Names ending in ".DDS" (exact case)
// are read as DXT1/DXT3/DXT5 DDS files with their stored mip levels; every other name is
// decoded by DevIL and gets a generated mip chain with trilinear filtering.
//
// Outcomes callers may rely on:
//  - a file that cannot be opened (or a name that is no regular file, such as the directory
//    itself): a message naming the path, one character is read from standard input, id stays 0;
//  - an unsupported or damaged DDS file: id 0, or only the levels that were fully present and
//    that OpenGL can hold;
//  - a decoded image in a format a core context refuses (grey, palette, BGR, doubles): converted
//    to 8-bit RGBA first;
//  - a picture wider or higher than OpenGL's texture limit: a line naming it, id 0. Files are
//    measured by their header before DevIL allocates anything;
//  - a decoded image whose bytes per pixel do not match its format and type: a line naming it,
//    id 0;
//  - an image DevIL cannot decode: one line naming the file on standard error, then the
//    process exits with status -1, the line saying why. So ends a file whose structure runs
//    past its end or declares more than it holds (see ImageCheck), and one whose extension is
//    not of PNG, JPEG, BMP, TGA, DDS, GIF, TIFF, PSD, ICO/CUR, PNM, PCX, SGI or Radiance HDR:
//    DevIL only ever decodes a file that was walked first.
// The texture is left bound to GL_TEXTURE_2D on the active unit. Textures are never deleted.
class Texture {
public:
    static const char* const textureDirectory;

    GLuint load(const std::string& fileName);

    // Whether the image bound in DevIL holds as many bytes per pixel as its format and type
    // say. DevIL's decoders do not always keep to it (a damaged 16-bit TGA comes back as BGR of
    // two bytes a pixel), and the upload would then read past the end of the pixels.
    static bool decodedLayoutConsistent();

    GLuint id = 0;
};
