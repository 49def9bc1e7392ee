// The player's own keys (keys.js) and the loudness settings in config.js, read the way the game
// reads them, and a bad keys.js failing the real game's start.
#include "TestSupport.h"

#include "app/EngineConfig.h"
#include "app/Zephrane.h"
#include "audio/SoundEngine.h"
#include "platform/KeyBindings.h"

#include <GLFW/glfw3.h>

#include <array>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <set>
#include <sstream>
#include <tuple>

#include <unistd.h>

using namespace testing_support;

namespace {

std::optional<KeyBindings> bindingsOf(const std::string& text, std::string& error) {
    std::istringstream in(text);
    return KeyBindings::parse(in, error);
}

// A keyboard holding exactly the given keys.
struct HeldKeys final : KeyboardState {
    std::set<int> held;
    bool isDown(int key) const override { return held.contains(key); }
};

// A sound engine that keeps what the game asked of its loudness.
struct LoudnessLog final : SoundEngine {
    void play2D(const std::string&, bool) override {}
    void preload(const std::string&) override {}
    bool isAudible() const override { return true; }
    void setVolumes(int music, int effects) override { volumes.emplace_back(music, effects); }
    void setMuted(bool muted) override { mutes.push_back(muted); }
    std::vector<std::pair<int, int>> volumes;
    std::vector<bool> mutes;
};

// Frames of a twentieth of a second; the mute key is held in frame 2, ESC from frame 4.
struct MuteThenQuit final : FrameClock, KeyboardState {
    double now() override { return 0.05 * double(frame++); }
    bool isDown(int key) const override {
        return (key == GLFW_KEY_M && frame == 3) || (key == GLFW_KEY_ESCAPE && frame >= 5);
    }
    long frame = 0; // frames begun, counting the reading before the first
};

} // namespace

// Good files: an action's keys replace its default, others keep theirs. Bad files: each names the
// entry that is wrong, in one line; an empty file does not read, as an empty config.js does not.
TEST(KeyBindings, GoodFilesBindAndBadOnesNameTheirEntry) {
    struct Row {
        const char* file;
        const char* error; // empty for a good file
    };
    const Row rows[] = {
        {"{}", ""},
        {"// mine\n{ \"fire\": \"g\", /* both */ \"pitchup\": [\"DOWN\", \"kp5\"] }", ""},
        {"{\"speedup\": \"S\", \"slowdown\": \"W\"}", ""}, // swapped keys
        {"{\"fire\": []}", "* \"fire\": no key\n"},
        {"{\"shoot\": \"G\"}", "* unknown action \"shoot\"\n"},
        {"{\"fire\": \"SPCE\"}", "* \"fire\": unknown key \"SPCE\"\n"},
        {"{\"fire\": [\"G\", 7]}", "* \"fire\": unknown key \"7\"\n"},
        {"{\"fire\": 7}", "* \"fire\": give a key name or a list of key names\n"},
        {"{\"fire\": \"W\"}", "* key W is bound to both \"speedup\" and \"fire\"\n"},
        {"{\"speedup\": \"SPACE\"}", "* key SPACE is bound to both \"speedup\" and \"fire\"\n"},
        {"{\"mute\": \"G\", \"fire\": \"G\"}", "* key G is bound to both \"fire\" and \"mute\"\n"},
        {"[\"fire\"]", "* The key bindings must be a JSON object\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        std::string error;
        const auto bindings = bindingsOf(row.file, error);
        EXPECT_EQ(bindings.has_value(), *row.error == '\0');
        if (!bindings) {
            EXPECT_EQ(error, row.error);
        }
    }
    std::string error;
    for (const char* unreadable : {"", "{\"fire\": "}) {
        EXPECT_FALSE(bindingsOf(unreadable, error));
        EXPECT_EQ(error.rfind("* Line 1, Column ", 0), 0u) << error;
    }

    // The game asks by action: fire is down only through G now, SPACE alone does nothing.
    const auto bindings = bindingsOf(rows[1].file, error);
    ASSERT_TRUE(bindings);
    HeldKeys keyboard;
    const BoundKeyboard bound(keyboard, *bindings);
    keyboard.held = {GLFW_KEY_SPACE, GLFW_KEY_KP_5};
    EXPECT_FALSE(bound.isDown(GLFW_KEY_SPACE));
    EXPECT_TRUE(bound.isDown(GLFW_KEY_DOWN));
    keyboard.held = {GLFW_KEY_G};
    EXPECT_TRUE(bound.isDown(GLFW_KEY_SPACE));
    EXPECT_FALSE(bound.isDown(GLFW_KEY_G)) << "a key is not an action of its own";
    // Names read back in any case, and every default key has one (the help screen prints it).
    for (const char* name : {"A", "9", "F12", "KP0", "PAGEDOWN"})
        EXPECT_STREQ(KeyBindings::keyName(KeyBindings::keyCode(name).value_or(0)), name);
    for (const auto& action : KeyBindings::actions())
        EXPECT_STRNE(KeyBindings::keyName(action.defaultKey), "?") << action.name;
}

// The loudness keys: 0 to 100, missing is 100; anything else fails, naming the key.
TEST(EngineConfig, VolumesFromZeroToHundred) {
    const std::tuple<const char*, int, int> rows[] = {
        {"{}", 100, 100},
        {"{\"musicvolume\": 0, \"effectsvolume\": 100}", 0, 100},
        {"{\"musicvolume\": 100, \"effectsvolume\": 0}", 100, 0},
        {"{\"musicvolume\": -1}", -1, -1},
        {"{\"effectsvolume\": 101}", -1, -1},
        {"{\"musicvolume\": \"50\"}", -1, -1},
    };
    for (const auto& [text, music, effects] : rows) {
        std::istringstream in(text);
        std::string errors;
        const auto config = EngineConfig::parse(in, errors);
        EXPECT_EQ(config.has_value(), music >= 0) << text;
        if (config) {
            EXPECT_EQ(std::pair(config->musicVolume, config->effectsVolume),
                      std::pair(music, effects));
        } else { // the key's name, quoted, is in the message
            EXPECT_NE(errors.find(std::string(text).substr(1, 13)), std::string::npos) << errors;
        }
    }
}

// A keys.js that does not read stops the real game before any window, as a bad config.js does.
// Started by a wrapper (ZEPHRANE_PARENT_PID) that is already gone, the game ends at once; a
// wrapper's values that are no process id or no open descriptor are ignored.
TEST(KeyBindings, ABadFileFailsTheStartNamingTheEntry) {
    TempDir dir;
    std::filesystem::copy_file(sourceDir() / "config.js", dir.path() / "config.js");
    writeFile(dir.path() / "keys.js", "{ \"fire\": \"G\", \"pitchdown\": \"G\" }");
    for (const auto& [parent, outcomeFd] : std::initializer_list<std::array<std::string, 2>>{
             {"", ""}, {std::to_string(getpid()), "2"}, {"12x", "99"}, {"0", "x"}, {"1", "3"}}) {
        const ProcessResult result =
            runProcess({(binaryDir() / "zephrane").string()}, dir.path(), "", 60,
                       {{"SDL_AUDIODRIVER", "dummy"},
                        {"ZEPHRANE_PARENT_PID", parent},
                        {"ZEPHRANE_OUTCOME_FD", outcomeFd}});
        EXPECT_EQ(std::pair(result.signal, result.exitCode),
                  parent == "1" ? std::pair(SIGTERM, -1000) : std::pair(0, -1))
            << parent << result.err;
        EXPECT_EQ(result.out, parent == "1"
                                  ? ""
                                  : "Failed to read the key bindings in keys.js\n"
                                    "* key G is bound to both \"pitchdown\" and \"fire\"\n"
                                    "Failed to initialize Engine\nPress Enter to continue . . .\n");
    }
}

// The real game started with both loudness keys at an edge hands them to its sound engine once,
// and the mute key reaches it too.
TEST(SoundSettings, ReachTheGamesSoundEngine) {
    ZEPHRANE_REQUIRE(std::getenv("DISPLAY") &&
                         std::filesystem::is_directory(sourceDir() / "Resources" / "models"),
                     "needs a display and the generated Resources/");
    TempDir dir;
    for (const char* shared : {"Shader", "Resources"})
        std::filesystem::create_symlink(sourceDir() / shared, dir.path() / shared);
    writeFile(dir.path() / "config.js",
              "{\"width\": 1600, \"height\": 800, \"musicvolume\": 0, \"effectsvolume\": 100}");
    ScopedWorkingDirectory inDir(dir.path());
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    auto* game = new Zephrane(); // lives until the process ends, as in the game
    LoudnessLog sound;
    game->soundEngine = &sound;
    MuteThenQuit frames;
    game->hooks.clock = &frames;
    game->hooks.keyboard = &frames;
    testing::internal::CaptureStdout();
    const int status = game->run();
    const std::string out = testing::internal::GetCapturedStdout();
    ASSERT_EQ(status, 1) << out;
    EXPECT_EQ(sound.volumes, (std::vector<std::pair<int, int>>{{0, 100}}));
    EXPECT_EQ(sound.mutes, std::vector<bool>{true});
    EXPECT_EQ(countOf(out, "Sound off\n"), 1u) << out;
}
