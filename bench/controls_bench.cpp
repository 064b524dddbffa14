// How quickly the custom controls answer input, each input timed until its result is painted:
//   controls_bench [--repeat R]
// Every case runs headless on a form of its own and is measured twice in the same run: the control
// driven by input, and a baseline that paints the same pixels the plainest way (a fill and the
// texts). Each row prints the median and the worst step against a 16.7 ms frame and against the
// baseline's median; the goal is a worst step within a frame and a median within 1.2 x the
// baseline (where the baseline is a plain BitBlt of the area, the ratio is only reported).
//
// The cases are grouped in functions (GridCases ...); a new control adds its own function and one
// line to the list in main.
#include "Controls/XActionGrid.h"
#include "Controls/XProgressBar.h"
#include "Controls/XPropertyEditor.h"
#include "Platform/Vcl/DockTree.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/Forms.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;
constexpr double Frame = 1.0 / 60;

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The times of one series of steps, in seconds.
struct Steps
{
    std::vector<double> seconds;
    int unpainted = 0; // inputs after which nothing was marked for painting

    double Median() const
    {
        if (seconds.empty())
            return 0;
        std::vector<double> v = seconds;
        std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
        return v[v.size() / 2];
    }
    double Worst() const { return seconds.empty() ? 0 : *std::max_element(seconds.begin(), seconds.end()); }
};

// Times one input and the paint pass that shows its result.
void Step(TForm& form, Steps& steps, const std::function<void()>& input)
{
    auto start = Clock::now();
    input();
    if (form.DirtyRect().IsEmpty())
        ++steps.unpainted;
    form.PaintDirty();
    steps.seconds.push_back(Since(start));
}

// Prints one measured series against its baseline. `medianLimit` is the allowed ratio of the two
// medians; 0 reports the ratio without a limit.
class Report
{
public:
    void Header(const std::string& title) { std::printf("\n%s\n", title.c_str()); }

    void Row(const char* what, const Steps& control, const Steps& baseline, double medianLimit = 1.2)
    {
        const double median = control.Median(), worst = control.Worst(), base = baseline.Median();
        const double ratio = base > 0 ? median / base : 0;
        const bool worstOk = worst <= Frame, medianOk = medianLimit <= 0 || ratio <= medianLimit;
        std::printf("  %-30s %5zu steps  median %7.3f ms (%5.2f frame, %5.2f x baseline %7.3f ms)  worst %7.3f ms "
                    "(%5.2f frame)%s%s\n",
                    what, control.seconds.size(), median * 1e3, median / Frame, ratio, base * 1e3, worst * 1e3,
                    worst / Frame, worstOk ? "" : "  WORST OVER FRAME", medianOk ? "" : "  MEDIAN OVER LIMIT");
        if (control.unpainted || baseline.unpainted)
            std::printf("  !! %d steps painted nothing (baseline %d)\n", control.unpainted, baseline.unpainted);
        m_failed = m_failed || !worstOk || !medianOk;
    }
    bool Failed() const { return m_failed; }

private:
    bool m_failed = false;
};

// A form of the given client size, shown (headless: painted into its own pixels).
std::unique_ptr<TForm> MakeForm(int width, int height)
{
    auto form = std::make_unique<TForm>(nullptr);
    form->SetClientWidth(width);
    form->SetClientHeight(height);
    form->SetColor(clBtnFace);
    form->Show();
    return form;
}

bool Route(TForm& form, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Vcl::RouteInput(&form, message, wParam, lParam);
}

void Key(TForm& form, WORD key)
{
    Route(form, WM_KEYDOWN, key, 0);
    Route(form, WM_KEYUP, key, 0);
}

// A plain BitBlt of a `width` x `height` area timed `count` times: the baseline of a repaint.
Steps Blits(int width, int height, int count)
{
    TBitmap from, to;
    from.SetSize(width, height);
    to.SetSize(width, height);
    Steps blits;
    for (int i = 0; i < count; ++i)
    {
        auto start = Clock::now();
        BitBlt(to.Canvas()->Handle(), 0, 0, width, height, from.Canvas()->Handle(), 0, 0, SRCCOPY);
        blits.seconds.push_back(Since(start));
    }
    return blits;
}

// ---- The property grid ---------------------------------------------------------------------------

// The grid's owner: integer values read through the callback.
struct GridOwner
{
    void Get(const XString&, int id, VarUtils::XVariant& value) { value = VarUtils::XVariant(id * 7); }
    void Set(const XString&, int, const VarUtils::XVariant&) {}
};

// The baseline: the same rows drawn the plainest way, a background fill and one DrawTextW for each
// visible name and value, nothing else.
class PlainRows : public TCustomControl
{
public:
    PlainRows(TComponent* owner, int rows, int pitch, int nameWidth) :
        TCustomControl(owner), m_rows(rows), m_pitch(pitch), m_nameWidth(nameWidth)
    {
        ControlStyle() << csOpaque;
    }
    void SetStart(int start) { m_start = std::clamp(start, 0, m_rows); }
    int Start() const { return m_start; }

protected:
    void Paint() override
    {
        TCanvas* canvas = Canvas();
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(clWindow);
        canvas->FillRect(TRect(0, 0, Width(), Height()));
        canvas->Brush()->SetStyle(bsClear);
        HDC dc = canvas->Handle();
        for (int r = m_start, y = 0; r < m_rows && y + m_pitch <= Height(); ++r, y += m_pitch)
        {
            const std::u16string name = u"Property " + Utf16(r);
            const std::u16string value = Utf16(r * 7);
            RECT nameRect{12, y + 2, m_nameWidth - 1, y + m_pitch};
            DrawTextW(dc, name.c_str(), -1, &nameRect, 0);
            RECT valueRect{m_nameWidth + 4, y + 2, Width(), y + m_pitch};
            DrawTextW(dc, value.c_str(), -1, &valueRect, 0);
        }
    }

private:
    static std::u16string Utf16(int n)
    {
        std::string s = std::to_string(n);
        return std::u16string(s.begin(), s.end());
    }
    int m_rows, m_pitch, m_nameWidth;
    int m_start = 0;
};

// A grid of `rows` integer rows: Down x 1,000, Page Down to the end, 200 wheel notches and a
// 100-step drag of the scroll bar's thumb from top to bottom.
void GridCases(Report& report, int rows)
{
    report.Header("property grid, " + std::to_string(rows) + " rows, 400 x 600");
    auto form = MakeForm(820, 600);
    GridOwner owner;
    auto* grid = new XPropertyEditor(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(0, 0, 400, 600);
    grid->OnGetFieldValue = MakeClosure(&owner, &GridOwner::Get);
    grid->OnSetFieldValue = MakeClosure(&owner, &GridOwner::Set);
    grid->RegisterProperty(u"int", CreateIntProperty);
    for (int i = 0; i < rows; ++i)
    {
        std::string name = "Property " + std::to_string(i);
        grid->AddProperty(u"int", XString(std::u16string(name.begin(), name.end()).c_str()), i);
    }
    grid->SetSelectedIndex(0);
    grid->InplaceEditor()->SetFocus();
    const int pitch = grid->RowHeight() + 1;
    auto* plain = new PlainRows(form.get(), rows, pitch, grid->NameColumnWidth());
    plain->SetParent(form.get());
    plain->SetBounds(410, 0, 400, 600);
    form->Invalidate();
    form->PaintDirty(); // glyphs rendered once before anything is timed

    // One baseline step: the plain rows moved by one and painted.
    auto plainStep = [&](Steps& steps, int by) {
        Step(*form, steps, [&] {
            plain->SetStart(plain->Start() + by);
            plain->Invalidate();
        });
    };

    Steps down, downPlain;
    for (int i = 0; i < 1000; ++i)
        Step(*form, down, [&] { Key(*form, VK_DOWN); });
    for (int i = 0; i < 1000; ++i)
        plainStep(downPlain, 1);
    report.Row("Down x 1000", down, downPlain);
    if (grid->SelectedIndex() != std::min(1000, rows - 1))
        std::printf("  !! Down ended at row %d\n", grid->SelectedIndex());

    Steps page, pagePlain;
    plain->SetStart(0);
    grid->SetSelectedIndex(0);
    while (grid->SelectedIndex() < rows - 1 && page.seconds.size() < size_t(rows))
        Step(*form, page, [&] { Key(*form, VK_NEXT); });
    for (size_t i = 0; i < page.seconds.size(); ++i)
        plainStep(pagePlain, grid->PageRows());
    report.Row("Page Down to the end", page, pagePlain);

    Steps wheel, wheelPlain;
    plain->SetStart(0);
    grid->SetSelectedIndex(0);
    const TPoint centre = grid->ClientToScreen(TPoint(100, 300));
    for (int i = 0; i < 200; ++i)
        Step(*form, wheel, [&] {
            Route(*form, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), MAKELPARAM(centre.x, centre.y));
        });
    for (int i = 0; i < 200; ++i)
        plainStep(wheelPlain, 1);
    report.Row("wheel x 200", wheel, wheelPlain);
    if (grid->SelectedIndex() != std::min(200, rows - 1))
        std::printf("  !! the wheel ended at row %d\n", grid->SelectedIndex());

    // The thumb: pressed at the top of the track, dragged to the bottom in 100 moves.
    Steps thumb, thumbPlain;
    plain->SetStart(0);
    grid->SetSelectedIndex(0);
    grid->SetStartVisible(0);
    form->PaintDirty();
    TScrollBar* bar = grid->ScrollBar();
    const TPoint barOrigin = bar->ClientToScreen(TPoint(0, 0));
    const TPoint formOrigin = form->ClientToScreen(TPoint(0, 0));
    const int x = barOrigin.x - formOrigin.x + bar->Width() / 2;
    const int arrow = std::min(GetSystemMetrics(SM_CXVSCROLL), bar->Height() / 2);
    const int top = barOrigin.y - formOrigin.y + arrow + 2;
    const int bottom = barOrigin.y - formOrigin.y + bar->Height() - arrow - 1;
    Route(*form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, top));
    for (int i = 1; i <= 100; ++i)
    {
        const int y = top + (bottom - top) * i / 100;
        Step(*form, thumb, [&] { Route(*form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y)); });
    }
    Route(*form, WM_LBUTTONUP, 0, MAKELPARAM(x, bottom));
    for (int i = 1; i <= 100; ++i)
        plainStep(thumbPlain, rows / 100);
    report.Row("thumb drag, 100 steps", thumb, thumbPlain);
    if (grid->StartVisible() != rows - grid->VisibleRows())
        std::printf("  !! the thumb drag ended at StartVisible %d of %d\n", grid->StartVisible(),
                    rows - grid->VisibleRows());
}

// ---- The progress bar ----------------------------------------------------------------------------

// An 800 x 40 bar with both gradients, its border and a title, stepped from 0 to 100, each step
// repainted; the baseline is a plain BitBlt of an area that size.
void ProgressCases(Report& report)
{
    const int width = 800, height = 40;
    report.Header("progress bar, 800 x 40, stepped 0 .. 100");
    auto form = MakeForm(width + 20, height + 20);
    auto* bar = new XProgressBar(form.get());
    bar->SetParent(form.get());
    bar->SetBounds(10, 10, width, height);
    bar->SetColorOnStart(clNavy);
    bar->SetColorOnEnd(clAqua);
    bar->SetColorOffStart(clWhite);
    bar->SetColorOffEnd(clGray);
    bar->SetShowBorder(true);
    bar->SetTitle(u"Saving Models.pck");
    bar->SetPosition(100); // so that stepping to 0 is a change too
    form->Invalidate();
    form->PaintDirty(); // glyphs rendered once before anything is timed

    Steps steps;
    for (int position = 0; position <= 100; ++position)
        Step(*form, steps, [&] { bar->SetPosition(position); });

    report.Row("step repainted vs BitBlt", steps, Blits(width, height, 101), 0);
}

// ---- The action grid -----------------------------------------------------------------------------

// A 16 x 16 grid of 40-pixel cells, every cell an action with an image in progress, stepped 100
// times: each step moves every action's progress on and repaints what that marked. The baseline is
// a plain BitBlt of the grid's area.
void ActionGridCases(Report& report)
{
    const int side = 16, cell = 40, stepsCount = 100;
    report.Header("action grid, 16 x 16 cells in progress, stepped 100 times");
    auto form = MakeForm(side * cell + 20, side * cell + 20);
    auto* images = new TImageList(form.get());
    images->SetWidth(32);
    images->SetHeight(32);
    TBitmap strip;
    strip.SetSize(32 * 4, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32 * 4; ++x)
        {
            int u = x % 32 - 16, v = y - 16;
            strip.ScanLine(y)[x] = u * u + v * v < 160 ? 0x2060C0u + static_cast<uint32_t>(x) : 0xFF00FFu;
        }
    images->AddMasked(&strip, clFuchsia);
    auto* grid = new XActionGrid(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(10, 10, side * cell, side * cell);
    grid->SetGridSize(side, side);
    grid->SetImages(images);
    std::vector<std::unique_ptr<XAction>> actions;
    for (int i = 0; i < side * side; ++i)
    {
        actions.push_back(std::make_unique<XAction>());
        actions.back()->SetImageIndex(i % 4);
        actions.back()->SetProgress(0, stepsCount + 1, i % stepsCount);
        grid->setAction(i, actions.back().get());
    }
    form->Invalidate();
    form->PaintDirty();

    Steps steps;
    for (int step = 0; step < stepsCount; ++step)
        Step(*form, steps,
             [&]
             {
                 for (int i = 0; i < side * side; ++i)
                     actions[static_cast<size_t>(i)]->SetProgress(0, stepsCount + 1, (i + step + 1) % stepsCount);
             });

    report.Row("step repainted vs BitBlt", steps, Blits(side * cell, side * cell, stepsCount), 0);
    // The actions go before the grid: each empties its cells.
    actions.clear();
}

// ---- A dock site ---------------------------------------------------------------------------------

// An 800 x 600 panel tiling four docked panels (two columns of two): its split bar between the
// columns dragged across in 100 steps, and one panel docked again 100 times, each time on another
// side of another panel. Each step lays the zones out again and repaints what moved; the baseline
// is a plain BitBlt of the site's area.
void DockCases(Report& report)
{
    const int width = 800, height = 600, stepsCount = 100;
    report.Header("dock site, 800 x 600, four docked panels");
    auto form = MakeForm(width + 20, height + 20);
    auto* site = new TPanel(form.get());
    site->SetParent(form.get());
    site->SetBounds(10, 10, width, height);
    site->SetBevelOuter(bvNone);
    site->SetDockSite(true);
    const TColor colours[] = {clRed, clGreen, clBlue, clOlive};
    std::vector<TPanel*> panels;
    for (TColor colour : colours)
    {
        auto* panel = new TPanel(form.get());
        panel->SetParent(form.get());
        panel->SetColor(colour);
        panel->SetCaption(u"Docked");
        panel->SetDragKind(dkDock);
        panels.push_back(panel);
    }
    // Docked as a drop docks them: into the site, then beside a panel there.
    TDockTree* tree = site->DockManager();
    const struct
    {
        int panel, beside;
        TAlign side;
    } layout[] = {{0, -1, alNone}, {1, 0, alRight}, {2, 1, alBottom}, {3, 0, alBottom}};
    for (const auto& place : layout)
    {
        panels[size_t(place.panel)]->SetParent(site);
        tree->InsertControl(panels[size_t(place.panel)], place.side,
                            place.beside < 0 ? nullptr : panels[size_t(place.beside)]);
    }
    form->Invalidate();
    form->PaintDirty();

    TRect left;
    tree->GetControlBounds(panels[0], left);
    const int barX = 10 + left.right + TDockTree::SplitterWidth / 2, barY = 10 + height / 2;
    Route(*form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(barX, barY));
    Steps drag;
    for (int i = 1; i <= stepsCount; ++i)
    {
        const int x = barX + (i % 2 ? 1 : -1) * (i * (width / 2 - 60) / stepsCount);
        Step(*form, drag, [&] { Route(*form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, barY)); });
    }
    Route(*form, WM_LBUTTONUP, 0, MAKELPARAM(barX, barY));
    TRect moved;
    tree->GetControlBounds(panels[0], moved);
    if (moved.right == left.right)
        std::printf("  !! the split bar did not move\n");
    report.Row("split bar dragged", drag, Blits(width, height, stepsCount), 0);

    Steps redock;
    const TAlign sides[] = {alLeft, alTop, alRight, alBottom};
    for (int i = 0; i < stepsCount; ++i)
        Step(*form, redock,
             [&] { tree->InsertControl(panels[3], sides[i % 4], panels[size_t(i % 3)]); });
    report.Row("a panel docked again", redock, Blits(width, height, stepsCount), 0);
}
} // namespace

int main(int argc, char** argv)
{
    int repeat = 1;
    for (int i = 1; i < argc; ++i)
    {
        std::string arg = argv[i];
        if (arg == "--repeat" && i + 1 < argc)
            repeat = std::max(1, std::atoi(argv[++i]));
    }
    ::setenv("KELVANE_HEADLESS", "1", 1);
    Application->Initialize();

    // Each entry is one group of cases; add new controls here.
    const std::vector<std::function<void(Report&)>> groups = {
        [](Report& r) { GridCases(r, 1000); },
        [](Report& r) { GridCases(r, 100000); },
        [](Report& r) { ProgressCases(r); },
        [](Report& r) { ActionGridCases(r); },
        [](Report& r) { DockCases(r); },
    };
    Report report;
    for (int i = 0; i < repeat; ++i)
        for (const auto& group : groups)
            group(report);
    std::printf("\n%s\n", report.Failed() ? "some steps missed their goal" : "every step within its goal");
    return 0;
}
