// Loading pictures and models: the guards that keep a damaged or hostile file away from a
// decoder that would hang, allocate without bound or end the game without a word, and the
// texture loader under a real context. (A file that does not decode is the damaged-data
// matrix's.)
#include "TestSupport.h"

#include "formats/DdsImage.h"
#include "formats/ImageCheck.h"
#include "formats/ModelBounds.h"
#include "render/MeshComponent.h"
#include "render/Texture.h"

#include <GL/glew.h>
#include <IL/il.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

using Bytes = std::vector<unsigned char>;

// An uncompressed TGA (type 2 true colour, 3 grey, 1 colour-mapped with a 24-bit map, 9 and 10
// their run-length forms), stored top row first.
std::string tga(std::uint8_t imageType, int width, int height, int bitsPerPixel,
                const Bytes& pixels, const Bytes& colourMap = {}) {
    std::string bytes(18, '\0');
    bytes[1] = colourMap.empty() ? 0 : 1;
    bytes[2] = static_cast<char>(imageType);
    // Little-endian 16-bit fields: the colour map's length, the width, the height.
    for (const auto& [at, value] :
         {std::pair{5, int(colourMap.size() / 3)}, {12, width}, {14, height}}) {
        bytes[at] = static_cast<char>(value & 0xFF);
        bytes[at + 1] = static_cast<char>(value >> 8);
    }
    bytes[7] = colourMap.empty() ? 0 : 24;
    bytes[16] = static_cast<char>(bitsPerPixel);
    bytes[17] = 0x20; // top-left origin
    return bytes + std::string(colourMap.begin(), colourMap.end()) +
           std::string(pixels.begin(), pixels.end());
}

void put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
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
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(bytes, 2, static_cast<std::uint32_t>(54 + pixels.size()));
    put32(bytes, 10, 54);
    put32(bytes, 14, 40);
    put32(bytes, 18, static_cast<std::uint32_t>(width));
    put32(bytes, 22, static_cast<std::uint32_t>(height));
    bytes[26] = 1;
    bytes[28] = 24;
    put32(bytes, 34, static_cast<std::uint32_t>(pixels.size()));
    return bytes + pixels;
}

// A PNG that ends after its IHDR chunk's width and height.
std::string pngHead(std::uint32_t width, std::uint32_t height) {
    std::string bytes("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    for (std::uint32_t value : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes += static_cast<char>(value >> shift);
    return bytes;
}

ImageCheck examine(const std::string& fileName, const std::string& bytes) {
    return ImageCheck::examine(fileName, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                               bytes.size());
}

bool decodable(const std::string& fileName, const std::string& bytes) {
    return examine(fileName, bytes).decodable;
}

} // namespace

// ImageCheck: the declared size, and the walk over a file's declared structures

TEST(ImageCheckSize, ReadsTheDeclaredSizeOrTellsNothing) {
    // Rows stored top down: a negative height.
    std::string topDown = bmp24(5, 7, Bytes(5 * 7 * 3, 0));
    put32(topDown, 22, static_cast<std::uint32_t>(-7));
    const struct {
        const char* fileName;
        std::string bytes;
        std::optional<std::pair<std::uint32_t, std::uint32_t>> size;
    } cases[] = {
        {"a.PNG", pngHead(300, 70000), {{300, 70000}}},
        {"b.tga", tga(10, 0x1234, 0xFFFF, 8, {}), {{0x1234, 0xFFFF}}},
        {"c.bmp", topDown, {{5, 7}}},
        // The old OS/2 header: 16-bit sizes right after its size field.
        {"d.dib",
         "BM" + std::string(12, '\0') + std::string("\x0c\0\0\0\x20\x03\x58\x02", 8),
         {{800, 600}}},
        // A progressive frame header after an APP0 segment, a Huffman table (no frame, despite
        // its marker's neighbours) and fill bytes.
        {"e.Jpeg",
         std::string("\xff\xd8\xff\xe0\0\x06JFIF\xff\xc4\0\x03\x00\xff\xff\xff\xc2\0\x0b\x08"
                     "\x01\x02\x03\x04",
                     26),
         {{0x0304, 0x0102}}},
        {"a.gif", pngHead(1, 1), {}},
        {"noextension", pngHead(1, 1), {}},
        {"a.png", pngHead(1, 1).substr(0, 23), {}},
        {"a.png", "\x89PNX" + pngHead(1, 1).substr(5), {}},
        {"a.tga", std::string(17, '\0'), {}},
        {"a.bmp", "BM" + std::string(20, '\0'), {}},
        {"a.jpg", std::string("\xff\xd8\xff\xda\0\x08", 6), {}},         // a scan before any frame
        {"a.jpg", std::string("\xff\xd8\xff\xe0\0\x01", 6), {}},         // shorter than its length
        {"a.jpg", std::string("\xff\xd8\xff\xe0\x10\0abc", 9), {}},      // a segment past the end
        {"a.jpg", std::string("\xff\xd8\xff\xc0\0\x0b\x08\x01", 8), {}}, // a frame cut short
        {"a.jpg", std::string("\xff\xd8\x00", 3), {}}, // no marker where one belongs
    };
    for (const auto& c : cases) {
        const ImageCheck check = examine(c.fileName, c.bytes);
        EXPECT_EQ(check.sizeKnown ? std::optional(std::pair(check.width, check.height))
                                  : std::nullopt,
                  c.size)
            << c.fileName << " " << c.bytes.size();
    }
}

// DevIL's JPEG reader loops for ever on a file that ends early. Inside a scan, 0xFF is followed
// by a stuffed zero or a restart marker; fill bytes may come before a marker.
TEST(ImageCheckDecodable, JpegMustHoldEverySegmentAndScanUpToItsEnd) {
    const std::string encoded =
        readFile(sourceDir() / "tests/fuzz/corpus/image/jpg_colour").substr(1);
    ASSERT_TRUE(decodable("a.jpg", encoded));
    for (std::size_t cut :
         {std::size_t{1}, std::size_t{2}, std::size_t{21}, encoded.size() / 2, encoded.size() - 1})
        EXPECT_FALSE(decodable("a.JPG", encoded.substr(0, cut))) << "cut at " << cut;
    const std::string scan("\xff\xd8\xff\xda\0\x02\x12\xff\x00\x34\xff\xd0\x56\xff\xff\xd9", 16);
    EXPECT_TRUE(decodable("a.jpeg", scan));
    EXPECT_FALSE(decodable("a.jpeg", scan.substr(0, scan.size() - 2))) << "no end marker";
    // Bytes between segments that are no marker are skipped, as libjpeg skips them.
    EXPECT_TRUE(decodable("a.jpg", scan.substr(0, 2) + "junk\xff" + scan.substr(2)));
}

// Each format's declared structures must lie inside the file: an exact fit passes, one byte
// less is refused. DevIL trusts these lengths: libpng reads a chunk for as long as its length
// says, the BMP and TGA readers allocate the palette and the picture they are told of. (One
// damaged file of each kind is in the image corpus, checked below.)
TEST(ImageCheckDecodable, DeclaredStructuresMustLieInsideTheFile) {
    // A 2 x 2 RGB PNG: 14 bytes of filtered rows need one compressed byte at least.
    const std::string rgb2x2 = pngHead(2, 2) + std::string("\x08\x02\0\0\0", 5) + "CRC!";
    const std::string idat = std::string("\0\0\0\x01IDAT\x78", 9) + "CRC!";
    const std::string iend = std::string("\0\0\0\0IEND", 8) + "CRC!";
    const std::string text = std::string("\0\0\0\x05tEXtab\0cd", 13) + "CRC!";
    std::string depth16Palette = rgb2x2 + idat + iend;
    depth16Palette[24] = 16;
    depth16Palette[25] = 3;

    const std::string rgb2x1 = tga(2, 2, 1, 24, Bytes(6, 9));
    const std::string runLength = tga(10, 129, 1, 24, {0xFF, 1, 2, 3, 0x80, 4, 5, 6});
    // A TGA colour map: DevIL takes a length of 32768 or more for a negative one.
    auto withMap = [](std::string bytes, std::uint16_t entries) {
        bytes[5] = static_cast<char>(entries & 0xFF);
        bytes[6] = static_cast<char>(entries >> 8);
        return bytes;
    };
    const std::string mapped = tga(1, 2, 1, 8, {1, 0}, {10, 20, 30, 250, 150, 50});

    // An 8-bit palette BMP announcing colours: header, palette, one padded row of one pixel.
    auto paletteBmp = [](std::uint32_t colours, std::uint32_t listed) {
        std::string bytes = bmp24(1, 1, Bytes(3, 0)).substr(0, 54);
        bytes[28] = 8;
        put32(bytes, 46, colours);
        put32(bytes, 10, 54 + listed * 4);
        return bytes + std::string(listed * 4, '\x40') + std::string(4, '\0');
    };
    // A 2 x 1 run-length (8-bit) BMP of two colours, its runs given.
    auto runLengthBmp = [&]<std::size_t n>(const char(&runs)[n]) {
        std::string bytes = paletteBmp(2, 2).substr(0, 54 + 8);
        put32(bytes, 18, 2);
        bytes[30] = 1;
        return bytes + std::string(runs, n - 1);
    };
    const std::string bmp2x2 = bmp24(2, 2, Bytes(12, 0));
    std::string trueColourPalette = bmp2x2;
    trueColourPalette[47] = 1; // 256 colours

    const std::string ddsOneLevel = ddsFile(dxt1, 8, 8, 32, 1, 32);
    std::string ddsPitch = ddsOneLevel; // the level's size flagged as a pitch, not a linear size
    ddsPitch[8] = 0x0F, ddsPitch[10] = 0x02;

    // A GIF of a 3 x 1 frame and two colours whose LZW codes are given: 3 bits each (code size
    // 2: clear 4, end 5, the first table entry 6), least significant bit first, in one block.
    auto gifCodes = [](std::initializer_list<unsigned> codes) {
        std::string data;
        unsigned bits = 0, count = 0;
        for (unsigned code : codes)
            for (bits |= code << count, count += 3; count >= 8; bits >>= 8, count -= 8)
                data += static_cast<char>(bits & 0xFF);
        if (count > 0)
            data += static_cast<char>(bits);
        return std::string("GIF89a\3\0\1\0\x80\0\0\xcc\x66\x33\0\0\0,\0\0\0\0\3\0\1\0\0\2", 30) +
               static_cast<char>(data.size()) + data + std::string("\0;", 2);
    };

    const struct {
        const char* fileName;
        std::string bytes;
        bool decodable;
        const char* why;
    } cases[] = {
        {"a.png", rgb2x2 + text + idat + iend, true, "every chunk inside, up to IEND"},
        {"a.png", rgb2x2 + text + idat + iend + "trailing", true, "bytes after IEND"},
        {"a.png", (rgb2x2 + text + idat + iend).substr(0, 70), false, "IEND cut short"},
        {"a.png", depth16Palette, false, "a bit depth its colour type does not take"},
        {"a.png", rgb2x2 + idat + iend.substr(0, 8), true, "IEND without its CRC"},
        {"a.tga", rgb2x1, true, "pixels inside"},
        {"a.tga", rgb2x1.substr(0, rgb2x1.size() - 1), false, "pixels one byte short"},
        {"a.tga", runLength, true, "two runs enough for 129 pixels"},
        {"a.tga", runLength.substr(0, runLength.size() - 1), false, "runs short of the picture"},
        {"a.tga", mapped, true, "colour map inside"},
        {"a.tga", withMap(mapped, 3), false, "colour map past the end"},
        {"a.tga", withMap(tga(9, 2, 1, 8, {0x81, 0}), 0x8000), false, "type 9 always reads a map"},
        {"a.tga", withMap(tga(2, 1, 1, 24, {1, 2, 3}), 0xFFFF), true, "true colour: no map read"},
        {"a.bmp", bmp2x2, true, "pixels inside"},
        {"a.bmp", bmp2x2.substr(0, 69), false, "pixels one byte short"},
        {"a.bmp", trueColourPalette, false, "a true-colour palette past the end"},
        {"a.bmp", paletteBmp(0, 256), true, "0 colours: all 256"},
        {"a.bmp", paletteBmp(2, 2), true, "two colours listed"},
        {"a.bmp", paletteBmp(257, 257), true, "a colour more than 8 bits index, unused"},
        {"a.bmp", paletteBmp(300, 257), false, "a palette past the end"},
        {"a.bmp", runLengthBmp("\2\1\0\1"), true, "a run of the last colour over the row"},
        {"a.bmp", runLengthBmp("\2\2\0\1"), false, "a run of a colour past the palette"},
        {"a.bmp", runLengthBmp("\1\1\0\1"), false, "a pixel the runs leave unwritten"},
        {"a.bmp", runLengthBmp("\0\3\1\1\1\0"), true, "an absolute run over the row, padded"},
        {"a.bmp", runLengthBmp("\0\3\1\2\1\0"), false, "an absolute run past the palette"},
        {"a.bmp", runLengthBmp("\0\2\1\0"), false, "a delta skipping the row"},
        {"a.gif", gifCodes({4, 1, 1, 1, 5}), true, "pixels of the colour table's last colour"},
        {"a.gif", gifCodes({4, 1, 2, 1, 5}), false, "a pixel past the colour table"},
        {"a.gif", gifCodes({4, 1, 6}), true, "the code of the entry about to be made"},
        {"a.gif", gifCodes({4, 1, 7}), false, "a code past it"},
        {"a.gif", gifCodes({4, 1}), false, "data ending a pixel short"},
        // Four components of a 2-pixel scanline: a literal of 3 bytes (DevIL reads 2), runs.
        {"a.hdr", std::string("#?RADIANCE\n\n-Y 1 +X 2\n\2\2\0\2\3\7\7\x82\5\x82\5\x82\x80", 35),
         true, "a literal longer than the scanline"},
        {"a.hdr", std::string("#?RADIANCE\n\n-Y 1 +X 2\n\2\2\0\2\3\7\7\x82\5\x82\5\x82", 34), false,
         "the same, a byte short"},
        {"a.dds", ddsOneLevel, true, "lower case: DevIL's, its level inside"},
        {"a.dds", ddsOneLevel.substr(0, ddsOneLevel.size() - 1), false, "level one byte short"},
        {"a.dds", ddsPitch, false, "a compressed level given by a pitch: DevIL reads no data"},
        {"a.wal", rgb2x2 + idat + iend, false, "a format the game does not hand to DevIL"},
        {"noextension", rgb2x2 + idat + iend, false, "no extension"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decodable(c.fileName, c.bytes), c.decodable) << c.why;
}

// Every damaged file of the fuzzers' corpora is refused by its guard, every intact one passes
// (the first byte chooses the extension, as in the fuzzers), and so does every picture and model
// the game ships or the repository holds. The model guard, ModelBounds, refuses FBX arrays
// declaring more than the file holds: Assimp zero-fills them before it looks at the data (a
// hundred bytes declaring 179 million doubles kept it busy for over ten seconds).
TEST(LoadingGuards, RefuseTheDamagedCorpusAndPassEverythingIntact) {
    const struct Guard {
        const char* corpus;
        std::vector<std::string> extensions;
        const char* refused; // name prefix of the corpus files the guard refuses
        std::vector<const char*> shipped;
    } guards[] = {{"image",
                   {".png", ".tga", ".bmp", ".jpg", ".DDS", ".dds", ".gif", ".tif", ".psd", ".ico",
                    ".ppm", ".pcx", ".sgi", ".hdr"},
                   "damaged_",
                   {"Resources/textures", "docs", "tests/data"}},
                  {"model", {".obj", ".fbx", ".3ds"}, "damaged_fbx", {"Resources/models"}}};
    for (const Guard& guard : guards) {
        const bool images = guard.corpus == std::string("image");
        auto passes = [&](const std::string& name, const std::string& bytes) {
            std::string reason;
            return images ? decodable(name, bytes)
                          : ModelBounds::check(name,
                                               reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                               bytes.size(), reason);
        };
        int refused = 0, intact = 0;
        for (const fs::directory_entry& entry :
             fs::directory_iterator(sourceDir() / "tests/fuzz/corpus" / guard.corpus)) {
            const std::string bytes = readFile(entry.path()),
                              file = entry.path().filename().string();
            const std::string name =
                file +
                guard.extensions[static_cast<unsigned char>(bytes.at(0)) % guard.extensions.size()];
            const bool damaged = file.starts_with(guard.refused);
            if (images && name.ends_with(".DDS"))
                continue; // the game's own reader, not a walk before DevIL
            if (damaged || !images || examine(name, "").format != ImageFormat::Other) {
                EXPECT_EQ(passes(name, bytes.substr(1)), !damaged) << entry.path();
            }
            refused += damaged ? 1 : 0;
        }
        for (const char* directory : guard.shipped)
            for (const fs::directory_entry& entry :
                 fs::recursive_directory_iterator(sourceDir() / directory)) {
                const std::string name = entry.path().filename().string();
                if (entry.is_regular_file() &&
                    (!images || examine(name, "").format != ImageFormat::Other)) {
                    EXPECT_TRUE(passes(name, readFile(entry.path()))) << entry.path();
                    ++intact;
                }
            }
        EXPECT_GE(refused, 4) << guard.corpus;
        EXPECT_GT(intact, 5) << "run from the repository root after scripts/setup.sh";
    }
}

// The game's model loader asks the guard first, and says why it loads nothing.
TEST(LoadingGuards, RefusedModelLoadsNothingAndSaysWhy) {
    TempDir dir;
    writeFile(
        dir.path() / "model.fbx",
        readFile(sourceDir() / "tests/fuzz/corpus/model/damaged_fbx_deflated_array_count_huge")
            .substr(1));
    ::testing::internal::CaptureStdout();
    MeshComponent component;
    component.load((dir.path() / "model.fbx").string());
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(component.meshes.empty());
    EXPECT_NE(out.find("ERROR::ASSIMP::binary FBX: an array declares more elements"),
              std::string::npos)
        << out;
}

namespace {

// Binary FBX: `nested` + 1 nodes named N, one inside the next from `at` on, each holding the one
// property `property`, with fields of `fieldBytes` bytes.
std::string fbxNode(std::size_t at, std::size_t fieldBytes, const std::string& property,
                    int nested) {
    const std::size_t start = at + 3 * fieldBytes + 2 + property.size();
    const std::string inner = nested > 0 ? fbxNode(start, fieldBytes, property, nested - 1) : "";
    return littleEndian(start + inner.size(), fieldBytes) + littleEndian(1, fieldBytes) +
           littleEndian(property.size(), fieldBytes) + "\x01N" + property + inner;
}
// The header of `version`, the nodes, the zero record.
std::string fbxFile(std::uint32_t version, std::size_t fieldBytes, const std::string& property,
                    int nested = 0) {
    const std::string header =
        std::string("Kaydara FBX Binary  \0\x1a\0", 23) + littleEndian(version, 4);
    return header + fbxNode(header.size(), fieldBytes, property, nested) +
           std::string(3 * fieldBytes + 1, '\0');
}
// An array property: element type, count, encoding (0 stored, 1 deflated), then its data.
std::string fbxArray(char type, std::uint32_t count, std::uint32_t encoding, std::size_t stored) {
    return type + littleEndian(count, 4) + littleEndian(encoding, 4) + littleEndian(stored, 4) +
           std::string(stored, '\x01');
}

} // namespace

// Every declared size of the model formats the guard walks, exactly at its limit and one past:
// record fields widen from version 7500 on, arrays hold what they declare (stored) or no more
// than deflate can expand to, records end inside the file, nesting stops at 64 levels, and a
// text count may not exceed the file's bytes.
TEST(LoadingGuards, ModelSizesAtTheirLimitPassAndOnePastAreRefused) {
    const std::string ints = fbxArray('i', 2, 0, 8), whole = fbxFile(7400, 4, ints);
    const std::pair<std::string, bool> rows[] = {
        {fbxFile(7499, 4, ints), true},
        {fbxFile(7499, 8, ints), false},
        {fbxFile(7500, 8, ints), true},
        {fbxFile(7500, 4, ints), false},
        {fbxFile(7400, 4, fbxArray('d', 2, 0, 16)), true},
        {fbxFile(7400, 4, fbxArray('d', 2, 0, 8)), false},
        {fbxFile(7400, 4, fbxArray('i', 2, 0, 12)), false},
        {fbxFile(7400, 4, fbxArray('i', 258, 1, 1)), true}, // 1032 bytes from one
        {fbxFile(7400, 4, fbxArray('i', 259, 1, 1)), false},
        {fbxFile(7400, 4, ints, 63), true}, // 64 levels
        {fbxFile(7400, 4, ints, 64), false},
        {"*100" + std::string(96, ' '), true}, // FBX as text
        {"*101" + std::string(96, ' '), false},
    };
    std::string reason;
    auto passes = [&](const std::string& bytes, std::size_t length) {
        return ModelBounds::check("model.fbx", reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                  length, reason);
    };
    for (std::size_t row = 0; row < std::size(rows); ++row)
        EXPECT_EQ(passes(rows[row].first, rows[row].first.size()), rows[row].second)
            << "row " << row << ": " << reason;
    // Cut short where memory goes on (as a read past the end finds it): the last record may end
    // the file, not one byte past it.
    EXPECT_TRUE(passes(whole, whole.size() - 13));
    EXPECT_FALSE(passes(whole, whole.size() - 14));
}

// Texture::load under OpenGL: DDS files through the game's own reader and upload, the others
// through DevIL with their mip chain.

namespace {

class TextureLoad : public ::testing::Test {
protected:
    void SetUp() override {
        ZEPHRANE_REQUIRE(ensureGlContext(), "needs an OpenGL context");
        ilInit();
        cwd.emplace(dir.path());
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        while (glGetError() != GL_NO_ERROR) {
        }
    }

    void writeTexture(const std::string& name, const std::string& content) {
        writeFile(dir.path() / "Resources/textures" / name, content);
    }

    // Loads a file and returns level 0 as RGBA bytes, expecting a texture and no GL error.
    Bytes loadAsRgba(const std::string& name, const std::string& content, int width, int height) {
        writeTexture(name, content);
        EXPECT_NE(Texture().load(name), 0u) << name;
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << name;
        Bytes texels(static_cast<std::size_t>(width * height * 4));
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        return texels;
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

// DevIL delivers TGA and BMP pictures as BGR(A), grey ones as luminance and colour-mapped ones
// as palette indices: none of these is an internal format of a core context.
TEST_F(TextureLoad, DecodedFormatsACoreContextRefusesArriveAsRgba) {
    EXPECT_EQ(loadAsRgba("grey.tga", tga(3, 2, 1, 8, {40, 200}), 2, 1),
              (Bytes{40, 40, 40, 255, 200, 200, 200, 255}));
    EXPECT_EQ(loadAsRgba("mapped.tga", tga(1, 2, 1, 8, {1, 0}, {10, 20, 30, 250, 150, 50}), 2, 1),
              (Bytes{50, 150, 250, 255, 30, 20, 10, 255}))
        << "map entries are stored blue, green, red";
    EXPECT_EQ(loadAsRgba("true.tga", tga(2, 1, 2, 32, {1, 2, 3, 4, 50, 60, 70, 80}), 1, 2),
              (Bytes{3, 2, 1, 4, 70, 60, 50, 80}));
    EXPECT_EQ(loadAsRgba("odd.bmp", bmp24(3, 1, {255, 0, 0, 0, 255, 0, 0, 0, 255}), 3, 1),
              (Bytes{0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 255}));
}

// What the game goes on without, saying so: a name that is no regular file (an empty material
// texture name, or ".", used to reach DevIL, which ended the game) counts as missing; a few
// bytes declaring a picture of gigabytes, which DevIL would allocate before decoding, are
// refused by the header alone.
TEST_F(TextureLoad, MissingAndHugePicturesGiveNoTextureAndALine) {
    ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr); // the key wait must not block
    const std::string missing = " could not be opened. Are you in the right directory ? Don't "
                                "forget to read the FAQ !\n";
    writeTexture("huge.png", pngHead(100000, 100000));
    // Run-length data that DevIL would expand row after row over 3 gigapixels.
    writeTexture("huge.tga", tga(10, 65532, 49147, 8, {0x83, 10, 0x03, 1, 2, 3, 4}));
    // clang-format off
    for (const auto& [name, line] : {std::pair<std::string, std::string>{"", missing},
             {".", missing}, {"./", missing}, {"huge.png", " is "}, {"huge.tga", " is "}}) {
        // clang-format on
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(Texture().load(name), 0u) << name;
        const std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(out.rfind("Resources/textures/" + name + line, 0), 0u) << out;
    }
}

// The reader lists the levels back to back inside the data it keeps, and keeps no more than
// the file holds, whatever the header says; the upload gives each listed level, in the file's
// format, and no other. A file the reader refuses gives no texture.
TEST_F(TextureLoad, DdsGivesTheLevelsTheFileHoldsAndNothingBeyondIt) {
    const std::vector<std::size_t> dxt5Chain256{65536, 16384, 4096, 1024, 256, 64, 16, 16, 16, 16};
    constexpr std::uint32_t huge[] = {0xFFFFFFFFu, 0x7FFFFFFDu};
    constexpr GLint s3tc1 = GL_COMPRESSED_RGBA_S3TC_DXT1_EXT,
                    s3tc3 = GL_COMPRESSED_RGBA_S3TC_DXT3_EXT,
                    s3tc5 = GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
    const struct {
        std::string bytes;
        GLint format; // 0: refused
        std::vector<std::size_t> levels;
    } cases[] = {
        // A full chain down to 1 x 1; partial blocks round up to whole 16-byte blocks.
        {ddsFile(dxt5, 256, 256, 65536, 10, 2 * 65536), s3tc5, dxt5Chain256},
        // A short file keeps the levels it holds whole; level 0 cut short leaves none.
        {ddsFile(dxt5, 256, 256, 65536, 10, 65536 + 16384 + 100), s3tc5, {65536, 16384}},
        {ddsFile(dxt1, 256, 256, 32768, 1, 100), s3tc1, {}},
        {ddsFile(dxt1, 8, 8, 32, 1, 24), s3tc1, {}}, // a block short
        // DXT1 blocks are 8 bytes, DXT3 16; partial blocks round up.
        {ddsFile(dxt1, 5, 3, 16, 1, 16), s3tc1, {16}},
        {ddsFile(dxt1, 8, 8, 32, 2, 64), s3tc1, {32, 8}},
        {ddsFile(dxt3, 8, 8, 64, 1, 64), s3tc3, {64}},
        // One level takes exactly the linear size, a chain twice that, whatever else follows.
        {ddsFile(dxt5, 16, 16, 256, 1, 1000), s3tc5, {256}},
        {ddsFile(dxt5, 16, 16, 256, 2, 1000), s3tc5, {256, 64}},
        // No levels to upload, yet a valid file; huge header values never reach beyond it.
        {ddsFile(dxt5, 0, 0, 256, 3, 512), s3tc5, {}},
        {ddsFile(dxt5, 16, 16, 256, 0, 256), s3tc5, {}}, // a count of 0: a name, no image
        {ddsFile(dxt5, 8, 8, 64, 1, 0), s3tc5, {}},      // the header alone
        {ddsFile(dxt5, huge[0], huge[0], huge[0], huge[0], 4096), s3tc5, {}},
        {ddsFile(dxt5, huge[1], huge[1], huge[1], huge[1], 4096), s3tc5, {}},
        // Unknown formats and incomplete headers are refused.
        {ddsFile(dxt2, 8, 8, 64, 1, 64), 0, {}},
        {ddsFile(dxt1 - (1 << 24), 8, 8, 64, 1, 64), 0, {}}, // DXT0, DXT4 and DXT6, beside ours
        {ddsFile(dxt5 - (1 << 24), 8, 8, 64, 1, 64), 0, {}},
        {ddsFile(dxt5 + (1 << 24), 8, 8, 64, 1, 64), 0, {}},
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

// The preview tool's options at each limit are taken and a picture is written; just past it, or
// without a value, they are refused before anything is drawn, naming the option, status 2.
TEST(PreviewOptions, EachLimitJustInsideIsTakenAndJustPastIsRefused) {
    const TexturePreview preview;
    ZEPHRANE_REQUIRE(fs::exists(preview.program), "needs the preview tool");
    auto run = [&](std::vector<std::string> options) {
        options.insert(options.begin(), {"--size", "8x8"});
        return preview.run(options);
    };
    using Pair = std::pair<std::string, std::string>;
    // clang-format off
    for (const auto& [option, value] : {Pair{"--size", "4096x1"}, {"--size", "1x4096"},
             {"--pitch", "89"}, {"--pitch", "-89"}, {"--distance", "1000"}, {"--distance", "0.001"},
             {"--yaw", "-720"}, {"--local-transform", "jet"}, {"--local-transform", "rocket"},
             {"--local-transform", "none"}}) {
        // clang-format on
        const ProcessResult taken = run({option, value});
        EXPECT_EQ(taken.exitCode, 0) << option << " " << value << ": " << taken.err;
        EXPECT_TRUE(preview.shotWritten()) << option << " " << value;
    }
    std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"--yaw"}, "--yaw needs a value"},
        {{"--zoom", "2"}, "unknown option --zoom"},
        {{"extra.png"}, "expected a model path and an output file, got 3 plain argument(s)"}};
    // clang-format off
    for (const auto& [option, value] : {Pair{"--size", "4097x1"}, {"--size", "1x4097"},
             {"--size", "0x1"}, {"--size", "1x0"}, {"--pitch", "89.01"}, {"--pitch", "-89.01"},
             {"--distance", "1000.1"}, {"--distance", "0"}, {"--yaw", "nan"},
             {"--local-transform", "Jet"}})
        // clang-format on
        refused.push_back({{option, value}, "bad value '" + value + "' for " + option});
    for (const auto& [options, message] : refused) {
        const ProcessResult result = run(options);
        EXPECT_EQ(result.exitCode, 2) << message;
        EXPECT_TRUE(result.err.starts_with("zephrane-preview: " + message + "\nusage: "))
            << result.err;
    }
}

namespace {

// Whether two drawn colours agree within a tolerance per channel.
::testing::AssertionResult sameColour(const std::vector<double>& seen,
                                      const std::vector<double>& expected, double tolerance) {
    if (seen.size() != 3 || expected.size() != 3)
        return ::testing::AssertionFailure() << "no picture drawn";
    for (int channel = 0; channel < 3; ++channel)
        if (std::abs(seen[channel] - expected[channel]) > tolerance)
            return ::testing::AssertionFailure()
                   << "drawn " << seen[0] << ", " << seen[1] << ", " << seen[2] << "; expected "
                   << expected[0] << ", " << expected[1] << ", " << expected[2];
    return ::testing::AssertionSuccess();
}

// How far from its own colour the front-lit quad may show a texture (a tenth of full scale).
constexpr double frontLight = 25.0;

// How a flat picture of this colour is drawn (lit and shaded as any texture is).
std::vector<double> drawnAs(const TexturePreview& quad, const Bytes& rgb) {
    Bytes pixels;
    for (int pixel = 0; pixel < 4; ++pixel)
        pixels.insert(pixels.end(), rgb.begin(), rgb.end());
    TempDir scratch;
    EXPECT_TRUE(writePng(scratch.path() / "flat.png", 2, 2, pixels));
    EXPECT_EQ(quad.draw("flat.png", readFile(scratch.path() / "flat.png")).exitCode, 0);
    const std::vector<double> drawn = quad.meanColour();
    // Lit from the front, a texture shows nearly its own colour: the reference is one.
    EXPECT_TRUE(sameColour(drawn, std::vector<double>(rgb.begin(), rgb.end()), frontLight));
    return drawn;
}

// JPEG's rounding, 16-bit colours and the CMYK round trip move a channel by a few steps; a
// texture that is not drawn at all is far off.
constexpr double colourTolerance = 6.0;
constexpr std::size_t ddsHeaderBytes = 128;

} // namespace

// Every format a texture may use, drawn by the preview tool in the colour it holds; the same
// file one structure short ends the tool with the line saying why.
TEST(TextureFormats, EachIsDrawnAndOneStructureShortIsRefused) {
    const TexturePreview quad;
    ZEPHRANE_REQUIRE(fs::exists(quad.program), "needs the preview tool");
    // The colour of our corpus files, 204, 102, 51, as a PNG (and as BMP and TGA pixels store it).
    Bytes rgb, bgr;
    for (int pixel = 0; pixel < 4; ++pixel) {
        rgb.insert(rgb.end(), {204, 102, 51});
        bgr.insert(bgr.end(), {51, 102, 204});
    }
    TempDir scratch;
    ASSERT_TRUE(writePng(scratch.path() / "png.png", 2, 2, rgb));
    const std::vector<double> reference = drawnAs(quad, {204, 102, 51});

    // Our own small files (from the image fuzzer's corpus; the first byte chose the extension
    // there).
    auto corpusFile = [](const std::string& name) {
        return readFile(sourceDir() / "tests/fuzz/corpus/image" / name).substr(1);
    };
    struct Row {
        std::string name; // the texture's name
        std::string bytes;
        std::size_t cut;            // bytes taken off the end: the last structure short
        std::vector<double> colour; // as drawn
    };
    std::vector<Row> rows = {
        {"a.png", readFile(scratch.path() / "png.png"), 12, reference}, // without IEND
        {"a.bmp", bmp24(2, 2, bgr), 1, reference},
        {"a.tga", tga(2, 2, 2, 24, bgr), 1, reference},
        {"a.jpg", readFile(sourceDir() / "tests/pictures/jpg-baseline.jpg"), 2, reference},
        // The trailer may go, the data's terminator not.
        {"a.gif", corpusFile("gif_frame"), 2, reference},
        {"a.tif", corpusFile("tif_rgb_strip"), 1, reference},
        {"a.psd", corpusFile("psd_rgb_packbits"), 1, reference},
        {"a.ico", corpusFile("ico_bgra"), 1, reference},
        {"a.cur", corpusFile("ico_bgra").replace(2, 1, 1, '\2'), 1, reference},
        {"a.ppm", corpusFile("ppm_binary"), 1, reference},
        {"a.pcx", corpusFile("pcx_three_planes"), 1, reference},
        // A row ends at its width, before its end marker.
        {"a.sgi", corpusFile("sgi_rle"), 2, reference},
        {"a.hdr", corpusFile("hdr_flat"), 1, reference},
    };
    // The DDS files DevIL decodes, their pixels or blocks replaced by one that holds a known
    // colour in the file's layout (the headers say which; 565 and 555 round 204, 102, 51).
    const std::string colour565("\x26\xcb", 2),
        flat565Block = colour565 + colour565 + std::string(4, '\0');
    const struct {
        const char* kind;
        std::string pixel; // a pixel, or a compressed block
        Bytes colour;
    } dds[] = {
        {"rgb24_chain", "\x33\x66\xcc", {204, 102, 51}},
        {"rgba32", "\x33\x66\xcc\xff", {204, 102, 51}},
        {"odd_flags", std::string("\x33\x66\xcc\x00", 4), {204, 102, 51}},
        {"bgr565", colour565, {206, 101, 49}},
        {"bgr555", "\x86\x65", {206, 99, 49}},
        {"luminance", "\x8c", {140, 140, 140}},
        {"luminance_alpha", "\x8c\xff", {140, 140, 140}},
        {"alpha", "\x8c", {0, 0, 0}}, // no colour to show: black, as a quad without texture
        // Both end colours alike, every index 0; DXT3 and DXT5 put 8 bytes of alpha first. ATI2's
        // first block is green, its second red, and blue the rest of a unit normal.
        // clang-format off
        {"dxt1_chain", flat565Block, {206, 101, 49}},
        {"dxt3", std::string(8, '\xff') + flat565Block, {206, 101, 49}},
        {"dxt5_chain", std::string("\xff\xff\0\0\0\0\0\0", 8) + flat565Block, {206, 101, 49}},
        {"ati1_chain", std::string(2, '\x8c') + std::string(6, '\0'), {140, 140, 140}},
        {"ati2_chain", std::string("\x8c\x8c\0\0\0\0\0\0\x33\x33\0\0\0\0\0\0", 16), {51, 140, 229}},
        // clang-format on
    };
    for (const auto& [kind, pixel, colour] : dds) {
        std::string bytes = corpusFile("dds_lower_case_" + std::string(kind));
        for (std::size_t at = ddsHeaderBytes; at < bytes.size(); ++at)
            bytes[at] = pixel[(at - ddsHeaderBytes) % pixel.size()];
        rows.push_back({std::string(kind) + ".dds", bytes, 1, drawnAs(quad, colour)});
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ProcessResult drawn = quad.draw(row.name, row.bytes);
        EXPECT_EQ(drawn.exitCode, 0) << drawn.out << drawn.err;
        EXPECT_TRUE(sameColour(quad.meanColour(), row.colour, colourTolerance));
        const ProcessResult refused =
            quad.draw(row.name, row.bytes.substr(0, row.bytes.size() - row.cut));
        EXPECT_EQ(refused.exitCode, -1);
        EXPECT_NE(refused.err.find("Resources/textures/" + row.name +
                                   " could not be decoded as an image (its structure is damaged: "),
                  std::string::npos)
            << refused.err;
    }
}

// Pictures as real encoders write them (tests/pictures, made by tools/make-test-pictures.sh), each
// drawn in the one colour it holds, or refused with the line that says why.
TEST(TextureFormats, WhatRealEncodersWriteIsDrawnInItsColour) {
    const TexturePreview quad;
    ZEPHRANE_REQUIRE(fs::exists(quad.program), "needs the preview tool");
    const std::vector<double> colour = drawnAs(quad, {204, 102, 51}),
                              grey = drawnAs(quad, {140, 140, 140});
    const char* const pcxLayout =
        "could not be decoded as an image (its structure is damaged: a PCX pixel layout DevIL "
        "does not read)";
    const char* const textLine =
        "could not be decoded as an image (its structure is damaged: a text PNM line longer than "
        "DevIL reads (179 characters))";
    const char* const bmpHeader = "could not be decoded as an image (DevIL error 0x508)";
    const char* const leftOut =
        "was decoded with a pixel layout that does not add up; it is left out";
    // Every file but these is drawn in the colour or the grey. These are refused on purpose:
    // the game ends with the line given, or leaves the texture out (the quad is drawn black)
    // and plays on.
    const struct {
        const char* file;
        bool ends; // or plays on without the texture
        const char* line;
    } refused[] = {
        // DevIL's BMP reader takes the 40-byte header and the OS/2 one, not V4 or V5.
        {"bmp-v4.bmp", true, bmpHeader},
        {"bmp-v5.bmp", true, bmpHeader},
        {"bmp-v5-alpha-bitfields.bmp", true, bmpHeader},
        // DevIL hands a CMYK JPEG over without its black: the colours would be wrong.
        {"jpg-cmyk.jpg", true,
         "could not be decoded as an image (its structure is damaged: a four-component (CMYK) "
         "JPEG, whose black DevIL leaves out)"},
        // DevIL's TIFF reader fails on tiles.
        {"tif-tiled.tif", true, "could not be decoded as an image (DevIL error 0x5e4)"},
        // DevIL reads a PNG icon image only as 8-bit RGBA (ImageMagick's 256-pixel one has a
        // palette).
        {"ico-bmp-and-png-entries.ico", true,
         "could not be decoded as an image (its structure is damaged: a PNG icon image other "
         "than 8-bit RGBA, which DevIL misreads)"},
        // Real encoders write an odd count of bytes a row for an odd width; DevIL wants it even.
        {"pcx-37-palette.pcx", true, pcxLayout},
        {"pcx-37-ppmtopcx-palette.pcx", true, pcxLayout},
        {"pcx-37-three-planes.pcx", true, pcxLayout},
        // DevIL reads 16-bit binary PNM samples but says they take one byte.
        {"ppm-raw16.ppm", false, leftOut},
        {"pgm-raw16.pgm", false, leftOut},
        // DevIL cuts a text line at its buffer's end, splitting a sample and writing past the
        // picture: every sample on one line is refused before it sees the file.
        {"pgm-plain-one-line.pgm", true, textLine},
        {"ppm-plain-one-line.ppm", true, textLine},
    };
    std::set<std::string> seenRefusals;
    for (const auto& entry : fs::directory_iterator(sourceDir() / "tests/pictures")) {
        const std::string file = entry.path().filename().string();
        SCOPED_TRACE(file);
        const ProcessResult drawn = quad.draw(file, readFile(entry.path()));
        const auto reason = std::find_if(std::begin(refused), std::end(refused),
                                         [&](const auto& r) { return file == r.file; });
        if (reason != std::end(refused)) {
            seenRefusals.insert(file);
            EXPECT_EQ(drawn.exitCode, reason->ends ? -1 : 0);
            EXPECT_NE((reason->ends ? drawn.err : drawn.out)
                          .find("Resources/textures/" + file + " " + reason->line + ".\n"),
                      std::string::npos)
                << drawn.out << drawn.err;
            continue;
        }
        EXPECT_EQ(drawn.exitCode, 0) << drawn.out << drawn.err;
        const bool isGrey = file.find("grey") != std::string::npos ||
                            file.find("1-channel") != std::string::npos || file.starts_with("pgm-");
        EXPECT_TRUE(sameColour(quad.meanColour(), isGrey ? grey : colour, colourTolerance));
    }
    EXPECT_EQ(seenRefusals.size(), std::size(refused)) << "every refused file is in the corpus";
}
