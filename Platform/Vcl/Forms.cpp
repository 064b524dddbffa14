#include "Platform/Vcl/Forms.h"

namespace
{
TApplication TheApplication;
}

TApplication* Application = &TheApplication;

void TApplication::Run()
{
    Platform::DispatchPostedMessages();
}

bool TApplication::ProcessMessage(MSG& message)
{
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (message.message == WM_QUIT)
    {
        m_terminated = true;
        return true;
    }
    try
    {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    catch (const Exception& e)
    {
        ShowException(e);
    }
    catch (...)
    {
        ShowException(Exception(u""));
    }
    return true;
}

void TApplication::ProcessMessages()
{
    MSG message;
    while (ProcessMessage(message))
    {
    }
}

void TApplication::HandleMessage()
{
    MSG message;
    if (!ProcessMessage(message) && !m_terminated)
        WaitMessage();
}

void TApplication::Terminate()
{
    PostQuitMessage(0);
}

void TApplication::ShowException(const Exception& e)
{
    MessageBoxW(nullptr, e.Message().c_str(), Vcl::ApplicationTitle().c_str(), MB_OK | MB_ICONERROR);
}
