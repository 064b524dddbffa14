// The Direct3D object of the software device and the library's exports.
#include "Platform/D3D9/Device/Device.h"
#include "Platform/D3D9/PixelFormat.h"

#include <cstring>
#include <new>

#define SOFT9_EXPORT extern "C" __attribute__((visibility("default")))

namespace Soft9
{
D3D9Faults& Faults()
{
    static D3D9Faults faults;
    return faults;
}

bool TakeFault(UINT& counter)
{
    if (counter == 0)
        return false;
    --counter;
    return true;
}

D3DDISPLAYMODE DisplayMode()
{
    return D3DDISPLAYMODE{1920, 1080, 60, D3DFMT_X8R8G8B8};
}

bool IsBackBufferFormat(D3DFORMAT format)
{
    return format == D3DFMT_X8R8G8B8 || format == D3DFMT_A8R8G8B8 || format == D3DFMT_R5G6B5 ||
           format == D3DFMT_X1R5G5B5 || format == D3DFMT_A1R5G5B5;
}

void FillCaps(D3DDEVTYPE type, D3DCAPS9& caps)
{
    std::memset(&caps, 0, sizeof caps);
    caps.DeviceType = type;
    caps.AdapterOrdinal = D3DADAPTER_DEFAULT;
    caps.PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
    caps.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    caps.PrimitiveMiscCaps = D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW;
    caps.ZCmpCaps = 0xFF; // every compare function
    caps.AlphaCmpCaps = 0xFF;
    caps.SrcBlendCaps = 0x1FFF; // ZERO to BOTHINVSRCALPHA
    caps.DestBlendCaps = 0x1FFF;
    caps.ShadeCaps = 0;
    caps.TextureCaps = D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP;
    caps.TextureAddressCaps = 0x1F;
    caps.MaxTextureWidth = MaxTextureSize;
    caps.MaxTextureHeight = MaxTextureSize;
    caps.MaxTextureRepeat = 8192;
    caps.MaxTextureAspectRatio = MaxTextureSize;
    caps.MaxAnisotropy = 1;
    caps.MaxVertexW = 1e10f;
    caps.GuardBandLeft = -8192.0f;
    caps.GuardBandTop = -8192.0f;
    caps.GuardBandRight = 8192.0f;
    caps.GuardBandBottom = 8192.0f;
    caps.FVFCaps = D3DFVFCAPS_PSIZE | 8; // eight texture-coordinate sets
    caps.TextureOpCaps = 0x03FFFFFF;
    caps.MaxTextureBlendStages = TextureStageCount;
    caps.MaxSimultaneousTextures = TextureStageCount;
    caps.VertexProcessingCaps = D3DVTXPCAPS_TEXGEN | D3DVTXPCAPS_DIRECTIONALLIGHTS | D3DVTXPCAPS_LOCALVIEWER;
    caps.MaxActiveLights = 8;
    caps.MaxUserClipPlanes = ClipPlaneCount;
    caps.MaxVertexBlendMatrices = 4;
    caps.MaxVertexBlendMatrixIndex = 255;
    caps.MaxPointSize = 64.0f;
    caps.MaxPrimitiveCount = 0xFFFFF;
    caps.MaxVertexIndex = 0xFFFFFF;
    caps.MaxStreams = 1;
    caps.MaxStreamStride = 255;
    caps.VertexShaderVersion = 0; // no shaders on this device
    caps.PixelShaderVersion = 0;
    caps.MaxNpatchTessellationLevel = 0.0f;
    caps.NumberOfAdaptersInGroup = 1;
    caps.NumSimultaneousRTs = 1;
}

// ---- Direct3D object -------------------------------------------------------------------------------

HRESULT Direct3DImpl::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDirect3D9))
    {
        AddRef();
        *object = static_cast<IDirect3D9*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG Direct3DImpl::AddRef()
{
    return ++m_refs;
}

ULONG Direct3DImpl::Release()
{
    ULONG left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}

UINT Direct3DImpl::GetAdapterModeCount(UINT adapter, D3DFORMAT format)
{
    return adapter == 0 && format == DisplayMode().Format ? 1 : 0;
}

HRESULT Direct3DImpl::EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* displayMode)
{
    if (adapter != 0 || !displayMode || mode >= GetAdapterModeCount(adapter, format))
        return D3DERR_INVALIDCALL;
    *displayMode = DisplayMode();
    return D3D_OK;
}

HRESULT Direct3DImpl::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode)
{
    if (adapter != 0 || !mode)
        return D3DERR_INVALIDCALL;
    if (TakeFault(Faults().failGetAdapterDisplayMode))
        return D3DERR_NOTAVAILABLE;
    *mode = DisplayMode();
    return D3D_OK;
}

HRESULT Direct3DImpl::CheckDeviceType(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT,
                                      D3DFORMAT backBufferFormat, BOOL)
{
    if (adapter != 0 || deviceType < D3DDEVTYPE_HAL || deviceType > D3DDEVTYPE_NULLREF)
        return D3DERR_INVALIDCALL;
    return IsBackBufferFormat(backBufferFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3DImpl::CheckDeviceFormat(UINT adapter, D3DDEVTYPE, D3DFORMAT, DWORD usage,
                                        D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat)
{
    if (adapter != 0)
        return D3DERR_INVALIDCALL;
    if (usage & D3DUSAGE_DEPTHSTENCIL)
        return IsDepthFormat(checkFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
    if (resourceType == D3DRTYPE_TEXTURE || resourceType == D3DRTYPE_SURFACE)
    {
        if (usage & D3DUSAGE_RENDERTARGET)
            return IsConvertible(checkFormat) && checkFormat != D3DFMT_R8G8B8 ? D3D_OK : D3DERR_NOTAVAILABLE;
        return IsTextureFormat(checkFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
    }
    return D3DERR_NOTAVAILABLE;
}

HRESULT Direct3DImpl::CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE, D3DFORMAT, D3DFORMAT,
                                             D3DFORMAT depthFormat)
{
    if (adapter != 0)
        return D3DERR_INVALIDCALL;
    return IsDepthFormat(depthFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3DImpl::GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps)
{
    if (adapter != 0 || !caps || deviceType < D3DDEVTYPE_HAL || deviceType > D3DDEVTYPE_NULLREF)
        return D3DERR_INVALIDCALL;
    FillCaps(deviceType, *caps);
    return D3D_OK;
}

HRESULT Direct3DImpl::CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                                   D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** returnedDevice)
{
    if (!returnedDevice)
        return D3DERR_INVALIDCALL;
    *returnedDevice = nullptr;
    if (adapter != 0 || !parameters || deviceType < D3DDEVTYPE_HAL || deviceType > D3DDEVTYPE_NULLREF)
        return D3DERR_INVALIDCALL;
    // Exactly one way of processing vertices must be chosen.
    DWORD processing =
        behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                         D3DCREATE_MIXED_VERTEXPROCESSING);
    if (processing == 0 || (processing & (processing - 1)) != 0)
        return D3DERR_INVALIDCALL;
    if (TakeFault(Faults().failCreateDevice))
        return D3DERR_NOTAVAILABLE;
    auto* device = new DeviceImpl(this, deviceType, focusWindow, behaviorFlags);
    HRESULT hr = device->Initialise(*parameters);
    if (FAILED(hr))
    {
        device->Release();
        return hr;
    }
    *returnedDevice = device;
    return D3D_OK;
}
} // namespace Soft9

SOFT9_EXPORT IDirect3D9* Direct3DCreate9(UINT sdkVersion)
{
    if (sdkVersion != D3D_SDK_VERSION || Soft9::TakeFault(Soft9::Faults().failDirect3DCreate9))
        return nullptr;
    return new (std::nothrow) Soft9::Direct3DImpl;
}

SOFT9_EXPORT D3D9Faults* SoftD3D9Faults()
{
    return &Soft9::Faults();
}
