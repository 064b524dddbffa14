// A font of the in-viewport UI: font settings with the glyph texture built from them for one
// device. The texture lives between a device's creation and its release, and goes whenever a
// setting changes, so that the next text operation builds it again.
//
// The settings stand where the bitmap font keeps them (size 10 points, weight 400, "Arial");
// building the glyph texture, measuring and drawing text come with that font.
#pragma once

#include "Components/StrUtils.h"

#include <cstdint>

struct IDirect3DDevice9;
struct IDirect3DTexture9;

namespace Gx::Ui
{
class GxFont
{
public:
    GxFont();
    // Releases the texture.
    virtual ~GxFont();
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

    uint32_t GetSize() const { return m_Size; }
    uint32_t GetWeight() const { return m_Weight; }
    bool GetBold() const { return m_Weight == 700; }
    StrUtils::XBaseString<WCHAR> GetFace() const { return m_Face; }
    IDirect3DDevice9* GetDevice() const { return m_Device; }
    IDirect3DTexture9* GetTexture() const { return m_Texture; }
    uint32_t GetTextureWidth() const { return m_TextureWidth; }
    uint32_t GetTextureHeight() const { return m_TextureHeight; }

protected:
    void ReleaseTexture();

    uint32_t m_Size = 10;
    uint32_t m_Weight = 400;
    StrUtils::XBaseString<WCHAR> m_Face{u"Arial"};
    IDirect3DTexture9* m_Texture = nullptr;
    IDirect3DDevice9* m_Device = nullptr;
    uint32_t m_TextureWidth = 0;
    uint32_t m_TextureHeight = 0;
};
} // namespace Gx::Ui
