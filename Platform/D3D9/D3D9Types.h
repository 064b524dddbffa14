// Plain value types of the Direct3D 9 layer that the foundation needs without the device.
#pragma once

#include <cstdint>

// Packed colour 0xAARRGGBB.
using D3DCOLOR = uint32_t;

// Colour as four floats, nominally 0 to 1.
struct D3DCOLORVALUE
{
    float r;
    float g;
    float b;
    float a;
};
