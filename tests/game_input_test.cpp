#include "game_test_scene.h"

#include "app/InputHandler.h"

#include <gtest/gtest.h>

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <set>

namespace {

struct HeldKeys final : KeyboardState {
    explicit HeldKeys(std::set<int> held) : keys(std::move(held)) {}
    std::set<int> keys;
    bool isDown(int glfwKey) const override { return keys.count(glfwKey) > 0; }
};

struct RecordingGame final : GameBase {
    void onAction(InputAction action, float) override { actions.push_back(action); }
    std::vector<int> actions;
};

std::vector<int> actionsFor(std::set<int> keys) {
    RecordingGame game;
    InputHandler(&game).poll(HeldKeys(std::move(keys)), 0.02f);
    return game.actions;
}

} // namespace

TEST(InputHandler, EveryHeldKeyBecomesOneActionInTableOrder) {
    std::set<int> all;
    for (int key = GLFW_KEY_SPACE; key <= GLFW_KEY_LAST; ++key)
        all.insert(key);
    EXPECT_EQ(actionsFor(all), (std::vector<int>{KeyW, KeyA, KeyD, KeyS, KeyUp, KeyDown, KeyLeft,
                                                 KeyRight, KeySpace, KeyF1, KeyF2, KeyF3, KeyF4,
                                                 KeyF5, KeyF6, KeyF8, KeyF9, Key1, Key2}));
    EXPECT_EQ(actionsFor({GLFW_KEY_SPACE, GLFW_KEY_W}), (std::vector<int>{KeyW, KeySpace}));
    EXPECT_TRUE(actionsFor({GLFW_KEY_F7, GLFW_KEY_ESCAPE}).empty());
}

TEST(GameControls, FilterKeysAnnounceAndSetTheTextureFilters) {
    if (!testing_support::ensureGlContext())
        GTEST_SKIP() << "no display for an OpenGL context";
    Zephrane game;
    {
        CoutCapture output; // nothing to filter, nothing said
        game.onAction(KeyF5, 0.1f);
        EXPECT_EQ(output.buffer.str(), "");
        game.mipmapMode = 0;
        game.mipmapCooldown = 0.0f;
    }
    GLuint textures[2];
    glGenTextures(2, textures);
    auto* scenery = new TestCube(glm::mat4(1.0f));
    for (GLuint texture : textures) {
        auto* component = new MeshComponent();
        component->textureId = texture;
        scenery->addMeshComponent(component);
    }
    game.registerObject(scenery);
    auto filtersOf = [](GLuint texture) {
        GLint magnification = 0, minification = 0;
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magnification);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minification);
        return std::make_pair(magnification, minification);
    };

    CoutCapture output;
    std::vector<std::pair<GLint, GLint>> filters;
    for (InputAction key : {KeyF5, KeyF5, KeyF5, KeyF4, KeyF5}) {
        game.onAction(key, 0.1f);
        game.onAction(key, 0.1f); // held on: once per second
        filters.push_back(filtersOf(textures[1]));
        game.update(1.0f);
    }
    EXPECT_EQ(filtersOf(textures[0]), filters.back());
    EXPECT_EQ(filters,
              (std::vector<std::pair<GLint, GLint>>{{GL_LINEAR, GL_LINEAR_MIPMAP_NEAREST},
                                                    {GL_LINEAR, GL_LINEAR},
                                                    {GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR},
                                                    {GL_NEAREST, GL_NEAREST_MIPMAP_LINEAR},
                                                    {GL_NEAREST, GL_NEAREST_MIPMAP_NEAREST}}));
    EXPECT_EQ(output.lines(),
              (std::vector<std::string>{"TSQ = bilinear, MM = nn", "TSQ = bilinear, MM = off",
                                        "TSQ = bilinear, MM = linear", "TSQ = nn, MM = linear",
                                        "TSQ = nn, MM = nn"}));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
