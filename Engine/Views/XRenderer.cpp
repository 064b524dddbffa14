#include "Engine/Views/XRenderer.h"

#include "Platform/D3D9/D3D9.h"

void XRenderer::SetLighting(bool on)
{
    if (!m_Device)
        return;
    if (m_Device->SetRenderState(D3DRS_LIGHTING, on ? TRUE : FALSE) == D3D_OK)
    {
        m_Lighting = on ? 1 : 0;
        return;
    }
    DWORD value = 0;
    m_Device->GetRenderState(D3DRS_LIGHTING, &value);
    m_Lighting = value != 0 ? 1 : 0;
}
