// DDS files through the game's own reader and upload, and DevIL images with their mip chain,
// under a real context. (A file that does not decode is the damaged-data matrix's.)
#include "TestSupport.h"

#include "render/DdsImage.h"
#include "render/Texture.h"

#include <GL/glew.h>
#include <IL/il.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

class TextureLoad : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ensureGlContext())
            GTEST_SKIP() << "no display for an OpenGL context";
        ilInit();
        cwd.emplace(dir.path());
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    }

    void writeTexture(const std::string& name, const std::string& content) {
        writeFile(dir.path() / "Resources/textures" / name, content);
    }

    static GLint levelParameter(GLint level, GLenum name) {
        GLint value = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
        return value;
    }

    static GLint parameter(GLenum name) {
        GLint value = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
        return value;
    }

    TempDir dir;
    std::optional<ScopedWorkingDirectory> cwd;
};

} // namespace

// The reader lists the levels back to back inside the data it keeps, and keeps no more than
// the file holds, whatever the header says; the upload gives each listed level, in the file's
// format, and no other. A file the reader refuses gives no texture.
TEST_F(TextureLoad, DdsGivesTheLevelsTheFileHoldsAndNothingBeyondIt) {
    const std::vector<std::size_t> dxt5Chain256{65536, 16384, 4096, 1024, 256, 64, 16, 16, 16, 16};
    constexpr std::uint32_t huge[] = {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFDu};
    const struct {
        std::string bytes;
        GLint format; // 0: refused
        std::vector<std::size_t> levels;
    } cases[] = {
        // A full chain down to 1 x 1; partial blocks round up to whole 16-byte blocks.
        {ddsFile(dxt5, 256, 256, 65536, 10, 2 * 65536), GL_COMPRESSED_RGBA_S3TC_DXT5_EXT,
         dxt5Chain256},
        // A short file keeps the levels it holds whole; level 0 cut short leaves none.
        {ddsFile(dxt5, 256, 256, 65536, 10, 65536 + 16384 + 100),
         GL_COMPRESSED_RGBA_S3TC_DXT5_EXT,
         {65536, 16384}},
        {ddsFile(dxt1, 256, 256, 32768, 1, 100), GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, {}},
        {ddsFile(dxt1, 8, 8, 32, 1, 24), GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, {}}, // a block short
        // DXT1 blocks are 8 bytes, DXT3 16; partial blocks round up.
        {ddsFile(dxt1, 5, 3, 16, 1, 16), GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, {16}},
        {ddsFile(dxt1, 8, 8, 32, 2, 64), GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, {32, 8}},
        {ddsFile(dxt3, 8, 8, 64, 1, 64), GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, {64}},
        // One level takes exactly the linear size, a chain twice that, whatever else follows.
        {ddsFile(dxt5, 16, 16, 256, 1, 1000), GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, {256}},
        {ddsFile(dxt5, 16, 16, 256, 2, 1000), GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, {256, 64}},
        // No levels to upload, yet a valid file.
        {ddsFile(dxt5, 16, 16, 256, 0, 256), GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, {}},
        {ddsFile(dxt5, 0, 0, 256, 3, 512), GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, {}},
        // Huge header values never reach beyond the file.
        {ddsFile(dxt5, huge[0], huge[0], huge[0], huge[0], 4096),
         GL_COMPRESSED_RGBA_S3TC_DXT5_EXT,
         {}},
        {ddsFile(dxt5, huge[1], huge[1], huge[1], huge[1], 4096),
         GL_COMPRESSED_RGBA_S3TC_DXT5_EXT,
         {}},
        {ddsFile(dxt5, huge[2], huge[2], huge[2], huge[2], 4096),
         GL_COMPRESSED_RGBA_S3TC_DXT5_EXT,
         {}},
        // Unknown formats and incomplete headers are refused.
        {ddsFile(dxt2, 8, 8, 64, 1, 64), 0, {}},
        {ddsFile(dxt5, 8, 8, 64, 1, 0).substr(0, 127), 0, {}},
        {"DDS |", 0, {}},
        {"", 0, {}},
    };
    for (std::size_t row = 0; row < std::size(cases); ++row) {
        const auto& c = cases[row];
        SCOPED_TRACE("row " + std::to_string(row));
        DdsImage image;
        ASSERT_EQ(DdsImage::parse(reinterpret_cast<const std::uint8_t*>(c.bytes.data()),
                                  c.bytes.size(), image),
                  c.format != 0);
        writeTexture("a.DDS", c.bytes);
        const GLuint texture = Texture().load("a.DDS");
        if (c.format == 0) {
            EXPECT_EQ(texture, 0u);
            continue;
        }
        EXPECT_EQ(image.glFormat, static_cast<unsigned>(c.format));
        EXPECT_LE(image.data.size(), c.bytes.size() - 128);
        std::size_t offset = 0;
        for (std::size_t level = 0; level < image.levels.size(); ++level) {
            EXPECT_EQ(image.levels[level].offset, offset) << "levels lie back to back";
            offset += image.levels[level].size;
            ASSERT_LT(level, c.levels.size());
            EXPECT_EQ(image.levels[level].size, c.levels[level]) << "level " << level;
            const GLint uploaded = static_cast<GLint>(level);
            EXPECT_EQ(levelParameter(uploaded, GL_TEXTURE_INTERNAL_FORMAT), c.format);
            EXPECT_EQ(levelParameter(uploaded, GL_TEXTURE_COMPRESSED_IMAGE_SIZE),
                      static_cast<GLint>(c.levels[level]));
        }
        EXPECT_EQ(image.levels.size(), c.levels.size());
        EXPECT_LE(offset, image.data.size()) << "a level past the data read";
        ASSERT_NE(texture, 0u);
        EXPECT_EQ(levelParameter(static_cast<GLint>(c.levels.size()), GL_TEXTURE_WIDTH), 0);
    }
    DdsImage image;
    EXPECT_FALSE(DdsImage::parse(nullptr, 500, image));
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 1);
    // No filtering is chosen for DDS: OpenGL's default stays.
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_NEAREST_MIPMAP_LINEAR);
    writeTexture("a.DDS", cases[0].bytes);
    EXPECT_NE(Texture().load("a.DDS"), Texture().load("a.DDS"))
        << "no cache: every load makes its own texture";
}

// A texture holds at most log2(largest edge) + 1 levels; a level 0 wider than the largest edge
// leaves the texture empty. Neither is an OpenGL error.
TEST_F(TextureLoad, DdsLevelsBeyondWhatOpenGLHoldsAreLeftOut) {
    GLint maxEdge = 0, lastLevel = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxEdge);
    for (GLint edge = maxEdge; edge > 1; edge /= 2)
        ++lastLevel;
    constexpr std::uint32_t levels = 20, dxt1Block = 8; // twenty 1 x 1 levels, bytes
    const std::uint32_t wide = static_cast<std::uint32_t>(maxEdge) * 2;
    writeTexture("deep.DDS",
                 ddsFile(dxt1, 1, 1, levels * dxt1Block / 2, levels, levels * dxt1Block));
    writeTexture("wide.DDS", ddsFile(dxt1, wide, 4, wide / 4 * dxt1Block, 1, wide / 4 * dxt1Block));
    while (glGetError() != GL_NO_ERROR) {
    }
    ASSERT_NE(Texture().load("deep.DDS"), 0u);
    EXPECT_EQ(levelParameter(lastLevel, GL_TEXTURE_WIDTH), 1) << "every level OpenGL holds";
    ASSERT_NE(Texture().load("wide.DDS"), 0u);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_WIDTH), 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureLoad, LowerCaseDdsAndOtherImagesGoThroughDevilWithTrilinearMipChain) {
    writeTexture("chain.dds", ddsFile(dxt5, 16, 16, 256, 1, 256));
    Texture viaDevil;
    ASSERT_NE(viaDevil.load("chain.dds"), 0u);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_COMPRESSED), GL_FALSE) << "decoded, not stored";

    // An RGB image of odd width: rows are tightly packed, whatever the unpack alignment was.
    const std::vector<unsigned char> topRowFirst = {255, 0, 0, 0,  255, 0,  0,   0, 255,
                                                    9,   9, 9, 80, 80,  80, 200, 1, 2};
    ASSERT_TRUE(writePng(dir.path() / "Resources/textures/lightm.png", 3, 2, topRowFirst));
    Texture lightMap;
    ASSERT_NE(lightMap.load("lightm.png"), 0u);
    EXPECT_EQ(parameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(levelParameter(1, GL_TEXTURE_WIDTH), 1);
    EXPECT_EQ(levelParameter(1, GL_TEXTURE_HEIGHT), 1);
    std::vector<unsigned char> texels(3 * 2 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    // DevIL delivers the image's top row first and no flip is applied: texture row 0 (the
    // bottom in OpenGL's terms) is the picture's top row; flipped texture coordinates make up
    // for it.
    EXPECT_EQ(texels, topRowFirst);
}
