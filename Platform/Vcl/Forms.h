// The class library's application object: start-up settings, the message loop and the box that
// shows an exception nobody handled.
#pragma once

#include "Platform/Vcl/Classes.h"
#include "Platform/Vcl/SysUtils.h"

class TApplication
{
public:
    void Initialize() {}
    // Whether the main form has its own button on the task bar.
    bool MainFormOnTaskBar = false;

    // Delivers posted messages until the main form closes; without a main form there is nothing
    // to wait for and it returns at once.
    void Run();

    // Delivers every waiting message and due timer, then returns. An exception that escapes a
    // handler is shown by the exception box and the loop goes on.
    void ProcessMessages();
    // Delivers one message, or waits for one when none is there (at once when the clock is a
    // test's).
    void HandleMessage();
    // Ends Run (through WM_QUIT, after what is queued).
    void Terminate();
    bool Terminated() const { return m_terminated; }

    // The exception message box: the message under the application's title, with a stop sign.
    void ShowException(const Exception& e);

private:
    bool ProcessMessage(MSG& message);

    bool m_terminated = false;
};

extern TApplication* Application;
