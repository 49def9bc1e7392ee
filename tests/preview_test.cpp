// The model preview program, run from the game's directory on a small OBJ file.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace fs = std::filesystem;
using namespace testing_support;

// A square pyramid with its apex up (+y) and no material, so it draws black whatever the light.
// The rocket's turn points the apex along -z, to the right seen from +x (yaw 90): its mass lies
// to the left, and the picture is framed on the turned model, inside the borders.
TEST(Preview, DrawsTheWholeTurnedModelFramedAndBadInputGetsAMessage) {
    ZEPHRANE_REQUIRE(std::getenv("DISPLAY"), "no display for an OpenGL context");
    TempDir dir;
    const fs::path model = dir.path() / "pyramid.obj", out = dir.path() / "out.png";
    writeFile(model, "v -1 0 -1\nv 1 0 -1\nv 1 0 1\nv -1 0 1\nv 0 2 0\n"
                     "f 1 2 3\nf 1 3 4\nf 4 3 5\nf 3 2 5\nf 2 1 5\nf 1 4 5\n");
    const std::string program = (binaryDir() / "tools/preview/zephrane-preview").string();
    const ProcessResult drawn =
        runProcess({program, model.string(), out.string(), "--size", "64x96", "--yaw", "90",
                    "--pitch", "0", "--local-transform", "rocket"},
                   sourceDir());
    ASSERT_EQ(drawn.exitCode, 0) << drawn.out << drawn.err;
    const RgbPicture picture = readPicture(out);
    ASSERT_EQ(picture.width, 64);
    ASSERT_EQ(picture.height, 96);
    int left = picture.width, right = -1, pixels = 0;
    double sumX = 0.0;
    bool touchesBorder = false;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const unsigned char *p = picture.at(x, y), *background = picture.at(0, 0);
            // Edge pixels blended by multisampling may fall either side of the threshold.
            if (std::abs(p[0] - background[0]) + std::abs(p[1] - background[1]) +
                    std::abs(p[2] - background[2]) <=
                60)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            sumX += x;
            ++pixels;
            touchesBorder = touchesBorder || x == 0 || y == 0 || x == picture.width - 1 ||
                            y == picture.height - 1;
        }
    EXPECT_FALSE(touchesBorder);
    ASSERT_GT(right - left, picture.width / 4) << "the model fills too little of the picture";
    EXPECT_LT(sumX / pixels, (left + right) / 2.0) << "the apex points the wrong way";

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
