// Seeded generator of the game's skin models (.ski) for tests and benchmarks. It has its own
// writer and shares no code with the rewrite it is used to test.
//
// Layout (little-endian): a 108-byte header {8-byte magic "MOXBIKSA"; u32 version (8 or 9),
// NumSkinMeshes, unk02, unk03, unk04, NumTextures, NumMaterials, NumBoneNames, unk07, unk08;
// 60 bytes unk_zero}; version 9 only: NumBoneNames names {u32 length; bytes}; NumTextures texture
// names {u32 length; bytes}; NumMaterials materials of 80 bytes {11-byte tag "MATERIAL: " and a
// zero; 68 bytes; u8 flag 0 or 1}; NumSkinMeshes meshes {u32 name length; name; u32 word1, word2;
// u32 NumVertices, NumIndices; 48-byte vertices; u16 indices}. A vertex is {float position[3];
// float weight[3]; u8 bone[4]; float normal[3]; float u, v}.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace SkiGen
{
constexpr uint32_t kHeaderSize = 108;
constexpr uint32_t kMaterialSize = 80;
constexpr uint32_t kVertexSize = 48;
constexpr uint32_t kNameLimit = 4096; // a name length must stay below this

struct Vertex
{
    float Position[3] = {};
    float Weight[3] = {};
    uint8_t Bone[4] = {};
    float Normal[3] = {};
    float U = 0, V = 0;
};

struct Mesh
{
    std::string Name;
    uint32_t Word1 = 0;
    uint32_t Word2 = 0;
    std::vector<Vertex> Vertices;
    std::vector<uint16_t> Indices;
};

struct Material
{
    std::array<uint8_t, 11> Tag{};
    std::array<uint8_t, 68> Body{};
    uint8_t Flag = 0;
};

// Every header word as it is written; the counts are not derived from the lists, so that a file
// may claim what it does not hold (a version 8 file with bone names counted, a cut-off file).
struct Model
{
    std::array<char, 8> Magic{'M', 'O', 'X', 'B', 'I', 'K', 'S', 'A'};
    uint32_t Version = 9;
    uint32_t NumSkinMeshes = 0;
    uint32_t Unk02 = 0;
    uint32_t Unk03 = 0;
    uint32_t Unk04 = 0;
    uint32_t NumTextures = 0;
    uint32_t NumMaterials = 0;
    uint32_t NumBoneNames = 0;
    uint32_t Unk07 = 0;
    uint32_t Unk08 = 0x2B;
    std::array<uint8_t, 60> UnkZero{};
    std::vector<std::string> BoneNames; // written for version 9 only
    std::vector<std::string> TextureNames;
    std::vector<Material> Materials;
    std::vector<Mesh> Meshes;
    std::vector<uint8_t> Tailer; // bytes after the last mesh
};

struct Options
{
    uint64_t Seed = 1;
    uint32_t Version = 9;
    uint32_t MinMeshes = 1;
    uint32_t MaxMeshes = 6;
    uint32_t MinVertices = 24;
    uint32_t MaxVertices = 2500;
    uint32_t MaxBones = 35; // bone indices lie below this
    uint32_t MaxTextures = 6;
    uint32_t MaxMaterials = 6;
};

// A consistent model: 1-6 meshes (by the options), unit normals, u and v in [0, 1], weights over
// 1 to 4 bones (the fourth bone takes 1 minus the three stored weights), bone and texture names of
// the game's style, tags and flags that pass.
Model MakeModel(const Options& options);

// A mesh of exactly `vertexCount` vertices (at least 6, at most 65,536): a tube of triangles.
Mesh MakeMesh(uint64_t seed, uint32_t vertexCount, uint32_t maxBones = 35, const std::string& name = "Body");

// One field of the file as written: where it starts, its size and a name that says which it is
// ("header.unk08", "texture[2].length", "mesh[1].vertices").
struct Field
{
    uint64_t Offset = 0;
    uint64_t Size = 0;
    std::string Name;
};

// The file and the fields it is made of, in file order and back to back.
struct Image
{
    std::vector<uint8_t> Bytes;
    std::vector<Field> Fields;
    std::vector<uint64_t> MeshOffsets; // where each mesh's name length begins
};

Image Write(const Model& model);

// A mesh's 48-byte vertices and u16 indices exactly as the file holds them after the two counts.
std::vector<uint8_t> MeshBody(const Mesh& mesh);

// The file of the model with one mesh's vertices and indices taken from `source`, each bone index
// b through boneMap[b] when a map is given: what a rewrite of that mesh must produce. The mesh's
// name and two words stay.
std::vector<uint8_t> WithMeshReplaced(Model model, size_t index, Mesh source, const uint8_t* boneMap);

// Departures from a good file, each of one header field, name, material or the end.
enum class Fault
{
    // Fatal: the rewrite stops there.
    Magic,   // one byte of the magic changed
    Version, // 7 or 10
    Unk02,
    Unk03,
    NumBoneNames, // 256
    Unk07,
    UnkZero,        // a non-zero byte at a seeded position of unk_zero
    BoneNameLength, // 4,096 (version 9 only)
    TextureNameLength,
    MeshNameLength,
    // Soft: a box, then the rewrite goes on.
    Unk04,
    Unk08,        // 0x24
    MaterialTag,  // "MATERIAL; "
    MaterialFlag, // 2
    Tailer,       // bytes after the last mesh
};

// Applies the fault to a model made by MakeModel (which must then have at least one bone name,
// texture, material and mesh for the name and material faults). Returns the affected index where
// one is chosen (the unk_zero byte, the name or material number), else 0.
uint32_t Inject(Model& model, Fault fault, uint64_t seed);
} // namespace SkiGen
