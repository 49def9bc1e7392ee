// The image walks at each of their limits: a file just inside passes, the same file one step past
// is refused, so that moving a limit by one fails a row. Rows change a base file's bytes; a few go
// through the preview tool, where the point is that DevIL really decodes the file just inside.
#include "TestSupport.h"

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
