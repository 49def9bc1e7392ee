// Loading pictures and models: the guards that keep a damaged or hostile file away from a decoder
// that would hang, allocate without bound or end the game without a word, and the texture loader
// under a real context. (A file that does not decode is the damaged-data matrix's.)
#include "PreviewFraming.h"
#include "TestSupport.h"

#include "formats/DdsImage.h"
#include "formats/ImageCheck.h"
#include "formats/ModelBounds.h"
#include "render/MeshComponent.h"
#include "render/Texture.h"

#include <GL/glew.h>
#include <IL/il.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

using Bytes = std::vector<unsigned char>;

} // namespace

// Every damaged file of the fuzzers' corpora is refused by its guard, every intact one passes
// (the first byte chooses the extension, as in the fuzzers), and so does every picture and model
// the game ships or the repository holds (but files named refused-). The model guard, ModelBounds,
// refuses FBX arrays declaring more than the file holds: Assimp zero-fills them before it looks at
// the data (a hundred bytes declaring 179 million doubles kept it busy for over ten seconds).
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
            return images ? examine(name, bytes).decodable
                          : ModelBounds::check(name, dataOf(bytes), bytes.size(), reason);
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
                if (entry.is_regular_file() && !name.starts_with("refused-") &&
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

// Every declared size of the model formats the guard walks, exactly at its limit and one past,
// as rows of tests/data/fbx-limits.txt: record fields widen from version 7500 on, arrays hold
// what they declare (stored) or no more than deflate can expand to, records end inside the file,
// nesting stops at 64 levels, and a text count may not exceed the file's bytes.
TEST(LoadingGuards, ModelSizesAtTheirLimitPassAndOnePastAreRefused) {
    for (const auto& [file, verdict] : tableRows("fbx-limits.txt", 1)) {
        std::istringstream words(file);
        std::string name;
        long cut = 0;
        words >> name >> cut;
        const std::string bytes = readFile(sourceDir() / "tests/data/fbx-limits" / name);
        ASSERT_FALSE(bytes.empty()) << name;
        std::string reason;
        EXPECT_EQ(ModelBounds::check("model.fbx", dataOf(bytes), bytes.size() + cut, reason)
                      ? "passes"
                      : "refused: " + reason,
                  verdict)
            << file;
    }
    std::string reason; // "*9" in 2 bytes is refused only under a name that ends in .fbx
    EXPECT_TRUE(ModelBounds::check("fbx", dataOf("*9"), 2, reason));
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

// What the game goes on without, saying so: a name that is no regular file (an empty material
// texture name, or ".", used to reach DevIL, which ended the game) counts as missing. (Pictures
// too large for a texture: TooLarge.)
TEST_F(TextureLoad, MissingPicturesGiveNoTextureAndALine) {
    ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr); // the key wait must not block
    const std::string missing = " could not be opened. Are you in the right directory ? Don't "
                                "forget to read the FAQ !\n";
    for (const std::string name : {"", ".", "./"}) {
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(Texture().load(name), 0u) << name;
        const std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(out, "Resources/textures/" + name + missing);
    }
}

// The reader lists the levels back to back inside the data it keeps, and keeps no more than
// the file holds, whatever the header says; the upload gives each listed level, in the file's
// format, and no other. A file the reader refuses gives no texture.
TEST_F(TextureLoad, DdsGivesTheLevelsTheFileHoldsAndNothingBeyondIt) {
    const std::map<std::string, GLint> formats = {{"DXT1", GL_COMPRESSED_RGBA_S3TC_DXT1_EXT},
                                                  {"DXT3", GL_COMPRESSED_RGBA_S3TC_DXT3_EXT},
                                                  {"DXT5", GL_COMPRESSED_RGBA_S3TC_DXT5_EXT}};
    std::string first;
    for (const auto& [header, expected] : tableRows("dds-levels.txt", 21)) {
        SCOPED_TRACE(header);
        std::istringstream fields(header), upload(expected);
        std::string fourCc, format;
        std::uint32_t width, height, linearSize, levelCount;
        std::size_t dataBytes, kept = std::string::npos;
        fields >> fourCc >> width >> height >> linearSize >> levelCount >> dataBytes;
        if (!(fields >> kept))
            kept = std::string::npos;
        const std::string bytes = ddsFile(0, width, height, linearSize, levelCount, dataBytes)
                                      .replace(84, 4, fourCc)
                                      .substr(0, kept);
        first = first.empty() ? bytes : first;
        upload >> format;
        const GLint glFormat = formats.contains(format) ? formats.at(format) : 0; // 0: refused
        const std::vector<std::size_t> levels{std::istream_iterator<std::size_t>(upload), {}};
        DdsImage image;
        ASSERT_EQ(DdsImage::parse(dataOf(bytes), bytes.size(), image), glFormat != 0);
        writeTexture("a.DDS", bytes);
        const GLuint texture = Texture().load("a.DDS");
        if (glFormat == 0) {
            EXPECT_EQ(texture, 0u);
            continue;
        }
        EXPECT_EQ(image.glFormat, static_cast<unsigned>(glFormat));
        EXPECT_LE(image.data.size(), bytes.size() - 128);
        std::size_t offset = 0;
        for (std::size_t level = 0; level < image.levels.size(); ++level) {
            EXPECT_EQ(image.levels[level].offset, offset) << "levels lie back to back";
            offset += image.levels[level].size;
            ASSERT_LT(level, levels.size());
            EXPECT_EQ(image.levels[level].size, levels[level]) << "level " << level;
            const GLint uploaded = static_cast<GLint>(level);
            EXPECT_EQ(levelParameter(uploaded, GL_TEXTURE_INTERNAL_FORMAT), glFormat);
            EXPECT_EQ(levelParameter(uploaded, GL_TEXTURE_COMPRESSED_IMAGE_SIZE),
                      static_cast<GLint>(levels[level]));
        }
        EXPECT_EQ(image.levels.size(), levels.size());
        EXPECT_LE(offset, image.data.size()) << "a level past the data read";
        ASSERT_NE(texture, 0u);
        EXPECT_EQ(levelParameter(static_cast<GLint>(levels.size()), GL_TEXTURE_WIDTH), 0);
    }
    DdsImage image;
    EXPECT_FALSE(DdsImage::parse(nullptr, 500, image));
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 1);
    // No filtering is chosen for DDS: OpenGL's default stays.
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_NEAREST_MIPMAP_LINEAR);
    writeTexture("a.DDS", first);
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
    // DevIL delivers the image's top row first and no flip is applied: texture row 0 (the bottom in
    // OpenGL's terms) is the picture's top row; flipped texture coordinates make up for it.
    EXPECT_EQ(texels, topRowFirst);
}

// The preview tool's options at each limit are taken and a picture is written; just past it, or
// without a value, they are refused before anything is drawn, naming the option, status 2.
TEST(PreviewOptions, EachLimitJustInsideIsTakenAndJustPastIsRefused) {
    const TexturePreview preview;
    ZEPHRANE_REQUIRE(fs::exists(preview.program), "needs the preview tool");
    const std::string guide = readFile(sourceDir() / "docs/models.md"); // quotes the usage whole
    for (const auto& [options, expected] : tableRows("preview-options.txt", 21)) {
        SCOPED_TRACE(options);
        std::istringstream words(options);
        std::vector<std::string> argv{"--size", "8x8"};
        argv.insert(argv.end(), std::istream_iterator<std::string>(words), {});
        const ProcessResult result = preview.run(argv);
        EXPECT_EQ(result.exitCode, expected == "taken" ? 0 : 2) << result.err;
        EXPECT_EQ(preview.shotWritten(), expected == "taken");
        if (expected != "taken") {
            const std::string usage = result.err.substr(result.err.find('\n') + 1);
            EXPECT_EQ(result.err, "zephrane-preview: " + expected + "\n" + usage);
            EXPECT_NE(guide.find("```\n" + usage + "```\n"), std::string::npos) << usage;
        }
    }
}

// The preview's camera keeps the whole bounding sphere between its near and far planes: from
// outside at any distance, and from within.
TEST(PreviewOptions, TheFramingKeepsTheWholeModelBetweenTheNearAndFarPlanes) {
    const ModelExtent bounds{.center = glm::vec3(3, -2, 5), .radius = 4.0f, .empty = false};
    PreviewOptions options;
    for (const float factor : {1.0f, 3.0f, 0.0f}) { // 0: from within
        std::tie(options.distanceFactor, options.inside) = std::pair(factor, factor == 0.0f);
        const PreviewFraming framing = framePreview(bounds, options, 1.6f);
        const float toCentre = glm::length(bounds.center - framing.eye);
        for (const float depth : {std::max(toCentre - 4.0f, 0.2f), toCentre + 4.0f}) {
            const glm::vec4 clip = framing.projection * glm::vec4(0.0f, 0.0f, -depth, 1.0f);
            EXPECT_LT(std::fabs(clip.z / clip.w), 1.0f) << depth << " " << options.inside;
        }
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

// The DDS kinds DevIL decodes (a name other than .DDS), each drawn by the preview tool in the
// colour its pixels or blocks hold; the same file a byte short ends the tool with the line saying
// why. (The other formats: tests/pictures below, their limits in tests/data/image-limits.txt.)
TEST(TextureFormats, DevilDdsKindsAreDrawnAndOneByteShortIsRefused) {
    const TexturePreview quad;
    ZEPHRANE_REQUIRE(fs::exists(quad.program), "needs the preview tool");
    for (const auto& [kind, written] : tableRows("dds-kinds.txt", 13)) {
        std::istringstream fields(written);
        std::string hex;
        int red = 0, green = 0, blue = 0;
        fields >> hex >> red >> green >> blue;
        const Bytes colour{Bytes::value_type(red), Bytes::value_type(green),
                           Bytes::value_type(blue)};
        const std::string pixel = fromHex(hex);
        std::string bytes =
            readFile(sourceDir() / "tests/fuzz/corpus/image" / ("dds_lower_case_" + kind))
                .substr(1);
        for (std::size_t at = ddsHeaderBytes; at < bytes.size(); ++at)
            bytes[at] = pixel[(at - ddsHeaderBytes) % pixel.size()];
        const std::string name = kind + ".dds";
        SCOPED_TRACE(name);
        const std::vector<double> expected = drawnAs(quad, colour);
        const ProcessResult drawn = quad.draw(name, bytes);
        EXPECT_EQ(drawn.exitCode, 0) << drawn.out << drawn.err;
        EXPECT_TRUE(sameColour(quad.meanColour(), expected, colourTolerance));
        const ProcessResult refused = quad.draw(name, bytes.substr(0, bytes.size() - 1));
        EXPECT_EQ(refused.exitCode, -1);
        EXPECT_NE(refused.err.find("Resources/textures/" + name +
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
    // The files refused on purpose, and how: tests/data/refused-pictures.txt.
    std::map<std::string, std::string> refused;
    for (const auto& [file, how] : tableRows("refused-pictures.txt"))
        refused[file] = how;
    EXPECT_GT(refused.size(), 12u) << "the table read whole";
    std::set<std::string> seenRefusals;
    for (const auto& entry : fs::directory_iterator(sourceDir() / "tests/pictures")) {
        const std::string file = entry.path().filename().string();
        SCOPED_TRACE(file);
        const ProcessResult drawn = quad.draw(file, readFile(entry.path()));
        if (refused.contains(file)) {
            seenRefusals.insert(file);
            const bool ends = refused[file].starts_with("ends ");
            EXPECT_EQ(drawn.exitCode, ends ? -1 : 0);
            EXPECT_NE((ends ? drawn.err : drawn.out)
                          .find("Resources/textures/" + file + " " +
                                refused[file].substr(refused[file].find(' ') + 1) + ".\n"),
                      std::string::npos)
                << drawn.out << drawn.err;
            continue;
        }
        EXPECT_EQ(drawn.exitCode, 0) << drawn.out << drawn.err;
        const bool isGrey = file.find("grey") != std::string::npos ||
                            file.find("1-channel") != std::string::npos || file.starts_with("pgm-");
        EXPECT_TRUE(sameColour(quad.meanColour(), isGrey ? grey : colour, colourTolerance));
    }
    EXPECT_EQ(seenRefusals.size(), refused.size()) << "every refused file is in the corpus";
}
