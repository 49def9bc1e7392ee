// The model preview program, run as a process from the game's directory on a small OBJ file.

#include "TestSupport.h"

#include <glm/glm.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

// A square pyramid with its apex up (+y) and no material: it draws black, whatever the light.
const char* const pyramidObj = "v -1 0 -1\nv 1 0 -1\nv 1 0 1\nv -1 0 1\nv 0 2 0\n"
                               "f 1 2 3\nf 1 3 4\nf 4 3 5\nf 3 2 5\nf 2 1 5\nf 1 4 5\n";

// Channel difference summed over RGB above which a pixel is the model, not the background
// (edge pixels blended by multisampling may fall either side).
constexpr int foregroundThreshold = 60;

// Where the model lies in a picture (background from the top-left corner): its bounding box and
// the mean position of its pixels, x then y.
struct Shape {
    int width = 0, height = 0, pixels = 0;
    glm::ivec2 low{1 << 30}, high{-1};
    glm::dvec2 mean{0.0};
    bool touchesBorder = false;
    double middle(int axis) const { return (low[axis] + high[axis]) / 2.0; }
};

Shape shapeOf(const fs::path& file) {
    const RgbPicture picture = readPicture(file);
    Shape shape{picture.width, picture.height};
    for (int y = 0; y < shape.height; ++y)
        for (int x = 0; x < shape.width; ++x) {
            const unsigned char *p = picture.at(x, y), *background = picture.at(0, 0);
            if (std::abs(p[0] - background[0]) + std::abs(p[1] - background[1]) +
                    std::abs(p[2] - background[2]) <=
                foregroundThreshold)
                continue;
            shape.low = glm::min(shape.low, glm::ivec2(x, y));
            shape.high = glm::max(shape.high, glm::ivec2(x, y));
            shape.mean += glm::dvec2(x, y);
            ++shape.pixels;
            shape.touchesBorder = shape.touchesBorder || x == 0 || y == 0 || x == shape.width - 1 ||
                                  y == shape.height - 1;
        }
    shape.mean /= std::max(1, shape.pixels);
    return shape;
}

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZEPHRANE_REQUIRE(std::getenv("DISPLAY"), "no display for an OpenGL context");
        writeFile(pyramid, pyramidObj);
    }
    // Runs the program on `model` (the pyramid if empty) writing `out`, with blank-separated
    // options.
    ProcessResult run(const std::string& options, const fs::path& model = {}) {
        std::vector<std::string> argv{
            (binaryDir() / "tools" / "preview" / "zephrane-preview").string(),
            (model.empty() ? pyramid : model).string(), out.string()};
        std::istringstream words(options);
        for (std::string word; words >> word;)
            argv.push_back(word);
        return runProcess(argv, sourceDir());
    }
    TempDir dir;
    fs::path pyramid = dir.path() / "pyramid.obj", out = dir.path() / "out.png";
};

} // namespace

// The picture has the requested size and holds the whole model inside its borders, upright: a
// pyramid's mass lies towards its base, away from its apex. The rocket's turn points the apex
// along -z, to the right seen from +x, and the picture is framed on the turned model.
TEST_F(PreviewTest, DrawsTheWholeModelUprightAndTurned) {
    struct View {
        const char* options;
        glm::ivec2 size;
        int axis;     // along which the apex points
        int apexSide; // -1 towards smaller pixel coordinates (up or left), +1 the other way
    };
    for (const View& view :
         {View{"--size 96x64 --yaw 0 --pitch 0", {96, 64}, 1, -1},
          View{"--size 64x96 --yaw 90 --pitch 0 --local-transform rocket", {64, 96}, 0, +1}}) {
        SCOPED_TRACE(view.options);
        const ProcessResult result = run(view.options);
        ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
        const Shape shape = shapeOf(out);
        EXPECT_EQ(glm::ivec2(shape.width, shape.height), view.size);
        EXPECT_FALSE(shape.touchesBorder);
        ASSERT_GT(shape.high[view.axis] - shape.low[view.axis], view.size[view.axis] / 4)
            << "the model fills too little of the picture";
        EXPECT_LT((shape.mean[view.axis] - shape.middle(view.axis)) * view.apexSide, 0.0)
            << "the apex points the wrong way";
    }
}

TEST_F(PreviewTest, BadInputGetsAMessageAndNoPicture) {
    const fs::path missing = dir.path() / "missing.obj", notAModel = dir.path() / "notes.obj";
    writeFile(notAModel, "this is no model\n");
    for (const auto& [model, message] :
         {std::pair{missing, "cannot open model file '" + missing.string() + "'"},
          std::pair{notAModel, std::string("no mesh with vertices")}}) {
        const ProcessResult result = run("", model);
        EXPECT_NE(result.exitCode, 0);
        EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
    }
    const ProcessResult result = run("--pitch 90");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("usage: zephrane-preview"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(out));
}
