// DDS parsing (no OpenGL) and texture loading under a real context: DXT uploads level by level,
// DevIL images with their mip chain, and the failure paths.
#include "TestSupport.h"

#include "render/DdsImage.h"
#include "render/Texture.h"

#include <GL/glew.h>
#include <IL/il.h>
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

constexpr std::uint32_t dxt1 = 0x31545844, dxt2 = 0x32545844, dxt3 = 0x33545844, dxt5 = 0x35545844;

void put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// A DDS file: magic, a header that other readers (DevIL) accept too, then `dataBytes` bytes of
// block data.
std::string makeDds(std::uint32_t fourCc, std::uint32_t width, std::uint32_t height,
                    std::uint32_t linearSize, std::uint32_t mipMapCount, std::size_t dataBytes) {
    std::string bytes(128 + dataBytes, '\0');
    std::memcpy(bytes.data(), "DDS ", 4);
    put32(bytes, 4, 124);
    put32(bytes, 8, 0x000A1007); // caps, height, width, pixel format, mip count, linear size
    put32(bytes, 76, 32);        // pixel-format size
    put32(bytes, 80, 0x4);       // the FourCC is valid
    put32(bytes, 108, 0x1000);   // a texture
    put32(bytes, 12, height);
    put32(bytes, 16, width);
    put32(bytes, 20, linearSize);
    put32(bytes, 28, mipMapCount);
    put32(bytes, 84, fourCc);
    for (std::size_t i = 128; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7);
    return bytes;
}

DdsImage parsed(const std::string& bytes, bool expectOk = true) {
    DdsImage image;
    EXPECT_EQ(
        DdsImage::parse(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), image),
        expectOk);
    return image;
}

std::vector<std::size_t> levelSizes(const DdsImage& image) {
    std::vector<std::size_t> sizes;
    std::size_t offset = 0;
    for (const DdsLevel& level : image.levels) {
        EXPECT_EQ(level.offset, offset) << "levels lie back to back";
        EXPECT_LE(level.offset + level.size, image.data.size()) << "a level past the data read";
        offset += level.size;
        sizes.push_back(level.size);
    }
    return sizes;
}

const std::vector<std::size_t> dxt5Chain256 = {65536, 16384, 4096, 1024, 256, 64, 16, 16, 16, 16};

} // namespace

// DdsImage::parse

TEST(DdsParse, FullChainListsEveryLevelDownToOnePixelAndShortFilesWhatTheyHold) {
    DdsImage image = parsed(makeDds(dxt5, 256, 256, 65536, 10, 2 * 65536));
    EXPECT_EQ(image.glFormat, 0x83F3u);
    EXPECT_EQ(image.data.size(), 2u * 65536);
    EXPECT_EQ(levelSizes(image), dxt5Chain256);
    ASSERT_EQ(image.levels.size(), 10u);
    EXPECT_EQ(image.levels[1].width, 128u);
    EXPECT_EQ(image.levels[9].width * image.levels[9].height, 1u);

    // A short file keeps only the levels it holds: two full ones and part of the third here;
    // level 0 itself cut short leaves nothing at all.
    image = parsed(makeDds(dxt5, 256, 256, 65536, 10, 65536 + 16384 + 100));
    EXPECT_EQ(image.data.size(), 65536u + 16384 + 100);
    EXPECT_EQ(levelSizes(image), (std::vector<std::size_t>{65536, 16384}));
    EXPECT_TRUE(parsed(makeDds(dxt1, 256, 256, 32768, 1, 100)).levels.empty());
}

TEST(DdsParse, FormatAndLevelCountDecideBlockSizeAndData) {
    // DXT1 blocks are 8 bytes, DXT3 16; partial blocks round up.
    EXPECT_EQ(levelSizes(parsed(makeDds(dxt1, 8, 8, 32, 1, 32))), std::vector<std::size_t>{32});
    EXPECT_EQ(parsed(makeDds(dxt1, 8, 8, 32, 1, 32)).glFormat, 0x83F1u);
    EXPECT_EQ(levelSizes(parsed(makeDds(dxt3, 8, 8, 64, 1, 64))), std::vector<std::size_t>{64});
    EXPECT_EQ(parsed(makeDds(dxt3, 8, 8, 64, 1, 64)).glFormat, 0x83F2u);
    EXPECT_EQ(levelSizes(parsed(makeDds(dxt1, 5, 3, 16, 1, 16))), std::vector<std::size_t>{16});

    // One level takes exactly the linear size, a chain twice that, whatever else follows.
    EXPECT_EQ(parsed(makeDds(dxt5, 16, 16, 256, 1, 1000)).data.size(), 256u);
    EXPECT_EQ(parsed(makeDds(dxt5, 16, 16, 256, 2, 1000)).data.size(), 512u);
    // No levels to upload, yet a valid file.
    EXPECT_TRUE(parsed(makeDds(dxt5, 16, 16, 256, 0, 256)).levels.empty());
    EXPECT_TRUE(parsed(makeDds(dxt5, 0, 0, 256, 3, 512)).levels.empty());

    // Unknown formats and incomplete headers are refused.
    EXPECT_EQ(parsed(makeDds(dxt2, 8, 8, 64, 1, 64), false).glFormat, 0u);
    const std::string header = makeDds(dxt5, 8, 8, 64, 1, 0);
    parsed(header.substr(0, 127), false);
    parsed("", false);
    DdsImage image;
    EXPECT_FALSE(DdsImage::parse(nullptr, 500, image));
}

TEST(DdsParse, HugeHeaderValuesNeverReachBeyondTheFile) {
    for (std::uint32_t huge : {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFDu}) {
        DdsImage image = parsed(makeDds(dxt5, huge, huge, huge, huge, 4096));
        EXPECT_LE(image.data.size(), 4096u);
        EXPECT_TRUE(image.levels.empty());
        // Thin but very long: first level fits, the chain keeps halving the long side.
        image = parsed(makeDds(dxt1, huge, 1, 64, huge, 4096));
        levelSizes(image);
    }
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
        {"chain.DDS", makeDds(dxt5, 256, 256, 65536, 10, 2 * 65536),
         GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, dxt5Chain256},
        {"a.DDS", makeDds(dxt1, 8, 8, 32, 2, 64), GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, {32, 8}},
        {"b.DDS", makeDds(dxt3, 8, 8, 64, 1, 64), GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, {64}},
        // The level cut short, and every one after it, is left out.
        {"cut.DDS",
         makeDds(dxt5, 256, 256, 65536, 10, 65536 + 16384 + 100),
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
    writeTexture("dxt2.DDS", makeDds(dxt2, 8, 8, 64, 1, 64));
    writeTexture("short.DDS", "DDS |");
    EXPECT_EQ(Texture().load("dxt2.DDS"), 0u);
    EXPECT_EQ(Texture().load("short.DDS"), 0u);
}

TEST_F(TextureLoad, LowerCaseDdsAndOtherImagesGoThroughDevilWithTrilinearMipChain) {
    writeTexture("chain.dds", makeDds(dxt5, 16, 16, 256, 1, 256));
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

TEST(TextureLoadDeath, UndecodableImageNamesTheFileAndExitsWithMinusOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    if (!ensureGlContext())
        GTEST_SKIP() << "no display for an OpenGL context";
    // The child re-runs this test; a fixed directory keeps it from leaving copies behind.
    const fs::path dir = binaryDir() / "render-test-data" / "undecodable";
    fs::remove_all(dir);
    writeFile(dir / "Resources/textures/broken.png", "this is not a picture");
    ScopedWorkingDirectory cwd(dir);
    ilInit();
    EXPECT_EXIT(Texture().load("broken.png"), ::testing::ExitedWithCode(255),
                "Resources/textures/broken.png");
}
