// The pixels of a windowed control for code outside the class library that draws into a window:
// the software Direct3D device presents into the control it was created for. The device is a
// module of its own and finds the entry point in the process by name (KelvaneControlSurfaceEntry),
// so the declaration is plain C.
#pragma once

#include "Platform/Win32/Windows.h"

#include <cstdint>

extern "C"
{
    struct KelvaneControlSurface
    {
        uint32_t* pixels; // the top-level form's buffer: 0x00RRGGBB, rows top first
        int32_t stride;   // pixels from one row to the next
        int32_t bufferWidth, bufferHeight;
        int32_t left, top, width, height; // the control's client area in buffer coordinates
        // The part of the buffer the control may draw on: its area cut by its parents' and the buffer's.
        int32_t clipLeft, clipTop, clipRight, clipBottom;
        // Shows a changed rectangle of the buffer (buffer coordinates, right and bottom exclusive)
        // without letting the controls paint over it.
        void (*markDirty)(void* form, int32_t left, int32_t top, int32_t right, int32_t bottom);
        void* form;
    };

    // Fills `surface` for the handle of a showing windowed control; false for any other handle.
    // Valid until the next message is handled.
    __attribute__((visibility("default"))) bool KelvaneGetControlSurface(HWND window,
                                                                         KelvaneControlSurface* surface);
}

inline constexpr const char* KelvaneControlSurfaceEntry = "KelvaneGetControlSurface";
