// What the software Direct3D device offers tests beyond the platform's interfaces: a call log per
// device, a forced device loss, and process-wide failures to inject into the next calls.
#pragma once

#include "Platform/D3D9/D3D9.h"

#include <string>
#include <vector>

// One recorded call: the method's name, its arguments as text ("137, 0"; matrices, lights and
// materials as their numbers), and for the two drawing calls the bytes they were given.
struct D3D9Call
{
    std::string name;
    std::string args;
    std::vector<uint8_t> vertices; // the vertices the call reads (stride x vertex count)
    std::vector<uint8_t> indices;  // the indices of an indexed draw

    std::string Text() const { return name + "(" + args + ")"; }
};

// {6B0E7A52-3C1D-4F3E-9A2B-5D1C0E8F7A10}
inline constexpr IID IID_ISoftDevice9 = {
    0x6B0E7A52, 0x3C1D, 0x4F3E, {0x9A, 0x2B, 0x5D, 0x1C, 0x0E, 0x8F, 0x7A, 0x10}};

// Reached from any device with QueryInterface(IID_ISoftDevice9); the reference it returns is
// released like any other.
struct ISoftDevice9 : IUnknown
{
    // Starts (clearing what was recorded) or stops recording. Recording starts off.
    virtual void EnableCallLog(bool enable) = 0;
    virtual const std::vector<D3D9Call>& GetCallLog() = 0;
    virtual void ClearCallLog() = 0;
    // The device is lost from now on: TestCooperativeLevel answers D3DERR_DEVICELOST once, then
    // D3DERR_DEVICENOTRESET until a successful Reset; Present answers D3DERR_DEVICELOST.
    virtual void LoseDevice() = 0;
    // Successful resets since creation.
    virtual UINT GetResetCount() = 0;
    // Textures and surfaces of this device alive now (the back buffer and depth buffer excluded).
    virtual UINT GetLiveResourceCount() = 0;
    // Threads that draw, the calling one included; 0 chooses one per core (the start).
    virtual void SetRasterThreads(UINT count) = 0;
    virtual UINT GetRasterThreads() = 0;
    // Whether draws the quick pixel loops can take go there (the start) or through the general
    // pixel stage; both give the same pixels.
    virtual void EnableQuickPixels(bool enable) = 0;
};

// Failures injected into the next calls of any device or Direct3D object of the process: each
// counter makes that many upcoming calls fail (CreateDevice and GetAdapterDisplayMode with
// D3DERR_NOTAVAILABLE, CreateTexture with D3DERR_OUTOFVIDEOMEMORY, LockRect and
// SetRenderState with D3DERR_INVALIDCALL, Direct3DCreate9 with no object) and counts down.
struct D3D9Faults
{
    UINT failCreateDevice = 0;
    UINT failGetAdapterDisplayMode = 0;
    UINT failCreateTexture = 0;
    UINT failLockRect = 0;
    UINT failSetRenderState = 0;
    UINT failDirect3DCreate9 = 0;
};

// The library's export "SoftD3D9Faults": the process's one fault block.
using SoftD3D9FaultsProc = D3D9Faults* (*)();

// The fault block of the loaded device library (loading it if need be); null without the library.
inline D3D9Faults* GetD3D9Faults()
{
    HMODULE module = LoadLibraryW(u"d3d9.dll");
    if (!module)
        return nullptr;
    auto proc = reinterpret_cast<SoftD3D9FaultsProc>(GetProcAddress(module, "SoftD3D9Faults"));
    // The module stays loaded, so the block stays valid for the rest of the run.
    return proc ? proc() : nullptr;
}
