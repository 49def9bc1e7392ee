#include "text/HudText.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

// 1 / 0.0161 s is 62.1 frames per second and 16.1 ms: the example line of the overlay.
PerformanceFigures defaultSwitches() {
    PerformanceFigures figures;
    figures.deltaTime = 0.0161f;
    figures.componentsDrawn = 12;
    return figures;
}

} // namespace

TEST(PerformanceLine, ShowsEachSwitchAndTruncatedFrameFigures) {
    PerformanceFigures on = defaultSwitches();
    on.wireframe = on.transparency = on.frustumCulling = true;
    on.bilinearSampling = false;
    on.mipmapMode = 1;
    on.componentsDrawn = 0;
    PerformanceFigures stalled = defaultSwitches(), slow = defaultSwitches();
    stalled.deltaTime = 0.0f;
    slow.deltaTime = 2.5f;
    EXPECT_EQ(performanceLine(defaultSwitches()),
              "FPS: 62. ms: 16. Wiref: off. Transp: off. TSQ: bil. MipMap: lin. Cull: off. "
              "Components drawn: 12");
    EXPECT_EQ(performanceLine(on), "FPS: 62. ms: 16. Wiref: on. Transp: on. TSQ: NN. MipMap: NN. "
                                   "Cull: on. Components drawn: 0");
    EXPECT_EQ(performanceLine(stalled).rfind("FPS: 0. ms: 0. ", 0), 0u);
    EXPECT_EQ(performanceLine(slow).rfind("FPS: 0. ms: 2500. ", 0), 0u);
    // The mip-map word follows the mode modulo 3.
    for (const auto& [mode, words] :
         {std::pair{2, "MipMap: off. "}, std::pair{3, "MipMap: lin. "},
          std::pair{5, "MipMap: off. "}, std::pair{-1, "MipMap: off. "}}) {
        on.mipmapMode = mode;
        EXPECT_NE(performanceLine(on).find(words), std::string::npos) << "mode " << mode;
    }
    // 0.001f is slightly above a millisecond: in double precision that is 999.99995 frames per
    // second, which truncates to 999 (single precision would round to 1000).
    EXPECT_EQ(framesPerSecond(0.001f), 999);
    EXPECT_EQ(framesPerSecond(3.0f), 0);
    EXPECT_EQ(framesPerSecond(-0.02f), 0);
    EXPECT_EQ(framesPerSecond(1e-12f), INT_MAX);
}

TEST(ScoreLines, TwoDecimalPointsAndRoundedSecondsThatGoNegative) {
    EXPECT_EQ(pointsLine(3.21f, 1), "Points: 3.21 Level: 1");
    EXPECT_EQ(pointsLine(12.5f, 3), "Points: 12.50 Level: 3");
    EXPECT_EQ(finalPointsLine(0.0f), "Final Points: 0.00");
    EXPECT_EQ(finalPointsLine(1234.5f), "Final Points: 1234.50");
    EXPECT_EQ(timeLeftLine(97.0f), "Time Left: 97");
    EXPECT_EQ(timeLeftLine(86.6f), "Time Left: 87");
    EXPECT_EQ(timeLeftLine(0.2f), "Time Left: 0");
    // Under cheat mode the clock runs past zero: first minus zero, then negative seconds.
    EXPECT_EQ(timeLeftLine(-0.3f), "Time Left: -0");
    EXPECT_EQ(timeLeftLine(-1.7f), "Time Left: -2");
}
