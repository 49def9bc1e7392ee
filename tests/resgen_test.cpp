// The resource generator's parts: the model writers as the importer reads them back, the
// texture layout, the light-map baker and the DDS encoder. (The generated files themselves, the
// terrain's flat ground under the scenery included, are checked in resources_test.)
#include "Buildings.h"
#include "DdsWriter.h"
#include "FbxWriter.h"
#include "Image.h"
#include "LightmapBaker.h"
#include "MeshData.h"
#include "ObjWriter.h"
#include "RayScene.h"
#include "Shapes.h"
#include "TestSupport.h"
#include "TexelMap.h"
#include "ThreeDsWriter.h"
#include "UvAtlas.h"
#include "render/DdsImage.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace resgen;
namespace fs = std::filesystem;

namespace {

// A model with hard edges (a box) and a smooth surface (a capped cylinder) side by side, laid
// out for a texture.
ModelFile sampleModel() {
    ModelFile model{"sample", "paint", "sample.DDS", {}};
    addBox(model.mesh, {-1.0f, 0.0f, -1.0f}, {1.0f, 2.0f, 1.0f}, 0);
    addLoft(model.mesh,
            {ellipseRing({3.0f, 0.0f, 0.0f}, {0, 0, 1}, {1, 0, 0}, 0.8f, 0.8f, 12),
             ellipseRing({3.0f, 2.0f, 0.0f}, {0, 0, 1}, {1, 0, 0}, 0.8f, 0.8f, 12)},
            Shading::Smooth, 1, true, true);
    model.mesh.computeNormals();
    UvAtlas::unwrap(model.mesh, 128, 128, 2);
    model.mesh.weld();
    return model;
}

} // namespace

// Model files

// Every format must come back from the importer as the one mesh on a child of the root node,
// with the positions, texture coordinates (flipped by the game's import flag) and texture we
// wrote. 3DS stores no normals: the smoothing bits must make the importer compute ours.
TEST(ModelWriters, AllFormatsImportAsWrittenWithTheirNormals) {
    const ModelFile model = sampleModel();
    testing_support::TempDir dir;
    const std::vector<std::pair<fs::path, bool (*)(const fs::path&, const ModelFile&)>> formats{
        {dir.path() / "sample.obj", &ObjWriter::write},
        {dir.path() / "sample.3ds", &ThreeDsWriter::write},
        {dir.path() / "sample.fbx", &FbxWriter::write}};
    for (const auto& [path, write] : formats) {
        SCOPED_TRACE(path.filename().string());
        ASSERT_TRUE(write(path, model));

        Assimp::Importer importer;
        const aiScene* scene =
            importer.ReadFile(path.string(), aiProcess_Triangulate | aiProcess_FlipUVs);
        ASSERT_NE(scene, nullptr) << importer.GetErrorString();
        ASSERT_EQ(scene->mRootNode->mNumMeshes, 0u);
        ASSERT_EQ(scene->mRootNode->mNumChildren, 1u);
        const aiNode* child = scene->mRootNode->mChildren[0];
        ASSERT_EQ(child->mNumMeshes, 1u);
        EXPECT_TRUE(child->mTransformation.IsIdentity());
        const aiMesh* mesh = scene->mMeshes[child->mMeshes[0]];
        ASSERT_NE(mesh->mNormals, nullptr);
        ASSERT_NE(mesh->mTextureCoords[0], nullptr);
        ASSERT_EQ(mesh->mNumFaces, model.mesh.triangles.size());

        for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
            for (unsigned k = 0; k < 3; ++k) {
                const unsigned imported = mesh->mFaces[f].mIndices[k];
                const std::uint32_t ours = model.mesh.triangles[f][static_cast<int>(k)];
                const aiVector3D& p = mesh->mVertices[imported];
                const aiVector3D& n = mesh->mNormals[imported];
                const aiVector3D& t = mesh->mTextureCoords[0][imported];
                ASSERT_NEAR(glm::distance(glm::vec3(p.x, p.y, p.z), model.mesh.positions[ours]),
                            0.0f, 1e-4f);
                ASSERT_NEAR(glm::distance(glm::vec3(n.x, n.y, n.z), model.mesh.normals[ours]), 0.0f,
                            2e-3f)
                    << "face " << f << " corner " << k;
                ASSERT_NEAR(t.x, model.mesh.uvs[ours].x, 1e-4f);
                ASSERT_NEAR(t.y, 1.0f - model.mesh.uvs[ours].y, 1e-4f);
            }
        }
        aiString texture;
        ASSERT_EQ(
            scene->mMaterials[mesh->mMaterialIndex]->GetTexture(aiTextureType_DIFFUSE, 0, &texture),
            aiReturn_SUCCESS);
        EXPECT_STREQ(texture.C_Str(), "sample.DDS");
    }
}

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

// Texture layout

// The hangar's charts keep their padding apart and all share one scale, so that no part of the
// building gets a blurrier light map than another. (That no two triangles share a texel is
// checked on every generated light-mapped model.)
TEST(UvAtlas, ChartsAreDisjointPaddedAndEvenlyScaled) {
    constexpr int size = 256;
    constexpr int padding = 3;
    MeshData mesh = hangarMesh();
    mesh.computeNormals();
    const UvAtlas atlas = UvAtlas::unwrap(mesh, size, size, padding);
    ASSERT_GT(atlas.charts.size(), 6u);

    std::vector<int> chartAt(static_cast<std::size_t>(size) * size, -1);
    for (std::size_t t = 0; t < mesh.triangles.size(); ++t) {
        glm::vec2 lo(1e9f), hi(-1e9f);
        glm::vec2 c[3];
        for (int k = 0; k < 3; ++k) {
            const glm::vec2 uv = mesh.uvs[mesh.triangles[t][k]];
            ASSERT_TRUE(glm::all(glm::greaterThanEqual(uv, glm::vec2(0.0f))) &&
                        glm::all(glm::lessThanEqual(uv, glm::vec2(1.0f))))
                << "triangle " << t;
            c[k] = uvToTexel(uv, size, size);
            lo = glm::min(lo, c[k]);
            hi = glm::max(hi, c[k]);
        }
        // Texel area over model area is the squared scale for every triangle.
        const float texelArea = 0.5f * std::abs((c[1].x - c[0].x) * (c[2].y - c[0].y) -
                                                (c[2].x - c[0].x) * (c[1].y - c[0].y));
        const float modelArea = mesh.faceArea(t);
        if (modelArea > 0.05f) {
            const float ratio = texelArea / modelArea / (atlas.texelsPerUnit * atlas.texelsPerUnit);
            EXPECT_GT(ratio, 0.75f) << "triangle " << t << " is squeezed";
            EXPECT_LE(ratio, 1.001f) << "triangle " << t << " is stretched";
        }
        for (int y = static_cast<int>(lo.y); y <= static_cast<int>(hi.y); ++y)
            for (int x = static_cast<int>(lo.x); x <= static_cast<int>(hi.x); ++x)
                chartAt[static_cast<std::size_t>(y) * size + x] = atlas.chartOfTriangle[t];
    }
    // Texels touched by different charts lie at least the padding apart.
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int chart = chartAt[static_cast<std::size_t>(y) * size + x];
            if (chart < 0)
                continue;
            for (int dy = -padding; dy <= padding; ++dy) {
                for (int dx = -padding; dx <= padding; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= size || ny >= size)
                        continue;
                    const int other = chartAt[static_cast<std::size_t>(ny) * size + nx];
                    ASSERT_TRUE(other < 0 || other == chart)
                        << "charts " << chart << " and " << other << " meet at " << x << "," << y;
                }
            }
        }
    }
}

// A texel shows the surface point under it, and the texels along a chart's border are filled
// too (bilinear filtering reads them).
TEST(TexelMap, TexelsShowTheirSurfacePointsUpToTheBorder) {
    MeshData mesh;
    mesh.addQuad({0, 0, 0}, {4, 0, 0}, {4, 0, -4}, {0, 0, -4}, mesh.newGroup(), 7);
    mesh.computeNormals();
    for (std::size_t i = 0; i < mesh.positions.size(); ++i)
        mesh.uvs[i] = {0.25f + mesh.positions[i].x / 8.0f, 0.25f - mesh.positions[i].z / 8.0f};
    const TexelMap map = TexelMap::rasterize(mesh, 32, 32);
    // The quad covers texels 8..23 in both directions; with the border reach, 7 and 24 too.
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const bool inside = x >= 7 && x <= 24 && y >= 7 && y <= 24;
            const std::size_t i = static_cast<std::size_t>(y) * 32 + x;
            ASSERT_EQ(map.covered[i] != 0, inside) << x << "," << y;
            if (x >= 8 && x <= 23 && y >= 8 && y <= 23) {
                // Column x shows model x = (x + 0.5 - 8) / 4; row y shows z = -(24 - y - 0.5) / 4.
                EXPECT_NEAR(map.samples[i].position.x, (x + 0.5f - 8.0f) / 4.0f, 1e-4f);
                EXPECT_NEAR(map.samples[i].position.z, -(24.0f - y - 0.5f) / 4.0f, 1e-4f);
                EXPECT_EQ(map.samples[i].part, 7);
                EXPECT_NEAR(map.samples[i].normal.y, 1.0f, 1e-5f);
            }
        }
    }
}

// Light

TEST(RayScene, FindsOccludersOnlyWithinReachAndAboveTheFloor) {
    RayScene scene;
    scene.addTriangle({-1, -1, 5}, {1, -1, 5}, {0, 1, 5});
    scene.build();
    EXPECT_TRUE(scene.occluded({0, 0, 0}, {0, 0, 1}, 10.0f));
    EXPECT_FALSE(scene.occluded({0, 0, 0}, {0, 0, 1}, 4.0f));
    EXPECT_FALSE(scene.occluded({0, 0, 0}, {0, 0, -1}, 10.0f));
    EXPECT_FALSE(scene.occluded({3, 0, 0}, {0, 0, 1}, 10.0f)) << "passes beside the triangle";
    EXPECT_FALSE(scene.occluded({0, 1, 0}, {0, -1, 0}, 10.0f));
    scene.setFloor(-2.0f);
    EXPECT_TRUE(scene.occluded({0, 1, 0}, {0, -1, 0}, 10.0f));
    EXPECT_FALSE(scene.occluded({0, 1, 0}, {0, -1, 0}, 2.5f));

    // Many triangles: the hierarchy must still find the one in the way.
    RayScene grid;
    for (int i = 0; i < 500; ++i) {
        const float x = static_cast<float>(i % 25) * 2.0f, y = static_cast<float>(i / 25) * 2.0f;
        grid.addTriangle({x, y, 3}, {x + 1, y, 3}, {x, y + 1, 3});
    }
    grid.build();
    EXPECT_TRUE(grid.occluded({30.2f, 20.2f, 0}, {0, 0, 1}, 10.0f));
    EXPECT_FALSE(grid.occluded({30.8f, 20.8f, 0}, {0, 0, 1}, 10.0f));
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
    EXPECT_NEAR(lightOpen.g, sunColour.g * sun.y + skyColour.g, 0.03f);
    EXPECT_LT(lightShadow.g, lightOpen.g * 0.55f);
    const glm::vec3 awayFromSun = glm::normalize(glm::vec3(-sun.x, 0.0f, -sun.z));
    const glm::vec3 backFace = LightmapBaker::lightAt(glm::vec3(0, 1, 0) + awayFromSun * 1.5f,
                                                      awayFromSun, scene, settings, 3);
    EXPECT_LT(backFace.g, lightShadow.g + 0.05f);
    // The same texel gets the same rays: baking is repeatable.
    EXPECT_EQ(LightmapBaker::lightAt(shadowed, up, scene, settings, 2), lightShadow);
}

TEST(Image, DilationFillsTheBackgroundFromCoveredNeighbours) {
    Image image(5, 1, glm::vec4(0.0f));
    image.at(1, 0) = glm::vec4(1.0f);
    image.at(3, 0) = glm::vec4(0.5f);
    std::vector<std::uint8_t> covered{0, 1, 0, 1, 0};
    image.dilate(covered, 1);
    EXPECT_EQ(image.at(0, 0), glm::vec4(1.0f));
    EXPECT_EQ(image.at(2, 0), glm::vec4(0.75f));
    EXPECT_EQ(image.at(4, 0), glm::vec4(0.5f));
    EXPECT_EQ(covered, (std::vector<std::uint8_t>{1, 1, 1, 1, 1}));
}

// DDS

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
    std::uint32_t w = 64, h = 32;
    std::size_t total = 0;
    for (const DdsLevel& level : dds.levels) {
        EXPECT_EQ(level.width, w);
        EXPECT_EQ(level.height, h);
        EXPECT_EQ(level.size, ((w + 3) / 4) * ((h + 3) / 4) * 8u);
        total += level.size;
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
    }
    EXPECT_EQ(bytes.size(), 128u + total) << "nothing after the last level";
    // Block 0 of a uniform area: both end points are the area's colour (RGB 565).
    const std::uint16_t c0 = static_cast<std::uint16_t>(dds.data[0] | (dds.data[1] << 8));
    EXPECT_NEAR((c0 >> 11) & 31, 0.2 * 31, 1.0);
    EXPECT_NEAR((c0 >> 5) & 63, 0.4 * 63, 1.0);
    EXPECT_NEAR(c0 & 31, 0.8 * 31, 1.0);
}
