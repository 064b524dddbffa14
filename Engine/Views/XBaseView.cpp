#include "Engine/Views/XBaseView.h"

#include "Components/XException.h"
#include "DirectX/D3dUtils.h"
#include "Platform/Vcl/Forms.h"

XBaseView::XBaseView(TComponent* owner) : TCustomControl(owner)
{
    // Before any Direct3D call: the device's arithmetic must never trap.
    MaskFPUExceptions();
    HMODULE library = LoadLibraryW(u"d3d9.dll");
    if (!library)
        throw XException("d3d9.dll load failed.");
    // The library stays loaded for the life of the process.
    auto create = reinterpret_cast<Direct3DCreate9Proc>(GetProcAddress(library, "Direct3DCreate9"));
    m_Direct3D = create ? create(D3D_SDK_VERSION) : nullptr;
    if (!m_Direct3D)
        throw XException("Direct3D object create failed.");
    D3DDISPLAYMODE mode{};
    if (m_Direct3D->GetAdapterDisplayMode(m_Adapter, &mode) != D3D_OK)
    {
        m_Direct3D->Release();
        m_Direct3D = nullptr;
        throw XException("Getting display mode failed.");
    }
    for (D3DPRESENT_PARAMETERS* p : {&m_FullscreenParameters, &m_WindowedParameters})
    {
        p->BackBufferFormat = mode.Format;
        p->BackBufferCount = 1;
        p->SwapEffect = D3DSWAPEFFECT_DISCARD;
        p->EnableAutoDepthStencil = TRUE;
        p->AutoDepthStencilFormat = D3DFMT_D16;
    }
    m_FullscreenParameters.BackBufferWidth = FullscreenWidth;
    m_FullscreenParameters.BackBufferHeight = FullscreenHeight;
    m_FullscreenParameters.Windowed = FALSE;
    m_WindowedParameters.Windowed = TRUE;
    SetBounds(Left(), Top(), 320, 240);
}

XBaseView::~XBaseView()
{
    // The main form must not call into a view that is gone.
    if (m_Fullscreen && m_MainForm)
    {
        m_MainForm->WindowProc = m_SavedWndProc;
        SetWindowLongW(m_MainForm->Handle(), GWL_STYLE, m_SavedStyle);
    }
    ReleaseResources();
    if (m_Direct3D)
        m_Direct3D->Release();
}

void XBaseView::ReleaseResources()
{
    if (m_FontTexture)
    {
        m_FontTexture->Release();
        m_FontTexture = nullptr;
    }
    if (m_Device)
    {
        m_Device->Release();
        m_Device = nullptr;
    }
}

void XBaseView::CheckBackBuffer(bool throughCheckD3D)
{
    IDirect3DSurface9* surface = nullptr;
    HRESULT result = m_Device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface);
    if (surface)
        surface->Release();
    if (throughCheckD3D)
        CheckD3D(result);
    else if (result != D3D_OK)
        throw XException("Back buffer interface getting failed");
}

void XBaseView::RecreateDevice()
{
    ReleaseDevice();
    ReleaseResources();
    D3DPRESENT_PARAMETERS parameters{};
    PrepareParameters(parameters);
    IDirect3DDevice9* device = nullptr;
    if (m_Direct3D->CreateDevice(m_Adapter, m_DeviceType, parameters.hDeviceWindow, m_BehaviorFlags, &parameters,
                                 &device) != D3D_OK)
    {
        // The reference device with software vertex processing, from now on.
        m_DeviceType = D3DDEVTYPE_REF;
        m_BehaviorFlags = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
        parameters.BackBufferCount = 1;
        parameters.MultiSampleType = D3DMULTISAMPLE_NONE;
        parameters.EnableAutoDepthStencil = TRUE;
        parameters.AutoDepthStencilFormat = D3DFMT_D16;
        device = nullptr;
        HRESULT result = m_Direct3D->CreateDevice(m_Adapter, m_DeviceType, parameters.hDeviceWindow,
                                                  m_BehaviorFlags, &parameters, &device);
        if (result != D3D_OK && device)
        {
            device->Release();
            device = nullptr;
        }
        CheckD3D(result);
    }
    m_Device = device;
    m_Device->GetDeviceCaps(&m_Caps);
    try
    {
        CheckBackBuffer(false);
    }
    catch (...)
    {
        ReleaseResources();
        throw;
    }
    CreateDevice();
}

void XBaseView::ResetDevice()
{
    if (!m_Device)
    {
        RecreateDevice();
        return;
    }
    InvalidateDevice();
    D3DPRESENT_PARAMETERS parameters{};
    PrepareParameters(parameters);
    CheckD3D(m_Device->Reset(&parameters));
    CheckBackBuffer(true);
    RestoreDevice();
}

void XBaseView::PrepareParameters(D3DPRESENT_PARAMETERS& parameters)
{
    if (!m_Fullscreen)
    {
        D3DDISPLAYMODE mode{};
        if (m_Direct3D->GetAdapterDisplayMode(m_Adapter, &mode) != D3D_OK)
            throw XException("Getting display mode failed.");
        TRect client = ClientRect();
        m_WindowedParameters.BackBufferWidth = static_cast<UINT>(client.Width());
        m_WindowedParameters.BackBufferHeight = static_cast<UINT>(client.Height());
        m_WindowedParameters.BackBufferFormat = mode.Format;
        m_WindowedParameters.BackBufferCount = 1;
        m_WindowedParameters.Flags = 0;
        m_WindowedParameters.FullScreen_RefreshRateInHz = 0;
        parameters = m_WindowedParameters;
        parameters.Windowed = TRUE;
        parameters.hDeviceWindow = Handle();
        return;
    }
    parameters = m_FullscreenParameters;
    HWND window = GetMainForm()->Handle();
    parameters.hDeviceWindow = window;
    SetWindowPos(window, HWND_TOPMOST, 0, 0, static_cast<int>(m_FullscreenParameters.BackBufferWidth),
                 static_cast<int>(m_FullscreenParameters.BackBufferHeight), 0);
    parameters.Windowed = FALSE;
}

bool XBaseView::RenderStart()
{
    if (!m_Device)
        RecreateDevice();
    switch (m_Device->TestCooperativeLevel())
    {
    case D3D_OK:
        return true;
    case D3DERR_DEVICELOST:
        return false;
    case D3DERR_DEVICENOTRESET:
        if (m_Fullscreen)
        {
            RecreateDevice();
            return true;
        }
        {
            TRect client = ClientRect();
            bool changed = static_cast<UINT>(client.Width()) != m_WindowedParameters.BackBufferWidth ||
                           static_cast<UINT>(client.Height()) != m_WindowedParameters.BackBufferHeight;
            // A derived view re-applies its layout; a changed size resets the device there.
            Resize();
            if (!changed)
                ResetDevice();
        }
        return true;
    case D3DERR_DRIVERINTERNALERROR:
        RecreateDevice();
        return true;
    default:
        return true;
    }
}

void XBaseView::SetFullscreenPresentParameters(const D3DPRESENT_PARAMETERS* parameters)
{
    if (parameters)
        m_FullscreenParameters = *parameters;
}

void XBaseView::SetWindowedPresentParameters(const D3DPRESENT_PARAMETERS* parameters)
{
    if (parameters)
        m_WindowedParameters = *parameters;
}

void XBaseView::SetFullscreen(bool on)
{
    if (on == m_Fullscreen)
        return;
    if (on && ComponentState().Contains(csDesigning))
    {
        ShowMessage(u"In desing mode your can't set FULLSCREEN = true");
        return;
    }
    TCustomForm* form = GetMainForm();
    if (on)
    {
        m_Fullscreen = true;
        m_SavedWndProc = form->WindowProc;
        m_SavedStyle = SetWindowLongW(form->Handle(), GWL_STYLE, static_cast<LONG>(WS_POPUP));
        RecreateDevice();
        form->WindowProc = MakeClosure(this, &XBaseView::FullscreenWndProc);
        return;
    }
    m_Fullscreen = false;
    RecreateDevice();
    SetWindowLongW(form->Handle(), GWL_STYLE, m_SavedStyle);
    form->WindowProc = m_SavedWndProc;
    SetWindowPos(form->Handle(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
}

void XBaseView::FullscreenWndProc(TMessage& message)
{
    switch (message.Msg)
    {
    case WM_CONTEXTMENU:
    case WM_NCHITTEST:
        message.Result = HTCLIENT;
        return;
    case WM_SYSCOMMAND:
        switch (message.WParam & 0xFFF0)
        {
        case SC_SIZE:
        case SC_MOVE:
        case SC_MAXIMIZE:
        case SC_KEYMENU:
        case SC_MONITORPOWER:
            message.Result = 1;
            return;
        }
        break;
    }
    if (m_SavedWndProc)
        m_SavedWndProc(message);
}

TCustomForm* XBaseView::GetMainForm()
{
    if (m_MainForm)
        return m_MainForm;
    auto* form = dynamic_cast<TCustomForm*>(Parent());
    if (!form)
        throw XException("MainForm getting failed.");
    while (auto* outer = dynamic_cast<TCustomForm*>(form->Parent()))
        form = outer;
    m_MainForm = form;
    return form;
}

TRect XBaseView::ClientRect() const
{
    if (!m_Fullscreen)
        return TCustomControl::ClientRect();
    return TRect(0, 0, static_cast<int>(m_FullscreenParameters.BackBufferWidth),
                 static_cast<int>(m_FullscreenParameters.BackBufferHeight));
}

void XBaseView::Resize()
{
    TCustomControl::Resize();
    if (m_Fullscreen || !HandleAllocated())
        return;
    TRect client = ClientRect();
    if (static_cast<UINT>(client.Width()) == m_WindowedParameters.BackBufferWidth &&
        static_cast<UINT>(client.Height()) == m_WindowedParameters.BackBufferHeight)
        return;
    m_WindowedParameters.BackBufferWidth = static_cast<UINT>(client.Width());
    m_WindowedParameters.BackBufferHeight = static_cast<UINT>(client.Height());
    ResetDevice();
}

void XBaseView::CreateWnd()
{
    TCustomControl::CreateWnd();
    RecreateDevice();
}

IDirect3DTexture9* XBaseView::FontTexture()
{
    if (!m_Device)
        return nullptr;
    if (!m_FontTexture)
    {
        uint32_t width = 0, height = 0;
        m_FontTexture = m_Font.CreateTexture(m_Device, width, height, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    }
    return m_FontTexture;
}

void XBaseView::RenderText(float x, float y, unsigned color, const char* text)
{
    if (IDirect3DTexture9* texture = FontTexture())
        m_Font.DrawText(m_Device, texture, x, y, color, text);
}

void XBaseView::RenderText(float x, float y, unsigned color, const WCHAR* text)
{
    if (IDirect3DTexture9* texture = FontTexture())
        m_Font.DrawText(m_Device, texture, x, y, color, StrUtils::XBaseString<WCHAR>(text));
}

void XBaseView::Dispatch(TMessage& message)
{
    switch (message.Msg)
    {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ERASEBKGND:
        return; // the picture is the device's: never erased
    case WM_GETDLGCODE:
        message.Result = DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTCHARS;
        return;
    default:
        TCustomControl::Dispatch(message);
    }
}
