#include "Platform/Vcl/Dialogs.h"

#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/X11/X11Presenter.h"

#include <algorithm>
#include <cstdio>

namespace
{
constexpr int Margin = 8;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;
constexpr int EditWidth = 240;

bool DefaultInputQuery(const UnicodeString& caption, const UnicodeString& prompt, UnicodeString& value)
{
    if (Vcl::DesktopPresenterInstalled() && !X11::DisplayLost())
        return Vcl::InputQueryForm(caption, prompt, value);
    // Nobody could answer: said where the message boxes say it, and cancelled.
    std::string line = caption.ToUtf8() + ": " + prompt.ToUtf8() + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    return false;
}

Vcl::InputQueryHandler& InstalledHandler()
{
    static Vcl::InputQueryHandler handler = DefaultInputQuery;
    return handler;
}
} // namespace

TInputQueryForm::TInputQueryForm(const UnicodeString& caption, const UnicodeString& prompt,
                                 const UnicodeString& value)
    : TForm(nullptr)
{
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    SetCaption(caption);
    m_prompt = new TLabel(this);
    m_prompt->SetParent(this);
    m_prompt->SetShowAccelChar(false);
    m_prompt->SetLeft(Margin);
    m_prompt->SetTop(Margin);
    m_prompt->SetCaption(prompt);
    int width = std::max(EditWidth, m_prompt->Width());
    m_edit = new TEdit(this);
    m_edit->SetParent(this);
    m_edit->SetTabStop(true);
    m_edit->SetBounds(Margin, m_prompt->Top() + m_prompt->Height() + 6, width, 21);
    m_edit->SetText(value);
    int rowTop = m_edit->Top() + m_edit->Height() + 12;
    m_ok = new TButton(this);
    m_ok->SetParent(this);
    m_ok->SetCaption(u"OK");
    m_ok->SetModalResult(mrOk);
    m_ok->SetDefault(true);
    m_cancel = new TButton(this);
    m_cancel->SetParent(this);
    m_cancel->SetCaption(u"Cancel");
    m_cancel->SetModalResult(mrCancel);
    m_cancel->SetCancel(true);
    int right = Margin + width;
    m_cancel->SetBounds(right - ButtonWidth, rowTop, ButtonWidth, ButtonHeight);
    m_ok->SetBounds(right - 2 * ButtonWidth - 6, rowTop, ButtonWidth, ButtonHeight);
    SetClientWidth(right + Margin);
    SetClientHeight(rowTop + ButtonHeight + Margin);
    m_edit->SelectAll();
    SetActiveControl(m_edit);
}

void TInputQueryForm::Dispatch(TMessage& Message)
{
    if (Message.Msg == WM_CLOSE)
    {
        SetModalResult(mrCancel);
        Message.Result = 0;
        return;
    }
    TForm::Dispatch(Message);
}

bool InputQuery(const UnicodeString& caption, const UnicodeString& prompt, UnicodeString& value)
{
    // A copy: the handler may show a modal loop that installs another handler meanwhile.
    Vcl::InputQueryHandler handler = InstalledHandler();
    return handler(caption, prompt, value);
}

namespace Vcl
{
InputQueryHandler SetInputQueryHandler(InputQueryHandler handler)
{
    InputQueryHandler previous = std::move(InstalledHandler());
    InstalledHandler() = handler ? std::move(handler) : InputQueryHandler(DefaultInputQuery);
    return previous;
}

bool InputQueryForm(const UnicodeString& caption, const UnicodeString& prompt, UnicodeString& value)
{
    TInputQueryForm* form = new TInputQueryForm(caption, prompt, value);
    TModalResult result;
    try
    {
        result = form->ShowModal();
    }
    catch (...)
    {
        form->Free();
        throw;
    }
    UnicodeString text = form->Edit()->Text();
    form->Free();
    if (result != mrOk)
        return false;
    value = text;
    return true;
}
} // namespace Vcl
