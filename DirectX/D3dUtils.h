// Small services around Direct3D 9: a failed result code as an exception with a readable text,
// and the bit depth of a pixel format.
#pragma once

#include "Platform/D3D9/D3D9.h"

#include <span>

// One row of the pixel-format table.
struct D3DFormatDesc
{
    D3DFORMAT format;
    const char* name;
    unsigned bits; // bits per pixel; 0 for formats without a fixed size per pixel
    const char* description;
};

// Returns when `result` is exactly 0; any other code (positive success codes included) throws
// XException with the code's text, or "D3D call failed" for a code without one.
void CheckD3D(HRESULT result);

// The text CheckD3D throws for a code.
const char* GetD3DResultText(HRESULT result);

// Bits per pixel of a format; 0 when the format is not in the table.
unsigned GetFormatBits(D3DFORMAT format);

// The table GetFormatBits looks formats up in, in its order.
std::span<const D3DFormatDesc> GetFormatTable();
