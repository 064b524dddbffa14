// A stack of XScroll panels: stretched to its width (unless a panel fixes its own), kept in the
// order of their vertical positions, scrolled with its own vertical scroll bar and the wheel.
// Opening, closing, resizing, moving and docking a panel re-lay the stack. Other children are left
// alone. The list does not own its panels.
#pragma once

#include "Components/XPtrArray.h"
#include "Controls/XScroll.h"
#include "Platform/Vcl/Forms.h"

class XScrollList : public TCustomControl
{
public:
    explicit XScrollList(TComponent* AOwner);
    ~XScrollList() override;

    // bsSingle: the sunken frame (csFramed); anything else: none.
    TFormBorderStyle BorderStyle() const;
    void SetBorderStyle(TFormBorderStyle value);
    bool DockScrolls() const { return FDockScrolls; }
    void SetDockScrolls(bool value) { FDockScrolls = value; }

    // The layout pass: sums the visible panels, clamps the scroll position and stacks them.
    void SizeChanged(bool updateScrollBars);
    // A panel moved: re-sort it by its Top, then lay out.
    void ClientPosChanged(XScroll* panel);
    // A panel changed size: lay out.
    void ClientSizeChanged(XScroll* panel);
    void SetTotalHeight(int value);
    // Shows, hides and sets the vertical scroll bar.
    void UpdateScrollBars();
    void CMControlListChange(TMessage& Message);

    int PanelCount() const { return static_cast<int>(FPanels.GetCount()); }
    XScroll* Panels(int index) const { return FPanels[static_cast<uint32_t>(index)]; }
    int ScrollPosition() const { return FScrollPos; }
    int TotalHeight() const { return FTotalHeight; }
    bool ScrollBarShown() const { return FScrollBarShown; }

    void DockOver(TDragDockObject* Source, int X, int Y, TDragState State, bool& Accept) override;
    void DockDrop(TDragDockObject* Source, int X, int Y) override;
    bool DoUnDock(TWinControl* NewTarget, TControl* Client) override;

protected:
    void Resize() override;
    void Paint() override;
    void WndProc(TMessage& Message) override;
    bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
    bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;

private:
    void ScrollTo(int position);

    XPtrArray<XScroll, 8> FPanels;
    int FLastWidth = 0;
    int FScrollPos = 0;
    int FTotalHeight = 0;
    int FScrollBarWidth = 0;
    bool FDockScrolls = false;
    bool FScrollBarShown = false;
    bool FPosNotices = true;
    bool FSizeNotices = true;
};
