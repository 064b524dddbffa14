#include "Platform/Vcl/StdCtrls.h"

#include <algorithm>

TRadioButton::TRadioButton(TComponent* AOwner) : TButtonControl(AOwner)
{
    SetBounds(0, 0, 113, 17);
}

void TRadioButton::SetChecked(bool checked)
{
    if (checked == m_checked)
        return;
    m_checked = checked;
    Invalidate();
    if (!checked)
        return;
    if (TWinControl* parent = Parent())
    {
        for (int i = 0; i < parent->ControlCount(); ++i)
        {
            auto* other = dynamic_cast<TRadioButton*>(parent->Controls(i));
            if (other && other != this && other->m_checked)
            {
                other->m_checked = false;
                other->Invalidate();
            }
        }
    }
    Click();
}

std::vector<TRadioButton*> TRadioButton::Siblings() const
{
    std::vector<TRadioButton*> result;
    TWinControl* parent = Parent();
    if (!parent)
        return result;
    std::vector<TWinControl*> order;
    parent->GetTabOrderList(order);
    for (TWinControl* control : order)
    {
        auto* radio = dynamic_cast<TRadioButton*>(control);
        if (radio && radio->Parent() == parent && (radio == this || radio->CanFocus()))
            result.push_back(radio);
    }
    return result;
}

void TRadioButton::KeyDown(WORD& Key, TShiftState Shift)
{
    TButtonControl::KeyDown(Key, Shift);
    bool back = Key == VK_UP || Key == VK_LEFT;
    bool forward = Key == VK_DOWN || Key == VK_RIGHT;
    if (!back && !forward)
        return;
    Key = 0;
    std::vector<TRadioButton*> group = Siblings();
    auto at = std::find(group.begin(), group.end(), this);
    if (group.size() < 2 || at == group.end())
        return;
    size_t index = static_cast<size_t>(at - group.begin());
    size_t next = forward ? (index + 1) % group.size() : (index + group.size() - 1) % group.size();
    TRadioButton* target = group[next];
    target->SetFocus();
    target->SetChecked(true);
}

void TRadioButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    // A press focuses the button also when it is not a tab stop (an unchecked one in a group).
    if (Button == mbLeft && CanFocus() && !Focused())
        SetFocus();
    TButtonControl::MouseDown(Button, Shift, X, Y);
}

void TRadioButton::Paint()
{
    PaintMark(DFCS_BUTTONRADIO | (m_checked ? DFCS_CHECKED : 0));
}

TRadioGroup::TRadioGroup(TComponent* AOwner) : TGroupBox(AOwner), m_items(new TStringList)
{
    m_items->OnChange = MakeClosure(this, &TRadioGroup::ItemsChanged);
}

TRadioGroup::~TRadioGroup()
{
    // The buttons go with the group (they are its components); the list is ours.
    m_items->OnChange = TNotifyEvent();
    delete m_items;
}

void TRadioGroup::ItemsChanged(TObject*)
{
    m_updating = true;
    int wanted = m_itemIndex;
    size_t count = static_cast<size_t>(m_items->Count());
    while (m_buttons.size() > count)
    {
        delete m_buttons.back();
        m_buttons.pop_back();
    }
    while (m_buttons.size() < count)
    {
        auto* button = new TRadioButton(this);
        button->SetParent(this);
        button->OnClick = MakeClosure(this, &TRadioGroup::ButtonClick);
        m_buttons.push_back(button);
    }
    for (size_t i = 0; i < count; ++i)
    {
        m_buttons[i]->SetCaption(m_items->Strings(static_cast<int>(i)));
        m_buttons[i]->SetEnabled(Enabled());
    }
    m_itemIndex = wanted < static_cast<int>(count) ? wanted : -1;
    for (size_t i = 0; i < count; ++i)
    {
        if (static_cast<int>(i) == m_itemIndex)
            m_buttons[i]->SetChecked(true);
        else
            m_buttons[i]->SetChecked(false);
    }
    m_updating = false;
    UpdateTabStops();
    ArrangeButtons();
    Invalidate();
}

void TRadioGroup::SetItemIndex(int index)
{
    index = std::clamp(index, -1, static_cast<int>(m_buttons.size()) - 1);
    if (index == m_itemIndex)
        return;
    if (index < 0)
    {
        m_updating = true;
        if (m_itemIndex >= 0)
            m_buttons[static_cast<size_t>(m_itemIndex)]->SetChecked(false);
        m_updating = false;
        m_itemIndex = -1;
        UpdateTabStops();
        return;
    }
    // Checking the button tells it through ButtonClick, as a click would.
    m_buttons[static_cast<size_t>(index)]->SetChecked(true);
}

void TRadioGroup::ButtonClick(TObject* Sender)
{
    if (m_updating)
        return;
    auto at = std::find(m_buttons.begin(), m_buttons.end(), Sender);
    if (at == m_buttons.end())
        return;
    m_itemIndex = static_cast<int>(at - m_buttons.begin());
    UpdateTabStops();
    Click();
}

void TRadioGroup::UpdateTabStops()
{
    // Tab reaches the group at its checked button, or at the first when none is checked.
    for (size_t i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->SetTabStop(m_itemIndex >= 0 ? static_cast<int>(i) == m_itemIndex : i == 0);
}

void TRadioGroup::SetColumns(int columns)
{
    columns = std::clamp(columns, 1, 16);
    if (columns == m_columns)
        return;
    m_columns = columns;
    ArrangeButtons();
}

void TRadioGroup::ArrangeButtons()
{
    int count = static_cast<int>(m_buttons.size());
    if (count == 0)
        return;
    int textHeight = Canvas()->TextHeight(u"0");
    int perColumn = (count + m_columns - 1) / m_columns;
    int buttonWidth = (Width() - 10) / m_columns;
    int space = Height() - textHeight - 5;
    int buttonHeight = space / perColumn;
    int topMargin = textHeight + 1 + (space % perColumn) / 2;
    for (int i = 0; i < count; ++i)
        m_buttons[static_cast<size_t>(i)]->SetBounds((i / perColumn) * buttonWidth + 8,
                                                     (i % perColumn) * buttonHeight + topMargin,
                                                     std::max(0, buttonWidth), std::max(0, buttonHeight));
}

void TRadioGroup::Resized()
{
    TGroupBox::Resized();
    ArrangeButtons();
}

void TRadioGroup::FontChanged()
{
    TGroupBox::FontChanged();
    ArrangeButtons();
}

void TRadioGroup::WndProc(TMessage& Message)
{
    TGroupBox::WndProc(Message);
    if (Message.Msg == CM_ENABLEDCHANGED)
    {
        for (TRadioButton* button : m_buttons)
            button->SetEnabled(Enabled());
    }
}
