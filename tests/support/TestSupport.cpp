#include "TestSupport.h"

#include "app/DebugOutput.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace testing_support {

fs::path sourceDir() { return ZEPHRANE_SOURCE_DIR; }
fs::path binaryDir() { return ZEPHRANE_BINARY_DIR; }

namespace {

// The child's half of starting a program: never returns.
[[noreturn]] void execInChild(const std::vector<std::string>& argv, const fs::path& cwd,
                              const std::map<std::string, std::string>& extraEnv) {
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

} // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const fs::path& cwd,
                         const std::string& input, int timeoutSeconds,
                         const std::map<std::string, std::string>& extraEnv) {
    ProcessResult result;
    int inPipe[2], outPipe[2], errPipe[2];
    if (pipe(inPipe) != 0 || pipe(outPipe) != 0 || pipe(errPipe) != 0) {
        result.err = "pipe failed";
        return result;
    }
    pid_t pid = fork();
    if (pid == 0) {
        dup2(inPipe[0], 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        for (int fd : {inPipe[0], inPipe[1], outPipe[0], outPipe[1], errPipe[0], errPipe[1]})
            close(fd);
        execInChild(argv, cwd, extraEnv);
    }
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    // Small inputs fit the pipe buffer; the child sees end of input right after them.
    if (!input.empty() && write(inPipe[1], input.data(), input.size()) < 0)
        result.err = "write to child failed";
    close(inPipe[1]);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    char buffer[4096];
    while (open > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        if (poll(fds, 2, static_cast<int>(std::min<long long>(left, 1000))) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(n));
            }
        }
    }
    for (auto& fd : fds)
        if (fd.fd >= 0)
            close(fd.fd);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        result.exitCode = static_cast<signed char>(WEXITSTATUS(status));
    else if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    return result;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const fs::path& cwd,
                           const std::map<std::string, std::string>& extraEnv) {
    int outPipe[2];
    if (pipe(outPipe) != 0)
        return;
    child = fork();
    if (child == 0) {
        int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, 0);
        dup2(outPipe[1], 1);
        close(outPipe[0]);
        close(outPipe[1]);
        execInChild(argv, cwd, extraEnv);
    }
    close(outPipe[1]);
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

bool ChildProcess::readSome(int timeoutMilliseconds) {
    if (outFd < 0)
        return false;
    pollfd fd{outFd, POLLIN, 0};
    if (poll(&fd, 1, timeoutMilliseconds) <= 0)
        return true; // nothing yet
    char buffer[4096];
    ssize_t n = read(outFd, buffer, sizeof buffer);
    if (n <= 0) {
        close(outFd);
        outFd = -1;
        return false;
    }
    out.append(buffer, static_cast<size_t>(n));
    return true;
}

bool ChildProcess::waitForOutput(const std::string& text, int timeoutSeconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (out.find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline || !readSome(100))
            return out.find(text) != std::string::npos;
    }
    return true;
}

int ChildProcess::wait(int timeoutSeconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (readSome(100) && std::chrono::steady_clock::now() < deadline) {
    }
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
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

ScopedWorkingDirectory::ScopedWorkingDirectory(const fs::path& dir)
    : previous(fs::current_path()) {
    fs::current_path(dir);
}

ScopedWorkingDirectory::~ScopedWorkingDirectory() { fs::current_path(previous); }

namespace {
GLFWwindow* sharedWindow = nullptr;
}

bool ensureGlContext() {
    if (sharedWindow)
        return true;
    if (!std::getenv("DISPLAY") || !glfwInit())
        return false;
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    glfwWindowHint(GLFW_OPENGL_DEBUG_CONTEXT, GLFW_TRUE);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    sharedWindow = glfwCreateWindow(1600, 800, "Zephrane tests", nullptr, nullptr);
    if (!sharedWindow)
        return false;
    glfwMakeContextCurrent(sharedWindow);
    glewExperimental = GL_TRUE;
    if (glewInit() != GLEW_OK)
        return false;
    glGetError(); // GLEW's probing of a core context leaves an error behind
    glDebugMessageCallback(debugCallback, nullptr);
    glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
    return true;
}

GLFWwindow* glWindow() { return sharedWindow; }

} // namespace testing_support
