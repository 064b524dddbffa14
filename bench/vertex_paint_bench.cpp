// Measures the vertex-colour editor's work on a large mesh against the bare work it cannot avoid.
//   vertex_paint_bench [--side N] [--repeat R]
// A sheet of N x N vertices (256, so 65,536) and 2 (N - 1)^2 faces ten units in front of a 640 x 480
// perspective viewport, the colour editor current on it. Times, best of R runs (5): a click in
// vertex mode (every vertex projected to find those under the point) against a bare loop that
// projects the same vertices; a click in face mode (the pick ray against every face) against a
// bare ray-triangle loop over the same faces; "Назначить текущий цвет всем вершинам" against a plain
// fill of the colour array. Each also as a share of the 75 ms render timer.
#include "Components/XVertex.h"
#include "Engine/Editors/XVertexColorEditor.h"
#include "Engine/Geometry/XMesh.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XScene.h"
#include "bench/BestMs.h"
#include "tests/support/ViewportDouble.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace
{
// A flat sheet of side x side vertices, 8 units across in the xy plane, its faces facing the camera.
void FillSheet(XMesh& mesh, unsigned side)
{
    for (unsigned r = 0; r < side; ++r)
        for (unsigned c = 0; c < side; ++c)
            mesh.AddVertex(XVertex(8.0f * c / (side - 1) - 4, 8.0f * r / (side - 1) - 4, 0), XColor(0xFFFFFFFF));
    XArray<XFace, 32> faces;
    for (unsigned r = 0; r + 1 < side; ++r)
        for (unsigned c = 0; c + 1 < side; ++c)
        {
            const unsigned a = r * side + c, b = a + side;
            faces.Add(XFace(a, b, a + 1));
            faces.Add(XFace(a + 1, b, b + 1));
        }
    mesh.Append(faces);
}

// The projection every vertex-mode click needs: each vertex through the matrix, kept when it lands
// within 2 pixels of the point.
unsigned BareProject(const XMesh& mesh, const XMatrix& mvp, const XPoint& at)
{
    unsigned near = 0;
    const XVertex* v = mesh.GetVertices();
    for (uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
    {
        const XVertex& p = v[i];
        const float w = p.x * mvp.m[0][3] + p.y * mvp.m[1][3] + p.z * mvp.m[2][3] + mvp.m[3][3];
        const float x = (p.x * mvp.m[0][0] + p.y * mvp.m[1][0] + p.z * mvp.m[2][0] + mvp.m[3][0]) / w;
        const float y = (p.x * mvp.m[0][1] + p.y * mvp.m[1][1] + p.z * mvp.m[2][1] + mvp.m[3][1]) / w;
        const float sx = (x + 1) * 320, sy = (1 - y) * 240;
        near += (w > 0 && sx >= at.x - 2 && sx <= at.x + 2 && sy >= at.y - 2 && sy <= at.y + 2) ? 1 : 0;
    }
    return near;
}

unsigned BareRays(const XMesh& mesh, const XVertex& origin, const XVertex& direction)
{
    unsigned hits = 0;
    const XVertex* v = mesh.GetVertices();
    const XFace* f = mesh.GetFaces();
    for (uint32_t i = 0; i < mesh.GetFaceCount(); ++i)
        hits += IntersectTriangle(origin, direction, v[f[i].v[0]], v[f[i].v[1]], v[f[i].v[2]]) ? 1 : 0;
    return hits;
}
} // namespace

int main(int argc, char** argv)
{
    unsigned side = 256, repeat = 5;
    for (int i = 1; i + 1 < argc; i += 2)
    {
        const unsigned value = static_cast<unsigned>(std::strtoul(argv[i + 1], nullptr, 10));
        if (!std::strcmp(argv[i], "--side"))
            side = std::clamp(value, 2u, 4096u);
        else if (!std::strcmp(argv[i], "--repeat"))
            repeat = std::max(1u, value);
    }

    XScene scene(nullptr);
    XMeshNode* node = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Sheet");
    auto* object = static_cast<XTriMesh*>(node->GetMesh());
    XMesh& mesh = *object->GetMesh();
    FillSheet(mesh, side);
    ViewportDouble viewport;
    viewport.LookFromTenBack();
    auto* painter = new XVertexColorEditor(&scene);
    scene.AddEditor(painter);
    painter->SetMesh(object);
    painter->SetNode(node);
    scene.PushEditor(painter);
    painter->SetPaintColor(XColor(0xFFFF0000));
    const XPoint at(321, 241);

    const XMatrix mvp = viewport.view * viewport.projection;
    unsigned near = 0, hits = 0;
    XVertex origin, direction;
    viewport.GetPickRay(0, at, origin, direction, XMatrix(1.0f));
    const double bareVertices = BestMs(repeat, [&] { near = BareProject(mesh, mvp, at); });
    const double bareFaces = BestMs(repeat, [&] { hits = BareRays(mesh, origin, direction); });
    std::vector<uint32_t> plain(mesh.GetVertexCount());
    const double bareFill = BestMs(repeat, [&] { std::fill(plain.begin(), plain.end(), 0xFF00FF00u); });

    painter->SetMode(XVertexColorEditor::VertexMode);
    const double vertexClick = BestMs(repeat, [&] { painter->MouseEvent(&viewport, XME_LEFT_DOWN, at, 0); });
    painter->SetMode(XVertexColorEditor::FaceMode);
    const double faceClick = BestMs(repeat, [&] { painter->MouseEvent(&viewport, XME_LEFT_DOWN, at, 0); });
    const double fill = BestMs(repeat, [&] { painter->SetAllColors(XColor(0xFF00FF00)); });

    std::printf("vertex_paint_bench: %u vertices, %u faces, best of %u\n", mesh.GetVertexCount(),
                mesh.GetFaceCount(), repeat);
    std::printf("%-12s %10s %10s %8s %8s\n", "operation", "ms", "bare ms", "ratio", "/75ms");
    std::printf("%-12s %10.3f %10.3f %8.2f %8.3f   (%u near the point)\n", "vertex click", vertexClick,
                bareVertices, vertexClick / bareVertices, vertexClick / 75.0, near);
    std::printf("%-12s %10.3f %10.3f %8.2f %8.3f   (%u faces hit)\n", "face click", faceClick, bareFaces,
                faceClick / bareFaces, faceClick / 75.0, hits);
    std::printf("%-12s %10.3f %10.3f %8.2f %8.3f\n", "fill all", fill, bareFill, fill / bareFill, fill / 75.0);
    return 0;
}
