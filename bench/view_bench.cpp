// What a frame of the four-viewport view costs on the software device, against the views' 75 ms
// redraw timer and against the same device calls replayed on the bare device, in the same run:
//   view_bench [--frames N]
// A 1280 x 960 view in 2 x 2, captions and grids on, shows a generated scene of lit, checker-
// textured boxes (with a cylinder and a cone) of about 20,000 and then about 100,000 triangles. A
// frame is RenderScene(true): four viewports drawn and presented. The baseline is the device
// calls of one such frame, recorded by the device's call log and replayed straight onto the same
// device (states, transforms, lights, materials, textures, vertex and index bytes, the four
// presents), so the ratio is what the view, its viewports and the scene add to the drawing
// itself. Each prints the median of N frames (15 by default) on 1, 2 and all raster threads.
// Floats in the log carry six significant digits: the replayed transforms are that close.
#include "Engine/Scene/XScene.h"
#include "Engine/Views/XView.h"
#include "Platform/D3D9/D3D9Testing.h"
#include "Platform/Vcl/Forms.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/TempDir.h"
#include "tests/support/ViewHost.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;
constexpr int Width = 1280, Height = 960;
constexpr double TimerMs = 75.0;

double Median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double Milliseconds(const std::function<void()>& work)
{
    auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The numbers of a logged argument list ("1, 3, [0.5 1 ...], 0x55...") in order; "null" reads 0,
// addresses read as their value.
std::vector<double> Numbers(const std::string& args, std::vector<uint64_t>& pointers)
{
    std::vector<double> out;
    std::string text = args;
    for (char& c : text)
        if (c == ',' || c == '[' || c == ']')
            c = ' ';
    std::istringstream in(text);
    std::string word;
    while (in >> word)
    {
        if (word == "null")
        {
            out.push_back(0);
            pointers.push_back(0);
        }
        else if (word.rfind("0x", 0) == 0)
        {
            pointers.push_back(std::strtoull(word.c_str() + 2, nullptr, 16));
            out.push_back(0);
        }
        else
            out.push_back(std::strtod(word.c_str(), nullptr));
    }
    return out;
}

// One frame's device calls, turned back into calls on the device.
class Replay
{
public:
    // False, with the call's name, for a call this replay does not know.
    bool Build(const std::vector<D3D9Call>& log, std::string& unknown)
    {
        RECT viewport{0, 0, 0, 0};
        for (const D3D9Call& call : log)
        {
            std::vector<uint64_t> p;
            std::vector<double> n = Numbers(call.args, p);
            auto u = [&](size_t i) { return i < n.size() ? static_cast<DWORD>(static_cast<uint64_t>(n[i])) : 0u; };
            auto f = [&](size_t i) { return i < n.size() ? static_cast<float>(n[i]) : 0.0f; };
            const std::string& name = call.name;
            if (name == "TestCooperativeLevel" || name == "GetRenderState")
                continue;
            if (name == "BeginScene")
                m_Steps.push_back([](IDirect3DDevice9* d) { d->BeginScene(); });
            else if (name == "EndScene")
                m_Steps.push_back([](IDirect3DDevice9* d) { d->EndScene(); });
            else if (name == "SetViewport")
            {
                D3DVIEWPORT9 v{u(0), u(1), u(2), u(3), f(4), f(5)};
                viewport = RECT{static_cast<LONG>(v.X), static_cast<LONG>(v.Y), static_cast<LONG>(v.X + v.Width),
                                static_cast<LONG>(v.Y + v.Height)};
                m_Steps.push_back([v](IDirect3DDevice9* d) { d->SetViewport(&v); });
            }
            else if (name == "Clear")
            {
                // The log keeps no rectangle: the views clear their viewport's.
                DWORD count = u(0), flags = u(1), color = u(2), stencil = u(4);
                float z = f(3);
                RECT r = viewport;
                m_Steps.push_back([=](IDirect3DDevice9* d)
                                  { d->Clear(count, count ? reinterpret_cast<const D3DRECT*>(&r) : nullptr, flags, color, z, stencil); });
            }
            else if (name == "SetTransform")
            {
                D3DMATRIX m{};
                for (int i = 0; i < 16; ++i)
                    (&m._11)[i] = f(1 + i);
                auto state = static_cast<D3DTRANSFORMSTATETYPE>(u(0));
                m_Steps.push_back([=](IDirect3DDevice9* d) { d->SetTransform(state, &m); });
            }
            else if (name == "LightEnable")
            {
                DWORD index = u(0), on = u(1);
                m_Steps.push_back([=](IDirect3DDevice9* d) { d->LightEnable(index, on); });
            }
            else if (name == "SetLight")
            {
                D3DLIGHT9 light{};
                light.Type = static_cast<D3DLIGHTTYPE>(u(1));
                for (int i = 0; i < 25; ++i)
                    (&light.Diffuse.r)[i] = f(2 + i);
                DWORD index = u(0);
                m_Steps.push_back([=](IDirect3DDevice9* d) { d->SetLight(index, &light); });
            }
            else if (name == "SetMaterial")
            {
                D3DMATERIAL9 material{};
                for (int i = 0; i < 17; ++i)
                    (&material.Diffuse.r)[i] = f(i);
                m_Steps.push_back([=](IDirect3DDevice9* d) { d->SetMaterial(&material); });
            }
            else if (name == "SetRenderState")
            {
                auto state = static_cast<D3DRENDERSTATETYPE>(u(0));
                DWORD value = u(1);
                m_Steps.push_back([=](IDirect3DDevice9* d) { d->SetRenderState(state, value); });
            }
            else if (name == "SetTextureStageState")
            {
                DWORD stage = u(0), value = u(2);
                auto type = static_cast<D3DTEXTURESTAGESTATETYPE>(u(1));
                m_Steps.push_back([=](IDirect3DDevice9* d) { d->SetTextureStageState(stage, type, value); });
            }
            else if (name == "SetSamplerState")
            {
                DWORD sampler = u(0), value = u(2);
                auto type = static_cast<D3DSAMPLERSTATETYPE>(u(1));
                m_Steps.push_back([=](IDirect3DDevice9* d) { d->SetSamplerState(sampler, type, value); });
            }
            else if (name == "SetTexture")
            {
                // The textures are the scene's and the view's own, alive while the view stands.
                DWORD stage = u(0);
                auto* texture = reinterpret_cast<IDirect3DBaseTexture9*>(static_cast<uintptr_t>(p.empty() ? 0 : p[0]));
                m_Steps.push_back([=](IDirect3DDevice9* d) { d->SetTexture(stage, texture); });
            }
            else if (name == "SetFVF")
            {
                DWORD fvf = u(0);
                m_Steps.push_back([=](IDirect3DDevice9* d) { d->SetFVF(fvf); });
            }
            else if (name == "SetStreamSource" || name == "SetIndices" || name == "SetVertexShader" ||
                     name == "SetPixelShader")
            {
                // The frame draws from memory with the fixed pipeline: each of these binds nothing.
                if (!p.empty() && p[0] != 0)
                {
                    unknown = call.Text();
                    return false;
                }
                if (name == "SetStreamSource")
                    m_Steps.push_back([](IDirect3DDevice9* d) { d->SetStreamSource(0, nullptr, 0, 0); });
                else if (name == "SetIndices")
                    m_Steps.push_back([](IDirect3DDevice9* d) { d->SetIndices(nullptr); });
                else if (name == "SetVertexShader")
                    m_Steps.push_back([](IDirect3DDevice9* d) { d->SetVertexShader(nullptr); });
                else
                    m_Steps.push_back([](IDirect3DDevice9* d) { d->SetPixelShader(nullptr); });
            }
            else if (name == "DrawPrimitiveUP")
            {
                m_Bytes.push_back(call.vertices);
                size_t slot = m_Bytes.size() - 1;
                auto type = static_cast<D3DPRIMITIVETYPE>(u(0));
                UINT count = u(1), stride = u(2);
                m_Steps.push_back([=, this](IDirect3DDevice9* d)
                                  { d->DrawPrimitiveUP(type, count, m_Bytes[slot].data(), stride); });
                m_Triangles += type == D3DPT_TRIANGLELIST || type == D3DPT_TRIANGLESTRIP || type == D3DPT_TRIANGLEFAN ? count : 0;
            }
            else if (name == "DrawIndexedPrimitiveUP")
            {
                m_Bytes.push_back(call.vertices);
                m_Bytes.push_back(call.indices);
                size_t slot = m_Bytes.size() - 2;
                auto type = static_cast<D3DPRIMITIVETYPE>(u(0));
                UINT minIndex = u(1), vertices = u(2), count = u(3), stride = u(5);
                auto format = static_cast<D3DFORMAT>(u(4));
                m_Steps.push_back(
                    [=, this](IDirect3DDevice9* d)
                    {
                        d->DrawIndexedPrimitiveUP(type, minIndex, vertices, count, m_Bytes[slot + 1].data(), format,
                                                  m_Bytes[slot].data(), stride);
                    });
                m_Triangles += type == D3DPT_TRIANGLELIST || type == D3DPT_TRIANGLESTRIP || type == D3DPT_TRIANGLEFAN ? count : 0;
            }
            else if (name == "Present")
            {
                RECT r{static_cast<LONG>(u(0)), static_cast<LONG>(u(1)), static_cast<LONG>(u(2)), static_cast<LONG>(u(3))};
                // "l t r b, destination, window": a null source leaves three numbers.
                bool whole = n.size() < 6;
                bool dest = !whole && p.size() >= 2 && p[p.size() - 2] != 0;
                m_Steps.push_back([=](IDirect3DDevice9* d)
                                  { d->Present(whole ? nullptr : &r, dest && !whole ? &r : nullptr, nullptr, nullptr); });
            }
            else
            {
                unknown = call.Text();
                return false;
            }
        }
        return true;
    }

    void Run(IDirect3DDevice9* device) const
    {
        for (const auto& step : m_Steps)
            step(device);
    }

    size_t Calls() const { return m_Steps.size(); }
    uint64_t Triangles() const { return m_Triangles; }

private:
    std::vector<std::function<void(IDirect3DDevice9*)>> m_Steps;
    std::vector<std::vector<uint8_t>> m_Bytes;
    uint64_t m_Triangles = 0;
};

// The back buffer's pixels after `draw`, on a target cleared to black first.
std::vector<uint32_t> Pixels(IDirect3DDevice9* device, const std::function<void()>& draw)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    draw();
    return SoftDevice::ReadBackBuffer(device);
}

struct Figures
{
    unsigned threads = 0;
    double view = 0, replay = 0;
};

// Returns false when the view cannot draw or its calls cannot be replayed.
bool Measure(const std::filesystem::path& folder, uint32_t segments, int frames)
{
    ViewSceneOptions options;
    options.boxes = 4;
    options.segments = segments;
    options.size = 1.0f; // four boxes in a row fit the default cameras
    auto* form = new TViewHostForm(nullptr, folder, options, Width, Height);
    form->Show();
    XView* view = form->View();
    view->RenderScene(true); // the device, the textures and the grid come with the first frame
    IDirect3DDevice9* device = view->GetDevice();
    ISoftDevice9* soft = nullptr;
    if (!device || FAILED(device->QueryInterface(IID_ISoftDevice9, reinterpret_cast<void**>(&soft))) || !soft)
    {
        std::fprintf(stderr, "view_bench: the view has no software device\n");
        form->Free();
        return false;
    }
    soft->EnableCallLog(true);
    view->RenderScene(true);
    std::vector<D3D9Call> log = soft->GetCallLog(); // stopping the log clears it
    soft->EnableCallLog(false);
    Replay replay;
    std::string unknown;
    bool ok = replay.Build(log, unknown);
    uint64_t sceneTriangles = 0;
    {
        XScene probe(nullptr);
        sceneTriangles = BuildViewScene(probe, folder, options);
    }
    if (!ok)
        std::fprintf(stderr, "view_bench: the replay does not know %s\n", unknown.c_str());
    else
    {
        // The replay must draw what the view draws, or it measures something else.
        std::vector<uint32_t> viewPixels = Pixels(device, [&] { view->RenderScene(true); });
        std::vector<uint32_t> replayPixels = Pixels(device, [&] { replay.Run(device); });
        size_t differing = 0;
        for (size_t i = 0; i < std::min(viewPixels.size(), replayPixels.size()); ++i)
            differing += viewPixels[i] != replayPixels[i];
        if (viewPixels.empty() || viewPixels.size() != replayPixels.size())
            differing = std::max(viewPixels.size(), replayPixels.size());
        std::vector<Figures> rows;
        for (unsigned threads : {1u, 2u, 0u})
        {
            soft->SetRasterThreads(threads);
            Figures row;
            row.threads = soft->GetRasterThreads();
            view->RenderScene(true);
            replay.Run(device);
            std::vector<double> viewTimes, replayTimes;
            // The two alternate, so that both see the same machine.
            for (int i = 0; i < frames; ++i)
            {
                viewTimes.push_back(Milliseconds([&] { view->RenderScene(true); }));
                replayTimes.push_back(Milliseconds([&] { replay.Run(device); }));
            }
            row.view = Median(viewTimes);
            row.replay = Median(replayTimes);
            rows.push_back(row);
        }
        std::printf("view_bench: %dx%d view in 2 x 2 with grids and captions, scene of %llu box "
                    "triangles with a cylinder and a cone (%llu drawn a frame in %zu device calls), median of %d frames\n",
                    Width, Height, static_cast<unsigned long long>(sceneTriangles),
                    static_cast<unsigned long long>(replay.Triangles()), replay.Calls(), frames);
        std::printf("  the replayed frame differs from the view's in %zu of %zu pixels\n", differing,
                    viewPixels.size());
        for (const Figures& row : rows)
            std::printf("  %2u raster thread%s: RenderScene %7.2f ms (%5.1f%% of the 75 ms timer), replayed calls "
                        "%7.2f ms, view / replay %5.2f\n",
                        row.threads, row.threads == 1 ? " " : "s", row.view, row.view / TimerMs * 100.0, row.replay,
                        row.view / row.replay);
    }
    soft->Release();
    form->Free();
    return ok;
}
} // namespace

int main(int argc, char** argv)
{
    int frames = 15;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc)
            frames = std::max(1, std::atoi(argv[++i]));
    setenv("KELVANE_HEADLESS", "1", 1);
    TempDir folder("view_bench");
    Application->Initialize();
    // 4 boxes of 20 and of 46 segments a side: 19,200 and 101,568 box triangles.
    bool ok = Measure(folder.Path(), 20, frames) && Measure(folder.Path(), 46, frames);
    return ok ? 0 : 1;
}
