// A test of forms in a real X window: its own virtual display, a probe connection that drives the
// display (XTest) and reads it back, and the desktop presenter putting the test's forms on it.
#pragma once

#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Win32/Windows.h"
#include "Platform/X11/X11Presenter.h"

#include "tests/support/VirtualDisplay.h"
#include "tests/support/XProbe.h"

#include <gtest/gtest.h>

#include <memory>

class PresenterWindowTest : public ::testing::Test
{
public:
    // The display's size in pixels (a tall panel needs more than the default).
    explicit PresenterWindowTest(int width = 1024, int height = 768) : server(width, height) {}

    void SetUp() override
    {
        ASSERT_TRUE(server.Running()) << server.Error();
        probe = std::make_unique<XProbe>(server.Name());
        ASSERT_TRUE(probe->Open());
        Platform::ResetKeyStates();
        ASSERT_TRUE(Vcl::InstallDesktopPresenter());
    }
    void TearDown() override
    {
        Vcl::RemoveDesktopPresenter();
        Platform::ResetKeyStates();
        probe.reset();
    }

    // Runs the loop until the X server has seen everything sent and the program has answered it.
    void Settle()
    {
        probe->Sync();
        for (int i = 0; i < 20; ++i)
        {
            Application->ProcessMessages();
            X11::WaitForEvents(5);
        }
    }

    VirtualDisplay server;
    std::unique_ptr<XProbe> probe;
};
