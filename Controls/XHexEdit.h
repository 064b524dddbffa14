// Hex editor control: shows the bytes of one buffer as address, hex and text columns, 16 bytes a
// line, and edits them with caret, selection, keys, mouse, clipboard and search; loads and saves
// files; compares its bytes with a sample editor and shows the value under the pointer as a hint.
//
// The editor keeps its own copy of a file: a failed load keeps the bytes, file name, caret and
// selection it had; a failed save leaves the file on disk as it was (the new bytes go to a
// temporary file beside it first). ReadOnly stops every key that changes the data; the public
// data operations stay unchecked for the host.
#pragma once

#include "Controls/XBuffer.h"
#include "Platform/Vcl/Controls.h"
#include "Platform/Vcl/Dialogs.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/Forms.h"

#include <cstdint>

class THintWindow;
class TStream;

enum XHintMode
{
    hmChar,
    hmUChar,
    hmShort,
    hmUShort,
    hmInt,
    hmUInt,
    hmLong,
    hmULong,
    hmHexByte,
    hmHexWord,
    hmHexDWord,
    hmHexQWord,
    hmFloat,
    hmDouble,
    hmExtended,
    hmAnsiString,
    hmWideString,
    hmNone
};

class XHexEdit : public TCustomControl
{
public:
    explicit XHexEdit(TComponent* AOwner);
    ~XHexEdit() override;

    // ---- properties ----
    bool ReadOnly = false;
    bool CanGrow = true;
    bool Modified = false;
    bool InsertMode = true;
    UnicodeString FileName;
    TNotifyEvent OnPositionChanged;

    int64_t StartAddress() const { return m_startAddress; }
    // A negative value is ignored.
    void SetStartAddress(int64_t address);
    double Interval() const { return m_interval; }
    // Taken only within 0.8 .. 2.5.
    void SetInterval(double interval);
    bool HideSelection() const { return m_hideSelection; }
    void SetHideSelection(bool hide);
    XHintMode HintMode() const { return m_hintMode; }
    // A mode above hmWideString is stored as hmUChar.
    void SetHintMode(XHintMode mode);
    int Margin() const { return m_margin; }
    // Clamped to 0 .. 100.
    void SetMargin(int margin);
    bool ShowAddress() const { return m_showAddress; }
    void SetShowAddress(bool show);
    bool ShowAscii() const { return m_showAscii; }
    void SetShowAscii(bool show);
    TFormBorderStyle BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TFormBorderStyle style);
    XHexEdit* SampleEdit() const { return m_sample; }
    // Ignored for the current sample and for this editor itself.
    void SetSampleEdit(XHexEdit* editor);
    // The hint-active flag (on while Ctrl is held).
    bool GetShowHint() const { return m_hintActive; }
    void SetShowHint(bool on) { m_hintActive = on; }

    // ---- layout ----
    int64_t GetLinesPerPage() const;
    int64_t GetLinesCount();
    int64_t FirstVisible() const { return m_firstVisible; }
    int64_t LastVisible() const { return m_lastVisible; }
    int HScrollPos() const { return m_hScroll; }
    void SetFirstVisible(int64_t line);
    void SetLastVisible(int64_t line);
    void SetHScrollPos(int x);
    void InvalidateLine(int64_t line);
    void UpdateFontInfo();
    void UpdateScrollBars();
    // Allows a size only when it shows at least three lines and twenty characters.
    bool CanResize(int& NewWidth, int& NewHeight) override;
    int CharWidth() const { return m_cw; }
    int TextCharWidth() const { return m_wcw; }
    int LineHeight() const { return m_lh; }
    int AddressX() const { return m_addressX; }
    int HexX() const { return m_hexX; }
    int TextX() const { return m_textX; }
    int TotalWidth() const { return m_totalWidth; }
    bool VertScrollBarShown() const { return m_vbarShown; }
    bool HorzScrollBarShown() const { return m_hbarShown; }
    // The vertical bar's page and position on its range of 0 .. 9999.
    int VertScrollPage() const { return m_vPage; }
    int VertScrollPos() const { return m_vPos; }

    // ---- caret and selection ----
    int64_t GetDataSize();
    int64_t Position() const { return m_position; }
    int Nibble() const { return m_nibble; }
    bool CaretInText() const { return m_caretInText; }
    int64_t GetLine() const { return m_position / 16; }
    void SetLine(int64_t line);
    int64_t GetRow() const { return m_position % 16; }
    void SetRow(int64_t row);
    void SetPosition(int64_t pos);
    void ChangeCaretPos();
    int64_t SelStart() const { return m_selStart; }
    int64_t SelLength() const { return m_selLength; }
    void SetSelection(int64_t start, int64_t length);
    void SetSelStart(int64_t start) { SetSelection(start, m_selLength); }
    void SetSelLength(int64_t length) { SetSelection(m_selStart, length); }
    void SelectAll();
    // True when the point lies in the text column; column and pos get the byte under the point,
    // or the nearest one of the same line beside the columns.
    bool ComputePosition(int x, int y, int64_t& column, int64_t& pos);
    // Puts the caret on the byte ComputePosition finds; with toLineEnd, a point right of a line's
    // last byte puts it after that byte (where a drag ends that takes the line's end in).
    void ScreenToPosition(int x, int y, bool toLineEnd = false);

    // ---- data ----
    void InsertData(int64_t pos, int32_t count, const void* data);
    void ReplaceData(int64_t pos, int32_t count, const void* data);
    void RemoveData(int64_t pos, int64_t count);
    int32_t SetData(int64_t pos, int32_t count, const void* data);
    int32_t GetData(int64_t pos, int32_t count, void* data);
    void ClearSelection();

    // ---- clipboard, search, files ----
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    void PasteTextFromClipboard();
    void CopyToClipboardAsText();
    void CopyToClipboardAsHexText();
    bool Find(const void* data, int32_t length, TFindOptions options);
    bool FindTextW(const UnicodeString& text, TFindOptions options);
    bool FindData(const void* data, int32_t length, TFindOptions options);
    void LoadFromStream(TStream* stream);
    // Raises EWriteError when the stream takes fewer bytes than the buffer holds.
    void SaveToStream(TStream* stream);
    // On failure shows "Ошибка чтения." and keeps everything as it was.
    void LoadFromFile(const UnicodeString& fileName);
    // On failure shows "Ошибка записи."; the file on disk, FileName and Modified stay.
    void SaveToFile(const UnicodeString& fileName);

    // ---- comparison and hints ----
    int64_t GetNextDifference(int64_t pos);
    int64_t GetPrevDifference(int64_t pos);
    void StartShowHint();
    void EndShowHint();
    THintWindow* HintWindow() const { return m_hintWindow; }
    TTimer* HintTimer() const { return m_hintTimer; }
    // The text the hint shows for the bytes at pos in the current mode; false when there are not
    // enough bytes there (or the mode shows none).
    bool FormatHint(int64_t pos, UnicodeString& text);

    // The clipboard format "XHEXEDIT".
    UINT ClipboardFormat() const { return m_clipboardFormat; }
    // The colours of the last paint.
    TColor PaintedInvertedBackground() const { return m_invBackground; }

    void Dispatch(TMessage& Message) override;
    void BeforeDestruction() override;
    void SetParent(TWinControl* parent) override;

protected:
    void DoEnter() override;
    void DoExit() override;
    void Paint() override;
    void Resize() override;
    void FontChanged() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    LRESULT DialogCode() override { return DLGC_WANTARROWS | DLGC_WANTTAB; }
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyUp(WORD& Key, TShiftState Shift) override;
    void KeyPress(WCHAR& Key) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
    bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;
    void InvalidateBand(int top, int bottom);

private:
    void CreateWindowState();
    void ApplyBorder();
    void ReleaseOwnParts();
    void HandleFocus(bool focused);
    void HandleScroll(bool vertical, int code, int thumb);
    void Relayout();
    void InvalidateLines(int64_t firstLine, int64_t lastLine);
    // The column of x, 16 right of a line's last byte; true in the text column, which takes the
    // points from the middle of the gap between the last hex digit and the text.
    bool HitColumn(int x, int64_t& column) const;
    void ExtendSelectionToCaret();
    void CollapseSelectionToCaret();
    void AdvanceAfterTyping();
    void PaintByte(HDC dc, int64_t p, uint16_t& textColour);
    void DrawCaretFrames(HDC dc);
    void HintTick(TObject* Sender);
    void PlaceText(UINT format, const std::string& bytes);
    void PasteBytes(const uint8_t* bytes, int32_t count);

    XMemoryBuffer* m_buffer;
    XHexEdit* m_sample = nullptr;
    TTimer* m_hintTimer;
    THintWindow* m_hintWindow = nullptr;
    bool m_hintActive = false;
    XHintMode m_hintMode = hmUInt;
    UINT m_clipboardFormat = 0;

    int64_t m_position = 0;
    int m_nibble = 0;
    bool m_caretInText = false;
    int64_t m_selStart = 0;
    int64_t m_selLength = 0;
    int32_t m_anchor = 0;
    int64_t m_firstVisible = 0;
    int64_t m_lastVisible = 0;
    int m_hScroll = 0;
    bool m_focused = false;
    bool m_windowReady = false;

    int m_cw = 10;
    int m_wcw = 10;
    int m_textHeight = 10;
    int m_lh = 10;
    static constexpr int kGap = 30;
    int m_addressX = 0;
    int m_addressWidth = 0;
    int m_hexX = 0;
    int m_hexWidth = 0;
    int m_textX = 0;
    int m_textWidth = 0;
    int m_totalWidth = 0;

    bool m_vbarShown = false;
    bool m_hbarShown = false;
    int m_vbarWidth = 0;
    int m_hbarHeight = 0;
    int m_vPage = 0;
    int m_vPos = 0;
    int m_hMax = 0;
    int m_hPage = 0;

    TColor m_background = clWhite;
    TColor m_invBackground = 0;
    TColor m_textColour = clBlack;
    TColor m_invTextColour = 0;

    TPoint m_lastMouse;
    int64_t m_startAddress = 0;
    double m_interval = 1.5;
    int m_margin = 20;
    bool m_showAddress = true;
    bool m_showAscii = true;
    bool m_hideSelection = true;
    TFormBorderStyle m_borderStyle = bsSingle;
};
