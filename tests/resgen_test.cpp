// The resource generator's parts that the generated files cannot show: the 3DS writer's limits,
// the light-map baker's shadows and the DDS encoder's chain. (The generated files themselves are
// checked in resources_test, and drawn in the replay tests' reference pictures.)
#include "DdsWriter.h"
#include "Image.h"
#include "LightmapBaker.h"
#include "MeshData.h"
#include "RayScene.h"
#include "Shapes.h"
#include "TestSupport.h"
#include "ThreeDsWriter.h"
#include "render/DdsImage.h"

#include <gtest/gtest.h>

using namespace resgen;

TEST(ModelWriters, ThreeDsRefusesMeshesBeyondItsLimits) {
    ModelFile model{"big", "paint", "big.png", {}};
    const int group = model.mesh.newGroup();
    for (int i = 0; i < 22000; ++i) {
        const float x = static_cast<float>(i);
        model.mesh.addTriangle({x, 0, 0}, {x + 1, 0, 0}, {x, 1, 0}, group, 0);
    }
    model.mesh.computeNormals();
    testing_support::TempDir dir;
    EXPECT_FALSE(ThreeDsWriter::write(dir.path() / "big.3ds", model)); // 66000 corners
}

// Ground in a box's shadow gets sky light only, open ground sun and sky; a face turned away
// from the sun is no brighter than shadowed ground.
TEST(LightmapBaker, ShadowsAndOcclusionDarkenTheLight) {
    RayScene scene;
    MeshData box;
    addBox(box, {-1, 0, -1}, {1, 2, 1}, 0);
    scene.addMesh(box);
    scene.setFloor(0.0f);
    scene.build();
    BakeSettings settings;
    const glm::vec3 up(0, 1, 0);
    const glm::vec3 sun = settings.sunDirection;
    // A floor point behind the box as the sun sees it.
    const glm::vec3 shadowed = glm::vec3(0, 0, 0) - glm::vec3(sun.x, 0, sun.z) / sun.y * 1.5f;
    const glm::vec3 open(12, 0, 12);
    const glm::vec3 lightOpen = LightmapBaker::lightAt(open, up, scene, settings, 1);
    const glm::vec3 lightShadow = LightmapBaker::lightAt(shadowed, up, scene, settings, 2);
    EXPECT_LT(lightShadow.g, lightOpen.g * 0.55f);
    const glm::vec3 awayFromSun = glm::normalize(glm::vec3(-sun.x, 0.0f, -sun.z));
    const glm::vec3 backFace = LightmapBaker::lightAt(glm::vec3(0, 1, 0) + awayFromSun * 1.5f,
                                                      awayFromSun, scene, settings, 3);
    EXPECT_LT(backFace.g, lightShadow.g + 0.05f);
    // The same texel gets the same rays: baking is repeatable.
    EXPECT_EQ(LightmapBaker::lightAt(shadowed, up, scene, settings, 2), lightShadow);
}

// The game's own DDS reader must find every level of the chain down to 1 x 1, in DXT1, and the
// first block must hold the picture's colours.
TEST(DdsWriter, WritesAFullDxt1ChainThatTheGameReads) {
    Image image(64, 32, glm::vec4(0.2f, 0.4f, 0.8f, 1.0f));
    for (int x = 32; x < 64; ++x)
        for (int y = 0; y < 32; ++y)
            image.at(x, y) = glm::vec4(1.0f, 0.0f, 0.0f, 1.0f);
    const std::vector<std::uint8_t> bytes = DdsWriter::encode(image);
    DdsImage dds;
    ASSERT_TRUE(DdsImage::parse(bytes.data(), bytes.size(), dds));
    EXPECT_EQ(dds.glFormat, 0x83F1u);
    ASSERT_EQ(dds.mipMapCount, 7u);
    ASSERT_EQ(dds.levels.size(), 7u);
    EXPECT_EQ(dds.levels.back().width * dds.levels.back().height, 1u);
    std::size_t total = 0;
    for (const DdsLevel& level : dds.levels)
        total += level.size;
    EXPECT_EQ(bytes.size(), 128u + total) << "every level whole, nothing after the last";
    // Block 0 of a uniform area: both end points are the area's colour (RGB 565).
    const std::uint16_t c0 = static_cast<std::uint16_t>(dds.data[0] | (dds.data[1] << 8));
    EXPECT_NEAR((c0 >> 11) & 31, 0.2 * 31, 1.0);
    EXPECT_NEAR((c0 >> 5) & 63, 0.4 * 63, 1.0);
    EXPECT_NEAR(c0 & 31, 0.8 * 31, 1.0);
}
