#include "text/HudText.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

// 1 / 0.0161 s is 62.1 frames per second and 16.1 ms: the example line of the overlay.
constexpr float sixtyTwoFpsFrame = 0.0161f;

PerformanceFigures defaultSwitches() {
    PerformanceFigures figures;
    figures.deltaTime = sixtyTwoFpsFrame;
    figures.componentsDrawn = 12;
    return figures;
}

} // namespace

TEST(PerformanceLine, DefaultSwitchesReadAsInTheExample) {
    EXPECT_EQ(performanceLine(defaultSwitches()),
              "FPS: 62. ms: 16. Wiref: off. Transp: off. TSQ: bil. MipMap: lin. Cull: off. "
              "Components drawn: 12");
}

TEST(PerformanceLine, EverySwitchShowsItsOtherWord) {
    PerformanceFigures figures = defaultSwitches();
    figures.wireframe = true;
    figures.transparency = true;
    figures.bilinearSampling = false;
    figures.mipmapMode = 1;
    figures.frustumCulling = true;
    figures.componentsDrawn = 0;
    EXPECT_EQ(performanceLine(figures),
              "FPS: 62. ms: 16. Wiref: on. Transp: on. TSQ: NN. MipMap: NN. Cull: on. "
              "Components drawn: 0");

    // The mip-map word follows the mode modulo 3.
    const std::pair<int, const char*> modes[] = {{0, "MipMap: lin. "}, {1, "MipMap: NN. "},
                                                 {2, "MipMap: off. "}, {3, "MipMap: lin. "},
                                                 {5, "MipMap: off. "}, {-1, "MipMap: off. "}};
    for (const auto& [mode, words] : modes) {
        figures.mipmapMode = mode;
        EXPECT_NE(performanceLine(figures).find(words), std::string::npos) << "mode " << mode;
    }
}

TEST(PerformanceLine, FrameFiguresAreTruncatedAndNeverUndefined) {
    // 0.001f is slightly above a millisecond: in double precision that is 999.99995 frames per
    // second, which truncates to 999 (single precision would round to 1000).
    EXPECT_EQ(framesPerSecond(0.001f), 999);
    EXPECT_EQ(framesPerSecond(3.0f), 0);
    EXPECT_EQ(framesPerSecond(0.0f), 0);
    EXPECT_EQ(framesPerSecond(-0.02f), 0);
    EXPECT_EQ(framesPerSecond(1e-12f), INT_MAX);

    PerformanceFigures stalled = defaultSwitches();
    stalled.deltaTime = 0.0f;
    EXPECT_EQ(performanceLine(stalled).rfind("FPS: 0. ms: 0. ", 0), 0u);
    stalled.deltaTime = 2.5f;
    EXPECT_EQ(performanceLine(stalled).rfind("FPS: 0. ms: 2500. ", 0), 0u);
}

TEST(ScoreLines, PointsAndFinalPointsHaveTwoDecimals) {
    EXPECT_EQ(pointsLine(3.21f, 1), "Points: 3.21 Level: 1");
    EXPECT_EQ(pointsLine(12.5f, 3), "Points: 12.50 Level: 3");
    EXPECT_EQ(finalPointsLine(0.0f), "Final Points: 0.00");
    EXPECT_EQ(finalPointsLine(1234.5f), "Final Points: 1234.50");
}

TEST(ScoreLines, TimeLeftRoundsToWholeSecondsAndGoesNegative) {
    EXPECT_EQ(timeLeftLine(97.0f), "Time Left: 97");
    EXPECT_EQ(timeLeftLine(86.6f), "Time Left: 87");
    EXPECT_EQ(timeLeftLine(0.2f), "Time Left: 0");
    // Under cheat mode the clock runs past zero: first minus zero, then negative seconds.
    EXPECT_EQ(timeLeftLine(-0.3f), "Time Left: -0");
    EXPECT_EQ(timeLeftLine(-1.7f), "Time Left: -2");
    EXPECT_EQ(timeLeftLine(-42.0f), "Time Left: -42");
}
