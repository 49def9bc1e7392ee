// The player's own keys (keys.js) and the loudness settings in config.js, read the way the game
// reads them, and a bad keys.js failing the real game's start.
#include "game_test_scene.h"

#include "platform/KeyBindings.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdlib>
#include <regex>
#include <set>
#include <sstream>

#include <unistd.h>

using namespace testing_support;

namespace {

// Frames of a twentieth of a second; the mute key is held in frame 2, ESC from frame 4.
struct MuteThenQuit final : FrameClock, KeyboardState {
    double now() override { return 0.05 * double(frame++); }
    bool isDown(int key) const override {
        return (key == GLFW_KEY_M && frame == 3) || (key == GLFW_KEY_ESCAPE && frame >= 5);
    }
    long frame = 0; // frames begun, counting the reading before the first
};

} // namespace

// Good files bind and bad ones name their entry in one line (tests/data/key-bindings.txt).
TEST(KeyBindings, GoodFilesBindAndBadOnesNameTheirEntry) {
    const auto rows = tableRows("key-bindings.txt", 13);
    std::string error;
    for (const auto& [file, expected] : rows) {
        SCOPED_TRACE(file);
        EXPECT_EQ(parsed<KeyBindings>(file, &error).has_value(), expected == "bound");
        if (expected != "bound") { // the JSON reader's own words go on past their first line
            EXPECT_TRUE(expected.starts_with("* Line ") ? error.starts_with(expected)
                                                        : error == expected + "\n")
                << error;
        }
    }
    // The game asks by action: fire is down only through G now, SPACE alone does nothing.
    const auto bindings = parsed<KeyBindings>(rows[1].first, &error);
    ASSERT_TRUE(bindings);
    HeldKeys keyboard;
    const BoundKeyboard bound(keyboard, *bindings);
    keyboard.held = {GLFW_KEY_SPACE, GLFW_KEY_KP_5};
    EXPECT_FALSE(bound.isDown(GLFW_KEY_SPACE));
    EXPECT_TRUE(bound.isDown(GLFW_KEY_DOWN));
    keyboard.held = {GLFW_KEY_G};
    EXPECT_TRUE(bound.isDown(GLFW_KEY_SPACE));
    EXPECT_FALSE(bound.isDown(GLFW_KEY_G)) << "a key is not an action of its own";
}

// What `zephrane --help` tells the player is what the game does: each row of its key table puts
// the default keys of the actions in brackets, every action once; each name (and each end of a
// range) of its "Key names:" list reads back as itself; its options are the usage's.
TEST(KeyBindings, TheHelpNamesTheDefaultKeysTheKeyNamesAndTheOptions) {
    const std::string help =
        runProcess({(binaryDir() / "zephrane").string(), "--help"}, sourceDir()).out;
    const std::regex row(R"(\n  (\S+)(?: / (\S+))? +.*\[(\w+)(?:, (\w+))?\])");
    std::set<std::string> actions;
    const auto& all = KeyBindings::actions();
    for (std::sregex_iterator it(help.begin(), help.end(), row), end; it != end; ++it) {
        for (int i : {1, 2}) {
            if (!(*it)[i].matched)
                continue;
            const auto* action =
                std::ranges::find(all, (*it)[i + 2].str(), &KeyBindings::Action::name);
            ASSERT_NE(action, all.end()) << it->str();
            EXPECT_EQ(KeyBindings::keyCode((*it)[i].str()), action->defaultKey) << it->str();
            actions.insert(action->name);
        }
    }
    EXPECT_EQ(actions.size(), KeyBindings::actionCount);
    const std::size_t from = help.find("Key names: ") + 11;
    std::istringstream names(help.substr(from, help.find(". Actions", from) - from));
    for (std::string name; std::getline(names >> std::ws, name, ',');) // A-Z: both ends
        for (const std::string& end :
             {name.substr(0, name.find('-')), name.substr(name.find('-') + 1)}) {
            const auto code = KeyBindings::keyCode(end);
            EXPECT_TRUE(code && end == KeyBindings::keyName(*code)) << end;
        }
    std::string options;
    const std::regex option(R"(\n  (?:-h, |    )(--\w+))");
    for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it)
        options += (options.empty() ? "" : " | ") + (*it)[1].str();
    EXPECT_EQ(options, "--help | --version") << "usage: zephrane [--help | --version]";
}

// A keys.js that does not read stops the real game before any window, as a bad config.js does.
// Started by a wrapper (ZEPHRANE_PARENT_PID) that is already gone, the game ends at once; a
// wrapper's values that are no process id or no open descriptor are ignored.
TEST(KeyBindings, ABadFileFailsTheStartNamingTheEntry) {
    TempDir dir;
    std::filesystem::copy_file(sourceDir() / "config.js", dir.path() / "config.js");
    writeFile(dir.path() / "keys.js", "{ \"fire\": \"G\", \"pitchdown\": \"G\" }");
    for (const auto& [parent, outcomeFd] :
         std::initializer_list<std::array<std::string, 2>>{{"", ""},
                                                           {std::to_string(getpid()), "2"},
                                                           {"12x", "4294967299"},
                                                           {"0", "x"},
                                                           {"1", "3"}}) {
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
    ScopedWorkingDirectory inDir(gameFolder(
        dir, "game",
        "{\"width\": 1600, \"height\": 800, \"musicvolume\": 0, \"effectsvolume\": 100}"));
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    auto* game = new Zephrane(); // lives until the process ends, as in the game
    RecordingSound sound;
    sound.audible = true;
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
