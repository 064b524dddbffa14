// The software device: its states, resources, frame bracket, loss and reset, and the call log.
#include "Platform/D3D9/Device/Device.h"
#include "Platform/D3D9/PixelFormat.h"
#include "Platform/Vcl/ControlSurface.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace Soft9
{
namespace
{
// ---- Call log formatting -------------------------------------------------------------------------

void Append(std::string& out, const std::string& part)
{
    if (!out.empty())
        out += ", ";
    out += part;
}

std::string Num(uint64_t v)
{
    return std::to_string(v);
}
std::string Num(uint32_t v)
{
    return std::to_string(v);
}

std::string Num(float v)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(v));
    return buffer;
}

// Objects by address, so that a test can tell which texture or surface was bound.
std::string Ptr(const void* p)
{
    if (!p)
        return "null";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%p", p);
    return buffer;
}

std::string Floats(const float* f, size_t n)
{
    std::string out = "[";
    for (size_t i = 0; i < n; ++i)
    {
        if (i)
            out += ' ';
        out += Num(f[i]);
    }
    return out + "]";
}

struct Args
{
    std::string text;
    Args& operator<<(uint64_t v)
    {
        Append(text, Num(v));
        return *this;
    }
    Args& operator<<(float v)
    {
        Append(text, Num(v));
        return *this;
    }
    Args& operator<<(const std::string& s)
    {
        Append(text, s);
        return *this;
    }
};

const D3DMATRIX& Identity()
{
    static const D3DMATRIX identity = []
    {
        D3DMATRIX m{};
        m._11 = m._22 = m._33 = m._44 = 1.0f;
        return m;
    }();
    return identity;
}

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b)
{
    D3DMATRIX r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
        {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a.m[i][k] * b.m[k][j];
            r.m[i][j] = sum;
        }
    return r;
}

DWORD FloatBits(float f)
{
    DWORD d;
    std::memcpy(&d, &f, sizeof d);
    return d;
}

bool ValidTransform(D3DTRANSFORMSTATETYPE state)
{
    return state == D3DTS_VIEW || state == D3DTS_PROJECTION ||
           (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) || (state >= 256 && state < TransformCount);
}

bool ValidPrimitive(D3DPRIMITIVETYPE type)
{
    return type >= D3DPT_POINTLIST && type <= D3DPT_TRIANGLEFAN;
}
} // namespace

// A call is logged only when its device records; the arguments are formatted only then.
#define LOG_CALL(name, ...)                                                                                  \
    do                                                                                                       \
    {                                                                                                        \
        if (m_logging)                                                                                       \
        {                                                                                                    \
            Args args_;                                                                                      \
            static_cast<void>(args_ __VA_ARGS__);                                                            \
            m_log.push_back(D3D9Call{name, args_.text, {}, {}});                                             \
        }                                                                                                    \
    } while (0)

UINT VerticesForPrimitives(D3DPRIMITIVETYPE type, UINT count)
{
    switch (type)
    {
    case D3DPT_POINTLIST:
        return count;
    case D3DPT_LINELIST:
        return count * 2;
    case D3DPT_LINESTRIP:
        return count + 1;
    case D3DPT_TRIANGLELIST:
        return count * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        return count + 2;
    default:
        return 0;
    }
}

void DeviceState::SetDefaults(bool autoDepth, UINT backBufferWidth, UINT backBufferHeight)
{
    renderStates.fill(0);
    auto rs = [this](D3DRENDERSTATETYPE s, DWORD v) { renderStates[s] = v; };
    rs(D3DRS_ZENABLE, autoDepth ? D3DZB_TRUE : D3DZB_FALSE);
    rs(D3DRS_FILLMODE, D3DFILL_SOLID);
    rs(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    rs(D3DRS_ZWRITEENABLE, TRUE);
    rs(D3DRS_LASTPIXEL, TRUE);
    rs(D3DRS_SRCBLEND, D3DBLEND_ONE);
    rs(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    rs(D3DRS_CULLMODE, D3DCULL_CCW);
    rs(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    rs(D3DRS_ALPHAFUNC, D3DCMP_ALWAYS);
    rs(D3DRS_FOGEND, FloatBits(1.0f));
    rs(D3DRS_FOGDENSITY, FloatBits(1.0f));
    rs(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
    rs(D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP);
    rs(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
    rs(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
    rs(D3DRS_STENCILMASK, 0xFFFFFFFFu);
    rs(D3DRS_STENCILWRITEMASK, 0xFFFFFFFFu);
    rs(D3DRS_TEXTUREFACTOR, 0xFFFFFFFFu);
    rs(D3DRS_CLIPPING, TRUE);
    rs(D3DRS_LIGHTING, TRUE);
    rs(D3DRS_COLORVERTEX, TRUE);
    rs(D3DRS_LOCALVIEWER, TRUE);
    rs(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    rs(D3DRS_SPECULARMATERIALSOURCE, D3DMCS_COLOR2);
    rs(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
    rs(D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL);
    rs(D3DRS_POINTSIZE, FloatBits(1.0f));
    rs(D3DRS_POINTSIZE_MIN, FloatBits(1.0f));
    rs(D3DRS_POINTSCALE_A, FloatBits(1.0f));
    rs(D3DRS_MULTISAMPLEANTIALIAS, TRUE);
    rs(D3DRS_MULTISAMPLEMASK, 0xFFFFFFFFu);
    rs(D3DRS_DEBUGMONITORTOKEN, 0xBAADCAFEu);
    rs(D3DRS_POINTSIZE_MAX, FloatBits(64.0f));
    rs(D3DRS_COLORWRITEENABLE, 0xF);
    rs(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    rs(D3DRS_POSITIONDEGREE, 3);
    rs(D3DRS_NORMALDEGREE, 1);
    rs(D3DRS_MINTESSELLATIONLEVEL, FloatBits(1.0f));
    rs(D3DRS_MAXTESSELLATIONLEVEL, FloatBits(1.0f));
    rs(D3DRS_ADAPTIVETESS_Z, FloatBits(1.0f));
    rs(D3DRS_CCW_STENCILFAIL, D3DSTENCILOP_KEEP);
    rs(D3DRS_CCW_STENCILZFAIL, D3DSTENCILOP_KEEP);
    rs(D3DRS_CCW_STENCILPASS, D3DSTENCILOP_KEEP);
    rs(D3DRS_CCW_STENCILFUNC, D3DCMP_ALWAYS);
    rs(D3DRS_COLORWRITEENABLE1, 0xF);
    rs(D3DRS_COLORWRITEENABLE2, 0xF);
    rs(D3DRS_COLORWRITEENABLE3, 0xF);
    rs(D3DRS_BLENDFACTOR, 0xFFFFFFFFu);
    rs(D3DRS_SRCBLENDALPHA, D3DBLEND_ONE);
    rs(D3DRS_DESTBLENDALPHA, D3DBLEND_ZERO);
    rs(D3DRS_BLENDOPALPHA, D3DBLENDOP_ADD);

    for (UINT stage = 0; stage < TextureStageCount; ++stage)
    {
        auto& s = stageStates[stage];
        s.fill(0);
        s[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        s[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        s[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        s[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        s[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        s[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        s[D3DTSS_TEXCOORDINDEX] = stage;
        s[D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_DISABLE;
        s[D3DTSS_COLORARG0] = D3DTA_CURRENT;
        s[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
        s[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    }
    for (auto& s : samplerStates)
    {
        s.fill(0);
        s[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
        s[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
        s[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        s[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
        s[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        s[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
        s[D3DSAMP_MAXANISOTROPY] = 1;
        s[D3DSAMP_DMAPOFFSET] = 256;
    }
    transforms.fill(Identity());
    lights.clear();
    material = D3DMATERIAL9{};
    viewport = D3DVIEWPORT9{0, 0, backBufferWidth, backBufferHeight, 0.0f, 1.0f};
    for (auto& plane : clipPlanes)
        plane.fill(0.0f);
    fvf = 0;
    stream0 = StreamSource{};
    indices = nullptr;
    vertexShader = nullptr;
    pixelShader = nullptr;
    inScene = false;
}

// ---- Life ------------------------------------------------------------------------------------------

DeviceImpl::DeviceImpl(Direct3DImpl* d3d, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags)
    : m_d3d(d3d), m_creation{D3DADAPTER_DEFAULT, type, focusWindow, behaviorFlags}
{
    m_d3d->AddRef();
}

DeviceImpl::~DeviceImpl()
{
    m_pipeline->Flush();
    ReleaseBindings();
    DestroySwapChainSurfaces();
    // Whatever the application still holds outlives the device without it.
    for (Resource* resource : m_resources)
        resource->Orphan();
    m_resources.clear();
    m_d3d->Release();
}

HRESULT DeviceImpl::ValidateParameters(D3DPRESENT_PARAMETERS& p) const
{
    if (p.BackBufferCount > 3 || p.SwapEffect < D3DSWAPEFFECT_DISCARD || p.SwapEffect > D3DSWAPEFFECT_COPY ||
        p.MultiSampleType > D3DMULTISAMPLE_NONMASKABLE)
        return D3DERR_INVALIDCALL;
    if (p.Windowed)
    {
        if (p.BackBufferFormat == D3DFMT_UNKNOWN)
            p.BackBufferFormat = DisplayMode().Format;
    }
    else if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0 ||
             (!p.hDeviceWindow && !m_creation.hFocusWindow))
        return D3DERR_INVALIDCALL;
    if (!IsBackBufferFormat(p.BackBufferFormat))
        return D3DERR_INVALIDCALL;
    if (p.EnableAutoDepthStencil && !IsDepthFormat(p.AutoDepthStencilFormat))
        return D3DERR_INVALIDCALL;
    // A size left to the device is the window's client size (one pixel without a window).
    KelvaneControlSurface surface;
    if ((p.BackBufferWidth == 0 || p.BackBufferHeight == 0) &&
        WindowSurface(p.hDeviceWindow ? p.hDeviceWindow : m_creation.hFocusWindow, surface))
    {
        if (p.BackBufferWidth == 0)
            p.BackBufferWidth = static_cast<UINT>(std::max(1, surface.width));
        if (p.BackBufferHeight == 0)
            p.BackBufferHeight = static_cast<UINT>(std::max(1, surface.height));
    }
    if (p.BackBufferWidth == 0)
        p.BackBufferWidth = 1;
    if (p.BackBufferHeight == 0)
        p.BackBufferHeight = 1;
    if (p.BackBufferWidth > MaxTextureSize || p.BackBufferHeight > MaxTextureSize)
        return D3DERR_OUTOFVIDEOMEMORY;
    if (p.BackBufferCount == 0)
        p.BackBufferCount = 1;
    return D3D_OK;
}

HRESULT DeviceImpl::Initialise(D3DPRESENT_PARAMETERS& parameters)
{
    HRESULT hr = ValidateParameters(parameters);
    if (FAILED(hr))
        return hr;
    m_parameters = parameters;
    hr = CreateSwapChainSurfaces();
    if (FAILED(hr))
        return hr;
    m_state.SetDefaults(m_parameters.EnableAutoDepthStencil, m_parameters.BackBufferWidth,
                        m_parameters.BackBufferHeight);
    m_state.renderTarget = m_backBuffer;
    m_state.depthStencil = m_autoDepth;
    return D3D_OK;
}

HRESULT DeviceImpl::CreateSwapChainSurfaces()
{
    auto* colour = new PixelStore;
    colour->Allocate(m_parameters.BackBufferFormat, m_parameters.BackBufferWidth,
                     m_parameters.BackBufferHeight);
    m_backBuffer = new SurfaceImpl(this, D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET, colour,
                                   static_cast<IDirect3DDevice9*>(this), true);
    if (m_parameters.EnableAutoDepthStencil)
    {
        auto* depth = new PixelStore;
        depth->Allocate(m_parameters.AutoDepthStencilFormat, m_parameters.BackBufferWidth,
                        m_parameters.BackBufferHeight);
        m_autoDepth = new SurfaceImpl(this, D3DPOOL_DEFAULT, D3DUSAGE_DEPTHSTENCIL, depth,
                                      static_cast<IDirect3DDevice9*>(this), true);
    }
    return D3D_OK;
}

void DeviceImpl::DestroySwapChainSurfaces()
{
    delete m_backBuffer;
    delete m_autoDepth;
    m_backBuffer = nullptr;
    m_autoDepth = nullptr;
}

void DeviceImpl::ReleaseBindings()
{
    for (auto& texture : m_state.textures)
    {
        if (texture)
            texture->Release();
        texture = nullptr;
    }
    if (m_state.renderTarget && m_state.renderTarget != m_backBuffer)
        m_state.renderTarget->Release();
    if (m_state.depthStencil && m_state.depthStencil != m_autoDepth)
        m_state.depthStencil->Release();
    m_state.renderTarget = nullptr;
    m_state.depthStencil = nullptr;
}

HRESULT DeviceImpl::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDirect3DDevice9))
        *object = static_cast<IDirect3DDevice9*>(this);
    else if (IsEqualGUID(riid, IID_ISoftDevice9))
        *object = static_cast<ISoftDevice9*>(this);
    else
    {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG DeviceImpl::AddRef()
{
    return ++m_refs;
}

ULONG DeviceImpl::Release()
{
    ULONG left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}

// ---- Device ----------------------------------------------------------------------------------------

HRESULT DeviceImpl::TestCooperativeLevel()
{
    LOG_CALL("TestCooperativeLevel", );
    switch (m_lost)
    {
    case Lost::No:
        return D3D_OK;
    case Lost::Lost:
        m_lost = Lost::NotReset;
        return D3DERR_DEVICELOST;
    case Lost::NotReset:
        return D3DERR_DEVICENOTRESET;
    }
    return D3D_OK;
}

UINT DeviceImpl::GetAvailableTextureMem()
{
    return 512u * 1024u * 1024u;
}

HRESULT DeviceImpl::GetDirect3D(IDirect3D9** d3d)
{
    if (!d3d)
        return D3DERR_INVALIDCALL;
    m_d3d->AddRef();
    *d3d = m_d3d;
    return D3D_OK;
}

HRESULT DeviceImpl::GetDeviceCaps(D3DCAPS9* caps)
{
    LOG_CALL("GetDeviceCaps", );
    if (!caps)
        return D3DERR_INVALIDCALL;
    Soft9::FillCaps(m_creation.DeviceType, *caps);
    return D3D_OK;
}

HRESULT DeviceImpl::GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode)
{
    if (swapChain != 0 || !mode)
        return D3DERR_INVALIDCALL;
    *mode = DisplayMode();
    if (!m_parameters.Windowed)
    {
        mode->Width = m_parameters.BackBufferWidth;
        mode->Height = m_parameters.BackBufferHeight;
        mode->Format = m_parameters.BackBufferFormat;
    }
    return D3D_OK;
}

HRESULT DeviceImpl::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters)
{
    if (!parameters)
        return D3DERR_INVALIDCALL;
    *parameters = m_creation;
    return D3D_OK;
}

HRESULT DeviceImpl::Reset(D3DPRESENT_PARAMETERS* presentationParameters)
{
    m_pipeline->Flush();
    LOG_CALL("Reset", << (presentationParameters ? Num(presentationParameters->BackBufferWidth) + "x" +
                                                       Num(presentationParameters->BackBufferHeight)
                                                 : std::string("null")));
    if (!presentationParameters)
        return D3DERR_INVALIDCALL;
    // As on the platform: every default-pool resource and every outside reference to the swap
    // chain's surfaces must be gone first.
    for (Resource* resource : m_resources)
        if (resource->Pool() == D3DPOOL_DEFAULT)
            return D3DERR_INVALIDCALL;
    if ((m_backBuffer && m_backBuffer->OutsideReferences() > 0) ||
        (m_autoDepth && m_autoDepth->OutsideReferences() > 0))
        return D3DERR_INVALIDCALL;
    D3DPRESENT_PARAMETERS p = *presentationParameters;
    HRESULT hr = ValidateParameters(p);
    if (FAILED(hr))
        return hr;
    ReleaseBindings();
    DestroySwapChainSurfaces();
    m_parameters = p;
    *presentationParameters = p;
    CreateSwapChainSurfaces();
    m_state.SetDefaults(m_parameters.EnableAutoDepthStencil, m_parameters.BackBufferWidth,
                        m_parameters.BackBufferHeight);
    m_state.renderTarget = m_backBuffer;
    m_state.depthStencil = m_autoDepth;
    m_lost = Lost::No;
    ++m_resetCount;
    return D3D_OK;
}

HRESULT DeviceImpl::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                            const RGNDATA*)
{
    m_pipeline->Flush();
    LOG_CALL(
        "Present", << (sourceRect
                           ? Num(static_cast<uint64_t>(static_cast<uint32_t>(sourceRect->left))) + " " +
                                 Num(static_cast<uint64_t>(static_cast<uint32_t>(sourceRect->top))) + " " +
                                 Num(static_cast<uint64_t>(static_cast<uint32_t>(sourceRect->right))) + " " +
                                 Num(static_cast<uint64_t>(static_cast<uint32_t>(sourceRect->bottom)))
                           : std::string("null"))
                   << Ptr(destRect) << Ptr(destWindowOverride));
    if (m_lost != Lost::No)
        return D3DERR_DEVICELOST;
    if (m_state.inScene)
        return D3DERR_INVALIDCALL;
    return ShowBackBuffer(sourceRect, destRect, PresentWindow(destWindowOverride));
}

HRESULT DeviceImpl::GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE type,
                                  IDirect3DSurface9** surface)
{
    LOG_CALL("GetBackBuffer", << uint64_t{swapChain} << uint64_t{backBuffer} << uint64_t{type});
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (swapChain != 0 || backBuffer >= m_parameters.BackBufferCount || type != D3DBACKBUFFER_TYPE_MONO)
        return D3DERR_INVALIDCALL;
    m_backBuffer->AddRef();
    *surface = m_backBuffer;
    return D3D_OK;
}

void DeviceImpl::EnableCallLog(bool enable)
{
    m_logging = enable;
    m_log.clear();
}

void DeviceImpl::LoseDevice()
{
    if (m_lost == Lost::No)
        m_lost = Lost::Lost;
}

// ---- Resources -------------------------------------------------------------------------------------

HRESULT DeviceImpl::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                  D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* sharedHandle)
{
    LOG_CALL("CreateTexture", << uint64_t{width} << uint64_t{height} << uint64_t{levels} << uint64_t{usage}
                              << uint64_t{format} << uint64_t{pool});
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (sharedHandle || width == 0 || height == 0 || pool > D3DPOOL_SCRATCH || !IsTextureFormat(format))
        return D3DERR_INVALIDCALL;
    if (width > MaxTextureSize || height > MaxTextureSize)
        return D3DERR_INVALIDCALL;
    if ((usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) && pool != D3DPOOL_DEFAULT)
        return D3DERR_INVALIDCALL;
    if (TakeFault(Faults().failCreateTexture))
        return D3DERR_OUTOFVIDEOMEMORY;
    UINT full = FullMipCount(width, height);
    if (levels == 0 || levels > full)
        levels = levels == 0 ? full : 0;
    if (levels == 0)
        return D3DERR_INVALIDCALL;
    if (usage & D3DUSAGE_AUTOGENMIPMAP)
        levels = 1;
    *texture = new TextureImpl(this, width, height, levels, usage, format, pool);
    return D3D_OK;
}

HRESULT DeviceImpl::CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                                       D3DMULTISAMPLE_TYPE multiSample, DWORD, BOOL,
                                       IDirect3DSurface9** surface, HANDLE* sharedHandle)
{
    LOG_CALL("CreateRenderTarget", << uint64_t{width} << uint64_t{height} << uint64_t{format});
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (sharedHandle || width == 0 || height == 0 || width > MaxTextureSize || height > MaxTextureSize ||
        !IsConvertible(format) || format == D3DFMT_R8G8B8 || multiSample > D3DMULTISAMPLE_NONMASKABLE)
        return D3DERR_INVALIDCALL;
    auto* store = new PixelStore;
    store->Allocate(format, width, height);
    *surface = new SurfaceImpl(this, D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET, store, nullptr, true);
    return D3D_OK;
}

HRESULT DeviceImpl::CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE,
                                              DWORD, BOOL, IDirect3DSurface9** surface, HANDLE* sharedHandle)
{
    LOG_CALL("CreateDepthStencilSurface", << uint64_t{width} << uint64_t{height} << uint64_t{format});
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (sharedHandle || width == 0 || height == 0 || width > MaxTextureSize || height > MaxTextureSize ||
        !IsDepthFormat(format))
        return D3DERR_INVALIDCALL;
    auto* store = new PixelStore;
    store->Allocate(format, width, height);
    *surface = new SurfaceImpl(this, D3DPOOL_DEFAULT, D3DUSAGE_DEPTHSTENCIL, store, nullptr, true);
    return D3D_OK;
}

HRESULT DeviceImpl::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                                IDirect3DSurface9** surface, HANDLE* sharedHandle)
{
    LOG_CALL("CreateOffscreenPlainSurface",
             << uint64_t{width} << uint64_t{height} << uint64_t{format} << uint64_t{pool});
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (sharedHandle || width == 0 || height == 0 || width > MaxTextureSize || height > MaxTextureSize ||
        pool == D3DPOOL_MANAGED || pool > D3DPOOL_SCRATCH || !IsTextureFormat(format))
        return D3DERR_INVALIDCALL;
    auto* store = new PixelStore;
    store->Allocate(format, width, height);
    *surface = new SurfaceImpl(this, pool, 0, store, nullptr, true);
    return D3D_OK;
}

HRESULT DeviceImpl::GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* destSurface)
{
    m_pipeline->Flush();
    LOG_CALL("GetRenderTargetData", << Ptr(renderTarget) << Ptr(destSurface));
    if (!renderTarget || !destSurface)
        return D3DERR_INVALIDCALL;
    auto* source = static_cast<SurfaceImpl*>(renderTarget);
    auto* dest = static_cast<SurfaceImpl*>(destSurface);
    if (source->Device() != this || dest->Device() != this || dest->Pool() != D3DPOOL_SYSTEMMEM ||
        dest->Locked() || source->Locked())
        return D3DERR_INVALIDCALL;
    const PixelStore& s = source->Store();
    PixelStore& d = dest->Store();
    if (s.format != d.format || s.width != d.width || s.height != d.height)
        return D3DERR_INVALIDCALL;
    d.bits = s.bits;
    return D3D_OK;
}

HRESULT DeviceImpl::SetRenderTarget(DWORD index, IDirect3DSurface9* renderTarget)
{
    m_pipeline->Flush();
    LOG_CALL("SetRenderTarget", << uint64_t{index} << Ptr(renderTarget));
    if (index != 0 || !renderTarget)
        return D3DERR_INVALIDCALL;
    auto* surface = static_cast<SurfaceImpl*>(renderTarget);
    D3DSURFACE_DESC desc;
    surface->GetDesc(&desc);
    if (surface->Device() != this || !(desc.Usage & D3DUSAGE_RENDERTARGET))
        return D3DERR_INVALIDCALL;
    if (surface != m_backBuffer)
        surface->AddRef();
    if (m_state.renderTarget && m_state.renderTarget != m_backBuffer)
        m_state.renderTarget->Release();
    m_state.renderTarget = surface;
    m_state.viewport = D3DVIEWPORT9{0, 0, desc.Width, desc.Height, 0.0f, 1.0f};
    return D3D_OK;
}

HRESULT DeviceImpl::GetRenderTarget(DWORD index, IDirect3DSurface9** renderTarget)
{
    LOG_CALL("GetRenderTarget", << uint64_t{index});
    if (!renderTarget)
        return D3DERR_INVALIDCALL;
    *renderTarget = nullptr;
    if (index != 0)
        return D3DERR_INVALIDCALL;
    if (!m_state.renderTarget)
        return D3DERR_NOTFOUND;
    m_state.renderTarget->AddRef();
    *renderTarget = m_state.renderTarget;
    return D3D_OK;
}

HRESULT DeviceImpl::SetDepthStencilSurface(IDirect3DSurface9* newZStencil)
{
    m_pipeline->Flush();
    LOG_CALL("SetDepthStencilSurface", << Ptr(newZStencil));
    auto* surface = static_cast<SurfaceImpl*>(newZStencil);
    if (surface && (surface->Device() != this || !IsDepthFormat(surface->Store().format)))
        return D3DERR_INVALIDCALL;
    if (surface && surface != m_autoDepth)
        surface->AddRef();
    if (m_state.depthStencil && m_state.depthStencil != m_autoDepth)
        m_state.depthStencil->Release();
    m_state.depthStencil = surface;
    return D3D_OK;
}

HRESULT DeviceImpl::GetDepthStencilSurface(IDirect3DSurface9** zStencilSurface)
{
    LOG_CALL("GetDepthStencilSurface", );
    if (!zStencilSurface)
        return D3DERR_INVALIDCALL;
    *zStencilSurface = nullptr;
    if (!m_state.depthStencil)
        return D3DERR_NOTFOUND;
    m_state.depthStencil->AddRef();
    *zStencilSurface = m_state.depthStencil;
    return D3D_OK;
}

// ---- Frame -----------------------------------------------------------------------------------------

HRESULT DeviceImpl::BeginScene()
{
    LOG_CALL("BeginScene", );
    if (m_state.inScene)
        return D3DERR_INVALIDCALL;
    m_state.inScene = true;
    return D3D_OK;
}

HRESULT DeviceImpl::EndScene()
{
    m_pipeline->Flush();
    LOG_CALL("EndScene", );
    if (!m_state.inScene)
        return D3DERR_INVALIDCALL;
    m_state.inScene = false;
    return D3D_OK;
}

HRESULT DeviceImpl::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                          DWORD stencil)
{
    m_pipeline->Flush();
    LOG_CALL("Clear", << uint64_t{count} << uint64_t{flags} << uint64_t{color} << z << uint64_t{stencil});
    if ((count && !rects) || !(flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) ||
        (flags & ~DWORD{D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL}))
        return D3DERR_INVALIDCALL;
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !m_state.depthStencil)
        return D3DERR_INVALIDCALL;
    if (z < 0.0f || z > 1.0f)
        return D3DERR_INVALIDCALL;

    // The area is the viewport, cut by each rectangle.
    const D3DVIEWPORT9& vp = m_state.viewport;
    std::vector<D3DRECT> areas;
    D3DRECT whole{static_cast<LONG>(vp.X), static_cast<LONG>(vp.Y), static_cast<LONG>(vp.X + vp.Width),
                  static_cast<LONG>(vp.Y + vp.Height)};
    if (count == 0)
        areas.push_back(whole);
    for (DWORD i = 0; i < count; ++i)
        areas.push_back(D3DRECT{std::max(rects[i].x1, whole.x1), std::max(rects[i].y1, whole.y1),
                                std::min(rects[i].x2, whole.x2), std::min(rects[i].y2, whole.y2)});

    auto fill = [&areas](PixelStore& store, const std::vector<uint8_t>& texel)
    {
        ++store.version;
        for (const D3DRECT& r : areas)
        {
            LONG x1 = std::max<LONG>(r.x1, 0), y1 = std::max<LONG>(r.y1, 0);
            LONG x2 = std::min<LONG>(r.x2, static_cast<LONG>(store.width));
            LONG y2 = std::min<LONG>(r.y2, static_cast<LONG>(store.height));
            if (x1 < x2 && y1 < y2)
                FillTexels(store.bits.data(), store.pitch, static_cast<UINT>(texel.size()), texel.data(),
                           static_cast<UINT>(x1), static_cast<UINT>(y1), static_cast<UINT>(x2),
                           static_cast<UINT>(y2));
        }
    };
    if ((flags & D3DCLEAR_TARGET) && m_state.renderTarget)
    {
        PixelStore& target = m_state.renderTarget->Store();
        std::vector<uint8_t> texel(BytesPerTexel(target.format));
        WriteTexel(target.format, texel.data(), color);
        fill(target, texel);
    }
    if ((flags & D3DCLEAR_ZBUFFER) && m_state.depthStencil)
    {
        PixelStore& depth = m_state.depthStencil->Store();
        UINT bpp = BytesPerTexel(depth.format);
        std::vector<uint8_t> texel(bpp);
        uint64_t max = bpp >= 4 ? 0xFFFFFFu : 0xFFFFu;
        uint32_t value = static_cast<uint32_t>(z * static_cast<float>(max) + 0.5f);
        if (bpp >= 4)
            value <<= 8; // D24 formats keep depth in the upper 24 bits
        if (depth.format == D3DFMT_D32)
            value = static_cast<uint32_t>(static_cast<double>(z) * 4294967295.0);
        for (UINT i = 0; i < bpp; ++i)
            texel[i] = static_cast<uint8_t>(value >> (8 * i));
        fill(depth, texel);
    }
    return D3D_OK;
}

// ---- States ----------------------------------------------------------------------------------------

HRESULT DeviceImpl::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix)
{
    LOG_CALL("SetTransform", << uint64_t{state} << (matrix ? Floats(&matrix->_11, 16) : std::string("null")));
    if (!matrix || !ValidTransform(state))
        return D3DERR_INVALIDCALL;
    m_state.transforms[state] = *matrix;
    return D3D_OK;
}

HRESULT DeviceImpl::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix)
{
    LOG_CALL("GetTransform", << uint64_t{state});
    if (!matrix || !ValidTransform(state))
        return D3DERR_INVALIDCALL;
    *matrix = m_state.transforms[state];
    return D3D_OK;
}

HRESULT DeviceImpl::MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix)
{
    LOG_CALL("MultiplyTransform", << uint64_t{state}
                                  << (matrix ? Floats(&matrix->_11, 16) : std::string("null")));
    if (!matrix || !ValidTransform(state))
        return D3DERR_INVALIDCALL;
    m_state.transforms[state] = Multiply(*matrix, m_state.transforms[state]);
    return D3D_OK;
}

HRESULT DeviceImpl::SetViewport(const D3DVIEWPORT9* viewport)
{
    LOG_CALL("SetViewport", << (viewport ? Num(uint64_t{viewport->X}) + " " + Num(uint64_t{viewport->Y}) +
                                               " " + Num(uint64_t{viewport->Width}) + " " +
                                               Num(uint64_t{viewport->Height}) + " " + Num(viewport->MinZ) +
                                               " " + Num(viewport->MaxZ)
                                         : std::string("null")));
    if (!viewport || !m_state.renderTarget)
        return D3DERR_INVALIDCALL;
    const PixelStore& target = m_state.renderTarget->Store();
    uint64_t right = uint64_t{viewport->X} + viewport->Width;
    uint64_t bottom = uint64_t{viewport->Y} + viewport->Height;
    if (viewport->Width == 0 || viewport->Height == 0 || right > target.width || bottom > target.height ||
        !(viewport->MinZ >= 0.0f && viewport->MinZ <= 1.0f && viewport->MaxZ >= 0.0f &&
          viewport->MaxZ <= 1.0f))
        return D3DERR_INVALIDCALL;
    m_state.viewport = *viewport;
    return D3D_OK;
}

HRESULT DeviceImpl::GetViewport(D3DVIEWPORT9* viewport)
{
    if (!viewport)
        return D3DERR_INVALIDCALL;
    *viewport = m_state.viewport;
    return D3D_OK;
}

HRESULT DeviceImpl::SetMaterial(const D3DMATERIAL9* material)
{
    LOG_CALL("SetMaterial", << (material ? Floats(&material->Diffuse.r, 17) : std::string("null")));
    if (!material)
        return D3DERR_INVALIDCALL;
    m_state.material = *material;
    return D3D_OK;
}

HRESULT DeviceImpl::GetMaterial(D3DMATERIAL9* material)
{
    if (!material)
        return D3DERR_INVALIDCALL;
    *material = m_state.material;
    return D3D_OK;
}

HRESULT DeviceImpl::SetLight(DWORD index, const D3DLIGHT9* light)
{
    LOG_CALL("SetLight", << uint64_t{index}
                         << (light ? Num(uint64_t{light->Type}) + " " + Floats(&light->Diffuse.r, 25)
                                   : std::string("null")));
    if (!light || light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL)
        return D3DERR_INVALIDCALL;
    if (light->Type != D3DLIGHT_DIRECTIONAL && !(light->Range >= 0.0f))
        return D3DERR_INVALIDCALL;
    m_state.lights[index].light = *light;
    return D3D_OK;
}

HRESULT DeviceImpl::GetLight(DWORD index, D3DLIGHT9* light)
{
    LOG_CALL("GetLight", << uint64_t{index});
    auto found = m_state.lights.find(index);
    if (!light || found == m_state.lights.end())
        return D3DERR_INVALIDCALL;
    *light = found->second.light;
    return D3D_OK;
}

HRESULT DeviceImpl::LightEnable(DWORD index, BOOL enable)
{
    LOG_CALL("LightEnable", << uint64_t{index} << uint64_t{static_cast<uint32_t>(enable)});
    auto found = m_state.lights.find(index);
    if (found == m_state.lights.end())
    {
        // Enabling a light never set makes the default light: white, directional, along +z.
        LightSlot slot;
        slot.light = D3DLIGHT9{};
        slot.light.Type = D3DLIGHT_DIRECTIONAL;
        slot.light.Diffuse = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 0.0f};
        slot.light.Direction = D3DVECTOR{0.0f, 0.0f, 1.0f};
        found = m_state.lights.emplace(index, slot).first;
    }
    found->second.enabled = enable != FALSE;
    return D3D_OK;
}

HRESULT DeviceImpl::GetLightEnable(DWORD index, BOOL* enable)
{
    auto found = m_state.lights.find(index);
    if (!enable || found == m_state.lights.end())
        return D3DERR_INVALIDCALL;
    *enable = found->second.enabled ? TRUE : FALSE;
    return D3D_OK;
}

HRESULT DeviceImpl::SetClipPlane(DWORD index, const float* plane)
{
    LOG_CALL("SetClipPlane", << uint64_t{index} << (plane ? Floats(plane, 4) : std::string("null")));
    if (!plane || index >= ClipPlaneCount)
        return D3DERR_INVALIDCALL;
    std::copy(plane, plane + 4, m_state.clipPlanes[index].begin());
    return D3D_OK;
}

HRESULT DeviceImpl::GetClipPlane(DWORD index, float* plane)
{
    if (!plane || index >= ClipPlaneCount)
        return D3DERR_INVALIDCALL;
    std::copy(m_state.clipPlanes[index].begin(), m_state.clipPlanes[index].end(), plane);
    return D3D_OK;
}

HRESULT DeviceImpl::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    LOG_CALL("SetRenderState", << uint64_t{state} << uint64_t{value});
    if (state >= RenderStateCount)
        return D3DERR_INVALIDCALL;
    if (TakeFault(Faults().failSetRenderState))
        return D3DERR_INVALIDCALL;
    m_state.renderStates[state] = value;
    return D3D_OK;
}

HRESULT DeviceImpl::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value)
{
    LOG_CALL("GetRenderState", << uint64_t{state});
    if (!value || state >= RenderStateCount)
        return D3DERR_INVALIDCALL;
    *value = m_state.renderStates[state];
    return D3D_OK;
}

HRESULT DeviceImpl::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture)
{
    if (!texture || stage >= SamplerCount)
        return D3DERR_INVALIDCALL;
    *texture = m_state.textures[stage];
    if (*texture)
        (*texture)->AddRef();
    return D3D_OK;
}

HRESULT DeviceImpl::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture)
{
    LOG_CALL("SetTexture", << uint64_t{stage} << Ptr(texture));
    if (stage >= SamplerCount)
        return D3DERR_INVALIDCALL;
    TextureImpl* impl = nullptr;
    if (texture)
    {
        if (texture->GetType() != D3DRTYPE_TEXTURE)
            return D3DERR_INVALIDCALL;
        impl = static_cast<TextureImpl*>(static_cast<IDirect3DTexture9*>(texture));
        if (impl->Device() != this || impl->Pool() == D3DPOOL_SYSTEMMEM || impl->Pool() == D3DPOOL_SCRATCH)
            return D3DERR_INVALIDCALL;
        impl->AddRef();
    }
    if (m_state.textures[stage])
        m_state.textures[stage]->Release();
    m_state.textures[stage] = impl;
    return D3D_OK;
}

HRESULT DeviceImpl::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value)
{
    if (!value || stage >= TextureStageCount || type >= StageStateCount)
        return D3DERR_INVALIDCALL;
    *value = m_state.stageStates[stage][type];
    return D3D_OK;
}

HRESULT DeviceImpl::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    LOG_CALL("SetTextureStageState", << uint64_t{stage} << uint64_t{type} << uint64_t{value});
    if (stage >= TextureStageCount || type >= StageStateCount || type == 0)
        return D3DERR_INVALIDCALL;
    m_state.stageStates[stage][type] = value;
    return D3D_OK;
}

HRESULT DeviceImpl::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value)
{
    if (!value || sampler >= SamplerCount || type >= SamplerStateCount)
        return D3DERR_INVALIDCALL;
    *value = m_state.samplerStates[sampler][type];
    return D3D_OK;
}

HRESULT DeviceImpl::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value)
{
    LOG_CALL("SetSamplerState", << uint64_t{sampler} << uint64_t{type} << uint64_t{value});
    if (sampler >= SamplerCount || type >= SamplerStateCount || type == 0)
        return D3DERR_INVALIDCALL;
    m_state.samplerStates[sampler][type] = value;
    return D3D_OK;
}

HRESULT DeviceImpl::ValidateDevice(DWORD* numPasses)
{
    if (!numPasses)
        return D3DERR_INVALIDCALL;
    *numPasses = 1;
    return D3D_OK;
}

// ---- Drawing ---------------------------------------------------------------------------------------

HRESULT DeviceImpl::Draw(const DrawCall& call)
{
    // A texture drawn into since it was last decoded is decoded again: what waits is drawn first.
    for (TextureImpl* texture : m_state.textures)
        if (texture && texture->Stale())
        {
            m_pipeline->Flush();
            break;
        }
    DrawSetup setup;
    if (!PrepareSetup(m_state, setup))
        return D3D_OK;
    if (!m_quickPixels)
        setup.quickPath = 0;
    m_pipeline->Draw(m_state, call, setup);
    return D3D_OK;
}

// Bytes a draw reads from its vertices: the last vertex needs only its format's size.
static size_t VertexBytes(uint64_t vertexEnd, UINT stride, UINT size)
{
    return vertexEnd == 0 ? 0 : static_cast<size_t>((vertexEnd - 1) * stride + size);
}

HRESULT DeviceImpl::DrawPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount,
                                    const void* vertexData, UINT stride)
{
    UINT vertexCount =
        ValidPrimitive(primitiveType) ? VerticesForPrimitives(primitiveType, primitiveCount) : 0;
    UINT size = FvfVertexSize(m_state.fvf);
    bool valid = ValidPrimitive(primitiveType) && vertexData && size != 0 && stride >= size &&
                 m_state.inScene && !m_state.vertexShader && primitiveCount <= 0xFFFFFu;
    if (m_logging)
    {
        D3D9Call call{"DrawPrimitiveUP", {}, {}, {}};
        Args args;
        args << uint64_t{primitiveType} << uint64_t{primitiveCount} << uint64_t{stride};
        call.args = args.text;
        // Bytes are kept only of calls the device accepts: it reads nothing of the others.
        if (valid)
        {
            const auto* bytes = static_cast<const uint8_t*>(vertexData);
            call.vertices.assign(bytes, bytes + VertexBytes(vertexCount, stride, size));
        }
        m_log.push_back(std::move(call));
    }
    if (!valid)
        return D3DERR_INVALIDCALL;
    // As on the platform, drawing from memory leaves stream 0 unbound.
    m_state.stream0 = StreamSource{};
    if (primitiveCount == 0)
        return D3D_OK;
    DrawCall call{primitiveType, primitiveCount, vertexCount,    static_cast<const uint8_t*>(vertexData),
                  stride,        nullptr,        D3DFMT_UNKNOWN, 0};
    return Draw(call);
}

HRESULT DeviceImpl::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT minVertexIndex,
                                           UINT numVertices, UINT primitiveCount, const void* indexData,
                                           D3DFORMAT indexFormat, const void* vertexData, UINT stride)
{
    UINT indexCount =
        ValidPrimitive(primitiveType) ? VerticesForPrimitives(primitiveType, primitiveCount) : 0;
    UINT indexSize = indexFormat == D3DFMT_INDEX16 ? 2 : indexFormat == D3DFMT_INDEX32 ? 4 : 0;
    uint64_t vertexEnd = uint64_t{minVertexIndex} + numVertices;
    UINT size = FvfVertexSize(m_state.fvf);
    bool valid = ValidPrimitive(primitiveType) && vertexData && indexData && indexSize != 0 && size != 0 &&
                 stride >= size && numVertices != 0 && vertexEnd <= 0xFFFFFFu && m_state.inScene &&
                 !m_state.vertexShader && primitiveCount <= 0xFFFFFu;
    // Every index must name a vertex of the given range: the pipeline reads vertices by index.
    for (UINT i = 0; valid && i < indexCount; ++i)
    {
        uint32_t index = indexSize == 2 ? static_cast<const uint16_t*>(indexData)[i]
                                        : static_cast<const uint32_t*>(indexData)[i];
        valid = index >= minVertexIndex && index < vertexEnd;
    }
    if (m_logging)
    {
        D3D9Call call{"DrawIndexedPrimitiveUP", {}, {}, {}};
        Args args;
        args << uint64_t{primitiveType} << uint64_t{minVertexIndex} << uint64_t{numVertices}
             << uint64_t{primitiveCount} << uint64_t{indexFormat} << uint64_t{stride};
        call.args = args.text;
        if (valid)
        {
            const auto* vertexBytes = static_cast<const uint8_t*>(vertexData);
            call.vertices.assign(vertexBytes, vertexBytes + VertexBytes(vertexEnd, stride, size));
            const auto* indexBytes = static_cast<const uint8_t*>(indexData);
            call.indices.assign(indexBytes, indexBytes + static_cast<size_t>(indexCount) * indexSize);
        }
        m_log.push_back(std::move(call));
    }
    if (!valid)
        return D3DERR_INVALIDCALL;
    m_state.stream0 = StreamSource{};
    m_state.indices = nullptr;
    if (primitiveCount == 0)
        return D3D_OK;
    DrawCall call{primitiveType,
                  primitiveCount,
                  static_cast<UINT>(vertexEnd),
                  static_cast<const uint8_t*>(vertexData),
                  stride,
                  indexData,
                  indexFormat,
                  indexCount,
                  minVertexIndex};
    return Draw(call);
}

HRESULT DeviceImpl::SetFVF(DWORD fvf)
{
    LOG_CALL("SetFVF", << uint64_t{fvf});
    if (fvf != 0 && FvfVertexSize(fvf) == 0)
        return D3DERR_INVALIDCALL;
    m_state.fvf = fvf;
    return D3D_OK;
}

HRESULT DeviceImpl::GetFVF(DWORD* fvf)
{
    if (!fvf)
        return D3DERR_INVALIDCALL;
    *fvf = m_state.fvf;
    return D3D_OK;
}

HRESULT DeviceImpl::SetVertexShader(IDirect3DVertexShader9* shader)
{
    LOG_CALL("SetVertexShader", << Ptr(shader));
    // The device runs the fixed-function pipeline only and creates no shaders.
    if (shader)
        return D3DERR_INVALIDCALL;
    m_state.vertexShader = nullptr;
    return D3D_OK;
}

HRESULT DeviceImpl::GetVertexShader(IDirect3DVertexShader9** shader)
{
    if (!shader)
        return D3DERR_INVALIDCALL;
    *shader = nullptr;
    return D3D_OK;
}

HRESULT DeviceImpl::SetPixelShader(IDirect3DPixelShader9* shader)
{
    LOG_CALL("SetPixelShader", << Ptr(shader));
    if (shader)
        return D3DERR_INVALIDCALL;
    m_state.pixelShader = nullptr;
    return D3D_OK;
}

HRESULT DeviceImpl::GetPixelShader(IDirect3DPixelShader9** shader)
{
    if (!shader)
        return D3DERR_INVALIDCALL;
    *shader = nullptr;
    return D3D_OK;
}

HRESULT DeviceImpl::SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9* streamData, UINT offsetInBytes,
                                    UINT stride)
{
    LOG_CALL("SetStreamSource", << uint64_t{streamNumber} << Ptr(streamData) << uint64_t{offsetInBytes}
                                << uint64_t{stride});
    // No vertex buffers exist on this device: a stream can only be unbound (keeping its stride).
    if (streamNumber != 0 || streamData)
        return D3DERR_INVALIDCALL;
    m_state.stream0 = StreamSource{nullptr, offsetInBytes, stride};
    return D3D_OK;
}

HRESULT DeviceImpl::GetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9** streamData,
                                    UINT* offsetInBytes, UINT* stride)
{
    if (streamNumber != 0 || !streamData || !offsetInBytes || !stride)
        return D3DERR_INVALIDCALL;
    *streamData = nullptr;
    *offsetInBytes = m_state.stream0.offset;
    *stride = m_state.stream0.stride;
    return D3D_OK;
}

HRESULT DeviceImpl::SetIndices(IDirect3DIndexBuffer9* indexData)
{
    LOG_CALL("SetIndices", << Ptr(indexData));
    if (indexData)
        return D3DERR_INVALIDCALL;
    m_state.indices = nullptr;
    return D3D_OK;
}

HRESULT DeviceImpl::GetIndices(IDirect3DIndexBuffer9** indexData)
{
    if (!indexData)
        return D3DERR_INVALIDCALL;
    *indexData = nullptr;
    return D3D_OK;
}
} // namespace Soft9
