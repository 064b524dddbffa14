// Fuzz target: the tokenizer over the input taken as UTF-16 text (an odd last byte dropped) must
// end in the end token, never a crash or an endless loop. The scanner never throws.
#include "Components/Cx/CxScanner.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1u << 20))
        return 0;
    // The first byte picks the comment style; the rest is the text.
    bool nested = data[0] & 1;
    std::vector<WCHAR> text((size - 1) / 2);
    if (!text.empty())
        std::memcpy(text.data(), data + 1, text.size() * sizeof(WCHAR));

    Cx::CxSourceControl control;
    Cx::CxScanner scanner(&control);
    scanner.SetNestedComments(nested);
    scanner.OpenText(text.data(), static_cast<uint32_t>(text.size()), u"fuzz");
    // Every token consumes at least one unit, so more tokens than units plus a few is a loop.
    size_t limit = text.size() + 16;
    for (size_t n = 0;; ++n)
    {
        if (n > limit)
            abort();
        Cx::CxToken* token = scanner.NextToken();
        if (!token || !token->Text)
            abort();
        if (token->Text->Chars()[token->Text->Length] != 0)
            abort(); // the text record is NUL-terminated
        if (token->Kind == Cx::TokenEnd)
            break;
    }
    scanner.Close();
    return 0;
}
