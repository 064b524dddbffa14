// A test of forms in a real X window: its own virtual display, a probe connection that drives the
// display (XTest) and reads it back, and the desktop presenter putting the test's forms on it.
#pragma once

#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Win32/Windows.h"
#include "Platform/X11/X11Presenter.h"

#include "tests/support/PumpUntil.h"
#include "tests/support/ReferenceImage.h"
#include "tests/support/VirtualDisplay.h"
#include "tests/support/XProbe.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

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

    // Clicks (dx, dy) inside the control on the window of the form it stands in, then runs the loop.
    void ClickOn(unsigned long window, TControl* control, int dx, int dy)
    {
        const TPoint at = control->FormOrigin();
        probe->ClickAt(window, at.x + dx, at.y + dy);
        Settle();
    }

    // Shows the form and waits until its window can be seen and the program has answered what
    // showing it sent; whether it could be seen. `window` receives the form's window.
    [[nodiscard]] bool ShowForm(TForm& form, unsigned long& window)
    {
        form.Show();
        window = Vcl::NativeWindowOf(&form);
        if (!PumpUntil([&] { return probe->Viewable(window); }))
            return false;
        Settle();
        return true;
    }

    // The window shows the form's own picture (read back at every stepX-th pixel of every
    // stepY-th row from (first, first)), and that picture is the checked-in `reference` within
    // 8 a channel. A pixel that differs is fatal; a picture that differs from the reference is not.
    void ExpectFormPicture(unsigned long window, const TForm& form, const std::string& reference, int first, int stepX,
                           int stepY)
    {
        const int width = form.ClientWidth(), height = form.ClientHeight();
        const std::vector<uint32_t> pixels(form.Pixels(), form.Pixels() + static_cast<size_t>(width) * height);
        for (int y = first; y < height; y += stepY)
            for (int x = first; x < width; x += stepX)
                ASSERT_EQ(probe->ReadPixel(window, x, y) & 0xFFFFFF,
                          pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] &
                              0xFFFFFF)
                    << x << "," << y;
        EXPECT_EQ(ReferenceImage::Compare(reference, pixels, static_cast<uint32_t>(width),
                                          static_cast<uint32_t>(height), 8),
                  "");
    }

    // 1,000 seeded random events over the window, the loop run after every 50th: each takes a
    // point of the width x height client area and one of `kinds` kinds, kind 0 a click there,
    // 1 a move there, any other what `other` does for it with the same generator.
    void RandomInput(unsigned long window, int width, int height, unsigned seed, unsigned kinds,
                     const std::function<void(unsigned kind, std::mt19937& random)>& other)
    {
        std::mt19937 random(seed);
        for (int i = 0; i < 1000; ++i)
        {
            const int x = static_cast<int>(random() % static_cast<unsigned>(width));
            const int y = static_cast<int>(random() % static_cast<unsigned>(height));
            const unsigned kind = static_cast<unsigned>(random() % kinds);
            if (kind == 0)
                probe->ClickAt(window, x, y);
            else if (kind == 1)
                probe->MoveTo(window, x, y);
            else
                other(kind, random);
            if (i % 50 == 0)
                Settle();
        }
    }

    VirtualDisplay server;
    std::unique_ptr<XProbe> probe;
};
