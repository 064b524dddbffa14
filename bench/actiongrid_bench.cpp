// Cost of the action grid's progress display: a 16 x 16 grid with every cell in progress, stepped
// 100 times; each step moves every action's progress on and repaints what changed. Against a frame
// (16.7 ms) and a plain BitBlt of the grid's area, in the same run:
//   actiongrid_bench [--steps N]
#include "Controls/XActionGrid.h"
#include "Platform/Vcl/Forms.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;
constexpr double kFrame = 1.0 / 60;

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Every step: all 256 actions' progress moves on, then the paint pass repaints the cells marked.
void GridProgressSteps(int steps)
{
    constexpr int kSide = 16;
    constexpr int kCell = 40;

    TForm form(nullptr);
    form.SetBounds(0, 0, kSide * kCell + 20, kSide * kCell + 20);
    auto* images = new TImageList(&form);
    images->SetWidth(32);
    images->SetHeight(32);
    TBitmap strip;
    strip.SetSize(32 * 4, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32 * 4; ++x)
            strip.ScanLine(y)[x] = (x % 32 - 16) * (x % 32 - 16) + (y - 16) * (y - 16) < 160 ? 0x2060C0u + x : 0xFF00FFu;
    images->AddMasked(&strip, clFuchsia);
    auto* grid = new XActionGrid(&form);
    grid->SetParent(&form);
    grid->SetBounds(10, 10, kSide * kCell, kSide * kCell);
    grid->SetGridSize(kSide, kSide);
    grid->SetImages(images);
    std::vector<std::unique_ptr<XAction>> actions;
    for (int i = 0; i < kSide * kSide; ++i)
    {
        actions.push_back(std::make_unique<XAction>());
        actions.back()->SetImageIndex(i % 4);
        actions.back()->SetProgress(0, steps + 1, i % steps);
        grid->setAction(i, actions.back().get());
    }
    form.Show();
    form.PaintDirty();

    std::vector<double> times;
    for (int step = 0; step < steps; ++step)
    {
        auto start = Clock::now();
        for (int i = 0; i < kSide * kSide; ++i)
            actions[static_cast<size_t>(i)]->SetProgress(0, steps + 1, (i + step + 1) % steps);
        form.PaintDirty();
        times.push_back(Since(start));
    }

    TBitmap from, to;
    from.SetSize(kSide * kCell, kSide * kCell);
    to.SetSize(kSide * kCell, kSide * kCell);
    std::vector<double> blits;
    for (int step = 0; step < steps; ++step)
    {
        auto start = Clock::now();
        BitBlt(to.Canvas()->Handle(), 0, 0, kSide * kCell, kSide * kCell, from.Canvas()->Handle(), 0, 0, SRCCOPY);
        blits.push_back(Since(start));
    }
    double median = Median(times);
    double worst = *std::max_element(times.begin(), times.end());
    double blit = Median(blits);
    std::printf("action grid 16 x 16, every cell in progress, %d steps\n", steps);
    std::printf("  step (median)   %8.3f ms  %6.2f x frame  %8.1f x BitBlt of the area (%.3f ms)%s\n", median * 1e3,
                median / kFrame, median / blit, blit * 1e3, median <= kFrame ? "" : "  OVER A FRAME");
    std::printf("  step (worst)    %8.3f ms  %6.2f x frame%s\n", worst * 1e3, worst / kFrame,
                worst <= kFrame ? "" : "  OVER A FRAME");
    form.Hide();
}
} // namespace

int main(int argc, char** argv)
{
    int steps = 100;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--steps") == 0 && i + 1 < argc)
            steps = std::max(1, std::atoi(argv[++i]));
    }
    setenv("KELVANE_HEADLESS", "1", 1);
    GridProgressSteps(steps);
    return 0;
}
