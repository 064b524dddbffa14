// Dragging objects between controls and forms, hints, and the image list's disabled look.
#include "Platform/Vcl/Controls.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/HintWindow.h"
#include "Platform/Vcl/ImgList.h"

#include "tests/support/DrawnLines.h"
#include "tests/support/ManualClock.h"
#include "tests/support/ScreenSize.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{
// A control that records the drag conversation it takes part in.
class Pad : public TCustomControl
{
public:
    Pad(TWinControl* parent, const char* name, TRect bounds, std::vector<std::string>& log)
        : TCustomControl(parent), m_name(name), m_log(log)
    {
        SetParent(parent);
        SetBoundsRect(bounds);
    }
    bool accepts = false;
    TDragObject* given = nullptr; // handed out by DoStartDrag when set

    void DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) override
    {
        static const char* states[] = {"enter", "leave", "move"};
        TCustomControl::DragOver(Source, X, Y, State, Accept);
        Accept = Accept || accepts;
        m_log.push_back(m_name + ":over:" + states[State] + ":" + std::to_string(X) + "," + std::to_string(Y) +
                        (Source ? ":" + NameOf(Source) : ""));
    }
    void DragDrop(TObject* Source, int X, int Y) override
    {
        m_log.push_back(m_name + ":drop:" + std::to_string(X) + "," + std::to_string(Y) + ":" + NameOf(Source));
        TCustomControl::DragDrop(Source, X, Y);
    }

protected:
    void DoStartDrag(TDragObject*& DragObject) override
    {
        m_log.push_back(m_name + ":start");
        DragObject = given;
        TCustomControl::DoStartDrag(DragObject);
    }
    void DoEndDrag(TObject* Target, int X, int Y) override
    {
        m_log.push_back(m_name + ":end:" + (Target ? NameOf(Target) : "none") + ":" + std::to_string(X) + "," +
                        std::to_string(Y));
        TCustomControl::DoEndDrag(Target, X, Y);
    }
    void MouseUp(TMouseButton, TShiftState, int, int) override { m_log.push_back(m_name + ":up"); }

private:
    static std::string NameOf(TObject* object)
    {
        if (auto* pad = dynamic_cast<Pad*>(object))
            return pad->m_name;
        return dynamic_cast<TDragObject*>(object) ? "object" : "?";
    }
    std::string m_name;
    std::vector<std::string>& m_log;
};

struct TwoForms
{
    TwoForms() : first(nullptr), second(nullptr)
    {
        first.SetBounds(0, 0, 300, 200);
        second.SetBounds(400, 0, 300, 200);
        first.Show();
        second.Show();
    }
    ~TwoForms()
    {
        CancelDrag();
        first.Hide();
        second.Hide();
    }
    void Mouse(UINT message, int x, int y, WPARAM keys = MK_LBUTTON)
    {
        Vcl::RouteInput(&first, message, keys, MAKELPARAM(x, y));
    }
    TForm first, second;
};
} // namespace

TEST(DragDropTest, DragsPastTheThresholdAskEveryControlAndDropOnAnotherForm)
{
    std::vector<std::string> log;
    TwoForms forms;
    Pad source(&forms.first, "source", TRect(10, 10, 60, 60), log);
    Pad refusing(&forms.first, "refusing", TRect(100, 10, 150, 60), log);
    Pad target(&forms.second, "target", TRect(20, 20, 120, 120), log);
    target.accepts = true;
    source.SetDragMode(dmAutomatic);

    // Below the threshold it stays a click.
    forms.Mouse(WM_LBUTTONDOWN, 20, 20);
    forms.Mouse(WM_MOUSEMOVE, 24, 20);
    forms.Mouse(WM_LBUTTONUP, 24, 20, 0);
    EXPECT_EQ(log, std::vector<std::string>{"source:up"});
    EXPECT_FALSE(source.Dragging());
    log.clear();

    forms.Mouse(WM_LBUTTONDOWN, 20, 20);
    forms.Mouse(WM_MOUSEMOVE, 25, 20);
    EXPECT_TRUE(source.Dragging());
    ASSERT_NE(DragObject(), nullptr);
    forms.Mouse(WM_MOUSEMOVE, 110, 20); // over the one that refuses
    EXPECT_EQ(forms.first.CursorShown(), crNoDrop);
    forms.Mouse(WM_MOUSEMOVE, 430, 30); // over the second form's control, in the first form's coordinates
    EXPECT_EQ(forms.first.CursorShown(), crDrag);
    forms.Mouse(WM_MOUSEMOVE, 431, 30);
    forms.Mouse(WM_LBUTTONUP, 431, 30, 0);
    EXPECT_NE(forms.first.CursorShown(), crDrag);
    EXPECT_NE(forms.first.CursorShown(), crNoDrop);
    EXPECT_EQ(log, (std::vector<std::string>{"source:start", "source:over:enter:15,10:source", "source:over:leave:100,10:source",
                                              "refusing:over:enter:10,10:source", "refusing:over:leave:330,20:source",
                                              "target:over:enter:10,10:source",
                                              "target:over:move:11,10:source", "target:over:move:11,10:source",
                                              "target:drop:11,10:source", "source:end:target:11,10"}));
    EXPECT_FALSE(source.Dragging());
    EXPECT_EQ(DragObject(), nullptr);
}

TEST(DragDropTest, EscapeAndRefusalsEndWithoutADropAndOwnObjectsAreTheSource)
{
    std::vector<std::string> log;
    TwoForms forms;
    Pad source(&forms.first, "source", TRect(10, 10, 60, 60), log);
    Pad target(&forms.first, "target", TRect(100, 10, 150, 60), log);
    target.accepts = true;
    source.SetDragCursor(crHandPoint);

    // Escape: the control under the pointer hears it leave, the source that nothing was dropped.
    forms.Mouse(WM_LBUTTONDOWN, 20, 20);
    source.BeginDrag(false, 10);
    forms.Mouse(WM_MOUSEMOVE, 29, 20);
    EXPECT_EQ(DragObject(), nullptr); // 9 pixels: not yet
    forms.Mouse(WM_MOUSEMOVE, 110, 20);
    EXPECT_EQ(forms.first.CursorShown(), crHandPoint);
    Vcl::RouteInput(&forms.first, WM_KEYDOWN, VK_ESCAPE, 0);
    Vcl::RouteInput(&forms.first, WM_KEYUP, VK_ESCAPE, 0);
    EXPECT_FALSE(source.Dragging());
    forms.Mouse(WM_LBUTTONUP, 110, 20, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"source:start", "target:over:enter:10,10:source", "target:over:leave:10,10:source",
                                              "source:end:none:0,0", "target:up"}));
    log.clear();

    // Released where nobody accepts: no drop. An object of the source's own is what others see.
    TDragObject own;
    source.given = &own;
    forms.Mouse(WM_LBUTTONDOWN, 20, 20);
    source.BeginDrag(true);
    forms.Mouse(WM_MOUSEMOVE, 200, 100);
    EXPECT_EQ(DragObject(), &own);
    EXPECT_EQ(forms.first.CursorShown(), crNoDrop);
    forms.Mouse(WM_LBUTTONUP, 200, 100, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"source:start", "source:over:enter:10,10:object", "source:over:leave:190,90:object",
                                              "source:end:none:0,0"}));
    // OnDragOver alone decides for a plain control: assigned, it accepts unless it refuses.
    log.clear();
    struct Host
    {
        int drops = 0;
        void Over(TObject*, TObject*, int, int, TDragState, bool&) {}
        void Drop(TObject*, TObject*, int, int) { ++drops; }
    } host;
    target.accepts = false;
    target.OnDragOver = MakeClosure(&host, &Host::Over);
    target.OnDragDrop = MakeClosure(&host, &Host::Drop);
    source.given = nullptr;
    forms.Mouse(WM_LBUTTONDOWN, 20, 20);
    source.BeginDrag(true);
    forms.Mouse(WM_LBUTTONUP, 120, 30, 0);
    EXPECT_EQ(host.drops, 1);
}

TEST(DragDropTest, AControlGoingAwayMidDragEndsItCleanly)
{
    std::vector<std::string> log;
    TwoForms forms;
    auto* source = new Pad(&forms.first, "source", TRect(10, 10, 60, 60), log);
    auto* target = new Pad(&forms.second, "target", TRect(20, 20, 120, 120), log);
    target->accepts = true;
    forms.Mouse(WM_LBUTTONDOWN, 20, 20);
    source->BeginDrag(true);
    forms.Mouse(WM_MOUSEMOVE, 430, 30);
    delete target; // the control under the pointer goes
    forms.Mouse(WM_MOUSEMOVE, 431, 30);
    EXPECT_EQ(forms.first.CursorShown(), crNoDrop);
    delete source; // and then the source
    EXPECT_EQ(DragObject(), nullptr);
    forms.Mouse(WM_MOUSEMOVE, 432, 30);
    forms.Mouse(WM_LBUTTONUP, 432, 30, 0);
    EXPECT_EQ(log.back(), "target:over:enter:10,10:source");
}

namespace
{
struct HintForm
{
    HintForm() : form(nullptr)
    {
        form.SetBounds(0, 0, 300, 200);
        form.SetShowHint(true);
        panel = new TCustomControl(&form);
        panel->SetParent(&form);
        panel->SetBounds(10, 10, 100, 100);
        panel->SetHint(u"Panel");
        inner = new TCustomControl(&form);
        inner->SetParent(panel);
        inner->SetBounds(10, 10, 30, 30);
        inner->SetHint(u"Inner");
        plain = new TCustomControl(&form);
        plain->SetParent(&form);
        plain->SetBounds(150, 10, 100, 100);
        form.Show();
    }
    ~HintForm()
    {
        Application->CancelHint();
        form.Hide();
    }
    void Move(int x, int y) { Vcl::RouteInput(&form, WM_MOUSEMOVE, 0, MAKELPARAM(x, y)); }
    bool Showing() const { return Application->HintWindow() && Application->HintWindow()->Visible(); }
    TForm form;
    TCustomControl* panel;
    TCustomControl* inner;
    TCustomControl* plain;
};

struct HintLog
{
    std::vector<std::u16string> seen;
    void Changed(TObject*) { seen.push_back(Application->Hint().str()); }
};
} // namespace

TEST(HintTest, ARestingPointerShowsTheHintUntilItLeavesPressesOrWaits)
{
    ManualClock clock;
    HintForm h;
    HintLog log;
    Application->SetHint(u""); // whatever an earlier test left goes first
    Application->OnHint = MakeClosure(&log, &HintLog::Changed);
    EXPECT_TRUE(h.inner->ShowHint()); // from the form through ParentShowHint
    h.Move(60, 60);
    EXPECT_FALSE(h.Showing());
    clock.Advance(499);
    Application->ProcessMessages();
    EXPECT_FALSE(h.Showing());
    clock.Advance(1);
    Application->ProcessMessages();
    ASSERT_TRUE(h.Showing());
    THintWindow* window = Application->HintWindow();
    EXPECT_EQ(window->Caption(), u"Panel");
    EXPECT_EQ(window->Left(), 60);
    EXPECT_GT(window->Top(), 60);
    EXPECT_EQ(window->Color(), clInfoBk);
    EXPECT_EQ(Application->HintControl(), h.panel);
    // It goes by itself after the hide pause.
    clock.Advance(2499);
    Application->ProcessMessages();
    EXPECT_TRUE(h.Showing());
    clock.Advance(1);
    Application->ProcessMessages();
    EXPECT_FALSE(h.Showing());

    // Onto the inner control: its own hint, at once through ActivateHint; leaving hides it.
    h.Move(30, 30);
    Application->ActivateHint(h.form.ClientToScreen(TPoint(30, 30)));
    EXPECT_EQ(window->Caption(), u"Inner");
    EXPECT_TRUE(h.Showing());
    h.Move(200, 50); // onto the control without a hint
    EXPECT_FALSE(h.Showing());
    // A press hides it, and so does a key.
    Application->ActivateHint(h.form.ClientToScreen(TPoint(30, 30)));
    ASSERT_TRUE(h.Showing());
    Vcl::RouteInput(&h.form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30));
    Vcl::RouteInput(&h.form, WM_LBUTTONUP, 0, MAKELPARAM(30, 30));
    EXPECT_FALSE(h.Showing());
    Application->ActivateHint(h.form.ClientToScreen(TPoint(30, 30)));
    Vcl::RouteInput(&h.form, WM_KEYDOWN, 'A', 0);
    Vcl::RouteInput(&h.form, WM_KEYUP, 'A', 0);
    EXPECT_FALSE(h.Showing());
    // Emptying the hint of the control that shows it hides it.
    Application->ActivateHint(h.form.ClientToScreen(TPoint(30, 30)));
    h.inner->SetHint(u"");
    EXPECT_FALSE(h.Showing());
    // A control freed while its hint shows is forgotten.
    Application->ActivateHint(h.form.ClientToScreen(TPoint(60, 60)));
    ASSERT_EQ(Application->HintControl(), h.panel);
    delete h.panel;
    EXPECT_EQ(Application->HintControl(), nullptr);
    EXPECT_FALSE(h.Showing());

    EXPECT_EQ(log.seen, (std::vector<std::u16string>{u"Panel", u"Inner", u""}));
    Application->OnHint = nullptr;
}

TEST(HintTest, ShowHintFollowsTheParentUntilSetAndGatesTheWindow)
{
    ManualClock clock;
    HintForm h;
    h.panel->SetShowHint(false);
    EXPECT_FALSE(h.panel->ParentShowHint());
    EXPECT_FALSE(h.inner->ShowHint());
    h.Move(30, 30);
    clock.Advance(1000);
    Application->ProcessMessages();
    EXPECT_FALSE(h.Showing());
    Application->ActivateHint(h.form.ClientToScreen(TPoint(30, 30)));
    EXPECT_FALSE(h.Showing());
    h.inner->SetShowHint(true);
    Application->ActivateHint(h.form.ClientToScreen(TPoint(30, 30)));
    EXPECT_TRUE(h.Showing());
    Application->SetShowHint(false);
    EXPECT_FALSE(h.Showing());
    Application->ActivateHint(h.form.ClientToScreen(TPoint(30, 30)));
    EXPECT_FALSE(h.Showing());
    Application->SetShowHint(true);
}

namespace
{
std::string Utf8(const std::u16string& text)
{
    return UnicodeString(text).ToUtf8();
}
} // namespace

TEST(HintTest, ALongHintWrapsWholeAndStandsOnTheScreenWhereverThePointerRests)
{
    ScreenSize screen(1280, 1024);
    // A folder as a long installation reads: names with spaces, and one long name with none.
    std::u16string folder =
        u"/home/player/Games/A Game With a Very Long Title and Its Subtitle, the Collector's "
        u"Edition With Every Expansion/Installation Folder Chosen During Setup/";
    const std::u16string tail = u"/Data/Models/";
    folder += std::u16string(434 - folder.size() - tail.size(), u'm') + tail;
    ASSERT_EQ(folder.size(), 434u);

    TForm form(nullptr);
    form.SetBorderStyle(bsNone);
    form.SetBounds(0, 0, Screen->Width, Screen->Height);
    form.SetShowHint(true);
    auto* area = new TCustomControl(&form);
    area->SetParent(&form);
    area->SetBounds(0, 0, form.ClientWidth(), form.ClientHeight());
    form.Show();
    const TPoint points[] = {{0, 0},      {640, 0},  {1279, 0},   {0, 512},     {640, 512},
                             {1279, 512}, {0, 1023}, {640, 1023}, {1279, 1023}, {1100, 900}};
    for (const std::u16string& text : {std::u16string(u"Panel"), folder})
        for (const TPoint& p : points)
        {
            SCOPED_TRACE(std::to_string(text.size()) + " characters at " + std::to_string(p.x) + "," +
                         std::to_string(p.y));
            area->SetHint(text);
            Application->ActivateHint(p);
            THintWindow* hint = Application->HintWindow();
            ASSERT_TRUE(hint && hint->Visible());
            EXPECT_EQ(Screen->ActiveForm(), &form); // a hint takes no activation
            EXPECT_EQ(Utf8(hint->Caption().str()), Utf8(text));
            const TRect r = hint->BoundsRect();
            // All of it on the screen, clear of the pointer's hot spot.
            EXPECT_TRUE(OnScreen(r));
            EXPECT_FALSE(p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom);
            // Below the pointer from its x where there is room; else moved left only as far as
            // the edge needs, and above the pointer.
            if (p.x + r.Width() <= Screen->Width)
            {
                EXPECT_EQ(r.left, p.x);
            }
            else
            {
                EXPECT_EQ(r.right, Screen->Width);
            }
            if (p.y + 20 + r.Height() <= Screen->Height)
            {
                EXPECT_EQ(r.top, p.y + 20);
            }
            else
            {
                EXPECT_LT(r.bottom, p.y);
            }
            // A few hundred pixels wide at most, on lines that show every character in order.
            EXPECT_LE(r.Width(), 500);
            const auto lines = DrawnLines::ReadHint(*hint, text);
            EXPECT_EQ(Utf8(DrawnLines::Joined(lines)), Utf8(text));
            EXPECT_EQ(lines.size() > 1, text.size() > 10) << lines.size();
        }
    // On a small screen the long hint's lines run half the screen's width at most, and the hint
    // stays below a pointer from which its bottom just meets the screen's bottom.
    ScreenSize small(640, 480);
    Application->ActivateHint(TPoint(0, 0));
    THintWindow* hint = Application->HintWindow();
    const auto lines = DrawnLines::ReadHint(*hint, folder);
    EXPECT_EQ(Utf8(DrawnLines::Joined(lines)), Utf8(folder));
    LONG widest = 0;
    for (const auto& line : lines)
        widest = std::max(widest, line.ink.right - line.ink.left);
    EXPECT_LE(widest, 320);
    Application->ActivateHint(TPoint(100, 480 - 20 - hint->Height()));
    EXPECT_EQ(hint->Top(), 480 - hint->Height());
    Application->CancelHint();
    form.Hide();
}

namespace
{
// A control that answers for the text its hint shows, as it is asked.
class Answering : public TCustomControl
{
public:
    using TCustomControl::TCustomControl;
    UnicodeString answer;
    std::vector<std::string> asked;

protected:
    void WndProc(TMessage& Message) override
    {
        if (Message.Msg == CM_HINTSHOW)
        {
            auto* info = reinterpret_cast<THintInfo*>(Message.LParam);
            asked.push_back(Utf8(info->HintStr.str()) + " at " + std::to_string(info->CursorPos.x) + "," +
                            std::to_string(info->CursorPos.y) +
                            (info->HintControl == this ? "" : " of another"));
            info->HintStr = answer;
        }
        TCustomControl::WndProc(Message);
    }
};
} // namespace

TEST(HintTest, TheControlMayChangeTheTextItsHintShows)
{
    HintForm h;
    auto* own = new Answering(&h.form);
    own->SetParent(&h.form);
    own->SetBounds(150, 120, 100, 50);
    own->SetHint(u"Short|Long");
    const TPoint at = h.form.ClientToScreen(TPoint(160, 130));
    own->answer = u"A|whole text";
    Application->ActivateHint(at);
    ASSERT_TRUE(h.Showing());
    EXPECT_EQ(Application->HintWindow()->Caption(), u"A|whole text");
    // Emptied, no hint shows.
    own->answer = u"";
    Application->ActivateHint(at);
    EXPECT_FALSE(h.Showing());
    const std::string point = std::to_string(at.x) + "," + std::to_string(at.y);
    EXPECT_EQ(own->asked, (std::vector<std::string>{"Short at " + point, "Short at " + point}));
}

TEST(ImageListTest, DisabledImagesAreEngravedAndIndexesOutsideDrawNothing)
{
    TImageList images(nullptr);
    images.SetWidth(4);
    images.SetHeight(4);
    // One 4 x 4 image: a red 2 x 2 square at (1, 1) on magenta, which AddMasked makes clear.
    TBitmap strip;
    strip.SetSize(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            strip.ScanLine(y)[x] = (x >= 1 && x <= 2 && y >= 1 && y <= 2) ? 0xFF0000u : 0xFF00FFu;
    ASSERT_EQ(images.AddMasked(&strip, clFuchsia), 0);
    EXPECT_EQ(images.Count(), 1);

    TBitmap canvas;
    canvas.SetSize(8, 8);
    auto clear = [&]
    {
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                canvas.ScanLine(y)[x] = 0x123456u;
    };
    auto at = [&](int x, int y) { return canvas.ScanLine(y)[x] & 0xFFFFFFu; };
    clear();
    images.Draw(canvas.Canvas(), 2, 2, 0, true);
    EXPECT_EQ(at(3, 3), 0xFF0000u);
    EXPECT_EQ(at(2, 2), 0x123456u);

    const uint32_t highlight = Platform::Gdi::ToPixel(ColorToRGB(clBtnHighlight));
    const uint32_t shadow = Platform::Gdi::ToPixel(ColorToRGB(clBtnShadow));
    clear();
    images.Draw(canvas.Canvas(), 2, 2, 0, false);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
        {
            bool shape = x >= 3 && x <= 4 && y >= 3 && y <= 4;
            bool below = x >= 4 && x <= 5 && y >= 4 && y <= 5;
            uint32_t expected = shape ? shadow : below ? highlight : 0x123456u;
            EXPECT_EQ(at(x, y), expected) << x << "," << y;
        }

    clear();
    for (int index : {-1, 1, 1000})
        images.Draw(canvas.Canvas(), 0, 0, index, true);
    images.Draw(canvas.Canvas(), 0, 0, 5, false);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(at(x, y), 0x123456u);
}
