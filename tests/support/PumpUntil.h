#pragma once
// Real-window tests wait for the presenter by running the application's loop until what they
// expect has happened, giving up after a few seconds so that a lost event fails the test instead
// of hanging it.
#include "Platform/Vcl/Forms.h"
#include "Platform/X11/X11Presenter.h"

#include <chrono>

// One turn of the loop while the test waits on another program: a short wait for the display's
// events, then the messages they brought.
inline void PumpOnce()
{
    X11::WaitForEvents(2);
    Application->ProcessMessages();
}

template <class Predicate> bool PumpUntil(Predicate done, std::chrono::milliseconds limit = std::chrono::seconds(5))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;)
    {
        Application->ProcessMessages();
        if (done())
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        X11::WaitForEvents(10);
    }
}
