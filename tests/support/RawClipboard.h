// Raw clipboard contents for tests of what the program copies and pastes.
#pragma once

#include "Platform/Win32/Windows.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

// Puts raw bytes on the clipboard under a format.
inline void PutBytes(UINT format, const std::vector<uint8_t>& bytes)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!bytes.empty())
    {
        std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
        GlobalUnlock(block);
    }
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(format, block);
    CloseClipboard();
}

// Leaves nothing on the clipboard.
inline void EmptyTheClipboard()
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
}
