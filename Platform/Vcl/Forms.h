// The class library's application object: start-up settings, the message loop and the box that
// shows an exception nobody handled.
#pragma once

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

    // The exception message box: the message under the application's title, with a stop sign.
    void ShowException(const Exception& e);
};

extern TApplication* Application;
