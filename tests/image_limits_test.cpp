// The image walks at each of their limits: a file just inside passes, the same file one step past
// is refused, so that moving a limit by one fails a row. Rows change a base file's bytes; a few go
// through the preview tool, where the point is that DevIL really decodes the file just inside.
#include "TestSupport.h"

#include "formats/DdsImage.h"
#include "formats/ImageCheck.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

struct Row {
    std::string name; // the extension chooses the walk
    std::string bytes;
    bool passes;
    const char* why;
};

ImageCheck examine(const std::string& name, const std::string& bytes) {
    return ImageCheck::examine(name, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                               bytes.size());
}

void expectRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        const ImageCheck check = examine(row.name, row.bytes);
        EXPECT_EQ(check.decodable, row.passes) << row.name << ": " << row.why << " (" << check.reason
                                               << ")";
    }
}

// The preview tool drawing a quad whose material names the texture `name`.
class Preview {
public:
    Preview() {
        fs::create_directory_symlink(sourceDir() / "Shader", dir.path() / "Shader");
        writeFile(dir.path() / "quad.obj", readFile(sourceDir() / "tests/data/models/quad.obj"));
    }
    ProcessResult draw(const std::string& name, const std::string& bytes) {
        writeFile(dir.path() / "Resources/textures" / name, bytes);
        writeFile(dir.path() / "shared.mtl", "newmtl wall\nmap_Kd " + name + "\n");
        fs::remove(dir.path() / "shot.png");
        return runProcess({program.string(), "quad.obj", "shot.png", "--size", "16x16", "--yaw",
                           "0", "--pitch", "0"},
                          dir.path());
    }
    // The drawn quad's centre, or nothing when no picture was written.
    std::vector<unsigned char> centre() const {
        const RgbPicture shot = readPicture(dir.path() / "shot.png");
        return shot.width == 0 ? std::vector<unsigned char>{}
                               : std::vector<unsigned char>(shot.at(8, 8), shot.at(8, 8) + 3);
    }
    const fs::path program = binaryDir() / "tools" / "preview" / "zephrane-preview";

private:
    TempDir dir;
};

// A text PNM of one colour: `lines` lines of `perLine` samples, each line padded with blanks to
// `lineLength` characters.
std::string textPnm(char kind, int width, int height, std::size_t lineLength,
                    const std::vector<int>& colour, int perLine) {
    std::string samples;
    for (int pixel = 0; pixel < width * height; ++pixel)
        for (int value : colour)
            samples += std::to_string(value) + " ";
    std::string body;
    for (std::size_t at = 0, count = 0; at < samples.size(); ++count) {
        std::size_t end = at;
        for (int word = 0; word < perLine && end < samples.size(); ++word)
            end = samples.find(' ', end) + 1;
        std::string line = samples.substr(at, end - at);
        line.resize(std::max(lineLength, line.size()), ' ');
        body += line + "\n";
        at = end;
    }
    return std::string("P") + kind + "\n" + std::to_string(width) + " " + std::to_string(height) +
           "\n255\n" + body;
}

const std::vector<int> orange{204, 102, 51};

} // namespace

// DevIL reads text samples a line at a time through a 180-byte buffer: a longer line is cut, the
// number on the cut split in two, and the extra samples written past the picture (a 128 x 128
// grey map on one line of 57,000 characters aborted the game). Such a line is refused with its
// reason; one that fits is drawn.
TEST(PnmLimits, TextLinesDevilCutAreRefusedAndOnesThatFitAreDrawn) {
    const std::string oneLineGrey = textPnm('2', 128, 128, 0, {204}, 128 * 128);
    const std::string oneLineColour = textPnm('3', 128, 128, 0, orange, 3 * 128 * 128);
    ASSERT_GT(oneLineGrey.size(), 57000u);
    // 16 pixels of "204 102 51 " are 176 characters: the line holds 179 with three blanks more.
    const std::string fits = textPnm('3', 4, 4, 179, orange, 48);
    const std::vector<Row> rows = {
        {"a.pgm", oneLineGrey, false, "128 x 128 grey samples on one line"},
        {"a.ppm", oneLineColour, false, "128 x 128 colour samples on one line"},
        {"a.ppm", fits, true, "a line of 179 characters"},
        {"a.ppm", textPnm('3', 4, 4, 180, orange, 48), false, "180: no room for the terminator"},
        {"a.pgm", textPnm('2', 2, 1, 0, {7}, 2), true, "the last line ends with the picture"},
        {"a.pgm", textPnm('2', 2, 1, 0, {7}, 2) + "7\n", true, "lines after the last not read"},
        {"a.pgm", "P2\n2 1\n255\n7 7 7\n", false, "a sample past the picture on its last line"},
        {"a.pgm", "P2\n2 1\n255\n# a comment line\n7 7\n", true, "a comment at a line's start"},
        {"a.pgm", "P2\n2 1\n255\n7 # 7\n7\n", false, "DevIL reads on after a '#' in a line"},
        {"a.pgm", "P2\n2 1\n255\n7\n\n7\n", true, "an empty line"},
        {"a.pgm", "P2\n2 1\n255\n7\n \t\n7\n", false, "blanks alone: DevIL reads past the line"},
        {"a.pgm", "P2\r\n2 1\r\n255\r\n7\r\n7\r\n", true, "lines ending in CR LF"},
        {"a.pbm", "P1\n3 1\n1 0 1\n", true, "bitmap digits apart"},
        {"a.pbm", "P1\n3 1\n1 01\n", false, "bitmap digits side by side"},
    };
    expectRows(rows);
    EXPECT_NE(examine("a.ppm", oneLineColour).reason.find("line longer than DevIL reads"),
              std::string::npos);

    Preview preview;
    ZEPHRANE_REQUIRE(fs::exists(preview.program), "needs the preview tool");
    ASSERT_TRUE(writePng(fs::path(testing::TempDir()) / "orange.png", 1, 1, {204, 102, 51}));
    ASSERT_EQ(preview.draw("a.png", readFile(fs::path(testing::TempDir()) / "orange.png")).exitCode,
              0);
    const std::vector<unsigned char> reference = preview.centre();
    ASSERT_EQ(reference.size(), 3u);
    const ProcessResult drawn = preview.draw("a.ppm", fits);
    EXPECT_EQ(drawn.exitCode, 0) << drawn.err;
    EXPECT_EQ(preview.centre(), reference);
    for (const auto& [name, bytes] : {std::pair{"a.pgm", oneLineGrey}, {"a.ppm", oneLineColour}}) {
        const ProcessResult refused = preview.draw(name, bytes);
        EXPECT_EQ(refused.exitCode, -1) << refused.err;
        EXPECT_NE(refused.err.find(std::string("Resources/textures/") + name +
                                   " could not be decoded as an image (its structure is damaged: "
                                   "a text PNM line longer than DevIL reads (179 characters))."),
                  std::string::npos)
            << refused.err;
    }
}

namespace {

std::string bigEndian(std::uint64_t value, int bytes) {
    std::string out;
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out += static_cast<char>(value >> shift & 0xFF);
    return out;
}
std::string littleEndian(std::uint64_t value, int bytes) {
    std::string out;
    for (int shift = 0; shift < 8 * bytes; shift += 8)
        out += static_cast<char>(value >> shift & 0xFF);
    return out;
}

// A one-channel run-length SGI whose rows start at `starts` (offsets into `data`, which follows
// the tables), each `length` bytes long.
std::string sgiRows(int width, const std::vector<std::uint32_t>& starts, std::uint32_t length,
                    const std::string& data) {
    std::string header = bigEndian(474, 2) + std::string("\x01\x01", 2) + bigEndian(2, 2) +
                         bigEndian(width, 2) + bigEndian(starts.size(), 2) + bigEndian(1, 2);
    header.resize(512, '\0');
    const std::size_t dataAt = 512 + 8 * starts.size();
    std::string offsets, lengths;
    for (std::uint32_t start : starts) {
        offsets += bigEndian(dataAt + start, 4);
        lengths += bigEndian(length, 4);
    }
    return header + offsets + lengths + data;
}

// A little-endian TIFF of `pages` 1 x 1 directories, all pointing at one table of `strips`
// one-byte strips.
std::string tiffSharingStrips(int pages, int strips) {
    std::string file = "II" + littleEndian(42, 2) + littleEndian(8 + 8 * strips, 4);
    for (int strip = 0; strip < strips; ++strip)
        file += littleEndian(0, 4);
    for (int strip = 0; strip < strips; ++strip)
        file += littleEndian(1, 4);
    auto entry = [](int tag, int type, int count, std::uint32_t value) {
        return littleEndian(tag, 2) + littleEndian(type, 2) + littleEndian(count, 4) +
               littleEndian(value, 4);
    };
    for (int page = 0; page < pages; ++page) {
        const std::size_t next = file.size() + 2 + 4 * 12 + 4;
        file += littleEndian(4, 2) + entry(256, 3, 1, 1) + entry(257, 3, 1, 1) +
                entry(273, 4, strips, 8) + entry(279, 4, strips, 8 + 4 * strips) +
                littleEndian(page + 1 < pages ? next : 0, 4);
    }
    return file;
}

// An icon of `entries` entries, all pointing at one 1 x 1 RGBA PNG holding `texts` text chunks.
std::string iconSharingPng(int entries, int texts) {
    auto chunk = [](const std::string& type, const std::string& data) {
        return bigEndian(data.size(), 4) + type + data + "CRC!";
    };
    std::string png = "\x89PNG\r\n\x1a\n" +
                      chunk("IHDR", bigEndian(1, 4) + bigEndian(1, 4) + std::string("\x08\x06\0\0\0", 5));
    for (int text = 0; text < texts; ++text)
        png += chunk("tEXt", "a");
    png += chunk("IDAT", "x") + chunk("IEND", "");
    std::string file = littleEndian(0, 2) + littleEndian(1, 2) + littleEndian(entries, 2);
    for (int entry = 0; entry < entries; ++entry)
        file += std::string("\x01\x01\0\0\x01\0\x20\0", 8) + littleEndian(png.size(), 4) +
                littleEndian(6 + 16 * entries, 4);
    return file + png;
}

} // namespace

// A walk's work stays within a few steps a byte of the file whatever its tables point at: rows,
// directories and entries sharing one piece of data are looked at once, and tables pointing into
// the same data in ever other ways are refused once the budget is spent.
TEST(WalkWork, StaysLinearInTheFileWhateverItsTablesPointAt) {
    // 16384 rows of 127 x 128 pixels, all one run-length row: 128 runs of 127 and an end.
    std::string runs;
    for (int run = 0; run < 128; ++run)
        runs += "\x7F\x10";
    const std::string sharedRow = sgiRows(127 * 128, std::vector<std::uint32_t>(16384, 0), 257,
                                          runs + std::string(1, '\0'));
    // 1000 rows of 1000 pixels starting 2 bytes apart in one chain of single-pixel runs.
    std::vector<std::uint32_t> apart;
    for (std::uint32_t row = 0; row < 1000; ++row)
        apart.push_back(2 * row);
    std::string singles;
    for (int pixel = 0; pixel < 2000; ++pixel)
        singles += "\x01\x10";
    const struct {
        const char* name;
        std::string bytes;
        bool passes;
    } rows[] = {
        {"a.sgi", sharedRow, true},
        {"a.sgi", sgiRows(1000, apart, 2000, singles), false},
        {"a.tif", tiffSharingStrips(1000, 1000), true},
        {"a.ico", iconSharingPng(1000, 1000), true},
    };
    for (const auto& row : rows) {
        const ImageCheck check = examine(row.name, row.bytes);
        EXPECT_EQ(check.decodable, row.passes) << row.name << ": " << check.reason;
        // The budget, and the steps found past it that stop the walk.
        EXPECT_LE(check.work, 2 * row.bytes.size() + 4096 + 2) << row.name;
        if (!row.passes) {
            EXPECT_EQ(check.reason, "tables that point into the same data over and over");
        }
    }
}

// One picture larger than a texture and pictures together larger than any texture are the same
// cause: the texture is left out with a line saying so, and the program goes on.
TEST(TooLarge, OnePictureOrAllTogetherAreLeftOutAlike) {
    auto gif = [](int width, int height, int frames) {
        std::string file = "GIF89a" + littleEndian(width, 2) + littleEndian(height, 2) +
                           std::string(3, '\0');
        for (int frame = 0; frame < frames; ++frame)
            file += "\x2C" + littleEndian(0, 4) + littleEndian(1, 2) + littleEndian(1, 2) +
                    std::string("\0\x02\x02\x44\x01\0", 6);
        return file + "\x3B";
    };
    Preview preview;
    ZEPHRANE_REQUIRE(fs::exists(preview.program), "needs the preview tool");
    const std::pair<std::string, std::string> rows[] = {
        {gif(65535, 1, 1), "Resources/textures/a.gif is 65535 x 1 pixels, larger than a texture "
                           "may be ("},
        {gif(16384, 16384, 2), "Resources/textures/a.gif holds 536870912 pixels in all its "
                               "pictures, more than a texture may be.\n"},
    };
    for (const auto& [bytes, line] : rows) {
        const ProcessResult drawn = preview.draw("a.gif", bytes);
        EXPECT_EQ(drawn.exitCode, 0) << drawn.err;
        EXPECT_NE(drawn.out.find(line), std::string::npos) << drawn.out;
    }
    EXPECT_TRUE(examine("a.gif", gif(16384, 16384, 1)).decodable) << "one screen: inside";
}

// Per format: each limit and refusal of its walk, the base file just inside, one byte, count or
// code further just past.

namespace {

// `bytes` with `width` bytes at `at` replaced by `value` (little-endian unless `big`).
std::string put(std::string bytes, std::size_t at, std::uint64_t value, int width,
                bool big = false) {
    bytes.replace(at, width, big ? bigEndian(value, width) : littleEndian(value, width));
    return bytes;
}
std::string corpus(const std::string& name) {
    return readFile(sourceDir() / "tests/fuzz/corpus/image" / name).substr(1);
}
std::string pngChunk(const std::string& type, const std::string& data) {
    return bigEndian(data.size(), 4) + type + data + "CRC!";
}
std::string png(std::uint32_t width, std::uint32_t height, int depth, int colourType,
                const std::string& extra = "") {
    return "\x89PNG\r\n\x1a\n" +
           pngChunk("IHDR", bigEndian(width, 4) + bigEndian(height, 4) +
                                static_cast<char>(depth) + static_cast<char>(colourType) +
                                std::string(3, '\0')) +
           extra + pngChunk("IDAT", "x") + pngChunk("IEND", "");
}

// A 2 x 2 24-bit BMP, then room for the largest info header and palette.
std::string bmp24Padded() {
    std::string file = "BM" + littleEndian(54 + 16, 4) + littleEndian(0, 4) + littleEndian(54, 4) +
                       littleEndian(40, 4) + littleEndian(2, 4) + littleEndian(2, 4) +
                       littleEndian(1, 2) + littleEndian(24, 2) + littleEndian(0, 4) +
                       littleEndian(16, 4) + std::string(16, '\0');
    return file + std::string(16, '\x40') + std::string(1100, '\0');
}

} // namespace

TEST(FormatLimits, Png) {
    std::vector<Row> rows = {
        {"a.png", png(2, 2, 8, 2), true, "base"},
        {"a.png", put(png(2, 2, 8, 2), 8, 14, 4, true), false, "IHDR of 14 bytes"},
        // One compressed byte stands for at most 1032 bytes of filtered rows.
        {"a.png", png(1031, 1, 8, 0), true, "1032 bytes of rows from one"},
        {"a.png", png(1032, 1, 8, 0), false, "1033 bytes of rows from one"},
        {"a.png", png(2, 2, 8, 2).substr(0, 58 - 4), true, "IEND without its CRC"},
        {"a.png", png(2, 2, 8, 2).substr(0, 58 - 5), false, "IEND's type cut short"},
    };
    // Bit depths by colour type: the largest and smallest each takes, and the next ones.
    for (const auto& [type, depth, passes] :
         {std::tuple{0, 1, true}, {0, 16, true}, {0, 3, false}, {0, 32, false}, {3, 8, true},
          {3, 16, false}, {4, 8, true}, {4, 4, false}, {2, 16, true}, {2, 4, false},
          {6, 8, true}, {6, 4, false}, {5, 8, false}, {7, 8, false}})
        rows.push_back({"a.png", png(1, 1, depth, type), passes, "colour type and depth"});
    // Chunk types are letters: the ends of both ranges and the bytes beside them.
    for (const auto& [letter, passes] : {std::pair{'A', true}, {'Z', true}, {'a', true},
                                         {'z', true}, {'@', false}, {'[', false}, {'`', false},
                                         {'{', false}})
        rows.push_back({"a.png", png(1, 1, 8, 2, pngChunk(std::string(1, letter) + "EXt", "a")),
                        passes, "a chunk type's letter"});
    expectRows(rows);
}

TEST(FormatLimits, Jpeg) {
    const std::string start("\xff\xd8", 2), scan("\xff\xda\0\x02\x12", 5);
    std::vector<Row> rows = {
        {"a.jpg", corpus("jpg_colour"), true, "base"},
        {"a.jpg", start + std::string("\xff\xe0\0\x02", 4) + "\xff\xd9", true, "a 2-byte segment"},
        {"a.jpg", start + std::string("\xff\xe0\0\x01", 4) + "\xff\xd9", false, "1-byte segment"},
        {"a.jpg", start + std::string("\xff\x01\xff\xd9", 4), true, "TEM has no segment"},
        {"a.jpg", start + std::string("\xff\x02\xff\xd9", 4), false, "0x02 has one"},
    };
    // Inside a scan, 0xFF followed by a restart marker (D0 to D7) goes on; other markers end it
    // and read a segment.
    for (const auto& [marker, passes] :
         {std::pair{'\xd0', true}, {'\xd7', true}, {'\xcf', false}, {'\xd8', false}})
        rows.push_back({"a.jpg", start + scan + "\xff" + marker + "\x34\xff\xd9", passes,
                        "a marker inside a scan"});
    expectRows(rows);
    // Frame markers C0 to CF but for C4, C8 and CC declare the size; a frame segment of 7 bytes
    // holds it.
    for (const auto& [marker, length, known] :
         {std::tuple{'\xc0', 7, true}, {'\xcf', 7, true}, {'\xc4', 7, false}, {'\xc8', 7, false},
          {'\xcc', 7, false}, {'\xbf', 7, false}, {'\xc0', 6, false}}) {
        const std::string file = start + "\xff" + marker + bigEndian(length, 2) +
                                 std::string("\x08\0\x05\0\x07", 5) + "\xff\xd9";
        EXPECT_EQ(examine("a.jpg", file).sizeKnown, known) << int(marker & 0xFF) << " " << length;
    }
}

TEST(FormatLimits, Bmp) {
    // A 2 x 2 24-bit BMP with room after it for the largest header and palette.
    std::string base = bmp24Padded();
    std::vector<Row> rows = {{"a.bmp", base, true, "base"}};
    for (const auto& [size, passes] : {std::pair{40, true}, {52, true}, {56, true}, {64, true},
                                       {108, true}, {124, true}, {39, false}, {41, false},
                                       {123, false}, {125, false}})
        rows.push_back({"a.bmp", put(base, 14, size, 4), passes, "an info header size"});
    for (const auto& [bits, compression, passes] :
         {std::tuple{1, 0, true}, {4, 0, true}, {8, 0, true}, {16, 0, true}, {32, 0, true},
          {0, 0, false}, {2, 0, false}, {33, 0, false}, {16, 3, true}, {32, 3, true},
          {24, 3, false}, {8, 1, true}, {4, 1, false}, {4, 2, true}, {8, 2, false},
          {24, 4, false}})
        rows.push_back({"a.bmp", put(put(base, 28, bits, 2), 30, compression, 4), passes,
                        "a bit depth and compression"});
    expectRows(rows);
}

TEST(FormatLimits, Tga) {
    auto tga = [](int type, int width, const std::string& map, const std::string& pixels) {
        return std::string(1, '\0') + static_cast<char>(map.empty() ? 0 : 1) +
               static_cast<char>(type) + littleEndian(0, 2) + littleEndian(map.size() / 3, 2) +
               static_cast<char>(map.empty() ? 0 : 24) + std::string(4, '\0') +
               littleEndian(width, 2) + littleEndian(1, 2) + "\x08\x20" + map + pixels;
    };
    const std::string colour(3, '\x40'), pixel("\x80\0", 2); // a raw pixel, or a packet
    std::vector<Row> rows;
    for (const auto& [type, passes] : {std::pair{1, true}, {2, true}, {3, true}, {9, true},
                                       {10, true}, {11, true}, {0, false}, {4, false},
                                       {8, false}, {12, false}})
        rows.push_back({"a.tga", tga(type, 1, colour, pixel), passes, "an image type"});
    rows.push_back({"a.tga", tga(2, 1, std::string(0x7FFF * 3, '\0'), pixel), true, "map 7FFF"});
    rows.push_back({"a.tga", tga(2, 1, std::string(0x8000 * 3, '\0'), pixel), false, "map 8000"});
    rows.push_back({"a.tga", tga(1, 1, "", pixel), false, "colour-mapped without colours"});
    // A run-length packet stands for 128 pixels at most.
    rows.push_back({"a.tga", tga(11, 128, "", "\xff\x10"), true, "128 pixels from one packet"});
    rows.push_back({"a.tga", tga(11, 129, "", "\xff\x10"), false, "129 pixels from one packet"});
    expectRows(rows);
}

TEST(FormatLimits, LowerCaseDds) {
    const std::string base = ddsFile(dxt1, 8, 8, 32, 1, 32);
    // Uncompressed: an RGB pixel format of `bits` a pixel, level 0 whole.
    auto pixels = [](int bits) {
        return put(put(ddsFile(0, 8, 8, 0, 1, 8 * bits), 80, 0x40, 4), 88, bits, 4);
    };
    std::vector<Row> rows = {
        {"a.dds", base, true, "base"},
        {"a.dds", put(base, 4, 125, 4), false, "a header of 125 bytes"},
        {"a.dds", put(base, 4, 0x20534444, 4), true, "the magic as header size"},
        {"a.dds", put(base, 76, 33, 4), false, "a pixel format of 33 bytes"},
        {"a.dds", put(base, 20, 31, 4), false, "a linear size a byte short of level 0"},
        {"a.dds", put(base, 108, 0x1008, 4), true, "complex caps alone"},
        {"a.dds", put(put(base, 108, 0x1008, 4), 112, 0x200, 4), false, "a cube map"},
        // 8 x 8 DXT1: 32 bytes, 8, then 1 x 1 levels of 8 up to 33 levels, and no more.
        {"a.dds", ddsFile(dxt1, 8, 8, 32, 33, 32 + 8 + 31 * 8), true, "33 levels"},
        {"a.dds", ddsFile(dxt1, 8, 8, 32, 33, 32 + 8 + 31 * 8 - 1), false, "33 levels short"},
        {"a.dds", ddsFile(dxt1, 8, 8, 32, 34, 1000), false, "34 levels"},
        {"a.dds", pixels(32), true, "32 bits a pixel"},
        {"a.dds", pixels(40), false, "40 bits a pixel"},
        {"a.dds", pixels(7), false, "7 bits a pixel"},
    };
    for (const auto& [code, passes] :
         {std::pair{"DXT1", true}, {"DXT2", true}, {"DXT3", true}, {"DXT5", true},
          {"ATI1", true}, {"ATI2", true}, {"RXGB", true}, {"DXT4", false}, {"DXT0", false},
          {"DXT6", false}, {"ATI0", false}, {"ATI3", false}})
        rows.push_back({"a.dds", ddsFile(0, 8, 8, 0, 1, 64).replace(84, 4, code),
                        passes, code});
    expectRows(rows);
}

// The game's own reader of upper-case .DDS files: the three S3TC codes and nothing beside them;
// a header cut short by a byte is refused.
TEST(FormatLimits, UpperCaseDds) {
    for (const auto& [code, passes] :
         {std::pair{"DXT1", true}, {"DXT3", true}, {"DXT5", true}, {"DXT0", false},
          {"DXT2", false}, {"DXT4", false}, {"DXT6", false}}) {
        std::string file = ddsFile(0, 8, 8, 64, 1, 64).replace(84, 4, code);
        DdsImage image;
        EXPECT_EQ(DdsImage::parse(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(),
                                  image),
                  passes)
            << code;
        EXPECT_EQ(DdsImage::parse(reinterpret_cast<const std::uint8_t*>(file.data()), 127, image),
                  false);
        EXPECT_EQ(DdsImage::parse(reinterpret_cast<const std::uint8_t*>(file.data()), 128, image),
                  passes)
            << "the header alone";
    }
}

TEST(FormatLimits, Gif) {
    const std::string base = corpus("gif_frame"); // 2 x 2, a 2-colour table, one frame at 19
    const std::string control("\x21\xf9\x04\0\0\0\0\0", 8);
    const std::vector<Row> rows = {
        {"a.gif", base, true, "base"},
        {"a.gif", std::string(base).replace(0, 6, "GIF89A"), true, "upper-case version"},
        {"a.gif", std::string(base).replace(0, 6, "GIF88a"), false, "no GIF version"},
        {"a.gif", put(base, 29, 9, 1), true, "code size 9"},
        {"a.gif", put(base, 29, 10, 1), false, "code size 10"},
        {"a.gif", put(base, 29, 2, 1), true, "code size 2"},
        {"a.gif", put(base, 29, 1, 1), false, "code size 1"},
        {"a.gif", put(put(base, 20, 1, 2), 24, 1, 2), true, "a frame ending at the screen's edge"},
        {"a.gif", put(base, 20, 1, 2), false, "a frame one past the screen's edge"},
        {"a.gif", put(base, 26, 0, 2), false, "a frame of no height"},
        {"a.gif", base.substr(0, 19) + control + base.substr(19), true, "a graphic control"},
        {"a.gif", base.substr(0, 19) + control.substr(0, 7) + base.substr(19), false,
         "a graphic control a byte short"},
        {"a.gif", base.substr(0, 18), false, "the colour table a byte short"},
    };
    expectRows(rows);
}

TEST(FormatLimits, Tiff) {
    // 2 x 2 RGB, little-endian: samples per pixel at 90, bits per sample at 122, the strip's
    // byte count at 114, its 12 bytes ending the file.
    const std::string base = corpus("tif_rgb_strip");
    const std::vector<Row> rows = {
        {"a.tif", base, true, "base"},
        {"a.tif", put(base, 114, 13, 2), false, "the strip a byte past the end"},
        {"a.tif", put(base, 2, 43, 2), false, "not 42"},
        {"a.tif", put(base, 90, 4, 2), true, "4 samples a pixel"},
        {"a.tif", put(base, 90, 5, 2), false, "5 samples a pixel"},
        {"a.tif", put(base, 90, 0, 2), false, "no samples"},
        {"a.tif", put(base, 122, 16, 2), true, "16 bits a sample"},
        {"a.tif", put(base, 122, 1, 2), true, "1 bit a sample"},
        {"a.tif", put(base, 122, 3, 2), false, "3 bits a sample"},
        {"a.tif", put(base, 122, 32, 2), false, "32 bits a sample"},
        {"a.tif", put(base, 12, 4, 2), true, "the width as a LONG"},
        {"a.tif", put(base, 12, 1, 2), false, "the width as a BYTE"},
    };
    expectRows(rows);
}

TEST(FormatLimits, Psd) {
    // 2 x 2 RGB, 8 bits, PackBits: channels at 12, depth at 22, mode at 24, compression at 38.
    const std::string base = corpus("psd_rgb_packbits");
    // 1 x 1, raw, with room for 25 channels.
    const std::string raw = put(put(put(base, 14, 1, 4, true), 18, 1, 4, true), 38, 0, 2, true)
                                .substr(0, 40) +
                            std::string(25, '\x40');
    const std::vector<Row> rows = {
        {"a.psd", base, true, "base"},
        {"a.psd", put(base, 4, 2, 2, true), false, "version 2"},
        {"a.psd", put(base, 12, 2, 2, true), false, "RGB in two channels"},
        {"a.psd", put(put(base, 24, 1, 2, true), 12, 3, 2, true), true, "grey in three"},
        {"a.psd", put(raw, 12, 24, 2, true), true, "24 channels"},
        {"a.psd", put(raw, 12, 25, 2, true), false, "25 channels"},
        {"a.psd", put(base, 22, 1, 2, true), false, "1 bit"},
        {"a.psd", put(base, 24, 5, 2, true), false, "an unknown mode"},
        {"a.psd", put(base, 38, 2, 2, true), false, "a compression DevIL does not read"},
        {"a.psd", put(raw, 14, 30000, 4, true) + std::string(90000, '\0'), true, "30000 high"},
        {"a.psd", put(raw, 14, 30001, 4, true) + std::string(90003, '\0'), false, "30001 high"},
    };
    expectRows(rows);
}

TEST(FormatLimits, IcoAndCur) {
    // One 2 x 2 32-bit BMP entry: directory type at 2, bit count at 36, the BMP's height (with
    // the mask's rows) at 30.
    const std::string base = corpus("ico_bgra");
    const std::string oneRgba = iconSharingPng(1, 0);
    std::vector<Row> rows = {
        {"a.ico", base, true, "base"},
        {"a.cur", put(base, 2, 2, 2), true, "a cursor"},
        {"a.ico", put(base, 2, 0, 2), false, "type 0"},
        {"a.ico", put(base, 2, 3, 2), false, "type 3"},
        {"a.ico", put(base, 0, 1, 2), false, "reserved 1"},
        {"a.ico", put(base, 36, 24, 2), true, "24 bits"},
        {"a.ico", put(base, 36, 16, 2), false, "16 bits"},
        {"a.ico", put(base, 30, 0, 4), false, "no rows"},
        {"a.ico", oneRgba, true, "an 8-bit RGBA PNG"},
        {"a.ico", put(oneRgba, 22 + 24, 16, 1), false, "a 16-bit RGBA PNG"},
        {"a.ico", put(oneRgba, 22 + 25, 2, 1), false, "an 8-bit RGB PNG"},
    };
    expectRows(rows);
}

TEST(FormatLimits, Pnm) {
    const std::string base = corpus("ppm_binary"); // P6, a comment, 2 x 2, 255
    std::vector<Row> rows = {
        {"a.ppm", base, true, "base"},
        {"a.ppm", base.substr(0, base.size() - 1), false, "a byte short"},
        {"a.pgm", "P5\n1 1\n65535\n\x01\x02", true, "16-bit: two bytes a sample"},
        {"a.pgm", "P5\n1 1\n65536\n\x01\x02", false, "past 16 bits"},
        {"a.pgm", "P5\n1 1\n256\n\x01", false, "over 255 and one byte"},
        {"a.pgm", "P2\n1 1\n255\n7\n", true, "text samples up to 255"},
        {"a.pgm", "P2\n1 1\n256\n7\n", false, "text samples over 255"},
        {"a.pgm", "P5\n0000000001 1\n255\n\x01", true, "a 10-digit word"},
        {"a.pgm", "P5\n00000000001 1\n255\n\x01", false, "an 11-digit word"},
        {"a.pgm", "P2\n1 1\n255\n0000000007\n", true, "a 10-digit sample"},
        {"a.pgm", "P2\n1 1\n255\n00000000007\n", false, "an 11-digit sample"},
    };
    // Each kind with a 1 x 1 picture, and the kinds beside them.
    for (const auto& [kind, rest, passes] :
         {std::tuple{'1', "1\n", true}, {'2', "1\n1\n", true}, {'3', "1\n1 1 1\n", true},
          {'4', "\x80", true}, {'5', "1\n\x01", true}, {'6', "1\n\x01\x01\x01", true},
          {'0', "1\n\x01", false}, {'7', "1\n\x01", false}})
        rows.push_back({"a.pnm", std::string("P") + kind + "\n1 1\n" + rest, passes, "a kind"});
    expectRows(rows);
}

TEST(FormatLimits, Pcx) {
    // 2 x 2, 8 bits in three planes of 2 bytes a row: bits at 3, planes at 65, bytes a plane's
    // row at 66; the filler from 74 to 127.
    const std::string base = corpus("pcx_three_planes");
    const std::vector<Row> rows = {
        {"a.pcx", base, true, "base"},
        {"a.pcx", put(base, 0, 11, 1), false, "not made by ZSoft"},
        {"a.pcx", put(base, 2, 0, 1), false, "not run-length"},
        {"a.pcx", put(base, 65, 2, 1), false, "two planes"},
        {"a.pcx", put(put(base, 65, 1, 1), 1, 0, 1), true, "one plane, no palette"},
        {"a.pcx", put(base, 66, 4, 2), false, "4 bytes a plane's row for 2 pixels"},
        {"a.pcx", put(base, 3, 2, 1), false, "2 bits"},
        {"a.pcx", put(base, 127, 1, 1), false, "the filler's last byte"},
        {"a.pcx", put(base, 73, 1, 1), true, "the byte before the filler"},
    };
    expectRows(rows);
}

TEST(FormatLimits, Sgi) {
    // A verbatim SGI of `channels` channels of 2 x 2, `bytes` bytes a value.
    auto verbatim = [](int channels, int bytes, std::size_t data) {
        std::string header = bigEndian(474, 2) + std::string(1, '\0') + static_cast<char>(bytes) +
                             bigEndian(3, 2) + bigEndian(2, 2) + bigEndian(2, 2) +
                             bigEndian(channels, 2);
        header.resize(512, '\0');
        return header + std::string(data, '\x40');
    };
    const std::string rle = corpus("sgi_rle");
    const std::vector<Row> rows = {
        {"a.sgi", verbatim(1, 1, 4), true, "one channel"},
        {"a.sgi", verbatim(1, 1, 3), false, "a byte short"},
        {"a.sgi", verbatim(2, 1, 4), true, "two channels, read as one"},
        {"a.sgi", verbatim(4, 2, 32), true, "four channels of two bytes"},
        {"a.sgi", verbatim(5, 1, 100), false, "five channels"},
        {"a.sgi", verbatim(0, 1, 100), false, "no channels"},
        {"a.sgi", verbatim(1, 3, 100), false, "three bytes a value"},
        {"a.sgi", put(verbatim(1, 1, 4), 0, 475, 2, true), false, "not 474"},
        {"a.sgi", put(verbatim(1, 1, 4), 2, 2, 1), false, "storage 2"},
        {"a.sgi", put(verbatim(1, 1, 4), 4, 0, 2), false, "no dimension"},
        {"a.sgi", rle, true, "run-length"},
        {"a.sgi", put(rle, 3, 2, 1), false, "run-length of two bytes a value"},
        // A row of two packets is read when its length reaches past the first.
        {"a.sgi", sgiRows(2, {0}, 3, "\x01\xcc\x01\xcc"), true, "the last packet inside"},
        {"a.sgi", sgiRows(2, {0}, 2, "\x01\xcc\x01\xcc"), false, "the last packet outside"},
        {"a.sgi", sgiRows(2, {0}, 9, "\x82\xcc\xcc"), true, "a literal of two"},
        {"a.sgi", sgiRows(2, {0}, 9, "\x82\xcc"), false, "a literal past the end"},
        {"a.sgi", sgiRows(2, {0}, 9, "\x03\xcc"), false, "a run past the row"},
    };
    expectRows(rows);
}

TEST(FormatLimits, Hdr) {
    // One scanline of 8 pixels, each component a run of 8 (a head over 128) or 8 literals.
    auto hdr = [](const std::string& signature, int declared, const std::string& component,
                  int width = 8) {
        std::string file = signature + "\nFORMAT=32-bit_rle_rgbe\n\n-Y 1 +X " +
                           std::to_string(width) + "\n\x02\x02" + bigEndian(declared, 2);
        for (int c = 0; c < 4; ++c)
            file += component;
        return file;
    };
    const std::string run("\x88\x40", 2), literals = "\x08" + std::string(8, '\x40');
    const std::vector<Row> rows = {
        {"a.hdr", corpus("hdr_flat"), true, "flat"},
        {"a.hdr", hdr("#?RADIANCE", 8, run), true, "runs"},
        {"a.hdr", hdr("#?RGBE", 8, literals), true, "literals"},
        {"a.hdr", hdr("#?RGBF", 8, run), false, "no signature"},
        // A head of 128 is 128 literals, one of 129 a run of one.
        {"a.hdr", hdr("#?RGBE", 128, "\x80" + std::string(128, '\x40'), 128), true, "128 literals"},
        {"a.hdr", hdr("#?RGBE", 1, "\x81\x40", 1), true, "a run of one"},
        {"a.hdr", hdr("#?RADIANCE", 9, run), false, "a scanline one wider"},
        {"a.hdr", hdr("#?RADIANCE", 7, run), false, "a scanline one narrower"},
        {"a.hdr", hdr("#?RGBE", 8, run).substr(0, hdr("#?RGBE", 8, run).size() - 1), false,
         "the last run cut short"},
    };
    expectRows(rows);
}
