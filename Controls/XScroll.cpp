#include "Controls/XScroll.h"

#include "Controls/XScrollList.h"
#include "Platform/Vcl/Forms.h"

#include <algorithm>

namespace
{
// The caption bar: a tab stop that shows its focus and opens or closes the panel by the keys a
// check button answers.
class XScrollCaption : public XStdButton
{
public:
    using XStdButton::XStdButton;

protected:
    void Paint() override
    {
        XStdButton::Paint();
        if (Focused())
            Canvas()->DrawFocusRect(TRect(2, 2, Width() - 2, Height() - 2)); // inside the frame, clear of the text
    }
    void DoEnter() override
    {
        Invalidate();
        XStdButton::DoEnter();
    }
    void DoExit() override
    {
        Invalidate();
        XStdButton::DoExit();
    }
    void KeyDown(WORD& Key, TShiftState Shift) override
    {
        XStdButton::KeyDown(Key, Shift);
        if (Key == VK_SPACE && !Shift.Contains(ssAlt) && !Shift.Contains(ssCtrl))
            Toggle();
    }
    // Enter is the form's key (a default button) except on the focused bar.
    bool DialogKey(WORD key, TShiftState shift) override
    {
        if (key == VK_RETURN && Focused() && !shift.Contains(ssAlt) && !shift.Contains(ssCtrl))
        {
            Toggle();
            return true;
        }
        return XStdButton::DialogKey(key, shift);
    }

private:
    void Toggle()
    {
        SetDown(!Down());
        Click();
    }
};
} // namespace

XScroll::XScroll(TComponent* AOwner) : TCustomControl(AOwner)
{
    SetControlStyle(ControlStyle() << csAcceptsControls << csSetCaption << csFixedHeight);
    SetWindowStyle((WindowStyle() & ~(WS_BORDER | WS_VSCROLL | WS_HSCROLL)) | WS_CLIPCHILDREN);
    SetWindowExStyle(WindowExStyle() & ~WS_EX_CLIENTEDGE);
    SetBounds(Left(), Top(), 300, 200);
    FHeader = new XScrollCaption(this);
    FHeader->SetParent(this);
    FHeader->OnClick = MakeClosure(this, &XScroll::OnButtonClick);
    FHeader->SetButtonStyle(xbsCheckButton);
    FHeader->SetDown(FOpen);
    PlaceHeader();
}

XScroll::~XScroll()
{
    XStdButton* header = FHeader;
    FHeader = nullptr;
    delete header;
}

void XScroll::BeforeDestruction()
{
    // The owned caption bar goes with the owned components.
    FHeader = nullptr;
    TCustomControl::BeforeDestruction();
}

XScrollList* XScroll::ParentList() const
{
    return dynamic_cast<XScrollList*>(Parent());
}

void XScroll::PlaceHeader()
{
    if (FHeader)
        FHeader->SetBounds(FMargin, 0, Width() - 2 * FMargin, FHeaderHeight);
}

void XScroll::SetOpenHeight(int value)
{
    value = std::max(value, 2 * FHeaderHeight);
    FOpenHeight = value;
    if (FOpen)
        SetHeight(value);
}

void XScroll::SetOpen(bool value)
{
    FOpen = value;
    if (FHeader)
        FHeader->SetDown(value);
    // Keys typed into a closed panel would change what no one sees: the focus goes to its bar.
    TCustomForm* form = GetParentForm(this);
    if (!value && form && FHeader && FHeader->CanFocus())
    {
        const TControl* focused = form->ActiveControl();
        if (focused && IsWithin(focused, this) && !IsWithin(focused, FHeader))
            FHeader->SetFocus();
    }
    ChangeSize();
}

void XScroll::GetTabOrderList(std::vector<TWinControl*>& list) const
{
    if (FOpen || !FHeader)
        TCustomControl::GetTabOrderList(list);
    else
        list.push_back(FHeader);
}

void XScroll::SetMargin(int value)
{
    value = std::clamp(value, 5, 30);
    if (value == FMargin)
        return;
    FMargin = value;
    ChangeSize();
}

void XScroll::SetFixWidth(bool value)
{
    if (value == FFixWidth)
        return;
    FFixWidth = value;
    if (value)
        FFixedWidth = Width();
    else
        ChangeSize();
}

void XScroll::SetFixedWidth(int value)
{
    FFixedWidth = value;
    if (FFixWidth)
        SetWidth(value);
}

void XScroll::ChangeSize()
{
    int closedHeight = FHeaderHeight + 5;
    if (FFixWidth)
    {
        SetBounds(Left(), Top(), FFixedWidth, FOpen ? Height() : closedHeight);
        PlaceHeader();
        return;
    }
    SetHeight(FOpen ? FOpenHeight : closedHeight);
    PlaceHeader();
    if (XScrollList* list = ParentList())
        list->SizeChanged(true);
}

void XScroll::OnButtonClick(TObject*)
{
    SetOpen(FHeader->Down());
}

TRect XScroll::ClientRect() const
{
    int headerHeight = FHeader ? FHeader->Height() : FHeaderHeight;
    return TRect(FMargin, headerHeight + 1, Width() - FMargin, Height() - FMargin);
}

bool XScroll::CanResize(int&, int&)
{
    return true;
}

void XScroll::Resize()
{
    if (FOpen)
        FOpenHeight = Height();
    PlaceHeader();
    TCustomControl::Resize();
}

void XScroll::Paint()
{
    TCanvas* canvas = Canvas();
    int h = FHeaderHeight / 2;
    canvas->Brush()->SetColor(Color());
    canvas->Brush()->SetStyle(bsSolid);
    canvas->FillRect(TRect(0, 0, Width(), Height()));
    TRect outer(2, h, Width() - 2, Height() - 2);
    Frame3D(canvas, outer, cl3DLight, cl3DDkShadow, 1);
    TRect inner(3, h + 1, Width() - 3, Height() - 3);
    Frame3D(canvas, inner, cl3DDkShadow, cl3DLight, 1);
}

void XScroll::WndProc(TMessage& Message)
{
    int closedHeight = FHeaderHeight + 5;
    switch (Message.Msg)
    {
    case WM_MOVE:
        if (FFixWidth)
            SetBounds(Left(), Top(), FFixedWidth, FOpen ? Height() : closedHeight);
        if (XScrollList* list = ParentList())
            list->ClientPosChanged(this);
        break;
    case WM_SIZE:
        if (FFixWidth)
        {
            if (ComponentState().Contains(csDesigning))
                FFixedWidth = Width();
            else
                SetBounds(Left(), Top(), FFixedWidth, Height());
        }
        else if (XScrollList* list = ParentList())
            list->ClientSizeChanged(this);
        PlaceHeader();
        break;
    case WM_ERASEBKGND:
        Message.Result = 1;
        return;
    case CM_VISIBLECHANGED:
        if (Floating() && !Visible() && !FCanHideWhenFloating)
            SetVisible(true);
        else
            ChangeSize();
        break;
    case CM_ENABLEDCHANGED:
        if (FHeader)
            FHeader->SetEnabled(Enabled());
        break;
    case CM_FONTCHANGED:
        if (FHeader)
        {
            FHeader->SetFont(Font());
            Canvas()->Font()->Assign(Font());
            FHeaderHeight = Canvas()->TextHeight(u"H");
            PlaceHeader();
            if (!FOpen)
            {
                SetHeight(FHeaderHeight + 5);
                if (FOpenHeight < Height())
                    SetOpenHeight(Height());
            }
        }
        break;
    case CM_TEXTCHANGED:
        if (FHeader)
            FHeader->SetCaption(Caption());
        break;
    }
    TCustomControl::WndProc(Message);
}
