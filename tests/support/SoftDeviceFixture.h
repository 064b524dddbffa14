// A software Direct3D 9 device for tests of engine objects, made as the engine's views make it:
// "d3d9.dll" by name, entered through Direct3DCreate9. Its call log and resource count show what
// the objects did on it.
#pragma once

#include "Platform/D3D9/D3D9Testing.h"

#include <string>
#include <vector>

class SoftDeviceFixture
{
public:
    // A windowed width x height device with a 16-bit depth buffer; throws std::runtime_error when
    // the library or the device cannot be had.
    explicit SoftDeviceFixture(UINT width = 64, UINT height = 64);
    ~SoftDeviceFixture();
    SoftDeviceFixture(const SoftDeviceFixture&) = delete;
    SoftDeviceFixture& operator=(const SoftDeviceFixture&) = delete;

    IDirect3DDevice9* Device() const { return m_Device; }
    ISoftDevice9* Soft() const { return m_Soft; }

    // Starts recording afresh.
    void StartLog() { m_Soft->EnableCallLog(true); }
    // The recorded calls as "Name(args)" texts, in order.
    std::vector<std::string> Calls() const;
    // Recorded calls whose text begins with the prefix ("CreateTexture(").
    std::vector<std::string> Calls(const std::string& prefix) const;
    // Resets the device with its own parameters; the result of Reset.
    HRESULT Reset();

private:
    HMODULE m_Module = nullptr;
    IDirect3D9* m_D3D = nullptr;
    IDirect3DDevice9* m_Device = nullptr;
    ISoftDevice9* m_Soft = nullptr;
    D3DPRESENT_PARAMETERS m_Parameters{};
};
