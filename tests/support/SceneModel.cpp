#include "tests/support/SceneModel.h"

#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XScene.h"
#include "tests/support/SkiGenerator.h"

#include <algorithm>
#include <random>

void FillModelMesh(XTriMesh& object, uint32_t vertices, uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    XMesh& mesh = *object.GetMesh();
    mesh.SetVertexCount(vertices);
    mesh.SetTextureVertexCount(vertices);
    mesh.SetNormalCount(vertices);
    mesh.SetColorsEnabled(true);
    mesh.SetWeightsEnabled(true);
    mesh.SetColorCount(vertices);
    mesh.SetWeightCount(vertices);
    for (uint32_t i = 0; i < vertices; ++i)
    {
        mesh.GetVertices()[i] = XVertex(unit(random) * 10, unit(random) * 10, unit(random) * 10);
        mesh.GetTextureVertices()[i] = XTextureVertex(unit(random), unit(random));
        mesh.GetNormals()[i] = XVertex(unit(random), unit(random), unit(random));
        mesh.GetColors()[i] = static_cast<XColor>(random());
        XVertexWeight& weight = mesh.GetWeights()[i];
        weight.weight[0] = 0.5f;
        weight.weight[1] = 0.25f;
        weight.weight[2] = 0.25f;
        for (uint8_t& index : weight.index)
            index = static_cast<uint8_t>(random() % 64);
    }
    uint32_t faces = vertices >= 3 ? vertices - 2 : 0;
    mesh.SetFaceCount(faces);
    for (uint32_t i = 0; i < faces; ++i)
        mesh.GetFaces()[i] = XFace(i, i + 1, i + 2, i % 3 == 0 ? XFace::NoMaterial : i % 5);
    mesh.Invalidate();
}

XMeshNode* AddModelMesh(XScene& scene, const char16_t* nodeName, uint32_t vertices, uint32_t seed)
{
    auto* mesh = static_cast<XTriMesh*>(scene.CreateObject(u"XTriMesh", nullptr, nullptr));
    FillModelMesh(*mesh, vertices, seed);
    return scene.CreateNode(mesh, nullptr, nodeName);
}

std::unique_ptr<XMesh> EngineMesh(const SkiGen::Mesh& mesh)
{
    auto engine = std::make_unique<XMesh>();
    const uint32_t count = uint32_t(mesh.Vertices.size());
    engine->SetVertexCount(count);
    engine->SetNormalCount(count);
    engine->SetTextureVertexCount(count);
    engine->SetWeightsEnabled(true);
    for (uint32_t i = 0; i < count; ++i)
    {
        const SkiGen::Vertex& v = mesh.Vertices[i];
        engine->GetVertices()[i] = XVertex(v.Position[0], v.Position[1], v.Position[2]);
        engine->GetNormals()[i] = XVertex(v.Normal[0], v.Normal[1], v.Normal[2]);
        engine->GetTextureVertices()[i] = XTextureVertex(v.U, v.V);
        XVertexWeight& weight = engine->GetWeights()[i];
        std::copy_n(v.Weight, 3, weight.weight);
        std::copy_n(v.Bone, 4, weight.index);
    }
    engine->SetFaceCount(uint32_t(mesh.Indices.size() / 3));
    for (uint32_t f = 0; f < engine->GetFaceCount(); ++f)
        engine->GetFaces()[f] =
            XFace(mesh.Indices[3 * f], mesh.Indices[3 * f + 1], mesh.Indices[3 * f + 2], f % 5);
    return engine;
}
