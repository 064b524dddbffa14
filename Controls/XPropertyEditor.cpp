#include "Controls/XPropertyEditor.h"

#include <algorithm>
#include <string>

namespace
{
bool SameText(const XString& a, const XString& b)
{
    return std::u16string(a.c_str()) == std::u16string(b.c_str());
}

// The browse button's glyph: three dots on a transparent background.
void DrawBrowseGlyph(TBitmap* glyph)
{
    glyph->SetSize(10, 4);
    const uint32_t background = 0xFF00FF;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 10; ++x)
            glyph->ScanLine(y)[x] = background;
    for (int dot = 0; dot < 3; ++dot)
        for (int y = 1; y < 3; ++y)
            for (int x = 0; x < 2; ++x)
                glyph->ScanLine(y)[dot * 4 + x] = 0x000000;
}
} // namespace

// ---- XPropertyComboBox -----------------------------------------------------------------------

void XPropertyComboBox::KeyDown(WORD& Key, TShiftState Shift)
{
    auto* grid = dynamic_cast<XPropertyEditor*>(Parent());
    bool toGrid = false;
    switch (Key)
    {
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_UP:
    case VK_DOWN:
        toGrid = true;
        break;
    case VK_HOME:
    case VK_END:
        toGrid = Shift.Contains(ssCtrl);
        break;
    }
    if (toGrid && grid && !DroppedDown())
    {
        grid->KeyDown(Key, Shift);
        Key = 0;
        return;
    }
    TCustomComboBox::KeyDown(Key, Shift);
}

// ---- XPropertyEditor -------------------------------------------------------------------------

XPropertyEditor::XPropertyEditor(TComponent* AOwner) : TCustomControl(AOwner)
{
    FScrollBar = new TScrollBar(this);
    FScrollBar->SetParent(this);
    FScrollBar->SetKind(sbVertical);
    FScrollBar->SetParams(0, 0, 1);
    FScrollBar->SetVisible(false);
    FScrollBar->OnChange = MakeClosure(this, &XPropertyEditor::ScrollChanged);
    FScrollBar->OnEnter = MakeClosure(this, &XPropertyEditor::ScrollEnter);
    FEditor = new XPropertyComboBox(this);
    FEditor->SetParent(this);
    FEditor->OnChange = MakeClosure(this, &XPropertyEditor::EditorNothing);
    FEditor->OnEnter = MakeClosure(this, &XPropertyEditor::EditorEnter);
    FEditor->OnExit = MakeClosure(this, &XPropertyEditor::EditorNothing);
    FEditor->OnSelect = MakeClosure(this, &XPropertyEditor::EditorClick);
    FBrowse = new TSpeedButton(this);
    FBrowse->SetParent(this);
    TBitmap glyph;
    DrawBrowseGlyph(&glyph);
    FBrowse->SetGlyph(&glyph);
    FBrowse->SetVisible(false);
    FBrowse->OnClick = MakeClosure(this, &XPropertyEditor::BrowseClick);
    SetTabStop(true);
    SetBounds(Left(), Top(), 200, 300);
    FRowHeight = FEditor->Height();
    FNameWidth = Width() / 2;
    _SetSelectedIndex(0);
}

void XPropertyEditor::BeforeDestruction()
{
    // The owned editor, scroll bar and button go with the owned components; the rows are ours.
    for (uint32_t i = 0; i < FRows.GetCount(); ++i)
        delete FRows[i];
    FRows.Clear();
    FEditor = nullptr;
    FScrollBar = nullptr;
    FBrowse = nullptr;
    TCustomControl::BeforeDestruction();
}

XPropertyEditor::~XPropertyEditor()
{
    for (uint32_t i = 0; i < FRows.GetCount(); ++i)
        delete FRows[i];
    FRows.Clear();
    FRegistry.Clear();
}

void XPropertyEditor::RegisterProperty(const XString& typeName, XPropertyFactory factory)
{
    if (PropertyRegistered(typeName) || !factory)
        return;
    XPropertyDescriptor descriptor;
    descriptor.TypeName = typeName;
    descriptor.Factory = factory;
    FRegistry.Add(descriptor);
}

bool XPropertyEditor::PropertyRegistered(const XString& typeName) const
{
    return FindDescriptor(typeName) != nullptr;
}

const XPropertyEditor::XPropertyDescriptor* XPropertyEditor::FindDescriptor(const XString& typeName) const
{
    for (uint32_t i = 0; i < FRegistry.GetCount(); ++i)
        if (SameText(FRegistry[i].TypeName, typeName))
            return &FRegistry[i];
    return nullptr;
}

void XPropertyEditor::Deselect()
{
    FSelectedIndex = -1;
}

void XPropertyEditor::AddProperty(const XString& typeName, const XString& name, int id)
{
    const XPropertyDescriptor* descriptor = FindDescriptor(typeName);
    if (!descriptor)
        return;
    XProperty* row = descriptor->Factory(name, id);
    // The grid owns the row before it reads its value, so a failing read loses nothing.
    FRows.Add(row);
    Deselect();
    row->SetEditor(this);
    ComputeSize();
    Invalidate();
}

void XPropertyEditor::DeleteProperty(const XString& name)
{
    for (uint32_t i = 0; i < FRows.GetCount(); ++i)
        if (SameText(FRows[i]->Name(), name))
        {
            DeleteProperty(static_cast<int>(i));
            return;
        }
}

void XPropertyEditor::DeleteProperty(int index)
{
    if (!ValidIndex(index))
        return;
    Deselect();
    XProperty* row = FRows[static_cast<uint32_t>(index)];
    FRows.Delete(static_cast<uint32_t>(index));
    delete row;
    _SetStartVisible(FStartVisible);
    Deselect();
    ComputeSize();
    Invalidate();
}

void XPropertyEditor::ClearPropertys()
{
    Deselect();
    for (uint32_t i = 0; i < FRows.GetCount(); ++i)
        delete FRows[i];
    FRows.Clear();
    FStartVisible = 0;
    ComputeSize();
    Invalidate();
}

void XPropertyEditor::Modified(const XString& name)
{
    for (uint32_t i = 0; i < FRows.GetCount(); ++i)
        if (SameText(FRows[i]->Name(), name))
        {
            ReadProperty(static_cast<int>(i));
            return;
        }
}

void XPropertyEditor::Modified(XProperty* property)
{
    int index = FRows.IndexOf(property);
    if (index >= 0)
        ReadProperty(index);
}

void XPropertyEditor::SetGridColor(TColor value)
{
    if (value == FGridColor)
        return;
    FGridColor = value;
    Invalidate();
}

void XPropertyEditor::SetSelectedIndex(int value)
{
    if (value == FSelectedIndex)
        return;
    _SetSelectedIndex(value);
    Invalidate();
}

void XPropertyEditor::SetRowHeight(int value)
{
    if (value == FRowHeight)
        return;
    FEditor->SetHeight(value);
    ComputeSize();
    Invalidate();
}

void XPropertyEditor::SetBevelWidth(int value)
{
    value = std::clamp(value, 0, 5);
    if (value == FBevelWidth)
        return;
    FBevelWidth = value;
    ComputeSize();
    Invalidate();
}

void XPropertyEditor::SetNameIndent(int value)
{
    value = std::clamp(value, 0, Width());
    if (value == FNameIndent)
        return;
    FNameIndent = value;
    Invalidate();
}

void XPropertyEditor::SetValueIndent(int value)
{
    value = std::clamp(value, 0, Width());
    if (value == FValueIndent)
        return;
    FValueIndent = value;
    Invalidate();
}

void XPropertyEditor::SetStartVisible(int value)
{
    if (value == FStartVisible)
        return;
    _SetStartVisible(value);
    Invalidate();
}

void XPropertyEditor::_SetSelectedIndex(int index)
{
    int count = GetCount();
    if (index >= count)
        index = count - 1;
    if (index < 0)
        index = 0;
    if (ValidIndex(FSelectedIndex))
    {
        XProperty* row = FRows[static_cast<uint32_t>(FSelectedIndex)];
        XString text = row->ValidateValue(XString(FEditor->Text().c_str()));
        if (!SameText(text, row->GetValue()))
            row->SetValue(text);
        row->Apply();
    }
    FSelectedIndex = index;
    if (ValidIndex(index))
    {
        FRows[static_cast<uint32_t>(index)]->Enter();
        ReadProperty(index);
    }
    if (index < FStartVisible)
        FStartVisible = index;
    else if (FStartVisible + FPageRows < index)
        FStartVisible = index - FPageRows;
    ComputeSize();
}

void XPropertyEditor::ReadProperty(int index)
{
    if (!ValidIndex(index))
        return;
    // The row asked for re-reads itself; the selected one also refreshes the editor.
    FRows[static_cast<uint32_t>(index)]->Cancel();
    if (index != FSelectedIndex)
    {
        Invalidate();
        return;
    }
    XProperty* row = FRows[static_cast<uint32_t>(index)];
    FListEditor = row->HasList();
    FEditor->SetSorted(row->SortedList());
    FEditor->BeginUpdate();
    FEditor->ClearItems();
    for (int i = 0; i < row->GetListSize(); ++i)
        FEditor->AddItem(UnicodeString(row->GetListItem(i).c_str()));
    FEditor->EndUpdate();
    FEditor->SetText(UnicodeString(row->GetValue().c_str()));
    FEditor->SetMaxLength(row->EditLength());
    FEditor->SetStyle(FListEditor ? csDropDown : csSimple);
    FEditor->Perform(EM_SETREADONLY, row->ReadOnlyText() ? TRUE : FALSE, 0);
    FEditor->SelectAll();
    FBrowseShown = row->HasBrowse();
    ComputeSize();
}

void XPropertyEditor::FastReadProperty(int index)
{
    if (!ValidIndex(index))
        return;
    FRows[static_cast<uint32_t>(index)]->Cancel();
    if (index != FSelectedIndex)
    {
        Invalidate();
        return;
    }
    FEditor->SetText(UnicodeString(FRows[static_cast<uint32_t>(index)]->GetValue().c_str()));
    FEditor->SelectAll();
}

void XPropertyEditor::PaintProperty(int)
{
    Invalidate();
}

void XPropertyEditor::_SetStartVisible(int index)
{
    int start = index;
    if (start > GetCount() - FVisibleRows)
        start = GetCount() - FVisibleRows;
    if (start < 0)
        start = 0;
    FStartVisible = start;
    if (FSelectedIndex < FStartVisible)
        _SetSelectedIndex(FStartVisible);
    else if (FStartVisible + FPageRows < FSelectedIndex)
        _SetSelectedIndex(FStartVisible + FPageRows);
    ComputeSize();
}

void XPropertyEditor::ComputeSize()
{
    if (!FEditor || !FScrollBar || !FBrowse)
        return;
    FRowHeight = FEditor->Height();
    int pitch = FRowHeight + FGridLineWidth;
    FPageRows = std::max(0, Height() / pitch - 1);
    FVisibleRows = std::max(0, Height() / pitch);
    if (Width() - FNameWidth - FSplitterWidth <= FMinColumnWidth)
        FNameWidth = Width() - FMinColumnWidth;
    if (FNameWidth <= FMinColumnWidth)
        FNameWidth = FMinColumnWidth + 1;
    if (FNameWidth < FRowHeight)
        FNameWidth = FRowHeight;
    int selTop = (FSelectedIndex - FStartVisible) * pitch;
    int right = Width();
    bool rows = GetCount() > 0;
    if (rows && GetCount() > FVisibleRows)
    {
        FScrollBar->SetParams(FStartVisible, 0, std::max(0, GetCount() - 1));
        FScrollBar->SetPageSize(FVisibleRows);
        FScrollBar->SetPosition(FStartVisible);
        int barWidth = GetSystemMetrics(SM_CXVSCROLL);
        right -= barWidth;
        FScrollBar->SetBounds(right, 0, barWidth, Height());
        FScrollBar->SetVisible(true);
    }
    else
    {
        FScrollBar->SetVisible(false);
        FScrollBar->SetLeft(right + 10);
    }
    if (rows && FBrowseShown)
    {
        right -= FRowHeight;
        FBrowse->SetBounds(right, selTop + FBevelWidth, FRowHeight - FBevelWidth, FRowHeight - 2 * FBevelWidth);
        FBrowse->SetVisible(true);
    }
    else
    {
        FBrowse->SetVisible(false);
        FBrowse->SetLeft(Width() + 10);
    }
    if (rows)
    {
        int left = FNameWidth + FGridLineWidth;
        FEditor->SetBounds(left, selTop, right - left - 1, FRowHeight);
        FEditor->SetVisible(true);
    }
    else
    {
        FEditor->SetVisible(false);
        FEditor->SetLeft(Width() + 10);
    }
}

void XPropertyEditor::Resize()
{
    if (FEditor)
    {
        int pitch = FRowHeight + FGridLineWidth;
        FPageRows = std::max(0, Height() / pitch - 1);
        FVisibleRows = std::max(0, Height() / pitch);
        _SetSelectedIndex(FSelectedIndex);
        _SetStartVisible(FStartVisible);
        ComputeSize();
    }
    TCustomControl::Resize();
}

void XPropertyEditor::Paint()
{
    TCanvas* canvas = Canvas();
    int cw = Width() - (FScrollBar->Visible() ? FScrollBar->Width() : 0);
    int pitch = FRowHeight + FGridLineWidth;
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(TRect(0, 0, cw, Height()));
    canvas->Brush()->SetColor(FGridColor);
    int shown = std::clamp(GetCount() - FStartVisible, 0, Height());
    canvas->FillRect(TRect(FNameWidth, 0, FNameWidth + FSplitterWidth, pitch * shown));
    canvas->Font()->Assign(FEditor->Font());
    int t = (FRowHeight - canvas->TextHeight(u"Ap")) / 2;
    HDC dc = canvas->Handle();
    for (int r = FStartVisible; r < GetCount(); ++r)
    {
        int y = (r - FStartVisible) * pitch;
        TRect line(0, y + FRowHeight, cw, y + FRowHeight + FGridLineWidth);
        if (line.bottom > Height())
            break;
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(FGridColor);
        canvas->FillRect(line);
        XProperty* row = FRows[static_cast<uint32_t>(r)];
        canvas->Brush()->SetStyle(bsClear);
        dc = canvas->Handle();
        SetTextColor(dc, ColorToRGB(FNameColor));
        RECT nameRect{FNameIndent, y + t, FNameWidth - 1, y + FRowHeight};
        DrawTextW(dc, row->Name().c_str(), -1, &nameRect, 0);
        if (r == FSelectedIndex)
        {
            TRect bevel(0, y, cw, y + FRowHeight);
            Frame3D(canvas, bevel, cl3DDkShadow, clWhite, FBevelWidth);
            continue;
        }
        if (row->CustomPaint())
        {
            TRect cell(FNameWidth + FSplitterWidth, y, Width(), y + FRowHeight);
            row->Paint(canvas, cell);
            // The rows below are written in the grid's font, whatever the row chose for itself.
            canvas->Font()->Assign(FEditor->Font());
            continue;
        }
        XString value = row->GetValue();
        dc = canvas->Handle();
        SetTextColor(dc, ColorToRGB(FValueColor));
        RECT valueRect{FNameWidth + FSplitterWidth + FValueIndent, y + t, Width(), y + FRowHeight};
        DrawTextW(dc, value.c_str(), -1, &valueRect, 0);
    }
}

void XPropertyEditor::KeyDown(WORD& Key, TShiftState Shift)
{
    switch (Key)
    {
    case VK_RETURN:
        if (ValidIndex(FSelectedIndex))
        {
            XProperty* row = FRows[static_cast<uint32_t>(FSelectedIndex)];
            row->SetValue(XString(FEditor->Text().c_str()));
            row->Apply();
            FastReadProperty(FSelectedIndex);
        }
        break;
    case VK_ESCAPE:
        if (ValidIndex(FSelectedIndex))
        {
            FRows[static_cast<uint32_t>(FSelectedIndex)]->Cancel();
            FastReadProperty(FSelectedIndex);
        }
        break;
    case VK_PRIOR:
        SetSelectedIndex(FSelectedIndex - FPageRows);
        break;
    case VK_NEXT:
        SetSelectedIndex(FSelectedIndex + FPageRows);
        break;
    case VK_END:
        SetSelectedIndex(GetCount() - 1);
        break;
    case VK_HOME:
        SetSelectedIndex(0);
        break;
    case VK_UP:
        SetSelectedIndex(FSelectedIndex - 1);
        break;
    case VK_DOWN:
        SetSelectedIndex(FSelectedIndex + 1);
        break;
    }
    TCustomControl::KeyDown(Key, Shift);
}

int XPropertyEditor::RowAt(int y) const
{
    return y / (FRowHeight + FGridLineWidth) + FStartVisible;
}

void XPropertyEditor::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft)
    {
        _SetSelectedIndex(RowAt(Y));
        Invalidate();
        if (Screen->Cursor() == crHSplit)
        {
            SetMouseCapture(true);
            FLastX = X;
            FLastY = Y;
            FDragging = MouseCapture();
        }
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void XPropertyEditor::MouseMove(TShiftState Shift, int X, int Y)
{
    if (Shift.Contains(ssLeft) && !FDragging)
        SetSelectedIndex(RowAt(Y));
    bool onBoundary = X >= FNameWidth - 2 && X <= FNameWidth + FSplitterWidth + 2;
    TCursor wanted = FDragging || onBoundary ? crHSplit : Cursor();
    if (FDragging && X != FLastX)
    {
        int old = FNameWidth;
        FNameWidth = X;
        ComputeSize();
        if (FNameWidth != old)
        {
            int from = X < FLastX ? X - FSplitterWidth : old - 1;
            InvalidateRect(TRect(std::max(0, std::min(from, FNameWidth - FSplitterWidth)), 0, Width(), Height()));
        }
    }
    if (Screen->Cursor() != wanted)
        Screen->SetCursor(wanted);
    FLastX = X;
    FLastY = Y;
    TCustomControl::MouseMove(Shift, X, Y);
}

void XPropertyEditor::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft && FDragging)
    {
        FDragging = false;
        SetMouseCapture(false);
    }
    TCustomControl::MouseUp(Button, Shift, X, Y);
}

bool XPropertyEditor::DoMouseWheelDown(TShiftState, TPoint)
{
    SetSelectedIndex(FSelectedIndex + 1);
    return true;
}

bool XPropertyEditor::DoMouseWheelUp(TShiftState, TPoint)
{
    SetSelectedIndex(FSelectedIndex - 1);
    return true;
}

void XPropertyEditor::WndProc(TMessage& Message)
{
    switch (Message.Msg)
    {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ERASEBKGND:
        Message.Result = 0;
        return;
    case CM_FONTCHANGED:
        if (FEditor)
            FEditor->SetFont(Font());
        Invalidate();
        break;
    }
    TCustomControl::WndProc(Message);
}

void XPropertyEditor::EditorClick(TObject*)
{
    if (!ValidIndex(FSelectedIndex))
        return;
    XProperty* row = FRows[static_cast<uint32_t>(FSelectedIndex)];
    row->SetValue(XString(FEditor->Text().c_str()));
    row->Apply();
    FastReadProperty(FSelectedIndex);
}

void XPropertyEditor::EditorEnter(TObject*)
{
    FEditor->SelectAll();
}

void XPropertyEditor::ScrollChanged(TObject*)
{
    SetStartVisible(FScrollBar->Position());
}

void XPropertyEditor::ScrollEnter(TObject*)
{
    if (FEditor->Visible() && FEditor->CanFocus())
        FEditor->SetFocus();
}

void XPropertyEditor::BrowseClick(TObject*)
{
    if (!ValidIndex(FSelectedIndex))
        return;
    XProperty* row = FRows[static_cast<uint32_t>(FSelectedIndex)];
    if (!row->Browse(this))
        return;
    row->Apply();
    FastReadProperty(FSelectedIndex);
    FEditor->SetText(UnicodeString(row->GetValue().c_str()));
}
