// Pixel layouts of the view's capture path, conversion between them, flips, and the BMP writer.
// A pixel is a little-endian word of the layout's size.
#pragma once

#include "Engine/Views/XBitmap.h"

#include <cstdint>

class XStream;

enum XColorFormat : uint32_t
{
    XCF_R5G6B5 = 0,
    XCF_X1R5G5B5 = 1,
    XCF_A1R5G5B5 = 2,
    XCF_X4R4G4B4 = 3,
    XCF_A4R4G4B4 = 4,
    XCF_A8R3G3B2 = 5,
    XCF_R8G8B8 = 6,
    XCF_X8R8G8B8 = 7,
    XCF_A8R8G8B8 = 8,
};

// Bytes per pixel: 2 for 0-5, 3 for 6, 4 for 7 and 8, 0 above.
unsigned GetColorFormatSize(XColorFormat format);
// The layout of a Direct3D surface format; false for a format without one.
bool GetColorFormatOf(uint32_t d3dFormat, XColorFormat& format);
// Converts width x height pixels in order through a 32-bit A8R8G8B8 colour. Throws XException
// "Invalid output bitmap format." / "Invalid input bitmap format." for a layout above 8.
void ConvertBitmap(XColorFormat target, void* dst, XColorFormat source, const void* src, unsigned width,
                   unsigned height);
// In place: mode 0 turns the rows upside down, 1 mirrors each row, 2 turns the image by 180
// degrees, any other mode changes nothing. A layout above 8 throws XException "Invalid bitmap
// format.".
void FlipBitmap(uint8_t mode, XColorFormat format, void* data, unsigned width, unsigned height);
// A complete BMP: a 66-byte header (the three masks always written), then the rows as given,
// each padded to 4 bytes; a positive height means rows bottom-up. A layout above 8, a width of 0
// or less or a height of 0 throws XException "Invalid bitmap format." before anything is written.
void SaveBitmapToStream(XStream* stream, const void* data, int width, int height, XColorFormat format);
