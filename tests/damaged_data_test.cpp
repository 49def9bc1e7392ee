// Every run-time file the game reads, damaged in four ways in turn: missing, empty, cut to half
// its size, and overwritten by random bytes of the same size. Each time the real game starts
// through zephrane-replay in a scratch tree of symbolic links to the intact files (a real file
// for the damaged one), with standard input closed, and plays one frame. It must then do what
// the game defines for that file, and never crash, hang or trip a sanitizer. One file per
// loader (the others of a kind go through the same code), one test case per file, so that
// CTest spreads the matrix over its jobs.
#include "TestSupport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

constexpr std::array<const char*, 4> damageNames{"missing", "empty", "cut to half", "random bytes"};

// One file and what the game does with it for each damage (tests/data/damaged-data.txt).
struct DamagedFile {
    std::string file; // relative to the game's working directory
    std::array<std::string, 4> outcome;
};

void PrintTo(const DamagedFile& damaged, std::ostream* out) {
    *out << damaged.file;
}

std::vector<DamagedFile> damagedFiles() {
    std::vector<DamagedFile> files;
    for (const auto& [file, outcomes] : tableRows("damaged-data.txt"))
        if (file.starts_with("file ")) {
            std::istringstream words(outcomes);
            files.push_back({file.substr(5), {}});
            for (std::string& outcome : files.back().outcome)
                words >> outcome;
        }
    return files;
}

constexpr std::uint32_t randomBytesStartValue = 20240611; // the same bytes in every run
constexpr int runTimeoutSeconds = 60; // a sanitized start takes about ten seconds

// Mirrors the run-time tree under `into` as links to the repository's entries, except the
// directories on the way to `damaged`, which are real, and `damaged` itself: missing (no
// content) or a real file holding `content`.
void mirrorRunTimeTree(const fs::path& into, const fs::path& damaged,
                       const std::optional<std::string>& content) {
    std::vector<fs::path> levels{fs::path()};
    for (const fs::path& part : damaged.parent_path())
        levels.push_back(levels.back() / part);
    for (const fs::path& level : levels) {
        fs::create_directories(into / level);
        const std::vector<fs::path> entries =
            level.empty() ? std::vector<fs::path>{"Shader", "Resources"}
                          : std::vector<fs::path>(fs::directory_iterator(sourceDir() / level), {});
        for (const fs::path& entry : entries) {
            const fs::path relative = level / entry.filename();
            if (relative != damaged &&
                std::find(levels.begin(), levels.end(), relative) == levels.end())
                fs::create_symlink(sourceDir() / relative, into / relative);
        }
    }
    if (damaged != "config.js") // a window just large enough to draw into
        writeFile(into / "config.js", "{\"width\": 320, \"height\": 160}\n");
    if (content)
        writeFile(into / damaged, *content);
}

std::string damagedContent(const std::string& intact, std::size_t damage) {
    if (damage == 2)
        return intact.substr(0, intact.size() / 2);
    std::string bytes(damage == 3 ? intact.size() : 0, '\0');
    std::mt19937 generator(randomBytesStartValue);
    for (char& byte : bytes)
        byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

// The exit status and the line, on standard output or error, that the game defines.
struct Defined {
    int status = 0;
    std::string ProcessResult::*stream = nullptr;
    std::string line;
};

Defined definedFor(const std::string& outcome, const std::string& file) {
    for (const auto& [name, defined] : tableRows("damaged-data.txt"))
        if (name == outcome) {
            Defined d{std::stoi(defined), nullptr,
                      defined.substr(std::min(defined.size(), defined.find(' ') + 5))};
            d.stream = defined.find(" err ") != std::string::npos ? &ProcessResult::err
                                                                  : &ProcessResult::out;
            if (const std::size_t at = d.line.find("FILE"); at != std::string::npos)
                d.line.replace(at, 4, file);
            return d;
        }
    ADD_FAILURE() << "no outcome " << outcome << " in damaged-data.txt";
    return {};
}

::testing::AssertionResult behavesAsDefined(const ProcessResult& run, const std::string& file,
                                            const std::string& outcome) {
    const Defined defined = definedFor(outcome, file);
    if (run.timedOut || run.signal != 0)
        return ::testing::AssertionFailure()
               << "no end within " << runTimeoutSeconds << " s, or ended by signal " << run.signal;
    if (run.err.find("ERROR: AddressSanitizer") != std::string::npos ||
        run.err.find("runtime error:") != std::string::npos)
        return ::testing::AssertionFailure() << "sanitizer report";
    if (run.exitCode != defined.status)
        return ::testing::AssertionFailure()
               << "exit status " << run.exitCode << ", not " << defined.status;
    if ((run.*defined.stream).find(defined.line) == std::string::npos)
        return ::testing::AssertionFailure() << "no line \"" << defined.line << "\"";
    return ::testing::AssertionSuccess();
}

// The game in a scratch tree where `file` is missing (no content) or holds `content`, playing one
// frame; ESC then ends it.
ProcessResult playOneFrame(const std::string& file, const std::optional<std::string>& content) {
    TempDir tree;
    mirrorRunTimeTree(tree.path(), file, content);
    writeFile(tree.path() / "frame.replay", "1 0.0333333\n");
    return runProcess({replayProgram().string(), "frame.replay", "--fast"}, tree.path(), "",
                      runTimeoutSeconds, {{"SDL_AUDIODRIVER", "dummy"}});
}

class DamagedData : public ::testing::TestWithParam<DamagedFile> {};

TEST_P(DamagedData, EndsAsDefined) {
    ZEPHRANE_REQUIRE(std::getenv("DISPLAY") && fs::exists(replayProgram()) &&
                         fs::is_directory(sourceDir() / "Resources" / "models"),
                     "needs a display, zephrane-replay and the generated Resources/");
    const DamagedFile& damaged = GetParam();
    const std::string intact = readFile(sourceDir() / damaged.file);
    ASSERT_FALSE(intact.empty()) << damaged.file << " is missing from the repository";
    for (std::size_t damage = 0; damage < damageNames.size(); ++damage) {
        const ProcessResult run =
            playOneFrame(damaged.file, damage == 0 ? std::nullopt
                                                   : std::optional(damagedContent(intact, damage)));
        EXPECT_TRUE(behavesAsDefined(run, damaged.file, damaged.outcome[damage]))
            << damaged.file << " " << damageNames[damage] << "\n--- standard output:\n"
            << run.out.substr(0, 4000) << "\n--- standard error:\n"
            << run.err.substr(0, 4000);
    }
}

// Shaders that compile but do not link: the fragment stage reads what the vertex stage never
// writes. The message starts standard error, the pause prompt ends standard output.
TEST(HandEditedData, ShadersThatDoNotLinkEndTheGame) {
    ZEPHRANE_REQUIRE(std::getenv("DISPLAY") && fs::exists(replayProgram()),
                     "needs a display and zephrane-replay");
    const ProcessResult run =
        playOneFrame("Shader/texture_freetype.frag",
                     "#version 430 core\nin vec3 neverWritten;\nout vec4 FragColor;\n"
                     "void main() { FragColor = vec4(neverWritten, 1.0); }\n");
    EXPECT_EQ(run.exitCode, -1);
    EXPECT_EQ(run.err.rfind("Failed to link program\n", 0), 0u) << run.err;
    EXPECT_TRUE(run.out.ends_with("\nPress Enter to continue . . .\n")) << run.out;
}

// Ctrl+C or SIGTERM while the game waits for a key at its console (standard input a FIFO it holds
// open itself, so no end of input comes) ends the wait: a failed start and a shader failure end
// with their own status, a missing texture lets the game go on to its normal end.
TEST(HandEditedData, ASignalDuringEveryConsoleWaitEndsIt) {
    ZEPHRANE_REQUIRE(std::getenv("DISPLAY"), "needs a display");
    // The file, its new content (none: missing), what the game says before it waits, the status.
    for (const auto& [file, content, prompt, status] : std::initializer_list<
             std::tuple<std::string, std::optional<std::string>, const char*, int>>{
             {"config.js", "{\"width\": \"800\"}", "Press Enter to continue . . .\n", -1},
             {"Shader/texture_l.vert", std::nullopt, "Press Enter to continue . . .\n", 1},
             {"Resources/textures/jet.DDS", std::nullopt, "Don't forget to read the FAQ !\n", 1}})
        for (const int signal : {SIGINT, SIGTERM}) {
            SCOPED_TRACE(file + (signal == SIGINT ? " SIGINT" : " SIGTERM"));
            TempDir tree;
            mirrorRunTimeTree(tree.path(), file, content);
            ASSERT_EQ(mkfifo((tree.path() / "console").c_str(), 0600), 0);
            ChildProcess game(
                {"/bin/sh", "-c", "exec \"$0\" <>console", (binaryDir() / "zephrane").string()},
                tree.path(), {{"SDL_AUDIODRIVER", "dummy"}});
            ASSERT_TRUE(game.waitForOutput(prompt, 60)) << game.output();
            // The prompt is written just before the read starts; a signal before it would
            // only test the frame loop.
            usleep(300000);
            kill(game.pid(), signal);
            EXPECT_EQ(game.wait(30), status) << game.output();
        }
}

// "Resources/models/SSD+WE.obj" becomes "Resources_models_SSD_WE_obj".
std::string caseName(const ::testing::TestParamInfo<DamagedFile>& info) {
    std::string name = info.param.file;
    std::replace_if(
        name.begin(), name.end(), [](unsigned char c) { return !std::isalnum(c); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(RunTimeFiles, DamagedData, ::testing::ValuesIn(damagedFiles()), caseName);

} // namespace
