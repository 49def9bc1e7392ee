// Start-up: the configuration reader, the driver-message formatter, and the real program's
// failure paths in a scratch working directory with standard input closed.
#include "TestSupport.h"

#include "app/DebugOutput.h"
#include "app/EngineConfig.h"

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
    EXPECT_EQ(std::vector<int>({empty->width, empty->height, empty->fullscreen, empty->refreshRate,
                                empty->openglMajor, empty->openglMinor}),
              std::vector<int>({800, 600, 0, 0, 4, 3}));
    auto commented = parse("// window\n{ /* wide */ \"width\": 1600, \"height\": 800.9,\n"
                           "\"fullscreen\": true, \"refreshrate\": null, \"other\": \"x\" }");
    ASSERT_TRUE(commented);
    EXPECT_EQ(commented->width, 1600);
    EXPECT_EQ(commented->height, 800); // a real number is cut toward zero
    EXPECT_EQ(commented->fullscreen, 1);
    EXPECT_EQ(commented->refreshRate, 0);
    EXPECT_TRUE(parse("{\"width\": -2147483648}"));
    EXPECT_EQ(parse("{\"width\": 1600.0}")->width, 1600);
}

// Nesting deep enough to make the reader throw must still come back as a failure.
TEST(EngineConfig, RejectsWhatIsNotA32BitInteger) {
    const std::pair<std::string, std::string> rejected[] = {
        {"{\"width\": \"wide\"}", "\"width\""},
        {"{\"height\": 4294967296}", "\"height\""},
        {"{\"openglmajor\": [4]}", "\"openglmajor\""},
        {"[1, 2]", ""},
        {"", "Line 1"},
        {std::string(5000, '[') + std::string(5000, ']'), ""}};
    for (const auto& [text, named] : rejected) {
        std::string errors;
        EXPECT_FALSE(parse(text, &errors)) << text.substr(0, 40);
        EXPECT_NE(errors.find(named), std::string::npos) << errors;
    }
}

TEST(DebugOutput, FormatsCoreAndAmdMessages) {
    EXPECT_EQ(formatDebugOutput(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_ERROR, 1280,
                                GL_DEBUG_SEVERITY_HIGH, "T"),
              "OpenGL Error: T [Source = API, Type = Error, Severity = High, ID = 1280]");
    EXPECT_EQ(formatDebugOutput(GL_DEBUG_SOURCE_SHADER_COMPILER, GL_DEBUG_TYPE_PERFORMANCE,
                                4294967295u, GL_DEBUG_SEVERITY_NOTIFICATION, "slow"),
              "OpenGL Error: slow [Source = Shader Compiler, Type = Performance, "
              "Severity = Unknown, ID = 4294967295]");
    EXPECT_EQ(formatDebugOutput(GL_DEBUG_SOURCE_THIRD_PARTY, GL_DEBUG_TYPE_PORTABILITY, 0,
                                GL_DEBUG_SEVERITY_LOW, ""),
              "OpenGL Error:  [Source = Third Party, Type = Portability, Severity = Low, ID = 0]");
    // The AMD path passes its category as both source and type.
    for (const auto& [category, names] :
         {std::pair<GLenum, std::string>{0x9149, "API, Type = Unknown"},
          {0x914D, "Unknown, Type = Performance"},
          {0x914B, "Unknown, Type = Deprecated Behavior"},
          {0x9150, "Other, Type = Other"},
          {0x914E, "Shader Compiler, Type = Unknown"}})
        EXPECT_EQ(formatDebugOutput(category, category, 7, 0x9147, "m"),
                  "OpenGL Error: m [Source = " + names + ", Severity = Medium, ID = 7]");
}

// The engine's own message first, then the game's and the pause prompt; status -1. Where the
// configuration fails, the sound engine finds no device: its remark must not come first.
TEST(StartupFailures, EachFailureHasItsMessage) {
    const std::string parseFailure = "Failed to parse configuration file\n";
    const std::string badWidth = parseFailure + "* Value of \"width\"";
    const std::pair<std::optional<std::string>, std::string> rows[] = {
        {std::nullopt, parseFailure + "* Line 1"},
        {"{ \"width\": 800 ", parseFailure},
        {"{\"width\": \"800\"}", badWidth},
        // Numbers past the 32-bit range, however written, never escape as an exception.
        {"{\"width\": 2147483647.5}", badWidth},
        {"{\"width\": -2147483648.5}", badWidth},
        {"{\"width\": 1e300}", badWidth},
        {"{\"width\": -1e300}", badWidth},
        {"{\"width\": 9007199254740993}", badWidth},
        {"{}", "GLFW failed.\n"}, // started without a display
        {"{\"openglmajor\": 9}", "No window.\n"},
        {"{\"width\": 0}", "No window.\n"},
        {"{\"height\": -5}", "No window.\n"},
    };
    const std::string tail = "Failed to initialize Engine\nPress Enter to continue . . .\n";
    for (const auto& [config, firstLines] : rows) {
        SCOPED_TRACE(config.value_or("no config.js"));
        const bool window = firstLines == "No window.\n";
        ZEPHRANE_REQUIRE(!window || std::getenv("DISPLAY"), "needs a display");
        TempDir dir;
        if (config)
            writeFile(dir.path() / "config.js", *config);
        // A damaged gamepad mapping file beside config.js costs one remark, on standard error.
        writeFile(dir.path() / "gamecontrollerdb.txt", "not a mapping\n");
        std::vector<std::string> argv{(binaryDir() / "zephrane").string()};
        if (config == "{}")
            argv.insert(argv.begin(), {"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY"});
        const std::string sound =
            firstLines.rfind(parseFailure, 0) == 0 ? "no-such-driver" : "dummy";
        const ProcessResult result =
            runProcess(argv, dir.path(), "", 60, {{"SDL_AUDIODRIVER", sound}});
        EXPECT_EQ(result.exitCode, -1) << result.out << result.err;
        EXPECT_EQ(result.signal, 0);
        EXPECT_EQ(result.out.rfind(firstLines, 0), 0u) << result.out;
        EXPECT_TRUE(result.out.size() >= tail.size() &&
                    result.out.substr(result.out.size() - tail.size()) == tail)
            << result.out;
        const std::string remark = "Gamepad: gamecontrollerdb.txt was not loaded (line 1 is not "
                                   "a gamepad mapping); the built-in mappings stay\n";
        EXPECT_EQ(countOf(result.err, remark), window ? 1u : 0u) << result.err;
    }
}
