// The software device's objects. Internal to the device library.
#pragma once

#include "Platform/D3D9/D3D9Testing.h"
#include "Platform/D3D9/Device/DeviceState.h"
#include "Platform/D3D9/Device/Pipeline.h"
#include "Platform/D3D9/Device/ThreadPool.h"

#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace Soft9
{
class DeviceImpl;
class Direct3DImpl;

D3D9Faults& Faults();
// Takes one injected failure from `counter` when one is pending.
bool TakeFault(UINT& counter);

// What every texture and surface shares: its device (null once the device is gone) and its pool.
class Resource
{
public:
    Resource(DeviceImpl* device, D3DPOOL pool, bool counted);
    virtual ~Resource();
    Resource(const Resource&) = delete;
    Resource& operator=(const Resource&) = delete;

    DeviceImpl* Device() const { return m_device; }
    D3DPOOL Pool() const { return m_pool; }
    // The device ends before the resource: the resource keeps its texels but no device.
    virtual void Orphan() { m_device = nullptr; }

protected:
    HRESULT GetDeviceImpl(IDirect3DDevice9** device);

    DeviceImpl* m_device;
    D3DPOOL m_pool;
    bool m_counted; // registered with the device (standalone textures and surfaces)
};

// A surface: standalone (own reference count), a level of a texture (counts with the texture),
// or the device's back buffer or depth buffer (counts with the device).
class SurfaceImpl final : public IDirect3DSurface9, public Resource
{
public:
    SurfaceImpl(DeviceImpl* device, D3DPOOL pool, DWORD usage, PixelStore* store, IUnknown* container,
                bool ownsStore);
    ~SurfaceImpl() override;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override { return GetDeviceImpl(device); }
    DWORD SetPriority(DWORD) override { return 0; }
    DWORD GetPriority() override { return 0; }
    void PreLoad() override {}
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT GetContainer(REFIID riid, void** container) override;
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

    PixelStore& Store() { return *m_store; }
    bool Locked() const { return m_locked; }
    // References held from outside the device on a surface that counts with its container.
    int OutsideReferences() const { return m_outside; }
    bool IsStandalone() const { return m_container == nullptr; }

private:
    PixelStore* m_store;
    std::unique_ptr<PixelStore> m_ownedStore;
    IUnknown* m_container;
    DWORD m_usage;
    std::atomic<ULONG> m_refs{1};
    int m_outside = 0;
    bool m_locked = false;
};

class TextureImpl final : public IDirect3DTexture9, public Resource
{
public:
    TextureImpl(DeviceImpl* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                D3DPOOL pool);
    ~TextureImpl() override;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override { return GetDeviceImpl(device); }
    DWORD SetPriority(DWORD) override { return 0; }
    DWORD GetPriority() override { return 0; }
    void PreLoad() override {}
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD SetLOD(DWORD lodNew) override;
    DWORD GetLOD() override { return m_lod; }
    DWORD GetLevelCount() override { return static_cast<DWORD>(m_levels.size()); }
    HRESULT SetAutoGenFilterType(D3DTEXTUREFILTERTYPE filterType) override;
    D3DTEXTUREFILTERTYPE GetAutoGenFilterType() override { return m_autoGenFilter; }
    void GenerateMipSubLevels() override {}
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surfaceLevel) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;
    HRESULT AddDirtyRect(const RECT*) override { return D3D_OK; }

    // The texels of each level, largest first.
    PixelStore& Level(UINT level) { return *m_stores[level]; }
    // A level as A8R8G8B8 texels, decoded again when its texels changed since.
    const uint32_t* Texels(UINT level);
    // A decoded copy is out of date: decoding again would move texels a waiting draw reads.
    bool Stale() const;
    void Orphan() override;
    D3DFORMAT Format() const { return m_format; }

private:
    D3DFORMAT m_format;
    DWORD m_lod = 0;
    D3DTEXTUREFILTERTYPE m_autoGenFilter = D3DTEXF_LINEAR;
    std::vector<std::unique_ptr<PixelStore>> m_stores;
    std::vector<SurfaceImpl*> m_levels;
    std::vector<std::vector<uint32_t>> m_decoded;
    std::vector<uint32_t> m_decodedVersion;
    std::vector<bool> m_decodedValid;
    std::atomic<ULONG> m_refs{1};
};

class DeviceImpl final : public IDirect3DDevice9, public ISoftDevice9
{
public:
    DeviceImpl(Direct3DImpl* d3d, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags);
    ~DeviceImpl();
    // Takes the presentation parameters (filled in where they left values to the device).
    HRESULT Initialise(D3DPRESENT_PARAMETERS& parameters);

    // IUnknown, shared by both interfaces.
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // IDirect3DDevice9
    HRESULT TestCooperativeLevel() override;
    UINT GetAvailableTextureMem() override;
    HRESULT GetDirect3D(IDirect3D9** d3d) override;
    HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
    HRESULT GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) override;
    HRESULT GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* presentationParameters) override;
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                    const RGNDATA* dirtyRegion) override;
    HRESULT GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE type,
                          IDirect3DSurface9** surface) override;
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture9** texture, HANDLE* sharedHandle) override;
    HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                               DWORD multisampleQuality, BOOL lockable, IDirect3DSurface9** surface,
                               HANDLE* sharedHandle) override;
    HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                      D3DMULTISAMPLE_TYPE multiSample, DWORD multisampleQuality, BOOL discard,
                                      IDirect3DSurface9** surface, HANDLE* sharedHandle) override;
    HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                        IDirect3DSurface9** surface, HANDLE* sharedHandle) override;
    HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* destSurface) override;
    HRESULT SetRenderTarget(DWORD renderTargetIndex, IDirect3DSurface9* renderTarget) override;
    HRESULT GetRenderTarget(DWORD renderTargetIndex, IDirect3DSurface9** renderTarget) override;
    HRESULT SetDepthStencilSurface(IDirect3DSurface9* newZStencil) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface9** zStencilSurface) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                  DWORD stencil) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
    HRESULT SetMaterial(const D3DMATERIAL9* material) override;
    HRESULT GetMaterial(D3DMATERIAL9* material) override;
    HRESULT SetLight(DWORD index, const D3DLIGHT9* light) override;
    HRESULT GetLight(DWORD index, D3DLIGHT9* light) override;
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT GetLightEnable(DWORD index, BOOL* enable) override;
    HRESULT SetClipPlane(DWORD index, const float* plane) override;
    HRESULT GetClipPlane(DWORD index, float* plane) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT ValidateDevice(DWORD* numPasses) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount,
                            const void* vertexStreamZeroData, UINT vertexStreamZeroStride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT minVertexIndex, UINT numVertices,
                                   UINT primitiveCount, const void* indexData, D3DFORMAT indexDataFormat,
                                   const void* vertexStreamZeroData, UINT vertexStreamZeroStride) override;
    HRESULT SetFVF(DWORD fvf) override;
    HRESULT GetFVF(DWORD* fvf) override;
    HRESULT SetVertexShader(IDirect3DVertexShader9* shader) override;
    HRESULT GetVertexShader(IDirect3DVertexShader9** shader) override;
    HRESULT SetPixelShader(IDirect3DPixelShader9* shader) override;
    HRESULT GetPixelShader(IDirect3DPixelShader9** shader) override;
    HRESULT SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9* streamData, UINT offsetInBytes,
                            UINT stride) override;
    HRESULT GetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9** streamData, UINT* offsetInBytes,
                            UINT* stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer9* indexData) override;
    HRESULT GetIndices(IDirect3DIndexBuffer9** indexData) override;

    // ISoftDevice9
    void EnableCallLog(bool enable) override;
    const std::vector<D3D9Call>& GetCallLog() override { return m_log; }
    void ClearCallLog() override { m_log.clear(); }
    void LoseDevice() override;
    UINT GetResetCount() override { return m_resetCount; }
    UINT GetLiveResourceCount() override { return static_cast<UINT>(m_resources.size()); }
    void SetRasterThreads(UINT count) override { m_pool.SetThreads(count); }
    UINT GetRasterThreads() override { return m_pool.Threads(); }
    void EnableQuickPixels(bool enable) override { m_quickPixels = enable; }

    // Bookkeeping of the device's resources.
    void Register(Resource* resource) { m_resources.insert(resource); }
    void Unregister(Resource* resource) { m_resources.erase(resource); }
    bool IsLogging() const { return m_logging; }
    void Log(D3D9Call call) { m_log.push_back(std::move(call)); }
    const DeviceState& State() const { return m_state; }
    // Draws the pixels of every draw set up so far (before anything reads or changes them).
    void FlushDraws() { m_pipeline->Flush(); }
    const D3DPRESENT_PARAMETERS& PresentParameters() const { return m_parameters; }

private:
    HRESULT CreateSwapChainSurfaces();
    void DestroySwapChainSurfaces();
    void ReleaseBindings();
    HRESULT ValidateParameters(D3DPRESENT_PARAMETERS& parameters) const;
    HRESULT Draw(const DrawCall& call);
    // The window Present shows the back buffer in: the override, else the device's window.
    HWND PresentWindow(HWND override) const;
    HRESULT ShowBackBuffer(const RECT* sourceRect, const RECT* destRect, HWND window);
    void FillCaps(D3DCAPS9& caps) const;

    Direct3DImpl* m_d3d;
    D3DDEVICE_CREATION_PARAMETERS m_creation;
    D3DPRESENT_PARAMETERS m_parameters{};
    DeviceState m_state;
    SurfaceImpl* m_backBuffer = nullptr;
    SurfaceImpl* m_autoDepth = nullptr;
    std::set<Resource*> m_resources;
    std::atomic<ULONG> m_refs{1};
    bool m_logging = false;
    std::vector<D3D9Call> m_log;
    enum class Lost
    {
        No,
        Lost,
        NotReset
    } m_lost = Lost::No;
    UINT m_resetCount = 0;
    ThreadPool m_pool;
    bool m_quickPixels = true;
    std::unique_ptr<Pipeline> m_pipeline = std::make_unique<Pipeline>(m_pool);
};

class Direct3DImpl final : public IDirect3D9
{
public:
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    UINT GetAdapterCount() override { return 1; }
    UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override;
    HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* displayMode) override;
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override;
    HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                            D3DFORMAT backBufferFormat, BOOL windowed) override;
    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat, DWORD usage,
                              D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override;
    HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                   D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) override;
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps) override;
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* presentationParameters,
                         IDirect3DDevice9** returnedDevice) override;

private:
    std::atomic<ULONG> m_refs{1};
};

// The display every adapter query reports.
D3DDISPLAYMODE DisplayMode();
void FillCaps(D3DDEVTYPE type, D3DCAPS9& caps);
bool IsBackBufferFormat(D3DFORMAT format);
} // namespace Soft9

struct KelvaneControlSurface;
namespace Soft9
{
// The pixels of a window's control in this process; false without one.
bool WindowSurface(HWND window, KelvaneControlSurface& surface);
} // namespace Soft9
