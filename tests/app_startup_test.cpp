// Start-up: the configuration reader, and the real program's failure paths in a scratch
// working directory with standard input closed.
#include "TestSupport.h"

#include "app/EngineConfig.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

using namespace testing_support;

namespace {

std::optional<EngineConfig> parse(const std::string& text, std::string* errorsOut = nullptr) {
    std::istringstream in(text);
    std::string errors;
    auto config = EngineConfig::parse(in, errors);
    if (errorsOut)
        *errorsOut = errors;
    return config;
}

} // namespace

TEST(EngineConfig, DefaultsCommentsAndConversions) {
    auto empty = parse("{}");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->width, 800);
    EXPECT_EQ(empty->height, 600);
    EXPECT_EQ(empty->fullscreen, 0);
    EXPECT_EQ(empty->refreshRate, 0);
    EXPECT_EQ(empty->openglMajor, 4);
    EXPECT_EQ(empty->openglMinor, 3);

    auto commented = parse("// window\n{ /* wide */ \"width\": 1600, \"height\": 800.9,\n"
                           "\"fullscreen\": true, \"refreshrate\": null, \"other\": \"x\" }");
    ASSERT_TRUE(commented);
    EXPECT_EQ(commented->width, 1600);
    EXPECT_EQ(commented->height, 800); // a real number is cut toward zero
    EXPECT_EQ(commented->fullscreen, 1);
    EXPECT_EQ(commented->refreshRate, 0);
}

TEST(EngineConfig, RejectsWhatIsNotA32BitInteger) {
    std::string errors;
    EXPECT_FALSE(parse("{\"width\": \"wide\"}", &errors));
    EXPECT_NE(errors.find("\"width\""), std::string::npos) << errors;
    EXPECT_FALSE(parse("{\"height\": 4294967296}", &errors));
    EXPECT_NE(errors.find("\"height\""), std::string::npos) << errors;
    EXPECT_FALSE(parse("{\"openglmajor\": [4]}", &errors));
    EXPECT_FALSE(parse("[1, 2]", &errors));
    EXPECT_FALSE(parse("", &errors));
    EXPECT_NE(errors.find("Line 1"), std::string::npos) << errors;
    // Nesting deep enough to make the reader throw must still come back as a failure.
    EXPECT_FALSE(parse(std::string(5000, '[') + std::string(5000, ']'), &errors));
    EXPECT_TRUE(parse("{\"width\": -2147483648}"));
    EXPECT_EQ(parse("{\"width\": 1600.0}")->width, 1600);
}

class StartupFailures : public ::testing::Test {
protected:
    ProcessResult runGame(const std::optional<std::string>& config) {
        if (config)
            writeFile(dir.path() / "config.js", *config);
        return runProcess({(binaryDir() / "zephrane").string()}, dir.path(), "", 60, quietSound);
    }

    // The engine's own message, then the game's, then the pause prompt; status -1.
    void expectFailure(const ProcessResult& result, const std::string& firstLines) {
        EXPECT_EQ(result.exitCode, -1) << result.out << result.err;
        EXPECT_EQ(result.signal, 0);
        ASSERT_EQ(result.out.rfind(firstLines, 0), 0u) << result.out;
        const std::string tail = "Failed to initialize Engine\nPress Enter to continue . . .\n";
        ASSERT_GE(result.out.size(), tail.size());
        EXPECT_EQ(result.out.substr(result.out.size() - tail.size()), tail) << result.out;
    }

    TempDir dir;
    // SDL's dummy driver: a sound engine that works without a device and prints nothing.
    const std::map<std::string, std::string> quietSound{{"SDL_AUDIODRIVER", "dummy"}};
};

TEST_F(StartupFailures, ConfigurationThatDoesNotParse) {
    expectFailure(runGame(std::nullopt), "Failed to parse configuration file\n* Line 1");
    expectFailure(runGame("{ \"width\": 800 "), "Failed to parse configuration file\n");
    auto result = runGame("{\"width\": \"800\"}");
    expectFailure(result, "Failed to parse configuration file\n");
    EXPECT_NE(result.out.find("\"width\""), std::string::npos);
}

// Numbers past the 32-bit range, however written, fail like any bad value and never escape
// as an exception. The sound engine finds no device here: its remark must not come before
// the configuration message on standard output.
TEST_F(StartupFailures, NumbersOutsideTheIntRange) {
    for (const char* number :
         {"2147483647.5", "-2147483648.5", "1e300", "-1e300", "9007199254740993"}) {
        writeFile(dir.path() / "config.js", std::string("{ \"width\": ") + number + " }");
        auto result = runProcess({(binaryDir() / "zephrane").string()}, dir.path(), "", 60,
                                 {{"SDL_AUDIODRIVER", "no-such-driver"}});
        SCOPED_TRACE(number);
        expectFailure(result, "Failed to parse configuration file\n* Value of \"width\"");
    }
}

TEST_F(StartupFailures, WindowThatCannotBeCreated) {
    ZEPHRANE_REQUIRE(std::getenv("DISPLAY"), "needs a display");
    // A damaged gamepad mapping file beside config.js costs one remark, on standard error.
    writeFile(dir.path() / "gamecontrollerdb.txt", "not a mapping\n");
    const auto result = runGame("{\"openglmajor\": 9}");
    expectFailure(result, "No window.\n");
    EXPECT_EQ(countOf(result.err, "Gamepad: gamecontrollerdb.txt was not loaded (line 1 is not a "
                                  "gamepad mapping); the built-in mappings stay\n"),
              1u)
        << result.err;
    expectFailure(runGame("{\"width\": 0}"), "No window.\n");
    expectFailure(runGame("{\"height\": -5}"), "No window.\n");
}

TEST_F(StartupFailures, NoDisplayMeansGlfwFailed) {
    // A missing config.js would fail before GLFW starts; give it a valid one.
    writeFile(dir.path() / "config.js", "{}");
    auto result = runProcess({"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY",
                              (binaryDir() / "zephrane").string()},
                             dir.path(), "", 60, quietSound);
    expectFailure(result, "GLFW failed.\n");
}
