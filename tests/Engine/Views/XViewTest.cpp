#include "Engine/Views/XView.h"

#include "Components/XMemoryStream.h"
#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XUVModifier.h"
#include "Engine/Scene/XCamera.h"
#include "Engine/Scene/XFont.h"
#include "Engine/Scene/XScene.h"
#include "Engine/Scene/XTexture.h"
#include "Engine/Views/XViewport.h"
#include "Platform/D3D9/D3D9Testing.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/IniFiles.h"
#include "tests/support/ChunkBytes.h"
#include "tests/support/ManualClock.h"
#include "tests/support/RecordingEditor.h"
#include "tests/support/TempDir.h"
#include "tests/support/Thrown.h"
#include "tests/support/ViewScene.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
std::vector<std::string>* g_Log = nullptr;

// A view whose frames and keys a test can follow and press.
class TestView : public XView
{
public:
    using XView::XView;
    using XView::KeyDown;
    using XView::KeyPress;
    using XView::KeyUp;
    void RenderFinish() override
    {
        if (throwOnce)
        {
            throwOnce = false;
            throw XException(u"frame failed");
        }
        if (g_Log)
            g_Log->push_back("frame");
    }
    bool throwOnce = false;
};

// An object that notes the device events its scene passes on.
class DeviceNotes : public XUVModifier
{
public:
    explicit DeviceNotes(std::string name) : m_Name(std::move(name)) {}
    void CreateDevice(IDirect3DDevice9* device) override { Note("create", device); }
    void ReleaseDevice(IDirect3DDevice9* device) override { Note("release", device); }
    void InvalidateDevice(IDirect3DDevice9* device) override { Note("invalidate", device); }
    void RestoreDevice(IDirect3DDevice9* device) override { Note("restore", device); }

private:
    void Note(const char* what, IDirect3DDevice9* device)
    {
        if (g_Log && device)
            g_Log->push_back(m_Name + " " + what);
    }
    std::string m_Name;
};

// A form holding a view of the given size whose window (and so device) exists.
struct Host
{
    TForm form{nullptr};
    TestView* view;
    explicit Host(int w = 300, int h = 200, bool window = true)
    {
        form.SetBounds(0, 0, w + 40, h + 40);
        view = new TestView(&form);
        view->SetParent(&form);
        view->SetBounds(0, 0, w, h);
        if (window)
            form.HandleNeeded();
    }
};

ISoftDevice9* Soft(IDirect3DDevice9* device)
{
    ISoftDevice9* soft = nullptr;
    if (device)
        device->QueryInterface(IID_ISoftDevice9, reinterpret_cast<void**>(&soft));
    if (soft)
        soft->Release();
    return soft;
}

// Starts the device's call log afresh.
void StartLog(IDirect3DDevice9* device)
{
    Soft(device)->EnableCallLog(true);
}

size_t Presents(IDirect3DDevice9* device)
{
    size_t n = 0;
    for (const D3D9Call& call : Soft(device)->GetCallLog())
        n += call.name == "Present";
    return n;
}

TRect Bounds(const TControl* c)
{
    return c->BoundsRect();
}

TRect B(int l, int t, int w, int h)
{
    return TRect(l, t, l + w, t + h);
}

uint32_t U32(const std::vector<uint8_t>& bytes, size_t at)
{
    uint32_t v = 0;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

// The chunk ids directly inside the chunk that starts at `at`.
std::vector<uint32_t> ChildIds(const std::vector<uint8_t>& bytes, size_t at)
{
    std::vector<uint32_t> ids;
    size_t end = at + U32(bytes, at + 4);
    for (size_t p = at + 8; p + 8 <= end; p += U32(bytes, p + 4))
        ids.push_back(U32(bytes, p));
    return ids;
}

// Loads the view block in `bytes` into the view.
void LoadView(XView* view, const std::vector<uint8_t>& bytes)
{
    XMemoryStream stream(0, 4096);
    LoadStream(stream, bytes);
    XReader reader(&stream);
    ASSERT_TRUE(reader.NextChunk());
    view->Load(nullptr, reader);
    reader.EndChunk();
}
} // namespace

TEST(XViewTest, LayoutComesWithTheWindowFollowsSplittersAndResizes)
{
    Host host(300, 200, false);
    XView* view = host.view;
    // Stored, not applied, until the window exists.
    EXPECT_EQ(view->GetViewportLayout(), 11);
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(view->GetViewport(i)->Visible());
    EXPECT_EQ(view->GetActiveViewport(), view->GetViewport(0));
    EXPECT_EQ(view->GetTransformType(), XTT_EDIT);
    host.form.HandleNeeded();
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(view->GetViewport(i)->Visible()) << i;
    EXPECT_EQ(Bounds(view->GetContainer(0)), B(0, 0, 148, 200));
    EXPECT_EQ(Bounds(view->GetViewport(2)), B(0, 101, 148, 99));

    view->SetViewportLayout(7);
    EXPECT_EQ(Bounds(view->GetViewport(0)), B(0, 0, 99, 64));
    EXPECT_EQ(Bounds(view->GetSplitter(1)), B(0, 64, 99, 3));
    EXPECT_EQ(Bounds(view->GetViewport(2)), B(0, 134, 99, 66));
    EXPECT_EQ(Bounds(view->GetContainer(1)), B(102, 0, 198, 200));
    for (int n : {12, -1})
    {
        view->SetViewportLayout(n);
        EXPECT_EQ(view->GetViewportLayout(), 11);
    }
    EXPECT_EQ(Bounds(view->GetSplitter(0)), B(148, 0, 3, 200));
    EXPECT_EQ(Bounds(view->GetContainer(1)), B(151, 0, 149, 200));
    EXPECT_EQ(view->GetViewport(3)->Parent(), view->GetContainer(1));
    EXPECT_EQ(Bounds(view->GetViewport(3)), B(0, 101, 149, 99));

    // The left column's row splitter moved to t: both rows follow.
    TSplitter* sp1 = view->GetSplitter(1);
    sp1->SetTop(60);
    view->GetViewport(0)->SetHeight(60);
    view->OnSplitterMoved(sp1);
    EXPECT_EQ(view->GetViewport(0)->Height(), 60);
    EXPECT_EQ(view->GetViewport(1)->Height(), 60);
    EXPECT_EQ(view->GetSplitter(2)->Top(), 60);
    EXPECT_EQ(view->GetViewport(3)->Top(), 63);
    // A third of the height survives the view doubling.
    sp1->SetTop(66);
    view->GetViewport(0)->SetHeight(66);
    view->OnSplitterMoved(sp1);
    view->SetBounds(0, 0, 600, 400);
    EXPECT_EQ(view->GetViewport(0)->Height(), 132);
    EXPECT_EQ(view->GetViewport(1)->Height(), 132);
    EXPECT_EQ(view->GetContainer(0)->Width(), 296);

    view->SetViewportLayout(0);
    EXPECT_TRUE(view->GetViewport(0)->Visible());
    for (int i = 1; i < 4; ++i)
        EXPECT_FALSE(view->GetViewport(i)->Visible());
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(view->GetSplitter(i)->Visible());
    EXPECT_EQ(Bounds(view->GetViewport(0)), B(0, 0, 600, 400));

    // Too narrow for its splitters: nothing huge or negative shown; a hidden viewport keeps the
    // size it had.
    view->SetBounds(0, 0, 2, 200);
    for (int n = 0; n <= 11; ++n)
    {
        int widths[4];
        for (int i = 0; i < 4; ++i)
            widths[i] = view->GetViewport(i)->Width();
        view->SetViewportLayout(n);
        for (int i = 0; i < 4; ++i)
        {
            XViewport* v = view->GetViewport(i);
            EXPECT_LE(v->Width(), v->Visible() ? 2 : widths[i]) << n;
            EXPECT_GE(v->Left(), 0) << n;
        }
    }
}

TEST(XViewTest, LayoutZeroLeavesTheHiddenViewportsAndTheirSavedCamerasAsTheyWere)
{
    TempDir dir("xview");
    XScene scene(nullptr);
    BuildViewScene(scene, dir.Path(), ViewSceneOptions{1, 1, false});
    Host host;
    host.view->SetPrimary(true);
    host.view->SetScene(&scene);
    ASSERT_EQ(host.view->GetViewportLayout(), 11);
    EXPECT_EQ(Bounds(host.view->GetViewport(1)), B(0, 0, 149, 98));
    TRect before[4];
    float aspects[4];
    for (int i = 0; i < 4; ++i)
    {
        before[i] = Bounds(host.view->GetViewport(i));
        aspects[i] = host.view->GetViewport(i)->GetCamera()->GetAspectRatio();
    }
    EXPECT_NEAR(aspects[1], 149.0f / 98.0f, 1e-4f);
    EXPECT_NEAR(aspects[3], 149.0f / 99.0f, 1e-4f);

    host.view->SetViewportLayout(0);
    EXPECT_EQ(Bounds(host.view->GetViewport(0)), B(0, 0, 300, 200));
    EXPECT_FLOAT_EQ(host.view->GetViewport(0)->GetCamera()->GetAspectRatio(), 1.5f);
    for (int i = 1; i < 4; ++i)
    {
        XViewport* v = host.view->GetViewport(i);
        EXPECT_FALSE(v->Visible()) << i;
        EXPECT_EQ(v->Width(), before[i].Width()) << i;
        EXPECT_EQ(v->Height(), before[i].Height()) << i;
        EXPECT_FLOAT_EQ(v->GetCamera()->GetAspectRatio(), aspects[i]) << i;
    }

    // The scene file keeps the aspects the hidden viewports had; they come back into another view.
    XMemoryStream saved(0, 4096);
    scene.SaveToStream(&saved);
    Host other;
    XScene again(nullptr);
    other.view->SetPrimary(true);
    other.view->SetScene(&again);
    saved.SetPosition(0);
    again.LoadFromStream(&saved);
    EXPECT_EQ(other.view->GetViewportLayout(), 0);
    for (int i = 1; i < 4; ++i)
        EXPECT_FLOAT_EQ(other.view->GetViewport(i)->GetCamera()->GetAspectRatio(), aspects[i]) << i;
}

TEST(XViewTest, ScenesJoinOnceLeaveWhenFreedAndOnlyAPrimaryViewShowsThem)
{
    std::vector<std::string> log;
    g_Log = &log;
    {
        Host host;
        TestView* view = host.view;
        auto* a = new XScene(nullptr);
        XScene b(nullptr);
        a->AttachObject(new DeviceNotes("a"));
        b.AttachObject(new DeviceNotes("b"));
        EXPECT_EQ(view->AddScene(a), 0);
        EXPECT_EQ(view->AddScene(a), 0);
        EXPECT_EQ(view->AddScene(&b), 1);
        EXPECT_EQ(view->AddScene(nullptr), -1);
        EXPECT_EQ(view->GetScenes().GetCount(), 2u);
        XScene absent(nullptr);
        EXPECT_EQ(view->DeleteScene(&absent), -1);
        EXPECT_EQ(ThrownMessage([&] { (void)view->GetScenes()[2]; }), u"Out of range.");

        // Not primary: the current scene is drawn but hears no device events and is not shown.
        view->SetScene(&b);
        log.clear();
        view->RecreateDevice();
        StartLog(view->GetDevice());
        view->RenderScene(true);
        EXPECT_EQ(log, (std::vector<std::string>{"frame"}));
        EXPECT_EQ(b.GetView(), nullptr);
        EXPECT_EQ(Presents(view->GetDevice()), 4u);

        // Primary: showing the scene hands it the device; the events go last scene first.
        view->SetPrimary(true);
        EXPECT_EQ(b.GetView(), view);
        log.clear();
        view->ResetDevice();
        view->RecreateDevice();
        EXPECT_EQ(log, (std::vector<std::string>{"b invalidate", "a invalidate", "b restore", "a restore", "b release",
                                                 "a release", "b create", "a create"}));

        // A freed scene leaves the list, current or not.
        view->SetScene(a);
        delete a;
        EXPECT_EQ(view->GetScene(), nullptr);
        ASSERT_EQ(view->GetScenes().GetCount(), 1u);
        EXPECT_EQ(view->GetScenes()[0], &b);
        view->DeleteScene(&b);
        EXPECT_EQ(view->GetScenes().GetCount(), 0u);
    }
    g_Log = nullptr;

    // A scene outliving its view: out of it, its textures released while the device stood.
    TempDir dir("xview");
    XScene scene(nullptr);
    BuildViewScene(scene, dir.Path());
    XTexture* texture = static_cast<XTexture*>(scene.FindObject(XString(u"Checker")));
    ASSERT_NE(texture, nullptr);
    {
        Host host;
        host.view->SetPrimary(true);
        host.view->SetScene(&scene);
        host.view->RenderScene(true); // textures are made when first drawn
        EXPECT_NE(texture->GetD3DTexture(), nullptr);
        host.view->SetTransformType(XTT_ROTATE);
        EXPECT_EQ(scene.GetTransformType(), 1u);
    }
    EXPECT_EQ(scene.GetView(), nullptr);
    EXPECT_EQ(texture->GetD3DTexture(), nullptr);
    scene.ClearScene();
    EXPECT_EQ(scene.GetObjectCount(), 0u);
}

TEST(XViewTest, NoSceneKeepsAViewThatNoLongerListsItOrIsGone)
{
    TempDir dir("xview");
    XScene c(nullptr);
    BuildViewScene(c, dir.Path(), ViewSceneOptions{1, 1, false});
    XTexture* texture = static_cast<XTexture*>(c.FindObject(XString(u"Checker")));
    ASSERT_NE(texture, nullptr);
    Host w;
    w.view->SetPrimary(true);
    {
        // Taken out of its view by DeleteScene: it leaves the view as SetView(nullptr) would,
        // releasing its device resources while the device stands.
        Host v;
        v.view->SetPrimary(true);
        v.view->SetScene(&c);
        v.view->RenderScene(true);
        EXPECT_NE(texture->GetD3DTexture(), nullptr);
        v.view->SetScene(nullptr);
        EXPECT_EQ(c.GetView(), v.view);
        EXPECT_EQ(v.view->DeleteScene(&c), 0);
        EXPECT_EQ(c.GetView(), nullptr);
        EXPECT_EQ(texture->GetD3DTexture(), nullptr);
        EXPECT_EQ(v.view->GetScenes().GetCount(), 0u);
    }
    // The view is gone: another takes the scene cleanly.
    w.view->SetScene(&c);
    EXPECT_EQ(c.GetView(), w.view);
    w.view->RenderScene(true);
    EXPECT_NE(texture->GetD3DTexture(), nullptr);

    // A view going away leaves every scene it shows with none, the current one or not.
    XScene d(nullptr);
    {
        Host v;
        v.view->SetPrimary(true);
        v.view->SetScene(&d);
        w.view->SetScene(nullptr);
        v.view->SetScene(&c); // c moves from w to v; d stays listed in v and shown there
        EXPECT_EQ(c.GetView(), v.view);
        EXPECT_EQ(d.GetView(), v.view);
        EXPECT_EQ(w.view->GetScenes().IndexOf(&c), -1);
    }
    EXPECT_EQ(c.GetView(), nullptr);
    EXPECT_EQ(d.GetView(), nullptr);
    w.view->SetScene(&d);
    w.view->SetScene(&c);
    EXPECT_EQ(c.GetView(), w.view);
    EXPECT_EQ(d.GetView(), w.view);
    EXPECT_EQ(w.view->GetScenes().GetCount(), 2u);
}

TEST(XViewTest, TransformTypeReachesTheScenesAndActiveViewportFiresLeaveThenEnter)
{
    Host host;
    XView* view = host.view;
    XScene first(nullptr), second(nullptr);
    first.SetTransformType(2);
    view->AddScene(&first);
    EXPECT_EQ(first.GetTransformType(), 0u); // nothing navigated yet
    view->SetTransformType(XTT_SCALE);
    view->SetTransformType(XTT_EDIT);
    EXPECT_EQ(first.GetTransformType(), 2u);
    view->AddScene(&second);
    EXPECT_EQ(second.GetTransformType(), 2u); // the last navigation type
    EXPECT_EQ(view->GetTransformType(), XTT_EDIT);

    struct Events
    {
        std::vector<std::string> lines;
        XView* view;
        void Enter(TObject* sender, XViewport* v) { Note("enter", sender, v); }
        void Leave(TObject* sender, XViewport* v) { Note("leave", sender, v); }
        void Note(const char* what, TObject* sender, XViewport* v)
        {
            for (int i = 0; i < 4; ++i)
                if (view->GetViewport(i) == v && sender == view)
                    lines.push_back(std::string(what) + " " + std::to_string(i));
        }
    } events{{}, view};
    view->OnViewportEnter = MakeClosure(&events, &Events::Enter);
    view->OnViewportLeave = MakeClosure(&events, &Events::Leave);
    view->SetActiveViewport(view->GetViewport(2));
    view->SetActiveViewport(view->GetViewport(2));
    view->SetActiveViewport(nullptr);
    XViewport stranger(nullptr, view);
    view->SetActiveViewport(&stranger);
    EXPECT_EQ(events.lines, (std::vector<std::string>{"leave 0", "enter 2"}));
    EXPECT_EQ(view->GetActiveViewport(), view->GetViewport(2));

    const char16_t* captions[4] = {u"Сверху - XZ", u"Спереди - XY", u"Слева - YZ", u"Сверху - XZ"};
    XMatrix moved(1.0f);
    moved.SetTranslation(5, 5, 5);
    view->GetViewport(1)->GetCamera()->SetWorldMatrix(0, moved);
    view->ResetViewports();
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(view->GetViewport(i)->GetCaption(), XString(captions[i])) << i;
    XMatrix front;
    view->GetViewport(1)->GetCamera()->GetMatrix(0, front);
    EXPECT_FLOAT_EQ(front.m[3][0], 0.0f);
}

TEST(XViewTest, TimerDrawsAFramePerTickAfterQueuedInputAndSurvivesAThrowingFrame)
{
    ManualClock clock;
    std::vector<std::string> log;
    g_Log = &log;
    {
        Host host;
        TestView* view = host.view;
        XScene scene(nullptr);
        view->SetScene(&scene);
        IDirect3DDevice9* device = view->GetDevice();
        ASSERT_NE(device, nullptr);
        StartLog(device);
        EXPECT_FALSE(view->GetTimerEnabled());
        EXPECT_EQ(view->GetTimerInterval(), 75u);
        Application->ProcessMessages();
        clock.Advance(200);
        Application->ProcessMessages();
        EXPECT_TRUE(log.empty()); // off: nothing draws

        view->SetTimerEnabled(true);
        Soft(device)->ClearCallLog();
        clock.Advance(75);
        Application->ProcessMessages();
        EXPECT_EQ(log.size(), 1u);
        EXPECT_EQ(Presents(device), 4u);

        view->SetViewportLayout(0);
        Soft(device)->ClearCallLog();
        clock.Advance(75);
        Application->ProcessMessages();
        EXPECT_EQ(Presents(device), 1u);

        // A frame that throws is dropped; the next tick draws.
        view->throwOnce = true;
        log.clear();
        clock.Advance(75);
        Application->ProcessMessages();
        EXPECT_TRUE(log.empty());
        clock.Advance(75);
        Application->ProcessMessages();
        EXPECT_EQ(log.size(), 1u);

        // 300 ms late: the queued key first, then a single frame.
        struct Keys
        {
            void Down(TObject*, WORD&, TShiftState) { g_Log->push_back("key"); }
        } keys;
        view->OnKeyDown = MakeClosure(&keys, &Keys::Down);
        log.clear();
        PostMessageW(view->Handle(), WM_KEYDOWN, 'A', 0);
        clock.Advance(300);
        Application->ProcessMessages();
        EXPECT_EQ(log, (std::vector<std::string>{"key", "frame"}));

        // At design time the tick draws nothing.
        view->SetDesigning(true, false);
        log.clear();
        clock.Advance(75);
        Application->ProcessMessages();
        EXPECT_TRUE(log.empty());
        view->SetDesigning(false, false);
        view->SetTimerInterval(40);
        EXPECT_EQ(view->GetTimerInterval(), 40u);
        view->SetTimerEnabled(false);
    }
    g_Log = nullptr;
}

TEST(XViewTest, KeysReachTheCurrentEditorOnACopy)
{
    Host host;
    TestView* view = host.view;
    WORD key = 'A';
    view->KeyDown(key, TShiftState{ssShift, ssCtrl}); // no scene: nothing
    XScene scene(nullptr);
    auto* editor = new RecordingEditor(&scene, u"Recorder");
    scene.AddEditor(editor);
    scene.SetEditor(editor);
    editor->calls.clear();
    editor->replaceKey = true;
    editor->keyReplacement = 7;
    view->AddScene(&scene); // listed, not current
    view->KeyDown(key, TShiftState{ssShift, ssCtrl});
    EXPECT_TRUE(editor->calls.empty());

    view->SetScene(&scene);
    view->KeyDown(key, TShiftState{ssShift, ssCtrl, ssDouble});
    WCHAR c = u'a';
    view->KeyPress(c);
    view->KeyUp(key, TShiftState{ssAlt, ssLeft});
    EXPECT_EQ(key, 'A');
    EXPECT_EQ(c, u'a');
    // The viewports hand keys on the same way.
    XViewport* v = view->GetViewport(3);
    v->KeyDown(key, TShiftState{ssMiddle, ssRight});
    v->KeyPress(c);
    v->KeyUp(key, TShiftState{});
    EXPECT_EQ(key, 'A');
    EXPECT_EQ(editor->calls, (std::vector<std::string>{"KeyDown 65 24", "KeyPress 97", "KeyUp 65 33", "KeyDown 65 6",
                                                       "KeyPress 97", "KeyUp 65 0"}));
}

TEST(XViewTest, ViewBlockHoldsTheLayoutAndEachViewportAndLoadsBack)
{
    Host saved;
    saved.view->SetViewportLayout(3);
    saved.view->GetViewport(3)->SetBackColor(XColor(0xFF102030u));
    saved.view->GetViewport(1)->SetShowGrid(false);
    std::vector<uint8_t> bytes = SavedBytes([&](XWriter& w) { saved.view->Save(nullptr, w); });
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_EQ(U32(bytes, 0), 0xFE430000u);
    EXPECT_EQ(U32(bytes, 4), bytes.size());
    EXPECT_EQ(ChildIds(bytes, 0), (std::vector<uint32_t>{0xFE430020u, 0xFE430010u, 0xFE430011u, 0xFE430012u, 0xFE430013u}));
    EXPECT_EQ(U32(bytes, 12), 12u);
    EXPECT_EQ(U32(bytes, 16), 3u);
    size_t at = 20;
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(ChildIds(bytes, at), (std::vector<uint32_t>{0xFE450000u})) << i;
        at += U32(bytes, at + 4);
    }

    // Layout 3 into a view of layout 0: all four viewports come back, the hidden ones too.
    Host loaded;
    loaded.view->SetViewportLayout(0);
    LoadView(loaded.view, bytes);
    EXPECT_EQ(loaded.view->GetViewportLayout(), 3);
    EXPECT_EQ(loaded.view->GetViewport(3)->GetBackColor().GetARGB(), 0xFF102030u);
    EXPECT_FALSE(loaded.view->GetViewport(1)->GetShowGrid());

    // Another chunk than the view block reads nothing; an unknown child is skipped; a block
    // without the layout keeps it; a repeated layout takes the last.
    Host other;
    other.view->SetViewportLayout(5);
    std::vector<uint8_t> odd = SavedBytes(
        [&](XWriter& w)
        {
            w.BeginChunk(0xFE430000);
            w.WriteChunkU32(0x12345678, 9);
            w.BeginChunk(0xFE430013);
            saved.view->GetViewport(3)->Save(nullptr, w);
            w.EndChunk();
            w.EndChunk();
        });
    LoadView(other.view, odd);
    EXPECT_EQ(other.view->GetViewportLayout(), 5);
    EXPECT_EQ(other.view->GetViewport(3)->GetBackColor().GetARGB(), 0xFF102030u);
    std::vector<uint8_t> notView = odd;
    notView[0] = 0x01;
    other.view->GetViewport(3)->SetBackColor(XColor(0xFF000000u));
    LoadView(other.view, notView);
    EXPECT_EQ(other.view->GetViewport(3)->GetBackColor().GetARGB(), 0xFF000000u);
    std::vector<uint8_t> twice = SavedBytes(
        [&](XWriter& w)
        {
            w.BeginChunk(0xFE430000);
            w.WriteChunkU32(0xFE430020, 2);
            w.WriteChunkU32(0xFE430020, 77);
            w.EndChunk();
        });
    LoadView(other.view, twice);
    EXPECT_EQ(other.view->GetViewportLayout(), 11);
    // Four viewports only: the chunk ids just past them and just before them are skipped.
    std::vector<uint8_t> beyond = SavedBytes(
        [&](XWriter& w)
        {
            w.BeginChunk(0xFE430000);
            for (uint32_t id : {0xFE43000Fu, 0xFE430014u})
            {
                w.BeginChunk(id);
                saved.view->GetViewport(3)->Save(nullptr, w);
                w.EndChunk();
            }
            w.EndChunk();
        });
    Host fresh;
    std::vector<uint32_t> before;
    for (int i = 0; i < 4; ++i)
        before.push_back(fresh.view->GetViewport(i)->GetBackColor().GetARGB());
    ASSERT_NE(before[0], 0xFF102030u);
    LoadView(fresh.view, beyond);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(fresh.view->GetViewport(i)->GetBackColor().GetARGB(), before[i]) << i;

    // A layout cut short is the reader's error, never the next chunk's bytes.
    std::vector<uint8_t> shortLayout = {0x00, 0x00, 0x43, 0xFE, 26, 0, 0, 0, 0x20, 0x00, 0x43, 0xFE, 10, 0, 0, 0,
                                        0x07, 0x00, 0x10, 0x00, 0x43, 0xFE, 8, 0, 0, 0};
    other.view->SetViewportLayout(4);
    EXPECT_EQ(ThrownIOError([&] { LoadView(other.view, shortLayout); }), kIOErrorText);
    EXPECT_EQ(other.view->GetViewportLayout(), 4);

    // The block cut at every length: a clean error or what was read so far, never more.
    for (size_t n = 0; n < bytes.size(); ++n)
    {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        Host target(300, 200, false);
        XMemoryStream stream(0, 4096);
        LoadStream(stream, cut);
        XReader reader(&stream);
        if (!reader.NextChunk())
            continue;
        try
        {
            target.view->Load(nullptr, reader);
        }
        catch (const XException&)
        {
        }
        int layout = target.view->GetViewportLayout();
        EXPECT_TRUE(layout == 3 || layout == 11) << n;
    }
}

TEST(XViewTest, SceneFilesKeepTheViewStateOnlyWhenShownAndIniSectionsPerViewport)
{
    TempDir dir("xview");
    XScene scene(nullptr);
    BuildViewScene(scene, dir.Path(), ViewSceneOptions{1, 1, false});
    // Saved without a view: no view chunk.
    XMemoryStream plain(0, 4096);
    scene.SaveToStream(&plain);
    std::vector<uint8_t> bytes = StreamBytes(plain);
    const uint8_t id[4] = {0x5D, 0x53, 0x43, 0x4E};
    EXPECT_EQ(std::search(bytes.begin(), bytes.end(), id, id + 4), bytes.end());

    // Shown in a view: the view block is there and comes back into another view.
    Host shown;
    shown.view->SetPrimary(true);
    shown.view->SetScene(&scene);
    shown.view->SetViewportLayout(6);
    XMemoryStream withView(0, 4096);
    scene.SaveToStream(&withView);
    bytes = StreamBytes(withView);
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), id, id + 4), bytes.end());
    {
        Host other;
        XScene again(nullptr);
        BuildViewScene(again, dir.Path(), ViewSceneOptions{1, 1, false});
        other.view->SetPrimary(true);
        other.view->SetScene(&again);
        withView.SetPosition(0);
        again.ClearScene();
        again.LoadFromStream(&withView);
        EXPECT_EQ(other.view->GetViewportLayout(), 6);
    }

    // The plain file into a shown scene: the layout stays, the cameras are the cleared defaults.
    shown.view->SetViewportLayout(9);
    XMatrix moved(1.0f);
    moved.SetTranslation(3, 4, 5);
    shown.view->GetViewport(0)->GetCamera()->SetWorldMatrix(0, moved);
    plain.SetPosition(0);
    scene.ClearScene();
    scene.LoadFromStream(&plain);
    EXPECT_EQ(shown.view->GetViewportLayout(), 9);
    XMatrix top;
    shown.view->GetViewport(0)->GetCamera()->GetMatrix(0, top);
    EXPECT_FLOAT_EQ(top.m[3][0], 0.0f);
    EXPECT_FLOAT_EQ(top.m[1][2], 1.0f); // turned a quarter about X: looking down

    // INI: one section per viewport.
    shown.view->GetViewport(2)->SetCullMode(2);
    TIniFile ini(UnicodeString((dir.Path() / "view.ini").u16string()));
    shown.view->SaveState(&ini, "Main");
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(ini.SectionExists(UnicodeString(u"Main_Viewport" + std::u16string(1, u'0' + i)))) << i;
    EXPECT_EQ(ini.ReadInteger(u"Main_Viewport2", u"CullMode", 0), 2);
    Host restored;
    restored.view->LoadState(&ini, "Main");
    EXPECT_EQ(restored.view->GetViewport(2)->GetCullMode(), 2u);
    EXPECT_EQ(restored.view->GetViewport(1)->GetCullMode(), 1u);
}

TEST(XViewTest, TextGoesThroughTheAnsiCodePageAndNeedsDeviceFontAndGlyphs)
{
    Host host;
    XView* view = host.view;
    IDirect3DDevice9* device = view->GetDevice();
    ASSERT_NE(device, nullptr);
    StartLog(device);
    XFont font;
    Soft(device)->ClearCallLog();
    view->RenderText(0, 0, 0xFFFFFFFFu, XString(u"Ж"), &font); // not built: no glyphs
    view->RenderText(0, 0, 0xFFFFFFFFu, XString(u"Ж"), nullptr);
    font.CreateDevice(device);
    font.Recreate();
    ASSERT_NE(font.GetChars(), nullptr);
    ASSERT_GE(font.GetEndChar(), 0xC6u);
    Soft(device)->ClearCallLog();
    view->RenderText(0, 0, 0xFFFFFFFFu, XAnsiString("\x01"), &font);
    EXPECT_TRUE(Soft(device)->GetCallLog().empty());

    // "Ж" is byte 0xC6 of the ANSI code page: its glyph's texture corners.
    device->BeginScene();
    view->RenderText(10, 20, 0xFF00FF00u, XString(u"Ж"), &font);
    device->EndScene();
    const XGlyph& glyph = font.GetChars()[0xC6 - font.GetStartChar()];
    const D3D9Call* draw = nullptr;
    for (const D3D9Call& call : Soft(device)->GetCallLog())
        if (call.name == "DrawPrimitiveUP")
            draw = &call;
    ASSERT_NE(draw, nullptr);
    ASSERT_EQ(draw->vertices.size(), 6u * 28u);
    XText2DVertex v[6];
    std::memcpy(v, draw->vertices.data(), sizeof v);
    EXPECT_FLOAT_EQ(v[0].x, 10.0f);
    EXPECT_FLOAT_EQ(v[0].u, glyph.left);
    EXPECT_FLOAT_EQ(v[2].v, glyph.bottom);
    EXPECT_FLOAT_EQ(v[1].x, 10.0f + static_cast<float>(glyph.advance));
    font.ReleaseDevice(device);
}
