// The class library's standard controls: the label, the single-line edit box, the push button,
// the combo box and the scroll bar,
// drawn with the platform's classic look and keyboard and mouse behaviour.
#pragma once

#include "Platform/Vcl/Controls.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/Forms.h"

#include <functional>
#include <vector>

enum TAlignment
{
    taLeftJustify,
    taRightJustify,
    taCenter
};

enum TTextLayout
{
    tlTop,
    tlCenter,
    tlBottom
};

// Static text. With AutoSize (the default) the label takes the size of its caption whenever the
// caption or the font changes, keeping its top-left corner.
class TLabel : public TGraphicControl
{
public:
    explicit TLabel(TComponent* AOwner);

    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment alignment);
    TTextLayout Layout() const { return m_layout; }
    void SetLayout(TTextLayout layout);
    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool autoSize);
    // Without Transparent the label fills its rectangle with Color first.
    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool transparent);
    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool wordWrap);
    // '&' marks the next character as the accelerator (underlined) unless this is false.
    bool ShowAccelChar() const { return m_showAccelChar; }
    void SetShowAccelChar(bool show);

protected:
    void Paint() override;
    void TextChanged() override;
    void FontChanged() override;

private:
    UINT TextFormat() const;
    void AdjustBounds();

    TAlignment m_alignment = taLeftJustify;
    TTextLayout m_layout = tlTop;
    bool m_autoSize = true;
    bool m_transparent = false;
    bool m_wordWrap = false;
    bool m_showAccelChar = true;
};

// A single-line edit box: caret, selection by keys and mouse, clipboard, horizontal scrolling.
// Positions are UTF-16 units; the caret never stands inside a surrogate pair.
class TCustomEdit : public TCustomControl
{
public:
    explicit TCustomEdit(TComponent* AOwner);
    ~TCustomEdit() override;

    // 0: no limit. Typing and pasting stop at the limit; setting Text does not cut it.
    int MaxLength() const { return m_maxLength; }
    void SetMaxLength(int maxLength);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly);
    // Select all the text when the edit gets the focus from the keyboard.
    bool AutoSelect() const { return m_autoSelect; }
    void SetAutoSelect(bool autoSelect) { m_autoSelect = autoSelect; }
    // The selection is drawn only while focused.
    bool HideSelection() const { return m_hideSelection; }
    void SetHideSelection(bool hide);
    // bsSingle (the default) draws the sunken edge; bsNone leaves it to the control around the
    // box (a combo box's text field).
    TFormBorderStyle BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TFormBorderStyle style);
    // Set by the user's edits, cleared by setting Text.
    bool Modified() const { return m_modified; }
    void SetModified(bool modified) { m_modified = modified; }

    int SelStart() const;
    // Puts the caret there and empties the selection.
    void SetSelStart(int start);
    int SelLength() const;
    // Selects from SelStart on; the caret ends at the selection's end.
    void SetSelLength(int length);
    UnicodeString SelText() const;
    // Replaces the selection (as typing would, within MaxLength, but also when ReadOnly).
    void SetSelText(const UnicodeString& text);
    // The caret position (the moving end of the selection).
    int CaretPos() const { return m_caret; }
    void SelectAll();
    void ClearSelection();
    void Clear() { SetText(UnicodeString()); }
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    // Whether the caret is drawn now (it blinks while focused).
    bool CaretShown() const { return m_caretOn && Focused(); }
    // The horizontal scroll of the text, in pixels.
    int ScrollOffset() const { return m_scroll; }
    // The text position nearest to the point x in client coordinates.
    int PositionAt(int x);

    TNotifyEvent OnChange;

protected:
    void Paint() override;
    LRESULT DialogCode() override { return DLGC_WANTARROWS | DLGC_WANTCHARS; }
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyPress(WCHAR& Key) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void DoEnter() override;
    void DoExit() override;
    void TextChanged() override;
    void Ctl3DChanged() override;
    void FontChanged() override;
    void Resized() override;
    virtual void Change();
    // A paste's text, before it replaces the selection: the control may change it, or refuse
    // the paste (false) and keep its text.
    virtual bool AcceptPaste(UnicodeString&) { return true; }

private:
    void Select(int anchor, int caret);
    void MoveCaret(int position, bool extend);
    // Replaces the selection with `text` as the user's edit: MaxLength cuts it, ReadOnly refuses.
    // Taken by value: a large paste's text becomes the new text without a copy where it can.
    bool ReplaceSelection(UnicodeString text, bool user);
    void DeleteRange(int from, int to);
    int PreviousPosition(int position) const;
    int NextPosition(int position) const;
    int WordStart(int position) const;
    int WordEnd(int position) const;
    // The pixel offsets of every OffsetStep-th position of the text (past a pair a step falls
    // inside), so that a long text costs little memory; OffsetAt measures on from the one before.
    const std::vector<int>& Offsets();
    int OffsetAt(int position);
    TRect TextArea() const;
    void ScrollToCaret();
    void RestartBlink();
    void BlinkTimer(TObject*);

    int m_maxLength = 0;
    TFormBorderStyle m_borderStyle = bsSingle;
    bool m_readOnly = false;
    bool m_autoSelect = true;
    bool m_hideSelection = true;
    bool m_modified = false;
    int m_anchor = 0;
    int m_caret = 0;
    int m_scroll = 0;
    bool m_caretOn = true;
    bool m_selecting = false;
    bool m_settingText = false; // the user's edit sets the text: keep the caret where it is
    TTimer* m_blink;
    TCanvas m_measure;
    std::vector<int> m_offsets;
    bool m_offsetsValid = false;
};

class TEdit : public TCustomEdit
{
public:
    using TCustomEdit::TCustomEdit;
};

// A push button. Enter presses the focused button, or the Default one when no button has the
// focus; Escape presses the Cancel one. Clicking hands ModalResult to the form.
class TButton : public TCustomControl
{
public:
    explicit TButton(TComponent* AOwner);

    bool Default() const { return m_default; }
    void SetDefault(bool value);
    bool Cancel() const { return m_cancel; }
    void SetCancel(bool value) { m_cancel = value; }
    TModalResult ModalResult() const { return m_modalResult; }
    void SetModalResult(TModalResult result) { m_modalResult = result; }
    // Drawn pushed in: the mouse is down inside it, or Space is held.
    bool Pressed() const { return m_pressed; }
    // Whether it shows the default button's dark frame now.
    bool ActiveDefault() const;

    void Click() override;

protected:
    void Paint() override;
    bool DialogKey(WORD key, TShiftState shift) override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyUp(WORD& Key, TShiftState Shift) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void DoEnter() override;
    void DoExit() override;

private:
    void SetPressed(bool pressed);

    bool m_default = false;
    bool m_cancel = false;
    TModalResult m_modalResult = 0;
    bool m_pressed = false;
    bool m_mouseDown = false;
    bool m_spaceDown = false;
};

enum TComboBoxStyle
{
    csDropDown,     // a text box with a button that drops the list down
    csSimple,       // a text box alone (the list is not shown)
    csDropDownList  // the button and list; the text only picked
};

// Sent to a combo box: makes its text box read-only (wParam TRUE) or writable.
constexpr UINT EM_SETREADONLY = 0x00CF;

class TCustomComboBox;

// The combo box's list window: a borderless form of its own below the combo box, one row an item.
class TComboListForm : public TForm
{
public:
    TComboListForm(TComponent* AOwner, TCustomComboBox* combo);
    int RowHeight() const { return m_rowHeight; }
    int ItemIndex() const { return m_itemIndex; }
    void SetItemIndex(int index);
    int TopIndex() const { return m_topIndex; }

protected:
    void Paint() override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
    bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;

private:
    friend class TCustomComboBox;
    int ItemAt(int y) const;
    TCustomComboBox* m_combo;
    int m_rowHeight = 16;
    int m_itemIndex = -1;
    int m_topIndex = 0;
};

// A text box with a list of items to pick from. csDropDown has a button that drops the list in a
// window of ours; csSimple is the text box alone, 21 pixels high at the default font. The box
// draws its own 2-pixel sunken edge inside its client area; styles of its window (WS_BORDER,
// WS_EX_CLIENTEDGE, bevels) frame it from outside. A pick sets
// the text, fires OnChange and OnSelect. Keys typed in the text box reach KeyDown first, so a
// derived combo box can take them (setting Key to 0) before the text box does.
class TCustomComboBox : public TWinControl
{
public:
    explicit TCustomComboBox(TComponent* AOwner);
    ~TCustomComboBox() override;

    TComboBoxStyle Style() const { return m_style; }
    void SetStyle(TComboBoxStyle style);
    // The items, in order (sorted when Sorted is set).
    int ItemCount() const { return static_cast<int>(m_items.size()); }
    const UnicodeString& Item(int index) const { return m_items.at(static_cast<size_t>(index)); }
    // The object an item carries (not owned), null when added without one.
    TObject* ItemObject(int index) const { return m_objects.at(static_cast<size_t>(index)); }
    void AddItem(const UnicodeString& item, TObject* object = nullptr);
    void ClearItems();
    // How many rows the dropped list shows before it scrolls; 8 by default, at least 1.
    int DropDownCount() const { return m_dropDownCount; }
    void SetDropDownCount(int count) { m_dropDownCount = count < 1 ? 1 : count; }
    // Changes to the items inside one update repaint once.
    void BeginUpdate() { ++m_updating; }
    void EndUpdate();
    bool Sorted() const { return m_sorted; }
    void SetSorted(bool sorted);
    int ItemIndex() const;
    void SetItemIndex(int index);
    int MaxLength() const;
    void SetMaxLength(int length);
    void SelectAll();
    int SelStart() const;
    int SelLength() const;
    bool ReadOnly() const;
    // The text box (tests and derived controls reach it).
    TCustomEdit* EditBox() const { return m_edit; }
    bool DroppedDown() const { return m_list != nullptr; }
    void SetDroppedDown(bool dropped);
    // Picks the item as a click in the list does.
    void PickItem(int index);
    void SetText(const UnicodeString& text) override;
    void SetFocus() override;

    TNotifyEvent OnChange;
    TNotifyEvent OnSelect;
    TNotifyEvent OnDropDown;
    TNotifyEvent OnCloseUp;

protected:
    void Resized() override;
    void WndProc(TMessage& Message) override;
    void PaintWindow(HDC dc) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void Ctl3DChanged() override;
    void FontChanged() override;
    void DoEnter() override;
    void DoExit() override;
    void DestroyWnd() override;
    // Makes the box as high as its font needs, plus its window's frame.
    void AdjustHeight();
    virtual void Change();
    virtual void Select();
    // Inside the box's own edge: the text box and the button.
    TRect FieldRect() const;
    TRect ButtonRect() const;

private:
    friend class TComboEdit;
    friend class TComboListForm;
    void EditChanged(TObject*);
    void LayoutEdit();

    TComboBoxStyle m_style = csDropDown;
    std::vector<UnicodeString> m_items;
    std::vector<TObject*> m_objects;
    // The item last picked or set; items with equal text keep apart by it.
    int m_itemIndex = -1;
    int m_dropDownCount = 8;
    bool m_sorted = false;
    int m_updating = 0;
    TCustomEdit* m_edit;
    TComboListForm* m_list = nullptr;
    bool m_settingText = false;
};

class TComboBox : public TCustomComboBox
{
public:
    using TCustomComboBox::TCustomComboBox;
};

enum TScrollBarKind
{
    sbHorizontal,
    sbVertical
};

enum TScrollCode
{
    scLineUp,
    scLineDown,
    scPageUp,
    scPageDown,
    scPosition,
    scTrack,
    scTop,
    scBottom,
    scEndScroll
};

// A scroll bar control, drawn and driven as a window's own bars are. Position stays within
// Min .. Max - PageSize + 1; arrows step by SmallChange, the track by LargeChange, the thumb is
// dragged. OnScroll tells every step with its code (and may change the position), OnChange every
// real change of Position.
class TScrollBar : public TWinControl
{
public:
    explicit TScrollBar(TComponent* AOwner);

    TScrollBarKind Kind() const { return m_kind; }
    void SetKind(TScrollBarKind kind);
    int Min() const { return m_min; }
    void SetMin(int value) { SetParams(m_position, value, m_max); }
    int Max() const { return m_max; }
    void SetMax(int value) { SetParams(m_position, m_min, value); }
    int Position() const { return m_position; }
    void SetPosition(int value) { SetParams(value, m_min, m_max); }
    int PageSize() const { return m_pageSize; }
    void SetPageSize(int value);
    void SetParams(int position, int min, int max);
    int SmallChange = 1;
    int LargeChange = 1;

    TNotifyEvent OnChange;
    TClosure<void(TObject* Sender, TScrollCode ScrollCode, int& ScrollPos)> OnScroll;

protected:
    void PaintWindow(HDC dc) override;
    void Resized() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    LRESULT DialogCode() override { return DLGC_WANTARROWS; }
    void ScrollRepeat() override;

private:
    void Scroll(int code);
    void Sync();

    Vcl::ScrollBarPart m_part{false};
    TScrollBarKind m_kind = sbHorizontal;
    int m_min = 0;
    int m_max = 100;
    int m_position = 0;
    int m_pageSize = 0;
};

enum TCheckBoxState
{
    cbUnchecked,
    cbChecked,
    cbGrayed
};

// What check boxes and radio buttons share: drawn pushed while the left button is down inside
// or Space is held, and "activated" (Toggle or check) on the release inside or of Space.
class TButtonControl : public TCustomControl
{
public:
    explicit TButtonControl(TComponent* AOwner);

    // Drawn pushed: the mouse is down inside it, or Space is held.
    bool Pressed() const { return m_pressed; }
    // The caption on the right (taRightJustify, the default) or on the left of the mark.
    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment alignment);

protected:
    // What a click or Space does.
    virtual void Activate() = 0;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyUp(WORD& Key, TShiftState Shift) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void DoEnter() override;
    void DoExit() override;
    void TextChanged() override { Invalidate(); }
    // The 13-pixel mark of the DFCS_ state (DFCS_BUTTONCHECK or DFCS_BUTTONRADIO with its flags)
    // with the caption beside it and, when focused, the focus rectangle around the caption.
    void PaintMark(UINT markState);

private:
    void SetPressed(bool pressed);

    TAlignment m_alignment = taRightJustify;
    bool m_pressed = false;
    bool m_mouseDown = false;
    bool m_spaceDown = false;
};

// A check box: a 13-pixel box with a tick and the caption to its right. A click or Space (on its
// release) moves it to the next state (grayed only with AllowGrayed) and fires OnClick; so does
// setting Checked or State from code, as on the platform.
class TCheckBox : public TButtonControl
{
public:
    explicit TCheckBox(TComponent* AOwner);

    bool Checked() const { return m_state == cbChecked; }
    void SetChecked(bool checked) { SetState(checked ? cbChecked : cbUnchecked); }
    TCheckBoxState State() const { return m_state; }
    void SetState(TCheckBoxState state);
    bool AllowGrayed() const { return m_allowGrayed; }
    void SetAllowGrayed(bool allow) { m_allowGrayed = allow; }
    // The next state, as a click gives it.
    void Toggle();

protected:
    void Paint() override;
    void Activate() override { Toggle(); }

private:
    TCheckBoxState m_state = cbUnchecked;
    bool m_allowGrayed = false;
};

// A list of strings in rows of ItemHeight inside a sunken frame, with a vertical scroll bar when
// they do not fit. Items carry objects (TStringList); changes inside Items' BeginUpdate/EndUpdate
// repaint once. One row is selected (ItemIndex, -1 for none): a click on a row or the keys Up,
// Down, Home, End, Page Up, Page Down, and a typed letter (the next item starting with it) select
// and fire OnClick (keys only when the selection moves, a press on a row always); a double click
// on a row selects it and fires OnDblClick; the wheel scrolls.
class TListBox : public TCustomControl
{
public:
    explicit TListBox(TComponent* AOwner);
    ~TListBox() override;

    TStringList* Items() const { return m_items; }
    int Count() const { return m_items->Count(); }
    // -1 (none) .. Count - 1; other values select nothing. Setting it from code fires nothing.
    int ItemIndex() const { return m_itemIndex; }
    void SetItemIndex(int index);
    bool Sorted() const { return m_items->Sorted(); }
    void SetSorted(bool sorted);
    int ItemHeight() const { return m_itemHeight; }
    void SetItemHeight(int height);
    // The first row shown.
    int TopIndex() const { return m_topIndex; }
    void SetTopIndex(int index);
    // The row under a client point, or -1.
    int ItemAtPos(const TPoint& point, bool existing = true) const;
    TRect ItemRect(int index) const;
    // How many whole rows the client area shows.
    int VisibleRows() const;
    void Clear() { m_items->Clear(); }

protected:
    void Paint() override;
    LRESULT DialogCode() override { return DLGC_WANTARROWS | DLGC_WANTCHARS; }
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyPress(WCHAR& Key) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
    bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;
    void Ctl3DChanged() override;
    void Resized() override;
    void DoEnter() override;
    void DoExit() override;
    void WndProc(TMessage& Message) override;

private:
    void ItemsChanged(TObject*);
    // Selects by the user's hand: scrolls it into view and fires OnClick when it changed (or always).
    void SelectByUser(int index, bool always = false);
    void ScrollIntoView(int index);
    void UpdateScrollBar();

    TStringList* m_items;
    int m_itemIndex = -1;
    int m_itemHeight = 13;
    int m_topIndex = 0;
    bool m_tracking = false;
};

// A frame with a caption set into its top edge, grouping the controls placed in it. Children are
// placed in its own coordinates.
class TGroupBox : public TCustomControl
{
public:
    explicit TGroupBox(TComponent* AOwner);

protected:
    void Paint() override;
    void TextChanged() override { Invalidate(); }
    void AlignControls(TRect& rect) override;
};

// A radio button: a round mark with the caption beside it. Checking one (a click, Space, or
// Checked from code) unchecks the other radio buttons of its parent and fires OnClick; a checked
// button is the group's tab stop. The arrow keys move to the previous or next radio button of the
// same parent and check it, as the platform's dialogs do.
class TRadioButton : public TButtonControl
{
public:
    explicit TRadioButton(TComponent* AOwner);

    bool Checked() const { return m_checked; }
    void SetChecked(bool checked);

protected:
    void Paint() override;
    LRESULT DialogCode() override { return DLGC_WANTARROWS; }
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Activate() override { SetChecked(true); }

private:
    // The sibling radio buttons that can take the focus, in tab order, this one among them.
    std::vector<TRadioButton*> Siblings() const;

    bool m_checked = false;
};

// A group box of radio buttons, one per line of Items, laid out in Columns (filled column by
// column) below the caption. ItemIndex is the checked one (-1 for none); a change, by the user or
// from code, fires OnClick. Changing the items rebuilds the buttons and keeps the index when it
// still names an item.
class TRadioGroup : public TGroupBox
{
public:
    explicit TRadioGroup(TComponent* AOwner);
    ~TRadioGroup() override;

    TStringList* Items() const { return m_items; }
    int ItemIndex() const { return m_itemIndex; }
    void SetItemIndex(int index);
    // 1 .. 16.
    int Columns() const { return m_columns; }
    void SetColumns(int columns);
    // The button of an item (tests reach it to click or focus it).
    TRadioButton* Button(int index) const { return m_buttons.at(static_cast<size_t>(index)); }
    int ButtonCount() const { return static_cast<int>(m_buttons.size()); }

protected:
    void Resized() override;
    void FontChanged() override;
    void WndProc(TMessage& Message) override;

private:
    void ItemsChanged(TObject*);
    void ButtonClick(TObject* Sender);
    void ArrangeButtons();
    void UpdateTabStops();

    TStringList* m_items;
    std::vector<TRadioButton*> m_buttons;
    int m_itemIndex = -1;
    int m_columns = 1;
    bool m_updating = false;
};

enum TScrollStyle
{
    ssNone,
    ssHorizontal,
    ssVertical,
    ssBoth
};

// A multi-line edit box: Lines hold the text, one string a line; Text is them joined by CR LF.
// With WordWrap (the default) long lines break at blanks to the width of the box. The caret moves
// by keys and mouse; unless ReadOnly, typing, Enter, Backspace and Delete edit at it (Enter goes
// to the form's Default button when it has one). There is no selection. ScrollBars adds the
// window's own bars; the wheel and the bars scroll.
class TMemo : public TCustomControl
{
public:
    explicit TMemo(TComponent* AOwner);
    ~TMemo() override;

    TStringList* Lines() const { return m_lines; }
    void SetText(const UnicodeString& text) override;
    void Clear() { m_lines->Clear(); }
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool wordWrap);
    TScrollStyle ScrollBars() const { return m_scrollBars; }
    void SetScrollBars(TScrollStyle bars);
    // The caret as a line and a position in it (UTF-16 units).
    TPoint CaretPos() const { return TPoint(m_caretColumn, m_caretLine); }
    void SetCaretPos(const TPoint& pos);
    // The first display row shown (a wrapped line takes several rows).
    int TopRow() const { return m_topRow; }
    void SetTopRow(int row);
    int RowCount();
    int RowHeight() const { return m_rowHeight; }

    TNotifyEvent OnChange;

protected:
    void Paint() override;
    LRESULT DialogCode() override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyPress(WCHAR& Key) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
    bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;
    void Ctl3DChanged() override;
    void Resized() override;
    void FontChanged() override;
    void DoEnter() override;
    void DoExit() override;
    void WndProc(TMessage& Message) override;

private:
    struct Row
    {
        int line;
        int start;
        int length;
    };
    void LinesChanged(TObject*);
    // Breaks the lines into display rows when they changed or the width did.
    void LayoutRows();
    int RowOfCaret();
    int VisibleRows() const;
    void ScrollToCaret();
    void UpdateScrollBars();
    int TextWidth(const UnicodeString& text, int start, int length);
    // The position in a row nearest to x pixels from its left.
    int ColumnAt(const Row& row, int x);
    void MoveToRow(int row, int x);
    void EditLines(const std::function<void()>& edit);

    TStringList* m_lines;
    TCanvas m_measure;
    std::vector<Row> m_rows;
    bool m_rowsValid = false;
    bool m_readOnly = false;
    bool m_wordWrap = true;
    bool m_settingText = false;
    TScrollStyle m_scrollBars = ssNone;
    int m_caretLine = 0;
    int m_caretColumn = 0;
    int m_topRow = 0;
    int m_scrollX = 0;
    int m_rowHeight = 13;
};
