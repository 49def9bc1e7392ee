#include "TestSupport.h"

#include "HiddenGlContext.h"

#include "app/DebugOutput.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <poll.h>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace testing_support {

fs::path sourceDir() {
    return ZEPHRANE_SOURCE_DIR;
}
fs::path binaryDir() {
    return ZEPHRANE_BINARY_DIR;
}

namespace {

// Starts a program with `in`, `out` and `err` as its standard streams (`err` -1: the test's
// own) and returns its id.
pid_t start(const std::vector<std::string>& argv, const fs::path& cwd,
            const std::map<std::string, std::string>& extraEnv, int in, int out, int err) {
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    dup2(in, 0);
    dup2(out, 1);
    if (err >= 0)
        dup2(err, 2);
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

struct Stream {
    int& fd;
    std::string& text;
};

// Waits up to `milliseconds` for output on the streams still open and appends what arrives; a
// stream at its end is closed and its descriptor set to -1 (which poll skips).
void readSome(std::initializer_list<Stream> streams, int milliseconds) {
    std::vector<pollfd> fds;
    for (const Stream& stream : streams)
        fds.push_back({stream.fd, POLLIN, 0});
    if (poll(fds.data(), fds.size(), milliseconds) <= 0)
        return;
    char buffer[4096];
    for (std::size_t i = 0; i < fds.size(); ++i) {
        const Stream& stream = streams.begin()[i];
        if (stream.fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        const ssize_t n = read(stream.fd, buffer, sizeof buffer);
        if (n > 0) {
            stream.text.append(buffer, static_cast<size_t>(n));
        } else {
            close(stream.fd);
            stream.fd = -1;
        }
    }
}

long long millisecondsUntil(std::chrono::steady_clock::time_point deadline) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                 std::chrono::steady_clock::now())
        .count();
}

} // namespace

namespace {

// What the game prints when GLFW cannot start, which under the test script's busy virtual X
// server now and then means only that the server refused the connection.
const std::string glfwFailure = "GLFW failed.";
constexpr int displayRetries = 2;

ProcessResult runOnce(const std::vector<std::string>& argv, const fs::path& cwd,
                      const std::string& input, int timeoutSeconds,
                      const std::map<std::string, std::string>& extraEnv) {
    ProcessResult result;
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) {
        result.err = "pipe failed";
        return result;
    }
    const pid_t pid = start(argv, cwd, extraEnv, in[0], out[1], err[1]);
    for (int fd : {in[0], out[1], err[1]})
        close(fd);
    // Small inputs fit the pipe buffer; the child sees end of input right after them.
    if (!input.empty() && write(in[1], input.data(), input.size()) < 0)
        result.err = "write to child failed";
    close(in[1]);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (out[0] >= 0 || err[0] >= 0) {
        const long long left = millisecondsUntil(deadline);
        if (left <= 0) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        readSome({{out[0], result.out}, {err[0], result.err}},
                 static_cast<int>(std::min(left, 1000LL)));
    }
    for (int fd : {out[0], err[0]})
        if (fd >= 0)
            close(fd);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        result.exitCode = static_cast<signed char>(WEXITSTATUS(status));
    else if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    return result;
}

// A start that failed only in GLFW while a display was set is tried again, at most twice:
// the X server refusing a connection says nothing about the program. Any other outcome,
// including a GLFW failure with no display at all, counts as it is.
bool refusedByDisplay(const std::vector<std::string>& argv, const std::string& out,
                      const std::map<std::string, std::string>& extraEnv) {
    const bool displayUnset = std::find(argv.begin(), argv.end(), "DISPLAY") != argv.end();
    const bool displaySet = std::getenv("DISPLAY") != nullptr || extraEnv.count("DISPLAY") != 0;
    return displaySet && !displayUnset && out.find(glfwFailure) != std::string::npos;
}

} // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const fs::path& cwd,
                         const std::string& input, int timeoutSeconds,
                         const std::map<std::string, std::string>& extraEnv) {
    ProcessResult result = runOnce(argv, cwd, input, timeoutSeconds, extraEnv);
    for (int retry = 0; retry < displayRetries && refusedByDisplay(argv, result.out, extraEnv);
         ++retry) {
        std::cerr << "test support: GLFW failed to start, starting once more: " << argv[0] << '\n';
        result = runOnce(argv, cwd, input, timeoutSeconds, extraEnv);
    }
    return result;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const fs::path& cwd,
                           const std::map<std::string, std::string>& extraEnv)
    : argv(argv), cwd(cwd), extraEnv(extraEnv) {
    launch();
}

void ChildProcess::launch() {
    int outPipe[2];
    if (pipe(outPipe) != 0)
        return;
    const int devNull = open("/dev/null", O_RDONLY);
    child = start(argv, cwd, extraEnv, devNull, outPipe[1], -1);
    for (int fd : {devNull, outPipe[1]})
        close(fd);
    outFd = outPipe[0];
}

ChildProcess::~ChildProcess() {
    if (child > 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    if (outFd >= 0)
        close(outFd);
}

// Like runProcess, a start that failed only in GLFW is tried again, at most twice.
bool ChildProcess::restartAfterDisplayRefusal() {
    if (outFd >= 0 || retriesLeft == 0 || !refusedByDisplay(argv, out, extraEnv))
        return false;
    --retriesLeft;
    std::cerr << "test support: GLFW failed to start, starting once more: " << argv[0] << '\n';
    waitpid(child, nullptr, 0);
    out.clear();
    launch();
    return true;
}

bool ChildProcess::waitForOutput(const std::string& text, int timeoutSeconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (out.find(text) == std::string::npos && (outFd >= 0 || restartAfterDisplayRefusal()) &&
           millisecondsUntil(deadline) > 0)
        readSome({{outFd, out}}, 100);
    return out.find(text) != std::string::npos;
}

int ChildProcess::wait(int timeoutSeconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while ((outFd >= 0 || restartAfterDisplayRefusal()) && millisecondsUntil(deadline) > 0)
        readSome({{outFd, out}}, 100);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (millisecondsUntil(deadline) <= 0) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            child = -1;
            return -1000;
        }
        usleep(20000);
    }
    child = -1;
    return WIFEXITED(status) ? static_cast<signed char>(WEXITSTATUS(status)) : -1000;
}

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t found = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++found;
    return found;
}

std::string shellOutput(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe))
            output += buffer;
        pclose(pipe);
    }
    while (!output.empty() && (output.back() == '\n' || output.back() == ' '))
        output.pop_back();
    return output;
}

TempDir::TempDir() {
    std::random_device random;
    dir = fs::temp_directory_path() /
          ("zephrane-test-" + std::to_string(getpid()) + "-" + std::to_string(random()));
    fs::create_directories(dir);
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

void writeFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << content;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
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

bool writePng(const fs::path& file, int width, int height, const std::vector<unsigned char>& rgb) {
    fs::create_directories(file.parent_path());
    return stbi_write_png(file.c_str(), width, height, 3, rgb.data(), width * 3) != 0;
}

std::string ddsFile(std::uint32_t fourCc, std::uint32_t width, std::uint32_t height,
                    std::uint32_t linearSize, std::uint32_t mipMapCount, std::size_t dataBytes) {
    std::string bytes(128 + dataBytes, '\0');
    auto put32 = [&](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<char>(value >> (8 * i));
    };
    bytes.replace(0, 4, "DDS ");
    put32(4, 124);
    put32(8, 0x000A1007); // caps, height, width, pixel format, mip count, linear size
    put32(12, height);
    put32(16, width);
    put32(20, linearSize);
    put32(28, mipMapCount);
    put32(76, 32);  // pixel-format size
    put32(80, 0x4); // the FourCC is valid
    put32(84, fourCc);
    put32(108, 0x1000); // a texture
    for (std::size_t i = 128; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7);
    return bytes;
}

fs::path replayProgram() {
    return binaryDir() / "tools" / "replay" / "zephrane-replay";
}

long Replay::count(const std::string& line) const {
    return long(std::count(lines.begin(), lines.end(), line));
}

long Replay::countPrefix(const std::string& prefix) const {
    return long(std::count_if(lines.begin(), lines.end(),
                              [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

Replay runReplay(const TempDir& dir, const std::string& name, const std::string& script,
                 const std::vector<std::string>& extraArgs) {
    constexpr int replayTimeoutSeconds = 900; // CTest's limit (tests/CMakeLists.txt) ends it first
    Replay replay;
    const fs::path scriptFile = dir.path() / (name + ".replay");
    writeFile(scriptFile, script);
    replay.shots = dir.path() / name;
    const fs::path stateFile = dir.path() / (name + ".json");
    std::vector<std::string> argv{replayProgram().string(), scriptFile.string(),   "--fast",
                                  "--screenshots",          replay.shots.string(), "--state",
                                  stateFile.string()};
    argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
    replay.process =
        runProcess(argv, sourceDir(), "", replayTimeoutSeconds, {{"SDL_AUDIODRIVER", "dummy"}});
    std::istringstream out(replay.process.out);
    for (std::string line; std::getline(out, line);)
        replay.lines.push_back(line);
    Json::CharReaderBuilder reader;
    std::istringstream stateText(readFile(stateFile));
    std::string errors;
    Json::parseFromStream(reader, stateText, &replay.state, &errors);
    return replay;
}

ScopedWorkingDirectory::ScopedWorkingDirectory(const fs::path& dir) : previous(fs::current_path()) {
    fs::current_path(dir);
}

ScopedWorkingDirectory::~ScopedWorkingDirectory() {
    fs::current_path(previous);
}

namespace {
GLFWwindow* sharedWindow = nullptr;
}

bool underCtest() {
    return std::getenv("ZEPHRANE_CTEST") != nullptr;
}

bool ensureGlContext() {
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

GLFWwindow* glWindow() {
    return sharedWindow;
}

} // namespace testing_support
