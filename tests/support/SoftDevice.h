// A software Direct3D 9 device for tests of drawing code: loaded as the engine loads it, with its
// call log recording from the start.
#pragma once

#include "Platform/D3D9/D3D9Testing.h"

#include <cstring>
#include <string>
#include <vector>

class SoftDevice
{
public:
    // A windowed device, 64 x 64 unless given, presenting into `window` when one is given; device
    // stays null (and the test should fail) without the library.
    explicit SoftDevice(UINT width = 64, UINT height = 64, HWND window = nullptr);
    ~SoftDevice();
    SoftDevice(const SoftDevice&) = delete;
    SoftDevice& operator=(const SoftDevice&) = delete;

    IDirect3DDevice9* device = nullptr;
    ISoftDevice9* soft = nullptr;

    const std::vector<D3D9Call>& Log() const { return soft->GetCallLog(); }
    // The log as "Name(args)" lines.
    std::vector<std::string> Texts() const;
    void Clear() { soft->ClearCallLog(); }
    // The logged calls of that name, in order; Draws, those of DrawPrimitiveUP.
    std::vector<const D3D9Call*> Calls(const std::string& name) const;
    std::vector<const D3D9Call*> Draws() const { return Calls("DrawPrimitiveUP"); }
    // The back buffer's pixels (0xAARRGGBB as stored), rows top first, width x height of them;
    // empty when it cannot be read. Call it outside BeginScene / EndScene.
    std::vector<uint32_t> BackBuffer() { return ReadBackBuffer(device); }
    // The same of any device's first back buffer.
    static std::vector<uint32_t> ReadBackBuffer(IDirect3DDevice9* device);

    UINT width;
    UINT height;

private:
    HMODULE m_Module = nullptr;
    IDirect3D9* m_D3D = nullptr;
};

// The vertices a logged call read, as whole records of the given layout.
template <class Vertex> std::vector<Vertex> CallVertices(const D3D9Call& call)
{
    std::vector<Vertex> vertices(call.vertices.size() / sizeof(Vertex));
    std::memcpy(vertices.data(), call.vertices.data(), vertices.size() * sizeof(Vertex));
    return vertices;
}
