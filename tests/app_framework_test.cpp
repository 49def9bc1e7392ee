// The game framework's per-frame passes and the debug-output formatter.
#include "app/DebugOutput.h"
#include "app/GameBase.h"
#include "audio/SoundEngine.h"
#include "scene/SceneObject.h"

#include <gtest/gtest.h>

namespace {

struct CountingObject : SceneObject {
    CountingObject(int components, std::vector<int>* log, int id)
        : SceneObject(glm::mat4(1.0f)), components(components), log(log), id(id) {}
    void update(float) override { log->push_back(id); }
    int draw(bool) override { return components; }
    int components;
    std::vector<int>* log;
    int id;
};

} // namespace

TEST(GameBase, LevelClockEndsTheGameAtZero) {
    GameBase game;
    game.timeLeft = 0.5f;
    game.update(0.4f);
    EXPECT_FALSE(game.gameOver);
    EXPECT_NEAR(game.timeLeft, 0.1f, 1e-6f);

    GameBase exact;
    exact.timeLeft = 0.5f;
    exact.update(0.5f);
    EXPECT_TRUE(exact.gameOver); // zero counts as over

    exact.update(0.5f); // nothing stops the clock afterwards
    EXPECT_FLOAT_EQ(exact.timeLeft, -0.5f);
    EXPECT_TRUE(exact.gameOver);
}

TEST(GameBase, PassesRunInRegistrationOrder) {
    GameBase game;
    EXPECT_EQ(game.draw(false), 0);

    std::vector<int> log;
    CountingObject a(2, &log, 1), b(0, &log, 2), c(3, &log, 3);
    game.soundEngine = reinterpret_cast<SoundEngine*>(0x1234); // only passed on, never used
    game.registerObject(&c);
    game.registerObject(&a);
    game.registerObject(&b);
    EXPECT_EQ(a.soundEngine, game.soundEngine);

    game.update(0.016f);
    EXPECT_EQ(log, (std::vector<int>{3, 1, 2}));
    EXPECT_EQ(game.draw(true), 5);
}

TEST(DebugOutput, FormatsCoreMessages) {
    EXPECT_EQ(formatDebugOutput(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_ERROR, 1280,
                                GL_DEBUG_SEVERITY_HIGH, "T"),
              "OpenGL Error: T [Source = API, Type = Error, Severity = High, ID = 1280]");
    EXPECT_EQ(formatDebugOutput(GL_DEBUG_SOURCE_SHADER_COMPILER, GL_DEBUG_TYPE_PERFORMANCE,
                                4294967295u, GL_DEBUG_SEVERITY_NOTIFICATION, "slow"),
              "OpenGL Error: slow [Source = Shader Compiler, Type = Performance, "
              "Severity = Unknown, ID = 4294967295]");
    EXPECT_EQ(formatDebugOutput(GL_DEBUG_SOURCE_THIRD_PARTY, GL_DEBUG_TYPE_PORTABILITY, 0,
                                GL_DEBUG_SEVERITY_LOW, ""),
              "OpenGL Error:  [Source = Third Party, Type = Portability, Severity = Low, ID = 0]");
}

TEST(DebugOutput, AmdCategoriesServeAsSourceAndType) {
    // The AMD path passes its category as both source and type.
    auto amd = [](GLenum category) {
        return formatDebugOutput(category, category, 7, 0x9147, "m");
    };
    EXPECT_EQ(amd(0x9149),
              "OpenGL Error: m [Source = API, Type = Unknown, Severity = Medium, ID = 7]");
    EXPECT_EQ(amd(0x914D),
              "OpenGL Error: m [Source = Unknown, Type = Performance, Severity = Medium, ID = 7]");
    EXPECT_EQ(amd(0x914B), "OpenGL Error: m [Source = Unknown, Type = Deprecated Behavior, "
                           "Severity = Medium, ID = 7]");
    EXPECT_EQ(amd(0x9150),
              "OpenGL Error: m [Source = Other, Type = Other, Severity = Medium, ID = 7]");
    EXPECT_EQ(amd(0x914E), "OpenGL Error: m [Source = Shader Compiler, Type = Unknown, "
                           "Severity = Medium, ID = 7]");
}
