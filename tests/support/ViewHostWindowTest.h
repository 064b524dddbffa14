// The view host in a real X window: a test of the view, or of what draws into it, shows the host
// form on its own display and waits until it has painted with a device; it then draws frames,
// reads the window back and drives the pointer over the view as a user would.
#pragma once

#include "Engine/Views/XView.h"
#include "Engine/Views/XViewport.h"
#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/Forms.h"
#include "tests/support/PresenterWindowTest.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/TempDir.h"
#include "tests/support/ViewHost.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/XProbe.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class XScene;

class ViewHostWindowTest : public PresenterWindowTest
{
public:
    // The size of the host's view; the window adds the button row under it.
    static constexpr int W = 800, H = 600;

    // The host keeps its files in a new folder named after `folder` and shows a scene built from
    // `options`; a layout of 0 or more is chosen before it shows, else it keeps its 2 x 2.
    explicit ViewHostWindowTest(const std::string& folder,
                                const ViewSceneOptions& options = TViewHostForm::HostSceneOptions(), int layout = -1)
        : dir(folder), m_Options(options), m_Layout(layout)
    {
    }

    void SetUp() override
    {
        PresenterWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        host = std::make_unique<TViewHostForm>(nullptr, dir.Path(), m_Options);
        view = host->View();
        scene = host->Scene();
        if (m_Layout >= 0)
            view->SetViewportLayout(m_Layout);
        host->Show();
        window = Vcl::NativeWindowOf(host.get());
        ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(window) && host->PaintCount() > 0; }));
        ASSERT_NE(view->GetDevice(), nullptr);
    }
    void TearDown() override
    {
        host.reset();
        PresenterWindowTest::TearDown();
    }

    // Draws a frame as the view's timer does and waits until the window shows it (the frames
    // are painted, the pictures presented).
    void Draw()
    {
        view->RenderScene(true);
        Application->ProcessMessages();
        probe->Sync();
    }
    // What the window shows, row after row of W pixels (0x..RRGGBB), the button row last.
    std::vector<uint32_t> Pixels()
    {
        WindowDriver driver;
        int w = 0, h = 0;
        std::vector<uint32_t> pixels = driver.Pixels(window, w, h);
        EXPECT_EQ(w, W);
        EXPECT_EQ(h, H + TViewHostForm::ButtonRow);
        return pixels;
    }
    // The colour at (x, y) of what Pixels read.
    static uint32_t At(const std::vector<uint32_t>& pixels, int x, int y)
    {
        return pixels[static_cast<size_t>(y) * W + static_cast<size_t>(x)] & 0xFFFFFF;
    }
    void MoveTo(int x, int y)
    {
        probe->MoveTo(window, x, y);
        probe->Sync();
    }
    void Button(int button, bool down)
    {
        probe->Button(button, down);
        probe->Sync();
    }
    // Waits until the viewport has seen the pointer at (x, y) of the window: everything sent
    // before has been handled.
    bool Reached(XViewport* viewport, int x, int y)
    {
        // Mouse points count from the picture, inside the viewport's frame.
        const TPoint origin = PictureOrigin(host.get(), viewport);
        const float vx = static_cast<float>(x - origin.x);
        const float vy = static_cast<float>(y - origin.y);
        return PumpUntil([&] { return viewport->GetMousePoint().x == vx && viewport->GetMousePoint().y == vy; });
    }
    // Clicks the host's button of a transform type; whether the view took that type.
    bool ClickTransformButton(int type)
    {
        TSpeedButton* b = host->TransformButton(type);
        probe->ClickAt(window, b->Left() + b->Width() / 2, b->Top() + b->Height() / 2);
        return PumpUntil([&] { return view->GetTransformType() == static_cast<XTransformType>(type); });
    }

    TempDir dir;
    std::unique_ptr<TViewHostForm> host;
    XView* view = nullptr;
    XScene* scene = nullptr;
    unsigned long window = 0;

private:
    ViewSceneOptions m_Options;
    int m_Layout;
};
