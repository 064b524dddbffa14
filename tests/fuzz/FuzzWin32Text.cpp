// Fuzz target: the code-page conversions and the case-insensitive order over arbitrary bytes.
// Conversions must stay within the output sizes they are given and agree with their own size
// queries; the order must be antisymmetric and reflexive.
#include "Platform/Win32/Windows.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{
void Convert(UINT codePage, const uint8_t* data, size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    int length = static_cast<int>(size);
    int need = MultiByteToWideChar(codePage, 0, bytes, length, nullptr, 0);
    if (need < 0 || (length > 0 && need == 0))
        abort();
    // Exact, one short and generous output buffers; the short one must fail cleanly.
    for (int room : {need, need - 1, need + 7})
    {
        if (room <= 0)
            continue;
        std::vector<WCHAR> wide(static_cast<size_t>(room));
        int got = MultiByteToWideChar(codePage, 0, bytes, length, wide.data(), room);
        if (room < need ? got != 0 : got != need)
            abort();
        if (got == 0)
            continue;
        int back = WideCharToMultiByte(codePage, 0, wide.data(), got, nullptr, 0, nullptr, nullptr);
        if (back < 0 || back == 0)
            abort();
        for (int out : {back, back - 1, back + 3})
        {
            if (out <= 0)
                continue;
            std::vector<char> narrow(static_cast<size_t>(out));
            BOOL usedDefault = FALSE;
            int wrote =
                WideCharToMultiByte(codePage, 0, wide.data(), got, narrow.data(), out, nullptr, &usedDefault);
            if (out < back ? wrote != 0 : wrote != back)
                abort();
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 16))
        return 0;
    Convert(CP_GBK, data, size);
    Convert(CP_1251, data, size);
    Convert(CP_UTF8, data, size);

    // Two halves as UTF-16 texts.
    size_t units = size / 2;
    std::vector<WCHAR> text(units + 1);
    if (units)
        std::memcpy(text.data(), data, units * sizeof(WCHAR));
    size_t half = units / 2;
    const WCHAR* a = text.data();
    const WCHAR* b = text.data() + half;
    int lengthA = static_cast<int>(half);
    int lengthB = static_cast<int>(units - half);
    int ab = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, lengthA, b, lengthB);
    int ba = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, b, lengthB, a, lengthA);
    if (ab < CSTR_LESS_THAN || ab > CSTR_GREATER_THAN || ab + ba != 4)
        abort();
    if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, lengthA, a, lengthA) != CSTR_EQUAL)
        abort();
    int exact = CompareStringW(LOCALE_USER_DEFAULT, 0, a, lengthA, b, lengthB);
    int exactBack = CompareStringW(LOCALE_USER_DEFAULT, 0, b, lengthB, a, lengthA);
    if (exact + exactBack != 4)
        abort();
    return 0;
}
