// DDS parsing (no OpenGL) and texture loading under a real context: DXT uploads level by level,
// DevIL images with their mip chain. (A file that does not decode is the damaged-data matrix's.)
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

const std::vector<std::size_t> dxt5Chain256 = {65536, 16384, 4096, 1024, 256, 64, 16, 16, 16, 16};
constexpr std::uint32_t huge[] = {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFDu};

} // namespace

// DdsImage::parse: the levels it lists lie back to back inside the data it keeps, and the data
// it keeps lies inside the file, whatever the header says.
TEST(DdsParse, ListsTheLevelsTheFileHoldsAndNothingBeyondIt) {
    const struct {
        std::string bytes;
        bool accepted;
        unsigned glFormat;
        std::size_t dataSize;
        std::vector<std::size_t> levels;
    } cases[] = {
        // A full chain down to 1 x 1; partial blocks round up to whole 16-byte blocks.
        {ddsFile(dxt5, 256, 256, 65536, 10, 2 * 65536), true, 0x83F3, 2 * 65536, dxt5Chain256},
        // A short file keeps the levels it holds whole; level 0 cut short leaves none.
        {ddsFile(dxt5, 256, 256, 65536, 10, 65536 + 16384 + 100),
         true,
         0x83F3,
         65536 + 16384 + 100,
         {65536, 16384}},
        {ddsFile(dxt1, 256, 256, 32768, 1, 100), true, 0x83F1, 100, {}},
        // DXT1 blocks are 8 bytes, DXT3 16; partial blocks round up.
        {ddsFile(dxt1, 5, 3, 16, 1, 16), true, 0x83F1, 16, {16}},
        {ddsFile(dxt3, 8, 8, 64, 1, 64), true, 0x83F2, 64, {64}},
        // One level takes exactly the linear size, a chain twice that, whatever else follows.
        {ddsFile(dxt5, 16, 16, 256, 1, 1000), true, 0x83F3, 256, {256}},
        {ddsFile(dxt5, 16, 16, 256, 2, 1000), true, 0x83F3, 512, {256, 64}},
        // No levels to upload, yet a valid file.
        {ddsFile(dxt5, 16, 16, 256, 0, 256), true, 0x83F3, 256, {}},
        {ddsFile(dxt5, 0, 0, 256, 3, 512), true, 0x83F3, 512, {}},
        // Huge header values never reach beyond the file.
        {ddsFile(dxt5, huge[0], huge[0], huge[0], huge[0], 4096), true, 0x83F3, 4096, {}},
        {ddsFile(dxt5, huge[1], huge[1], huge[1], huge[1], 4096), true, 0x83F3, 4096, {}},
        {ddsFile(dxt5, huge[2], huge[2], huge[2], huge[2], 4096), true, 0x83F3, 4096, {}},
        // Unknown formats and incomplete headers are refused.
        {ddsFile(dxt2, 8, 8, 64, 1, 64), false, 0, 0, {}},
        {ddsFile(dxt5, 8, 8, 64, 1, 0).substr(0, 127), false, 0, 0, {}},
        {"", false, 0, 0, {}},
    };
    for (std::size_t row = 0; row < std::size(cases); ++row) {
        const auto& c = cases[row];
        SCOPED_TRACE("row " + std::to_string(row));
        DdsImage image;
        ASSERT_EQ(DdsImage::parse(reinterpret_cast<const std::uint8_t*>(c.bytes.data()),
                                  c.bytes.size(), image),
                  c.accepted);
        if (!c.accepted)
            continue;
        EXPECT_EQ(image.glFormat, c.glFormat);
        EXPECT_LE(image.data.size(), c.bytes.size() - 128);
        std::vector<std::size_t> sizes;
        std::size_t offset = 0;
        for (const DdsLevel& level : image.levels) {
            EXPECT_EQ(level.offset, offset) << "levels lie back to back";
            offset += level.size;
            sizes.push_back(level.size);
        }
        EXPECT_LE(offset, image.data.size()) << "a level past the data read";
        EXPECT_EQ(image.data.size(), c.dataSize);
        EXPECT_EQ(sizes, c.levels);
    }
    DdsImage image;
    EXPECT_FALSE(DdsImage::parse(nullptr, 500, image));
}

// Texture::load under OpenGL

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

TEST_F(TextureLoad, DdsIsUploadedWithItsStoredLevelsAndRefusedFilesGiveNone) {
    const struct {
        const char* name;
        std::string bytes;
        GLint format;
        std::vector<std::size_t> levels;
    } uploads[] = {
        {"chain.DDS", ddsFile(dxt5, 256, 256, 65536, 10, 2 * 65536),
         GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, dxt5Chain256},
        {"a.DDS", ddsFile(dxt1, 8, 8, 32, 2, 64), GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, {32, 8}},
        {"b.DDS", ddsFile(dxt3, 8, 8, 64, 1, 64), GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, {64}},
        // The level cut short, and every one after it, is left out.
        {"cut.DDS",
         ddsFile(dxt5, 256, 256, 65536, 10, 65536 + 16384 + 100),
         GL_COMPRESSED_RGBA_S3TC_DXT5_EXT,
         {65536, 16384}},
    };
    for (const auto& upload : uploads) {
        SCOPED_TRACE(upload.name);
        writeTexture(upload.name, upload.bytes);
        ASSERT_NE(Texture().load(upload.name), 0u);
        const GLint count = static_cast<GLint>(upload.levels.size());
        for (GLint level = 0; level < count; ++level) {
            EXPECT_EQ(levelParameter(level, GL_TEXTURE_INTERNAL_FORMAT), upload.format);
            EXPECT_EQ(levelParameter(level, GL_TEXTURE_COMPRESSED_IMAGE_SIZE),
                      static_cast<GLint>(upload.levels[static_cast<std::size_t>(level)]))
                << "level " << level;
        }
        EXPECT_EQ(levelParameter(count, GL_TEXTURE_WIDTH), 0);
    }
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 1);
    // No filtering is chosen for DDS: OpenGL's default stays.
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_NEAREST_MIPMAP_LINEAR);
    EXPECT_NE(Texture().load("chain.DDS"), Texture().load("chain.DDS"))
        << "no cache: every load makes its own texture";

    // What the parser refuses gives no texture.
    writeTexture("dxt2.DDS", ddsFile(dxt2, 8, 8, 64, 1, 64));
    writeTexture("short.DDS", "DDS |");
    EXPECT_EQ(Texture().load("dxt2.DDS"), 0u);
    EXPECT_EQ(Texture().load("short.DDS"), 0u);
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
