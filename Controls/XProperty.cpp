#include "Controls/XProperty.h"

#include "Controls/XFloatEdit.h"
#include "Controls/XPropertyEditor.h"

#include <charconv>
#include <cmath>
#include <string>

using VarUtils::XVariant;

namespace
{
std::u16string Text(const XString& s)
{
    return s.c_str();
}

// The integer row's accepted shapes: sign and decimal digits within 32 bits, or "0x" and one to
// eight hex digits. Anything else raises, as the parser's refusal would.
int ParseInt32(const XString& text)
{
    std::u16string t = Text(text);
    bool hex = t.size() > 2 && t[0] == u'0' && (t[1] == u'x' || t[1] == u'X');
    if (hex)
    {
        if (t.size() > 10)
            throw EConvertError(u"Not a 32-bit number");
        for (size_t i = 2; i < t.size(); ++i)
            if (!std::isxdigit(static_cast<unsigned char>(t[i] < 0x80 ? t[i] : 0)))
                throw EConvertError(u"Not a 32-bit number");
        return static_cast<int>(static_cast<uint32_t>(StrUtils::StrToInt64(text.c_str())));
    }
    size_t i = !t.empty() && (t[0] == u'-' || t[0] == u'+') ? 1 : 0;
    if (i == t.size() || t.size() - i > 10)
        throw EConvertError(u"Not a 32-bit number");
    for (size_t k = i; k < t.size(); ++k)
        if (t[k] < u'0' || t[k] > u'9')
            throw EConvertError(u"Not a 32-bit number");
    int64_t value = StrUtils::StrToInt64(text.c_str());
    if (value < INT32_MIN || value > INT32_MAX)
        throw EConvertError(u"Not a 32-bit number");
    return static_cast<int>(value);
}

XString Decimal(int value)
{
    WCHAR text[16];
    ::IntToStr(text, value);
    return XString(text);
}

XString Fixed3(float value)
{
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof(buffer) - 1, static_cast<double>(value),
                                std::chars_format::fixed, 3);
    *result.ptr = 0;
    std::u16string wide(buffer, buffer + (result.ptr - buffer));
    return XString(wide.c_str());
}
} // namespace

// ---- XProperty -------------------------------------------------------------------------------

XProperty::XProperty(const XString& name, int id) : FName(name), FId(id)
{
}

void XProperty::Modified()
{
    if (FEditor)
        FEditor->Modified(this);
}

void XProperty::Paint(TCanvas*, TRect&)
{
}

bool XProperty::Browse(XPropertyEditor*)
{
    return false;
}

int XProperty::GetListSize()
{
    return 0;
}

XString XProperty::GetListItem(int)
{
    return XString(u"");
}

void XProperty::Enter()
{
    getValue();
}

void XProperty::Apply()
{
    setValue();
    getValue();
}

void XProperty::Cancel()
{
    getValue();
}

void XProperty::SetEditor(XPropertyEditor* editor)
{
    if (editor == FEditor)
        return;
    FEditor = editor;
    getValue();
}

void XProperty::ReadValue(XVariant& value)
{
    if (FEditor && FEditor->OnGetFieldValue)
        FEditor->OnGetFieldValue(FName, FId, value);
}

void XProperty::WriteValue(const XVariant& value)
{
    if (FEditor && FEditor->OnSetFieldValue)
        FEditor->OnSetFieldValue(FName, FId, value);
}

// ---- Strings ---------------------------------------------------------------------------------

void XAnsiStringProperty::getValue()
{
    XVariant value;
    ReadValue(value);
    if (value.GetType() != VarUtils::XVT_EMPTY)
        FValue = AnsiString(value.AsAnsiString().c_str());
}

void XAnsiStringProperty::setValue()
{
    WriteValue(XVariant(GetValue()));
}

XString XAnsiStringProperty::GetValue()
{
    return AnsiToWide(XAnsiString(FValue.c_str()));
}

void XAnsiStringProperty::SetValue(const XString& text)
{
    FValue = AnsiString(WideToAnsi(text).c_str());
}

void XStringProperty::getValue()
{
    XVariant value;
    ReadValue(value);
    if (value.GetType() != VarUtils::XVT_EMPTY)
        FValue = value.AsAnsiString();
}

void XStringProperty::setValue()
{
    XVariant value;
    value = FValue;
    WriteValue(value);
}

XString XStringProperty::GetValue()
{
    return AnsiToWide(FValue);
}

void XStringProperty::SetValue(const XString& text)
{
    FValue = WideToAnsi(text);
}

void XWStringProperty::getValue()
{
    XVariant value;
    ReadValue(value);
    if (value.GetType() != VarUtils::XVT_EMPTY)
        FValue = value.AsString();
}

void XWStringProperty::setValue()
{
    WriteValue(XVariant(FValue));
}

// ---- Numbers ---------------------------------------------------------------------------------

XIntProperty::XIntProperty(const XString& name, int id) : XProperty(name, id)
{
    FEditLength = 11;
}

void XIntProperty::getValue()
{
    XVariant value;
    ReadValue(value);
    if (value.GetType() != VarUtils::XVT_EMPTY)
        FValue = value.AsInt();
}

void XIntProperty::setValue()
{
    WriteValue(XVariant(FValue));
}

XString XIntProperty::GetValue()
{
    return Decimal(FValue);
}

void XIntProperty::SetValue(const XString& text)
{
    try
    {
        FValue = ParseInt32(text);
    }
    catch (...)
    {
    }
}

XString XIntProperty::ValidateValue(const XString& text)
{
    try
    {
        ParseInt32(text);
        return text;
    }
    catch (...)
    {
        return GetValue();
    }
}

XFloatProperty::XFloatProperty(const XString& name, int id) : XProperty(name, id)
{
    FEditLength = 16;
}

void XFloatProperty::getValue()
{
    XVariant value;
    ReadValue(value);
    if (value.GetType() != VarUtils::XVT_EMPTY)
        FValue = static_cast<float>(value.AsDouble());
}

void XFloatProperty::setValue()
{
    XVariant value;
    value = FValue;
    WriteValue(value);
}

XString XFloatProperty::GetValue()
{
    return Fixed3(FValue);
}

void XFloatProperty::SetValue(const XString& text)
{
    try
    {
        FValue = TextToFloat32(UnicodeString(text.c_str()));
    }
    catch (...)
    {
    }
}

XString XFloatProperty::ValidateValue(const XString& text)
{
    try
    {
        TextToFloat32(UnicodeString(text.c_str()));
        return text;
    }
    catch (...)
    {
        return GetValue();
    }
}

// ---- Boolean ---------------------------------------------------------------------------------

XBooleanProperty::XBooleanProperty(const XString& name, int id) : XProperty(name, id)
{
    FEditLength = 5;
    FHasList = true;
    FReadOnlyText = true;
}

void XBooleanProperty::getValue()
{
    XVariant value;
    ReadValue(value);
    if (value.GetType() != VarUtils::XVT_EMPTY)
        FValue = value.AsBool();
}

void XBooleanProperty::setValue()
{
    XVariant value;
    value = FValue;
    WriteValue(value);
}

XString XBooleanProperty::GetValue()
{
    return XString(FValue ? u"true" : u"false");
}

void XBooleanProperty::SetValue(const XString& text)
{
    std::u16string lower = Text(text);
    for (char16_t& c : lower)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    FValue = lower != u"false";
}

XString XBooleanProperty::GetListItem(int index)
{
    if (index == 0)
        return XString(u"true");
    if (index == 1)
        return XString(u"false");
    return XString(u"");
}

// ---- Factories -------------------------------------------------------------------------------

XProperty* CreateAnsiStringProperty(const XString& name, int id)
{
    return new XAnsiStringProperty(name, id);
}

XProperty* CreateStringProperty(const XString& name, int id)
{
    return new XStringProperty(name, id);
}

XProperty* CreateWStringProperty(const XString& name, int id)
{
    return new XWStringProperty(name, id);
}

XProperty* CreateIntProperty(const XString& name, int id)
{
    return new XIntProperty(name, id);
}

XProperty* CreateFloatProperty(const XString& name, int id)
{
    return new XFloatProperty(name, id);
}

XProperty* CreateBooleanProperty(const XString& name, int id)
{
    return new XBooleanProperty(name, id);
}
