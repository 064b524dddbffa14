// Packed 32-bit colour in the Direct3D layout 0xAARRGGBB (bytes B, G, R, A in memory), with its
// conversions to four floats and to the GDI layout 0x00BBGGRR.
#pragma once

#include "Platform/D3D9/D3D9Types.h"
#include "Platform/Win32/Windows.h"

#include <cstdint>

class XColor
{
public:
    // Left uninitialised, like the plain word it stands for (arrays of colours are filled later).
    XColor() = default;
    XColor(unsigned argb) : m_Argb(argb) {}
    XColor(uint8_t a, uint8_t r, uint8_t g, uint8_t b)
        : m_Argb(static_cast<uint32_t>(a) << 24 | static_cast<uint32_t>(r) << 16 |
                 static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b))
    {
    }
    // Each channel times 255, truncated; above 255 gives 255, below 0 (and NaN) gives 0.
    XColor(const D3DCOLORVALUE& value);

    XColor(const XColor&) = default;
    XColor& operator=(const XColor&) = default;
    XColor& operator=(unsigned argb)
    {
        m_Argb = argb;
        return *this;
    }

    uint32_t GetARGB() const { return m_Argb; }
    // Each channel divided by 255.
    D3DCOLORVALUE ToColorValue() const;
    // A GDI colour 0x00BBGGRR as 0xFFRRGGBB: red and blue swapped back, alpha 0xFF.
    static XColor FromColorRef(DWORD colorRef)
    {
        return XColor(0xFF000000u | (colorRef & 0xFF) << 16 | (colorRef & 0xFF00) | (colorRef >> 16 & 0xFF));
    }
    // Red and blue swapped, alpha dropped.
    DWORD ToColorRef() const { return (m_Argb >> 16 & 0xFF) | (m_Argb & 0x00FF00) | (m_Argb & 0xFF) << 16; }

private:
    uint32_t m_Argb;
};

static_assert(sizeof(XColor) == 4, "XColor is stored and saved as one 32-bit word");
