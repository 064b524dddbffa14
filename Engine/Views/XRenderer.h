// The render-state holder each viewport owns: it follows the device through the device events
// and sets the lighting state with a cached value.
#pragma once

#include <cstdint>

struct IDirect3DDevice9;

class XRenderer
{
public:
    // Create and restore remember the device; release and invalidate forget it.
    void CreateDevice(IDirect3DDevice9* device) { m_Device = device; }
    void RestoreDevice(IDirect3DDevice9* device) { m_Device = device; }
    void ReleaseDevice(IDirect3DDevice9*) { m_Device = nullptr; }
    void InvalidateDevice(IDirect3DDevice9*) { m_Device = nullptr; }
    IDirect3DDevice9* GetDevice() const { return m_Device; }

    // D3DRS_LIGHTING on the device; the cache takes the value when the device accepts it, and the
    // device's own value when it refuses. Nothing without a device.
    void SetLighting(bool on);
    bool GetLighting() const { return m_Lighting != 0; }

private:
    IDirect3DDevice9* m_Device = nullptr;
    uint8_t m_Lighting = 0;
};
