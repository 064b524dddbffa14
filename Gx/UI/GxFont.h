// A font of the in-viewport UI: the bitmap font's settings with the glyph texture built from them
// for one device. The texture lives between a device's creation and its release, and goes whenever
// a setting changes, so that the next text operation builds it again.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XVertex.h"
#include "DirectX/D3dFont.h"

#include <cstdint>

struct IDirect3DDevice9;
struct IDirect3DTexture9;

namespace Gx::Ui
{
class GxFont : public D3dFont
{
public:
    GxFont();
    // Releases the texture.
    ~GxFont() override;
    GxFont(const GxFont&) = delete;
    GxFont& operator=(const GxFont&) = delete;

    // Stores the device; a texture of the previous one is released.
    virtual void CreateDevice(IDirect3DDevice9* device);
    // Releases the texture and forgets the device.
    virtual void ReleaseDevice(IDirect3DDevice9* device);
    virtual void InvalidateDevice(IDirect3DDevice9* device);
    virtual void RestoreDevice(IDirect3DDevice9* device);

    // Each releases the texture when the value changes.
    void SetSize(uint32_t points);
    // Weight 700, or 0 for false.
    void SetBold(bool bold);
    void SetFace(const StrUtils::XBaseString<WCHAR>& face);

    // Builds the glyph texture (A8R8G8B8, managed) when a device is set and there is none.
    void EnsureTexture();
    // The bitmap font's operations on the font's own device and texture, built first.
    float GetTextWidth(const StrUtils::XBaseString<WCHAR>& text);
    float DrawTextClipped(float x, float y, const XRect& clip, uint32_t color,
                          const StrUtils::XBaseString<WCHAR>& text);

    bool GetBold() const { return m_Weight == 700; }
    StrUtils::XBaseString<WCHAR> GetFace() const { return m_FaceName; }
    IDirect3DDevice9* GetDevice() const { return m_Device; }
    IDirect3DTexture9* GetTexture() const { return m_Texture; }
    uint32_t GetTextureWidth() const { return m_TextureWidth; }
    uint32_t GetTextureHeight() const { return m_TextureHeight; }

protected:
    void ReleaseTexture();

    IDirect3DTexture9* m_Texture = nullptr;
    IDirect3DDevice9* m_Device = nullptr;
    uint32_t m_TextureWidth = 0;
    uint32_t m_TextureHeight = 0;
};
} // namespace Gx::Ui
