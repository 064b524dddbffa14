#include "Gx/UI/GxFont.h"

#include "Platform/D3D9/D3D9.h"

using StrUtils::XBaseString;

namespace Gx::Ui
{
GxFont::GxFont() = default;

GxFont::~GxFont()
{
    ReleaseTexture();
}

void GxFont::ReleaseTexture()
{
    if (!m_Texture)
        return;
    IDirect3DTexture9* texture = m_Texture;
    m_Texture = nullptr;
    texture->Release();
}

void GxFont::CreateDevice(IDirect3DDevice9* device)
{
    m_Device = device;
    ReleaseTexture();
}

void GxFont::ReleaseDevice(IDirect3DDevice9*)
{
    ReleaseTexture();
    m_Device = nullptr;
}

void GxFont::InvalidateDevice(IDirect3DDevice9*) {}

void GxFont::RestoreDevice(IDirect3DDevice9*) {}

void GxFont::SetSize(uint32_t points)
{
    if (points == m_Size)
        return;
    m_Size = points;
    ReleaseTexture();
}

void GxFont::SetBold(bool bold)
{
    uint32_t weight = bold ? 700 : 0;
    if (weight == m_Weight)
        return;
    m_Weight = weight;
    ReleaseTexture();
}

void GxFont::SetFace(const XBaseString<WCHAR>& face)
{
    if (face == m_FaceName)
        return;
    m_FaceName = face;
    ReleaseTexture();
}

void GxFont::EnsureTexture()
{
    if (!m_Device || m_Texture)
        return;
    m_Texture = CreateTexture(m_Device, m_TextureWidth, m_TextureHeight, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
}

float GxFont::GetTextWidth(const XBaseString<WCHAR>& text)
{
    EnsureTexture();
    return D3dFont::GetTextWidth(text);
}

float GxFont::DrawTextClipped(float x, float y, const XRect& clip, uint32_t color,
                              const XBaseString<WCHAR>& text)
{
    EnsureTexture();
    return D3dFont::DrawTextClipped(m_Device, m_Texture, x, y, clip, color, text);
}
} // namespace Gx::Ui
