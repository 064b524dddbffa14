// A software Direct3D 9 device for tests of drawing code: loaded as the engine loads it, with its
// call log recording from the start.
#pragma once

#include "Platform/D3D9/D3D9Testing.h"

#include <string>
#include <vector>

class SoftDevice
{
public:
    // A windowed 64 x 64 device; device stays null (and the test should fail) without the library.
    SoftDevice();
    ~SoftDevice();
    SoftDevice(const SoftDevice&) = delete;
    SoftDevice& operator=(const SoftDevice&) = delete;

    IDirect3DDevice9* device = nullptr;
    ISoftDevice9* soft = nullptr;

    const std::vector<D3D9Call>& Log() const { return soft->GetCallLog(); }
    // The log as "Name(args)" lines.
    std::vector<std::string> Texts() const;
    void Clear() { soft->ClearCallLog(); }

private:
    HMODULE m_Module = nullptr;
    IDirect3D9* m_D3D = nullptr;
};
