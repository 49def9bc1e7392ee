// The window fit of the real game. The game starts at the configured 1600 x 800, shows its help
// screen (which stands still, so pictures can be compared), and its window is resized by xdotool
// as a window manager would, then grabbed from the X server. With "fitwindow": 1 the whole
// picture shrinks or grows into the centre with black bars; without the key the picture stays
// 1600 x 800 at the lower left, cut by the window. CTest runs this alone: F1 needs the X focus.
#include "TestSupport.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <thread>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

constexpr int cellsAcross = 100, cellsDown = 50; // the 2 : 1 picture, averaged down
constexpr int cellTolerance = 40;                // of 255, for text drawn at another scale
constexpr int black = 8;                         // of 255: a bar pixel's brightest channel

RgbPicture grab(Display* display, unsigned long window) {
    XWindowAttributes size{};
    XGetWindowAttributes(display, window, &size);
    XImage* image = XGetImage(display, window, 0, 0, size.width, size.height, AllPlanes, ZPixmap);
    RgbPicture picture{size.width, size.height, {}};
    for (int y = 0; image && y < size.height; ++y)
        for (int x = 0; x < size.width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y); // 24-bit TrueColor
            picture.rgb.insert(
                picture.rgb.end(),
                {(unsigned char)(pixel >> 16), (unsigned char)(pixel >> 8), (unsigned char)pixel});
        }
    if (image)
        XDestroyImage(image);
    return picture;
}

// The area of `picture` at (x, y), w x h, averaged into cells: one value per cell and channel.
std::vector<int> cells(const RgbPicture& picture, int x, int y, int w, int h) {
    std::vector<int> sums(cellsAcross * cellsDown * 3), counts(cellsAcross * cellsDown);
    for (int row = 0; row < h; ++row)
        for (int column = 0; column < w; ++column) {
            const int cell = row * cellsDown / h * cellsAcross + column * cellsAcross / w;
            ++counts[cell];
            for (int c = 0; c < 3; ++c)
                sums[cell * 3 + c] += picture.at(x + column, y + row)[c];
        }
    for (std::size_t i = 0; i < sums.size(); ++i)
        sums[i] /= std::max(counts[i / 3], 1);
    return sums;
}

int differingCells(const std::vector<int>& a, const std::vector<int>& b) {
    int differing = 0;
    for (std::size_t i = 0; i < a.size(); i += 3)
        differing += std::abs(a[i] - b[i]) > cellTolerance ||
                     std::abs(a[i + 1] - b[i + 1]) > cellTolerance ||
                     std::abs(a[i + 2] - b[i + 2]) > cellTolerance;
    return differing;
}

bool isBlack(const RgbPicture& picture, int x, int y, int w, int h) {
    for (int row = y; row < y + h; ++row)
        for (int column = x; column < x + w; ++column)
            for (int c = 0; c < 3; ++c)
                if (picture.at(column, row)[c] > black)
                    return false;
    return true;
}

} // namespace

TEST(WindowFit, ThePictureKeepsItsShapeAtAnySizeAndOnlyWhenAsked) {
    ZEPHRANE_REQUIRE(std::getenv("DISPLAY") && !shellOutput("command -v xdotool").empty(),
                     "needs a display and xdotool");
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    TempDir dir;
    for (const char* data : {"Shader", "Resources"})
        fs::create_directory_symlink(sourceDir() / data, dir.path() / data);

    for (const bool fit : {true, false}) {
        SCOPED_TRACE(fit ? "fitwindow 1" : "no fitwindow");
        writeFile(dir.path() / "config.js",
                  fit ? R"({"width": 1600, "height": 800, "fitwindow": 1})"
                      : R"({"width": 1600, "height": 800})");
        ChildProcess game({(binaryDir() / "zephrane").string()}, dir.path(),
                          {{"SDL_AUDIODRIVER", "dummy"}});
        ASSERT_TRUE(game.waitForOutput("Successfully initialized Engine\n", 120)) << game.output();
        const std::string window =
            shellOutput("xdotool search --sync --all --pid " + std::to_string(game.pid()) +
                        " --name '^Zephrane$' | head -n 1");
        ASSERT_FALSE(window.empty());
        shellOutput("xdotool windowfocus --sync " + window + " key --window " + window + " F1");

        // A picture of the given size for which `shows` holds, or the last one after 20 s (the
        // frames drawn before the game has seen a resize come first).
        auto waitFor = [&](int width, int height, auto shows) {
            RgbPicture picture;
            for (int tries = 0; tries < 200; ++tries) {
                picture = grab(display, std::stoul(window));
                if (picture.width == width && picture.height == height && shows(picture))
                    break;
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            return picture;
        };
        const RgbPicture configured = waitFor(1600, 800, [](const RgbPicture& p) {
            return p.at(10, 10)[0] > 250 && p.at(10, 10)[2] > 220 && p.at(10, 10)[2] < 240;
        });
        const auto whole = cells(configured, 0, 0, 1600, 800);

        struct Size {
            int width, height, barHeight;
        };
        for (const Size size : {Size{1000, 600, 50}, Size{1920, 1080, 60}}) {
            SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height));
            shellOutput("xdotool windowsize --sync " + window + " " + std::to_string(size.width) +
                        " " + std::to_string(size.height));
            const int inside = size.height - 2 * size.barHeight;
            auto fitted = [&](const RgbPicture& p) {
                return differingCells(cells(p, 0, size.barHeight, size.width, inside), whole);
            };
            auto barsBlack = [&](const RgbPicture& p) {
                return isBlack(p, 0, 0, size.width, size.barHeight) &&
                       isBlack(p, 0, size.height - size.barHeight, size.width, size.barHeight);
            };
            // Without the fit: the lower left of the canvas, as far as the window reaches.
            const auto cut = cells(configured, 0, 800 - size.height, size.width, size.height);
            auto cutOff = [&](const RgbPicture& p) {
                return differingCells(cells(p, 0, 0, size.width, size.height), cut);
            };
            if (fit) {
                const RgbPicture shown = waitFor(size.width, size.height, [&](const RgbPicture& p) {
                    return fitted(p) == 0 && barsBlack(p);
                });
                EXPECT_EQ(fitted(shown), 0);
                EXPECT_TRUE(barsBlack(shown));
            } else if (size.height <= 800) {
                const RgbPicture shown = waitFor(
                    size.width, size.height, [&](const RgbPicture& p) { return cutOff(p) == 0; });
                EXPECT_EQ(cutOff(shown), 0);
            }
        }
        kill(game.pid(), SIGTERM);
        EXPECT_EQ(game.wait(60), 1);
    }
    XCloseDisplay(display);
}
