// The window fit of the real game, on its help screen (a picture that stands still), resized by
// xdotool and grabbed from the X server. With "fitwindow": 1 the whole picture fits the centre with
// black bars; without the key it stays 1600 x 800 at the lower left. Alone: F1 needs the X focus.
#include "TestSupport.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

constexpr int cellsAcross = 100, cellsDown = 50; // the 2 : 1 picture, averaged down
constexpr int cellTolerance = 24;                // of 255, for text drawn at another scale
constexpr int black = 8;                         // of 255: a bar's brightest channel

RgbPicture grab(Display* display, unsigned long window) {
    XWindowAttributes size{};
    XGetWindowAttributes(display, window, &size);
    XImage* image = XGetImage(display, window, 0, 0, size.width, size.height, AllPlanes, ZPixmap);
    RgbPicture picture{size.width, size.height, {}};
    for (int y = 0; image && y < size.height; ++y)
        for (int x = 0; x < size.width; ++x)
            for (int shift : {16, 8, 0}) // 24-bit TrueColor
                picture.rgb.push_back((unsigned char)(XGetPixel(image, x, y) >> shift));
    if (image)
        XDestroyImage(image);
    return picture;
}

// The area at (x, y), w x h, averaged into cellsAcross x cellsDown cells of three channels.
std::vector<int> cells(const RgbPicture& picture, int x, int y, int w, int h) {
    std::vector<int> sums(cellsAcross * cellsDown * 3), counts(sums.size());
    for (int row = 0; row < h; ++row)
        for (int column = 0; column < w; ++column)
            for (int c = 0; c < 3; ++c) {
                const int at = (row * cellsDown / h * cellsAcross + column * cellsAcross / w) * 3;
                sums[at + c] += picture.at(x + column, y + row)[c];
                ++counts[at + c];
            }
    for (std::size_t i = 0; i < sums.size(); ++i)
        sums[i] /= std::max(counts[i], 1);
    return sums;
}

// Cells of the picture between bars `bar` high at the top and bottom that differ from `expected`
// by more than the tolerance, plus cells of the bars that are not black.
int mismatch(const RgbPicture& picture, int bar, const std::vector<int>& expected) {
    const std::vector<int> shown = cells(picture, 0, bar, picture.width, picture.height - 2 * bar);
    int differing = 0;
    for (std::size_t i = 0; i < shown.size(); ++i)
        differing += std::abs(shown[i] - expected[i]) > cellTolerance;
    for (int top : {0, picture.height - bar})
        for (int value : bar > 0 ? cells(picture, 0, top, picture.width, bar) : std::vector<int>())
            differing += value > black;
    return differing;
}

} // namespace

TEST(WindowFit, ThePictureKeepsItsShapeAtAnySizeAndOnlyWhenAsked) {
    ZEPHRANE_REQUIRE(std::getenv("DISPLAY") && !shellOutput("command -v xdotool").empty(),
                     "needs a display and xdotool");
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    TempDir dir;
    for (const bool fit : {true, false}) {
        const fs::path folder = gameFolder(dir, fit ? "fit" : "stretch",
                                           std::string(R"({"width": 1600, "height": 800)") +
                                               (fit ? R"(, "fitwindow": 1})" : "}"));
        ChildProcess game({(binaryDir() / "zephrane").string()}, folder,
                          {{"SDL_AUDIODRIVER", "dummy"}});
        ASSERT_TRUE(game.waitForOutput("Successfully initialized Engine\n", 120)) << game.output();
        const std::string window = shellOutput("xdotool search --sync --all --pid " +
                                               std::to_string(game.pid()) + " --name '^Zephrane$'");
        ASSERT_FALSE(window.empty());
        shellOutput("xdotool windowfocus --sync " + window + " key --window " + window + " F1");

        // The window a second after it has the size and `shows` holds (or after 20 s).
        auto waitFor = [&](int width, int height, auto shows) {
            for (int tries = 0; tries < 200; ++tries) {
                const RgbPicture picture = grab(display, std::stoul(window));
                if (picture.width == width && picture.height == height && shows(picture))
                    break;
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            std::this_thread::sleep_for(std::chrono::seconds(1));
            return grab(display, std::stoul(window));
        };
        // The help screen's empty top left corner, (1, 1, 0.9).
        const RgbPicture configured = waitFor(1600, 800, [](const RgbPicture& p) {
            return p.at(10, 10)[0] == 255 && std::abs(p.at(10, 10)[2] - 229) <= 1;
        });
        // Fitted: the whole picture between bars. Otherwise: the canvas's lower left.
        const std::vector<int> expected =
            fit ? cells(configured, 0, 0, 1600, 800) : cells(configured, 0, 200, 1000, 600);
        for (const auto& [width, height, bar] :
             fit ? std::vector<std::array<int, 3>>{{1000, 600, 50}, {1920, 1080, 60}}
                 : std::vector<std::array<int, 3>>{{1000, 600, 0}}) {
            shellOutput("xdotool windowsize --sync " + window + " " + std::to_string(width) + " " +
                        std::to_string(height));
            const RgbPicture shown = waitFor(width, height, [&](const RgbPicture& p) {
                return mismatch(p, bar, expected) == 0;
            });
            EXPECT_EQ(mismatch(shown, bar, expected), 0) << fit << ": " << width << " x " << height;
        }
        kill(game.pid(), SIGTERM); // a resized game still ends normally
        EXPECT_EQ(game.wait(60), 1) << game.output();
    }
    XCloseDisplay(display);
}
