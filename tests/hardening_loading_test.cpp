// Inputs the loading fuzzers turned up: texture files and names that used to leave an empty
// texture with an OpenGL error, or end the game, now load or are refused cleanly.
#include "TestSupport.h"

#include "render/ImageHeader.h"
#include "render/MeshComponent.h"
#include "render/ModelBounds.h"
#include "render/Texture.h"

#include <GL/glew.h>
#include <IL/il.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
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
    EXPECT_FALSE(ImageHeader::decodable("a.gif", bytes, scan.size())) << "no format handed on";
}

// Each format's declared structures must lie inside the file: an exact fit passes, one byte
// less is refused. DevIL trusts these lengths: libpng reads a chunk for as long as its length
// says, the BMP and TGA readers allocate the palette and the picture they are told of.
TEST(ImageHeaderDecodable, DeclaredStructuresMustLieInsideTheFile) {
    // A 2 x 2 RGB PNG: 14 bytes of filtered rows need one compressed byte at least.
    const std::string rgb2x2 = pngHead(2, 2) + std::string("\x08\x02\0\0\0", 5) + "CRC!";
    const std::string idat = std::string("\0\0\0\x01IDAT\x78", 9) + "CRC!";
    const std::string iend = std::string("\0\0\0\0IEND", 8) + "CRC!";
    const std::string text = std::string("\0\0\0\x05tEXtab\0cd", 13) + "CRC!";
    std::string textPastEnd = text;
    textPastEnd[2] = 0x01; // 261 bytes declared
    std::string noRows = rgb2x2 + iend;
    std::string depth16Palette = rgb2x2 + idat + iend;
    depth16Palette[24] = 16;
    depth16Palette[25] = 3;

    const std::string rgb2x1 = tga(2, 2, 1, 24, Bytes(6, 9));
    const std::string runLength = tga(10, 129, 1, 24, {0xFF, 1, 2, 3, 0x80, 4, 5, 6});
    std::string idPastEnd = rgb2x1;
    idPastEnd[0] = 1;
    std::string unknownType = rgb2x1;
    unknownType[2] = 4;

    // An 8-bit palette BMP announcing colours: header, palette, one padded row of one pixel.
    auto paletteBmp = [](std::uint32_t colours, std::uint32_t listed) {
        std::string bytes = bmp24(1, 1, Bytes(3, 0)).substr(0, 54);
        bytes[28] = 8;
        for (int i = 0; i < 4; ++i) {
            bytes[46 + i] = static_cast<char>(colours >> (8 * i));
            bytes[10 + i] = static_cast<char>((54 + listed * 4) >> (8 * i));
        }
        return bytes + std::string(listed * 4, '\x40') + std::string(4, '\0');
    };
    std::string bmpOffsetPastEnd = bmp24(2, 2, Bytes(12, 0));
    bmpOffsetPastEnd[10] = 55;
    // Found by the image fuzzer: DevIL read the palette of a run-length true-colour picture,
    // 2^32 - 255 colours of it.
    std::string runLengthTrueColour = bmp24(2, 2, Bytes(12, 0));
    runLengthTrueColour[30] = 1;
    std::string trueColourPalette = bmp24(2, 2, Bytes(12, 0));
    trueColourPalette[47] = 1; // 256 colours

    const std::string ddsOneLevel = dds(8, 8, 32, 1, 32);
    std::string ddsVolume = ddsOneLevel;
    ddsVolume[114] = 0x20;

    struct Case {
        const char* fileName;
        std::string bytes;
        bool decodable;
        const char* why;
    };
    const std::vector<Case> cases{
        {"a.png", rgb2x2 + text + idat + iend, true, "every chunk inside, up to IEND"},
        {"a.png", rgb2x2 + text + idat + iend + "trailing", true, "bytes after IEND"},
        {"a.png", rgb2x2 + idat + textPastEnd + iend, false, "a chunk past the end"},
        {"a.png", rgb2x2 + text + idat, false, "no IEND"},
        {"a.png", (rgb2x2 + text + idat + iend).substr(0, 70), false, "IEND cut short"},
        {"a.png", pngHead(2, 2).substr(0, 8) + text + rgb2x2.substr(8) + idat + iend, false,
         "IHDR not first"},
        {"a.png", noRows, false, "no compressed data for the rows"},
        {"a.png", depth16Palette, false, "a bit depth its colour type does not take"},
        {"a.tga", rgb2x1, true, "pixels inside"},
        {"a.tga", rgb2x1.substr(0, rgb2x1.size() - 1), false, "pixels one byte short"},
        {"a.tga", runLength, true, "two runs enough for 129 pixels"},
        {"a.tga", runLength.substr(0, runLength.size() - 1), false, "runs short of the picture"},
        {"a.tga", idPastEnd, false, "image ID takes a pixel byte"},
        {"a.tga", unknownType, false, "no image type DevIL reads"},
        {"a.bmp", bmp24(2, 2, Bytes(12, 0)), true, "pixels inside"},
        {"a.bmp", bmp24(2, 2, Bytes(12, 0)).substr(0, 69), false, "pixels one byte short"},
        {"a.bmp", bmpOffsetPastEnd, false, "pixels start late"},
        {"a.bmp", runLengthTrueColour, false, "run-length coding of a true-colour picture"},
        {"a.bmp", trueColourPalette, false, "a true-colour palette past the end"},
        {"a.bmp", paletteBmp(0, 256), true, "0 colours: all 256"},
        {"a.bmp", paletteBmp(2, 2), true, "two colours listed"},
        {"a.bmp", paletteBmp(257, 256), false, "more colours than 8 bits index"},
        {"a.bmp", paletteBmp(0x40000000, 256), false, "a palette of 2^30 colours"},
        {"a.bmp", paletteBmp(0, 256).substr(0, 54 + 1000), false, "palette past the end"},
        {"a.dds", ddsOneLevel, true, "lower case: DevIL's, its level inside"},
        {"a.dds", ddsOneLevel.substr(0, ddsOneLevel.size() - 1), false, "level one byte short"},
        {"a.dds", ddsVolume, false, "a volume"},
        {"a.gif", rgb2x2 + idat + iend, false, "a format the game does not hand to DevIL"},
        {"noextension", rgb2x2 + idat + iend, false, "no extension"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ImageHeader::decodable(c.fileName,
                                         reinterpret_cast<const std::uint8_t*>(c.bytes.data()),
                                         c.bytes.size()),
                  c.decodable)
            << c.why;

    // A TGA colour map: DevIL takes a length of 32768 or more for a negative one.
    auto tgaWithMap = [](std::string bytes, std::uint16_t mapEntries) {
        bytes[5] = static_cast<char>(mapEntries & 0xFF);
        bytes[6] = static_cast<char>(mapEntries >> 8);
        return ImageHeader::decodable("a.tga", reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                      bytes.size());
    };
    const std::string mapped = tga(1, 2, 1, 8, {1, 0}, {10, 20, 30, 250, 150, 50});
    EXPECT_TRUE(tgaWithMap(mapped, 2));
    EXPECT_FALSE(tgaWithMap(mapped, 3)) << "the map runs past the end";
    EXPECT_FALSE(tgaWithMap(mapped + std::string(0xFFFF * 3, '\0'), 0xFFFF)) << "negative";
    EXPECT_FALSE(tgaWithMap(tga(9, 2, 1, 8, {0x81, 0}), 0x8000)) << "type 9 always reads a map";
    EXPECT_TRUE(tgaWithMap(tga(2, 1, 1, 24, {1, 2, 3}), 0xFFFF)) << "true colour: no map";
}

// Every picture the game generates and every one committed passes the walk unchanged.
TEST(ImageHeaderDecodable, GeneratedAndCommittedPicturesPass) {
    int walked = 0;
    for (const fs::path& directory :
         {sourceDir() / "Resources/textures", sourceDir() / "docs", sourceDir() / "tests/data"})
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(directory)) {
            const std::string name = entry.path().filename().string();
            if (!entry.is_regular_file() || !ImageHeader::handedToDevil(name) ||
                name.ends_with(".DDS"))
                continue;
            const std::string bytes = readFile(entry.path());
            EXPECT_TRUE(ImageHeader::decodable(
                name, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()))
                << entry.path();
            ++walked;
        }
    EXPECT_GT(walked, 30) << "run from the repository root after scripts/setup.sh";
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

// The damaged files kept in the image corpus (a PNG chunk, a JPEG segment, a TGA or BMP picture
// or palette declared far beyond the data, ...) end the game at once with the line naming
// them, as an image DevIL cannot decode does; none reaches a decoder that would hang on it. The
// corpus file's first byte chooses the extension, as in the image fuzzer.
TEST(TextureHardeningDeath, DamagedCorpusFilesEndTheGameWithTheLine) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    if (!ensureGlContext())
        GTEST_SKIP() << "no display for an OpenGL context";
    const std::array<const char*, 6> extensions{".png", ".tga", ".bmp", ".jpg", ".DDS", ".dds"};
    std::vector<fs::path> damaged;
    for (const fs::directory_entry& entry :
         fs::directory_iterator(sourceDir() / "tests/fuzz/corpus/image"))
        if (entry.path().filename().string().starts_with("damaged_"))
            damaged.push_back(entry.path());
    std::sort(damaged.begin(), damaged.end());
    ASSERT_GE(damaged.size(), 20u);
    const fs::path dir = binaryDir() / "hardening-test-data" / "damaged-corpus";
    ScopedWorkingDirectory cwd((fs::create_directories(dir), dir));
    ilInit();
    for (const fs::path& file : damaged) {
        const std::string bytes = readFile(file);
        ASSERT_FALSE(bytes.empty()) << file;
        const std::string name =
            file.filename().string() +
            extensions[static_cast<unsigned char>(bytes[0]) % extensions.size()];
        writeFile(dir / "Resources/textures" / name, bytes.substr(1));
        EXPECT_EXIT(Texture().load(name), ::testing::ExitedWithCode(255),
                    "Resources/textures/" + name + " could not be decoded")
            << file;
    }
}

// DevIL decodes some forty formats; the game hands it only the ones it walks first. A grey PNM
// that DevIL would decode ends the game like an undecodable picture.
TEST(TextureHardeningDeath, FormatsTheGameDoesNotWalkEndTheGameWithTheLine) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    if (!ensureGlContext())
        GTEST_SKIP() << "no display for an OpenGL context";
    const fs::path dir = binaryDir() / "hardening-test-data" / "unwalked-format";
    fs::remove_all(dir);
    writeFile(dir / "Resources/textures/grey.pgm", "P5\n2 1\n255\n\x09\x40");
    ScopedWorkingDirectory cwd(dir);
    ilInit();
    EXPECT_EXIT(Texture().load("grey.pgm"), ::testing::ExitedWithCode(255),
                "Resources/textures/grey.pgm could not be decoded");
}

// ---------------------------------------------------------------------------------------------
// ModelBounds

// Assimp zero-fills an FBX array as large as its count says before looking at its data: one
// hundred bytes declaring 179 million doubles kept the importer busy for over ten seconds. The
// damaged FBX files of the model corpus are refused before Assimp sees them; every other model
// there, and every model the game ships, passes.
TEST(ModelBoundsCheck, DamagedFbxIsRefusedAndEveryOtherModelPasses) {
    const std::array<const char*, 3> extensions{".obj", ".fbx", ".3ds"};
    int refused = 0;
    for (const fs::directory_entry& entry :
         fs::directory_iterator(sourceDir() / "tests/fuzz/corpus/model")) {
        const std::string bytes = readFile(entry.path());
        ASSERT_FALSE(bytes.empty()) << entry.path();
        const std::string name =
            "model" + std::string(extensions[static_cast<unsigned char>(bytes[0]) % 3]);
        const bool damagedFbx = entry.path().filename().string().starts_with("damaged_fbx");
        std::string reason;
        EXPECT_EQ(ModelBounds::check(name, reinterpret_cast<const std::uint8_t*>(bytes.data()) + 1,
                                     bytes.size() - 1, reason),
                  !damagedFbx)
            << entry.path() << ": " << reason;
        refused += damagedFbx ? 1 : 0;
    }
    EXPECT_GE(refused, 4);
    int shipped = 0;
    for (const fs::directory_entry& entry :
         fs::directory_iterator(sourceDir() / "Resources/models")) {
        std::string reason;
        EXPECT_TRUE(ModelBounds::checkFile(entry.path().string(), reason))
            << entry.path() << ": " << reason;
        ++shipped;
    }
    EXPECT_GT(shipped, 5) << "run from the repository root after scripts/setup.sh";
}

TEST(ModelBoundsCheck, RefusedModelLoadsNothingAndSaysWhy) {
    TempDir dir;
    const std::string bytes =
        readFile(sourceDir() / "tests/fuzz/corpus/model/damaged_fbx_deflated_array_count_huge");
    const fs::path model = dir.path() / "model.fbx";
    writeFile(model, bytes.substr(1));
    ::testing::internal::CaptureStdout();
    MeshComponent component;
    component.load(model.string());
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(component.meshes.empty());
    EXPECT_NE(out.find("ERROR::ASSIMP::binary FBX: an array declares more elements"),
              std::string::npos)
        << out;
}
