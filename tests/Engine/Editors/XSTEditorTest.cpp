// The selection and transform gestures, driven event by event as a viewport delivers them.
#include "Engine/Editors/XSTEditor.h"

#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XScene.h"
#include "tests/support/SceneEditorLinkDouble.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/ViewDouble.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{
XScene* TestScene()
{
    static int storage;
    return reinterpret_cast<XScene*>(&storage);
}

std::string Pt(const XPoint& p)
{
    return std::to_string(static_cast<int>(p.x)) + " " + std::to_string(static_cast<int>(p.y));
}

// Records every hook with its points; HitTestSelection answers hit.
class GestureEditor : public XSTEditor
{
public:
    using XSTEditor::XSTEditor;
    bool Activate() override { return true; }
    bool Deactivate() override { return true; }
    XString GetName() override { return u"Gestures"; }
    void CopyToClipboard() override {}
    void CutToClipboard() override {}
    void PasteFromClipboard() override {}
    void Delete() override {}
    void SelectRectShift(XViewport*, const XPoint& a, const XPoint& b) override { Log("Shift " + Pt(a) + " " + Pt(b)); }
    void SelectRect(XViewport*, const XPoint& a, const XPoint& b) override { Log("Rect " + Pt(a) + " " + Pt(b)); }
    void SelectRectCtrl(XViewport*, const XPoint& a, const XPoint& b) override { Log("Ctrl " + Pt(a) + " " + Pt(b)); }
    void ClearSelection() override { Log("Clear"); }
    bool HitTestSelection(XViewport*, const XPoint& p) override
    {
        Log("Hit " + Pt(p));
        return hit;
    }
    void BeginTransform() override { Log("Begin"); }
    void EndTransform() override { Log("End"); }
    void CancelTransform() override { Log("Cancel"); }
    void Move(XViewport*, const XPoint& n, const XPoint& p) override { Log("Move " + Pt(n) + " " + Pt(p)); }
    void Rotate(XViewport*, const XPoint& n, const XPoint& p) override { Log("Rotate " + Pt(n) + " " + Pt(p)); }
    void Scale(XViewport*, const XPoint& n, const XPoint& p) override { Log("Scale " + Pt(n) + " " + Pt(p)); }

    void Log(const std::string& s) { calls.push_back(s); }
    bool hit = false;
    std::vector<std::string> calls;
};

struct Event
{
    XMouseEvent event;
    float x, y;
    XShiftState shift;
};

constexpr XShiftState L = XSS_LEFT;

struct Case
{
    const char* name;
    bool hit;
    unsigned transformType;
    std::vector<Event> events;
    std::vector<std::string> expected;
};
} // namespace

TEST(XSTEditorTest, GesturesCallTheHooksInOrder)
{
    const Case cases[] = {
        {"click on empty space", false, 0,
         {{XME_LEFT_DOWN, 5, 5, L}, {XME_LEFT_UP, 5, 5, 0}},
         {"Hit 5 5", "Rect 5 5 5 5"}},
        {"a release before any press selects nothing", false, 0,
         {{XME_LEFT_UP, 9, 9, 0}, {XME_LEFT_UP, 0, 0, XSS_CTRL}},
         {}},
        {"drag up and left comes normalised", false, 0,
         {{XME_LEFT_DOWN, 50, 60, L}, {XME_MOVE, 30, 40, L}, {XME_MOVE, 10, 20, L}, {XME_LEFT_UP, 10, 20, 0}},
         {"Hit 50 60", "Rect 10 20 50 60"}},
        {"modifiers never start a transform; Ctrl wins at the release", true, 0,
         {{XME_LEFT_DOWN, 1, 2, L | XSS_SHIFT}, {XME_LEFT_UP, 1, 2, XSS_CTRL | XSS_SHIFT}},
         {"Ctrl 1 2 1 2"}},
        {"shift release", false, 0,
         {{XME_LEFT_DOWN, 1, 2, L | XSS_CTRL}, {XME_LEFT_UP, 1, 2, XSS_SHIFT}},
         {"Shift 1 2 1 2"}},
        {"right release during a selection does nothing", false, 0,
         {{XME_LEFT_DOWN, 3, 3, L}, {XME_RIGHT_UP, 3, 3, 0}, {XME_LEFT_UP, 3, 3, 0}},
         {"Hit 3 3", "Rect 3 3 3 3"}},
        {"move drag gets each step; an unmoved event nothing", true, 0,
         {{XME_LEFT_DOWN, 10, 10, L}, {XME_MOVE, 10, 10, L}, {XME_MOVE, 12, 15, L}, {XME_MOVE, 20, 15, L},
          {XME_LEFT_UP, 20, 15, 0}},
         {"Hit 10 10", "Begin", "Move 12 15 10 10", "Move 20 15 12 15", "End"}},
        {"rotate", true, 1,
         {{XME_LEFT_DOWN, 0, 10, L}, {XME_MOVE, 0, 5, L}, {XME_LEFT_UP, 0, 5, 0}},
         {"Hit 0 10", "Begin", "Rotate 0 5 0 10", "End"}},
        {"scale, then a cancel", true, 2,
         {{XME_LEFT_DOWN, 0, 10, L}, {XME_MOVE, 0, 0, L}, {XME_RIGHT_UP, 0, 0, 0}, {XME_LEFT_UP, 0, 0, 0}},
         {"Hit 0 10", "Begin", "Scale 0 0 0 10", "Cancel"}},
        {"an unknown transform type transforms nothing but still ends", true, 7,
         {{XME_LEFT_DOWN, 0, 0, L}, {XME_MOVE, 4, 4, L}, {XME_LEFT_UP, 4, 4, 0}},
         {"Hit 0 0", "Begin", "End"}},
        {"middle and right presses are ignored", false, 0,
         {{XME_MIDDLE_DOWN, 1, 1, 0}, {XME_RIGHT_DOWN, 1, 1, 0}, {XME_MIDDLE_UP, 1, 1, 0}},
         {}},
    };
    for (const Case& c : cases)
    {
        SceneEditorLinkDouble link;
        link.transformType = c.transformType;
        GestureEditor editor(TestScene());
        EXPECT_TRUE(editor.IsSelecting()) << "armed after construction";
        EXPECT_FALSE(editor.IsTransforming());
        editor.hit = c.hit;
        for (const Event& e : c.events)
            editor.MouseEvent(nullptr, e.event, XPoint(e.x, e.y), e.shift);
        EXPECT_EQ(editor.calls, c.expected) << c.name;
        EXPECT_TRUE(link.calls.empty()) << c.name;
    }
}

TEST(XSTEditorTest, HoveringPicksTheGizmoAxisForTheNextDrag)
{
    SceneEditorLinkDouble link;
    GestureEditor editor(TestScene());
    link.gizmoAxis = 5;
    editor.MouseEvent(nullptr, XME_MOVE, XPoint(7, 8), 0);
    EXPECT_EQ(link.transformAxis, 5u);
    link.gizmoAxis = 0;
    editor.MouseEvent(nullptr, XME_MOVE, XPoint(9, 9), 0);
    EXPECT_EQ(link.transformAxis, 0u) << "leaving the gizmo clears the axis";
    EXPECT_EQ(link.calls, (std::vector<std::string>{"Axis 7 8", "Axis 9 9"}));
    editor.MouseEvent(nullptr, XME_MOVE, XPoint(9, 9), XSS_LEFT);
    EXPECT_EQ(link.calls.size(), 2u) << "not while the left button is held";
}

namespace
{
struct OverlayVertex
{
    float x, y, z, rhw;
    uint32_t color;
};

std::vector<std::string> Texts(const std::vector<D3D9Call>& log)
{
    std::vector<std::string> out;
    for (const D3D9Call& call : log)
        out.push_back(call.Text());
    return out;
}
} // namespace

TEST(XSTEditorTest, TheRectangleShowsInPassOneOfTheActiveViewportAtItsPlaceInTheView)
{
    SceneEditorLinkDouble link;
    SoftDevice d3d(160, 64);
    ASSERT_NE(d3d.device, nullptr);
    ViewDouble view;
    view.SetBounds(0, 0, 160, 64);
    ViewportDouble viewport, other;
    const int ox = 30;
    viewport.PlaceInView(&view, ox, 0);
    other.PlaceInView(&view, 0, 0);
    // Points count from the picture, inside the view's 2-pixel viewport frame.
    const int px = ox + 2, py = 2;
    ASSERT_EQ(viewport.GetViewOrigin(), TPoint(px, py));
    viewport.device = other.device = d3d.device;
    view.activeViewport = &viewport;
    GestureEditor editor(TestScene());
    // Dragged up and left after passing the far corner: drawn from the press point as it stands.
    editor.MouseEvent(&viewport, XME_LEFT_DOWN, XPoint(60, 50), XSS_LEFT);
    editor.MouseEvent(&viewport, XME_MOVE, XPoint(20, 20), XSS_LEFT);

    d3d.Clear();
    editor.RenderOverlay(0, &viewport, 0);
    editor.RenderOverlay(0, &other, 1);
    viewport.device = nullptr;
    editor.RenderOverlay(0, &viewport, 1);
    viewport.device = d3d.device;
    view.activeViewport = nullptr;
    editor.RenderOverlay(0, &viewport, 1);
    EXPECT_TRUE(d3d.Log().empty()) << "pass 0, another viewport, no device, no active viewport";

    view.activeViewport = &viewport;
    d3d.device->BeginScene();
    editor.RenderOverlay(0, &viewport, 1);
    d3d.device->EndScene();
    const std::vector<std::string> expected = {
        "BeginScene()",
        "SetRenderState(7, 0)",          "SetRenderState(137, 0)",   "SetRenderState(27, 1)",
        "SetRenderState(19, 5)",         "SetRenderState(20, 6)",    "SetRenderState(8, 3)",
        "SetRenderState(22, 1)",         "SetRenderState(52, 0)",    "SetRenderState(136, 1)",
        "SetRenderState(141, 1)",        "SetRenderState(145, 1)",   "SetStreamSource(0, null, 0, 20)",
        "SetFVF(68)",                    "DrawPrimitiveUP(4, 2, 20)", "EndScene()"};
    EXPECT_EQ(Texts(d3d.Log()), expected);
    ASSERT_GE(d3d.Log().size(), 2u);
    const std::vector<uint8_t>& bytes = d3d.Log()[d3d.Log().size() - 2].vertices;
    ASSERT_EQ(bytes.size(), 6 * sizeof(OverlayVertex));
    OverlayVertex v[6];
    std::memcpy(v, bytes.data(), bytes.size());
    const float corners[6][2] = {{60, 50}, {20, 50}, {20, 20}, {20, 20}, {60, 20}, {60, 50}};
    for (int i = 0; i < 6; ++i)
    {
        EXPECT_EQ(v[i].x, corners[i][0] + px) << i;
        EXPECT_EQ(v[i].y, corners[i][1] + py) << i;
        EXPECT_EQ(v[i].z, 0.0f);
        EXPECT_EQ(v[i].rhw, 1.0f);
        EXPECT_EQ(v[i].color, 0x80FFFFFFu);
    }

    // On the picture: half white over grey, exactly over the rectangle's pixels.
    d3d.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF888888, 1.0f, 0);
    d3d.device->BeginScene();
    editor.RenderOverlay(0, &viewport, 1);
    d3d.device->EndScene();
    const std::vector<uint32_t> pixels = d3d.BackBuffer();
    ASSERT_EQ(pixels.size(), 160u * 64u);
    const int blend = (0xFF * 0x80 + 0x88 * (0xFF - 0x80)) / 0xFF;
    int wrong = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 160; ++x)
        {
            const bool inside = x >= px + 20 && x < px + 60 && y >= py + 20 && y < py + 50;
            const int red = (pixels[y * 160 + x] >> 16) & 0xFF;
            wrong += std::abs(red - (inside ? blend : 0x88)) > 2;
        }
    EXPECT_EQ(wrong, 0);
}

TEST(XSTEditorTest, AReleaseBeforeAnyPressSelectsNothingOnARealScene)
{
    XScene scene(nullptr);
    ViewportDouble viewport;
    XMeshNode* node = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Node");
    node->SetSelected(true);
    scene.MouseEventHandler(&viewport, XME_LEFT_UP, 0, XPoint(0, 0));
    EXPECT_TRUE(node->IsSelected());
    EXPECT_EQ(scene.GetSelNodeCount(), 1u);
}
