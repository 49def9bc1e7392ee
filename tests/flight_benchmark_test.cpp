// The benchmark's report, from a flight of a few frames: the figures it promises are all there
// and agree with each other, and the pictures are written. How fast the game is, is the
// benchmark's own business; nothing here depends on the machine's speed.
#include "TestSupport.h"

#include <chrono>
#include <cmath>
#include <sstream>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// The cells of a table row "| figure | a | b | ... |", without the figure.
std::vector<std::string> rowCells(const std::string& report, const std::string& figure) {
    const std::string head = "\n| " + figure + " | ";
    const std::size_t at = report.find(head);
    if (at == std::string::npos)
        return {};
    const std::size_t from = at + head.size();
    std::istringstream row(report.substr(from, report.find('\n', from) - from));
    std::vector<std::string> cells;
    for (std::string cell; std::getline(row, cell, '|');)
        cells.push_back(cell.substr(std::min(cell.size(), cell.find_first_not_of(' '))));
    return cells;
}

// How far a printed ratio of two printed figures may be from their own ratio: the rounding of
// all three.
double ratioTolerance(const std::string& top, const std::string& bottom) {
    const auto halfUnit = [](const std::string& cell) {
        const std::size_t point = cell.find('.');
        const std::size_t digits = cell.find_first_not_of("0123456789", point + 1) - point - 1;
        return point == std::string::npos ? 0.5 : 0.5 * std::pow(10.0, -double(digits));
    };
    const double ratio = std::stod(top) / std::stod(bottom);
    return 0.005 + ratio * (halfUnit(top) / std::stod(top) + halfUnit(bottom) / std::stod(bottom));
}

} // namespace

TEST(FlightBenchmark, ReportsEveryFigureOfAShortFlightAndItsPictures) {
    TempDir dir;
    const fs::path script = dir.path() / "short.replay";
    const fs::path pictures = dir.path() / "pictures";
    writeFile(script, "30 0.0166667 W\n");
    fs::create_directories(pictures);
    const auto started = std::chrono::steady_clock::now();
    const ProcessResult run = runProcess({replayProgram().string(), "--benchmark", script.string(),
                                          "--screenshots", pictures.string()},
                                         sourceDir(), "", 400);
    const std::chrono::duration<double, std::milli> whole =
        std::chrono::steady_clock::now() - started;
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string& report = run.out;

    // The report's lines and figures (tests/data/benchmark-report.txt).
    const auto rows = tableRows("benchmark-report.txt");
    EXPECT_EQ(rows.size(), 15u) << "the table read whole";
    std::vector<std::string> figures;
    for (auto [kind, text] : rows) {
        if (kind == "figure") {
            figures.push_back(text);
            continue;
        }
        if (const std::size_t at = text.find("SCRIPT"); at != std::string::npos)
            text.replace(at, 6, script.string());
        EXPECT_NE(report.find(text), std::string::npos) << text << "\nin:\n" << report;
    }

    // Every figure of every flight, its ratio to the full picture's as printed, and the
    // percentiles in their order.
    std::vector<double> previous;
    for (const std::string& figure : figures) {
        const auto cells = rowCells(report, figure);
        ASSERT_EQ(cells.size(), 6u) << figure << "\n" << report;
        const double full = std::stod(cells[0]), half = std::stod(cells[1]),
                     target = std::stod(cells[3]);
        EXPECT_GT(full, 0.0) << figure;
        if (figure == "frame time, max" || figure == "CPU per frame, whole frame") {
            EXPECT_LT(std::max({full, half, target}), whole.count()) << figure << ": past the run";
        }
        EXPECT_NEAR(std::stod(cells[2]), half / full, ratioTolerance(cells[1], cells[0])) << figure;
        EXPECT_NEAR(std::stod(cells[4]), target / full, ratioTolerance(cells[3], cells[0]))
            << figure;
        if (figure.rfind("frame time", 0) == 0) {
            const std::vector<double> now = {full, half, target};
            for (std::size_t i = 0; i < previous.size(); ++i)
                EXPECT_LE(previous[i], now[i]) << figure << " comes before the last one";
            previous = now;
        }
    }
    const auto median = rowCells(report, "frame time, median"),
               p99 = rowCells(report, "frame time, p99"), ratio = rowCells(report, "p99 / median");
    EXPECT_NEAR(std::stod(ratio[0]), std::stod(p99[0]) / std::stod(median[0]), 0.01);
    EXPECT_EQ(std::stod(rowCells(report, "frames measured")[0]), 60.0) << "two rounds of 30";
    const double memory = std::stod(rowCells(report, "peak resident memory")[0]);
    EXPECT_TRUE(memory > 30.0 && memory < 4096.0) << memory;
    for (const char* startup : {"start-up to first frame, cold", "start-up to first frame, warm"})
        EXPECT_GT(std::stod(rowCells(report, startup)[0]), 0.0) << startup;

    // The same frame drawn at 50 and with the target is close to the full one; a picture that
    // is black or missing is not.
    for (const std::string flight : {"50", "target 60"}) {
        const std::string head = "- picture of frame 29, " + flight + " against 100: mean error ";
        const std::size_t at = report.find(head);
        ASSERT_NE(at, std::string::npos) << head << "\n" << report;
        double meanError = 0, ssim = 0;
        ASSERT_EQ(std::sscanf(report.c_str() + at + head.size(), "%lf / 255, SSIM %lf", &meanError,
                              &ssim),
                  2);
        EXPECT_TRUE(meanError < 12.0 && ssim > 0.8 && ssim < 1.0001) << flight;
    }
    for (const std::string stem : {"scale-100", "scale-50", "target-60"}) {
        const fs::path jpeg = pictures / ("flight-" + stem + ".jpg");
        EXPECT_NE(report.find(": " + jpeg.string() + "\n"), std::string::npos) << stem;
        const RgbPicture picture = readPicture(jpeg);
        EXPECT_EQ(std::pair(picture.width, picture.height), std::pair(1600, 800)) << stem;
    }
}

// Where the game cannot start (its config.js but no shaders or models beside it) every flight
// fails, and the report and the status say so.
TEST(FlightBenchmark, FlightsThatCannotStartAreReportedAsFailed) {
    TempDir dir;
    writeFile(dir.path() / "short.replay", "2 0.0166667\n");
    fs::copy_file(sourceDir() / "config.js", dir.path() / "config.js");
    const ProcessResult run =
        runProcess({replayProgram().string(), "--benchmark", "short.replay"}, dir.path(), "", 400);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    for (const char* failed : {"2 rounds, frames pooled (some flights failed!)\n",
                               "an earlier run (some runs failed!)\n", "against 100: not taken!\n"})
        EXPECT_NE(run.out.find(failed), std::string::npos) << failed << "\n" << run.out;
    EXPECT_EQ(countOf(run.err, "benchmark: that flight failed\n"), 6u) << run.err;
}
