// The selection and transform gestures, driven event by event as a viewport delivers them.
#include "Engine/Editors/XSTEditor.h"

#include "tests/support/SceneEditorLinkDouble.h"

#include <gtest/gtest.h>

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
        {"release before any press selects as a click at the origin", false, 0,
         {{XME_LEFT_UP, 9, 9, 0}},
         {"Rect 0 0 0 0"}},
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
