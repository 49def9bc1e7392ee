#include "BakedModel.h"

#include "ObjWriter.h"
#include "RayScene.h"
#include "UvAtlas.h"

namespace resgen {

bool writeBakedModel(const OutputDirs& out, MeshData mesh, const BakedModelRecipe& recipe) {
    mesh.computeNormals();
    // Laid out at the light map's resolution, whose padding matters most; the colour texture
    // shares the layout at a finer grain.
    UvAtlas::unwrap(mesh, recipe.lightTexels, recipe.lightTexels, recipe.lightPadding);

    const TexelMap colourMap = TexelMap::rasterize(mesh, recipe.colourTexels, recipe.colourTexels);
    const int colourRings = recipe.lightPadding * recipe.colourTexels / recipe.lightTexels + 2;
    const Image colour = colourMap.shade(
        [&](const SurfaceSample& s) { return glm::vec4(recipe.paint(s), 1.0f); }, colourRings);

    RayScene scene;
    scene.addMesh(mesh);
    scene.setFloor(0.0f);
    scene.build();
    const TexelMap lightMap = TexelMap::rasterize(mesh, recipe.lightTexels, recipe.lightTexels);
    const Image light = LightmapBaker::bake(lightMap, scene, recipe.bake, recipe.lightPadding + 2);

    ModelFile model{recipe.objectName, recipe.materialName, recipe.colourFile, std::move(mesh)};
    model.mesh.weld();
    return colour.savePng(out.textures / recipe.colourFile) &&
           light.savePng(out.textures / recipe.lightMapFile) &&
           ObjWriter::write(out.models / recipe.modelFile, model);
}

} // namespace resgen
