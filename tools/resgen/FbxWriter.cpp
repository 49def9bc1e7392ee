#include "FbxWriter.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <numbers>
#include <optional>
#include <string>

namespace resgen {

namespace {

// Object identifiers; only their links matter, so they are fixed.
constexpr long geometryId = 1000;
constexpr long modelId = 2000;
constexpr long materialId = 3000;
constexpr long textureId = 4000;
constexpr int valuesPerLine = 12;

std::string number(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.5f", value);
    std::string text = buffer;
    return text == "-0.00000" ? "0.00000" : text;
}

// Writes "Name: *count {\n a: v,v,v...\n}" with a line break every few values.
template <typename Values>
void writeArray(std::ostream& out, const std::string& indent, const char* name,
                const Values& values) {
    out << indent << name << ": *" << values.size() << " {\n" << indent << "\ta: ";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            out << ',';
        if (i > 0 && i % valuesPerLine == 0)
            out << '\n' << indent << "\t";
        out << values[i];
    }
    out << '\n' << indent << "}\n";
}

// Two triangles (p, q, r) and (p, r, s), in either's corner order, as the quad (p, q, r, s).
// The importer splits a quad along the diagonal from its first corner, p to r, as the two
// triangles had it, unless it finds a corner whose angles to the opposite corner add up to more
// than half a turn; such a pair stays two triangles. A quad gives the draw four vertices where
// two triangles give six.
std::optional<std::array<std::uint32_t, 4>> asQuad(const MeshData& mesh, const glm::uvec3& first,
                                                   const glm::uvec3& second) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const std::array<std::uint32_t, 4> quad{first[i], first[(i + 1) % 3],
                                                    first[(i + 2) % 3], second[(j + 2) % 3]};
            if (second[j] != quad[0] || second[(j + 1) % 3] != quad[2])
                continue;
            auto towards = [&](int from, int to) {
                return glm::normalize(mesh.positions[quad[to % 4]] - mesh.positions[quad[from]]);
            };
            for (int k = 0; k < 4; ++k) {
                const glm::vec3 diagonal = towards(k, k + 2);
                if (std::acos(glm::dot(towards(k, k + 3), diagonal)) +
                        std::acos(glm::dot(towards(k, k + 1), diagonal)) >
                    std::numbers::pi_v<float>)
                    return std::nullopt;
            }
            return quad;
        }
    return std::nullopt;
}

} // namespace

bool FbxWriter::write(const std::filesystem::path& path, const ModelFile& model) {
    const MeshData& mesh = model.mesh;
    // Normals and texture coordinates are stored once per vertex ("ByVertice"), as the mesh
    // holds them: the importer gives every polygon corner its vertex's values either way, and
    // reads a third of the numbers it would read once per corner.
    std::vector<std::string> vertices, normals, uvs;
    std::vector<long> polygonIndices;
    for (std::size_t v = 0; v < mesh.positions.size(); ++v)
        for (int a = 0; a < 3; ++a) {
            vertices.push_back(number(mesh.positions[v][a]));
            normals.push_back(number(mesh.normals[v][a]));
        }
    for (const glm::vec2& t : mesh.uvs)
        for (int a = 0; a < 2; ++a)
            uvs.push_back(number(t[a]));
    // Polygon vertex lists end with the bitwise complement of their last index.
    auto addPolygon = [&](const auto& corners) {
        for (std::size_t c = 0; c + 1 < corners.size(); ++c)
            polygonIndices.push_back(static_cast<long>(corners[c]));
        polygonIndices.push_back(~static_cast<long>(corners.back()));
    };
    for (std::size_t t = 0; t < mesh.triangles.size(); ++t) {
        const glm::uvec3& tri = mesh.triangles[t];
        const auto quad =
            t + 1 < mesh.triangles.size() ? asQuad(mesh, tri, mesh.triangles[t + 1]) : std::nullopt;
        if (quad) {
            addPolygon(*quad);
            ++t;
        } else {
            addPolygon(std::array<std::uint32_t, 3>{tri.x, tri.y, tri.z});
        }
    }

    std::ofstream out(path, std::ios::binary);
    if (!out) {
        std::cerr << "resgen: could not write " << path.string() << std::endl;
        return false;
    }
    out << "; FBX 7.4.0 project file\n"
        << "; Zephrane model, written by zephrane-resgen\n\n"
        << "FBXHeaderExtension:  {\n\tFBXHeaderVersion: 1003\n\tFBXVersion: 7400\n"
        << "\tCreator: \"zephrane-resgen\"\n}\n"
        << "GlobalSettings:  {\n\tVersion: 1000\n\tProperties70:  {\n"
        << "\t\tP: \"UpAxis\", \"int\", \"Integer\", \"\",1\n"
        << "\t\tP: \"UpAxisSign\", \"int\", \"Integer\", \"\",1\n"
        << "\t\tP: \"FrontAxis\", \"int\", \"Integer\", \"\",2\n"
        << "\t\tP: \"FrontAxisSign\", \"int\", \"Integer\", \"\",1\n"
        << "\t\tP: \"CoordAxis\", \"int\", \"Integer\", \"\",0\n"
        << "\t\tP: \"CoordAxisSign\", \"int\", \"Integer\", \"\",1\n"
        << "\t\tP: \"UnitScaleFactor\", \"double\", \"Number\", \"\",1\n"
        << "\t}\n}\n\n";

    out << "Objects:  {\n"
        << "\tGeometry: " << geometryId << ", \"Geometry::" << model.objectName
        << "\", \"Mesh\" {\n";
    writeArray(out, "\t\t", "Vertices", vertices);
    writeArray(out, "\t\t", "PolygonVertexIndex", polygonIndices);
    out << "\t\tGeometryVersion: 124\n"
        << "\t\tLayerElementNormal: 0 {\n\t\t\tVersion: 101\n\t\t\tName: \"\"\n"
        << "\t\t\tMappingInformationType: \"ByVertice\"\n"
        << "\t\t\tReferenceInformationType: \"Direct\"\n";
    writeArray(out, "\t\t\t", "Normals", normals);
    out << "\t\t}\n"
        << "\t\tLayerElementUV: 0 {\n\t\t\tVersion: 101\n\t\t\tName: \"UVMap\"\n"
        << "\t\t\tMappingInformationType: \"ByVertice\"\n"
        << "\t\t\tReferenceInformationType: \"Direct\"\n";
    writeArray(out, "\t\t\t", "UV", uvs);
    out << "\t\t}\n"
        << "\t\tLayerElementMaterial: 0 {\n\t\t\tVersion: 101\n\t\t\tName: \"\"\n"
        << "\t\t\tMappingInformationType: \"AllSame\"\n"
        << "\t\t\tReferenceInformationType: \"IndexToDirect\"\n"
        << "\t\t\tMaterials: *1 {\n\t\t\t\ta: 0\n\t\t\t}\n\t\t}\n"
        << "\t\tLayer: 0 {\n\t\t\tVersion: 100\n"
        << "\t\t\tLayerElement:  {\n\t\t\t\tType: \"LayerElementNormal\"\n"
        << "\t\t\t\tTypedIndex: 0\n\t\t\t}\n"
        << "\t\t\tLayerElement:  {\n\t\t\t\tType: \"LayerElementUV\"\n"
        << "\t\t\t\tTypedIndex: 0\n\t\t\t}\n"
        << "\t\t\tLayerElement:  {\n\t\t\t\tType: \"LayerElementMaterial\"\n"
        << "\t\t\t\tTypedIndex: 0\n\t\t\t}\n\t\t}\n\t}\n";

    out << "\tModel: " << modelId << ", \"Model::" << model.objectName << "\", \"Mesh\" {\n"
        << "\t\tVersion: 232\n\t\tProperties70:  {\n\t\t}\n"
        << "\t\tShading: T\n\t\tCulling: \"CullingOff\"\n\t}\n";

    out << "\tMaterial: " << materialId << ", \"Material::" << model.materialName
        << "\", \"\" {\n\t\tVersion: 102\n\t\tShadingModel: \"phong\"\n\t\tMultiLayer: 0\n"
        << "\t\tProperties70:  {\n"
        << "\t\t\tP: \"DiffuseColor\", \"Color\", \"\", \"A\",1,1,1\n"
        << "\t\t\tP: \"SpecularColor\", \"Color\", \"\", \"A\",0.3,0.3,0.3\n"
        << "\t\t\tP: \"Shininess\", \"double\", \"Number\", \"\",15\n"
        << "\t\t}\n\t}\n";

    out << "\tTexture: " << textureId << ", \"Texture::" << model.materialName
        << "\", \"\" {\n\t\tType: \"TextureVideoClip\"\n\t\tVersion: 202\n"
        << "\t\tTextureName: \"Texture::" << model.materialName << "\"\n"
        << "\t\tFileName: \"" << model.textureFile << "\"\n"
        << "\t\tRelativeFilename: \"" << model.textureFile << "\"\n\t}\n}\n\n";

    out << "Connections:  {\n"
        << "\tC: \"OO\"," << modelId << ",0\n"
        << "\tC: \"OO\"," << geometryId << "," << modelId << "\n"
        << "\tC: \"OO\"," << materialId << "," << modelId << "\n"
        << "\tC: \"OP\"," << textureId << "," << materialId << ", \"DiffuseColor\"\n"
        << "}\n";
    out.flush();
    if (!out) {
        std::cerr << "resgen: could not write " << path.string() << std::endl;
        return false;
    }
    return true;
}

} // namespace resgen
