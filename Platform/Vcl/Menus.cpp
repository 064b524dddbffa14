#include "Platform/Vcl/Menus.h"

#include <algorithm>
#include <memory>

// ---- TMenuItem -------------------------------------------------------------------------------

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner)
{
}

TMenuItem::~TMenuItem()
{
    TComponent::BeforeDestruction();
    if (m_parent)
        m_parent->Remove(this);
    while (!m_items.empty())
    {
        TMenuItem* item = m_items.back();
        m_items.pop_back();
        item->m_parent = nullptr;
        // An item owned by a component is that owner's to free.
        if (!item->Owner())
            delete item;
    }
}

void TMenuItem::Add(TMenuItem* item)
{
    if (!item || item == this)
        return;
    if (item->m_parent)
        item->m_parent->Remove(item);
    m_items.push_back(item);
    item->m_parent = this;
}

void TMenuItem::Remove(TMenuItem* item)
{
    auto it = std::find(m_items.begin(), m_items.end(), item);
    if (it == m_items.end())
        return;
    m_items.erase(it);
    item->m_parent = nullptr;
}

void TMenuItem::Click()
{
    if (m_enabled)
        OnClick(this);
}

// ---- TPopupMenuWindow ------------------------------------------------------------------------

namespace
{
constexpr int kTextIndent = 24;
constexpr int kRightSpace = 24;
constexpr int kBorder = 2;
// Posted to the menu's window before its modal loop starts, so that OnShow fires once it shows.
constexpr UINT CM_MENUSHOWN = CM_BASE + 0x201;
} // namespace

TPopupMenuWindow::TPopupMenuWindow(TPopupMenu* menu) : TCustomForm(nullptr), m_menu(menu)
{
    SetBorderStyle(bsNone);
    // A popup window: no decorations, and it stands where Popup puts it (at the pointer), above
    // the others. It takes no focus: it holds the pointer and the keyboard while it shows, and
    // the form it opened from keeps the focus.
    SetWindowStyle(WindowStyle() | WS_POPUP);
    SetWindowExStyle(WindowExStyle() | WS_EX_TOPMOST | WS_EX_NOACTIVATE);
    SetColor(clBtnFace);
    TCanvas* canvas = Canvas();
    canvas->Font()->Assign(Font());
    int width = 100;
    int textHeight = canvas->TextHeight(u"Wy");
    m_rowHeight = std::max(textHeight + 6, 18);
    TMenuItem* items = menu->Items();
    for (int i = 0; i < items->Count(); ++i)
        width = std::max(width, canvas->TextWidth(items->Items(i)->Caption()) + kTextIndent + kRightSpace);
    SetBounds(0, 0, width + 2 * kBorder, items->Count() * m_rowHeight + 2 * kBorder);
}

int TPopupMenuWindow::RowAt(int y) const
{
    if (y < kBorder)
        return -1;
    int row = (y - kBorder) / m_rowHeight;
    return row < m_menu->Items()->Count() ? row : -1;
}

void TPopupMenuWindow::SetHot(int index)
{
    if (index == m_hot)
        return;
    m_hot = index;
    Invalidate();
}

void TPopupMenuWindow::Choose(int index)
{
    TMenuItem* items = m_menu->Items();
    if (index < 0 || index >= items->Count() || !items->Items(index)->Enabled())
        return;
    m_chosen = items->Items(index);
    SetModalResult(mrOk);
}

void TPopupMenuWindow::CloseWithout()
{
    m_chosen = nullptr;
    SetModalResult(mrCancel);
}

void TPopupMenuWindow::Dispatch(TMessage& Message)
{
    if (Message.Msg == CM_MENUSHOWN)
    {
        m_menu->OnShow(m_menu);
        return;
    }
    if (Message.Msg == WM_CANCELMODE)
    {
        CloseWithout();
        Message.Result = 0;
        return;
    }
    TCustomForm::Dispatch(Message);
}

void TPopupMenuWindow::KeyDown(WORD& Key, TShiftState Shift)
{
    int count = m_menu->Items()->Count();
    switch (Key)
    {
    case VK_ESCAPE:
        CloseWithout();
        return;
    case VK_RETURN:
        Choose(m_hot);
        return;
    case VK_DOWN:
        if (count > 0)
            SetHot(m_hot < 0 ? 0 : (m_hot + 1) % count);
        return;
    case VK_UP:
        if (count > 0)
            SetHot(m_hot <= 0 ? count - 1 : m_hot - 1);
        return;
    default:
        TCustomForm::KeyDown(Key, Shift);
    }
}

void TPopupMenuWindow::MouseMove(TShiftState, int X, int Y)
{
    bool inside = X >= 0 && X < Width();
    SetHot(inside ? RowAt(Y) : -1);
}

void TPopupMenuWindow::MouseDown(TMouseButton, TShiftState, int X, int Y)
{
    if (X < 0 || Y < 0 || X >= Width() || Y >= Height())
        CloseWithout();
}

void TPopupMenuWindow::MouseUp(TMouseButton Button, TShiftState, int X, int Y)
{
    if (X < 0 || Y < 0 || X >= Width() || Y >= Height())
        return;
    int row = RowAt(Y);
    if (row < 0)
    {
        if (Button == mbLeft)
            CloseWithout();
        return;
    }
    Choose(row);
}

void TPopupMenuWindow::Paint()
{
    TCanvas* canvas = Canvas();
    TRect client = ClientRect();
    canvas->Brush()->SetColor(clBtnFace);
    canvas->FillRect(client);
    RECT edge = client;
    DrawEdge(canvas->Handle(), &edge, EDGE_RAISED, BF_RECT);
    TMenuItem* items = m_menu->Items();
    int textHeight = canvas->TextHeight(u"Wy");
    for (int i = 0; i < items->Count(); ++i)
    {
        TRect row(kBorder, kBorder + i * m_rowHeight, client.right - kBorder, kBorder + (i + 1) * m_rowHeight);
        TMenuItem* item = items->Items(i);
        bool hot = i == m_hot && item->Enabled();
        if (hot)
        {
            canvas->Brush()->SetColor(clHighlight);
            canvas->FillRect(row);
        }
        canvas->Font()->SetColor(!item->Enabled() ? clGrayText : hot ? clHighlightText : clBtnText);
        // The text lies over the row as filled: a solid brush would paint a block of its colour
        // behind it, the highlight's in every row after the hot one.
        canvas->Brush()->SetStyle(bsClear);
        canvas->TextOut(row.left + kTextIndent, row.top + (m_rowHeight - textHeight) / 2, item->Caption());
    }
}

// ---- TPopupMenu ------------------------------------------------------------------------------

TPopupMenu::TPopupMenu(TComponent* AOwner) : TComponent(AOwner), m_items(new TMenuItem(nullptr))
{
}

TPopupMenu::~TPopupMenu()
{
    TComponent::BeforeDestruction();
    delete m_items;
}

void TPopupMenu::Popup(int X, int Y)
{
    OnPopup(this);
    if (m_items->Count() == 0 || m_window)
        return;
    auto window = std::make_unique<TPopupMenuWindow>(this);
    // Inside the screen: a menu near the right or bottom edge opens to the left or upward.
    int left = X + window->Width() > Screen->Width ? X - window->Width() : X;
    int top = Y + window->Height() > Screen->Height ? Y - window->Height() : Y;
    window->SetBounds(std::max(left, 0), std::max(top, 0), window->Width(), window->Height());
    m_window = window.get();
    struct Clear
    {
        TPopupMenuWindow*& window;
        ~Clear() { window = nullptr; }
    } clear{m_window};
    PostMessageW(window->Handle(), CM_MENUSHOWN, 0, 0);
    window->ShowModal();
    TMenuItem* chosen = window->Chosen();
    window.reset();
    m_window = nullptr;
    if (chosen)
        chosen->Click();
}
