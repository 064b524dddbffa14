// The gate of the targets that reach the engine's readers: a selector byte and at most 1 MiB,
// and message boxes that answer at once, so that a reader's error box never waits for a user.
#pragma once

#include "Platform/Win32/Windows.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

// False: the input is not worth a run.
inline bool QuietFuzzInput(size_t size)
{
    static const bool quiet = []
    {
        Platform::SetMessageBoxHandler([](HWND, const std::u16string&, const std::u16string&, UINT)
                                       { return IDOK; });
        return true;
    }();
    (void)quiet;
    return size >= 1 && size <= (1u << 20);
}

// Puts the bytes on the clipboard under the format, as another program's copy would.
inline void PutOnClipboard(UINT format, const uint8_t* data, size_t size)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block)
        abort();
    if (size)
    {
        std::memcpy(GlobalLock(block), data, size);
        GlobalUnlock(block);
    }
    if (!OpenClipboard(nullptr))
        abort();
    EmptyClipboard();
    SetClipboardData(format, block);
    CloseClipboard();
}
