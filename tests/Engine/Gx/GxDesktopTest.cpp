// The in-viewport UI tree: bounds and anchoring, hit testing, the child lists, reflection, the
// desktop's focus, z-order and forgetting of destroyed controls, its routing of the mouse and keys,
// its focus marks, and windows' pixels on the software device.
#include "Gx/UI/GxDesktop.h"

#include "Components/XVariant.h"
#include "Engine/Scene/XClassIds.h"
#include "tests/support/SoftDevice.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace Gx::Ui;

namespace
{
XScene* TestScene()
{
    static int storage;
    return reinterpret_cast<XScene*>(&storage);
}

// A control that records what happens to it.
class Probe : public GxControl
{
public:
    Probe(GxDesktop* desktop, GxFrame* parent, std::vector<std::string>* log = nullptr,
          const char* name = "")
        : GxControl(desktop, parent), m_Log(log), m_Name(name)
    {
    }
    ~Probe() override { Note("gone"); }
    void Resized() override { ++resized; }
    void SetFocused(bool focused) override
    {
        GxControl::SetFocused(focused);
        Note(focused ? "focus" : "blur");
    }
    void MouseDown(float x, float y, uint32_t button, GxShiftState shift) override
    {
        Note("down");
        GxControl::MouseDown(x, y, button, shift);
    }
    int resized = 0;

private:
    void Note(const char* what)
    {
        if (m_Log)
            m_Log->push_back(m_Name + " " + what);
    }
    std::vector<std::string>* m_Log;
    std::string m_Name;
};

class Recorder : public GxFrame
{
public:
    using GxFrame::GxFrame;
    void MouseDown(float, float, uint32_t, GxShiftState) override { ++downs; }
    int downs = 0;
};

template <class T> T* Add(GxFrame& frame, T* control, float l, float t, float w, float h)
{
    frame.AddControl(control);
    control->SetBounds(l, t, w, h);
    return control;
}
} // namespace

TEST(GxDesktopTest, BoundsKeepTheirMinimumAndChangeOnlyWhenDifferent)
{
    GxDesktop desktop(TestScene());
    auto* c = Add(desktop, new Probe(&desktop, &desktop), 0, 0, 120, 20);
    EXPECT_EQ(c->resized, 0) << "the default bounds change nothing";
    c->SetMinWidth(10);
    c->SetMinHeight(8);
    c->SetBounds(1, 2, 5, 3);
    EXPECT_EQ(c->GetWidth(), 10);
    EXPECT_EQ(c->GetHeight(), 8);
    EXPECT_EQ(c->resized, 1);
    c->SetBounds(1, 2, 4, 1); // clamps to the same bounds
    c->SetLeft(1);
    EXPECT_EQ(c->resized, 1);
    c->SetWidth(30);
    EXPECT_EQ(c->resized, 2);
    EXPECT_EQ(c->GetOldWidth(), 30) << "the old size is the new size once the change is done";

    // Through reflection the same rules hold; other properties are stored directly.
    VarUtils::XVariant v;
    v = 2.0f;
    c->SetPropertyValue(GxControl::PidWidth, v);
    EXPECT_EQ(c->GetWidth(), 10);
    v = 0x11223344u;
    c->SetPropertyValue(GxControl::PidBackColor, v);
    EXPECT_EQ(c->GetBackColor().GetARGB(), 0x11223344u);
    c->GetPropertyValue(GxControl::PidHeight, v);
    EXPECT_EQ(v.AsDouble(), 8.0);
}

TEST(GxDesktopTest, ReflectionListsEachLevelsRowsBeforeItsBase)
{
    GxDesktop desktop(TestScene());
    GxControl control(&desktop, nullptr);
    GxWindow window(&desktop, u"Tools");
    XBaseObject plain;
    unsigned base = plain.GetPropertyCount();
    ASSERT_EQ(control.GetPropertyCount(), base + 12);
    ASSERT_EQ(window.GetPropertyCount(), base + 12 + 11);
    struct Row
    {
        GxControl* object;
        unsigned index;
        uint32_t id;
        const char16_t* name;
    } rows[] = {
        {&control, 0, 0x77770001, u"Left"},          {&control, 7, 0x77770008, u"Anchors.Bottom"},
        {&control, 8, 0x77770010, u"BackColor"},     {&control, 11, 0x77770013, u"Transparent"},
        {&window, 0, 0x77790001, u"Animated"},       {&window, 10, 0x7779000B, u"Caption"},
        {&window, 11, 0x77770001, u"Left"},          {&window, 23, plain.GetPropertyDesc(0)->Id, nullptr},
    };
    for (const Row& r : rows)
    {
        const XPropertyDesc* d = r.object->GetPropertyDesc(r.index);
        ASSERT_NE(d, nullptr) << r.index;
        EXPECT_EQ(d->Id, r.id) << r.index;
        if (r.name)
        {
            EXPECT_EQ(std::u16string(d->Name), r.name);
        }
    }
    EXPECT_EQ(window.GetClassId(), ClassId::GxControl);
    EXPECT_EQ(desktop.GetClassNameW(), StrUtils::XBaseString<WCHAR>(u"GxControl"));

    VarUtils::XVariant v;
    window.GetPropertyValue(GxWindow::PidCaption, v);
    EXPECT_EQ(v.AsString(), StrUtils::XBaseString<WCHAR>(u"Tools"));
    window.GetPropertyValue(GxWindow::PidAutoOpaqueFadeOut, v);
    EXPECT_EQ(v.AsInt(), 2000);
    v = 55u;
    window.SetPropertyValue(GxWindow::PidTransparentAlpha, v);
    EXPECT_EQ(window.GetTransparentAlpha(), 55u);
}

TEST(GxDesktopTest, HitTestingFindsTheFrontMostDeepestVisibleControl)
{
    GxDesktop desktop(TestScene());
    desktop.SetBounds(0, 0, 800, 600);
    auto* back = Add(desktop, new GxFrame(&desktop, &desktop), 10, 10, 200, 200);
    auto* inner = Add(*back, new Probe(&desktop, back), 5, 5, 20, 20);
    auto* front = Add(desktop, new GxFrame(&desktop, &desktop), 100, 100, 50, 50);
    // Plain frames join at the back: the first frame added stays at index 0.
    ASSERT_EQ(desktop.GetControl(0), back);

    EXPECT_EQ(inner->GetScreenRect().left, 15);
    struct Case
    {
        float x, y;
        GxControl* expected;
    } cases[] = {
        {15, 15, inner},   // inner's corner
        {35, 35, inner},   // exactly on inner's right and bottom edges
        {36, 35, back},    // just outside inner, inside back
        {120, 120, back},  // both frames cover it: the front-most (index 0) wins
        {250, 250, nullptr}, // bare desktop
        {700, 10, nullptr},
    };
    for (const Case& c : cases)
        EXPECT_EQ(desktop.ControlAt(c.x, c.y), c.expected) << c.x << "," << c.y;
    back->SetVisible(false);
    EXPECT_EQ(desktop.ControlAt(120, 120), front) << "an invisible child is passed over";
    EXPECT_EQ(front->ControlAt(120, 120), nullptr) << "a frame never answers itself";
}

TEST(GxDesktopTest, GrowingAFrameMovesOrStretchesEachChildByItsAnchors)
{
    GxDesktop desktop(TestScene());
    auto* frame = Add(desktop, new GxFrame(&desktop, &desktop), 0, 0, 300, 200);
    struct Case
    {
        bool left, top, right, bottom;
        float expLeft, expTop, expWidth, expHeight;
    } cases[] = {
        {true, true, false, false, 10, 10, 20, 20},   // left and top: in place
        {false, false, true, true, 110, 50, 20, 20},  // right and bottom: moved by the growth
        {true, true, true, true, 10, 10, 120, 60},    // all four: stretched
        {false, false, false, false, 60, 30, 20, 20}, // none: moved by half
    };
    std::vector<GxControl*> children;
    for (const Case& c : cases)
    {
        auto* child = Add(*frame, new GxControl(&desktop, frame), 10, 10, 20, 20);
        child->SetAnchors(c.left, c.top, c.right, c.bottom);
        children.push_back(child);
    }
    frame->SetBounds(0, 0, 400, 240);
    for (size_t i = 0; i < children.size(); ++i)
    {
        EXPECT_EQ(children[i]->GetLeft(), cases[i].expLeft) << i;
        EXPECT_EQ(children[i]->GetTop(), cases[i].expTop) << i;
        EXPECT_EQ(children[i]->GetWidth(), cases[i].expWidth) << i;
        EXPECT_EQ(children[i]->GetHeight(), cases[i].expHeight) << i;
    }
    frame->SetBounds(5, 5, 400, 240); // a move alone re-anchors nothing
    EXPECT_EQ(children[1]->GetLeft(), 110);
}

TEST(GxDesktopTest, ChildListsKeepOrderOwnTheirChildrenAndRefuseLoops)
{
    std::vector<std::string> log;
    GxDesktop desktop(TestScene());
    auto* a = new GxFrame(&desktop, nullptr);
    auto* b = new GxFrame(&desktop, nullptr);
    EXPECT_EQ(desktop.AddControl(a), 0);
    EXPECT_EQ(a->AddControl(b), 0);
    EXPECT_EQ(desktop.AddControl(a), 0) << "adding again keeps the place";
    EXPECT_EQ(b->AddControl(a), -1) << "an ancestor would make a loop";
    EXPECT_EQ(b->AddControl(b), -1);
    EXPECT_EQ(b->AddControl(nullptr), -1);

    auto* p1 = new Probe(&desktop, nullptr, &log, "p1");
    auto* p2 = new Probe(&desktop, nullptr, &log, "p2");
    auto* p3 = new Probe(&desktop, nullptr, &log, "p3");
    for (GxControl* p : {static_cast<GxControl*>(p1), static_cast<GxControl*>(p2), static_cast<GxControl*>(p3)})
        b->AddControl(p);
    EXPECT_EQ(b->RemoveControl(p2), p2);
    EXPECT_EQ(p2->GetParent(), nullptr);
    EXPECT_EQ(b->RemoveControl(p2), nullptr);
    ASSERT_EQ(b->GetControlCount(), 2u);
    EXPECT_EQ(b->GetControl(1), p3) << "the others keep their order";

    a->AddControl(p2); // moves nowhere else: p2 had left b
    b->AddControl(p2); // joins b, leaving a
    EXPECT_EQ(p2->GetParent(), b);
    EXPECT_EQ(a->IndexOfControl(p2), -1);

    p3->Destroy();
    EXPECT_EQ(b->IndexOfControl(p3), -1);
    b->DeleteControl(p1);
    EXPECT_EQ(log, (std::vector<std::string>{"p3 gone", "p1 gone"}));
    delete p2; // deleted behind the frame's back: the frame forgets it
    EXPECT_EQ(b->GetControlCount(), 0u);
    log.clear();
    b->AddControl(new Probe(&desktop, nullptr, &log, "p4"));
    a->Destroy(); // takes b and p4 with it
    EXPECT_EQ(log, (std::vector<std::string>{"p4 gone"}));
    EXPECT_EQ(desktop.GetControlCount(), 0u);
}

TEST(GxDesktopTest, ConstructionSetsUpTheFontsAndNoDesktopOrParent)
{
    GxDesktop desktop(TestScene());
    EXPECT_EQ(desktop.GetOwnerScene(), TestScene());
    EXPECT_EQ(desktop.GetDesktop(), nullptr);
    EXPECT_EQ(desktop.GetParent(), nullptr);
    EXPECT_EQ(desktop.GetCaption(), StrUtils::XBaseString<WCHAR>());
    EXPECT_EQ(desktop.GetWidth(), 300);
    EXPECT_EQ(desktop.GetHoverControl(), nullptr);
    EXPECT_EQ(desktop.GetFocusControl(), nullptr);
    EXPECT_EQ(desktop.GetCaptureControl(), nullptr);
    EXPECT_EQ(desktop.GetActivationCounter(), 0u);
    const uint32_t sizes[] = {8, 12, 16};
    const uint32_t weights[] = {0, 700, 700};
    for (unsigned i = 0; i < GxDesktop::FontCount; ++i)
    {
        EXPECT_EQ(desktop.GetFont(i)->GetSize(), sizes[i]);
        EXPECT_EQ(desktop.GetFont(i)->GetWeight(), weights[i]);
        EXPECT_EQ(desktop.GetFont(i)->GetFace(), StrUtils::XBaseString<WCHAR>(u"MS Sans Serif"));
    }
    EXPECT_EQ(desktop.GetFont(3), nullptr);
}

TEST(GxDesktopTest, WindowsComeToTheFrontWhenAddedAndWhenTheyOrTheirControlsTakeTheFocus)
{
    std::vector<std::string> log;
    GxDesktop desktop(TestScene());
    desktop.SetBounds(0, 0, 800, 600);
    auto* w1 = new GxWindow(&desktop, u"one");
    auto* w2 = new GxWindow(&desktop, u"two");
    auto* plain = new GxFrame(&desktop, &desktop);
    desktop.AddControl(w1);
    desktop.AddControl(w2);
    desktop.AddControl(plain);
    ASSERT_EQ(desktop.GetControl(0), w2);
    EXPECT_EQ(desktop.GetControl(1), w1);
    EXPECT_EQ(desktop.GetControl(2), plain) << "a plain frame joins at the back";
    EXPECT_EQ(w2->GetActivationNumber(), 0u) << "w1 was alone and already in front";
    EXPECT_EQ(desktop.GetActivationCounter(), 1u);

    auto* box = Add(*w1, new Probe(&desktop, w1, &log, "box"), 5, 5, 20, 20);
    auto* label = Add(*w1, new Probe(&desktop, w1, &log, "label"), 30, 5, 20, 20);
    label->SetCanFocus(false);
    desktop.SetFocus(box);
    EXPECT_EQ(desktop.GetFocusControl(), box);
    EXPECT_EQ(desktop.GetControl(0), w1) << "the window of the focused control is raised";
    EXPECT_EQ(w1->GetActivationNumber(), 1u);
    desktop.SetFocus(box); // unchanged: nothing
    desktop.SetFocus(label); // cannot take it: the window can
    EXPECT_EQ(desktop.GetFocusControl(), w1);
    EXPECT_TRUE(w1->GetFocused());
    desktop.SetFocus(nullptr);
    EXPECT_EQ(desktop.GetFocusControl(), nullptr);
    EXPECT_FALSE(w1->GetFocused());
    EXPECT_EQ(log, (std::vector<std::string>{"box focus", "box blur"}));
    desktop.BringToFront(w1); // already in front: no new number
    EXPECT_EQ(desktop.GetActivationCounter(), 2u);
    GxWindow stray(&desktop, u"stray"); // not a child
    desktop.BringToFront(&stray);
    EXPECT_EQ(desktop.GetActivationCounter(), 2u);
}

TEST(GxDesktopTest, TheDesktopForgetsDestroyedControlsAndDeletesItsWindowsFirst)
{
    std::vector<std::string> log;
    auto* desktop = new GxDesktop(TestScene());
    auto* w = new GxWindow(desktop, u"w");
    desktop->AddControl(w);
    auto* hover = Add(*w, new Probe(desktop, w, &log, "hover"), 0, 0, 10, 10);
    auto* focus = Add(*w, new Probe(desktop, w, &log, "focus"), 20, 0, 10, 10);
    auto* capture = Add(*w, new Probe(desktop, w, &log, "capture"), 40, 0, 10, 10);
    desktop->SetFocus(focus);
    desktop->SetCapture(capture);
    focus->Destroy();
    EXPECT_EQ(desktop->GetFocusControl(), nullptr);
    capture->Destroy();
    EXPECT_EQ(desktop->GetCaptureControl(), nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"focus focus", "focus gone", "capture gone"}));
    desktop->SetFocus(hover);
    desktop->SetCapture(hover);
    log.clear();
    // Every control goes while the desktop can still be told (the sanitizers watch the rest).
    delete desktop;
    EXPECT_EQ(log, (std::vector<std::string>{"hover gone"}));
}

TEST(GxDesktopTest, WindowsAnchorToTheNearerSidesOfTheDesktop)
{
    GxDesktop desktop(TestScene());
    desktop.SetBounds(0, 0, 800, 600);
    struct Case
    {
        float left, top;
        bool anchorLeft, anchorTop;
    } cases[] = {{10, 10, true, true}, {600, 10, false, true}, {10, 500, true, false}, {700, 500, false, false}};
    for (const Case& c : cases)
    {
        auto* w = new GxWindow(&desktop, u"w");
        desktop.AddControl(w);
        w->SetBounds(c.left, c.top, 100, 50);
        EXPECT_EQ(w->GetAnchorLeft(), c.anchorLeft) << c.left;
        EXPECT_EQ(w->GetAnchorRight(), !c.anchorLeft) << c.left;
        EXPECT_EQ(w->GetAnchorTop(), c.anchorTop) << c.top;
        EXPECT_EQ(w->GetAnchorBottom(), !c.anchorTop) << c.top;
    }
    // Growing the desktop keeps a bottom-right window at its distance from those sides.
    GxControl* last = desktop.GetControl(0);
    desktop.SetBounds(0, 0, 1000, 700);
    EXPECT_EQ(last->GetLeft(), 900);
    EXPECT_EQ(last->GetTop(), 600);
}

TEST(GxDesktopTest, ForwardingControlsPassTheMouseToTheirParent)
{
    GxDesktop desktop(TestScene());
    auto* frame = new Recorder(&desktop, &desktop);
    desktop.AddControl(frame);
    auto* child = Add(*frame, new GxControl(&desktop, frame), 0, 0, 10, 10);
    child->MouseDown(1, 1, gmbLeft, 0);
    EXPECT_EQ(frame->downs, 0);
    child->SetForwardInput(true);
    child->MouseDown(1, 1, gmbLeft, 0);
    EXPECT_EQ(frame->downs, 1);
}

namespace
{
// A new 8 x 8 texture of the device; the caller owns the reference.
IDirect3DTexture9* NewTexture(SoftDevice& d)
{
    IDirect3DTexture9* texture = nullptr;
    d.device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
    return texture;
}

// A font whose glyph texture the test hands over (the glyph build comes with the bitmap font).
class TextureFont : public GxFont
{
public:
    void Adopt(IDirect3DTexture9* texture) { m_Texture = texture; }
};
} // namespace

TEST(GxDesktopTest, FontTexturesGoWithTheDeviceAndWithEveryChangedSetting)
{
    SoftDevice device;
    ASSERT_NE(device.soft, nullptr);
    unsigned idle = device.soft->GetLiveResourceCount();
    {
        TextureFont font;
        font.CreateDevice(device.device);
        EXPECT_EQ(font.GetDevice(), device.device);
        struct Step
        {
            const char* what;
            void (*change)(TextureFont&);
            bool released;
        } steps[] = {
            {"same size", [](TextureFont& f) { f.SetSize(10); }, false},
            {"same face", [](TextureFont& f) { f.SetFace(u"Arial"); }, false},
            {"new size", [](TextureFont& f) { f.SetSize(12); }, true},
            {"bold", [](TextureFont& f) { f.SetBold(true); }, true},
            {"bold again", [](TextureFont& f) { f.SetBold(true); }, false},
            {"new face", [](TextureFont& f) { f.SetFace(u"Tahoma"); }, true},
            {"invalidate", [](TextureFont& f) { f.InvalidateDevice(nullptr); }, false},
            {"new device", [](TextureFont& f) { f.CreateDevice(f.GetDevice()); }, true},
            {"release", [](TextureFont& f) { f.ReleaseDevice(f.GetDevice()); }, true},
        };
        for (const Step& s : steps)
        {
            if (!font.GetTexture())
                font.Adopt(NewTexture(device));
            ASSERT_EQ(device.soft->GetLiveResourceCount(), idle + 1) << s.what;
            s.change(font);
            EXPECT_EQ(font.GetTexture() == nullptr, s.released) << s.what;
            EXPECT_EQ(device.soft->GetLiveResourceCount(), idle + (s.released ? 0u : 1u)) << s.what;
        }
        EXPECT_EQ(font.GetDevice(), nullptr);
        font.Adopt(NewTexture(device));
    }
    EXPECT_EQ(device.soft->GetLiveResourceCount(), idle) << "the destructor releases the texture";

    GxDesktop desktop(TestScene());
    desktop.CreateDevice(device.device);
    for (unsigned i = 0; i < GxDesktop::FontCount; ++i)
        EXPECT_EQ(desktop.GetFont(i)->GetDevice(), device.device);
    desktop.ReleaseDevice(device.device);
    for (unsigned i = 0; i < GxDesktop::FontCount; ++i)
        EXPECT_EQ(desktop.GetFont(i)->GetDevice(), nullptr);
}

namespace
{
// A control that notes every input call as "name event", and can run an action in its press.
class Rec : public GxControl
{
public:
    Rec(GxDesktop* desktop, GxFrame* parent, std::vector<std::string>* log, const char* name)
        : GxControl(desktop, parent), m_Log(log), m_Name(name)
    {
    }
    void MouseDown(float, float, uint32_t button, GxShiftState) override
    {
        Note("down " + std::to_string(button));
        if (onDown)
            onDown();
    }
    void MouseMove(float, float, GxShiftState) override { Note("move"); }
    void MouseUp(float, float, uint32_t, GxShiftState) override { Note("up"); }
    void MouseEnter() override { Note("enter"); }
    void MouseLeave() override
    {
        Note("leave");
        if (onLeave)
            onLeave();
    }
    void KeyDown(unsigned& key, GxShiftState) override { Note("keydown " + std::to_string(key)); }
    void KeyPress(WCHAR& c) override { Note("keypress " + std::to_string(c)); }
    void KeyUp(unsigned& key, GxShiftState) override { Note("keyup " + std::to_string(key)); }
    void SetFocused(bool focused) override
    {
        GxControl::SetFocused(focused);
        Note(focused ? "focus" : "blur");
    }
    std::function<void()> onDown;
    std::function<void()> onLeave;

private:
    void Note(const std::string& what) { m_Log->push_back(m_Name + " " + what); }
    std::vector<std::string>* m_Log;
    std::string m_Name;
};

using Log = std::vector<std::string>;

// A desktop of 400 x 300 with controls a at (10, 10) and b at (50, 10), 30 x 30 each.
struct Routing
{
    Log log;
    GxDesktop desktop{TestScene()};
    Rec* a;
    Rec* b;
    Routing()
    {
        desktop.SetBounds(0, 0, 400, 300);
        a = Add(desktop, new Rec(&desktop, &desktop, &log, "a"), 10, 10, 30, 30);
        b = Add(desktop, new Rec(&desktop, &desktop, &log, "b"), 50, 10, 30, 30);
    }
};
} // namespace

TEST(GxDesktopTest, MovesSendLeaveAndEnterFirstAndReachTheCaptureControlOnce)
{
    Routing r;
    r.desktop.MouseMove(20, 20, 0);
    r.desktop.MouseMove(21, 20, 0);
    r.desktop.MouseMove(60, 20, 0);
    EXPECT_EQ(r.log, (Log{"a enter", "a move", "a move", "a leave", "b enter", "b move"}));
    EXPECT_EQ(r.desktop.GetHoverControl(), r.b);
    EXPECT_EQ(r.desktop.GetLastMousePoint().x, 60);

    r.log.clear();
    r.desktop.SetCapture(r.a);
    r.desktop.MouseMove(61, 20, 0);  // over b, captured by a
    r.desktop.MouseMove(200, 200, 0); // over bare desktop
    r.desktop.MouseMove(20, 20, 0);  // over a itself: one move
    EXPECT_EQ(r.log, (Log{"b move", "a move", "b leave", "a move", "a enter", "a move"}));
    r.log.clear();
    r.desktop.MouseUp(60, 20, gmbLeft, 0);
    EXPECT_EQ(r.log, (Log{"a up"})) << "the capture control is the hover control: one release";
    r.desktop.ReleaseCapture();
    EXPECT_EQ(r.desktop.GetCaptureControl(), nullptr);
}

TEST(GxDesktopTest, PressesGoToTheHoverControlThenMoveTheFocusAndKeysFollowTheFocus)
{
    Routing r;
    r.desktop.MouseMove(20, 20, 0);
    r.desktop.MouseDown(20, 20, gmbRight, gssRight);
    EXPECT_EQ(r.desktop.GetFocusControl(), r.a);
    r.log.clear();
    // A press on bare desktop, no move before it: the old hover control gets it, then the focus goes.
    r.desktop.MouseDown(300, 200, gmbMiddle, gssMiddle);
    EXPECT_EQ(r.log, (Log{"a down 2", "a blur"}));
    EXPECT_EQ(r.desktop.GetFocusControl(), nullptr);

    r.log.clear();
    unsigned key = 65;
    WCHAR c = u'a';
    r.desktop.KeyDown(key, 0); // no focus: nobody
    r.desktop.MouseMove(60, 20, 0);
    r.desktop.MouseDown(60, 20, gmbLeft, gssLeft);
    r.desktop.SetCapture(r.a);
    r.desktop.MouseDown(60, 20, gmbLeft, gssLeft); // the capture control gets the press too
    r.desktop.KeyDown(key, gssShift);
    r.desktop.KeyPress(c);
    r.desktop.KeyUp(key, 0);
    EXPECT_EQ(r.log, (Log{"a leave", "b enter", "b move", "b down 1", "b focus", "b down 1", "a down 1",
                          "b keydown 65", "b keypress 97", "b keyup 65"}));
    r.log.clear();
    r.desktop.SetCapture(r.b);
    r.desktop.MouseDown(60, 20, gmbLeft, gssLeft);
    EXPECT_EQ(r.log, (Log{"b down 1"})) << "the capture control is the hover control: one press";
}

TEST(GxDesktopTest, APressInABackWindowRaisesIt)
{
    GxDesktop desktop(TestScene());
    desktop.SetBounds(0, 0, 400, 300);
    auto* back = new GxWindow(&desktop, u"back");
    auto* front = new GxWindow(&desktop, u"front");
    desktop.AddControl(back);
    desktop.AddControl(front);
    back->SetBounds(10, 10, 100, 100);
    front->SetBounds(50, 50, 100, 100);
    auto* button = Add(*back, new GxControl(&desktop, back), 5, 5, 20, 20);
    ASSERT_EQ(desktop.GetControl(0), front);
    const uint32_t before = back->GetActivationNumber();
    desktop.MouseMove(20, 20, 0);
    desktop.MouseDown(20, 20, gmbLeft, gssLeft);
    desktop.MouseUp(20, 20, gmbLeft, 0);
    EXPECT_EQ(desktop.GetFocusControl(), button);
    EXPECT_EQ(desktop.GetControl(0), back);
    EXPECT_GT(back->GetActivationNumber(), before);
    EXPECT_EQ(desktop.ControlAt(60, 60), back) << "the raised window now covers the overlap";
}

TEST(GxDesktopTest, ControlsDestroyedWhileTheyAreRoutedToAreNeverCalledAgain)
{
    {
        // The press target destroys itself: not called again, not focused; the focus stays.
        Routing r;
        r.desktop.SetFocus(r.b);
        r.desktop.MouseMove(20, 20, 0);
        r.desktop.SetCapture(r.a);
        r.a->onDown = [&] { r.a->Destroy(); };
        r.log.clear();
        r.desktop.MouseDown(20, 20, gmbLeft, gssLeft);
        EXPECT_EQ(r.log, (Log{"a down 1"}));
        EXPECT_EQ(r.desktop.GetFocusControl(), r.b);
        EXPECT_EQ(r.desktop.GetHoverControl(), nullptr);
        EXPECT_EQ(r.desktop.GetCaptureControl(), nullptr);
    }
    {
        // The hover control destroys the capture control in its press.
        Routing r;
        r.desktop.MouseMove(20, 20, 0);
        r.desktop.SetCapture(r.b);
        r.a->onDown = [&] { r.b->Destroy(); };
        r.log.clear();
        r.desktop.MouseDown(20, 20, gmbLeft, gssLeft);
        EXPECT_EQ(r.log, (Log{"a down 1", "a focus"}));
        EXPECT_EQ(r.desktop.GetCaptureControl(), nullptr);
    }
    {
        // The old hover control destroys the control the mouse moved onto as it is left.
        Routing r;
        r.desktop.MouseMove(20, 20, 0);
        r.a->onLeave = [&] { r.b->Destroy(); };
        r.log.clear();
        r.desktop.MouseMove(60, 20, 0);
        EXPECT_EQ(r.log, (Log{"a leave"}));
        EXPECT_EQ(r.desktop.GetHoverControl(), nullptr);
    }
    {
        // A window destroyed by its child's press is neither focused nor raised.
        Log log;
        GxDesktop desktop(TestScene());
        desktop.SetBounds(0, 0, 400, 300);
        auto* w = new GxWindow(&desktop, u"w");
        desktop.AddControl(w);
        w->SetBounds(10, 10, 100, 100);
        auto* close = Add(*w, new Rec(&desktop, w, &log, "close"), 5, 5, 20, 20);
        close->onDown = [&] { w->Destroy(); };
        desktop.MouseMove(20, 20, 0);
        desktop.MouseDown(20, 20, gmbLeft, gssLeft);
        EXPECT_EQ(log, (Log{"close enter", "close move", "close down 1"}));
        EXPECT_EQ(desktop.GetControlCount(), 0u);
        EXPECT_EQ(desktop.GetFocusControl(), nullptr);
    }
}

namespace
{

struct Corners
{
    float left, top, right, bottom;
    uint32_t color;
};

// The rectangle of a RenderRect call: corners 0 and 2 of its six vertices.
Corners RectOf(const D3D9Call& call)
{
    GxRectVertex v[6]{};
    if (call.vertices.size() == sizeof v)
        std::memcpy(v, call.vertices.data(), sizeof v);
    return {v[0].x, v[0].y, v[2].x, v[2].y, v[0].color};
}
} // namespace

TEST(GxDesktopTest, FocusMarksAreFourBlackSquaresAtTheFocusControlsSideMidpoints)
{
    SoftDevice d;
    ASSERT_NE(d.soft, nullptr);
    GxDesktop desktop(TestScene());
    desktop.SetBounds(0, 0, 400, 300);
    auto* w = new GxWindow(&desktop, u"");
    desktop.AddControl(w);
    w->SetBounds(20, 10, 200, 150);
    w->SetAnimated(false);
    auto* other = Add(*w, new GxControl(&desktop, w), 0, 0, 10, 10);
    auto* focus = Add(*w, new GxControl(&desktop, w), 40, 30, 60, 20); // screen (60, 40)-(120, 60)
    desktop.SetFocus(focus);
    d.device->BeginScene();
    d.Clear();
    desktop.Render(d.device);
    EXPECT_EQ(d.Draws().size(), 3u) << "no marks unless they are shown";

    desktop.SetShowFocusMarks(true);
    d.Clear();
    desktop.Render(d.device);
    std::vector<const D3D9Call*> draws = d.Draws();
    ASSERT_EQ(draws.size(), 7u);
    // Window, then the back child (index 1: the focus control) with its marks, then the front one.
    EXPECT_EQ(RectOf(*draws[1]).left, 60);
    const Corners marks[4] = {{118, 48, 122, 52, 0xFF000000u},
                              {88, 58, 92, 62, 0xFF000000u},
                              {58, 48, 62, 52, 0xFF000000u},
                              {88, 38, 92, 42, 0xFF000000u}};
    for (int i = 0; i < 4; ++i)
    {
        Corners c = RectOf(*draws[2 + i]);
        EXPECT_EQ(c.left, marks[i].left) << i;
        EXPECT_EQ(c.top, marks[i].top) << i;
        EXPECT_EQ(c.right, marks[i].right) << i;
        EXPECT_EQ(c.bottom, marks[i].bottom) << i;
        EXPECT_EQ(c.color, marks[i].color) << i;
    }
    EXPECT_EQ(RectOf(*draws[6]).left, 20) << "the front child, unmarked";
    (void)other;
    d.device->EndScene();
}

namespace
{
// A 320 x 240 device cleared to black around one desktop render.
std::vector<uint32_t> RenderPixels(SoftDevice& d, GxDesktop& desktop)
{
    d.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    d.device->BeginScene();
    desktop.Render(d.device);
    d.device->EndScene();
    return d.BackBuffer();
}

int Channel(uint32_t pixel, int shift)
{
    return static_cast<int>((pixel >> shift) & 0xFF);
}
} // namespace

TEST(GxDesktopTest, WindowsFillTheirPixelsBlendedByTheirAlphaFrontOneOnTop)
{
    SoftDevice d(320, 240);
    ASSERT_NE(d.soft, nullptr);
    GxDesktop desktop(TestScene());
    desktop.SetBounds(0, 0, 320, 240);
    auto* w = new GxWindow(&desktop, u"");
    desktop.AddControl(w);
    w->SetBounds(10, 10, 100, 60);
    w->SetBackColor(0x00336699u);
    w->SetAnimated(false);
    std::vector<uint32_t> px = RenderPixels(d, desktop);
    ASSERT_EQ(px.size(), 320u * 240u);
    for (int y = 0; y < 240; ++y)
    {
        for (int x = 0; x < 320; ++x)
        {
            const bool inside = x >= 10 && x < 110 && y >= 10 && y < 70;
            ASSERT_EQ(px[y * 320 + x] & 0xFFFFFF, inside ? 0x336699u : 0u) << x << "," << y;
        }
    }

    // Alpha 90 over black: each channel scaled by 90 / 255.
    w->SetAnimated(true);
    w->SetOpaqueAlpha(90);
    px = RenderPixels(d, desktop);
    const uint32_t blended = px[40 * 320 + 50];
    const int shifts[3] = {16, 8, 0};
    const int source[3] = {0x33, 0x66, 0x99};
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(Channel(blended, shifts[i]), source[i] * 90 / 255, 1) << i;

    // Two overlapping windows: the front one shows, the other after it is brought to the front.
    auto* red = new GxWindow(&desktop, u"");
    desktop.AddControl(red); // joins in front
    red->SetBounds(60, 40, 100, 60);
    red->SetBackColor(0x00CC0000u);
    red->SetAnimated(false);
    w->SetAnimated(false);
    px = RenderPixels(d, desktop);
    EXPECT_EQ(px[50 * 320 + 80] & 0xFFFFFF, 0xCC0000u);
    EXPECT_EQ(px[20 * 320 + 20] & 0xFFFFFF, 0x336699u);
    desktop.BringToFront(w);
    px = RenderPixels(d, desktop);
    EXPECT_EQ(px[50 * 320 + 80] & 0xFFFFFF, 0x336699u);
    EXPECT_EQ(px[90 * 320 + 150] & 0xFFFFFF, 0xCC0000u);
}

TEST(GxDesktopTest, CaptionInkLiesOnlyInsideItsGlyphCells)
{
    SoftDevice d(320, 240);
    ASSERT_NE(d.soft, nullptr);
    GxDesktop desktop(TestScene());
    desktop.SetBounds(0, 0, 320, 240);
    desktop.CreateDevice(d.device);
    auto* w = new GxWindow(&desktop, u"Tools");
    desktop.AddControl(w);
    w->SetBounds(40, 40, 200, 120);
    w->SetTransparent(true); // the caption alone
    w->SetAnimated(false);
    w->SetTextColor(0xFFFFFFFFu);
    std::vector<uint32_t> px = RenderPixels(d, desktop);
    ASSERT_EQ(px.size(), 320u * 240u);

    GxFont* font = desktop.GetFont(1);
    ASSERT_NE(font->GetGlyphs(), nullptr);
    float total = 0;
    for (char ch : std::string("Tools"))
        total += static_cast<float>(font->GetGlyphs()[static_cast<uint8_t>(ch) - font->GetFirstChar()].advance);
    float x = 40 + 100 - total * 0.5f;
    const float top = 41, bottom = top + static_cast<float>(font->GetGlyphHeight());
    size_t ink = 0;
    for (int py = 0; py < 240; ++py)
    {
        for (int pxl = 0; pxl < 320; ++pxl)
        {
            if ((px[py * 320 + pxl] & 0xFFFFFF) == 0)
                continue;
            ++ink;
            // Pixel centres inside the text's cells.
            EXPECT_TRUE(pxl + 0.5f >= x && pxl + 0.5f <= x + total && py + 0.5f >= top && py + 0.5f <= bottom)
                << pxl << "," << py;
        }
    }
    EXPECT_GT(ink, 20u);
    desktop.ReleaseDevice(d.device);
}
