// Showing the back buffer: Present copies it into the pixels of the window's control, found in the
// process through the class library's entry point.
#include "Platform/D3D9/Device/Device.h"
#include "Platform/D3D9/PixelFormat.h"
#include "Platform/Vcl/ControlSurface.h"

#include <dlfcn.h>

#include <algorithm>

namespace Soft9
{
namespace
{
using SurfaceProc = bool (*)(HWND, KelvaneControlSurface*);

// The class library's entry point; null in a process without one (nothing is shown then).
SurfaceProc SurfaceEntry()
{
    static SurfaceProc proc = reinterpret_cast<SurfaceProc>(dlsym(RTLD_DEFAULT, KelvaneControlSurfaceEntry));
    return proc;
}
} // namespace

bool WindowSurface(HWND window, KelvaneControlSurface& surface)
{
    SurfaceProc proc = window ? SurfaceEntry() : nullptr;
    return proc && proc(window, &surface);
}

HWND DeviceImpl::PresentWindow(HWND override) const
{
    if (override)
        return override;
    if (m_parameters.hDeviceWindow)
        return m_parameters.hDeviceWindow;
    return m_creation.hFocusWindow;
}

HRESULT DeviceImpl::ShowBackBuffer(const RECT* sourceRect, const RECT* destRect, HWND window)
{
    KelvaneControlSurface surface;
    if (!WindowSurface(window, surface))
        return D3D_OK;
    const PixelStore& back = m_backBuffer->Store();
    RECT src =
        sourceRect ? *sourceRect : RECT{0, 0, static_cast<LONG>(back.width), static_cast<LONG>(back.height)};
    RECT dst = destRect ? *destRect : RECT{0, 0, surface.width, surface.height};
    if (src.left < 0 || src.top < 0 || src.right > static_cast<LONG>(back.width) ||
        src.bottom > static_cast<LONG>(back.height) || src.left >= src.right || src.top >= src.bottom)
        return D3DERR_INVALIDCALL;
    if (dst.left >= dst.right || dst.top >= dst.bottom)
        return D3DERR_INVALIDCALL;
    // The destination in buffer coordinates, cut to what the control may draw on.
    int64_t dstW = dst.right - dst.left, dstH = dst.bottom - dst.top;
    int64_t srcW = src.right - src.left, srcH = src.bottom - src.top;
    int64_t bx0 = std::max<int64_t>(surface.left + int64_t{dst.left}, surface.clipLeft);
    int64_t by0 = std::max<int64_t>(surface.top + int64_t{dst.top}, surface.clipTop);
    int64_t bx1 = std::min<int64_t>(surface.left + int64_t{dst.right}, surface.clipRight);
    int64_t by1 = std::min<int64_t>(surface.top + int64_t{dst.bottom}, surface.clipBottom);
    if (bx0 >= bx1 || by0 >= by1)
        return D3D_OK;
    bool direct = back.format == D3DFMT_X8R8G8B8 || back.format == D3DFMT_A8R8G8B8;
    UINT bpp = BytesPerTexel(back.format);
    bool sameSize = srcW == dstW && srcH == dstH;
    for (int64_t by = by0; by < by1; ++by)
    {
        int64_t sy = src.top + (by - surface.top - dst.top) * srcH / dstH;
        const uint8_t* row = back.bits.data() + static_cast<size_t>(sy) * back.pitch;
        uint32_t* out = surface.pixels + static_cast<size_t>(by) * static_cast<size_t>(surface.stride);
        for (int64_t bx = bx0; bx < bx1; ++bx)
        {
            int64_t offset = bx - surface.left - dst.left;
            int64_t sx = src.left + (sameSize ? offset : offset * srcW / dstW);
            uint32_t argb = direct ? reinterpret_cast<const uint32_t*>(row)[sx]
                                   : ReadTexel(back.format, row + static_cast<size_t>(sx) * bpp);
            out[bx] = argb & 0x00FFFFFFu;
        }
    }
    surface.markDirty(surface.form, static_cast<int32_t>(bx0), static_cast<int32_t>(by0),
                      static_cast<int32_t>(bx1), static_cast<int32_t>(by1));
    return D3D_OK;
}
} // namespace Soft9
