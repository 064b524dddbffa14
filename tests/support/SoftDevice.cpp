#include "tests/support/SoftDevice.h"

SoftDevice::SoftDevice()
{
    m_Module = LoadLibraryW(u"d3d9.dll");
    if (!m_Module)
        return;
    auto create = reinterpret_cast<Direct3DCreate9Proc>(GetProcAddress(m_Module, "Direct3DCreate9"));
    m_D3D = create ? create(D3D_SDK_VERSION) : nullptr;
    if (!m_D3D)
        return;
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = 64;
    p.BackBufferHeight = 64;
    p.BackBufferFormat = D3DFMT_UNKNOWN;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.Windowed = TRUE;
    p.EnableAutoDepthStencil = TRUE;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    if (m_D3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
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
