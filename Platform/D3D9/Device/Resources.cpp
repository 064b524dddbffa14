// Textures and surfaces of the software device: texels in memory, locked in place.
#include "Platform/D3D9/Device/Device.h"
#include "Platform/D3D9/PixelFormat.h"

#include <algorithm>
#include <cstring>

namespace Soft9
{
void PixelStore::Allocate(D3DFORMAT f, UINT w, UINT h)
{
    format = f;
    width = w;
    height = h;
    pitch = RowPitch(f, w);
    rows = RowCount(f, h);
    // Black, with the unused bits of an X format set as Clear and drawing set them: a pixel nothing
    // has written yet agrees with the others (readers that take those bits as alpha see one value).
    const size_t size = static_cast<size_t>(pitch) * rows;
    uint8_t blank[8] = {};
    const UINT bpp = BytesPerTexel(f);
    WriteTexel(f, blank, 0);
    if (std::all_of(blank, blank + bpp, [](uint8_t b) { return b == 0; }))
    {
        bits.assign(size, 0);
        return;
    }
    // One row built and copied over the new rows a block at a time, while the block is still in
    // the cache: about a single pass over the new texels.
    std::vector<uint8_t> row(pitch);
    FillTexels(row.data(), pitch, bpp, blank, 0, 0, w, 1);
    bits.clear();
    bits.reserve(size);
    const UINT block = std::max(1u, 65536u / std::max(1u, pitch));
    for (UINT y = 0; y < rows; y += block)
    {
        const UINT count = std::min(block, rows - y);
        bits.resize(bits.size() + static_cast<size_t>(count) * pitch);
        for (UINT i = 0; i < count; ++i)
            std::memcpy(bits.data() + static_cast<size_t>(y + i) * pitch, row.data(), pitch);
    }
}

Resource::Resource(DeviceImpl* device, D3DPOOL pool, bool counted)
    : m_device(device), m_pool(pool), m_counted(counted)
{
    if (m_counted && m_device)
        m_device->Register(this);
}

Resource::~Resource()
{
    if (m_counted && m_device)
        m_device->Unregister(this);
}

HRESULT Resource::GetDeviceImpl(IDirect3DDevice9** device)
{
    if (!device)
        return D3DERR_INVALIDCALL;
    *device = nullptr;
    if (!m_device)
        return D3DERR_INVALIDCALL;
    m_device->AddRef();
    *device = m_device;
    return D3D_OK;
}

// ---- Surfaces ----------------------------------------------------------------------------------

SurfaceImpl::SurfaceImpl(DeviceImpl* device, D3DPOOL pool, DWORD usage, PixelStore* store,
                         IUnknown* container, bool ownsStore)
    : Resource(device, pool, container == nullptr), m_store(store), m_container(container), m_usage(usage)
{
    if (ownsStore)
        m_ownedStore.reset(store);
}

SurfaceImpl::~SurfaceImpl() = default;

HRESULT SurfaceImpl::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDirect3DResource9) ||
        IsEqualGUID(riid, IID_IDirect3DSurface9))
    {
        AddRef();
        *object = static_cast<IDirect3DSurface9*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG SurfaceImpl::AddRef()
{
    if (m_container)
    {
        ++m_outside;
        return m_container->AddRef();
    }
    return ++m_refs;
}

ULONG SurfaceImpl::Release()
{
    if (m_container)
    {
        if (m_outside > 0)
            --m_outside;
        return m_container->Release();
    }
    ULONG left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}

HRESULT SurfaceImpl::GetContainer(REFIID riid, void** container)
{
    if (!container)
        return D3DERR_INVALIDCALL;
    if (m_container)
        return m_container->QueryInterface(riid, container);
    if (m_device)
        return static_cast<IDirect3DDevice9*>(m_device)->QueryInterface(riid, container);
    *container = nullptr;
    return E_NOINTERFACE;
}

HRESULT SurfaceImpl::GetDesc(D3DSURFACE_DESC* desc)
{
    if (!desc)
        return D3DERR_INVALIDCALL;
    desc->Format = m_store->format;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = m_usage;
    desc->Pool = m_pool;
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->MultiSampleQuality = 0;
    desc->Width = m_store->width;
    desc->Height = m_store->height;
    return D3D_OK;
}

HRESULT SurfaceImpl::LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD)
{
    if (!lockedRect || m_locked)
        return D3DERR_INVALIDCALL;
    if (TakeFault(Faults().failLockRect))
        return D3DERR_INVALIDCALL;
    if (m_device)
        m_device->FlushDraws();
    PixelStore& s = *m_store;
    size_t offset = 0;
    if (rect)
    {
        if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
            static_cast<UINT>(rect->right) > s.width || static_cast<UINT>(rect->bottom) > s.height)
            return D3DERR_INVALIDCALL;
        if (IsCompressed(s.format))
        {
            if (rect->left % 4 || rect->top % 4)
                return D3DERR_INVALIDCALL;
            offset = static_cast<size_t>(rect->top / 4) * s.pitch +
                     static_cast<size_t>(rect->left / 4) * BlockBytes(s.format);
        }
        else
            offset = static_cast<size_t>(rect->top) * s.pitch +
                     static_cast<size_t>(rect->left) * BytesPerTexel(s.format);
    }
    m_locked = true;
    ++s.version;
    lockedRect->Pitch = static_cast<INT>(s.pitch);
    lockedRect->pBits = s.bits.data() + offset;
    return D3D_OK;
}

HRESULT SurfaceImpl::UnlockRect()
{
    if (!m_locked)
        return D3DERR_INVALIDCALL;
    m_locked = false;
    return D3D_OK;
}

// ---- Textures ----------------------------------------------------------------------------------

TextureImpl::TextureImpl(DeviceImpl* device, UINT width, UINT height, UINT levels, DWORD usage,
                         D3DFORMAT format, D3DPOOL pool)
    : Resource(device, pool, true), m_format(format)
{
    for (UINT i = 0; i < levels; ++i)
    {
        auto store = std::make_unique<PixelStore>();
        store->Allocate(format, std::max(1u, width >> i), std::max(1u, height >> i));
        m_levels.push_back(new SurfaceImpl(device, pool, usage, store.get(), this, false));
        m_stores.push_back(std::move(store));
    }
}

TextureImpl::~TextureImpl()
{
    for (SurfaceImpl* level : m_levels)
        delete level;
}

void TextureImpl::Orphan()
{
    Resource::Orphan();
    for (SurfaceImpl* level : m_levels)
        level->Orphan();
}

HRESULT TextureImpl::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDirect3DResource9) ||
        IsEqualGUID(riid, IID_IDirect3DBaseTexture9) || IsEqualGUID(riid, IID_IDirect3DTexture9))
    {
        AddRef();
        *object = static_cast<IDirect3DTexture9*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG TextureImpl::AddRef()
{
    return ++m_refs;
}

ULONG TextureImpl::Release()
{
    ULONG left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}

DWORD TextureImpl::SetLOD(DWORD lodNew)
{
    DWORD old = m_lod;
    if (m_pool == D3DPOOL_MANAGED)
        m_lod = std::min<DWORD>(lodNew, GetLevelCount() - 1);
    return old;
}

HRESULT TextureImpl::SetAutoGenFilterType(D3DTEXTUREFILTERTYPE filterType)
{
    if (filterType != D3DTEXF_POINT && filterType != D3DTEXF_LINEAR)
        return D3DERR_INVALIDCALL;
    m_autoGenFilter = filterType;
    return D3D_OK;
}

HRESULT TextureImpl::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc)
{
    if (level >= m_levels.size())
        return D3DERR_INVALIDCALL;
    return m_levels[level]->GetDesc(desc);
}

HRESULT TextureImpl::GetSurfaceLevel(UINT level, IDirect3DSurface9** surfaceLevel)
{
    if (!surfaceLevel)
        return D3DERR_INVALIDCALL;
    *surfaceLevel = nullptr;
    if (level >= m_levels.size())
        return D3DERR_INVALIDCALL;
    m_levels[level]->AddRef();
    *surfaceLevel = m_levels[level];
    return D3D_OK;
}

HRESULT TextureImpl::LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags)
{
    if (level >= m_levels.size())
        return D3DERR_INVALIDCALL;
    return m_levels[level]->LockRect(lockedRect, rect, flags);
}

const uint32_t* TextureImpl::Texels(UINT level)
{
    PixelStore& store = *m_stores[level];
    // 32-bit texels with alpha are read in place; every other format through a decoded copy.
    if (store.format == D3DFMT_A8R8G8B8)
        return reinterpret_cast<const uint32_t*>(store.bits.data());
    if (m_decoded.size() != m_stores.size())
    {
        m_decoded.resize(m_stores.size());
        m_decodedVersion.assign(m_stores.size(), 0);
        m_decodedValid.assign(m_stores.size(), false);
    }
    if (!m_decodedValid[level] || m_decodedVersion[level] != store.version)
    {
        if (!LevelToArgb(store.format, store.bits.data(), store.pitch, store.width, store.height,
                         m_decoded[level]))
            m_decoded[level].assign(static_cast<size_t>(store.width) * store.height, 0xFF000000u);
        m_decodedVersion[level] = store.version;
        m_decodedValid[level] = true;
    }
    return m_decoded[level].data();
}

bool TextureImpl::Stale() const
{
    for (size_t level = 0; level < m_decoded.size(); ++level)
        if (m_decodedValid[level] && m_decodedVersion[level] != m_stores[level]->version)
            return true;
    return false;
}

HRESULT TextureImpl::UnlockRect(UINT level)
{
    if (level >= m_levels.size())
        return D3DERR_INVALIDCALL;
    return m_levels[level]->UnlockRect();
}
} // namespace Soft9
