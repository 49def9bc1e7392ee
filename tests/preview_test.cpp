// The model preview program, run as a process from the game's directory on small OBJ files.

#include "TestSupport.h"

#include <gtest/gtest.h>

#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

// A square pyramid with its apex up (+y), faces wound counter-clockwise seen from outside, no
// material: it draws black, whatever the light.
const char* const pyramidObj = "v -1 0 -1\nv 1 0 -1\nv 1 0 1\nv -1 0 1\nv 0 2 0\n"
                               "f 1 2 3\nf 1 3 4\nf 4 3 5\nf 3 2 5\nf 2 1 5\nf 1 4 5\n";

// Channel difference summed over RGB above which a pixel is the model, not the background
// (edge pixels blended by multisampling may fall either side).
constexpr int foregroundThreshold = 60;

fs::path previewProgram() {
    return binaryDir() / "tools" / "preview" / "zephrane-preview";
}

ProcessResult runPreview(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{previewProgram().string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return runProcess(argv, sourceDir());
}

// A decoded picture, its background taken from the top-left corner.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    bool load(const fs::path& file) {
        int channels = 0;
        unsigned char* data = stbi_load(file.c_str(), &width, &height, &channels, 3);
        if (data == nullptr)
            return false;
        rgb.assign(data, data + static_cast<std::size_t>(width) * height * 3);
        stbi_image_free(data);
        return true;
    }
    bool model(int x, int y) const {
        const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
        int difference = 0;
        for (int c = 0; c < 3; ++c)
            difference += std::abs(int(rgb[at + c]) - int(rgb[c]));
        return difference > foregroundThreshold;
    }
    int rowCount(int y) const {
        int count = 0;
        for (int x = 0; x < width; ++x)
            count += model(x, y);
        return count;
    }
    int columnCount(int x) const {
        int count = 0;
        for (int y = 0; y < height; ++y)
            count += model(x, y);
        return count;
    }
    bool borderClear() const {
        for (int x = 0; x < width; ++x)
            if (model(x, 0) || model(x, height - 1))
                return false;
        for (int y = 0; y < height; ++y)
            if (model(0, y) || model(width - 1, y))
                return false;
        return true;
    }
    // First and last row (or column) holding the model.
    std::pair<int, int> extent(bool rows) const {
        std::pair<int, int> range{-1, -1};
        for (int i = 0; i < (rows ? height : width); ++i) {
            if ((rows ? rowCount(i) : columnCount(i)) == 0)
                continue;
            if (range.first < 0)
                range.first = i;
            range.second = i;
        }
        return range;
    }
};

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr)
            GTEST_SKIP() << "no display for an OpenGL context";
        ASSERT_TRUE(fs::exists(previewProgram())) << "build the zephrane-preview target first";
        writeFile(pyramid, pyramidObj);
    }
    TempDir dir;
    fs::path pyramid = dir.path() / "pyramid.obj";
};

} // namespace

// The picture has the requested size, holds the whole model inside its borders and is upright;
// the component turn is drawn and framed too.
TEST_F(PreviewTest, DrawsTheWholeModelUprightAndTurned) {
    const fs::path side = dir.path() / "side.png";
    const ProcessResult result = runPreview(
        {pyramid.string(), side.string(), "--size", "96x64", "--yaw", "0", "--pitch", "0"});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    Picture picture;
    ASSERT_TRUE(picture.load(side));
    EXPECT_EQ(picture.width, 96);
    EXPECT_EQ(picture.height, 64);
    EXPECT_TRUE(picture.borderClear());
    const auto [top, bottom] = picture.extent(true);
    ASSERT_GT(bottom - top, picture.height / 4) << "the model fills too little of the picture";
    const int quarter = (bottom - top) / 4;
    EXPECT_LT(picture.rowCount(top + quarter), picture.rowCount(bottom - quarter))
        << "the apex should be at the top of the picture";

    // The rocket's turn points the apex along -z, which is to the right seen from +x; the
    // picture must still be centred on the turned model.
    const fs::path turned = dir.path() / "turned.png";
    const ProcessResult turnedResult =
        runPreview({pyramid.string(), turned.string(), "--size", "64x96", "--yaw", "90", "--pitch",
                    "0", "--local-transform", "rocket"});
    ASSERT_EQ(turnedResult.exitCode, 0) << turnedResult.out << turnedResult.err;
    ASSERT_TRUE(picture.load(turned));
    EXPECT_EQ(picture.width, 64);
    EXPECT_EQ(picture.height, 96);
    EXPECT_TRUE(picture.borderClear());
    const auto [left, right] = picture.extent(false);
    ASSERT_GT(right - left, picture.width / 4);
    const int quarterWidth = (right - left) / 4;
    EXPECT_GT(picture.columnCount(left + quarterWidth), picture.columnCount(right - quarterWidth))
        << "the apex should point to the right";
}

TEST_F(PreviewTest, BadInputGetsAMessageAndNoPicture) {
    const fs::path out = dir.path() / "out.png";
    const fs::path missing = dir.path() / "missing.obj";
    ProcessResult result = runPreview({missing.string(), out.string()});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.err.find("cannot open model file '" + missing.string() + "'"),
              std::string::npos)
        << result.err;

    const fs::path notAModel = dir.path() / "notes.obj";
    writeFile(notAModel, "this is no model\n");
    result = runPreview({notAModel.string(), out.string()});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.err.find("no mesh with vertices"), std::string::npos) << result.err;

    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {pyramid.string()},
             {pyramid.string(), out.string(), "--size", "0x10"},
             {pyramid.string(), out.string(), "--size", "64"},
             {pyramid.string(), out.string(), "--pitch", "90"},
             {pyramid.string(), out.string(), "--distance", "-1"},
             {pyramid.string(), out.string(), "--local-transform", "sideways"},
             {pyramid.string(), out.string(), "--yaw"},
             {pyramid.string(), out.string(), "--zoom", "2"}}) {
        result = runPreview(arguments);
        EXPECT_EQ(result.exitCode, 2) << arguments.back();
        EXPECT_NE(result.err.find("usage: zephrane-preview"), std::string::npos) << result.err;
    }
    EXPECT_FALSE(fs::exists(out));
}
