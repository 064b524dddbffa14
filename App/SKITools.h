// The game's skin model (.ski) rewrite: copies a model from one stream to another in one pass,
// checking the header on the way, and puts a triangle mesh of ours in place of one of its skin
// meshes.
//
//     if (!SkiReplaceMesh(scene, &original, &rebuilt, instruction.BoneMap, instruction.MeshIndex))
//         ... keep the original bytes: the failed check has been shown ...
#pragma once

#include "Components/XStream.h"
#include "Components/XVertex.h"

#include <cstdint>

class XMesh;
class XScene;

// The source mesh's arrays as the rewrite reads them. Records are copied byte for byte, so the
// pointers may come from any type of the stated layout.
struct SkiSourceMesh
{
    uint32_t VertexCount = 0;
    const XVertex* Positions = nullptr;
    bool NormalsEnabled = false;
    uint32_t NormalCount = 0;
    const XVertex* Normals = nullptr;
    uint32_t TextureVertexCount = 0;
    const void* TextureVertices = nullptr; // 8-byte records {float u, v}
    bool WeightsEnabled = false;
    uint32_t WeightCount = 0;
    const void* Weights = nullptr; // 16-byte records {float weight[3]; u8 bone[4]}
    uint32_t FaceCount = 0;
    const void* Faces = nullptr; // 16-byte records {u32 vertex index[3]; u32 material}
};

// Copies the .ski file at the input's position to the output's position, replacing skin mesh
// number meshIndex (0-based; a negative or too large index replaces nothing) with the source
// mesh. With a bone map (256 bytes) every bone index b is written as boneMap[b].
//
// Before anything is read or written, a source mesh without normals or weights, with more than
// 65,536 vertices, with a face corner at or past the vertex count, or with fewer normals, texture
// vertices or weight records than vertices throws the class library's Exception (Russian text).
//
// A failed format check of the file is shown with ShowMessage and ends the copy: the output then
// holds the fields before the failing one, and the result is false. Doubtful values show the
// "Error" box naming this unit and are copied as read. True when the whole file was copied.
//
// A file shorter than its fields say throws the `const char*` "Stream reading error."; a short
// write "Stream writing error.".
bool SkiReplaceMesh(const SkiSourceMesh& mesh, XStream* input, XStream* output, const uint8_t* boneMap,
                    int32_t meshIndex);

// The arrays of an engine mesh: its positions, normals, texture vertices, weight records and faces
// with their counts and switches.
SkiSourceMesh SkiSourceOf(const XMesh& mesh);

// The same rewrite with an engine mesh as the source.
bool SkiReplaceMesh(const XMesh& mesh, XStream* input, XStream* output, const uint8_t* boneMap,
                    int32_t meshIndex);

// The patch's rewrite: the source is the mesh of the scene's one mesh object, which must be a
// triangle mesh. A scene with no or several mesh objects, or another kind, throws the class
// library's Exception (Russian text) before anything is read or written.
bool SkiReplaceMesh(XScene* scene, XStream* input, XStream* output, const uint8_t* boneMap,
                    int32_t meshIndex);
