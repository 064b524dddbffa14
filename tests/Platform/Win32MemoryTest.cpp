#include "Platform/Win32/Windows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{
TEST(Win32MemoryTest, MovableBlocksLockAndFree)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 100);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 100u);
    auto* bytes = static_cast<BYTE*>(GlobalLock(block));
    ASSERT_NE(bytes, nullptr);
    EXPECT_NE(static_cast<void*>(bytes), block); // a movable handle is not the address
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(bytes[i], 0);
    std::memset(bytes, 0xAB, 100);
    EXPECT_EQ(GlobalLock(block), bytes); // locks nest
    EXPECT_TRUE(GlobalUnlock(block));
    SetLastError(77);
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);
    EXPECT_EQ(static_cast<BYTE*>(GlobalLock(block))[99], 0xAB);
    GlobalUnlock(block);

    // A fixed block's handle is its address; no lock count.
    HGLOBAL fixed = GlobalAlloc(GPTR, 8);
    EXPECT_EQ(GlobalLock(fixed), fixed);
    EXPECT_EQ(GlobalSize(fixed), 8u);
    EXPECT_EQ(GlobalFree(fixed), nullptr);

    // Freed or foreign handles fail cleanly; absurd sizes are refused.
    EXPECT_EQ(GlobalFree(block), nullptr);
    int local = 0;
    for (HGLOBAL bad : {block, static_cast<HGLOBAL>(&local), static_cast<HGLOBAL>(nullptr)})
    {
        SetLastError(0);
        EXPECT_EQ(GlobalLock(bad), nullptr);
        EXPECT_EQ(GlobalSize(bad), 0u);
        EXPECT_EQ(GlobalFree(bad), bad);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
    EXPECT_EQ(GlobalAlloc(GHND, SIZE_T(-1)), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    HGLOBAL empty = GlobalAlloc(GHND, 0);
    EXPECT_NE(GlobalLock(empty), nullptr);
    EXPECT_EQ(GlobalSize(empty), 0u);
    GlobalFree(empty);
}

HGLOBAL TextBlock(const std::u16string& text)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (text.size() + 1) * sizeof(WCHAR));
    std::memcpy(GlobalLock(block), text.c_str(), (text.size() + 1) * sizeof(WCHAR));
    GlobalUnlock(block);
    return block;
}

TEST(Win32MemoryTest, ClipboardHoldsDataByFormat)
{
    UINT scene = RegisterClipboardFormatW(u"XSCENEFORMAT");
    EXPECT_GE(scene, 0xC000u);
    EXPECT_EQ(RegisterClipboardFormatW(u"XSCENEFORMAT"), scene);
    EXPECT_EQ(RegisterClipboardFormatW(u"xsceneformat"), scene);
    UINT other = RegisterClipboardFormatW(u"Other format");
    EXPECT_GE(other, 0xC000u);
    EXPECT_NE(other, scene);
    EXPECT_EQ(RegisterClipboardFormatW(u""), 0u);
    EXPECT_EQ(RegisterClipboardFormatW(nullptr), 0u);
    // A registered format's name is the one first given, cut to fit.
    WCHAR name[6] = u"-";
    EXPECT_EQ(GetClipboardFormatNameW(RegisterClipboardFormatW(u"OTHER FORMAT"), name, 6), 5);
    EXPECT_EQ(std::u16string(name), u"Other");
    EXPECT_EQ(GetClipboardFormatNameW(CF_UNICODETEXT, name, 6), 0);

    // Closed: nothing can be set or read.
    HGLOBAL text = TextBlock(u"Привет");
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, text), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_CLIPBOARD_NOT_OPEN);
    EXPECT_FALSE(EmptyClipboard());
    EXPECT_FALSE(CloseClipboard());

    HWND window = Platform::RegisterWindowReceiver(nullptr);
    ASSERT_TRUE(OpenClipboard(window));
    EXPECT_FALSE(OpenClipboard(nullptr)); // another opener waits
    ASSERT_TRUE(EmptyClipboard());
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, text), text);
    const BYTE raw[] = {0, 1, 2, 0xFF, 0x80, 7};
    HGLOBAL bytes = GlobalAlloc(GMEM_MOVEABLE, sizeof(raw));
    std::memcpy(GlobalLock(bytes), raw, sizeof(raw));
    GlobalUnlock(bytes);
    EXPECT_EQ(SetClipboardData(scene, bytes), bytes);
    // Replacing a format frees its old data (ASan would report a leak otherwise).
    HGLOBAL replaced = TextBlock(u"old");
    EXPECT_EQ(SetClipboardData(other, replaced), replaced);
    HGLOBAL newer = TextBlock(u"new");
    EXPECT_EQ(SetClipboardData(other, newer), newer);
    EXPECT_EQ(GlobalSize(replaced), 0u);
    int local = 0;
    EXPECT_EQ(SetClipboardData(other, &local), nullptr); // not a global block: refused
    EXPECT_TRUE(CloseClipboard());

    EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    EXPECT_TRUE(IsClipboardFormatAvailable(scene));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT)); // made from the wide text when asked for

    // Read back byte for byte.
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE got = GetClipboardData(scene);
    ASSERT_EQ(GlobalSize(got), sizeof(raw));
    EXPECT_EQ(std::memcmp(GlobalLock(got), raw, sizeof(raw)), 0);
    GlobalUnlock(got);
    EXPECT_EQ(std::u16string(static_cast<const WCHAR*>(GlobalLock(GetClipboardData(CF_UNICODETEXT)))),
              u"Привет");
    GlobalUnlock(GetClipboardData(CF_UNICODETEXT));
    EXPECT_STREQ(static_cast<const char*>(GlobalLock(GetClipboardData(CF_TEXT))), "\xCF\xF0\xE8\xE2\xE5\xF2");
    GlobalUnlock(GetClipboardData(CF_TEXT));

    // Emptying frees what the clipboard holds.
    EXPECT_TRUE(EmptyClipboard());
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    EXPECT_FALSE(IsClipboardFormatAvailable(scene));
    EXPECT_EQ(GlobalSize(text), 0u);
    EXPECT_TRUE(CloseClipboard());
    Platform::UnregisterWindowReceiver(window);
}
} // namespace

TEST(Win32MemoryTest, TextFormsStandForEachOtherThroughTheAnsiCodePage)
{
    auto put = [](UINT format, const void* bytes, size_t size)
    {
        HGLOBAL block = GlobalAlloc(GHND, size);
        std::memcpy(GlobalLock(block), bytes, size);
        GlobalUnlock(block);
        ASSERT_TRUE(OpenClipboard(nullptr));
        EmptyClipboard();
        SetClipboardData(format, block);
        CloseClipboard();
    };
    auto get = [](UINT format)
    {
        std::string bytes;
        EXPECT_TRUE(OpenClipboard(nullptr));
        if (HANDLE block = GetClipboardData(format))
        {
            bytes.assign(static_cast<const char*>(GlobalLock(block)), GlobalSize(block));
            GlobalUnlock(block);
        }
        CloseClipboard();
        return bytes;
    };
    put(CF_TEXT, "A\xC0\xFF", 4);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    EXPECT_EQ(get(CF_UNICODETEXT), std::string("A\0\x10\x04\x4F\x04\0\0", 8)); // A, U+0410, U+044F
    put(CF_UNICODETEXT, u"\u0411z\u4E00", 8);
    EXPECT_EQ(get(CF_TEXT), std::string("\xC1z?\0", 4));
    // Placing one form again drops what was made from the old one.
    ASSERT_TRUE(OpenClipboard(nullptr));
    HGLOBAL block = GlobalAlloc(GHND, 4);
    std::memcpy(GlobalLock(block), u"q", 4);
    GlobalUnlock(block);
    SetClipboardData(CF_UNICODETEXT, block);
    CloseClipboard();
    EXPECT_EQ(get(CF_TEXT), std::string("q\0", 2));
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
}
