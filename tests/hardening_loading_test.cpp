// Inputs the loading fuzzers turned up: texture files and names that used to leave an empty
// texture with an OpenGL error, or end the game, now load or are refused cleanly.
#include "TestSupport.h"

#include "render/ImageHeader.h"
#include "render/MeshComponent.h"
#include "render/Texture.h"

#include <GL/glew.h>
#include <IL/il.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

using Bytes = std::vector<unsigned char>;

// An uncompressed TGA (type 2 true colour, 3 grey, 1 colour-mapped with a 24-bit map), stored
// top row first.
std::string tga(std::uint8_t imageType, int width, int height, int bitsPerPixel,
                const Bytes& pixels, const Bytes& colourMap = {}) {
    std::string bytes(18, '\0');
    bytes[1] = colourMap.empty() ? 0 : 1;
    bytes[2] = static_cast<char>(imageType);
    const std::size_t entries = colourMap.size() / 3;
    bytes[5] = static_cast<char>(entries & 0xFF);
    bytes[6] = static_cast<char>(entries >> 8);
    bytes[7] = colourMap.empty() ? 0 : 24;
    bytes[12] = static_cast<char>(width & 0xFF);
    bytes[13] = static_cast<char>(width >> 8);
    bytes[14] = static_cast<char>(height & 0xFF);
    bytes[15] = static_cast<char>(height >> 8);
    bytes[16] = static_cast<char>(bitsPerPixel);
    bytes[17] = 0x20; // top-left origin
    bytes.append(colourMap.begin(), colourMap.end());
    bytes.append(pixels.begin(), pixels.end());
    return bytes;
}

// A 24-bit BMP, rows given top to bottom (the file stores them bottom up, padded to 4 bytes).
std::string bmp24(int width, int height, const Bytes& bgrRows) {
    const int rowBytes = (width * 3 + 3) / 4 * 4;
    std::string pixels;
    for (int row = height - 1; row >= 0; --row) {
        std::string line(bgrRows.begin() + row * width * 3,
                         bgrRows.begin() + (row + 1) * width * 3);
        line.resize(static_cast<std::size_t>(rowBytes), '\0');
        pixels += line;
    }
    std::string bytes(54, '\0');
    auto put32 = [&](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<char>(value >> (8 * i));
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, static_cast<std::uint32_t>(54 + pixels.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(height));
    bytes[26] = 1;
    bytes[28] = 24;
    put32(34, static_cast<std::uint32_t>(pixels.size()));
    return bytes + pixels;
}

std::string dds(std::uint32_t width, std::uint32_t height, std::uint32_t linearSize,
                std::uint32_t mipMapCount, std::size_t dataBytes) {
    std::string bytes(128 + dataBytes, '\0');
    auto put32 = [&](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<char>(value >> (8 * i));
    };
    std::memcpy(bytes.data(), "DDS ", 4);
    put32(4, 124);
    put32(12, height);
    put32(16, width);
    put32(20, linearSize);
    put32(28, mipMapCount);
    put32(76, 32);
    put32(80, 0x4);
    std::memcpy(bytes.data() + 84, "DXT1", 4);
    return bytes;
}

ImageHeader headerOf(const std::string& fileName, const std::string& bytes, bool expectRead) {
    ImageHeader header;
    EXPECT_EQ(ImageHeader::read(fileName, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                bytes.size(), header),
              expectRead)
        << fileName;
    return header;
}

// A PNG that ends after its IHDR chunk's width and height.
std::string pngHead(std::uint32_t width, std::uint32_t height) {
    std::string bytes("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    for (std::uint32_t value : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes += static_cast<char>(value >> shift);
    return bytes;
}

class TextureHardening : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ensureGlContext())
            GTEST_SKIP() << "no display for an OpenGL context";
        ilInit();
        cwd.emplace(dir.path());
        fs::create_directories(dir.path() / "Resources/textures");
        while (glGetError() != GL_NO_ERROR) {
        }
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxEdge);
    }

    void writeTexture(const std::string& name, const std::string& content) {
        writeFile(dir.path() / "Resources/textures" / name, content);
    }

    // Loads a file and returns level 0 as RGBA bytes, expecting a texture and no GL error.
    Bytes loadAsRgba(const std::string& name, int width, int height) {
        Texture texture;
        const GLuint id = texture.load(name);
        EXPECT_NE(id, 0u) << name;
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << name;
        Bytes texels(static_cast<std::size_t>(width * height * 4));
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        return texels;
    }

    TempDir dir;
    std::optional<ScopedWorkingDirectory> cwd;
    GLint maxEdge = 0;
};

} // namespace

// ---------------------------------------------------------------------------------------------
// ImageHeader::read

TEST(ImageHeaderRead, ReadsTheDeclaredSizeOfEachFormat) {
    ImageHeader png = headerOf("a.PNG", pngHead(300, 70000), true);
    EXPECT_EQ(png.width, 300u);
    EXPECT_EQ(png.height, 70000u);

    const ImageHeader targa = headerOf("b.tga", tga(10, 0x1234, 0xFFFF, 8, {}), true);
    EXPECT_EQ(targa.width, 0x1234u);
    EXPECT_EQ(targa.height, 0xFFFFu);

    // Rows stored top down: a negative height.
    std::string bitmap = bmp24(5, 7, Bytes(5 * 7 * 3, 0));
    bitmap[22] = static_cast<char>(-7);
    bitmap[23] = bitmap[24] = bitmap[25] = static_cast<char>(0xFF);
    const ImageHeader topDown = headerOf("c.bmp", bitmap, true);
    EXPECT_EQ(topDown.width, 5u);
    EXPECT_EQ(topDown.height, 7u);
    // The old OS/2 header: 16-bit sizes right after its size field.
    const std::string core =
        std::string("BM", 2) + std::string(12, '\0') + std::string("\x0c\0\0\0\x20\x03\x58\x02", 8);
    const ImageHeader os2 = headerOf("d.dib", core, true);
    EXPECT_EQ(os2.width, 800u);
    EXPECT_EQ(os2.height, 600u);

    // A JPEG whose progressive frame header follows an APP0 segment, a Huffman table (not a
    // frame, despite its marker's neighbours) and fill bytes.
    const std::string jpeg = std::string("\xff\xd8\xff\xe0\0\x06JFIF", 10) +
                             std::string("\xff\xc4\0\x03\x00", 5) +
                             std::string("\xff\xff\xff\xc2\0\x0b\x08\x01\x02\x03\x04", 11);
    const ImageHeader progressive = headerOf("e.Jpeg", jpeg, true);
    EXPECT_EQ(progressive.width, 0x0304u);
    EXPECT_EQ(progressive.height, 0x0102u);
}

TEST(ImageHeaderRead, UnknownFormatsAndCutHeadersTellNothing) {
    struct Case {
        const char* fileName;
        std::string bytes;
        const char* why;
    };
    const std::vector<Case> cases{
        {"a.gif", pngHead(1, 1), "not a format measured here"},
        {"noextension", pngHead(1, 1), "no extension"},
        {"a.png", pngHead(1, 1).substr(0, 23), "height cut short"},
        {"a.png", "\x89PNX" + pngHead(1, 1).substr(5), "no PNG signature"},
        {"a.tga", std::string(17, '\0'), "TGA header cut short"},
        {"a.bmp", "BM" + std::string(20, '\0'), "BMP height cut short"},
        {"a.jpg", std::string("\xff\xd8\xff\xda\0\x08", 6), "scan before any frame"},
        {"a.jpg", std::string("\xff\xd8\xff\xe0\0\x01", 6), "segment shorter than its length"},
        {"a.jpg", std::string("\xff\xd8\xff\xe0\x10\0abc", 9), "segment past the end"},
        {"a.jpg", std::string("\xff\xd8\xff\xc0\0\x0b\x08\x01", 8), "frame cut short"},
        {"a.jpg", std::string("\xff\xd8\x00", 3), "no marker where one belongs"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        headerOf(c.fileName, c.bytes, false);
    }
}

// DevIL's JPEG reader loops for ever on a file that ends early.
TEST(ImageHeaderDecodable, JpegMustHoldEverySegmentAndScanUpToItsEnd) {
    ilInit();
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    Bytes pixels(8 * 8 * 3);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<unsigned char>(i * 37);
    ASSERT_TRUE(ilTexImage(8, 8, 1, 3, IL_RGB, IL_UNSIGNED_BYTE, pixels.data()));
    Bytes encoded(4096);
    const ILuint size = ilSaveL(IL_JPG, encoded.data(), static_cast<ILuint>(encoded.size()));
    ilDeleteImages(1, &image);
    ASSERT_GT(size, 0u);
    encoded.resize(size);
    EXPECT_TRUE(ImageHeader::decodable("a.jpg", encoded.data(), encoded.size()));
    for (std::size_t cut :
         {std::size_t{1}, std::size_t{2}, std::size_t{21}, encoded.size() / 2, encoded.size() - 1})
        EXPECT_FALSE(ImageHeader::decodable("a.JPG", encoded.data(), cut)) << "cut at " << cut;

    // Inside a scan, 0xFF is followed by a stuffed zero or a restart marker; fill bytes may
    // come before a marker.
    const std::string scan("\xff\xd8\xff\xda\0\x02\x12\xff\x00\x34\xff\xd0\x56\xff\xff\xd9", 16);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(scan.data());
    EXPECT_TRUE(ImageHeader::decodable("a.jpeg", bytes, scan.size()));
    EXPECT_FALSE(ImageHeader::decodable("a.jpeg", bytes, scan.size() - 2)) << "no end marker";
    EXPECT_TRUE(ImageHeader::decodable("a.png", bytes, 3)) << "other formats are not examined";
}

// DevIL allocates the palette a BMP or TGA announces: 2^30 colours from a file of 200 bytes, or
// four gigabytes for a TGA map of 65535 entries, whose length it reads as negative.
TEST(ImageHeaderDecodable, PalettesMustBePlausible) {
    auto withPalette = [](std::uint16_t bits, std::uint32_t colours) {
        std::string bytes = bmp24(4, 4, Bytes(4 * 4 * 3, 0));
        bytes[28] = static_cast<char>(bits);
        for (int i = 0; i < 4; ++i)
            bytes[46 + i] = static_cast<char>(colours >> (8 * i));
        return bytes;
    };
    auto decodable = [](const std::string& bytes) {
        return ImageHeader::decodable("a.bmp", reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                      bytes.size());
    };
    EXPECT_TRUE(decodable(withPalette(8, 0))) << "0: all 256";
    EXPECT_TRUE(decodable(withPalette(8, 256)));
    EXPECT_FALSE(decodable(withPalette(8, 257)));
    EXPECT_FALSE(decodable(withPalette(4, 17)));
    EXPECT_FALSE(decodable(withPalette(8, 0x40000000)));
    EXPECT_TRUE(decodable(withPalette(24, 0x40000000))) << "no palette to allocate";

    auto tgaDecodable = [](std::string bytes, std::uint16_t mapEntries) {
        bytes[5] = static_cast<char>(mapEntries & 0xFF);
        bytes[6] = static_cast<char>(mapEntries >> 8);
        return ImageHeader::decodable("a.tga", reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                      bytes.size());
    };
    const std::string mapped = tga(1, 2, 1, 8, {1, 0}, {10, 20, 30, 250, 150, 50});
    EXPECT_TRUE(tgaDecodable(mapped, 2));
    EXPECT_FALSE(tgaDecodable(mapped, 3)) << "the map runs past the end";
    EXPECT_FALSE(tgaDecodable(mapped + std::string(0xFFFF * 3, '\0'), 0xFFFF)) << "negative";
    std::string runLengthWithoutFlag = tga(9, 2, 1, 8, {0x81, 0});
    EXPECT_FALSE(tgaDecodable(runLengthWithoutFlag, 0x8000)) << "type 9 always reads a map";
    EXPECT_TRUE(tgaDecodable(tga(2, 1, 1, 24, {1, 2, 3}), 0xFFFF)) << "true colour: no map";
}

// ---------------------------------------------------------------------------------------------
// Texture::load

// DevIL delivers TGA and BMP pictures as BGR(A), grey ones as luminance and colour-mapped ones
// as palette indices: none of these is an internal format of a core context.
TEST_F(TextureHardening, DecodedFormatsACoreContextRefusesArriveAsRgba) {
    writeTexture("grey.tga", tga(3, 2, 1, 8, {40, 200}));
    EXPECT_EQ(loadAsRgba("grey.tga", 2, 1), (Bytes{40, 40, 40, 255, 200, 200, 200, 255}));

    writeTexture("mapped.tga", tga(1, 2, 1, 8, {1, 0}, {10, 20, 30, 250, 150, 50}));
    EXPECT_EQ(loadAsRgba("mapped.tga", 2, 1), (Bytes{50, 150, 250, 255, 30, 20, 10, 255}))
        << "map entries are stored blue, green, red";

    writeTexture("true.tga", tga(2, 1, 2, 32, {1, 2, 3, 4, 50, 60, 70, 80}));
    const Bytes trueColour = loadAsRgba("true.tga", 1, 2);
    EXPECT_EQ(Bytes(trueColour.begin(), trueColour.begin() + 3), (Bytes{3, 2, 1}));
    EXPECT_EQ(trueColour[3], 4);

    writeTexture("odd.bmp", bmp24(3, 1, {255, 0, 0, 0, 255, 0, 0, 0, 255}));
    EXPECT_EQ(loadAsRgba("odd.bmp", 3, 1), (Bytes{0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 255}));
}

// A format whose header is not read beforehand (here a grey PNM) is measured once decoded.
TEST_F(TextureHardening, PicturesBeyondTheTextureLimitAreRefusedWithALine) {
    ASSERT_GT(maxEdge, 0);
    const int width = maxEdge + 1;
    writeTexture("wide.pgm", "P5\n" + std::to_string(width) + " 1\n255\n" +
                                 std::string(static_cast<std::size_t>(width), '\x09'));
    ::testing::internal::CaptureStdout();
    Texture texture;
    EXPECT_EQ(texture.load("wide.pgm"), 0u);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Resources/textures/wide.pgm is " + std::to_string(width) + " x 1 pixels"),
              std::string::npos)
        << out;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A few bytes may declare a picture of gigabytes: DevIL would allocate it all before decoding
// (or fail to, and end the game). The header alone refuses it.
TEST_F(TextureHardening, HugeDeclaredPicturesAreRefusedBeforeDecoding) {
    writeTexture("huge.png", pngHead(100000, 100000));
    // Run-length data that DevIL would expand row after row over 3 gigapixels.
    writeTexture("huge.tga", tga(10, 65532, 49147, 8, {0x83, 10, 0x03, 1, 2, 3, 4}));
    for (const char* name : {"huge.png", "huge.tga"}) {
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(Texture().load(name), 0u);
        const std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_NE(out.find(std::string("Resources/textures/") + name + " is "), std::string::npos)
            << out;
    }
}

// A 16-bit TGA with a colour map that says nothing comes back from DevIL as BGR of two bytes a
// pixel; uploaded as BGR (or converted) it made the driver read far past DevIL's pixels.
TEST_F(TextureHardening, DecodedPixelsShorterThanTheirFormatAreLeftOut) {
    const std::string header{0, 0, 2, '\xff', '\xff', '\xff', '\xf7', 0,  0,
                             4, 0, 0, 8,      4,      0,      2,      16, 32};
    writeTexture("short.tga", header + "\x50\x60\x70\x80\x90\xc0\xd0\xe0\xf0");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(Texture().load("short.tga"), 0u);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Resources/textures/short.tga was decoded with a pixel layout that does "
                       "not add up"),
              std::string::npos)
        << out;
}

TEST_F(TextureHardening, DdsLevelsBeyondWhatOpenGLHoldsAreLeftOut) {
    // Twenty 1 x 1 levels: the data is there, but a texture has at most log2(limit) + 1 levels.
    constexpr std::uint32_t levels = 20;
    constexpr std::uint32_t dxt1Block = 8;
    writeTexture("deep.DDS", dds(1, 1, levels * dxt1Block / 2, levels, levels * dxt1Block));
    Texture deep;
    ASSERT_NE(deep.load("deep.DDS"), 0u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    GLint lastLevel = 0;
    for (GLint edge = maxEdge; edge > 1; edge /= 2)
        ++lastLevel;
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, lastLevel, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 1) << "every level OpenGL holds is uploaded";

    // Level 0 wider than the limit: nothing is uploaded, the name stays.
    const std::uint32_t wide = static_cast<std::uint32_t>(maxEdge) * 2;
    const std::uint32_t wideBytes = wide / 4 * dxt1Block;
    writeTexture("wide.DDS", dds(wide, 4, wideBytes, 1, wideBytes));
    Texture tooWide;
    ASSERT_NE(tooWide.load("wide.DDS"), 0u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 0);
}

// An empty material texture name, or ".", names the texture directory: it used to be opened
// and handed to DevIL, which ended the game.
TEST_F(TextureHardening, NamesThatAreNoRegularFileCountAsMissing) {
    ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr); // the key press must not block
    for (const std::string name : {"", ".", "./"}) {
        ::testing::internal::CaptureStdout();
        Texture texture;
        EXPECT_EQ(texture.load(name), 0u);
        const std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(out, "Resources/textures/" + name +
                           " could not be opened. Are you in the right directory ? Don't forget "
                           "to read the FAQ !\n");
    }
}

// The same through a model: a material whose texture is the directory itself leaves the mesh
// without that texture, and the game goes on.
TEST_F(TextureHardening, ModelWhoseMaterialNamesTheTextureDirectoryStillLoads) {
    ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
    fs::create_directory_symlink(sourceDir() / "Shader", dir.path() / "Shader");
    writeFile(dir.path() / "Resources/models/odd.mtl", "newmtl here\nmap_Kd .\n");
    writeFile(dir.path() / "Resources/models/odd.obj",
              "mtllib odd.mtl\nusemtl here\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    MeshComponent component;
    ::testing::internal::CaptureStdout();
    component.load("Resources/models/odd.obj");
    const std::string out = ::testing::internal::GetCapturedStdout();
    ASSERT_EQ(component.meshes.size(), 1u);
    ASSERT_EQ(component.meshes[0].textures.size(), 1u);
    EXPECT_EQ(component.meshes[0].textures[0]->id, 0u);
    EXPECT_NE(out.find("Resources/textures/. could not be opened"), std::string::npos) << out;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(TextureHardeningDeath, JpegThatEndsEarlyEndsTheGameInsteadOfHanging) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    if (!ensureGlContext())
        GTEST_SKIP() << "no display for an OpenGL context";
    // The child re-runs this test; a fixed directory keeps it from leaving copies behind.
    const fs::path dir = binaryDir() / "hardening-test-data" / "short-jpeg";
    fs::remove_all(dir);
    // An APP0 segment announcing 27432 bytes in a file of 20.
    writeFile(dir / "Resources/textures/short.jpg",
              std::string("\xff\xd8\xff\xe0\x6b\x28\0\x01\x01\x46\x01\xff\xe0\0\x10JFI\x01", 20));
    ScopedWorkingDirectory cwd(dir);
    ilInit();
    EXPECT_EXIT(Texture().load("short.jpg"), ::testing::ExitedWithCode(255),
                "Resources/textures/short.jpg could not be decoded");
}
