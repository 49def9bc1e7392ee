#pragma once

// What the tests share: running programs, scratch files, pictures, replays and an OpenGL context.
#include <gtest/gtest.h>
#include <json/json.h>

#include "formats/ImageCheck.h"
#include "platform/FrameSource.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace testing_support {

// Where the sources (the game's working directory) and the build live.
inline std::filesystem::path sourceDir() {
    return ZEPHRANE_SOURCE_DIR;
}
inline std::filesystem::path binaryDir() {
    return ZEPHRANE_BINARY_DIR;
}

struct ProcessResult {
    int exitCode = -1000; // the process's status as a signed byte (so -1 reads as -1), if exited
    int signal = 0;       // the terminating signal, 0 when the process exited
    bool timedOut = false;
    std::string out, err;
};

// Runs a program in `cwd` with `input`, then its end, as standard input and `extraEnv` added to
// the environment; killed after `timeoutSeconds`.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::filesystem::path& cwd,
                         const std::string& input = "", int timeoutSeconds = 120,
                         const std::map<std::string, std::string>& extraEnv = {});

// A program running in the background whose standard output is read as it arrives (standard
// error is the test's own); killed on destruction.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv, const std::filesystem::path& cwd,
                 const std::map<std::string, std::string>& extraEnv = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // Waits until the output so far contains `text`; false on timeout or end of output.
    bool waitForOutput(const std::string& text, int timeoutSeconds = 60);
    // Waits for the exit and returns the status as a signed byte (-1000 on a signal or timeout).
    int wait(int timeoutSeconds = 60);
    const std::string& output() const { return out; }
    int pid() const { return child; }

private:
    int outFd = -1, child = -1;
    std::string out;
};

// A keyboard holding exactly the given keys.
struct HeldKeys final : KeyboardState {
    HeldKeys(std::set<int> keys = {}) : held(std::move(keys)) {}
    std::set<int> held;
    bool isDown(int key) const override { return held.contains(key); }
};

// `text` read by one of the game's readers, T::parse(stream, errors).
template <class T> auto parsed(const std::string& text, std::string* errors = nullptr) {
    std::istringstream in(text);
    std::string ignored;
    return T::parse(in, errors ? *errors : ignored);
}

// How often `part` occurs in `text`, overlaps included.
std::size_t countOf(const std::string& text, const std::string& part);
// Runs a shell command and returns its standard output without the trailing line end.
std::string shellOutput(const std::string& command);

// A fresh directory under the system's temporary directory, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return dir; }

private:
    std::filesystem::path dir;
};

void writeFile(const std::filesystem::path& path, const std::string& content);
// The folder `dir`/NAME as the game's own: the repository's Shader/ and Resources/ linked in,
// `config` as its config.js.
std::filesystem::path gameFolder(const TempDir& dir, const std::string& name,
                                 const std::string& config);
std::string readFile(const std::filesystem::path& path);
// The rows of a table in tests/data/NAME, "INPUT => EXPECTED" lines with \n for a line end;
// other lines (blank, or # comments) are left out, so a row may start with #.
// With `atLeast`, fewer rows fail the test: a table cut short, or rows the reader passed over.
using TableRows = std::vector<std::pair<std::string, std::string>>;
TableRows tableRows(const std::string& name, std::size_t atLeast = 0);

// A picture file decoded to 8-bit RGB, top row first; no pixels when it does not decode.
struct RgbPicture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    const unsigned char* at(int x, int y) const { return &rgb[(std::size_t(y) * width + x) * 3]; }
};
RgbPicture readPicture(const std::filesystem::path& file);
// The picture averaged down `shrink` times in each direction, each channel rounded.
RgbPicture shrunk(const RgbPicture& picture, int shrink);
// How many pixels of two pictures of one size have a channel more than `tolerance` apart.
long differingPixels(const RgbPicture& a, const RgbPicture& b, int tolerance);
// Compares a picture, averaged down `shrink` times in each direction, with the reference picture
// tests/data/NAME.png: they match when no more than `allowedFraction` of the pixels differ by more
// than 3/255 in any channel. ZEPHRANE_UPDATE_REFERENCES=1 writes the reference instead, to be
// looked at before it is committed.
::testing::AssertionResult looksLikeReference(const RgbPicture& picture, const std::string& name,
                                              int shrink, double allowedFraction);
// Writes 8-bit RGB pixels, top row first, as a PNG file (creating its directory).
bool writePng(const std::filesystem::path& file, int width, int height,
              const std::vector<unsigned char>& rgb);

// A DDS file: magic, a header DevIL accepts too, then `dataBytes` bytes of block data.
std::string ddsFile(std::uint32_t fourCc, std::uint32_t width, std::uint32_t height,
                    std::uint32_t linearSize, std::uint32_t mipMapCount, std::size_t dataBytes);
constexpr std::uint32_t dxt1 = 0x31545844, dxt2 = 0x32545844, dxt3 = 0x33545844, dxt5 = 0x35545844;

// Numbers as binary formats store them: the low byte first, or the high byte first.
std::string littleEndian(std::uint64_t value, int bytes);
std::string bigEndian(std::uint64_t value, int bytes);
// The bytes that pairs of hexadecimal digits spell.
std::string fromHex(const std::string& digits);
// A file's bytes as the game's format walks take them, and what the picture walks say of them.
inline const std::uint8_t* dataOf(const std::string& bytes) {
    return reinterpret_cast<const std::uint8_t*>(bytes.data());
}
inline ImageCheck examine(const std::string& name, const std::string& bytes) {
    return ImageCheck::examine(name, dataOf(bytes), bytes.size());
}

// The preview tool (the game's own model and texture loading) in a folder of its own, drawing
// tests/data/models/quad.obj, whose material names the texture given.
class TexturePreview {
public:
    TexturePreview();
    // The tool on the quad, writing shot.png, with these options.
    ProcessResult run(const std::vector<std::string>& options) const;
    // A 16 x 16 picture of the quad seen head on, textured with these bytes as
    // Resources/textures/NAME.
    ProcessResult draw(const std::string& name, const std::string& bytes) const;
    // The mean colour of the shot's middle 8 x 8 pixels, inside the quad; empty without a shot.
    std::vector<double> meanColour() const;
    bool shotWritten() const { return std::filesystem::exists(dir.path() / "shot.png"); }
    const std::filesystem::path program;

private:
    TempDir dir;
};

// The replay program, and one run of a script through it from the repository root (the game's
// working directory, or `cwd`), as fast as it goes, with screenshots and the final state.
inline std::filesystem::path replayProgram() {
    return binaryDir() / "tools" / "replay" / "zephrane-replay";
}
struct Replay {
    ProcessResult process;
    Json::Value state;
    std::filesystem::path shots;
};
Replay runReplay(const TempDir& dir, const std::string& name, const std::string& script,
                 const std::filesystem::path& cwd = sourceDir());

// Works in `dir` until it goes out of scope.
struct ScopedWorkingDirectory {
    explicit ScopedWorkingDirectory(const std::filesystem::path& dir) {
        std::filesystem::current_path(dir);
    }
    ~ScopedWorkingDirectory() { std::filesystem::current_path(previous); }
    const std::filesystem::path previous = std::filesystem::current_path();
};

// True under CTest (tests/CMakeLists.txt sets ZEPHRANE_CTEST), where a missing display, program
// or generated file fails the test; only a program run by hand may skip.
inline bool underCtest() {
    return std::getenv("ZEPHRANE_CTEST") != nullptr;
}

// A hidden window with an OpenGL 4.3 core debug context, current on this thread, entry points
// loaded and the game's debug callback installed; tests share it. Returns false when no context
// opens; under CTest that is also recorded as a fatal test failure, so a caller's skip still
// fails the test and its body does not run.
bool ensureGlContext();

} // namespace testing_support

// Ends the test when something it needs (a display, a built program, the generated data) is
// missing: a failure under CTest, a skip for a test program run by hand.
#define ZEPHRANE_REQUIRE(condition, why)                                                           \
    do {                                                                                           \
        if (condition)                                                                             \
            break;                                                                                 \
        if (testing_support::underCtest())                                                         \
            FAIL() << why;                                                                         \
        GTEST_SKIP() << why;                                                                       \
    } while (false)
