// Cost of the animation editing a user waits for, on a 10,000-node tree, against the views' 75 ms
// redraw timer in the same run:
//   anim_edit_bench [--runs N]
// The tree: one root with 9,999 descendants, eight children a node, every node playing "Walk" and
// also holding "Run". The root's "Walk" has 1,000 keys on each of its three tracks, the others'
// 1,000 position keys. Measured, each the median of N runs (15 by default): the animation panel's
// refresh at frame 500; making "Walk" (then "Run") current on the root and every descendant, as the
// scene panel's list does; and a length change with "Включая дочерние узлы" answered Yes, each
// cutting the last frame's keys. Each prints its time, its share of the 75 ms timer (the goal is at
// most 0.1), and beside it a bare walk of the same tree touching every node as the floor.
#include "Engine/Editors/TAnimationEditorFrame.h"
#include "Engine/Editors/XAnimationEditor.h"
#include "Engine/Scene/XScene.h"
#include "Platform/Vcl/Forms.h"
#include "tests/support/MessageBoxRecorder.h"

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
constexpr unsigned NodeCount = 10000;
constexpr unsigned Keys = 1000;
constexpr unsigned Fanout = 8;
constexpr double TimerMs = 75.0;

XAnimation* AddAnimation(XMeshNode* node, const char16_t* name, unsigned length)
{
    auto* animation = new XAnimation;
    animation->Name = name;
    animation->Length = length;
    node->AddAnimation(animation);
    return animation;
}

// A host's selection handler: with one, the editors hear selection changes.
void IgnoreSelect(TObject*, XBaseObject*, bool) {}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Measure(int runs, const std::function<void(int)>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
    {
        auto start = Clock::now();
        work(i);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return Median(times);
}

void Report(const char* name, double ms, double floor)
{
    std::printf("%-44s %9.3f ms  %.4f of the 75 ms timer  %9.3f x the bare walk\n", name, ms, ms / TimerMs,
                floor > 0 ? ms / floor : 0.0);
}
} // namespace

int main(int argc, char** argv)
{
    int runs = 15;
    for (int i = 1; i + 1 < argc; ++i)
    {
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
    }
    XScene scene(nullptr);
    std::vector<XMeshNode*> nodes;
    nodes.reserve(NodeCount);
    std::printf("building %u nodes...\n", NodeCount);
    for (unsigned i = 0; i < NodeCount; ++i)
    {
        XMeshNode* node = scene.CreateNode(XString(u"XTriMesh"), nullptr, nullptr);
        if (i > 0)
            nodes[(i - 1) / Fanout]->AddChild(node);
        XAnimation* walk = AddAnimation(node, u"Walk", Keys);
        AddAnimation(node, u"Run", Keys);
        node->SetAnimation(walk);
        for (unsigned k = 0; k < Keys; ++k)
        {
            walk->PositionKeys.AddKey(new XPositionKey(k, XVertex(float(k), 0, 0)));
            if (i == 0)
            {
                walk->RotationKeys.AddKey(new XRotationKey(k, XVertex(0, 0.001f * float(k), 0)));
                walk->ScaleKeys.AddKey(new XScaleKey(k, XVertex(1, 1, 1)));
            }
        }
        nodes.push_back(node);
        if ((i + 1) % 2500 == 0)
            std::printf("  %u\n", i + 1);
    }
    XMeshNode* root = nodes[0];
    scene.OnObjectSelect = TClosure<void(TObject*, XBaseObject*, bool)>(IgnoreSelect);
    root->SetSelected(true);
    root->Edit(&scene);
    auto* editor = dynamic_cast<XAnimationEditor*>(scene.GetEditor());
    if (!editor)
    {
        std::fprintf(stderr, "the animation editor did not open\n");
        return 1;
    }
    auto* panel = dynamic_cast<TAnimationEditorFrame*>(editor->GetEditorFrame());
    scene.SetFrame(500);

    // The floor: every node of the tree reached once, depth first.
    unsigned long visited = 0;
    double floor = Measure(runs,
                           [&](int)
                           {
                               std::vector<XMeshNode*> pending{root};
                               while (!pending.empty())
                               {
                                   XMeshNode* n = pending.back();
                                   pending.pop_back();
                                   visited += n->GetAnimation() != nullptr;
                                   for (uint32_t c = n->GetChildCount(); c-- > 0;)
                                       pending.push_back(n->GetChild(c));
                               }
                           });
    Report("bare walk of the tree (floor)", floor, floor);

    double refresh = Measure(runs, [&](int) { panel->Refresh(); });
    Report("animation panel refresh (3 x 1,000 keys)", refresh, floor);

    double select = Measure(runs,
                            [&](int i)
                            { XAnimationEditor::SelectAnimation(root, i % 2 ? u"Walk" : u"Run", true); });
    Report("animation made current on 10,000 nodes", select, floor);
    XAnimationEditor::SelectAnimation(root, u"Walk", true);

    BoxRecorder boxes;
    boxes.answer = IDYES;
    double length = Measure(runs,
                            [&](int i)
                            {
                                panel->AnimationLengthEdit->SetValue(static_cast<int>(Keys) - 1 - i);
                                panel->AnimationLengthEditExit(panel->AnimationLengthEdit);
                            });
    Report("length change with children (10,000 nodes)", length, floor);
    std::printf("(%lu nodes visited; %zu questions answered; root length now %u)\n", visited, boxes.boxes.size(),
                root->GetAnimation()->GetLength());
    return 0;
}
