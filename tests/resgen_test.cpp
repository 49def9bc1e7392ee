// The resource generator's parts: the model writers as the importer reads them back, the
// light-map baker and the DDS encoder. (The generated files themselves, the
// terrain's flat ground under the scenery included, are checked in resources_test.)
#include "DdsWriter.h"
#include "FbxWriter.h"
#include "Image.h"
#include "LightmapBaker.h"
#include "MeshData.h"
#include "ObjWriter.h"
#include "RayScene.h"
#include "Shapes.h"
#include "TestSupport.h"
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
