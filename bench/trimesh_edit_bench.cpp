// Cost of the triangle-mesh editing a user waits for, on a mesh of 65,536 vertices (every channel:
// texture vertices, normals, colours, weights) and 65,534 faces:
//   trimesh_edit_bench [--runs N] [--vertices V]
// Measured, each the median of N runs (15 by default):
// - one drag step moving half of the vertices: the transform about the selection's centre, the
//   object invalidated and its drawn data rebuilt (the derived mesh, its triangle stream, point
//   cache and face overlay), as the next redraw does; against the views' 75 ms redraw timer (the
//   goal is at most 0.25);
// - a rectangle selection over the whole viewport (every vertex inside), replacing a selection of
//   half of them; against the 75 ms timer (goal at most 0.25);
// - the undo snapshot of the mesh (the record every edit makes first) and Undo putting it back,
//   each against a plain copy of the same number of bytes (goal at most 3): the snapshot against
//   a copy into new memory that is kept, as the history keeps its records; Undo against a copy
//   into memory in use, as the live mesh's is; and the snapshot that follows a step that changed
//   nothing, which finds that step's record equal to the mesh and drops it.
#include "Engine/Editors/XTriMeshEditor.h"
#include "Engine/Scene/XScene.h"
#include "tests/support/PlaneViewport.h"
#include "tests/support/SceneModel.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;
constexpr double TimerMs = 75.0;

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// `prepare` runs untimed before each run.
double Measure(int runs, const std::function<void(int)>& work, const std::function<void(int)>& prepare = {})
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
    {
        if (prepare)
            prepare(i);
        auto start = Clock::now();
        work(i);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return Median(times);
}

void ReportTimer(const char* name, double ms)
{
    std::printf("%-52s %9.3f ms  %.4f of the 75 ms timer\n", name, ms, ms / TimerMs);
}

void ReportCopy(const char* name, double ms, double copy)
{
    std::printf("%-52s %9.3f ms  %6.2f x the plain copy (%.3f ms)\n", name, ms, copy > 0 ? ms / copy : 0.0, copy);
}
} // namespace

int main(int argc, char** argv)
{
    int runs = 15;
    unsigned vertices = 65536;
    for (int i = 1; i + 1 < argc; ++i)
    {
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--vertices") == 0)
            vertices = static_cast<unsigned>(std::max(3, std::atoi(argv[i + 1])));
    }

    XScene scene(nullptr);
    XMeshNode* node = AddModelMesh(scene, u"Mesh", vertices, 1);
    auto* object = dynamic_cast<XTriMesh*>(node->GetMesh());
    object->Edit(&scene, node);
    auto* editor = dynamic_cast<XTriMeshEditor*>(scene.GetEditor());
    if (!object || !editor)
    {
        std::fprintf(stderr, "the triangle-mesh editor did not open\n");
        return 1;
    }
    XMesh* mesh = object->GetMesh();
    std::printf("mesh: %u vertices, %u faces, %zu bytes a copy\n", mesh->GetVertexCount(), mesh->GetFaceCount(),
                XMeshChangeUndo::MeshBytes(*mesh));

    // The model spans +-10 on every axis: an orthographic camera 40 x 30 wide sees it whole.
    PlaneViewport viewport(XAXIS_XY);
    viewport.perspective = false;
    viewport.SetOrthographic(40, 30, 1, 100);
    XMatrix camera(1.0f);
    camera.SetTranslation(0, 0, -50);
    viewport.SetCameraWorld(camera);
    scene.SetTransformAxis(XAXIS_XY);

    auto selectHalf = [&]
    {
        XBitArray& bits = mesh->GetVertexSelection();
        bits.ClearAll();
        for (uint32_t i = 0; i < bits.GetCount(); i += 2)
            bits.SetBit(i, true);
    };
    selectHalf();

    // The redraw's rebuild of what is drawn at vertex level.
    auto rebuild = [&]
    {
        XMesh* drawn = object->GetMesh(0, &viewport, node);
        drawn->BuildRenderStream();
        drawn->BuildCaches();
    };
    rebuild();
    const uint32_t selectedBefore = mesh->GetVertexSelection().Count(true);
    double select = Measure(
        runs, [&](int) { editor->SelectRect(&viewport, XPoint(0, 0), XPoint(639, 479)); }, [&](int) { selectHalf(); });
    ReportTimer("rectangle selection of all vertices", select);
    std::printf("(selected %u before, %u after)\n", selectedBefore, mesh->GetVertexSelection().Count(true));

    selectHalf();
    editor->BeginTransform();
    double drag = Measure(runs,
                          [&](int i)
                          {
                              const XPoint from(100 + i, 100), to(101 + i, 101);
                              editor->Move(&viewport, to, from);
                              rebuild();
                          });
    editor->EndTransform();
    ReportTimer("drag step, half the vertices, with the rebuild", drag);

    // The plain copy: the same number of bytes into newly allocated memory that is kept, as the
    // history keeps its records (so both pay for fresh pages).
    const size_t bytes = XMeshChangeUndo::MeshBytes(*mesh);
    std::vector<uint8_t> source(bytes, 0x5A);
    std::vector<std::vector<uint8_t>> kept;
    size_t checksum = 0;
    double copy = Measure(runs,
                          [&](int)
                          {
                              kept.emplace_back(source);
                              checksum += kept.back()[bytes / 2];
                          });
    kept.clear();
    // Undo writes into the live mesh, whose memory is already there: its floor is a copy into
    // memory in use.
    std::vector<uint8_t> warm(bytes, 0);
    double warmCopy = Measure(runs,
                              [&](int)
                              {
                                  std::memcpy(warm.data(), source.data(), bytes);
                                  checksum += warm[bytes / 2];
                              });
    selectHalf();
    const uint32_t before = editor->GetUndoCount();
    // Each step changes the last thing a record holds (a face's selection), so that the next
    // record finds it changed only after looking at everything, and keeps it.
    XBitArray& faceBits = mesh->GetFaceSelection();
    const uint32_t lastFace = mesh->GetFaceCount() - 1;
    double snapshot = Measure(
        runs, [&](int) { editor->RecordMeshChange(u"Перемещение"); },
        [&](int) { faceBits.SetBit(lastFace, !faceBits.Get(lastFace)); });
    ReportCopy("undo snapshot (the whole mesh)", snapshot, copy);
    double undo = Measure(runs, [&](int) { editor->Undo(); });
    ReportCopy("Undo of a mesh record", undo, warmCopy);
    // Steps that changed nothing: each record finds the one before equal to the mesh.
    editor->RecordMeshChange(u"Перемещение");
    double unchanged = Measure(runs, [&](int) { editor->RecordMeshChange(u"Перемещение"); });
    ReportCopy("undo snapshot after a step that changed nothing", unchanged, copy);
    std::printf("(%u records made, %u undone; %zu)\n", editor->GetUndoCount() - before, editor->GetUndoPosition(),
                checksum);
    return 0;
}
