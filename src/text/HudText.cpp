#include "text/HudText.h"

#include <cmath>
#include <iomanip>
#include <limits>
#include <sstream>

namespace {

constexpr double millisecondsPerSecond = 1000.0;
constexpr int mipmapModeCount = 3; // linear, nearest, off

// The integer part of a figure, kept inside int: a frame time of a few nanoseconds (or a clock
// that jumped) must not turn into an undefined conversion.
int wholePart(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

const char* onOff(bool on) {
    return on ? "on" : "off";
}

const char* mipmapWord(int mode) {
    switch (((mode % mipmapModeCount) + mipmapModeCount) % mipmapModeCount) {
    case 0:
        return "lin.";
    case 1:
        return "NN.";
    default:
        return "off.";
    }
}

std::string fixedNumber(float value, int decimals) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(decimals) << value;
    return text.str();
}

} // namespace

int framesPerSecond(float deltaTime) {
    if (!(deltaTime > 0.0f))
        return 0;
    return wholePart(1.0 / static_cast<double>(deltaTime));
}

std::string performanceLine(const PerformanceFigures& figures) {
    const int milliseconds =
        wholePart(static_cast<double>(figures.deltaTime) * millisecondsPerSecond);
    std::string line;
    line += "FPS: " + std::to_string(framesPerSecond(figures.deltaTime)) + ". ";
    line += "ms: " + std::to_string(milliseconds) + ". ";
    line += std::string("Wiref: ") + onOff(figures.wireframe) + ". ";
    line += std::string("Transp: ") + onOff(figures.transparency) + ". ";
    line += std::string("TSQ: ") + (figures.bilinearSampling ? "bil." : "NN.") + " ";
    line += std::string("MipMap: ") + mipmapWord(figures.mipmapMode) + " ";
    line += std::string("Cull: ") + onOff(figures.frustumCulling) + ".";
    line += " Components drawn: " + std::to_string(figures.componentsDrawn);
    if (figures.renderScale != 100 || figures.scaleTarget)
        line += " Scale: " + std::to_string(figures.renderScale) + "%";
    return line;
}

std::string pointsLine(float points, int level) {
    std::ostringstream line;
    line << std::fixed << std::setprecision(2) << "Points: " << points << " Level: " << level;
    return line.str();
}

std::string timeLeftLine(float timeLeft) {
    // Zero decimals: a clock just below zero reads "-0", as the stream rounds it.
    return "Time Left: " + fixedNumber(timeLeft, 0);
}

std::string finalPointsLine(float finalPoints) {
    return "Final Points: " + fixedNumber(finalPoints, 2);
}
