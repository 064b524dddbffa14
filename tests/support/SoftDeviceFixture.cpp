#include "tests/support/SoftDeviceFixture.h"

#include <stdexcept>

SoftDeviceFixture::SoftDeviceFixture(UINT width, UINT height)
{
    m_Module = LoadLibraryW(u"d3d9.dll");
    if (!m_Module)
        throw std::runtime_error("libd3d9.so is not beside the test program");
    auto create = reinterpret_cast<Direct3DCreate9Proc>(GetProcAddress(m_Module, "Direct3DCreate9"));
    m_D3D = create ? create(D3D_SDK_VERSION) : nullptr;
    if (!m_D3D)
        throw std::runtime_error("Direct3DCreate9 failed");
    m_Parameters.BackBufferWidth = width;
    m_Parameters.BackBufferHeight = height;
    m_Parameters.BackBufferFormat = D3DFMT_UNKNOWN;
    m_Parameters.BackBufferCount = 1;
    m_Parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    m_Parameters.Windowed = TRUE;
    m_Parameters.EnableAutoDepthStencil = TRUE;
    m_Parameters.AutoDepthStencilFormat = D3DFMT_D16;
    D3DPRESENT_PARAMETERS p = m_Parameters;
    if (m_D3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p,
                            &m_Device) != D3D_OK ||
        m_Device->QueryInterface(IID_ISoftDevice9, reinterpret_cast<void**>(&m_Soft)) != S_OK)
    {
        if (m_Device)
            m_Device->Release();
        m_D3D->Release();
        throw std::runtime_error("the software device cannot be made");
    }
}

SoftDeviceFixture::~SoftDeviceFixture()
{
    m_Soft->Release();
    m_Device->Release();
    m_D3D->Release();
    FreeLibrary(m_Module);
}

std::vector<std::string> SoftDeviceFixture::Calls() const
{
    return Calls("");
}

std::vector<std::string> SoftDeviceFixture::Calls(const std::string& prefix) const
{
    std::vector<std::string> out;
    for (const D3D9Call& call : m_Soft->GetCallLog())
    {
        std::string text = call.Text();
        if (text.compare(0, prefix.size(), prefix) == 0)
            out.push_back(text);
    }
    return out;
}

HRESULT SoftDeviceFixture::Reset()
{
    D3DPRESENT_PARAMETERS p = m_Parameters;
    return m_Device->Reset(&p);
}
