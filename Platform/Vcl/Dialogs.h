// The class library's dialogs: the message box as a modal form of our own drawing.
#pragma once

#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/StdCtrls.h"

#include <vector>

// A message box: the text wrapped beside an optional icon, and a row of buttons as the style
// (MB_OK, MB_OKCANCEL, MB_YESNO ...) asks. The MB_DEFBUTTONn button has the focus; Enter presses
// the focused button; Escape and the close button answer Cancel (or OK in a box with OK alone) and
// do nothing in a box without either; a button's underlined letter presses it.
class TMessageForm : public TForm
{
public:
    TMessageForm(const UnicodeString& text, const UnicodeString& caption, UINT type);

    int ButtonCount() const { return static_cast<int>(m_buttons.size()); }
    TButton* Buttons(int index) const { return m_buttons.at(static_cast<size_t>(index)); }
    TLabel* Message() const { return m_message; }
    // The answer for Escape and the close button; 0 when the box has none.
    int EscapeResult() const { return m_escapeResult; }
    // Shows the box modally and returns the answer (IDOK ...).
    int Execute();

    void Dispatch(TMessage& Message) override;

protected:
    void Paint() override;

private:
    void ButtonKeyDown(TObject* Sender, WORD& Key, TShiftState Shift);

    UINT m_icon = 0; // MB_ICONHAND ... or 0
    TRect m_iconRect;
    TLabel* m_message;
    std::vector<TButton*> m_buttons;
    int m_escapeResult = 0;
    int m_defaultResult = IDOK;
};

namespace Vcl
{
// Shows a TMessageForm modally; the message-box handler of the desktop presenter.
int MessageBoxForm(const UnicodeString& text, const UnicodeString& caption, UINT type);
} // namespace Vcl
