#include "Platform/Vcl/Clipbrd.h"

#include <algorithm>

namespace
{
// Opens the clipboard for the scope; another window holding it open is an error.
class OpenScope
{
public:
    OpenScope() : m_open(OpenClipboard(nullptr) != FALSE) {}
    ~OpenScope()
    {
        if (m_open)
            CloseClipboard();
    }
    OpenScope(const OpenScope&) = delete;
    OpenScope& operator=(const OpenScope&) = delete;
    bool Open() const { return m_open; }

private:
    bool m_open;
};
} // namespace

TClipboard* Clipboard()
{
    static TClipboard clipboard;
    return &clipboard;
}

UnicodeString TClipboard::AsText()
{
    OpenScope scope;
    if (!scope.Open())
        return UnicodeString();
    HANDLE block = GetClipboardData(CF_UNICODETEXT);
    if (!block)
        return UnicodeString();
    UnicodeString text;
    SIZE_T units = GlobalSize(block) / sizeof(WCHAR);
    if (auto* p = static_cast<const WCHAR*>(GlobalLock(block)))
    {
        text = UnicodeString(p, static_cast<size_t>(std::find(p, p + units, u'\0') - p));
        GlobalUnlock(block);
    }
    return text;
}

void TClipboard::SetAsText(const UnicodeString& text)
{
    OpenScope scope;
    if (!scope.Open())
        throw Exception(u"Cannot open clipboard");
    EmptyClipboard();
    size_t units = static_cast<size_t>(text.Length()) + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, units * sizeof(WCHAR));
    if (!block)
        throw Exception(u"Out of memory");
    auto* p = static_cast<WCHAR*>(GlobalLock(block));
    std::copy_n(text.c_str(), units, p);
    GlobalUnlock(block);
    if (!SetClipboardData(CF_UNICODETEXT, block))
    {
        GlobalFree(block);
        throw Exception(u"Cannot set clipboard data");
    }
}

bool TClipboard::HasFormat(UINT format)
{
    OpenScope scope; // takes in text another program placed meanwhile
    return IsClipboardFormatAvailable(format) != FALSE;
}

void TClipboard::Clear()
{
    OpenScope scope;
    if (scope.Open())
        EmptyClipboard();
}
