// Fuzz target: text pasted into the number boxes. The first byte sets the boxes up (bounds, digit
// limit, exponent, decimals, where the paste goes); the rest is the clipboard's UTF-16 text. After
// the paste each box must hold a canonical text (filtering it again changes nothing), a value
// inside its bounds and, for the float box, a finite value.
#include "tests/fuzz/FuzzInput.h"
#include "Controls/XFloatEdit.h"
#include "Controls/XIntEdit.h"
#include "Platform/Win32/Windows.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace
{
void IntBox(uint8_t how)
{
    XIntEdit edit(nullptr);
    edit.SetMaxLength(2 + how % 9);
    if (how & 0x10)
    {
        edit.SetMaxValue(1000);
        edit.SetMinValue(-50);
        edit.SetUseBounds(true);
    }
    edit.SetValue(-1234567);
    edit.SetSelStart((how >> 5) & 7);
    edit.SetSelLength(how & 0x80 ? 3 : 0);
    edit.PasteFromClipboard();
    const UnicodeString text = edit.Text();
    if (!(edit.ValidateString(text) == text) || edit.ValidateInt(edit.Value()) != edit.Value())
        abort();
}

void FloatBox(uint8_t how)
{
    XFloatEdit edit(nullptr);
    edit.SetExponentialNotation(how & 1);
    edit.SetFractionalPartLength((how >> 1) & 15);
    if (how & 0x20)
    {
        edit.SetMaxValue(1000.5f);
        edit.SetMinValue(-0.25f);
        edit.SetUseBounds(true);
    }
    edit.SetValue(-12.5f);
    edit.SetSelStart((how >> 6) & 3);
    edit.SetSelLength(how & 0x10 ? 2 : 0);
    edit.PasteFromClipboard();
    const float value = edit.Value();
    if (!std::isfinite(value))
        abort();
    if (edit.UseBounds() && (value < edit.MinValue() || value > edit.MaxValue()))
        abort();
    const UnicodeString text = edit.Text();
    edit.Validate();
    if (!(edit.Text() == text) || edit.Value() != value)
        abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1u << 16))
        return 0;
    PutOnClipboard(CF_UNICODETEXT, data + 1, size - 1);
    IntBox(data[0]);
    FloatBox(data[0]);
    return 0;
}
