// A software Direct3D device for tests of engine objects that hold device resources: loads the
// device library as the engine does, creates a small windowless device and counts its live
// textures. Every reference is given back at the end.
#pragma once

#include "Platform/D3D9/D3D9Testing.h"

class SoftDevice
{
public:
    SoftDevice();
    ~SoftDevice();
    SoftDevice(const SoftDevice&) = delete;
    SoftDevice& operator=(const SoftDevice&) = delete;

    // Null when the library or the device is missing (the test then fails on it).
    IDirect3DDevice9* Get() const { return m_Device; }
    // A new 8 x 8 texture; the caller owns the reference.
    IDirect3DTexture9* CreateTexture();
    // Textures and surfaces of the device alive now.
    unsigned LiveResources();

private:
    HMODULE m_Module = nullptr;
    IDirect3D9* m_D3D = nullptr;
    IDirect3DDevice9* m_Device = nullptr;
    ISoftDevice9* m_Soft = nullptr;
};
