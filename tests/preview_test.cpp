// The model preview program, run from the game's directory on a small OBJ file.
#include "TestSupport.h"

#include <glm/glm.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <tuple>

namespace fs = std::filesystem;
using namespace testing_support;

// A square pyramid with its apex up (+y) and no material, so it draws black whatever the light.
// Its mass lies towards its base: drawn upright, below the middle of its extent. The rocket's
// turn points the apex along -z, to the right seen from +x (yaw 90), and the picture is framed
// on the turned model. Either way the whole model is inside the borders.
TEST(Preview, DrawsTheWholeModelUprightAndTurnedAndBadInputGetsAMessage) {
    ZEPHRANE_REQUIRE(std::getenv("DISPLAY"), "no display for an OpenGL context");
    TempDir dir;
    const fs::path model = dir.path() / "pyramid.obj", out = dir.path() / "out.png";
    writeFile(model, "v -1 0 -1\nv 1 0 -1\nv 1 0 1\nv -1 0 1\nv 0 2 0\n"
                     "f 1 2 3\nf 1 3 4\nf 4 3 5\nf 3 2 5\nf 2 1 5\nf 1 4 5\n");
    const std::string program = (binaryDir() / "tools/preview/zephrane-preview").string();
    for (const auto& [yaw, turn, size, axis, apexSide] :
         {std::tuple{"0", "none", glm::ivec2(96, 64), 1, -1},
          std::tuple{"90", "rocket", glm::ivec2(64, 96), 0, +1}}) {
        const ProcessResult drawn =
            runProcess({program, model.string(), out.string(), "--size",
                        std::to_string(size.x) + "x" + std::to_string(size.y), "--yaw", yaw,
                        "--pitch", "0", "--local-transform", turn},
                       sourceDir());
        ASSERT_EQ(drawn.exitCode, 0) << drawn.out << drawn.err;
        const RgbPicture picture = readPicture(out);
        ASSERT_EQ(glm::ivec2(picture.width, picture.height), size);
        glm::ivec2 low(1 << 30), high(-1);
        glm::dvec2 sum(0.0);
        int pixels = 0;
        for (int y = 0; y < size.y; ++y)
            for (int x = 0; x < size.x; ++x) {
                const unsigned char *p = picture.at(x, y), *background = picture.at(0, 0);
                // Edge pixels blended by multisampling may fall either side of the threshold.
                if (std::abs(p[0] - background[0]) + std::abs(p[1] - background[1]) +
                        std::abs(p[2] - background[2]) >
                    60) {
                    low = glm::min(low, glm::ivec2(x, y));
                    high = glm::max(high, glm::ivec2(x, y));
                    sum += glm::dvec2(x, y);
                    ++pixels;
                }
            }
        SCOPED_TRACE(turn);
        EXPECT_TRUE(glm::all(glm::greaterThan(low, glm::ivec2(0))) &&
                    glm::all(glm::lessThan(high, size - 1)))
            << "the model touches the border";
        ASSERT_GT(high[axis] - low[axis], size[axis] / 4) << "the model fills too little";
        EXPECT_LT((sum[axis] / pixels - (low[axis] + high[axis]) / 2.0) * apexSide, 0.0)
            << "the apex points the wrong way";
    }

    const fs::path missing = dir.path() / "missing.obj", notAModel = dir.path() / "notes.obj";
    writeFile(notAModel, "this is no model\n");
    for (const auto& [arguments, status, message] :
         {std::tuple{std::vector<std::string>{program, missing.string(), out.string()}, 1,
                     "cannot open model file '" + missing.string() + "'"},
          std::tuple{std::vector<std::string>{program, notAModel.string(), out.string()}, 1,
                     std::string("no mesh with vertices")},
          std::tuple{
              std::vector<std::string>{program, model.string(), out.string(), "--pitch", "90"}, 2,
              std::string("usage: zephrane-preview")}}) {
        fs::remove(out);
        const ProcessResult refused = runProcess(arguments, sourceDir());
        EXPECT_EQ(refused.exitCode, status);
        EXPECT_NE(refused.err.find(message), std::string::npos) << refused.err;
        EXPECT_FALSE(fs::exists(out));
    }
}
