// The image walks at each of their limits: a file just inside passes, the same file one step past
// is refused, so that moving a limit by one fails a row. Rows change a base file's bytes; a few go
// through the preview tool, where the point is that DevIL really decodes the file just inside.
#include "TestSupport.h"

#include "formats/ImageCheck.h"

#include <cctype>
#include <cstdint>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

struct Row {
    std::string name; // the extension chooses the walk
    std::string bytes;
    std::string verdict; // passes, or refused: and the reason
};

// The rows of tests/data/DIR.txt: a file of tests/data/DIR/, an arrow, and passes or refused with
// the reason.
std::vector<Row> fileRows(const std::string& dir) {
    std::vector<Row> rows;
    for (const auto& [file, verdict] : tableRows(dir + ".txt", 1))
        rows.push_back({file, readFile(sourceDir() / "tests/data" / dir / file), verdict});
    return rows;
}

} // namespace

// DevIL reads text samples a line at a time through a 180-byte buffer: a longer line is cut, the
// number on the cut split in two, and the extra samples written past the picture (a 128 x 128
// grey map on one line of 57,000 characters aborted the game). Such a line is refused with its
// reason; one that fits is drawn.
TEST(PnmLimits, TextLinesDevilCutAreRefusedAndOnesThatFitAreDrawn) {
    for (const Row& row : fileRows("pnm-lines")) {
        const ImageCheck check = examine(row.name, row.bytes);
        EXPECT_EQ(check.decodable ? "passes" : "refused: " + check.reason, row.verdict);
    }

    const TexturePreview preview;
    ZEPHRANE_REQUIRE(fs::exists(preview.program), "needs the preview tool");
    ASSERT_TRUE(writePng(fs::path(testing::TempDir()) / "orange.png", 1, 1, {204, 102, 51}));
    ASSERT_EQ(preview.draw("a.png", readFile(fs::path(testing::TempDir()) / "orange.png")).exitCode,
              0);
    const std::vector<double> reference = preview.meanColour();
    ASSERT_EQ(reference.size(), 3u);
    const ProcessResult drawn =
        preview.draw("a.ppm", readFile(sourceDir() /
                                       "tests/data/pnm-lines/ppm-4x4-lines-of-179-characters.ppm"));
    EXPECT_EQ(drawn.exitCode, 0) << drawn.err;
    EXPECT_EQ(preview.meanColour(), reference);
}

// A walk's work stays within a few steps a byte of the file whatever its tables point at: rows,
// directories and entries sharing one piece of data are looked at once, and tables pointing into
// the same data in ever other ways are refused once the budget is spent.
TEST(WalkWork, StaysLinearInTheFileWhateverItsTablesPointAt) {
    for (const Row& row : fileRows("work-budget")) {
        const ImageCheck check = examine(row.name, row.bytes);
        EXPECT_EQ(check.decodable ? "passes" : "refused: " + check.reason, row.verdict);
        // The budget, and the steps found past it that stop the walk.
        EXPECT_LE(check.work, 2 * row.bytes.size() + 4096 + 2) << row.name;
    }
}

// One picture larger than a texture and pictures together larger than any texture are the same
// cause: the texture is left out with a line saying so, and the program goes on.
TEST(TooLarge, OnePictureOrAllTogetherAreLeftOutAlike) {
    auto gif = [](int width, int height, int frames) {
        std::string file =
            "GIF89a" + littleEndian(width, 2) + littleEndian(height, 2) + std::string(3, '\0');
        for (int frame = 0; frame < frames; ++frame)
            file += "\x2C" + littleEndian(0, 4) + littleEndian(1, 2) + littleEndian(1, 2) +
                    std::string("\0\x02\x02\x44\x01\0", 6);
        return file + "\x3B";
    };
    const TexturePreview preview;
    ZEPHRANE_REQUIRE(fs::exists(preview.program), "needs the preview tool");
    // A PNG file cut after its header's size, of 100000 x 100000 pixels, is refused by the size
    // alone, which DevIL would allocate before finding the file short.
    const std::string hugePng = std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16) +
                                bigEndian(100000, 4) + bigEndian(100000, 4);
    const std::tuple<std::string, std::string, std::string> rows[] = {
        {"a.gif", gif(65535, 1, 1), "a.gif is 65535 x 1 pixels, larger than a texture may be ("},
        {"a.png", hugePng, "a.png is 100000 x 100000 pixels, larger than a texture may be ("},
        {"a.gif", gif(16384, 16384, 2),
         "a.gif holds 536870912 pixels in all its pictures, more than a texture may be.\n"},
    };
    for (const auto& [name, bytes, line] : rows) {
        const ProcessResult drawn = preview.draw(name, bytes);
        EXPECT_EQ(drawn.exitCode, 0) << drawn.err;
        EXPECT_NE(drawn.out.find("Resources/textures/" + line), std::string::npos) << drawn.out;
    }
    EXPECT_TRUE(examine("a.gif", gif(16384, 16384, 1)).decodable) << "one screen: inside";
}

// Each walk's limits from both sides, as rows of tests/data/image-limits.txt (its head says how
// they are written): a base file just inside, the same file one byte, count or code past.

namespace {

std::string unescape(const std::string& text) {
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '\\' || at + 1 == text.size()) {
            out += text[at];
        } else if (text[++at] == 'x') {
            out += fromHex(text.substr(at + 1, 2));
            at += 2;
        } else { // \s is a space
            const std::size_t named = std::string("nrts").find(text[at]);
            out += named == std::string::npos ? text[at] : "\n\r\t "[named];
        }
    }
    return out;
}

class LimitRows {
public:
    std::string source(const std::string& token) const {
        const std::size_t colon = token.find(':');
        const std::string kind = token.substr(0, colon), rest = token.substr(colon + 1);
        if (kind == "corpus")
            return readFile(sourceDir() / "tests/fuzz/corpus/image" / rest).substr(1);
        if (kind == "zeros")
            return std::string(std::stoul(rest), '\0');
        if (kind == "text")
            return unescape(rest);
        if (kind == "hex")
            return fromHex(rest);
        return bases.at(token);
    }
    void edit(std::string& bytes, const std::string& token) const {
        if (token.starts_with("cut:")) {
            const long count = std::stol(token.substr(4));
            bytes.resize(count < 0 ? bytes.size() + count : count);
        } else if (token[0] == '+') {
            bytes += source(token.substr(1));
        } else {
            const std::size_t mark = token.find_first_of("=+");
            const std::size_t at = std::stoul(token.substr(1, mark - 1));
            const std::string value = token.substr(mark + 1);
            const std::size_t slash = value.find('/');
            if (token[mark] == '+') {
                bytes.insert(at, source(value));
            } else if (std::isdigit(static_cast<unsigned char>(value[0])) &&
                       slash != std::string::npos) {
                const int width = std::stoi(value.substr(slash + 1));
                const std::uint64_t number = std::stoull(value.substr(0, slash), nullptr, 0);
                bytes.replace(at, width,
                              value.ends_with("be") ? bigEndian(number, width)
                                                    : littleEndian(number, width));
            } else {
                const std::string replacement = source(value);
                bytes.replace(at, replacement.size(), replacement);
            }
        }
    }
    std::map<std::string, std::string> bases;
};

} // namespace

TEST(FormatLimits, EachWalkAtItsLimitsFromBothSides) {
    std::istringstream lines(readFile(sourceDir() / "tests/data/image-limits.txt"));
    LimitRows table;
    int rows = 0;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::vector<std::string> tokens{std::istream_iterator<std::string>(words), {}};
        if (tokens.empty() || tokens[0][0] == '#')
            continue;
        const bool base = tokens[0] == "base";
        std::string bytes = table.source(tokens[base ? 2 : 1]);
        std::size_t next = base ? 3 : 2;
        for (; next < tokens.size() && (tokens[next][0] == '@' || tokens[next][0] == '+' ||
                                        tokens[next].starts_with("cut:"));
             ++next)
            table.edit(bytes, tokens[next]);
        if (base) {
            table.bases[tokens[1]] = bytes;
            continue;
        }
        ASSERT_LT(next, tokens.size()) << "a row without its verdict: " << line;
        const std::string& verdict = tokens[next];
        const ImageCheck check = examine(tokens[0], bytes);
        const bool sized = verdict.starts_with("sized"), sizing = sized || verdict == "unsized";
        ASSERT_TRUE(sizing || verdict == "passes" || verdict == "refused") << line;
        EXPECT_EQ(sizing ? check.sizeKnown : check.decodable, sized || verdict == "passes")
            << line << " (" << check.reason << ")";
        // A WHY in double quotes is the walk's own reason, word for word.
        if (tokens[next + 1 < tokens.size() ? next + 1 : next].starts_with('"')) {
            const std::string why = line.substr(line.find('"', line.find(verdict)));
            EXPECT_EQ('"' + check.reason + '"', why) << line;
        }
        if (verdict.starts_with("sized:")) {
            EXPECT_EQ(verdict.substr(6),
                      std::to_string(check.width) + "x" + std::to_string(check.height))
                << line;
        }
        ++rows;
    }
    EXPECT_GT(rows, 200) << "the table read whole";
}
