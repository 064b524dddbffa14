// Typed rows of the property grid: a named, numbered value of one type that the grid shows,
// edits as text and exchanges with its owner as a variant through the grid's two callbacks.
// A row never stores the owner's data itself: it reads it through OnGetFieldValue and writes it
// back through OnSetFieldValue, passing its name and id.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XVariant.h"
#include "Platform/Vcl/Graphics.h"

class XPropertyEditor;

class XProperty : public TObject
{
public:
    XProperty(const XString& name, int id);
    ~XProperty() override = default;

    // Reads the value from the owner (an empty answer keeps the value held).
    virtual void getValue() = 0;
    // Writes the value to the owner.
    virtual void setValue() = 0;
    // Tells the grid the row changed (it re-reads it).
    virtual void Modified();
    // Rows with the custom-paint flag draw their value cell.
    virtual void Paint(TCanvas* canvas, TRect& rect);
    // The browse button; true when the value changed.
    virtual bool Browse(XPropertyEditor* editor);
    virtual XString GetValue() = 0;
    virtual void SetValue(const XString& text) = 0;
    // The text to use for `text`: itself when it converts, else the current value's text.
    virtual XString ValidateValue(const XString& text) = 0;
    virtual int GetListSize();
    virtual XString GetListItem(int index);
    virtual void Enter();
    // Writes, then reads back: a value the owner refuses shows at once.
    virtual void Apply();
    virtual void Cancel();

    // Attaching to another grid reads the value from it at once.
    void SetEditor(XPropertyEditor* editor);
    XPropertyEditor* Editor() const { return FEditor; }
    // Through the grid's callbacks; without a grid or a callback the variant is left alone.
    void ReadValue(VarUtils::XVariant& value);
    void WriteValue(const VarUtils::XVariant& value);

    const XString& Name() const { return FName; }
    int Id() const { return FId; }
    bool HasBrowse() const { return FHasBrowse; }
    bool HasList() const { return FHasList; }
    bool SortedList() const { return FSortedList; }
    bool ReadOnlyText() const { return FReadOnlyText; }
    bool CustomPaint() const { return FCustomPaint; }
    int EditLength() const { return FEditLength; }

protected:
    XString FName;
    int FId;
    bool FHasBrowse = false;
    bool FHasList = false;
    bool FSortedList = false;
    bool FReadOnlyText = false;
    bool FCustomPaint = false;
    int FEditLength = 0;
    XPropertyEditor* FEditor = nullptr;
};

using XPropertyFactory = XProperty* (*)(const XString& name, int id);

// The class library's narrow string.
class XAnsiStringProperty : public XProperty
{
public:
    XAnsiStringProperty(const XString& name, int id) : XProperty(name, id) {}
    void getValue() override;
    void setValue() override;
    XString GetValue() override;
    void SetValue(const XString& text) override;
    XString ValidateValue(const XString& text) override { return text; }
    const AnsiString& Value() const { return FValue; }

private:
    AnsiString FValue;
};

// The engine's narrow string.
class XStringProperty : public XProperty
{
public:
    XStringProperty(const XString& name, int id) : XProperty(name, id) {}
    void getValue() override;
    void setValue() override;
    XString GetValue() override;
    void SetValue(const XString& text) override;
    XString ValidateValue(const XString& text) override { return text; }
    const XAnsiString& Value() const { return FValue; }

private:
    XAnsiString FValue;
};

class XWStringProperty : public XProperty
{
public:
    XWStringProperty(const XString& name, int id) : XProperty(name, id) {}
    void getValue() override;
    void setValue() override;
    XString GetValue() override { return FValue; }
    void SetValue(const XString& text) override { FValue = text; }
    XString ValidateValue(const XString& text) override { return text; }
    const XString& Value() const { return FValue; }

private:
    XString FValue;
};

// Text: an optional sign and decimal digits within 32 bits, or "0x" and one to eight hex digits.
class XIntProperty : public XProperty
{
public:
    XIntProperty(const XString& name, int id);
    void getValue() override;
    void setValue() override;
    XString GetValue() override;
    void SetValue(const XString& text) override;
    XString ValidateValue(const XString& text) override;
    int Value() const { return FValue; }

private:
    int FValue = 0;
};

// Shown with 3 decimals (rounded); text needs a number prefix within the float range.
class XFloatProperty : public XProperty
{
public:
    XFloatProperty(const XString& name, int id);
    void getValue() override;
    void setValue() override;
    XString GetValue() override;
    void SetValue(const XString& text) override;
    XString ValidateValue(const XString& text) override;
    float Value() const { return FValue; }

private:
    float FValue = 0;
};

// "true" or "false", picked from a list; only "false" (in any case) is false.
class XBooleanProperty : public XProperty
{
public:
    XBooleanProperty(const XString& name, int id);
    void getValue() override;
    void setValue() override;
    XString GetValue() override;
    void SetValue(const XString& text) override;
    XString ValidateValue(const XString& text) override { return text; }
    int GetListSize() override { return 2; }
    XString GetListItem(int index) override;
    bool Value() const { return FValue; }

private:
    bool FValue = true;
};

// The factories the grid's registry stores; the caller owns what they return.
XProperty* CreateAnsiStringProperty(const XString& name, int id);
XProperty* CreateStringProperty(const XString& name, int id);
XProperty* CreateWStringProperty(const XString& name, int id);
XProperty* CreateIntProperty(const XString& name, int id);
XProperty* CreateFloatProperty(const XString& name, int id);
XProperty* CreateBooleanProperty(const XString& name, int id);
