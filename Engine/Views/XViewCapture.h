// The view's image capture: one frame drawn into the back buffer without being presented, read
// back into memory, and written as a BMP in any capture layout, or through XBitmap as a BMP or a
// JPEG. The view's capture operations are these, on its device and its frame.
//
// The raw form raises class-library exceptions (a failed Direct3D step with the text of CheckD3D,
// as a new Exception); the other forms show them with ShowMessage and return normally. Plain texts
// ("Failed opening file.", "Stream writing error.", the pixel buffer's) reach the caller. No surface
// or pixel buffer is left behind by a failure. The path forms write to a temporary file beside the
// target and put it in place only once the whole image is written.
#pragma once

#include "Components/StrUtils.h"
#include "Engine/Views/Bmputils.h"
#include "Platform/D3D9/D3D9.h"

#include <functional>

class XStream;

struct XCaptureSource
{
    IDirect3DDevice9* device = nullptr;
    // Draws one full frame into the back buffer without presenting it and answers the frame's
    // result: D3D_OK when it was drawn, else the reason (a lost device's code). A frame that is
    // not drawn ends the capture; a stale back buffer is never saved.
    std::function<HRESULT()> renderFrame;
};

namespace XViewCapture
{
// A new byte array (freed with delete[] by the caller) of height rows of width pixels of the
// back buffer's format, top row first, rows without gaps.
void CaptureBitmap(const XCaptureSource& view, void** data, unsigned& width, unsigned& height, D3DFORMAT& format);
// A BMP in the given layout.
void CaptureBitmap(const XCaptureSource& view, XStream* stream, XColorFormat format);
void CaptureBitmap(const XCaptureSource& view, const XString& path, XColorFormat format);
// A 32-bit image as BMP or JPEG.
void CaptureImage(const XCaptureSource& view, XStream* stream, XBitmapSourceType type);
// The type from the extension: ".jpg" and ".jpeg" JPEG, ".bmp" BMP, in any case; any other shows
// "Неподдерживаемый тип файла." and creates no file.
void CaptureImage(const XCaptureSource& view, const XString& path);
} // namespace XViewCapture
