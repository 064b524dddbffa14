#include "Platform/Vcl/ComCtrls.h"

#include <algorithm>

namespace
{
constexpr int TabPadding = 6; // each side of a tab's text
constexpr int SheetMargin = 4;
} // namespace

// ---- TTabSheet ---------------------------------------------------------------------------------

TTabSheet::TTabSheet(TComponent* AOwner) : TWinControl(AOwner)
{
    TControlStyle style = ControlStyle();
    style << csAcceptsControls;
    SetControlStyle(style);
    SetVisible(false);
}

TTabSheet::~TTabSheet()
{
    if (m_pageControl)
        m_pageControl->RemovePage(this);
}

void TTabSheet::SetPageControl(TPageControl* control)
{
    if (control == m_pageControl)
        return;
    if (m_pageControl)
        m_pageControl->RemovePage(this);
    if (control)
        control->InsertPage(this);
}

int TTabSheet::PageIndex() const
{
    if (!m_pageControl)
        return -1;
    const auto& pages = m_pageControl->m_pages;
    return static_cast<int>(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

void TTabSheet::TextChanged()
{
    TWinControl::TextChanged();
    if (m_pageControl)
        m_pageControl->Invalidate();
}

// ---- TPageControl ------------------------------------------------------------------------------

TPageControl::TPageControl(TComponent* AOwner) : TWinControl(AOwner)
{
    SetTabStop(true);
    TControlStyle style = ControlStyle();
    style << csAcceptsControls;
    SetControlStyle(style);
    TCanvas measure;
    measure.Font()->Assign(Font());
    m_tabHeight = std::max(20, measure.TextHeight(u"Wg") + 6);
    SetBounds(0, 0, 289, 193);
}

TPageControl::~TPageControl()
{
    // The sheets may outlive the control for a moment (their owner frees them): they must not
    // reach back.
    for (TTabSheet* page : m_pages)
        page->m_pageControl = nullptr;
    m_pages.clear();
    m_activePage = nullptr;
}

void TPageControl::InsertPage(TTabSheet* page)
{
    m_pages.push_back(page);
    page->m_pageControl = this;
    page->SetParent(this);
    PlacePage(page);
    page->SetVisible(false);
    if (!m_activePage)
        SetActivePage(page);
    Invalidate();
}

void TPageControl::RemovePage(TTabSheet* page)
{
    auto it = std::find(m_pages.begin(), m_pages.end(), page);
    if (it == m_pages.end())
        return;
    size_t index = static_cast<size_t>(it - m_pages.begin());
    m_pages.erase(it);
    page->m_pageControl = nullptr;
    if (page == m_activePage)
    {
        m_activePage = nullptr;
        if (!m_pages.empty())
            SetActivePage(m_pages[std::min(index, m_pages.size() - 1)]);
    }
    Invalidate();
}

TRect TPageControl::DisplayRect() const
{
    return TRect(SheetMargin, m_tabHeight + SheetMargin, std::max(SheetMargin, Width() - SheetMargin),
                 std::max(m_tabHeight + SheetMargin, Height() - SheetMargin));
}

TRect TPageControl::FocusedPart() const
{
    return TRect(0, 0, Width(), std::min(Height(), m_tabHeight));
}

void TPageControl::PlacePage(TTabSheet* page)
{
    page->SetBoundsRect(DisplayRect());
}

void TPageControl::Resized()
{
    for (TTabSheet* page : m_pages)
        PlacePage(page);
    TWinControl::Resized();
}

void TPageControl::SetActivePage(TTabSheet* page)
{
    if (page && page->m_pageControl != this)
        return;
    if (page == m_activePage)
        return;
    TTabSheet* old = m_activePage;
    m_activePage = page;
    if (page)
    {
        PlacePage(page);
        page->SetVisible(true);
    }
    if (old)
    {
        // The focus does not stay on a hidden page.
        TCustomForm* form = GetParentForm(this);
        TWinControl* focused = form ? form->ActiveControl() : nullptr;
        bool hadFocus = focused && IsWithin(focused, old) && focused->Focused();
        old->SetVisible(false);
        if (hadFocus && CanFocus())
            SetFocus();
    }
    Invalidate();
}

int TPageControl::ActivePageIndex() const
{
    return m_activePage ? m_activePage->PageIndex() : -1;
}

void TPageControl::SetActivePageIndex(int index)
{
    if (index < 0 || index >= PageCount())
    {
        SetActivePage(nullptr);
        return;
    }
    SetActivePage(m_pages[static_cast<size_t>(index)]);
}

TTabSheet* TPageControl::FindNextPage(TTabSheet* current, bool forward) const
{
    if (m_pages.empty())
        return nullptr;
    int count = PageCount();
    int index = current ? current->PageIndex() : -1;
    if (index < 0)
        return forward ? m_pages.front() : m_pages.back();
    index = (index + (forward ? 1 : count - 1)) % count;
    return m_pages[static_cast<size_t>(index)];
}

bool TPageControl::ChangePage(TTabSheet* page)
{
    if (!page || page == m_activePage)
        return true;
    bool allow = true;
    OnChanging(this, allow);
    if (!allow)
        return false;
    SetActivePage(page);
    OnChange(this);
    return true;
}

void TPageControl::SelectNextPage(bool forward)
{
    ChangePage(FindNextPage(m_activePage, forward));
}

TRect TPageControl::TabRect(int index)
{
    TCanvas measure;
    measure.Font()->Assign(Font());
    int x = 2;
    for (int i = 0; i < PageCount(); ++i)
    {
        int width = measure.TextWidth(m_pages[static_cast<size_t>(i)]->Caption()) + 2 * TabPadding;
        if (i == index)
            return TRect(x, 2, x + width, m_tabHeight);
        x += width;
    }
    return TRect();
}

int TPageControl::IndexOfTabAt(int x, int y)
{
    for (int i = 0; i < PageCount(); ++i)
    {
        if (TabRect(i).Contains(TPoint(x, y)))
            return i;
    }
    return -1;
}

bool TPageControl::DialogKey(WORD key, TShiftState shift)
{
    // Ctrl+Tab pages on while the focus is anywhere inside the control.
    if (key == VK_TAB && shift.Contains(ssCtrl) && Showing() && Enabled())
    {
        TCustomForm* form = GetParentForm(this);
        TWinControl* focused = form ? form->ActiveControl() : nullptr;
        if (focused && IsWithin(focused, this))
        {
            SelectNextPage(!shift.Contains(ssShift));
            return true;
        }
    }
    return TWinControl::DialogKey(key, shift);
}

void TPageControl::KeyDown(WORD& Key, TShiftState Shift)
{
    TWinControl::KeyDown(Key, Shift);
    if (Key == VK_LEFT || Key == VK_RIGHT)
    {
        // No wrapping with the arrows, as on the platform.
        int index = ActivePageIndex();
        int next = index + (Key == VK_RIGHT ? 1 : -1);
        if (next >= 0 && next < PageCount())
            ChangePage(m_pages[static_cast<size_t>(next)]);
        Key = 0;
    }
}

void TPageControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft)
    {
        int index = IndexOfTabAt(X, Y);
        if (index >= 0)
        {
            if (CanFocus() && !Focused())
                SetFocus();
            ChangePage(m_pages[static_cast<size_t>(index)]);
        }
    }
    TWinControl::MouseDown(Button, Shift, X, Y);
}

void TPageControl::DoEnter()
{
    TWinControl::DoEnter();
    Invalidate();
}

void TPageControl::DoExit()
{
    TWinControl::DoExit();
    Invalidate();
}

void TPageControl::PaintWindow(HDC dc)
{
    TCanvas canvas;
    TPaintScope scope(&canvas, dc, this);
    canvas.Brush()->SetColor(Color());
    canvas.FillRect(TRect(0, 0, Width(), Height()));
    RECT body{0, m_tabHeight, Width(), Height()};
    DrawEdge(canvas.Handle(), &body, EDGE_RAISED, BF_RECT | BF_SOFT);
    int active = ActivePageIndex();
    canvas.Font()->SetColor(Enabled() ? clBtnText : clGrayText);
    for (int i = 0; i < PageCount(); ++i)
    {
        TRect tab = TabRect(i);
        RECT r = tab;
        canvas.Brush()->SetStyle(bsSolid);
        canvas.Brush()->SetColor(Color());
        if (i == active)
        {
            // The active tab stands out two pixels each way and joins the body.
            InflateRect(&r, 2, 0);
            r.top -= 2;
            r.bottom += 1;
            canvas.FillRect(TRect(r));
        }
        DrawEdge(canvas.Handle(), &r, EDGE_RAISED, BF_LEFT | BF_TOP | BF_RIGHT | BF_SOFT);
        UnicodeString caption = m_pages[static_cast<size_t>(i)]->Caption();
        RECT text = tab;
        if (i == active)
            OffsetRect(&text, 0, -1);
        canvas.Brush()->SetStyle(bsClear);
        HDC h = canvas.Handle();
        DrawTextW(h, caption.c_str(), caption.Length(), &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        if (i == active && Focused())
        {
            RECT focus = text;
            InflateRect(&focus, -3, -3);
            canvas.DrawFocusRect(TRect(focus));
        }
    }
}
