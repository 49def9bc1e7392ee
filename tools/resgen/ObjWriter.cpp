#include "ObjWriter.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

namespace resgen {

namespace {

// Fixed-point text keeps the files identical from run to run and platform to platform.
std::string number(float value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.5f", static_cast<double>(value));
    std::string text = buffer;
    return text == "-0.00000" ? "0.00000" : text;
}

} // namespace

bool ObjWriter::write(const std::filesystem::path& path, const ModelFile& model) {
    std::filesystem::path materialPath = path;
    materialPath.replace_extension(".mtl");
    const MeshData& mesh = model.mesh;

    std::ofstream obj(path, std::ios::binary);
    std::ofstream mtl(materialPath, std::ios::binary);
    if (!obj || !mtl) {
        std::cerr << "resgen: could not write " << path.string() << std::endl;
        return false;
    }

    mtl << "# Zephrane material library, written by zephrane-resgen\n"
        << "newmtl " << model.materialName << "\n"
        << "Ka 1.00000 1.00000 1.00000\nKd 1.00000 1.00000 1.00000\n"
        << "Ks 0.30000 0.30000 0.30000\nNs 15.00000\nillum 2\n"
        << "map_Kd " << model.textureFile << "\n";

    obj << "# Zephrane model, written by zephrane-resgen\n"
        << "mtllib " << materialPath.filename().string() << "\n"
        << "o " << model.objectName << "\n";
    for (const glm::vec3& p : mesh.positions)
        obj << "v " << number(p.x) << ' ' << number(p.y) << ' ' << number(p.z) << '\n';
    for (const glm::vec2& t : mesh.uvs)
        obj << "vt " << number(t.x) << ' ' << number(t.y) << '\n';
    for (const glm::vec3& n : mesh.normals)
        obj << "vn " << number(n.x) << ' ' << number(n.y) << ' ' << number(n.z) << '\n';
    obj << "usemtl " << model.materialName << "\ns off\n";
    for (const glm::uvec3& tri : mesh.triangles) {
        obj << 'f';
        for (int c = 0; c < 3; ++c) {
            const unsigned index = tri[c] + 1;
            obj << ' ' << index << '/' << index << '/' << index;
        }
        obj << '\n';
    }
    obj.flush();
    mtl.flush();
    if (!obj || !mtl) {
        std::cerr << "resgen: could not write " << path.string() << std::endl;
        return false;
    }
    return true;
}

} // namespace resgen
