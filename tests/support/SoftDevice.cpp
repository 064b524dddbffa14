#include "tests/support/SoftDevice.h"

SoftDevice::SoftDevice()
{
    m_Module = LoadLibraryW(u"d3d9.dll");
    if (!m_Module)
        return;
    auto create = reinterpret_cast<Direct3DCreate9Proc>(GetProcAddress(m_Module, "Direct3DCreate9"));
    if (!create)
        return;
    m_D3D = create(D3D_SDK_VERSION);
    if (!m_D3D)
        return;
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = 16;
    p.BackBufferHeight = 16;
    p.BackBufferFormat = D3DFMT_UNKNOWN;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.Windowed = TRUE;
    if (m_D3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                            D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &m_Device) != D3D_OK)
    {
        m_Device = nullptr;
        return;
    }
    if (m_Device->QueryInterface(IID_ISoftDevice9, reinterpret_cast<void**>(&m_Soft)) != S_OK)
        m_Soft = nullptr;
}

SoftDevice::~SoftDevice()
{
    if (m_Soft)
        m_Soft->Release();
    if (m_Device)
        m_Device->Release();
    if (m_D3D)
        m_D3D->Release();
    if (m_Module)
        FreeLibrary(m_Module);
}

IDirect3DTexture9* SoftDevice::CreateTexture()
{
    IDirect3DTexture9* texture = nullptr;
    if (m_Device)
        m_Device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
    return texture;
}

unsigned SoftDevice::LiveResources()
{
    return m_Soft ? m_Soft->GetLiveResourceCount() : 0;
}
