// Every run-time file the game reads, damaged in four ways in turn: missing, empty, cut to half
// its size, and overwritten by random bytes of the same size. Each time the real game starts
// through zephrane-replay in a scratch run-time tree that mirrors the repository's (symbolic
// links to the intact files, a real file for the damaged one), with standard input closed, and
// plays one frame before it ends itself. It must then do what the game defines for that file:
// a refused start, a shader error, a reported model or texture, or a normal end - and never a
// crash, a hang or a sanitizer report.
//
// One representative file per loader, one test case per file, so that CTest spreads the matrix
// over its jobs.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <ostream>
#include <random>
#include <string>
#include <vector>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

enum class Damage { Missing, Empty, Half, Random };
constexpr std::array<Damage, 4> allDamages{Damage::Missing, Damage::Empty, Damage::Half,
                                           Damage::Random};
constexpr std::array<const char*, 4> damageNames{"missing", "empty", "cut to half", "random bytes"};

// What the game does with a damaged file.
enum class Outcome {
    StartRefused,   // the configuration does not parse: the start fails, status -1
    ShaderMissing,  // "Failed to open shader file: " and the path on standard error, status 1
    ShaderBroken,   // on standard error "Failed to compile shader" (status 1) or, for a shader
                    // that compiles without being a whole stage, "Failed to link program" (-1)
    ModelRefused,   // "ERROR::ASSIMP::" and the importer's message; the game goes on
    ModelKept,      // the material library is lost, the model is still imported; the game goes on
    TextureMissing, // "<path> could not be opened. ..."; the texture stays empty, the game goes on
    ImageRefused,   // "<path> could not be decoded as an image" on standard error, status -1
    FontRefused,    // "ERROR::FREETYPE: Failed to load font"; the game goes on without text
    Plays,          // whatever the file gives (a partial model, no texture, silence): status 1
};

struct DamagedFile {
    const char* file;                // relative to the game's working directory
    std::array<Outcome, 4> outcomes; // in the order of allDamages
};

// Names the case by its file in test listings.
void PrintTo(const DamagedFile& damaged, std::ostream* out) {
    *out << damaged.file;
}

using O = Outcome;

// One file per loader: the others of the same kind go through the same code. Half a model,
// material library, DDS file, font or sound may still read as something; what it then gives is
// the importer's or decoder's affair, so only the normal end is required. Random bytes in a
// model are refused by Assimp's format checks, except by the lenient OBJ reader, and a DDS file
// with a random FourCC gives texture 0. Every decoded image DevIL cannot read ends the game, a
// truncated PNG included. texture_l.vert cut to half compiles and fails to link.
const DamagedFile damagedFiles[] = {
    {"config.js", {O::StartRefused, O::StartRefused, O::StartRefused, O::StartRefused}},
    {"Shader/texture_l.vert",
     {O::ShaderMissing, O::ShaderBroken, O::ShaderBroken, O::ShaderBroken}},
    {"Resources/models/terrain.fbx", {O::ModelRefused, O::ModelRefused, O::Plays, O::ModelRefused}},
    {"Resources/models/AIM120D.3ds", {O::ModelRefused, O::ModelRefused, O::Plays, O::ModelRefused}},
    {"Resources/models/uvbox.obj", {O::ModelRefused, O::ModelRefused, O::Plays, O::Plays}},
    {"Resources/models/uvbox.mtl", {O::ModelKept, O::ModelKept, O::ModelKept, O::ModelKept}},
    {"Resources/textures/crate.png",
     {O::TextureMissing, O::ImageRefused, O::ImageRefused, O::ImageRefused}},
    {"Resources/textures/jet.DDS", {O::TextureMissing, O::Plays, O::Plays, O::Plays}},
    {"Resources/fonts/arial.ttf", {O::FontRefused, O::FontRefused, O::Plays, O::FontRefused}},
    {"Resources/audio/bgm.mp3", {O::Plays, O::Plays, O::Plays, O::Plays}},    // streamed
    {"Resources/audio/rocket.mp3", {O::Plays, O::Plays, O::Plays, O::Plays}}, // decoded at once
};

// A window just large enough to draw into; the damaged config.js cases bring their own.
const char* const smallWindowConfig = "{\"width\": 320, \"height\": 160}\n";
// One frame reaches everything the game loads and draws once; ESC then ends it.
const char* const oneFrameScript = "1 0.0333333\n";
constexpr std::uint32_t randomBytesStartValue = 20240611; // the same bytes in every run
constexpr int runTimeoutSeconds = 60; // a sanitized start takes about ten seconds

// Mirrors the run-time tree under `into`: every entry is a symbolic link to the repository's,
// except the directories on the way to `damaged`, which are real, and `damaged` itself, which
// is left out for the caller to write.
void mirrorRunTimeTree(const fs::path& into, const fs::path& damaged) {
    std::vector<fs::path> levels{fs::path()};
    for (const fs::path& part : damaged.parent_path())
        levels.push_back(levels.back() / part);
    for (const fs::path& level : levels) {
        fs::create_directories(into / level);
        const std::vector<fs::path> entries =
            level.empty() ? std::vector<fs::path>{"Shader", "Resources"}
                          : std::vector<fs::path>(fs::directory_iterator(sourceDir() / level),
                                                  fs::directory_iterator());
        for (const fs::path& entry : entries) {
            const fs::path relative = level / entry.filename();
            const bool onTheWay = std::find(levels.begin(), levels.end(), relative) != levels.end();
            if (!onTheWay && relative != damaged)
                fs::create_symlink(sourceDir() / relative, into / relative);
        }
    }
}

std::string damagedContent(const std::string& intact, Damage damage) {
    switch (damage) {
    case Damage::Empty:
        return {};
    case Damage::Half:
        return intact.substr(0, intact.size() / 2);
    case Damage::Random: {
        std::mt19937 generator(randomBytesStartValue);
        std::string bytes(intact.size(), '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(generator() & 0xFF);
        return bytes;
    }
    case Damage::Missing:
        break;
    }
    return {};
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool startsWith(const std::string& text, const std::string& start) {
    return text.rfind(start, 0) == 0;
}

// The model a material library belongs to: "X.mtl" serves "X.obj".
std::string modelOf(const std::string& materialLibrary) {
    return fs::path(materialLibrary).replace_extension(".obj").string();
}

// Checks one run against what the game defines for the damaged file.
::testing::AssertionResult behavesAsDefined(const ProcessResult& run, const std::string& file,
                                            Outcome outcome) {
    auto failure = [&]() { return ::testing::AssertionFailure(); };
    if (run.timedOut)
        return failure() << "no end within " << runTimeoutSeconds << " s";
    if (run.signal != 0)
        return failure() << "ended by signal " << run.signal;
    for (const char* report : {"ERROR: AddressSanitizer", "runtime error:"})
        if (contains(run.err, report))
            return failure() << "sanitizer report";

    int status = 1;
    bool said = true;
    switch (outcome) {
    case Outcome::StartRefused:
        status = -1;
        said = startsWith(run.out, "Failed to parse configuration file\n") &&
               contains(run.out, "Failed to initialize Engine\n");
        break;
    case Outcome::ShaderMissing:
        said = contains(run.err, "Failed to open shader file: " + file + "\n");
        break;
    case Outcome::ShaderBroken:
        if (contains(run.err, "Failed to link program\n"))
            status = -1;
        else
            said = contains(run.err, "Failed to compile shader\n");
        break;
    case Outcome::ModelRefused:
        said = contains(run.out, "\nERROR::ASSIMP::");
        break;
    case Outcome::ModelKept:
        said = contains(run.out, "no of textures of " + modelOf(file) + " is: ");
        break;
    case Outcome::TextureMissing:
        said = contains(run.out, file + " could not be opened. Are you in the right directory ?");
        break;
    case Outcome::ImageRefused:
        status = -1;
        said = contains(run.err, file + " could not be decoded as an image");
        break;
    case Outcome::FontRefused:
        said = contains(run.out, "ERROR::FREETYPE: Failed to load font\n");
        break;
    case Outcome::Plays:
        break;
    }
    if (run.exitCode != status)
        return failure() << "exit status " << run.exitCode << ", expected " << status;
    if (!said)
        return failure() << "the defined message is missing";
    return ::testing::AssertionSuccess();
}

class DamagedData : public ::testing::TestWithParam<DamagedFile> {};

TEST_P(DamagedData, EndsAsDefined) {
    ZEPHRANE_REQUIRE(std::getenv("DISPLAY") && fs::exists(replayProgram()) &&
                         fs::is_directory(sourceDir() / "Resources" / "models"),
                     "needs a display, zephrane-replay and the generated Resources/");
    const DamagedFile& damaged = GetParam();
    const std::string intact = readFile(sourceDir() / damaged.file);
    ASSERT_FALSE(intact.empty()) << damaged.file << " is missing from the repository";
    for (std::size_t kind = 0; kind < allDamages.size(); ++kind) {
        TempDir tree;
        mirrorRunTimeTree(tree.path(), damaged.file);
        if (damaged.file != std::string("config.js"))
            writeFile(tree.path() / "config.js", smallWindowConfig);
        if (allDamages[kind] != Damage::Missing)
            writeFile(tree.path() / damaged.file, damagedContent(intact, allDamages[kind]));
        writeFile(tree.path() / "frame.replay", oneFrameScript);

        const ProcessResult run =
            runProcess({replayProgram().string(), "frame.replay", "--fast"}, tree.path(), "",
                       runTimeoutSeconds, {{"SDL_AUDIODRIVER", "dummy"}});
        EXPECT_TRUE(behavesAsDefined(run, damaged.file, damaged.outcomes[kind]))
            << damaged.file << " " << damageNames[kind] << "\n--- standard output:\n"
            << run.out.substr(0, 4000) << "\n--- standard error:\n"
            << run.err.substr(0, 4000);
    }
}

// "Resources/models/SSD+WE.obj" becomes "Resources_models_SSD_WE_obj".
std::string caseName(const ::testing::TestParamInfo<DamagedFile>& info) {
    std::string name = info.param.file;
    std::replace_if(
        name.begin(), name.end(), [](unsigned char c) { return !std::isalnum(c); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(RunTimeFiles, DamagedData, ::testing::ValuesIn(damagedFiles), caseName);

} // namespace
