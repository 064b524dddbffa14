// What saving a 1920 x 1080 view as an image costs, step by step, against the physical limits in
// the same run:
//   capture_bench [--rounds N]
// The frame is drawn by the software Direct3D device into its back buffer (a field of coloured
// triangles), read back into memory as the capture reads it (render target -> system-memory
// surface -> locked copy), converted and flipped as the BMP and JPEG paths do, and encoded into
// memory. Ratios: XBitmap's JPEG against the JPEG library compressing the same RGB rows directly,
// and the BMP path (header and rows written to a memory stream) against a plain copy of its bytes
// into the same kind of stream.
#include "Components/XMemoryStream.h"
#include "Engine/Views/Bmputils.h"
#include "Engine/Views/XBitmap.h"
#include "Platform/D3D9/D3D9Testing.h"
#include "tests/support/ImageDecoders.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;
constexpr UINT Width = 1920, Height = 1080;

// The best of `rounds` runs, in milliseconds.
double Best(int rounds, const std::function<void()>& work)
{
    double best = 1e300;
    for (int i = 0; i < rounds; ++i)
    {
        auto start = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return best;
}

struct Vertex
{
    float x, y, z, rhw;
    DWORD colour;
};

[[noreturn]] void Die(const char* what)
{
    std::fprintf(stderr, "capture_bench: %s\n", what);
    std::exit(1);
}
} // namespace

int main(int argc, char** argv)
{
    int rounds = 10;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--rounds") == 0)
            rounds = std::max(1, std::atoi(argv[++i]));

    HMODULE module = LoadLibraryW(u"d3d9.dll");
    if (!module)
        Die("no d3d9 module beside the program");
    auto create = reinterpret_cast<Direct3DCreate9Proc>(GetProcAddress(module, "Direct3DCreate9"));
    IDirect3D9* d3d = create ? create(D3D_SDK_VERSION) : nullptr;
    if (!d3d)
        Die("Direct3DCreate9 failed");
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = Width;
    p.BackBufferHeight = Height;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.Windowed = TRUE;
    p.EnableAutoDepthStencil = TRUE;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    IDirect3DDevice9* device = nullptr;
    if (d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device) != D3D_OK)
        Die("CreateDevice failed");

    // A field of 40 x 24 coloured quads covering the view.
    std::vector<Vertex> field;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 40; ++x)
        {
            const float x0 = x * 48.0f, y0 = y * 45.0f, x1 = x0 + 47, y1 = y0 + 44;
            const DWORD c = 0xFF000000u | (x * 6u) << 16 | (y * 10u) << 8 | ((x * y) & 0xFFu);
            field.insert(field.end(), {{x0, y0, 0.5f, 1, c}, {x1, y0, 0.5f, 1, c}, {x1, y1, 0.5f, 1, c},
                                       {x0, y0, 0.5f, 1, c}, {x1, y1, 0.5f, 1, c}, {x0, y1, 0.5f, 1, 0xFFFFFFFF}});
        }
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    auto frame = [&]
    {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF202030, 1.0f, 0);
        device->BeginScene();
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, UINT(field.size() / 3), field.data(), sizeof(Vertex));
        device->EndScene();
    };

    // Read-back as the raw capture does it: rows without gaps, top row first.
    std::vector<uint8_t> captured(size_t(Width) * Height * 4);
    auto readBack = [&]
    {
        IDirect3DSurface9* target = nullptr;
        IDirect3DSurface9* system = nullptr;
        if (device->GetRenderTarget(0, &target) != D3D_OK ||
            device->CreateOffscreenPlainSurface(Width, Height, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &system,
                                                nullptr) != D3D_OK ||
            device->GetRenderTargetData(target, system) != D3D_OK)
            Die("read-back failed");
        D3DLOCKED_RECT locked{};
        if (system->LockRect(&locked, nullptr, 0) != D3D_OK)
            Die("LockRect failed");
        for (UINT y = 0; y < Height; ++y)
            std::memcpy(&captured[size_t(y) * Width * 4], static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch,
                        size_t(Width) * 4);
        system->UnlockRect();
        system->Release();
        target->Release();
    };

    frame();
    readBack();
    std::vector<uint8_t> work(captured.size());
    std::vector<uint8_t> converted(size_t(Width) * Height * 2);

    const double frameMs = Best(rounds, frame);
    const double readMs = Best(rounds, readBack);
    const double flipMs = Best(rounds, [&] {
        work = captured;
        FlipBitmap(0, XCF_X8R8G8B8, work.data(), Width, Height);
    });
    const double convertMs = Best(rounds, [&] {
        ConvertBitmap(XCF_R5G6B5, converted.data(), XCF_X8R8G8B8, captured.data(), Width, Height);
    });

    // Encoding into memory: only the save is timed (XBitmap takes its pixels over, so each round
    // hands it a fresh copy first). Each BMP round also times a plain copy of the file's bytes
    // into the same kind of stream, in the same state of the allocator.
    std::vector<uint8_t> bmpFile;
    double copyMs = 1e300;
    auto encode = [&](XBitmapSourceType type, size_t& bytes)
    {
        double best = 1e300;
        for (int i = 0; i < rounds; ++i)
        {
            auto* pixels = new uint8_t[captured.size()];
            std::memcpy(pixels, captured.data(), captured.size());
            XBitmap bitmap;
            bitmap.Set(pixels, Width, Height, 32, XBitmap::FormatA8R8G8B8);
            auto start = Clock::now();
            {
                XMemoryStream stream(0, 1 << 20);
                bitmap.Save(&stream, type);
                bytes = static_cast<size_t>(stream.GetSize());
            }
            best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            if (type != bstBMP)
                continue;
            if (bmpFile.size() != bytes)
            {
                bmpFile.assign(bytes, 0);
                std::memcpy(bmpFile.data() + (bytes - captured.size()), captured.data(), captured.size());
            }
            start = Clock::now();
            {
                XMemoryStream stream(0, 1 << 20);
                stream.WriteBuffer(bmpFile.data(), static_cast<unsigned>(bytes));
            }
            copyMs = std::min(copyMs, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        return best;
    };
    size_t jpegBytes = 0, bmpBytes = 0;
    const double jpegMs = encode(bstJPEG, jpegBytes);
    const double bmpMs = encode(bstBMP, bmpBytes);

    // The limits: the JPEG library on the same RGB rows, and a plain copy of the BMP's bytes.
    std::vector<uint8_t> rgb(size_t(Width) * Height * 3);
    for (size_t i = 0; i < size_t(Width) * Height; ++i)
    {
        rgb[i * 3] = captured[i * 4 + 2];
        rgb[i * 3 + 1] = captured[i * 4 + 1];
        rgb[i * 3 + 2] = captured[i * 4];
    }
    size_t libJpegBytes = 0;
    const double libJpegMs = Best(rounds, [&] { libJpegBytes = CompressWithLibJpeg(rgb, Width, Height).size(); });
    std::printf("capture of a %u x %u view (best of %d rounds)\n", Width, Height, rounds);
    std::printf("  frame (draw into the back buffer)  %8.2f ms\n", frameMs);
    std::printf("  read-back (target -> memory)       %8.2f ms\n", readMs);
    std::printf("  flip (rows top for bottom)         %8.2f ms\n", flipMs);
    std::printf("  conversion (X8R8G8B8 -> R5G6B5)    %8.2f ms\n", convertMs);
    std::printf("  JPEG encoding (XBitmap)            %8.2f ms  %zu bytes\n", jpegMs, jpegBytes);
    std::printf("  JPEG library on the same rows      %8.2f ms  %zu bytes  ratio %.3f (aim <= 1.15)\n", libJpegMs,
                libJpegBytes, jpegMs / libJpegMs);
    std::printf("  BMP encoding (XBitmap)             %8.2f ms  %zu bytes\n", bmpMs, bmpBytes);
    std::printf("  plain copy of its bytes to a stream%8.2f ms  ratio %.3f\n", copyMs, bmpMs / copyMs);
    std::printf("  capture as JPEG, all steps         %8.2f ms\n", frameMs + readMs + jpegMs);
    std::printf("  capture as BMP, all steps          %8.2f ms\n", frameMs + readMs + flipMs + bmpMs);

    device->Release();
    d3d->Release();
    FreeLibrary(module);
    return 0;
}
