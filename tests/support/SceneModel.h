// Model scenes for the scene's tests, tools and benchmarks: triangle meshes with every channel
// filled from a seed, placed by nodes.
#pragma once

#include <cstdint>
#include <memory>

class XMesh;
class XScene;
class XMeshNode;
class XTriMesh;
namespace SkiGen
{
struct Mesh;
}

// Fills the triangle mesh's source with `vertices` vertices (positions, texture vertices,
// normals, colours and weights, all enabled) and about as many faces, all from the seed.
void FillModelMesh(XTriMesh& mesh, uint32_t vertices, uint32_t seed);

// A new XTriMesh filled as above, placed in the scene by a new node of that name.
XMeshNode* AddModelMesh(XScene& scene, const char16_t* nodeName, uint32_t vertices, uint32_t seed);

// An engine mesh holding a generated skin mesh's arrays (positions, normals, texture vertices,
// weights with their four bone indices, faces); its faces get materials a skin model does not keep.
std::unique_ptr<XMesh> EngineMesh(const SkiGen::Mesh& mesh);
