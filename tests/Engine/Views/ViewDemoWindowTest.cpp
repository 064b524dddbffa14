// The view demo as a user meets it, in a real X window: the host's scene drawn by the software
// device (its checker texture on lit faces, its sun above the front left), the editor keys the
// README lists worked on that scene by XTest input, a splitter dragged with the other viewports
// drawn at their new places at once, the demo program's capture key, and its menu of layouts
// under a window manager.
#include "Engine/Editors/TAnimationEditorFrame.h"
#include "Engine/Editors/TSceneEditorFrame.h"
#include "Engine/Editors/TSkinEditorFrame.h"
#include "Engine/Editors/TTriEditorFrame.h"
#include "Engine/Editors/XAnimationEditor.h"
#include "Engine/Editors/XSkinEditor.h"
#include "Engine/Editors/XTriMeshEditor.h"
#include "Engine/Geometry/XBaseMesh.h"
#include "Engine/Geometry/XMesh.h"
#include "Engine/Geometry/XSkinModifier.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XScene.h"
#include "Engine/Views/XView.h"
#include "Engine/Views/XViewport.h"
#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Win32/Windows.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ImageDecoders.h"
#include "tests/support/ImageFiles.h"
#include "tests/support/PresenterWindowTest.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/TempDir.h"
#include "tests/support/ViewHost.h"
#include "tests/support/ViewHostWindowTest.h"
#include "tests/support/VirtualDisplay.h"
#include "tests/support/WholeFile.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/WindowManager.h"
#include "tests/support/XProbe.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace
{
XMeshNode* Node(XScene* scene, const char16_t* name)
{
    return dynamic_cast<XMeshNode*>(scene->FindObject(XString(name)));
}

// How bright a face of the demo's material is whose outward normal is n: the sun's diffuse light
// (white, falling along minus (SunX, SunY, SunZ)) and the material's share of the view's ambient
// light (0x80 grey), at most full.
float Brightness(const XVertex& n)
{
    XVertex toSun(SunX, SunY, SunZ);
    toSun.Normalize();
    XVertex unit = n;
    unit.Normalize();
    const float diffuse = std::fmax(0.0f, DotProduct(unit, toSun));
    return std::fmin(1.0f, diffuse + CheckerAmbient * (128.0f / 255.0f));
}

// The checker's texel at texture coordinates (u, v), wrapped as the map addresses it. The file is
// a BMP, bottom row first, and the texture takes the file's rows in their order: texture row t
// holds the picture's row 63 - t.
uint32_t CheckerAt(float u, float v)
{
    const int size = 64;
    const int tx = ((static_cast<int>(std::floor(u * size)) % size) + size) % size;
    const int ty = ((static_cast<int>(std::floor(v * size)) % size) + size) % size;
    const int row = size - 1 - ty;
    return ((tx / CheckerSquare + row / CheckerSquare) & 1) ? CheckerDark : CheckerLight;
}

// The texel's colour times the light, as the stage modulates them.
uint32_t Lit(uint32_t texel, float brightness)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8)
    {
        const float c = static_cast<float>((texel >> shift) & 0xFF) * brightness;
        out |= static_cast<uint32_t>(std::lround(c)) << shift;
    }
    return out;
}

float DistanceToSegment(const XPoint& p, const XPoint& a, const XPoint& b)
{
    const float dx = b.x - a.x, dy = b.y - a.y;
    const float length2 = dx * dx + dy * dy;
    float t = length2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / length2 : 0.0f;
    t = std::fmax(0.0f, std::fmin(1.0f, t));
    const float ex = a.x + t * dx - p.x, ey = a.y + t * dy - p.y;
    return std::sqrt(ex * ex + ey * ey);
}

// A point of a face to check: where it shows in the window and the colour expected there.
struct Sample
{
    int x, y;
    uint32_t colour;
    bool dark;
};

class ViewDemoWindowTest : public ViewHostWindowTest
{
public:
    ViewDemoWindowTest() : ViewHostWindowTest("view_demo_window") {}

    // Points inside the node's faces that turn their outward normal to `facing`, as viewport
    // shows them: the colour each must have, from the face's texture coordinates at that point
    // and its lighting. Points within 3 pixels of a face's edges (its wires are drawn there) or
    // 1.5 texels of a checker square's border are left out, and so are those `hidden` names.
    template <class Hidden>
    std::vector<Sample> FaceSamples(XMeshNode* node, XViewport* viewport, const XVertex& facing,
                                    Hidden hidden)
    {
        std::vector<Sample> out;
        XMesh* mesh = node->GetMesh()->GetMesh(0, viewport, node);
        XMatrix world;
        node->GetMeshMatrix(0, world);
        const XVertex* positions = mesh->GetVertices();
        const XTextureVertex* uv = mesh->GetTextureVertices();
        EXPECT_EQ(mesh->GetTextureVertexCount(), mesh->GetVertexCount());
        for (uint32_t f = 0; f < mesh->GetFaceCount(); ++f)
        {
            const XFace& face = mesh->GetFaces()[f];
            XVertex p[3];
            XPoint s[3];
            for (int c = 0; c < 3; ++c)
            {
                p[c] = positions[face.v[c]];
                world.ApplyTo(&p[c], 1);
                s[c] = FormPointOf(host.get(), viewport, p[c]);
            }
            XVertex normal = CrossProduct(p[1] - p[0], p[2] - p[0]);
            normal.Normalize();
            if (DotProduct(normal, facing) < 0.999f)
                continue;
            const float brightness = Brightness(normal);
            const int steps = 12;
            for (int i = 1; i < steps; ++i)
                for (int j = 1; i + j < steps; ++j)
                {
                    const float b = static_cast<float>(i) / steps, c = static_cast<float>(j) / steps,
                                a = 1 - b - c;
                    const XPoint at(a * s[0].x + b * s[1].x + c * s[2].x,
                                    a * s[0].y + b * s[1].y + c * s[2].y);
                    if (DistanceToSegment(at, s[0], s[1]) < 3 || DistanceToSegment(at, s[1], s[2]) < 3 ||
                        DistanceToSegment(at, s[2], s[0]) < 3)
                        continue;
                    const XTextureVertex& t0 = uv[face.v[0]];
                    const XTextureVertex& t1 = uv[face.v[1]];
                    const XTextureVertex& t2 = uv[face.v[2]];
                    const float u = a * t0.u + b * t1.u + c * t2.u, v = a * t0.v + b * t1.v + c * t2.v;
                    const float su = u * 64 / CheckerSquare, sv = v * 64 / CheckerSquare;
                    const float margin = 1.5f / CheckerSquare;
                    if (std::fabs(su - std::round(su)) < margin || std::fabs(sv - std::round(sv)) < margin)
                        continue;
                    const XVertex point = p[0] * a + p[1] * b + p[2] * c;
                    if (hidden(point))
                        continue;
                    const uint32_t texel = CheckerAt(u, v);
                    out.push_back({static_cast<int>(std::floor(at.x)), static_cast<int>(std::floor(at.y)),
                                   Lit(texel, brightness), texel == CheckerDark});
                }
        }
        return out;
    }

    // Every sample shows its colour, and both checker colours are among them.
    void ExpectSamples(const std::vector<Sample>& samples, const std::vector<uint32_t>& shown,
                       const char* view)
    {
        size_t dark = 0, light = 0, wrong = 0;
        for (const Sample& s : samples)
        {
            (s.dark ? dark : light) += 1;
            const uint32_t got = At(shown, s.x, s.y);
            if (!ColoursNear(got, s.colour, 4) && ++wrong <= 5)
                ADD_FAILURE() << view << " at " << s.x << "," << s.y << ": " << std::hex << got
                              << " instead of " << s.colour;
        }
        EXPECT_EQ(wrong, 0u) << view << ": of " << samples.size();
        EXPECT_GT(dark, 20u) << view;
        EXPECT_GT(light, 20u) << view;
    }
};
} // namespace

TEST_F(ViewDemoWindowTest, BoxesShowTheCheckerLitBySunInTheFrontAndTopViews)
{
    Draw();
    const std::vector<uint32_t> shown = Pixels();
    XMeshNode* box = Node(scene, u"Box0");
    ASSERT_NE(box, nullptr);

    // The front view (V1) looks along +z at the face turned to -z; the cone's base (a disc of
    // radius 1 about the z axis, nearer the camera) covers the lower middle of it.
    auto coneInFront = [](const XVertex& p) { return p.x * p.x + p.y * p.y < 1.15f * 1.15f; };
    std::vector<Sample> front = FaceSamples(box, view->GetViewport(1), XVertex(0, 0, -1), coneInFront);
    ASSERT_FALSE(front.empty());
    ExpectSamples(front, shown, "front");
    // The sun lights that face less than the top, more than the ambient light alone.
    const float lit = Brightness(XVertex(0, 0, -1));
    EXPECT_GT(lit, 0.5f);
    EXPECT_LT(lit, Brightness(XVertex(0, 1, 0)));

    // The top views (V0 and V3) look down at the top face, lit.
    auto nothing = [](const XVertex&) { return false; };
    for (int v : {0, 3})
        ExpectSamples(FaceSamples(box, view->GetViewport(v), XVertex(0, 1, 0), nothing), shown,
                      v == 0 ? "top (V0)" : "top (V3)");
    EXPECT_GT(Brightness(XVertex(0, 1, 0)), 0.8f);
}

TEST_F(ViewDemoWindowTest, ADraggedSplitterLeavesNoViewportShowingItsOldPlace)
{
    // The render timer is off: what the window shows after the drag was drawn by the drag itself.
    Draw();
    XViewport* lower = view->GetViewport(2);
    const int top = lower->Top();
    // The left column's row splitter lies just above V2; dragged 60 pixels up with the button
    // held.
    const int x = 200, y = top - 2;
    MoveTo(x, y);
    Button(1, true);
    for (int step = 1; step <= 6; ++step)
        MoveTo(x, y - 10 * step);
    ASSERT_TRUE(PumpUntil([&] { return lower->Top() == top - 60; }));
    Application->ProcessMessages();
    probe->Sync();
    const std::vector<uint32_t> during = Pixels();
    Button(1, false);

    // V2's caption stands at its new top; where it stood before, V2's picture goes on (grid and
    // background), not the old caption.
    auto yellowIn = [&](const std::vector<uint32_t>& p, int y0)
    {
        int n = 0;
        for (int yy = y0 + 4; yy < y0 + 18; ++yy)
            for (int xx = 4; xx < 150; ++xx)
            {
                const uint32_t c = At(p, xx, yy);
                n += ((c >> 16) & 0xFF) > 200 && ((c >> 8) & 0xFF) > 200 && (c & 0xFF) < 90;
            }
        return n;
    };
    EXPECT_GT(yellowIn(during, top - 60), 40);
    EXPECT_EQ(yellowIn(during, top), 0);
    // And the whole window is what a frame drawn now shows.
    Draw();
    EXPECT_EQ(CountDifferentPixels(Pixels(), during, 0), 0u);
}

namespace
{
// The host with its editor panels beside the view, as the demo program shows it.
class ViewDemoKeysWindowTest : public PresenterWindowTest
{
public:
    ViewDemoKeysWindowTest() : PresenterWindowTest(1100, 700) {}

    void SetUp() override
    {
        PresenterWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        host = std::make_unique<TViewHostForm>(nullptr, dir.Path());
        scene = host->Scene();
        host->ShowEditorPanels();
        host->Show();
        window = Vcl::NativeWindowOf(host.get());
        ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(window) && host->PaintCount() > 0; }));
        host->View()->RenderScene(true);
        Settle();
    }
    void TearDown() override
    {
        host.reset();
        PresenterWindowTest::TearDown();
    }

    // Clicks the node's origin in the top viewport (the view's edit mode selects what is clicked).
    void ClickNode(XMeshNode* node, const XVertex& offset = XVertex(0, 0, 0))
    {
        XMatrix at;
        node->GetMatrix(0, at);
        const XPoint p = FormPointOf(host.get(), host->View()->GetViewport(0),
                                     XVertex(at.m[3][0], at.m[3][1], at.m[3][2]) + offset);
        probe->ClickAt(window, static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y)));
        Settle();
    }
    void Type(const char* key)
    {
        probe->Key(key);
        Settle();
    }
    // Escape back to the scene editor and its panel.
    void ExpectBackInTheSceneEditor()
    {
        Type("Escape");
        EXPECT_EQ(scene->GetEditor(), scene->GetSceneEditor());
        EXPECT_NE(dynamic_cast<TSceneEditorFrame*>(host->EditorPanel()), nullptr);
    }

    TempDir dir{"view_demo_keys"};
    std::unique_ptr<TViewHostForm> host;
    XScene* scene = nullptr;
    unsigned long window = 0;
};
} // namespace

TEST_F(ViewDemoKeysWindowTest, EnterMAndEscapeReachEveryEditorOfTheDemoScene)
{
    XMeshNode* hill = Node(scene, u"Hill");
    XMeshNode* arm = Node(scene, u"Arm");
    ASSERT_NE(hill, nullptr);
    ASSERT_NE(arm, nullptr);
    ClickOn(window, host->TransformButton(XTT_EDIT), 20, 10);
    ASSERT_EQ(host->View()->GetTransformType(), XTT_EDIT);

    // The hill clicked in the top view, Enter: the triangle-mesh editor and its panel.
    ClickNode(hill);
    ASSERT_TRUE(hill->IsSelected());
    ASSERT_EQ(scene->GetSelNodeCount(), 1u);
    Type("Return");
    auto* meshEditor = dynamic_cast<XTriMeshEditor*>(scene->GetEditor());
    ASSERT_NE(meshEditor, nullptr);
    auto* meshPanel = dynamic_cast<TTriEditorFrame*>(host->EditorPanel());
    ASSERT_NE(meshPanel, nullptr);
    EXPECT_TRUE(meshPanel->Showing());
    ExpectBackInTheSceneEditor();

    // The arm clicked, M: the skin editor of its skin, bound to the shoulder bone, and its panel.
    ClickNode(arm, XVertex(0.35f, 0, 0));
    ASSERT_TRUE(arm->IsSelected());
    ASSERT_EQ(scene->GetSelNodeCount(), 1u);
    Type("m");
    auto* skinEditor = dynamic_cast<XSkinEditor*>(scene->GetEditor());
    ASSERT_NE(skinEditor, nullptr);
    auto* skin = dynamic_cast<XSkinModifier*>(arm->GetMesh()->GetModifier(0));
    ASSERT_NE(skin, nullptr);
    EXPECT_EQ(skinEditor->GetModifier(), skin);
    EXPECT_EQ(skin->GetBone(), Node(scene, u"Shoulder"));
    auto* skinPanel = dynamic_cast<TSkinEditorFrame*>(host->EditorPanel());
    ASSERT_NE(skinPanel, nullptr);
    EXPECT_TRUE(skinPanel->Showing());
    ExpectBackInTheSceneEditor();

    // Enter on the arm: its mesh editor too.
    Type("Return");
    EXPECT_NE(dynamic_cast<XTriMeshEditor*>(scene->GetEditor()), nullptr);
    ExpectBackInTheSceneEditor();

    // A: the animation editor of the arm's "Bend", and its panel.
    Type("a");
    auto* animationEditor = dynamic_cast<XAnimationEditor*>(scene->GetEditor());
    ASSERT_NE(animationEditor, nullptr);
    auto* animationPanel = dynamic_cast<TAnimationEditorFrame*>(host->EditorPanel());
    ASSERT_NE(animationPanel, nullptr);
    EXPECT_TRUE(animationPanel->Showing());
    ASSERT_NE(arm->GetAnimation(), nullptr);
    EXPECT_EQ(arm->GetAnimation()->Name, XString(ArmAnimation));

    // Halfway through "Bend" the elbow has lifted the forearm: in the front view the skinned
    // mesh has left the forearm's place at rest and stands where the bend takes it.
    XViewport* front = host->View()->GetViewport(1);
    XMatrix at;
    arm->GetMatrix(0, at);
    const XVertex shoulder(at.m[3][0], at.m[3][1], at.m[3][2]);
    const float length = 1.4f; // the host's arm: 14 of its 20ths of a box's 2 units
    const XVertex elbow = shoulder + XVertex(length / 2, 0, 0);
    const XVertex rest = elbow + XVertex(length / 4, 0, 0);
    const XVertex bent = elbow + XVertex(std::cos(ArmBend), std::sin(ArmBend), 0) * (length / 4);
    auto pixelsAround = [&](const XVertex& p)
    {
        WindowDriver reader;
        int w = 0, h = 0;
        std::vector<uint32_t> all = reader.Pixels(window, w, h);
        const XPoint s = FormPointOf(host.get(), front, p);
        std::vector<uint32_t> out;
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                out.push_back(all[static_cast<size_t>(std::lround(s.y) + dy) * static_cast<size_t>(w) +
                                  static_cast<size_t>(std::lround(s.x) + dx)] &
                              0xFFFFFF);
        return out;
    };
    host->View()->RenderScene(true);
    Settle();
    const std::vector<uint32_t> restAtRest = pixelsAround(rest), bentAtRest = pixelsAround(bent);
    scene->SetFrame(scene->GetMaxFrame() / 2);
    ASSERT_EQ(scene->GetFrame(), 50u);
    host->View()->RenderScene(true);
    Settle();
    EXPECT_GT(CountDifferentPixels(pixelsAround(rest), restAtRest, 8), 15u);
    EXPECT_GT(CountDifferentPixels(pixelsAround(bent), bentAtRest, 8), 15u);
    ExpectBackInTheSceneEditor();
    EXPECT_EQ(scene->GetFrame(), 0u);
}

namespace
{
// Whether the control looks pushed in (its frame dark along the top and left, light along the
// bottom and right) or raised (the other way round), from the window's pixels.
enum class Relief
{
    Pressed,
    Raised,
    Flat
};
Relief ReliefOf(const std::vector<uint32_t>& pixels, int width, TControl* control)
{
    const TPoint at = control->FormOrigin();
    auto brightness = [&](int x, int y)
    {
        const uint32_t c =
            pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
        return static_cast<int>(((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF));
    };
    const int midX = at.x + control->Width() / 2, midY = at.y + control->Height() / 2;
    const int top = brightness(midX, at.y), bottom = brightness(midX, at.y + control->Height() - 1);
    const int left = brightness(at.x, midY), right = brightness(at.x + control->Width() - 1, midY);
    if (top < bottom && left < right)
        return Relief::Pressed;
    if (top > bottom && left > right)
        return Relief::Raised;
    return Relief::Flat;
}
} // namespace

TEST_F(ViewDemoKeysWindowTest, TheChosenTransformButtonStandsPressedHoweverTheModeChanges)
{
    XView* view = host->View();
    const char* const names[4] = {"move", "rotate", "scale", "edit"};
    // The window shows the button of the view's transform type pressed and the others raised.
    auto showsChosen = [&](XTransformType type, std::string* wrong)
    {
        WindowDriver reader;
        int w = 0, h = 0;
        const std::vector<uint32_t> shown = reader.Pixels(window, w, h);
        if (shown.empty())
            return false;
        bool right = true;
        for (int i = 0; i < 4; ++i)
        {
            const Relief want = static_cast<XTransformType>(i) == type ? Relief::Pressed : Relief::Raised;
            if (ReliefOf(shown, w, host->TransformButton(i)) == want)
                continue;
            right = false;
            if (wrong)
                *wrong +=
                    std::string(names[i]) + (want == Relief::Pressed ? " not pressed; " : " not raised; ");
        }
        return right;
    };
    auto expectChosen = [&](XTransformType type, const std::string& how)
    {
        SCOPED_TRACE(how);
        EXPECT_EQ(view->GetTransformType(), type);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(host->TransformButton(i)->Down(), static_cast<XTransformType>(i) == type) << names[i];
        PumpUntil([&] { return showsChosen(type, nullptr); });
        std::string wrong;
        EXPECT_TRUE(showsChosen(type, &wrong)) << wrong;
        if (const char* folder = std::getenv("KELVANE_SHOTS"))
        {
            WindowDriver reader;
            int w = 0, h = 0;
            const std::vector<uint32_t> shown = reader.Pixels(window, w, h);
            std::string name = "view-demo-buttons-" + how + ".png";
            std::replace(name.begin(), name.end(), ' ', '-');
            WriteWholeFile(fs::path(folder) / name,
                           ImageFiles::Png(shown, static_cast<uint32_t>(w), static_cast<uint32_t>(h), false));
        }
    };

    // The view starts in edit, with the keys.
    expectChosen(XTT_EDIT, "at start");
    EXPECT_TRUE(view->Focused());
    // A click chooses each and leaves the keys with the view.
    for (XTransformType type : {XTT_MOVE, XTT_ROTATE, XTT_SCALE, XTT_EDIT, XTT_SCALE})
    {
        ClickOn(window, host->TransformButton(static_cast<int>(type)), 40, 12);
        expectChosen(type, std::string("clicked ") + names[type]);
        EXPECT_TRUE(view->Focused()) << names[type];
    }

    // A right press in a viewport while the camera zooms switches the view to edit: Edit stands
    // pressed at once, before the release opens the menu of layouts (closed here with Escape).
    int menus = 0;
    struct Closer
    {
        int* shown;
        void Show(TObject* sender)
        {
            ++*shown;
            PostMessageW(static_cast<TPopupMenu*>(sender)->Window()->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
        }
    } closer{&menus};
    host->LayoutMenu()->OnShow = MakeClosure(&closer, &Closer::Show);
    probe->MoveTo(window, 200, 150);
    probe->Button(3, true);
    ASSERT_TRUE(PumpUntil([&] { return view->GetTransformType() == XTT_EDIT; }));
    expectChosen(XTT_EDIT, "right press");
    probe->Button(3, false);
    ASSERT_TRUE(PumpUntil([&] { return menus == 1 && host->LayoutMenu()->Window() == nullptr; }));
    host->LayoutMenu()->OnShow = nullptr;
    expectChosen(XTT_EDIT, "after the menu");

    // Keys typed after a button click still reach the view: Enter opens the selected hill's mesh
    // editor and Escape leaves it, and neither touches the chosen button; the editor's own mode
    // buttons stand pressed beside it, one group each.
    XMeshNode* hill = Node(scene, u"Hill");
    ASSERT_NE(hill, nullptr);
    ClickNode(hill);
    ASSERT_TRUE(hill->IsSelected());
    ClickOn(window, host->TransformButton(XTT_ROTATE), 40, 12);
    expectChosen(XTT_ROTATE, "clicked rotate again");
    Type("Return");
    auto* meshEditor = dynamic_cast<XTriMeshEditor*>(scene->GetEditor());
    ASSERT_NE(meshEditor, nullptr) << "Enter did not reach the view";
    expectChosen(XTT_ROTATE, "in the mesh editor");
    ASSERT_EQ(host->ModeButtons().size(), 2u);
    ClickOn(window, host->ModeButtons()[1], 10, 10);
    EXPECT_EQ(meshEditor->GetMode(), 1);
    EXPECT_TRUE(host->ModeButtons()[1]->Down());
    EXPECT_FALSE(host->ModeButtons()[0]->Down());
    {
        WindowDriver reader;
        int w = 0, h = 0;
        const std::vector<uint32_t> shown = reader.Pixels(window, w, h);
        EXPECT_EQ(ReliefOf(shown, w, host->ModeButtons()[1]), Relief::Pressed);
        EXPECT_EQ(ReliefOf(shown, w, host->ModeButtons()[0]), Relief::Raised);
    }
    expectChosen(XTT_ROTATE, "mesh editor in face mode");
    ExpectBackInTheSceneEditor();
    expectChosen(XTT_ROTATE, "back in the scene editor");
}

// The demo program's command line, read before it looks for a display: a count of arguments its
// usage does not allow (a word too many, or half of a size) ends it with its usage, a number it
// cannot use with one line naming it, both with status 2; what it takes goes on to the display.
TEST(ViewDemoProgramTest, ArgumentsItCannotUseEndItWithStatusTwo)
{
    const std::string usage = "usage: view_host [WIDTH HEIGHT [BOXES SEGMENTS]]\n";
    const struct
    {
        std::vector<std::string> args;
        std::string said; // with status 2; nothing said is a command line taken (no display: status 1)
    } cases[] = {
        {{}, ""},
        {{"800", "600"}, ""},
        {{"800", "600", "1", "4"}, ""},
        {{"800"}, usage},
        {{"800", "600", "1"}, usage},
        {{"800", "600", "1", "4", "5"}, usage},
        {{"abc", "600"}, "view_host: 'abc' is not a number from 64 to 4096\n"},
        {{"800", "600", "1", "65"}, "view_host: '65' is not a number from 1 to 64\n"},
    };
    for (const auto& c : cases)
    {
        std::string line;
        for (const std::string& arg : c.args)
            line += " " + arg;
        SCOPED_TRACE("view_host" + line);
        std::string errors;
        const int status = RunProgram(
            fs::path(Platform::ProgramFolder()) / "view_host", c.args,
            [] { unsetenv("DISPLAY"); unsetenv("KELVANE_HEADLESS"); }, 60s, errors);
        if (c.said.empty())
        {
            EXPECT_EQ(status, 1) << errors;
            EXPECT_EQ(errors.rfind("view_host: no display to open a window on (", 0), 0u) << errors;
            continue;
        }
        EXPECT_EQ(status, 2);
        EXPECT_EQ(errors, c.said);
    }
}

namespace
{
// The demo program itself on a display of its own, driven as a user drives it.
class ViewDemoProgramWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.Running()) << m_server.Error();
        m_driver = std::make_unique<WindowDriver>();
        ASSERT_TRUE(m_driver->Connected());
        ASSERT_NO_FATAL_FAILURE(StartHost());
    }
    void TearDown() override
    {
        if (m_driver)
            m_driver->End();
    }

    // Starts the program (with `args`: window size, boxes and their segments) and waits for its
    // window. It saves into the folder it was started in, the test's, and makes its own folder in
    // there too (through TMPDIR), so that whatever it leaves goes with the test's folder.
    void StartHost(const std::vector<std::string>& args = {})
    {
        const fs::path host = fs::path(Platform::ProgramFolder()) / "view_host";
        ASSERT_TRUE(fs::exists(host));
        const fs::path here = fs::current_path();
        fs::current_path(m_dir.Path());
        const bool started =
            m_driver->Start(host.string(), args, m_errors.string(), {"TMPDIR=" + m_dir.Path().string()});
        fs::current_path(here);
        ASSERT_TRUE(started);
        // A deadline only a program that never shows misses: a loaded machine starts it slowly.
        m_window = m_driver->FindWindow("View host", 120s);
        ASSERT_NE(m_window, 0u) << ReadWholeFile(m_errors);
        m_driver->Settle(1000ms);
    }

    VirtualDisplay m_server{1280, 800};
    std::unique_ptr<WindowDriver> m_driver;
    TempDir m_dir{"view_demo_program"};
    fs::path m_errors = m_dir.Path() / "errors.txt";
    unsigned long m_window = 0;
};
} // namespace

TEST_F(ViewDemoProgramWindowTest, F12SavesTheViewAsBmpAndJpeg)
{
    // A click in a viewport gives the view the keys (the move mode's click moves nothing).
    m_driver->Focus(m_window);
    m_driver->Click(m_window, 600, 450);
    m_driver->Settle(500ms);
    const fs::path bmp = m_dir.Path() / "view.bmp", jpg = m_dir.Path() / "view.jpg";
    m_driver->Key(XK_F12);
    // The program says so once a file is whole: the JPEG comes second.
    ASSERT_TRUE(WindowDriver::Eventually(
        [&] { return ReadWholeFile(m_errors).find("view.jpg") != std::string::npos; }, 30s))
        << ReadWholeFile(m_errors);
    ASSERT_TRUE(fs::exists(bmp)) << ReadWholeFile(m_errors);
    ASSERT_TRUE(fs::exists(jpg)) << ReadWholeFile(m_errors);

    // Both hold the 800 x 600 view as the window shows it (the view fills the window's top left):
    // the viewports' pictures, inside their frames (drawn on the window, not by the device). The
    // 2 x 2 layout at 800 x 600: 3-pixel splitters, 2-pixel frames. The click selected what it hit:
    // the window shows that once the render timer's next frame is up, however long a frame takes.
    const int pictures[4][4] = {
        {2, 2, 396, 296}, {403, 2, 798, 296}, {2, 303, 396, 598}, {403, 303, 798, 598}};
    auto inPicture = [&](int x, int y)
    {
        for (const auto& r : pictures)
            if (x >= r[0] && y >= r[1] && x < r[2] && y < r[3])
                return true;
        return false;
    };

    // The BMP: every pixel of the pictures as shown.
    const DecodedImage fromBmp = DecodeBmp(ReadWholeFileData(bmp));
    ASSERT_EQ(fromBmp.width, 800) << fromBmp.error;
    ASSERT_EQ(fromBmp.height, 600);
    auto differ = [&]
    {
        int w = 0, h = 0;
        const std::vector<uint32_t> shown = m_driver->Pixels(m_window, w, h);
        if (w < 800 || h < 600)
            return size_t{800 * 600};
        size_t count = 0;
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x)
            {
                const uint8_t* p = &fromBmp.rgba[(static_cast<size_t>(y) * 800 + static_cast<size_t>(x)) * 4];
                const uint32_t saved =
                    static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
                const uint32_t seen =
                    shown[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)];
                count += inPicture(x, y) && saved != (seen & 0xFFFFFF);
            }
        return count;
    };
    WindowDriver::Eventually([&] { return differ() == 0; }, 30s);
    EXPECT_EQ(differ(), 0u);

    // The JPEG: the same frame through the view's JPEG capture (whose fidelity the capture's own
    // window test checks).
    const DecodedImage fromJpeg = DecodeWithLibJpeg(ReadWholeFileData(jpg));
    EXPECT_EQ(fromJpeg.width, 800) << fromJpeg.error;
    EXPECT_EQ(fromJpeg.height, 600);
    EXPECT_NE(ReadWholeFile(m_errors).find("saved"), std::string::npos);
}

TEST_F(ViewDemoProgramWindowTest, InterruptTerminateAndHangupRemoveTheProgramsFolder)
{
    // The program's own folders (its scene's texture is written there) in the test's folder.
    auto programFolders = [&]
    {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(m_dir.Path()))
            if (entry.is_directory() && entry.path().filename().string().rfind("view_host-", 0) == 0)
                found.push_back(entry.path());
        return found;
    };
    XProbe probe(m_server.Name());
    ASSERT_TRUE(probe.Open());
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
    {
        SCOPED_TRACE(strsignal(signal));
        if (!m_driver->Running())
        {
            ASSERT_NO_FATAL_FAILURE(StartHost());
        }
        const std::vector<fs::path> folders = programFolders();
        ASSERT_EQ(folders.size(), 1u);
        EXPECT_FALSE(fs::is_empty(folders[0]));
        if (signal == SIGHUP)
        {
            // The menu of layouts open: its own loop runs, and it closes before the window does.
            // (Seen as a window over the program's, not by grabbing the pointer: a grab of the
            // test's own would take the click or the menu's grab.)
            ASSERT_TRUE(probe.Topmost(m_window));
            m_driver->Click(m_window, 200, 150, 3);
            ASSERT_TRUE(WindowDriver::Eventually([&] { return !probe.Topmost(m_window); }, 60s))
                << "no menu shows";
        }
        ASSERT_EQ(::kill(m_driver->Pid(), signal), 0);
        EXPECT_EQ(m_driver->Wait(30s), 128 + signal);
        // The window goes with the program (before the next program's is looked for).
        EXPECT_TRUE(m_driver->WaitGone(m_window, 30s));
        EXPECT_TRUE(programFolders().empty()) << folders[0] << " is left";
        // Each signal on its own: what one left does not count against the next.
        std::error_code ignored;
        fs::remove_all(folders[0], ignored);
        const std::string errors = ReadWholeFile(m_errors);
        for (const char* mark : {"AddressSanitizer", "runtime error", "LeakSanitizer"})
            EXPECT_EQ(errors.find(mark), std::string::npos) << errors;
    }
}

namespace
{
// The demo program under a window manager (twm), as a user runs it on a desktop.
class ViewDemoProgramUnderWindowManagerTest : public ViewDemoProgramWindowTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.Running()) << m_server.Error();
        m_wm = std::make_unique<WindowManager>(m_server.Name());
        ASSERT_TRUE(m_wm->Running()) << m_wm->Error();
        ViewDemoProgramWindowTest::SetUp();
    }
    void TearDown() override
    {
        ViewDemoProgramWindowTest::TearDown();
        m_wm.reset();
    }

    std::unique_ptr<WindowManager> m_wm;
};
} // namespace

TEST_F(ViewDemoProgramUnderWindowManagerTest, TheWindowTakesNoSizeThatPutsAButtonOrThePanelOutOfReach)
{
    // The manager is told the least size; the narrower window a user gave it is refused.
    const WindowManager::Facts facts = m_wm->Read(m_window);
    ASSERT_GT(facts.minWidth, 800);
    ASSERT_GT(facts.minHeight, TViewHostForm::ButtonRow);
    int w = 0, h = 0;
    for (const auto& [askedW, askedH] : {std::pair{800, 500}, std::pair{400, 200}})
    {
        SCOPED_TRACE(std::to_string(askedW) + " x " + std::to_string(askedH));
        m_driver->Resize(m_window, askedW, askedH);
        EXPECT_TRUE(WindowDriver::Eventually(
            [&]
            {
                m_driver->Size(m_window, w, h);
                return w == std::max(askedW, facts.minWidth) && h == std::max(askedH, facts.minHeight);
            },
            30s))
            << w << " x " << h;
    }
    // At the least size the row's last button (80 wide) ends one margin short of the panel and
    // takes a click: it goes down, its edges from one end to the other turning over.
    m_driver->Settle(500ms);
    const int right = w - TViewHostForm::PanelWidth - 4, top = h - TViewHostForm::ButtonRow + 4;
    auto edge = [&](int x)
    {
        int pw = 0, ph = 0;
        const std::vector<uint32_t> pixels = m_driver->Pixels(m_window, pw, ph);
        std::vector<uint32_t> column;
        for (int y = top + 2; y < top + 22 && pw == w && ph == h; ++y)
            column.push_back(pixels[static_cast<size_t>(y) * static_cast<size_t>(pw) + static_cast<size_t>(x)]);
        return column;
    };
    const std::vector<uint32_t> leftUp = edge(right - 80), rightUp = edge(right - 1);
    ASSERT_FALSE(leftUp.empty());
    m_driver->Click(m_window, right - 40, top + 12);
    EXPECT_TRUE(WindowDriver::Eventually(
        [&] { return CountDifferentPixels(edge(right - 80), leftUp, 8) > 10 && CountDifferentPixels(edge(right - 1), rightUp, 8) > 10; },
        30s))
        << "the last mode button did not go down";
}

TEST_F(ViewDemoProgramUnderWindowManagerTest,
       TheLayoutMenuIsAnUnframedPopupHoldingTheInputAndACloseEndsTheHost)
{
    XProbe probe(m_server.Name());
    ASSERT_TRUE(probe.Open());
    const char* const type = "_NET_WM_WINDOW_TYPE_POPUP_MENU";
    // A right click in the top-left viewport opens the menu; it holds the pointer and the keyboard.
    auto open = [&]
    {
        m_driver->Click(m_window, 200, 150, 3);
        unsigned long menu = 0;
        EXPECT_TRUE(WindowDriver::Eventually([&] { return (menu = m_wm->FindShown(type)) != 0; }))
            << "no menu";
        EXPECT_TRUE(WindowDriver::Eventually([&] { return !probe.PointerFree() && !probe.KeyboardFree(); }))
            << "the menu holds the pointer and the keyboard";
        return menu;
    };
    // The menu has gone and given the input back; the view has the keyboard again.
    auto expectClosed = [&](bool viewFocused)
    {
        EXPECT_TRUE(WindowDriver::Eventually([&] { return m_wm->FindShown(type) == 0; }))
            << "the menu is still open";
        EXPECT_TRUE(WindowDriver::Eventually([&] { return probe.PointerFree() && probe.KeyboardFree(); }));
        if (viewFocused)
        {
            EXPECT_TRUE(WindowDriver::Eventually([&] { return m_wm->Focused(m_window); }));
        }
    };

    // Nothing of the manager's around it: no frame, no title bar; where the pointer is.
    m_driver->Settle(300ms);
    int w = 0, h = 0;
    const std::vector<uint32_t> before = m_driver->Pixels(m_window, w, h);
    const unsigned long menu = open();
    ASSERT_NE(menu, 0u);
    const WindowManager::Facts facts = m_wm->Read(menu);
    EXPECT_TRUE(facts.overrideRedirect);
    EXPECT_FALSE(facts.framed) << "the manager gave the menu a frame";
    EXPECT_EQ(facts.transientFor, m_window);
    int menuX = 0, menuY = 0, pointerX = 0, pointerY = 0;
    probe.RootOrigin(menu, menuX, menuY);
    probe.RootPosition(m_window, 200, 150, pointerX, pointerY);
    EXPECT_EQ(menuX, pointerX);
    EXPECT_EQ(menuY, pointerY);
    if (const char* folder = std::getenv("KELVANE_SHOTS"))
    {
        m_driver->Settle(300ms);
        int sw = 0, sh = 0;
        const std::vector<uint32_t> screen = m_wm->Screenshot(sw, sh);
        WriteWholeFile(fs::path(folder) / "layout-menu-twm.png",
                       ImageFiles::Png(screen, static_cast<uint32_t>(sw), static_cast<uint32_t>(sh), false));
    }

    // Keys reach it: Down and Enter choose the first layout, one viewport, which the view shows.
    m_driver->Key(XK_Down);
    m_driver->Key(XK_Return);
    expectClosed(true);
    EXPECT_TRUE(WindowDriver::Eventually(
        [&] { return CountDifferentPixels(m_driver->Pixels(m_window, w, h), before, 8) > 10000; }))
        << "the layout did not change";

    // Escape closes it; so does a click on the desktop beside the window.
    ASSERT_NE(open(), 0u);
    m_driver->Key(XK_Escape);
    expectClosed(true);
    ASSERT_NE(open(), 0u);
    probe.MoveToRoot(1270, 790); // right of and below the window
    probe.Button(1, true);
    probe.Button(1, false);
    expectClosed(false);

    // Asked to close while the menu shows: the menu goes, then the view, and the host ends.
    ASSERT_NE(open(), 0u);
    m_driver->RequestClose(m_window);
    const int status = m_driver->Wait(30s);
    EXPECT_EQ(status, 0) << ReadWholeFile(m_errors);
    for (const char* mark : {"AddressSanitizer", "runtime error", "LeakSanitizer"})
        EXPECT_EQ(ReadWholeFile(m_errors).find(mark), std::string::npos) << ReadWholeFile(m_errors);
}

TEST_F(ViewDemoProgramUnderWindowManagerTest,
       TheLayoutMenuPaintsOnlyTheHighlightedRowInTheHighlightOverTheBusyView)
{
    // The view's render timer keeps running under the menu. With a scene whose frame takes longer
    // than the timer's period (as in a sanitizer build, or on a busy machine), a timer is due at
    // every turn of the program's loop; the menu is painted all the same, each time its highlight
    // moves, within a frame or so.
    ASSERT_EQ(m_driver->End(), 128 + SIGTERM) << ReadWholeFile(m_errors);
    ASSERT_TRUE(m_driver->WaitGone(m_window, 30s));
    ASSERT_NO_FATAL_FAILURE(StartHost({"800", "600", "20", "16"}));
    const char* const type = "_NET_WM_WINDOW_TYPE_POPUP_MENU";
    const uint32_t navy = Platform::Gdi::ToPixel(ColorToRGB(clHighlight));
    const uint32_t face = Platform::Gdi::ToPixel(ColorToRGB(clBtnFace));
    const int rows = 12; // the layouts
    m_driver->Click(m_window, 200, 150, 3);
    unsigned long menu = 0;
    ASSERT_TRUE(WindowDriver::Eventually([&] { return (menu = m_wm->FindShown(type)) != 0; }, 60s))
        << "no menu";
    int w = 0, h = 0;
    m_driver->Size(menu, w, h);
    ASSERT_GT(h, 4);
    ASSERT_EQ((h - 4) % rows, 0) << h;
    const int rowHeight = (h - 4) / rows;

    // Each row's highlight and face pixels inside the menu's edge.
    struct Counts
    {
        int navy = 0, face = 0;
    };
    auto count = [&](const std::vector<uint32_t>& pixels)
    {
        std::vector<Counts> out(rows);
        if (pixels.size() != static_cast<size_t>(w) * static_cast<size_t>(h))
            return out;
        for (int row = 0; row < rows; ++row)
            for (int y = 2 + row * rowHeight; y < 2 + (row + 1) * rowHeight; ++y)
                for (int x = 2; x < w - 2; ++x)
                {
                    const uint32_t pixel =
                        pixels[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)];
                    out[static_cast<size_t>(row)].navy += (pixel & 0xFFFFFF) == navy;
                    out[static_cast<size_t>(row)].face += (pixel & 0xFFFFFF) == face;
                }
        return out;
    };
    // Most of a row is its background: the highlight's in the hot row, the face in the others.
    const int area = rowHeight * (w - 4);
    auto shows = [&](const std::vector<Counts>& counts, int hot)
    {
        for (int row = 0; row < rows; ++row)
        {
            const Counts& c = counts[static_cast<size_t>(row)];
            if (row == hot ? c.navy * 2 < area : c.face * 2 < area)
                return false;
        }
        return true;
    };
    // Waits for the menu's paint that shows `hot` highlighted (-1: none), the picture read twice
    // alike so that no half-shown paint is judged.
    auto painted = [&](int hot, std::vector<uint32_t>& pixels)
    {
        std::vector<uint32_t> last;
        return WindowDriver::Eventually(
            [&]
            {
                int pw = 0, ph = 0;
                pixels = m_driver->Pixels(menu, pw, ph);
                const bool same = pixels == last;
                last = pixels;
                return pw == w && ph == h && same && shows(count(pixels), hot);
            },
            60s);
    };

    std::vector<uint32_t> pixels;
    ASSERT_TRUE(painted(-1, pixels)) << "the menu was never painted";
    for (const Counts& c : count(pixels))
        EXPECT_EQ(c.navy, 0);
    // The first row by the Down key, a middle one and the last by the pointer.
    for (int hot : {0, rows / 2, rows - 1})
    {
        SCOPED_TRACE("row " + std::to_string(hot) + " highlighted");
        if (hot == 0)
            m_driver->Key(XK_Down);
        else
            m_driver->MoveTo(menu, w / 2, 2 + hot * rowHeight + rowHeight / 2);
        EXPECT_TRUE(painted(hot, pixels)) << "the highlight never showed";
        const std::vector<Counts> counts = count(pixels);
        for (int row = 0; row < rows; ++row)
        {
            if (row != hot)
            {
                EXPECT_EQ(counts[static_cast<size_t>(row)].navy, 0) << "row " << row;
            }
        }
        if (const char* folder = std::getenv("KELVANE_SHOTS"))
        {
            int sw = 0, sh = 0;
            const std::vector<uint32_t> screen = m_wm->Screenshot(sw, sh);
            const std::string name = "layout-menu-row-" + std::to_string(hot);
            WriteWholeFile(
                fs::path(folder) / (name + ".png"),
                ImageFiles::Png(screen, static_cast<uint32_t>(sw), static_cast<uint32_t>(sh), false));
            WriteWholeFile(
                fs::path(folder) / (name + "-menu.png"),
                ImageFiles::Png(pixels, static_cast<uint32_t>(w), static_cast<uint32_t>(h), false));
        }
    }
    m_driver->Key(XK_Escape);
    EXPECT_TRUE(WindowDriver::Eventually([&] { return m_wm->FindShown(type) == 0; }))
        << "the menu is still open";
}
