// Measures picking nodes in a large scene against the bare work it cannot avoid.
//   select_bench [--nodes N] [--triangles T] [--repeat R]
// Builds a scene of N nodes (1,000 by default), each with its own triangle mesh of T triangles
// (2,000), seen through a 640 x 480 perspective viewport. Two layouts: "stacked", every node one
// behind the other under the screen's centre (each click ray crosses every box, so every face of
// every node is tested), and "spread", the nodes side by side filling the screen (a click crosses
// one). For each it times, best of R runs (5): a click (SelectRect with one point), a rectangle over
// the whole screen, and a Ctrl-click, against a bare loop over the same nodes that makes the same
// ray-triangle tests (the pick ray carried into each mesh's space, its 12 box triangles, then, where
// the click's pick would, every face), and a bare loop carrying the same box corners to the screen.
#include "Components/XVertex.h"
#include "Engine/Editors/XSceneEditor.h"
#include "Engine/Geometry/XMesh.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XScene.h"
#include "bench/BestMs.h"
#include "tests/support/ViewportDouble.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace
{
// A bumpy sheet of `triangles` triangles (rounded down to an even count) in the xy plane, one unit
// across, facing the camera.
void FillSheet(XMesh& mesh, unsigned triangles, unsigned seed)
{
    const unsigned quads = std::max(1u, triangles / 2);
    unsigned columns = static_cast<unsigned>(std::sqrt(static_cast<double>(quads)));
    while (quads % columns)
        --columns;
    const unsigned rows = quads / columns;
    mesh.SetVertexCount((columns + 1) * (rows + 1));
    mesh.SetTextureVertexCount((columns + 1) * (rows + 1));
    XVertex* v = mesh.GetVertices();
    unsigned state = seed * 2654435761u + 1;
    for (unsigned r = 0; r <= rows; ++r)
        for (unsigned c = 0; c <= columns; ++c)
        {
            state = state * 1664525u + 1013904223u;
            const float bump = static_cast<float>(state >> 8) / 16777216.0f * 0.05f;
            v[r * (columns + 1) + c] = XVertex(static_cast<float>(c) / columns - 0.5f,
                                               static_cast<float>(r) / rows - 0.5f, bump);
        }
    for (unsigned r = 0; r < rows; ++r)
        for (unsigned c = 0; c < columns; ++c)
        {
            const uint32_t a = r * (columns + 1) + c, b = a + 1, d = a + columns + 1, e = d + 1;
            mesh.GetFaceArray().Add(XFace(a, d, b));
            mesh.GetFaceArray().Add(XFace(b, d, e));
        }
    mesh.Invalidate();
}

struct Layout
{
    const char* name;
    std::function<XVertex(unsigned i, unsigned n)> place;
};

// The click's ray tests written out: the ray carried into each mesh's space as the viewport carries
// it, the box's 12 triangles, and every face where the box is crossed.
unsigned BareClick(XScene& scene, ViewportDouble& viewport, const XPoint& p, bool faces)
{
    static const uint8_t box[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                                       {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    unsigned hits = 0;
    const XVertex c = viewport.ScreenToCamera(0, p);
    for (unsigned i = 0; i < scene.GetNodeCount(); ++i)
    {
        XMeshNode* node = scene.GetNode(i);
        XMatrix world;
        node->GetMeshMatrix(0, world);
        XVertex origin, dir;
        XScreenMapping::PickRay(world, viewport.view, true, c, origin, dir);
        const XBoundingBox b = node->GetMeshBoundingBox(0);
        XVertex corners[8];
        for (unsigned k = 0; k < 8; ++k)
            corners[k] = XVertex(k & 1 ? b.max.x : b.min.x, k & 2 ? b.max.y : b.min.y, k & 4 ? b.max.z : b.min.z);
        bool crossed = false;
        for (const auto& t : box)
            crossed |= IntersectTriangle(origin, dir, corners[t[0]], corners[t[1]], corners[t[2]]);
        if (!crossed || !faces)
            continue;
        XMesh* mesh = static_cast<XTriMesh*>(node->GetMesh())->GetMesh();
        const XVertex* v = mesh->GetVertices();
        const XFace* f = mesh->GetFaces();
        float nearest = FLT_MAX;
        for (uint32_t k = 0; k < mesh->GetFaceCount(); ++k)
        {
            float t, u, w;
            if (IntersectTriangle(origin, dir, v[f[k].v[0]], v[f[k].v[1]], v[f[k].v[2]], t, u, w))
                nearest = std::min(nearest, std::fabs(t));
        }
        hits += nearest < FLT_MAX;
    }
    return hits;
}

// The rectangle's corner test written out.
unsigned BareCorners(XScene& scene, ViewportDouble& viewport)
{
    unsigned inside = 0;
    const XMatrix vp = viewport.view * viewport.projection;
    for (unsigned i = 0; i < scene.GetNodeCount(); ++i)
    {
        XMeshNode* node = scene.GetNode(i);
        XMatrix m;
        node->GetMeshMatrix(0, m);
        m = m * vp;
        const XBoundingBox b = node->GetMeshBoundingBox(0);
        bool all = true;
        for (unsigned k = 0; k < 8; ++k)
        {
            const XVertex p(k & 1 ? b.max.x : b.min.x, k & 2 ? b.max.y : b.min.y, k & 4 ? b.max.z : b.min.z);
            const float x = p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0];
            const float y = p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1];
            const float w = p.x * m.m[0][3] + p.y * m.m[1][3] + p.z * m.m[2][3] + m.m[3][3];
            all = all && w > 0 && std::fabs(x / w) <= 1 && std::fabs(y / w) <= 1;
        }
        inside += all;
    }
    return inside;
}
} // namespace

int main(int argc, char** argv)
{
    unsigned nodes = 1000, triangles = 2000, repeat = 5;
    for (int i = 1; i + 1 < argc; i += 2)
    {
        const unsigned value = static_cast<unsigned>(std::strtoul(argv[i + 1], nullptr, 10));
        if (!std::strcmp(argv[i], "--nodes"))
            nodes = std::max(1u, value);
        else if (!std::strcmp(argv[i], "--triangles"))
            triangles = std::max(2u, value);
        else if (!std::strcmp(argv[i], "--repeat"))
            repeat = std::max(1u, value);
    }

    const Layout layouts[] = {
        {"stacked", [](unsigned i, unsigned) { return XVertex(0, 0, 5 + 0.25f * static_cast<float>(i)); }},
        {"spread",
         [](unsigned i, unsigned n)
         {
             const unsigned columns = static_cast<unsigned>(std::ceil(std::sqrt(n * 4.0 / 3.0)));
             const unsigned rows = (n + columns - 1) / columns;
             // Filling a 40 x 30 unit field at depth 36, where the screen is about 40 units wide.
             const float x = (static_cast<float>(i % columns) + 0.5f) / columns * 40 - 20;
             const float y = (static_cast<float>(i / columns) + 0.5f) / rows * 30 - 15;
             return XVertex(x * 0.66f, y * 0.66f, 36);
         }},
    };

    std::printf("select_bench: %u nodes x %u triangles, best of %u\n", nodes, triangles, repeat);
    std::printf("%-8s %-12s %10s %10s %8s\n", "layout", "operation", "ms", "bare ms", "ratio");
    for (const Layout& layout : layouts)
    {
        XScene scene(nullptr);
        for (unsigned i = 0; i < nodes; ++i)
        {
            XMeshNode* node = scene.CreateNode(XString(u"XTriMesh"), nullptr, nullptr);
            FillSheet(*static_cast<XTriMesh*>(node->GetMesh())->GetMesh(), triangles, i);
            node->SetPosition(layout.place(i, nodes));
        }
        ViewportDouble viewport;
        viewport.SetPerspective(3.14159265f / 4, 640.0f / 480.0f, 1, 1000);
        auto* editor = static_cast<XSceneEditor*>(scene.GetSceneEditor());
        const XPoint centre(321, 241);
        const XPoint whole[2] = {XPoint(0, 0), XPoint(640, 480)};

        unsigned bareHits = 0, bareInside = 0;
        const double bareRays = BestMs(repeat, [&] { bareHits = BareClick(scene, viewport, centre, true); });
        const double bareBoxes = BestMs(repeat, [&] { BareClick(scene, viewport, centre, false); });
        const double bareCorners = BestMs(repeat, [&] { bareInside = BareCorners(scene, viewport); });
        const double click = BestMs(repeat, [&] { editor->SelectRect(&viewport, centre, centre); });
        const unsigned clicked = scene.GetSelNodeCount();
        const double rect = BestMs(repeat, [&] { editor->SelectRect(&viewport, whole[0], whole[1]); });
        const unsigned boxed = scene.GetSelNodeCount();
        const double ctrl = BestMs(repeat, [&] { editor->SelectRectCtrl(&viewport, centre, centre); });

        std::printf("%-8s %-12s %10.3f %10.3f %8.2f   (%u of %u bare hits, %u selected)\n", layout.name, "click",
                    click, bareRays, click / bareRays, bareHits, nodes, clicked);
        std::printf("%-8s %-12s %10.3f %10.3f %8.2f   (%u inside, %u selected)\n", layout.name, "rectangle", rect,
                    bareCorners, rect / bareCorners, bareInside, boxed);
        std::printf("%-8s %-12s %10.3f %10.3f %8.2f   (box triangles only)\n", layout.name, "ctrl-click", ctrl,
                    bareBoxes, ctrl / bareBoxes);
        std::printf("%-8s %-12s %10.3f %10s %8.2f   (click against the 75 ms render timer)\n", layout.name,
                    "click/75ms", click, "", click / 75.0);
    }
    return 0;
}
