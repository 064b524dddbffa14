#include "Gx/UI/GxTileManager.h"

#include "Platform/D3D9/D3D9.h"

namespace Gx::Ui
{
GxTileList::~GxTileList()
{
    ReleaseTexture();
}

void GxTileList::SetDevice(IDirect3DDevice9* device)
{
    m_Device = device;
    ReleaseTexture();
}

void GxTileList::SetTexture(IDirect3DTexture9* texture)
{
    if (texture == m_Texture)
        return;
    ReleaseTexture();
    m_Texture = texture;
}

void GxTileList::ReleaseTexture()
{
    if (!m_Texture)
        return;
    IDirect3DTexture9* texture = m_Texture;
    m_Texture = nullptr;
    texture->Release();
}

void GxTileManager::CreateDevice(IDirect3DDevice9* device)
{
    m_Device = device;
    for (unsigned i = 0; i < m_Lists.GetCount(); ++i)
        m_Lists[i]->SetDevice(device);
}

void GxTileManager::ReleaseDevice(IDirect3DDevice9*)
{
    for (unsigned i = 0; i < m_Lists.GetCount(); ++i)
    {
        m_Lists[i]->ReleaseTexture();
        m_Lists[i]->SetDevice(nullptr);
    }
    m_Device = nullptr;
}

void GxTileManager::InvalidateDevice(IDirect3DDevice9*)
{
}

void GxTileManager::RestoreDevice(IDirect3DDevice9*)
{
}

int GxTileManager::AddList(GxTileList* list)
{
    if (!list)
        return -1;
    list->SetDevice(m_Device);
    return static_cast<int>(m_Lists.Add(list));
}
} // namespace Gx::Ui
