// The program's entry as the platform calls it.
#pragma once

#include "Platform/Win32/Windows.h"

#include <functional>

// Initialises the application, sets its main form on the task bar, creates the main form and runs
// the message loop; returns 0. An exception of the class library's family that escapes is shown by
// the application's exception box; any other is shown as an Exception with an empty message.
int WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);

// The same frame around `createForms`, which creates the application's forms.
int RunApplication(const std::function<void()>& createForms);
