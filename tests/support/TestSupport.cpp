#include "TestSupport.h"

#include "HiddenGlContext.h"

#include "app/DebugOutput.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <poll.h>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace testing_support {

namespace {

// Starts a program whose standard input is `input`, then its end, and whose standard output
// comes through a pipe (`outFd`); standard error goes to `errFd` (-1: the test's own).
pid_t start(const std::vector<std::string>& argv, const fs::path& cwd,
            const std::map<std::string, std::string>& extraEnv, const std::string& input,
            int& outFd, int errFd) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        if (errFd >= 0)
            dup2(errFd, 2);
        closefrom(3);
        if (chdir(cwd.c_str()) != 0)
            _exit(127);
        for (const auto& [key, value] : extraEnv)
            setenv(key.c_str(), value.c_str(), 1);
        std::vector<char*> args;
        for (const auto& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    // Small inputs fit the pipe buffer; the child sees end of input right after them.
    if (!input.empty() && write(in[1], input.data(), input.size()) < 0)
        std::cerr << "test support: cannot write to " << argv[0] << '\n';
    close(in[1]);
    outFd = out[0];
    return pid;
}

// Reads `fd` into `text` until the stream ends (then closes it and sets it to -1), `until`
// appears in the text, or the deadline passes.
void readUntil(int& fd, std::string& text, Clock::time_point deadline,
               const std::string& until = {}) {
    char buffer[4096];
    while (fd >= 0 && (until.empty() || text.find(until) == std::string::npos) &&
           Clock::now() < deadline) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0)
            continue;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0)
            text.append(buffer, static_cast<size_t>(n));
        else
            close(std::exchange(fd, -1));
    }
}

// Waits for the exit until the deadline, then kills; the status as a signed byte, or -1000
// with the signal in `signal`.
int reap(pid_t pid, Clock::time_point deadline, int* signal = nullptr) {
    int status = 0;
    if (pid <= 0)
        return -1000;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        usleep(20000);
    }
    if (signal && WIFSIGNALED(status))
        *signal = WTERMSIG(status);
    return WIFEXITED(status) ? static_cast<signed char>(WEXITSTATUS(status)) : -1000;
}

} // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const fs::path& cwd,
                         const std::string& input, int timeoutSeconds,
                         const std::map<std::string, std::string>& extraEnv) {
    ProcessResult result;
    FILE* err = tmpfile();
    int out = -1;
    const pid_t pid = start(argv, cwd, extraEnv, input, out, fileno(err));
    const auto deadline = Clock::now() + std::chrono::seconds(timeoutSeconds);
    readUntil(out, result.out, deadline);
    result.timedOut = out >= 0;
    if (out >= 0)
        close(out);
    result.exitCode = reap(pid, deadline, &result.signal);
    result.err = readFile("/proc/self/fd/" + std::to_string(fileno(err)));
    fclose(err);
    return result;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const fs::path& cwd,
                           const std::map<std::string, std::string>& extraEnv)
    : child(start(argv, cwd, extraEnv, "", outFd, -1)) {}

ChildProcess::~ChildProcess() {
    if (child > 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    if (outFd >= 0)
        close(outFd);
}

bool ChildProcess::waitForOutput(const std::string& text, int timeoutSeconds) {
    readUntil(outFd, out, Clock::now() + std::chrono::seconds(timeoutSeconds), text);
    return out.find(text) != std::string::npos;
}

int ChildProcess::wait(int timeoutSeconds) {
    const auto deadline = Clock::now() + std::chrono::seconds(timeoutSeconds);
    readUntil(outFd, out, deadline);
    const int status = reap(child, deadline);
    child = -1;
    return status;
}

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t found = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++found;
    return found;
}

std::string shellOutput(const std::string& command) {
    std::string output = runProcess({"/bin/sh", "-c", command}, fs::current_path()).out;
    while (!output.empty() && (output.back() == '\n' || output.back() == ' '))
        output.pop_back();
    return output;
}

TempDir::TempDir()
    : dir(fs::temp_directory_path() / ("zephrane-test-" + std::to_string(getpid()) + "-" +
                                       std::to_string(std::random_device()()))) {
    fs::create_directories(dir);
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

void writeFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

std::string readFile(const fs::path& path) {
    std::ostringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();
    return content.str();
}

fs::path gameFolder(const TempDir& dir, const std::string& name, const std::string& config) {
    const fs::path folder = dir.path() / name;
    fs::create_directories(folder);
    for (const char* linked : {"Shader", "Resources"})
        fs::create_directory_symlink(sourceDir() / linked, folder / linked);
    writeFile(folder / "config.js", config);
    return folder;
}

TableRows tableRows(const std::string& name, std::size_t atLeast) {
    TableRows rows;
    std::istringstream lines(readFile(sourceDir() / "tests/data" / name));
    for (std::string line; std::getline(lines, line);) {
        const std::size_t arrow = line.find(" => ");
        if (arrow == std::string::npos)
            continue;
        rows.emplace_back(line.substr(0, arrow), line.substr(arrow + 4));
        for (std::string* side : {&rows.back().first, &rows.back().second})
            for (std::size_t at = 0; (at = side->find("\\n", at)) != std::string::npos; ++at)
                side->replace(at, 2, "\n");
    }
    EXPECT_GE(rows.size(), atLeast) << name << ": the table read whole";
    return rows;
}

RgbPicture readPicture(const fs::path& file) {
    RgbPicture picture;
    int channels = 0;
    if (unsigned char* data =
            stbi_load(file.c_str(), &picture.width, &picture.height, &channels, 3)) {
        picture.rgb.assign(data, data + std::size_t(picture.width) * picture.height * 3);
        stbi_image_free(data);
    }
    return picture;
}

RgbPicture shrunk(const RgbPicture& picture, int shrink) {
    RgbPicture small{picture.width / shrink, picture.height / shrink, {}};
    std::vector<int> sums(std::size_t(small.width) * small.height * 3);
    for (int y = 0; y < small.height * shrink; ++y)
        for (int x = 0; x < small.width * shrink; ++x)
            for (int c = 0; c < 3; ++c)
                sums[(std::size_t(y / shrink) * small.width + x / shrink) * 3 + c] +=
                    picture.at(x, y)[c];
    for (int sum : sums)
        small.rgb.push_back(
            static_cast<unsigned char>((sum + shrink * shrink / 2) / (shrink * shrink)));
    return small;
}

long differingPixels(const RgbPicture& a, const RgbPicture& b, int tolerance) {
    long differing = 0;
    for (std::size_t pixel = 0; pixel < std::min(a.rgb.size(), b.rgb.size()); pixel += 3)
        differing += std::abs(a.rgb[pixel] - b.rgb[pixel]) > tolerance ||
                     std::abs(a.rgb[pixel + 1] - b.rgb[pixel + 1]) > tolerance ||
                     std::abs(a.rgb[pixel + 2] - b.rgb[pixel + 2]) > tolerance;
    return differing;
}

::testing::AssertionResult looksLikeReference(const RgbPicture& picture, const std::string& name,
                                              int shrink, double allowedFraction) {
    constexpr int channelTolerance = 3; // of 255
    const RgbPicture small = shrunk(picture, shrink);
    const fs::path file = sourceDir() / "tests" / "data" / (name + ".png");
    if (std::getenv("ZEPHRANE_UPDATE_REFERENCES") && !small.rgb.empty())
        writePng(file, small.width, small.height, small.rgb);
    const RgbPicture expected = readPicture(file);
    if (small.rgb.empty() || expected.width != small.width || expected.height != small.height)
        return ::testing::AssertionFailure()
               << "the picture is " << small.width << " x " << small.height << " after shrinking, "
               << file << " " << expected.width << " x " << expected.height;
    const long differing = differingPixels(small, expected, channelTolerance);
    const long allowed = long(allowedFraction * double(small.rgb.size() / 3));
    if (differing > allowed)
        return ::testing::AssertionFailure()
               << name << ": " << differing << " pixels differ by more than " << channelTolerance
               << " (at most " << allowed << " may)";
    return ::testing::AssertionSuccess();
}

bool writePng(const fs::path& file, int width, int height, const std::vector<unsigned char>& rgb) {
    fs::create_directories(file.parent_path());
    return stbi_write_png(file.c_str(), width, height, 3, rgb.data(), width * 3) != 0;
}

std::string ddsFile(std::uint32_t fourCc, std::uint32_t width, std::uint32_t height,
                    std::uint32_t linearSize, std::uint32_t mipMapCount, std::size_t dataBytes) {
    std::string bytes = "DDS " + std::string(124 + dataBytes, '\0');
    // Header size; flags: caps, height, width, pixel format, mip count, linear size; ...;
    // pixel-format size, its flag "the FourCC is valid", the FourCC; caps: a texture.
    const std::pair<std::size_t, std::uint32_t> fields[] = {
        {4, 124},          {8, 0x000A1007}, {12, height}, {16, width},  {20, linearSize},
        {28, mipMapCount}, {76, 32},        {80, 0x4},    {84, fourCc}, {108, 0x1000}};
    for (const auto& [at, value] : fields)
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<char>(value >> (8 * i));
    for (std::size_t i = 128; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7);
    return bytes;
}

std::string littleEndian(std::uint64_t value, int bytes) {
    std::string out;
    for (int shift = 0; shift < 8 * bytes; shift += 8)
        out += static_cast<char>(value >> shift & 0xFF);
    return out;
}

std::string bigEndian(std::uint64_t value, int bytes) {
    std::string out = littleEndian(value, bytes);
    return std::string(out.rbegin(), out.rend());
}

std::string fromHex(const std::string& digits) {
    std::string bytes;
    for (std::size_t at = 0; at + 1 < digits.size(); at += 2)
        bytes += static_cast<char>(std::stoi(digits.substr(at, 2), nullptr, 16));
    return bytes;
}

TexturePreview::TexturePreview() : program(binaryDir() / "tools" / "preview" / "zephrane-preview") {
    fs::create_directory_symlink(sourceDir() / "Shader", dir.path() / "Shader");
    writeFile(dir.path() / "quad.obj", readFile(sourceDir() / "tests/data/models/quad.obj"));
}

ProcessResult TexturePreview::run(const std::vector<std::string>& options) const {
    std::vector<std::string> argv{program.string(), "quad.obj", "shot.png"};
    argv.insert(argv.end(), options.begin(), options.end());
    fs::remove(dir.path() / "shot.png");
    return runProcess(argv, dir.path());
}

ProcessResult TexturePreview::draw(const std::string& name, const std::string& bytes) const {
    writeFile(dir.path() / "Resources/textures" / name, bytes);
    writeFile(dir.path() / "shared.mtl", "newmtl wall\nmap_Kd " + name + "\n");
    return run({"--size", "16x16", "--yaw", "0", "--pitch", "0"});
}

std::vector<double> TexturePreview::meanColour() const {
    const RgbPicture shot = readPicture(dir.path() / "shot.png");
    if (shot.width == 0)
        return {};
    std::vector<double> mean(3, 0.0);
    for (int y = 4; y < 12; ++y)
        for (int x = 4; x < 12; ++x)
            for (int channel = 0; channel < 3; ++channel)
                mean[channel] += shot.at(x, y)[channel] / 64.0;
    return mean;
}

Replay runReplay(const TempDir& dir, const std::string& name, const std::string& script,
                 const fs::path& cwd) {
    constexpr int replayTimeoutSeconds = 900; // CTest's limit (tests/CMakeLists.txt) ends it first
    Replay replay;
    const fs::path scriptFile = dir.path() / (name + ".replay");
    const fs::path stateFile = dir.path() / (name + ".json");
    writeFile(scriptFile, script);
    replay.shots = dir.path() / name;
    replay.process =
        runProcess({replayProgram().string(), scriptFile.string(), "--fast", "--screenshots",
                    replay.shots.string(), "--state", stateFile.string()},
                   cwd, "", replayTimeoutSeconds, {{"SDL_AUDIODRIVER", "dummy"}});
    std::istringstream stateText(readFile(stateFile));
    std::string errors;
    Json::parseFromStream(Json::CharReaderBuilder(), stateText, &replay.state, &errors);
    return replay;
}

bool ensureGlContext() {
    static GLFWwindow* sharedWindow = nullptr;
    if (sharedWindow)
        return true;
    sharedWindow = openHiddenGlContext(1600, 800, "Zephrane tests", true);
    if (!sharedWindow) {
        // A fatal failure, so that neither the test body nor a later skip runs past it.
        const char* display = std::getenv("DISPLAY");
        if (underCtest())
            [display] {
                FAIL() << "no OpenGL context opens (DISPLAY=" << (display ? display : "unset")
                       << ")";
            }();
        return false;
    }
    glDebugMessageCallback(debugCallback, nullptr);
    glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
    return true;
}

} // namespace testing_support
