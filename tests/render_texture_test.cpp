// DDS parsing (no OpenGL) and texture loading under a real context: DXT uploads level by level,
// DevIL images with their mip chain, and the failure paths.
#include "TestSupport.h"

#include "render/DdsImage.h"
#include "render/Texture.h"

#include <GL/glew.h>
#include <IL/il.h>
#include <gtest/gtest.h>

#include <cstdio>
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

// ---------------------------------------------------------------------------------------------
// DdsImage::parse

TEST(DdsParse, FullDxt5ChainListsEveryLevelDownToOnePixel) {
    DdsImage image = parsed(makeDds(dxt5, 256, 256, 65536, 10, 2 * 65536));
    EXPECT_EQ(image.glFormat, 0x83F3u);
    EXPECT_EQ(image.data.size(), 2u * 65536);
    EXPECT_EQ(levelSizes(image), dxt5Chain256);
    ASSERT_EQ(image.levels.size(), 10u);
    EXPECT_EQ(image.levels[1].width, 128u);
    EXPECT_EQ(image.levels[9].width * image.levels[9].height, 1u);
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

TEST(DdsParse, ShortFilesKeepOnlyTheLevelsTheyHold) {
    // Two full levels and part of the third.
    DdsImage image = parsed(makeDds(dxt5, 256, 256, 65536, 10, 65536 + 16384 + 100));
    EXPECT_EQ(image.data.size(), 65536u + 16384 + 100);
    EXPECT_EQ(levelSizes(image), (std::vector<std::size_t>{65536, 16384}));
    // Level 0 itself cut short: nothing at all.
    EXPECT_TRUE(parsed(makeDds(dxt1, 256, 256, 32768, 1, 100)).levels.empty());
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

// ---------------------------------------------------------------------------------------------
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

    // An RGB image saved by DevIL; rows given top to bottom.
    void writePng(const std::string& name, int width, int height, std::vector<unsigned char> rgb) {
        fs::create_directories(dir.path() / "Resources/textures");
        ILuint image = 0;
        ilGenImages(1, &image);
        ilBindImage(image);
        ASSERT_TRUE(ilTexImage(width, height, 1, 3, IL_RGB, IL_UNSIGNED_BYTE, rgb.data()));
        ilEnable(IL_FILE_OVERWRITE);
        ilRegisterOrigin(IL_ORIGIN_UPPER_LEFT);
        ASSERT_TRUE(ilSave(IL_PNG, ("Resources/textures/" + name).c_str()));
        ilDeleteImages(1, &image);
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

TEST_F(TextureLoad, Dxt5ChainIsUploadedWithItsStoredLevels) {
    writeTexture("chain.DDS", makeDds(dxt5, 256, 256, 65536, 10, 2 * 65536));
    Texture texture;
    const GLuint id = texture.load("chain.DDS");
    ASSERT_NE(id, 0u);
    for (GLint level = 0; level < 10; ++level) {
        EXPECT_EQ(levelParameter(level, GL_TEXTURE_INTERNAL_FORMAT),
                  GL_COMPRESSED_RGBA_S3TC_DXT5_EXT);
        EXPECT_EQ(levelParameter(level, GL_TEXTURE_COMPRESSED_IMAGE_SIZE),
                  static_cast<GLint>(dxt5Chain256[static_cast<std::size_t>(level)]))
            << "level " << level;
    }
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 1);
    // No filtering is chosen for DDS: OpenGL's default stays.
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_NEAREST_MIPMAP_LINEAR);

    Texture again;
    EXPECT_NE(again.load("chain.DDS"), id) << "no cache: every load makes its own texture";
}

TEST_F(TextureLoad, OtherFormatsAndDamagedFiles) {
    writeTexture("a.DDS", makeDds(dxt1, 8, 8, 32, 2, 64));
    writeTexture("b.DDS", makeDds(dxt3, 8, 8, 64, 1, 64));
    writeTexture("cut.DDS", makeDds(dxt5, 256, 256, 65536, 10, 65536 + 16384 + 100));
    Texture a, b, cut;
    ASSERT_NE(a.load("a.DDS"), 0u);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_INTERNAL_FORMAT), GL_COMPRESSED_RGBA_S3TC_DXT1_EXT);
    EXPECT_EQ(levelParameter(1, GL_TEXTURE_COMPRESSED_IMAGE_SIZE), 8);
    ASSERT_NE(b.load("b.DDS"), 0u);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_INTERNAL_FORMAT), GL_COMPRESSED_RGBA_S3TC_DXT3_EXT);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_COMPRESSED_IMAGE_SIZE), 64);
    ASSERT_NE(cut.load("cut.DDS"), 0u);
    EXPECT_EQ(levelParameter(1, GL_TEXTURE_COMPRESSED_IMAGE_SIZE), 16384);
    EXPECT_EQ(levelParameter(2, GL_TEXTURE_WIDTH), 0) << "the level cut short is not uploaded";

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
    writePng("lightm.png", 3, 2, {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9, 80, 80, 80, 200, 1, 2});
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
    EXPECT_EQ(texels, (std::vector<unsigned char>{255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9, 80, 80,
                                                  80, 200, 1, 2}));
}

TEST_F(TextureLoad, MissingFileIsReportedAndGivesIdZero) {
    ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr); // the key press must not block
    Texture texture;
    texture.id = 77;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(texture.load("missing.png"), 0u);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(texture.id, 0u);
    EXPECT_EQ(out, "Resources/textures/missing.png could not be opened. Are you in the right "
                   "directory ? Don't forget to read the FAQ !\n");
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
