// Cost of drawing the in-viewport UI on the software device, against the physical limit of the same
// rectangles drawn in one call, in the same run:
//   ui_bench [--frames N] [--threads N]
// A 1024 x 768 desktop holds 20 captioned windows of 10 controls each (220 rectangles and 20
// captions). A frame is the desktop's Render and the pixel flush that presents the back buffer
// into a form that is not shown. The baseline clears, draws the same 220 rectangles (same corners,
// colours and blending) with one DrawPrimitiveUP and presents. Each prints the median of N frames
// (15 by default) on 2 raster threads unless told otherwise, its share of the views' 75 ms redraw
// timer, and the ratio of the two; a frame of the clear and the flush alone shows the floor.
#include "Gx/UI/GxDesktop.h"
#include "Platform/Vcl/Forms.h"
#include "tests/support/SoftDevice.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace Gx::Ui;

namespace
{
using Clock = std::chrono::steady_clock;
constexpr int Width = 1024, Height = 768;
constexpr int Windows = 20, ControlsPerWindow = 10;

struct Device
{
    TForm* form = nullptr;
    std::unique_ptr<SoftDevice> soft;
    IDirect3DDevice9* dev = nullptr;

    bool Open()
    {
        form = new TForm(nullptr);
        form->SetClientWidth(Width);
        form->SetClientHeight(Height);
        auto* view = new TCustomControl(form);
        view->SetParent(form);
        view->SetBounds(0, 0, Width, Height);
        form->Show();
        soft = std::make_unique<SoftDevice>(Width, Height, view->Handle());
        if (!soft->soft)
            return false;
        soft->soft->EnableCallLog(false);
        dev = soft->device;
        return true;
    }

    void Close()
    {
        soft.reset();
        delete form;
    }

    // Clear, the drawing, then the flush of its pixels into the form.
    void Frame(const std::function<void()>& draw)
    {
        dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF888888u, 1.0f, 0);
        dev->BeginScene();
        draw();
        dev->EndScene();
        dev->Present(nullptr, nullptr, nullptr, nullptr);
    }
};

// 20 windows in a 5 x 4 grid of 200 x 180 cells, overlapping their neighbours by 20 pixels, each
// with a caption and ten 80 x 22 controls in two columns.
void Populate(GxDesktop& desktop)
{
    desktop.SetBounds(0, 0, Width, Height);
    for (int i = 0; i < Windows; ++i)
    {
        std::u16string caption = u"Window ";
        for (char digit : std::to_string(i + 1))
            caption += static_cast<char16_t>(digit);
        auto* window = new GxWindow(&desktop, caption.c_str());
        desktop.AddControl(window);
        window->SetBounds(10.0f + (i % 5) * 200.0f, 10.0f + (i / 5) * 185.0f, 220, 200);
        window->SetBackColor(0xFF203040u + static_cast<uint32_t>(i) * 0x000A0604u);
        for (int c = 0; c < ControlsPerWindow; ++c)
        {
            auto* control = new GxControl(&desktop, window);
            window->AddControl(control);
            control->SetBounds(10.0f + (c % 2) * 100.0f, 24.0f + (c / 2) * 34.0f, 80, 22);
            control->SetBackColor(0xFFC0C0C0u - static_cast<uint32_t>(c) * 0x00080808u);
        }
    }
}

// The rectangles of the desktop's drawing, back to front, each with the colour it is drawn in
// (the window's fade settles at its transparent alpha with the mouse away).
void CollectRectangles(GxFrame& frame, uint32_t alpha, std::vector<GxRectVertex>& out)
{
    for (unsigned i = frame.GetControlCount(); i-- > 0;)
    {
        GxControl* c = frame.GetControl(i);
        uint32_t a = alpha;
        if (auto* window = dynamic_cast<GxWindow*>(c))
            a = window->GetTransparentAlpha();
        XRect r = c->GetScreenRect();
        uint32_t color = (c->GetBackColor().GetARGB() & 0x00FFFFFFu) | (a << 24);
        const GxRectVertex v[6] = {{r.left, r.top, 0, 1, color},     {r.right, r.top, 0, 1, color},
                                   {r.right, r.bottom, 0, 1, color}, {r.right, r.bottom, 0, 1, color},
                                   {r.left, r.bottom, 0, 1, color},  {r.left, r.top, 0, 1, color}};
        out.insert(out.end(), v, v + 6);
        if (auto* child = dynamic_cast<GxFrame*>(c))
            CollectRectangles(*child, a, out);
    }
}

void DrawAllAtOnce(IDirect3DDevice9* dev, const std::vector<GxRectVertex>& v)
{
    dev->SetRenderState(D3DRS_ZENABLE, FALSE);
    dev->SetRenderState(D3DRS_LIGHTING, FALSE);
    dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    dev->SetTexture(0, nullptr);
    dev->SetFVF(GXRECT_FVF);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(v.size() / 3), v.data(), sizeof(GxRectVertex));
}

double Seconds(const std::function<void()>& frame)
{
    auto start = Clock::now();
    frame();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}
} // namespace

int main(int argc, char** argv)
{
    int frames = 15;
    unsigned threads = 2;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc)
            frames = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc)
            threads = static_cast<unsigned>(std::max(1, std::atoi(argv[++i])));
    }
    setenv("KELVANE_HEADLESS", "1", 1);
    Device device;
    if (!device.Open())
    {
        std::fprintf(stderr, "ui_bench: the software device cannot be opened\n");
        device.Close();
        return 1;
    }
    device.soft->soft->SetRasterThreads(threads);
    double ui = 0, baseline = 0, empty = 0;
    size_t rectangles = 0;
    {
        GxDesktop desktop(nullptr);
        Populate(desktop);
        desktop.CreateDevice(device.dev);
        desktop.MouseMove(-100, -100, 0); // the mouse away from every window
        std::vector<GxRectVertex> vertices;
        CollectRectangles(desktop, 0xFF, vertices);
        rectangles = vertices.size() / 6;
        auto uiFrame = [&] { device.Frame([&] { desktop.Render(device.dev); }); };
        auto baselineFrame = [&] { device.Frame([&] { DrawAllAtOnce(device.dev, vertices); }); };
        uiFrame(); // warm up: the glyph textures are built, buffers reach their size
        baselineFrame();
        // Frames of the two alternate, so that both see the same machine.
        auto emptyFrame = [&] { device.Frame([] {}); };
        std::vector<double> uiTimes, baselineTimes, emptyTimes;
        for (int i = 0; i < frames; ++i)
        {
            uiTimes.push_back(Seconds(uiFrame));
            baselineTimes.push_back(Seconds(baselineFrame));
            emptyTimes.push_back(Seconds(emptyFrame));
        }
        ui = Median(uiTimes);
        baseline = Median(baselineTimes);
        empty = Median(emptyTimes);
        desktop.ReleaseDevice(device.dev);
    }
    std::printf("ui_bench: %dx%d desktop, %d windows x %d controls with captions (%zu rectangles), %u raster "
                "thread%s, median of %d frames\n",
                Width, Height, Windows, ControlsPerWindow, rectangles, threads, threads == 1 ? "" : "s", frames);
    std::printf("  desktop Render + flush:       %7.2f ms  (%5.1f%% of the 75 ms timer)\n", ui * 1000.0,
                ui * 1000.0 / 75.0 * 100.0);
    std::printf("  same rectangles, one call:    %7.2f ms  (%5.1f%% of the 75 ms timer)\n", baseline * 1000.0,
                baseline * 1000.0 / 75.0 * 100.0);
    std::printf("  clear and flush alone:        %7.2f ms  (%5.1f%% of the 75 ms timer)\n", empty * 1000.0,
                empty * 1000.0 / 75.0 * 100.0);
    std::printf("  desktop / one call:           %7.2f\n", ui / baseline);
    device.Close();
    return 0;
}
