#include "tests/support/SoftDevice.h"

SoftDevice::SoftDevice(UINT w, UINT h, HWND window) : width(w), height(h)
{
    m_Module = LoadLibraryW(u"d3d9.dll");
    if (!m_Module)
        return;
    auto create = reinterpret_cast<Direct3DCreate9Proc>(GetProcAddress(m_Module, "Direct3DCreate9"));
    m_D3D = create ? create(D3D_SDK_VERSION) : nullptr;
    if (!m_D3D)
        return;
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = width;
    p.BackBufferHeight = height;
    p.BackBufferFormat = D3DFMT_UNKNOWN;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.Windowed = TRUE;
    p.EnableAutoDepthStencil = TRUE;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    if (m_D3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                            &p, &device) != D3D_OK)
    {
        device = nullptr;
        return;
    }
    if (device->QueryInterface(IID_ISoftDevice9, reinterpret_cast<void**>(&soft)) != S_OK)
    {
        soft = nullptr;
        return;
    }
    soft->EnableCallLog(true);
}

SoftDevice::~SoftDevice()
{
    if (soft)
        soft->Release();
    if (device)
        device->Release();
    if (m_D3D)
        m_D3D->Release();
    if (m_Module)
        FreeLibrary(m_Module);
}

std::vector<std::string> SoftDevice::Texts() const
{
    std::vector<std::string> texts;
    for (const D3D9Call& call : soft->GetCallLog())
        texts.push_back(call.Text());
    return texts;
}

std::vector<const D3D9Call*> SoftDevice::Calls(const std::string& name) const
{
    std::vector<const D3D9Call*> calls;
    for (const D3D9Call& call : soft->GetCallLog())
        if (call.name == name)
            calls.push_back(&call);
    return calls;
}

std::vector<uint32_t> SoftDevice::ReadBackBuffer(IDirect3DDevice9* device)
{
    std::vector<uint32_t> pixels;
    IDirect3DSurface9* back = nullptr;
    IDirect3DSurface9* copy = nullptr;
    if (!device || device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back) != D3D_OK)
        return pixels;
    D3DSURFACE_DESC desc{};
    back->GetDesc(&desc);
    D3DLOCKED_RECT locked{};
    if (device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &copy,
                                            nullptr) == D3D_OK &&
        device->GetRenderTargetData(back, copy) == D3D_OK && copy->LockRect(&locked, nullptr, D3DLOCK_READONLY) == D3D_OK)
    {
        for (UINT row = 0; row < desc.Height; ++row)
        {
            const auto* p = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(locked.pBits) +
                                                              static_cast<size_t>(row) * locked.Pitch);
            pixels.insert(pixels.end(), p, p + desc.Width);
        }
        copy->UnlockRect();
    }
    if (copy)
        copy->Release();
    back->Release();
    return pixels;
}
