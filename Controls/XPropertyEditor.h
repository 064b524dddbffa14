// A two-column name and value grid of typed rows. The grid owns no data: each row reads and writes
// its value through OnGetFieldValue and OnSetFieldValue. The selected row is edited in place by
// one XPropertyComboBox that moves from row to row (a plain box, or a drop-down for rows with a
// list), with a browse button for rows that have one; a scroll bar shows when the rows do not fit;
// the column boundary is dragged with the mouse.
#pragma once

#include "Components/XArray.h"
#include "Components/XPtrArray.h"
#include "Controls/XProperty.h"
#include "Platform/Vcl/Buttons.h"
#include "Platform/Vcl/StdCtrls.h"

// The grid's in-place editor: Return, Escape, Page Up/Down, Up and Down (and Home and End with
// Ctrl) go to the grid instead.
class XPropertyComboBox : public TCustomComboBox
{
public:
    using TCustomComboBox::TCustomComboBox;

protected:
    void KeyDown(WORD& Key, TShiftState Shift) override;
};

using XGetFieldValueEvent = TClosure<void(const XString& FieldName, int Id, VarUtils::XVariant& Value)>;
using XSetFieldValueEvent = TClosure<void(const XString& FieldName, int Id, const VarUtils::XVariant& Value)>;

class XPropertyEditor : public TCustomControl
{
public:
    struct XPropertyDescriptor
    {
        XString TypeName;
        XPropertyFactory Factory = nullptr;
    };

    explicit XPropertyEditor(TComponent* AOwner);
    ~XPropertyEditor() override;
    void BeforeDestruction() override;

    XGetFieldValueEvent OnGetFieldValue;
    XSetFieldValueEvent OnSetFieldValue;

    // The type registry: the first registration of a name holds.
    void RegisterProperty(const XString& typeName, XPropertyFactory factory);
    bool PropertyRegistered(const XString& typeName) const;
    const XPropertyDescriptor* FindDescriptor(const XString& typeName) const;

    // Rows. AddProperty of an unregistered type adds nothing. Adding and deleting leave no row
    // selected; the pending text of the in-place editor is dropped, never written to a row.
    void AddProperty(const XString& typeName, const XString& name, int id);
    void DeleteProperty(const XString& name);
    void DeleteProperty(int index);
    void ClearPropertys();
    int GetCount() const { return static_cast<int>(FRows.GetCount()); }
    XProperty* Property(int index) const { return FRows[static_cast<uint32_t>(index)]; }

    // Re-reads the row (by exact name, or by identity) and shows it.
    void Modified(const XString& name);
    void Modified(XProperty* property);

    TColor GridColor() const { return FGridColor; }
    void SetGridColor(TColor value);
    int SelectedIndex() const { return FSelectedIndex; }
    void SetSelectedIndex(int value);
    int RowHeight() const { return FRowHeight; }
    void SetRowHeight(int value);
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int value);
    int NameIndent() const { return FNameIndent; }
    void SetNameIndent(int value);
    int ValueIndent() const { return FValueIndent; }
    void SetValueIndent(int value);
    int StartVisible() const { return FStartVisible; }
    void SetStartVisible(int value);
    int NameColumnWidth() const { return FNameWidth; }
    int PageRows() const { return FPageRows; }
    int VisibleRows() const { return FVisibleRows; }
    XPropertyComboBox* InplaceEditor() const { return FEditor; }
    TScrollBar* ScrollBar() const { return FScrollBar; }
    TSpeedButton* BrowseButton() const { return FBrowse; }

    void ReadProperty(int index);
    void FastReadProperty(int index);
    void PaintProperty(int index);
    void ComputeSize();
    void _SetSelectedIndex(int index);
    void _SetStartVisible(int index);

    // The grid's key handling; the in-place editor hands its navigation keys here.
    void KeyDown(WORD& Key, TShiftState Shift) override;

protected:
    void Paint() override;
    void Resize() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
    bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;
    void WndProc(TMessage& Message) override;
    LRESULT DialogCode() override { return DLGC_WANTARROWS | DLGC_WANTTAB; }

private:
    bool ValidIndex(int index) const { return index >= 0 && index < GetCount(); }
    int RowAt(int y) const;
    void EditorClick(TObject* Sender);
    void EditorEnter(TObject* Sender);
    void EditorNothing(TObject*) {}
    void ScrollChanged(TObject* Sender);
    void ScrollEnter(TObject* Sender);
    void BrowseClick(TObject* Sender);
    // Deselects without committing (the pending text is dropped).
    void Deselect();

    int FLastX = 0;
    int FLastY = 0;
    bool FDragging = false;
    bool FBrowseShown = false;
    bool FListEditor = false;
    XArray<XPropertyDescriptor, 8> FRegistry;
    XPtrArray<XProperty, 32> FRows;
    int FRowHeight = 0;
    int FSelectedIndex = -1;
    int FStartVisible = 0;
    int FPageRows = 0;
    int FVisibleRows = 0;
    int FBevelWidth = 1;
    int FNameWidth = 100;
    int FSplitterWidth = 1;
    int FGridLineWidth = 1;
    int FMinColumnWidth = 30;
    TColor FGridColor = clBlack;
    TColor FValueColor = clHighlight;
    TColor FNameColor = clBlack;
    XPropertyComboBox* FEditor = nullptr;
    TScrollBar* FScrollBar = nullptr;
    TSpeedButton* FBrowse = nullptr;
    int FNameIndent = 12;
    int FValueIndent = 3;
};
