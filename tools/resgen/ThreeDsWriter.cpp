#include "ThreeDsWriter.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <tuple>
#include <vector>

namespace resgen {

namespace {

// Chunk identifiers of the format.
enum : std::uint16_t {
    mainChunk = 0x4D4D,
    versionChunk = 0x0002,
    editorChunk = 0x3D3D,
    meshVersionChunk = 0x3D3E,
    masterScaleChunk = 0x0100,
    colour24Chunk = 0x0011,
    percentChunk = 0x0030,
    materialChunk = 0xAFFF,
    materialNameChunk = 0xA000,
    ambientChunk = 0xA010,
    diffuseChunk = 0xA020,
    specularChunk = 0xA030,
    textureMapChunk = 0xA200,
    mapNameChunk = 0xA300,
    objectChunk = 0x4000,
    triMeshChunk = 0x4100,
    vertexListChunk = 0x4110,
    faceListChunk = 0x4120,
    faceMaterialChunk = 0x4130,
    texCoordChunk = 0x4140,
    smoothingChunk = 0x4150,
    meshMatrixChunk = 0x4160,
};

constexpr std::uint32_t formatVersion = 3;
constexpr std::size_t maxCount = 65535;
constexpr std::uint16_t allEdgesVisible = 0x7;

// Little-endian chunk writer: begin() opens a chunk, end() patches its length.
class ChunkBuffer {
public:
    void u8(std::uint8_t v) { bytes.push_back(v); }
    void u16(std::uint16_t v) {
        u8(static_cast<std::uint8_t>(v & 0xFF));
        u8(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v) {
        u16(static_cast<std::uint16_t>(v & 0xFFFF));
        u16(static_cast<std::uint16_t>(v >> 16));
    }
    void f32(float v) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        u32(bits);
    }
    void text(const std::string& s) {
        bytes.insert(bytes.end(), s.begin(), s.end());
        u8(0);
    }
    void begin(std::uint16_t id) {
        open.push_back(bytes.size());
        u16(id);
        u32(0);
    }
    void end() {
        const std::size_t start = open.back();
        open.pop_back();
        const auto length = static_cast<std::uint32_t>(bytes.size() - start);
        for (int i = 0; i < 4; ++i)
            bytes[start + 2 + static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(length >> (8 * i));
    }
    void colour(std::uint16_t id, float value) {
        begin(id);
        begin(colour24Chunk);
        const auto byte = static_cast<std::uint8_t>(std::lround(value * 255.0f));
        u8(byte);
        u8(byte);
        u8(byte);
        end();
        end();
    }

    std::vector<std::uint8_t> bytes;

private:
    std::vector<std::size_t> open;
};

} // namespace

std::vector<std::uint32_t> ThreeDsWriter::smoothingBits(const MeshData& mesh) {
    using Key = std::tuple<long, long, long>;
    auto keyOf = [](glm::vec3 p) {
        return Key{std::lround(p.x / positionTolerance), std::lround(p.y / positionTolerance),
                   std::lround(p.z / positionTolerance)};
    };
    int groupCount = 0;
    for (int g : mesh.groups)
        groupCount = std::max(groupCount, g + 1);

    // Which groups meet at each position.
    std::map<Key, std::set<int>> groupsAt;
    for (std::size_t t = 0; t < mesh.triangles.size(); ++t)
        for (int c = 0; c < 3; ++c)
            groupsAt[keyOf(mesh.positions[mesh.triangles[t][c]])].insert(mesh.groups[t]);
    std::vector<std::set<int>> neighbours(static_cast<std::size_t>(groupCount));
    for (const auto& [key, groups] : groupsAt)
        for (int a : groups)
            for (int b : groups)
                if (a != b)
                    neighbours[static_cast<std::size_t>(a)].insert(b);

    // Greedy colouring in group order.
    std::vector<int> bit(static_cast<std::size_t>(groupCount), -1);
    for (int g = 0; g < groupCount; ++g) {
        std::uint32_t used = 0;
        for (int n : neighbours[static_cast<std::size_t>(g)])
            if (bit[static_cast<std::size_t>(n)] >= 0)
                used |= 1U << bit[static_cast<std::size_t>(n)];
        int free = 0;
        while (free < 32 && (used & (1U << free)))
            ++free;
        if (free == 32)
            return {};
        bit[static_cast<std::size_t>(g)] = free;
    }
    std::vector<std::uint32_t> result;
    result.reserve(mesh.triangles.size());
    for (int g : mesh.groups)
        result.push_back(1U << bit[static_cast<std::size_t>(g)]);
    return result;
}

bool ThreeDsWriter::write(const std::filesystem::path& path, const ModelFile& model) {
    const MeshData& mesh = model.mesh;
    if (mesh.positions.size() > maxCount || mesh.triangles.size() > maxCount) {
        std::cerr << "resgen: " << path.string() << ": too many vertices or faces for 3DS"
                  << std::endl;
        return false;
    }
    const std::vector<std::uint32_t> smoothing = smoothingBits(mesh);
    if (smoothing.size() != mesh.triangles.size()) {
        std::cerr << "resgen: " << path.string() << ": smoothing groups need more than 32 bits"
                  << std::endl;
        return false;
    }

    ChunkBuffer out;
    out.begin(mainChunk);
    out.begin(versionChunk);
    out.u32(formatVersion);
    out.end();
    out.begin(editorChunk);
    out.begin(meshVersionChunk);
    out.u32(formatVersion);
    out.end();
    out.begin(masterScaleChunk);
    out.f32(1.0f);
    out.end();

    out.begin(materialChunk);
    out.begin(materialNameChunk);
    out.text(model.materialName);
    out.end();
    out.colour(ambientChunk, 1.0f);
    out.colour(diffuseChunk, 1.0f);
    out.colour(specularChunk, 0.3f);
    out.begin(textureMapChunk);
    out.begin(percentChunk);
    out.u16(100);
    out.end();
    out.begin(mapNameChunk);
    out.text(model.textureFile);
    out.end();
    out.end();
    out.end();

    out.begin(objectChunk);
    out.text(model.objectName);
    out.begin(triMeshChunk);
    out.begin(vertexListChunk);
    out.u16(static_cast<std::uint16_t>(mesh.positions.size()));
    for (const glm::vec3& p : mesh.positions) {
        out.f32(p.x);
        out.f32(p.y);
        out.f32(p.z);
    }
    out.end();
    out.begin(texCoordChunk);
    out.u16(static_cast<std::uint16_t>(mesh.uvs.size()));
    for (const glm::vec2& t : mesh.uvs) {
        out.f32(t.x);
        out.f32(t.y);
    }
    out.end();
    out.begin(meshMatrixChunk);
    const float identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    for (float v : identity)
        out.f32(v);
    out.end();
    out.begin(faceListChunk);
    out.u16(static_cast<std::uint16_t>(mesh.triangles.size()));
    for (const glm::uvec3& tri : mesh.triangles) {
        out.u16(static_cast<std::uint16_t>(tri.x));
        out.u16(static_cast<std::uint16_t>(tri.y));
        out.u16(static_cast<std::uint16_t>(tri.z));
        out.u16(allEdgesVisible);
    }
    out.begin(faceMaterialChunk);
    out.text(model.materialName);
    out.u16(static_cast<std::uint16_t>(mesh.triangles.size()));
    for (std::size_t t = 0; t < mesh.triangles.size(); ++t)
        out.u16(static_cast<std::uint16_t>(t));
    out.end();
    out.begin(smoothingChunk);
    for (std::uint32_t bits : smoothing)
        out.u32(bits);
    out.end();
    out.end(); // face list
    out.end(); // tri mesh
    out.end(); // object
    out.end(); // editor
    out.end(); // main

    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(out.bytes.data()),
               static_cast<std::streamsize>(out.bytes.size()));
    if (!file) {
        std::cerr << "resgen: could not write " << path.string() << std::endl;
        return false;
    }
    return true;
}

} // namespace resgen
