// A memory DC over a 32-bit DIB section, filled with one colour: what the drawing tests draw into
// and read the pixels of.
#pragma once

#include "Platform/Gdi/Gdi.h"

#include <algorithm>
#include <cstdint>

struct DibCanvas
{
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    uint32_t* bits = nullptr;
    int width = 0;
    int height = 0;

    DibCanvas(int w, int h, COLORREF fill = RGB(255, 255, 255), bool topDown = true) : width(w), height(h)
    {
        BITMAPINFO info{};
        info.bmiHeader =
            BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), w, topDown ? -h : h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* p = nullptr;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<uint32_t*>(p);
        old = SelectObject(dc, bitmap);
        Fill(fill);
    }
    ~DibCanvas()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    void Fill(COLORREF colour)
    {
        std::fill(bits, bits + size_t(width) * size_t(height), Platform::Gdi::ToPixel(colour));
    }
    uint32_t At(int x, int y) const { return bits[size_t(y) * width + x]; } // top-down canvases
};
