// The class library's standard controls: the label, the single-line edit box and the push button,
// drawn with the platform's classic look and keyboard and mouse behaviour.
#pragma once

#include "Platform/Vcl/Controls.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/Forms.h"

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
    void FontChanged() override;
    void Resized() override;
    virtual void Change();

private:
    void Select(int anchor, int caret);
    void MoveCaret(int position, bool extend);
    // Replaces the selection with `text` as the user's edit: MaxLength cuts it, ReadOnly refuses.
    bool ReplaceSelection(const UnicodeString& text, bool user);
    void DeleteRange(int from, int to);
    int PreviousPosition(int position) const;
    int NextPosition(int position) const;
    int WordStart(int position) const;
    int WordEnd(int position) const;
    // The pixel offsets of every position of the text (Length() + 1 entries).
    const std::vector<int>& Offsets();
    TRect TextArea() const;
    void ScrollToCaret();
    void RestartBlink();
    void BlinkTimer(TObject*);

    int m_maxLength = 0;
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
