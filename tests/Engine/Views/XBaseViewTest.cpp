#include "Engine/Views/XBaseView.h"

#include "Components/XException.h"
#include "DirectX/D3dUtils.h"
#include "Engine/Views/XRenderer.h"
#include "Platform/D3D9/D3D9Testing.h"
#include "Platform/Vcl/Forms.h"
#include "tests/support/MessageBoxRecorder.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <functional>
#include <string>
#include <vector>

namespace
{
// A view that records its device events.
class EventView : public XBaseView
{
public:
    using XBaseView::XBaseView;
    std::vector<std::string> events;
    void CreateDevice() override { events.push_back("create"); }
    void ReleaseDevice() override { events.push_back("release"); }
    void InvalidateDevice() override { events.push_back("invalidate"); }
    void RestoreDevice() override { events.push_back("restore"); }
};

std::string ThrownText(const std::function<void()>& f)
{
    try
    {
        f();
    }
    catch (const Exception& e)
    {
        return e.Message().ToUtf8();
    }
    return "";
}

ISoftDevice9* Soft(IDirect3DDevice9* device)
{
    ISoftDevice9* soft = nullptr;
    device->QueryInterface(IID_ISoftDevice9, reinterpret_cast<void**>(&soft));
    if (soft)
        soft->Release(); // the device holds it
    return soft;
}

TEST(XBaseViewTest, MissingOrBrokenLibrariesFailWithTheirTexts)
{
    Platform::RedirectModule(u"d3d9.dll", "/nonexistent/libd3d9.so");
    EXPECT_EQ(ThrownText([] { EventView view(nullptr); }), "d3d9.dll load failed.");
    // A library without the entry point is never called through it.
    Platform::RedirectModule(u"d3d9.dll", Platform::ModuleFileName(u"d3dx9_24.dll"));
    EXPECT_EQ(ThrownText([] { EventView view(nullptr); }), "Direct3D object create failed.");
    Platform::RedirectModule(u"d3d9.dll", "");
    // The entry point is there but yields no object.
    GetD3D9Faults()->failDirect3DCreate9 = 1;
    EXPECT_EQ(ThrownText([] { EventView view(nullptr); }), "Direct3D object create failed.");
    GetD3D9Faults()->failGetAdapterDisplayMode = 1;
    EXPECT_EQ(ThrownText([] { EventView view(nullptr); }), "Getting display mode failed.");
}

TEST(XBaseViewTest, DeviceComesWithTheWindowAndFollowsItsSize)
{
    feenableexcept(FE_DIVBYZERO);
    TForm form(nullptr);
    form.SetBounds(0, 0, 400, 300);
    auto* view = new EventView(&form);
    EXPECT_EQ(fegetexcept(), 0); // traps masked by the constructor
    view->SetParent(&form);
    EXPECT_EQ(view->Width(), 320);
    EXPECT_EQ(view->Height(), 240);
    EXPECT_EQ(view->GetBehaviorFlags(), 0x20u);
    EXPECT_EQ(view->GetDeviceType(), D3DDEVTYPE_HAL);
    const D3DPRESENT_PARAMETERS* full = view->GetFullscreenPresentParameters();
    EXPECT_EQ(full->BackBufferWidth, 1024u);
    EXPECT_EQ(full->BackBufferHeight, 768u);
    EXPECT_EQ(full->BackBufferFormat, D3DFMT_X8R8G8B8); // the display's format (format 22)
    EXPECT_EQ(full->AutoDepthStencilFormat, D3DFMT_D16);
    EXPECT_EQ(full->SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_FALSE(full->Windowed);
    EXPECT_TRUE(view->GetWindowedPresentParameters()->Windowed);
    EXPECT_EQ(view->GetWindowedPresentParameters()->BackBufferWidth, 0u);
    // Resizes before the window: no device.
    view->SetBounds(0, 0, 200, 100);
    EXPECT_EQ(view->GetDevice(), nullptr);
    view->RenderText(1, 1, 0xFFFFFFFF, "nothing yet");
    EXPECT_EQ(view->GetFontTexture(), nullptr);
    form.Show();
    ASSERT_NE(view->GetDevice(), nullptr);
    EXPECT_EQ(view->events, (std::vector<std::string>{"release", "create"}));
    ISoftDevice9* soft = Soft(view->GetDevice());
    ASSERT_NE(soft, nullptr);

    view->events.clear();
    view->SetBounds(5, 5, 200, 100); // same size
    EXPECT_TRUE(view->events.empty());
    view->SetBounds(0, 0, 201, 100);
    EXPECT_EQ(view->events, (std::vector<std::string>{"invalidate", "restore"}));
    EXPECT_EQ(soft->GetResetCount(), 1u);
    EXPECT_EQ(view->GetWindowedPresentParameters()->BackBufferWidth, 201u);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(view->GetDevice()->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DSURFACE_DESC backDesc{};
    back->GetDesc(&backDesc);
    back->Release();
    EXPECT_EQ(backDesc.Width, 201u);
    EXPECT_EQ(backDesc.Height, 100u);

    // The glyph texture: built once, kept over a reset, rebuilt after a re-creation.
    view->GetDevice()->BeginScene();
    view->RenderText(1, 1, 0xFFFFFFFF, "A");
    IDirect3DTexture9* texture = view->GetFontTexture();
    ASSERT_NE(texture, nullptr);
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    view->RenderText(1, 1, 0xFFFFFFFF, u"Б");
    view->GetDevice()->EndScene();
    EXPECT_EQ(view->GetFontTexture(), texture);
    view->ResetDevice();
    EXPECT_EQ(view->GetFontTexture(), texture);

    // A lost device: no frame until it can be reset, then one reset and the frame.
    soft->LoseDevice();
    view->events.clear();
    EXPECT_FALSE(view->RenderStart());
    EXPECT_TRUE(view->RenderStart());
    EXPECT_EQ(view->events, (std::vector<std::string>{"invalidate", "restore"}));
    EXPECT_TRUE(view->RenderStart());

    view->RecreateDevice();
    EXPECT_EQ(view->GetFontTexture(), nullptr);
    view->GetDevice()->BeginScene();
    view->RenderText(1, 1, 0xFFFFFFFF, "A");
    view->GetDevice()->EndScene();
    EXPECT_NE(view->GetFontTexture(), nullptr); // built again on the new device
    EXPECT_EQ(view->Perform(WM_GETDLGCODE, 0, 0), 0x87);
    feclearexcept(FE_ALL_EXCEPT);
}

TEST(XBaseViewTest, CreationFallsBackToTheReferenceDeviceOnceAndThrowsTheSecondTime)
{
    TForm form(nullptr);
    auto* view = new EventView(&form);
    view->SetParent(&form);
    GetD3D9Faults()->failCreateDevice = 1;
    form.Show();
    ASSERT_NE(view->GetDevice(), nullptr);
    EXPECT_EQ(view->GetDeviceType(), D3DDEVTYPE_REF);
    EXPECT_EQ(view->GetBehaviorFlags(), 0x20u);

    GetD3D9Faults()->failCreateDevice = 2;
    EXPECT_EQ(ThrownText([&] { view->RecreateDevice(); }),
              std::string(GetD3DResultText(D3DERR_NOTAVAILABLE)));
    EXPECT_EQ(view->GetDevice(), nullptr);
    EXPECT_TRUE(view->RenderStart()); // tries again
    EXPECT_NE(view->GetDevice(), nullptr);
}

TEST(XBaseViewTest, FullScreenTakesTheMainFormAndFiltersItsMessages)
{
    BoxRecorder boxes;
    TForm form(nullptr);
    form.SetBounds(30, 40, 400, 300);
    auto* view = new EventView(&form);
    view->SetParent(&form);
    form.Show();
    DWORD style = form.WindowStyle();

    // At design time: a box, and nothing changes.
    view->SetDesigning(true);
    view->SetFullscreen(true);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, u"In desing mode your can't set FULLSCREEN = true");
    EXPECT_FALSE(view->GetFullscreen());
    view->SetDesigning(false);

    view->events.clear();
    view->SetFullscreen(true);
    view->SetFullscreen(true);
    EXPECT_EQ(view->events, (std::vector<std::string>{"release", "create"}));
    EXPECT_EQ(form.WindowStyle(), WS_POPUP);
    EXPECT_EQ(form.WindowExStyle() & WS_EX_TOPMOST, WS_EX_TOPMOST);
    EXPECT_EQ(form.BoundsRect(), TRect(0, 0, 1024, 768));
    EXPECT_EQ(view->ClientRect(), TRect(0, 0, 1024, 768));
    view->events.clear();
    view->SetBounds(0, 0, 100, 50);
    EXPECT_TRUE(view->events.empty()); // resizes never reset in full screen

    for (WPARAM code : {SC_SIZE, SC_MOVE, SC_MAXIMIZE, SC_KEYMENU, SC_MONITORPOWER})
        EXPECT_EQ(SendMessageW(form.Handle(), WM_SYSCOMMAND, code, 0), 1);
    EXPECT_EQ(SendMessageW(form.Handle(), WM_CONTEXTMENU, 0, 0), 1);
    EXPECT_EQ(SendMessageW(form.Handle(), WM_NCHITTEST, 0, 0), 1);
    EXPECT_EQ(SendMessageW(form.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0), 0); // not swallowed
    // What the filter lets through reaches the form.
    SendMessageW(form.Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"Full"));
    EXPECT_EQ(form.Caption(), UnicodeString(u"Full"));

    view->SetFullscreen(false);
    EXPECT_EQ(form.WindowStyle(), style);
    EXPECT_EQ(form.WindowExStyle() & WS_EX_TOPMOST, 0u);
    EXPECT_EQ(form.BoundsRect(), TRect(0, 0, 1024, 768)); // place and size stay
    EXPECT_EQ(SendMessageW(form.Handle(), WM_NCHITTEST, 0, 0), 0);

    // A view on a panel has no main form to take.
    TForm other(nullptr);
    auto* panel = new TWinControl(&other);
    panel->SetParent(&other);
    auto* inner = new EventView(&other);
    inner->SetParent(panel);
    EXPECT_EQ(ThrownText([&] { inner->GetMainForm(); }), "MainForm getting failed.");
}

TEST(XBaseViewTest, RendererCachesWhatTheDeviceHolds)
{
    TForm form(nullptr);
    auto* view = new EventView(&form);
    view->SetParent(&form);
    form.Show();
    XRenderer renderer;
    renderer.CreateDevice(view->GetDevice());
    renderer.SetLighting(true);
    EXPECT_TRUE(renderer.GetLighting());
    GetD3D9Faults()->failSetRenderState = 1;
    renderer.SetLighting(false); // refused: the device still has it on
    EXPECT_TRUE(renderer.GetLighting());
    DWORD value = 0;
    view->GetDevice()->GetRenderState(D3DRS_LIGHTING, &value);
    EXPECT_EQ(value, TRUE);
    renderer.InvalidateDevice(view->GetDevice());
    EXPECT_EQ(renderer.GetDevice(), nullptr);
    renderer.RestoreDevice(view->GetDevice());
    EXPECT_EQ(renderer.GetDevice(), view->GetDevice());
    renderer.ReleaseDevice(nullptr);
    EXPECT_EQ(renderer.GetDevice(), nullptr);
}
} // namespace
