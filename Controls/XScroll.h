// A captioned panel that opens and closes: its caption bar is a check-style XStdButton, which
// shows the focus and opens or closes the panel by Space or Enter; open it has its own height and
// shows the controls placed in it, closed it shrinks to the caption bar and keeps the focus out.
// Inside an XScrollList it reports its moves and size changes so the list can re-stack.
#pragma once

#include "Controls/XStdButton.h"

class XScrollList;

class XScroll : public TCustomControl
{
public:
    explicit XScroll(TComponent* AOwner);
    ~XScroll() override;
    void BeforeDestruction() override;

    int OpenHeight() const { return FOpenHeight; }
    // Raised to at least twice the caption bar's height; an open panel takes it at once.
    void SetOpenHeight(int value);
    bool Open() const { return FOpen; }
    void SetOpen(bool value);
    int Margin() const { return FMargin; }
    // Clamped to 5 .. 30.
    void SetMargin(int value);
    bool FixWidth() const { return FFixWidth; }
    // On: the current Width becomes FixedWidth; off: the panel is laid out again.
    void SetFixWidth(bool value);
    int FixedWidth() const { return FFixedWidth; }
    void SetFixedWidth(int value);
    bool CanHideWhenFloating() const { return FCanHideWhenFloating; }
    void SetCanHideWhenFloating(bool value) { FCanHideWhenFloating = value; }
    bool CanFloat() const { return FCanFloat; }
    void SetCanFloat(bool value) { FCanFloat = value; }
    int HeaderHeight() const { return FHeaderHeight; }
    XStdButton* HeaderButton() const { return FHeader; }

    // Applies Open, FixWidth and the margins to the panel's bounds.
    void ChangeSize();
    void OnButtonClick(TObject* Sender);

    // Children are placed below the caption bar, inside the margins.
    TRect ClientRect() const override;
    // Closed, only the caption bar: Tab never stops on what cannot be seen.
    void GetTabOrderList(std::vector<TWinControl*>& list) const override;

protected:
    bool CanResize(int& NewWidth, int& NewHeight) override;
    void Resize() override;
    void Paint() override;
    void WndProc(TMessage& Message) override;

private:
    void PlaceHeader();
    XScrollList* ParentList() const;

    XStdButton* FHeader = nullptr;
    int FHeaderHeight = 20;
    int FOpenHeight = 200;
    int FMargin = 10;
    bool FOpen = true;
    int FFixedWidth = 0;
    bool FFixWidth = false;
    bool FCanHideWhenFloating = false;
    bool FCanFloat = false;
};
