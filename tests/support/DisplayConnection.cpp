#include "tests/support/DisplayConnection.h"

#include <X11/Xlib.h>

#include <cstdlib>
#include <thread>

_XDisplay* ConnectToDisplay(const std::string& name, std::chrono::milliseconds patience)
{
    const char* display = name.empty() ? std::getenv("DISPLAY") : name.c_str();
    if (!display || !*display)
        return nullptr;
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;)
    {
        if (::Display* connection = XOpenDisplay(display))
            return connection;
        if (std::chrono::steady_clock::now() >= deadline)
            return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}
