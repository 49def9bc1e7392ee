// The game's shader files pass the reference compiler, so they compile on drivers stricter than
// the one here. (What each pair draws is checked by the mesh and text pictures; a missing or
// broken shader file by the damaged-data matrix.)
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;
namespace fs = std::filesystem;

TEST(GameShaders, EveryFilePassesTheReferenceCompiler) {
    const fs::path validator = "/usr/bin/glslangValidator";
    ZEPHRANE_REQUIRE(fs::exists(validator), "glslangValidator is not installed (glslang-tools)");
    for (const fs::directory_entry& file : fs::directory_iterator(sourceDir() / "Shader")) {
        const ProcessResult result =
            runProcess({validator.string(), file.path().string()}, sourceDir());
        EXPECT_EQ(result.exitCode, 0) << file.path() << "\n" << result.out << result.err;
    }
}
