// The software Direct3D 9 device, loaded as the engine loads it: "d3d9.dll" by name, entered
// through Direct3DCreate9.
#include "Platform/D3D9/D3D9Testing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace
{
float Bits(DWORD d)
{
    float f;
    std::memcpy(&f, &d, sizeof f);
    return f;
}

class D3D9DeviceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_module = LoadLibraryW(u"d3d9.dll");
        ASSERT_NE(m_module, nullptr) << "libd3d9.so beside the test program";
        auto create = reinterpret_cast<Direct3DCreate9Proc>(GetProcAddress(m_module, "Direct3DCreate9"));
        ASSERT_NE(create, nullptr);
        EXPECT_EQ(create(31), nullptr); // only the SDK version the engine asks for
        m_d3d = create(D3D_SDK_VERSION);
        ASSERT_NE(m_d3d, nullptr);
    }

    void TearDown() override
    {
        if (m_soft)
            m_soft->Release();
        if (m_device)
        {
            EXPECT_EQ(m_device->Release(), 0u) << "every reference the test took is given back";
        }
        if (m_d3d)
        {
            EXPECT_EQ(m_d3d->Release(), 0u);
        }
        FreeLibrary(m_module);
    }

    static D3DPRESENT_PARAMETERS Windowed(UINT width, UINT height)
    {
        D3DPRESENT_PARAMETERS p{};
        p.BackBufferWidth = width;
        p.BackBufferHeight = height;
        p.BackBufferFormat = D3DFMT_UNKNOWN;
        p.BackBufferCount = 1;
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.Windowed = TRUE;
        p.EnableAutoDepthStencil = TRUE;
        p.AutoDepthStencilFormat = D3DFMT_D16;
        return p;
    }

    void CreateDevice(UINT width = 64, UINT height = 32)
    {
        D3DPRESENT_PARAMETERS p = Windowed(width, height);
        ASSERT_EQ(m_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                      D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &m_device),
                  D3D_OK);
        ASSERT_EQ(m_device->QueryInterface(IID_ISoftDevice9, reinterpret_cast<void**>(&m_soft)), S_OK);
    }

    D3DSURFACE_DESC BackBufferDesc()
    {
        IDirect3DSurface9* back = nullptr;
        EXPECT_EQ(m_device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
        D3DSURFACE_DESC desc{};
        back->GetDesc(&desc);
        back->Release();
        return desc;
    }

    HMODULE m_module = nullptr;
    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    ISoftDevice9* m_soft = nullptr;
};

TEST_F(D3D9DeviceTest, CreatesDevicesForNoWindowAndRefusesBadParameters)
{
    D3DDISPLAYMODE mode{};
    ASSERT_EQ(m_d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), D3D_OK);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    EXPECT_GT(mode.Width, 0u);

    struct Case
    {
        const char* what;
        DWORD flags;
        void (*change)(D3DPRESENT_PARAMETERS&);
    };
    const Case refused[] = {
        {"no vertex processing chosen", 0, [](D3DPRESENT_PARAMETERS&) {}},
        {"two kinds of vertex processing",
         D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING,
         [](D3DPRESENT_PARAMETERS&) {}},
        {"full screen without a window", D3DCREATE_SOFTWARE_VERTEXPROCESSING,
         [](D3DPRESENT_PARAMETERS& p) { p.Windowed = FALSE; }},
        {"depth buffer of a colour format", D3DCREATE_SOFTWARE_VERTEXPROCESSING,
         [](D3DPRESENT_PARAMETERS& p) { p.AutoDepthStencilFormat = D3DFMT_A8R8G8B8; }},
        {"back buffer of a texture-only format", D3DCREATE_SOFTWARE_VERTEXPROCESSING,
         [](D3DPRESENT_PARAMETERS& p) { p.BackBufferFormat = D3DFMT_DXT1; }},
    };
    for (const Case& c : refused)
    {
        D3DPRESENT_PARAMETERS p = Windowed(64, 32);
        c.change(p);
        IDirect3DDevice9* device = reinterpret_cast<IDirect3DDevice9*>(1);
        EXPECT_EQ(m_d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, c.flags, &p, &device), D3DERR_INVALIDCALL)
            << c.what;
        EXPECT_EQ(device, nullptr) << c.what;
    }

    D3DPRESENT_PARAMETERS p = Windowed(64, 32);
    ASSERT_EQ(
        m_d3d->CreateDevice(0, D3DDEVTYPE_REF, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &m_device),
        D3D_OK);
    EXPECT_EQ(p.BackBufferFormat, D3DFMT_X8R8G8B8) << "the display format fills in an unknown one";
    D3DSURFACE_DESC desc = BackBufferDesc();
    EXPECT_EQ(desc.Width, 64u);
    EXPECT_EQ(desc.Height, 32u);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(desc.Usage, D3DUSAGE_RENDERTARGET);
    D3DCAPS9 caps{};
    ASSERT_EQ(m_device->GetDeviceCaps(&caps), D3D_OK);
    EXPECT_EQ(caps.DeviceType, D3DDEVTYPE_REF);
    EXPECT_EQ(caps.MaxTextureBlendStages, 8u);
    EXPECT_EQ(caps.VertexShaderVersion, 0u);
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(m_device->GetDepthStencilSurface(&depth), D3D_OK);
    depth->GetDesc(&desc);
    EXPECT_EQ(desc.Format, D3DFMT_D16);
    depth->Release();
}

TEST_F(D3D9DeviceTest, StartsWithThePlatformDefaultsAndKeepsWhatIsSet)
{
    CreateDevice();
    D3DMATRIX m{};
    ASSERT_EQ(m_device->GetTransform(D3DTS_WORLDMATRIX(17), &m), D3D_OK);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_EQ(m.m[i][j], i == j ? 1.0f : 0.0f);

    struct State
    {
        D3DRENDERSTATETYPE state;
        DWORD value;
    };
    const State defaults[] = {
        {D3DRS_ZENABLE, D3DZB_TRUE},
        {D3DRS_FILLMODE, D3DFILL_SOLID},
        {D3DRS_LIGHTING, TRUE},
        {D3DRS_CULLMODE, D3DCULL_CCW},
        {D3DRS_SRCBLEND, D3DBLEND_ONE},
        {D3DRS_DESTBLEND, D3DBLEND_ZERO},
        {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS},
        {D3DRS_COLORVERTEX, TRUE},
        {D3DRS_VERTEXBLEND, D3DVBF_DISABLE},
        {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
        {D3DRS_CLIPPING, TRUE},
        {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
        {D3DRS_COLORWRITEENABLE, 0xF},
        {D3DRS_ALPHABLENDENABLE, FALSE},
        {D3DRS_INDEXEDVERTEXBLENDENABLE, FALSE},
    };
    for (const State& s : defaults)
    {
        DWORD value = 0xDEAD;
        ASSERT_EQ(m_device->GetRenderState(s.state, &value), D3D_OK);
        EXPECT_EQ(value, s.value) << "render state " << s.state;
    }
    DWORD value = 0;
    m_device->GetRenderState(D3DRS_POINTSIZE, &value);
    EXPECT_EQ(Bits(value), 1.0f);

    // Stage 0 modulates, the others are off; each stage reads its own coordinate set.
    for (DWORD stage = 0; stage < 8; ++stage)
    {
        m_device->GetTextureStageState(stage, D3DTSS_COLOROP, &value);
        EXPECT_EQ(value, stage == 0 ? DWORD{D3DTOP_MODULATE} : DWORD{D3DTOP_DISABLE});
        m_device->GetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, &value);
        EXPECT_EQ(value, stage);
        m_device->GetSamplerState(stage, D3DSAMP_DMAPOFFSET, &value);
        EXPECT_EQ(value, 256u);
    }
    EXPECT_EQ(m_device->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_DISABLE), D3DERR_INVALIDCALL);

    // Every transform the Parts set, up to the last world matrix, and none beyond.
    D3DMATRIX set{};
    for (int i = 0; i < 16; ++i)
        set.m[i / 4][i % 4] = static_cast<float>(i + 1);
    for (D3DTRANSFORMSTATETYPE t :
         {D3DTS_VIEW, D3DTS_PROJECTION, D3DTS_TEXTURE7, D3DTS_WORLD, D3DTS_WORLDMATRIX(255)})
    {
        ASSERT_EQ(m_device->SetTransform(t, &set), D3D_OK) << t;
        ASSERT_EQ(m_device->GetTransform(t, &m), D3D_OK);
        EXPECT_EQ(std::memcmp(&m, &set, sizeof m), 0) << t;
    }
    EXPECT_EQ(m_device->SetTransform(D3DTS_WORLDMATRIX(256), &set), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(1), &set), D3DERR_INVALIDCALL);

    // Lights: a light never set cannot be read; enabling one makes the default light.
    D3DLIGHT9 light{};
    EXPECT_EQ(m_device->GetLight(3, &light), D3DERR_INVALIDCALL);
    light.Type = D3DLIGHT_SPOT;
    light.Diffuse = {1.0f, 0.5f, 0.25f, 1.0f};
    light.Range = 100.0f;
    light.Theta = 0.5f;
    light.Phi = 1.0f;
    ASSERT_EQ(m_device->SetLight(1000, &light), D3D_OK);
    D3DLIGHT9 back{};
    ASSERT_EQ(m_device->GetLight(1000, &back), D3D_OK);
    EXPECT_EQ(std::memcmp(&back, &light, sizeof back), 0);
    BOOL enabled = TRUE;
    ASSERT_EQ(m_device->GetLightEnable(1000, &enabled), D3D_OK);
    EXPECT_FALSE(enabled);
    ASSERT_EQ(m_device->LightEnable(7, TRUE), D3D_OK);
    ASSERT_EQ(m_device->GetLight(7, &back), D3D_OK);
    EXPECT_EQ(back.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(back.Direction.z, 1.0f);
    light.Type = static_cast<D3DLIGHTTYPE>(4);
    EXPECT_EQ(m_device->SetLight(0, &light), D3DERR_INVALIDCALL);

    D3DMATERIAL9 material{};
    material.Diffuse = {0.1f, 0.2f, 0.3f, 0.4f};
    material.Power = 5.0f;
    ASSERT_EQ(m_device->SetMaterial(&material), D3D_OK);
    D3DMATERIAL9 readMaterial{};
    m_device->GetMaterial(&readMaterial);
    EXPECT_EQ(std::memcmp(&readMaterial, &material, sizeof material), 0);

    // Only unbinding is possible for streams, indices and shaders.
    EXPECT_EQ(m_device->SetStreamSource(0, nullptr, 0, 28), D3D_OK);
    IDirect3DVertexBuffer9* stream = reinterpret_cast<IDirect3DVertexBuffer9*>(1);
    UINT offset = 1, stride = 0;
    ASSERT_EQ(m_device->GetStreamSource(0, &stream, &offset, &stride), D3D_OK);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(stride, 28u);
    EXPECT_EQ(m_device->SetVertexShader(nullptr), D3D_OK);
    EXPECT_EQ(m_device->SetPixelShader(nullptr), D3D_OK);
    EXPECT_EQ(m_device->SetIndices(nullptr), D3D_OK);

    D3DVIEWPORT9 viewport{};
    m_device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 64u);
    EXPECT_EQ(viewport.Height, 32u);
    D3DVIEWPORT9 outside{32, 0, 33, 32, 0.0f, 1.0f};
    EXPECT_EQ(m_device->SetViewport(&outside), D3DERR_INVALIDCALL);
}

TEST_F(D3D9DeviceTest, TexturesHoldFullMipChainsWithRealPitches)
{
    CreateDevice();
    struct Case
    {
        D3DFORMAT format;
        UINT width, height;
        UINT levels;         // asked for
        UINT expectedLevels; // got
        UINT rowBytes;       // of the top level: texels or 4 x 4 blocks
        UINT rows;
    };
    const Case cases[] = {
        {D3DFMT_A8R8G8B8, 64, 16, 0, 7, 256, 16}, {D3DFMT_X8R8G8B8, 5, 3, 0, 3, 20, 3},
        {D3DFMT_R5G6B5, 7, 9, 2, 2, 14, 9},       {D3DFMT_A1R5G5B5, 128, 128, 1, 1, 256, 128},
        {D3DFMT_A8, 16, 1, 0, 5, 16, 1},          {D3DFMT_DXT1, 16, 8, 0, 5, 32, 2},
        {D3DFMT_DXT3, 8, 8, 0, 4, 32, 2},         {D3DFMT_DXT5, 6, 6, 0, 3, 32, 2},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.format);
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(m_device->CreateTexture(c.width, c.height, c.levels, 0, c.format, D3DPOOL_MANAGED, &texture,
                                          nullptr),
                  D3D_OK);
        ASSERT_EQ(texture->GetLevelCount(), c.expectedLevels);
        for (UINT level = 0; level < c.expectedLevels; ++level)
        {
            D3DSURFACE_DESC desc{};
            ASSERT_EQ(texture->GetLevelDesc(level, &desc), D3D_OK);
            EXPECT_EQ(desc.Width, std::max(1u, c.width >> level));
            EXPECT_EQ(desc.Height, std::max(1u, c.height >> level));
            EXPECT_EQ(desc.Format, c.format);
            EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
            D3DLOCKED_RECT locked{};
            ASSERT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3D_OK);
            if (level == 0)
            {
                EXPECT_EQ(static_cast<UINT>(locked.Pitch), c.rowBytes);
            }
            // Every byte of every row can be written (the sanitizer watches).
            UINT rows = level == 0 ? c.rows
                                   : std::max(1u, (c.format == D3DFMT_DXT1 || c.format == D3DFMT_DXT3 ||
                                                   c.format == D3DFMT_DXT5)
                                                      ? (desc.Height + 3) / 4
                                                      : desc.Height);
            for (UINT r = 0; r < rows; ++r)
                std::memset(static_cast<uint8_t*>(locked.pBits) + static_cast<size_t>(r) * locked.Pitch, 0xAB,
                            static_cast<size_t>(locked.Pitch));
            EXPECT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3DERR_INVALIDCALL) << "locked twice";
            ASSERT_EQ(texture->UnlockRect(level), D3D_OK);
        }
        EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL) << "not locked";
        EXPECT_EQ(texture->GetLevelDesc(c.expectedLevels, nullptr), D3DERR_INVALIDCALL);
        EXPECT_EQ(texture->Release(), 0u);
    }

    // Refused: 3-byte texels, empty sizes, more levels than the chain has, an unknown format.
    const Case refused[] = {
        {D3DFMT_R8G8B8, 8, 8, 1, 0, 0, 0},   {D3DFMT_A8R8G8B8, 0, 8, 1, 0, 0, 0},
        {D3DFMT_A8R8G8B8, 8, 0, 1, 0, 0, 0}, {D3DFMT_A8R8G8B8, 8, 8, 5, 0, 0, 0},
        {D3DFMT_UNKNOWN, 8, 8, 1, 0, 0, 0},
    };
    for (const Case& c : refused)
    {
        IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(1);
        EXPECT_EQ(m_device->CreateTexture(c.width, c.height, c.levels, 0, c.format, D3DPOOL_MANAGED, &texture,
                                          nullptr),
                  D3DERR_INVALIDCALL)
            << c.format << " " << c.width << "x" << c.height;
        EXPECT_EQ(texture, nullptr);
    }
    EXPECT_EQ(m_soft->GetLiveResourceCount(), 0u);
}

TEST_F(D3D9DeviceTest, SurfacesCountWithTheirTextureAndLockSubRectangles)
{
    CreateDevice();
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(m_device->CreateTexture(8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    IDirect3DSurface9* level1 = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(1, &level1), D3D_OK);
    EXPECT_EQ(texture->Release(), 1u) << "the level holds its texture";

    D3DLOCKED_RECT whole{}, part{};
    ASSERT_EQ(level1->LockRect(&whole, nullptr, 0), D3D_OK);
    level1->UnlockRect();
    RECT rect{1, 2, 3, 4};
    ASSERT_EQ(level1->LockRect(&part, &rect, 0), D3D_OK);
    EXPECT_EQ(static_cast<uint8_t*>(part.pBits) - static_cast<uint8_t*>(whole.pBits), 2 * whole.Pitch + 4);
    level1->UnlockRect();
    RECT outside{0, 0, 5, 4};
    EXPECT_EQ(level1->LockRect(&part, &outside, 0), D3DERR_INVALIDCALL);

    IDirect3DTexture9* container = nullptr;
    ASSERT_EQ(level1->GetContainer(IID_IDirect3DTexture9, reinterpret_cast<void**>(&container)), S_OK);
    EXPECT_EQ(container, texture);
    container->Release();
    EXPECT_EQ(level1->Release(), 0u);
}

TEST_F(D3D9DeviceTest, ClearFillsTheTargetAndRenderTargetDataCopiesIt)
{
    CreateDevice(8, 4);
    D3DVIEWPORT9 viewport{2, 0, 6, 4, 0.0f, 1.0f};
    ASSERT_EQ(m_device->SetViewport(&viewport), D3D_OK);
    D3DRECT rect{0, 1, 4, 3};
    ASSERT_EQ(m_device->Clear(1, &rect, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00112233u, 1.0f, 0), D3D_OK);

    IDirect3DSurface9* target = nullptr;
    ASSERT_EQ(m_device->GetRenderTarget(0, &target), D3D_OK);
    D3DSURFACE_DESC desc{};
    target->GetDesc(&desc);
    IDirect3DSurface9* copy = nullptr;
    EXPECT_EQ(m_device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_MANAGED,
                                                    &copy, nullptr),
              D3DERR_INVALIDCALL);
    ASSERT_EQ(m_device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                    &copy, nullptr),
              D3D_OK);
    ASSERT_EQ(m_device->GetRenderTargetData(target, copy), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(copy->LockRect(&locked, nullptr, 0), D3D_OK);
    ASSERT_GE(locked.Pitch, 8 * 4);
    // Only the rectangle cut by the viewport (x 2-3, y 1-2) is cleared; the unused top byte is the
    // same in every pixel, cleared or not.
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
        {
            uint32_t texel;
            std::memcpy(&texel, static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4, 4);
            bool inside = x >= 2 && x < 4 && y >= 1 && y < 3;
            EXPECT_EQ(texel, inside ? 0xFF112233u : 0xFF000000u) << x << "," << y;
        }
    copy->UnlockRect();
    copy->Release();
    target->Release();
    EXPECT_EQ(m_device->Clear(0, nullptr, 0, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 2.0f, 0), D3DERR_INVALIDCALL);
}

TEST_F(D3D9DeviceTest, LostDeviceReportsLossThenNeedsResetAndResetAppliesNewSize)
{
    CreateDevice(64, 32);
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3D_OK);
    IDirect3DTexture9* managed = nullptr;
    IDirect3DTexture9* vidmem = nullptr;
    ASSERT_EQ(m_device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &managed, nullptr),
              D3D_OK);
    ASSERT_EQ(m_device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &vidmem, nullptr),
              D3D_OK);
    m_device->SetRenderState(D3DRS_LIGHTING, FALSE);
    m_device->SetTexture(0, managed);

    m_soft->LoseDevice();
    EXPECT_EQ(m_device->TestCooperativeLevel(), static_cast<HRESULT>(0x88760868u));
    EXPECT_EQ(m_device->TestCooperativeLevel(), static_cast<HRESULT>(0x88760869u));
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(m_device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);

    D3DPRESENT_PARAMETERS p = Windowed(100, 50);
    EXPECT_EQ(m_device->Reset(&p), D3DERR_INVALIDCALL) << "a default-pool texture is still alive";
    IDirect3DSurface9* back = nullptr;
    m_device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
    vidmem->Release();
    EXPECT_EQ(m_device->Reset(&p), D3DERR_INVALIDCALL) << "the back buffer is still held";
    back->Release();
    ASSERT_EQ(m_device->Reset(&p), D3D_OK);
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(m_soft->GetResetCount(), 1u);
    D3DSURFACE_DESC desc = BackBufferDesc();
    EXPECT_EQ(desc.Width, 100u);
    EXPECT_EQ(desc.Height, 50u);
    D3DVIEWPORT9 viewport{};
    m_device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 100u);

    // The states start again; the managed texture survives, unbound.
    DWORD lighting = 0;
    m_device->GetRenderState(D3DRS_LIGHTING, &lighting);
    EXPECT_EQ(lighting, DWORD{TRUE});
    IDirect3DBaseTexture9* bound = reinterpret_cast<IDirect3DBaseTexture9*>(1);
    m_device->GetTexture(0, &bound);
    EXPECT_EQ(bound, nullptr);
    D3DSURFACE_DESC level{};
    EXPECT_EQ(managed->GetLevelDesc(0, &level), D3D_OK);
    EXPECT_EQ(managed->Release(), 0u);
}

TEST_F(D3D9DeviceTest, CallLogRecordsADrawingSequenceWithItsVertexBytes)
{
    CreateDevice();
    struct Vertex
    {
        float x, y, z, rhw;
        uint32_t colour;
    };
    const Vertex triangle[3] = {
        {0, 0, 0, 1, 0xFFFF0000u}, {10, 0, 0, 1, 0xFF00FF00u}, {0, 10, 0, 1, 0xFF0000FFu}};
    const uint16_t indices[3] = {2, 1, 0};

    m_soft->EnableCallLog(true);
    ASSERT_EQ(m_device->BeginScene(), D3D_OK);
    m_device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    m_device->SetRenderState(D3DRS_LIGHTING, FALSE);
    ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(Vertex)), D3D_OK);
    ASSERT_EQ(m_device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, indices, D3DFMT_INDEX16, triangle,
                                               sizeof(Vertex)),
              D3D_OK);
    ASSERT_EQ(m_device->EndScene(), D3D_OK);

    const std::vector<D3D9Call>& log = m_soft->GetCallLog();
    std::vector<std::string> texts;
    for (const D3D9Call& call : log)
        texts.push_back(call.Text());
    EXPECT_EQ(texts, (std::vector<std::string>{"BeginScene()", "SetFVF(68)", "SetRenderState(137, 0)",
                                               "DrawPrimitiveUP(4, 1, 20)",
                                               "DrawIndexedPrimitiveUP(4, 0, 3, 1, 101, 20)", "EndScene()"}));
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[3].vertices.size(), sizeof triangle);
    EXPECT_EQ(std::memcmp(log[3].vertices.data(), triangle, sizeof triangle), 0);
    EXPECT_EQ(std::memcmp(log[4].indices.data(), indices, sizeof indices), 0);

    // With a stride wider than the vertex, the last vertex ends at its own size: a buffer cut
    // there is read no further (the sanitizer watches the heap copy).
    m_soft->ClearCallLog();
    m_device->BeginScene();
    m_device->SetFVF(D3DFVF_XYZ);
    std::vector<uint8_t> points(2 * 32 + 12, 0x5A);
    std::vector<uint8_t> exact(points);
    ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_POINTLIST, 3, exact.data(), 32), D3D_OK);
    m_device->EndScene();
    EXPECT_EQ(m_soft->GetCallLog()[2].vertices, points);

    m_soft->EnableCallLog(false);
    m_device->SetFVF(0);
    EXPECT_EQ(m_soft->GetCallLog().size(), 0u) << "switching clears, and nothing is recorded while off";
}

TEST_F(D3D9DeviceTest, DrawCallsAreValidatedBeforeTheyReachThePipeline)
{
    CreateDevice();
    float xyz[4 * 3] = {};
    const uint32_t farIndex[3] = {0, 1, 4}; // vertex 4 is outside the four given
    m_device->SetFVF(D3DFVF_XYZ);
    EXPECT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, xyz, 12), D3DERR_INVALIDCALL)
        << "outside a scene";
    m_device->BeginScene();
    struct Case
    {
        const char* what;
        HRESULT expected;
        HRESULT result;
    };
    const Case cases[] = {
        {"list of points", D3D_OK, m_device->DrawPrimitiveUP(D3DPT_POINTLIST, 4, xyz, 12)},
        {"stride below the vertex size", D3DERR_INVALIDCALL,
         m_device->DrawPrimitiveUP(D3DPT_LINELIST, 1, xyz, 8)},
        {"unknown primitive", D3DERR_INVALIDCALL,
         m_device->DrawPrimitiveUP(static_cast<D3DPRIMITIVETYPE>(7), 1, xyz, 12)},
        {"no vertices", D3DERR_INVALIDCALL, m_device->DrawPrimitiveUP(D3DPT_LINELIST, 1, nullptr, 12)},
        {"index past the vertex range", D3DERR_INVALIDCALL,
         m_device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 1, farIndex, D3DFMT_INDEX32, xyz, 12)},
        {"index below the minimum", D3DERR_INVALIDCALL,
         m_device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 1, 3, 1, farIndex, D3DFMT_INDEX32, xyz, 12)},
        {"indices of no known size", D3DERR_INVALIDCALL,
         m_device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 5, 1, farIndex, D3DFMT_D16, xyz, 12)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.result, c.expected) << c.what;
    EXPECT_EQ(m_device->SetFVF(D3DFVF_NORMAL), D3DERR_INVALIDCALL) << "no position";
    EXPECT_EQ(m_device->BeginScene(), D3DERR_INVALIDCALL) << "already in a scene";
    m_device->EndScene();
}

TEST_F(D3D9DeviceTest, InjectedFaultsFailTheNextCallsOnly)
{
    D3D9Faults* faults = GetD3D9Faults();
    ASSERT_NE(faults, nullptr);
    faults->failGetAdapterDisplayMode = 1;
    D3DDISPLAYMODE mode{};
    EXPECT_EQ(m_d3d->GetAdapterDisplayMode(0, &mode), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(m_d3d->GetAdapterDisplayMode(0, &mode), D3D_OK);

    faults->failCreateDevice = 1;
    D3DPRESENT_PARAMETERS p = Windowed(8, 8);
    IDirect3DDevice9* device = nullptr;
    EXPECT_EQ(
        m_d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device),
        D3DERR_NOTAVAILABLE);
    EXPECT_EQ(device, nullptr);
    CreateDevice();

    faults->failCreateTexture = 1;
    faults->failLockRect = 1;
    faults->failSetRenderState = 1;
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(m_device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_OUTOFVIDEOMEMORY);
    ASSERT_EQ(m_device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    texture->UnlockRect(0);
    EXPECT_EQ(m_device->SetRenderState(D3DRS_LIGHTING, FALSE), D3DERR_INVALIDCALL);
    DWORD lighting = 0;
    m_device->GetRenderState(D3DRS_LIGHTING, &lighting);
    EXPECT_EQ(lighting, DWORD{TRUE}) << "a refused state is not stored";
    texture->Release();
}

TEST_F(D3D9DeviceTest, ResourcesMayOutliveTheirDevice)
{
    CreateDevice();
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(m_device->CreateTexture(4, 4, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    ASSERT_EQ(m_device->SetTexture(0, texture), D3D_OK);
    EXPECT_EQ(texture->Release(), 1u) << "the device holds the bound texture";
    ASSERT_EQ(m_device->CreateTexture(4, 4, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    m_soft->Release();
    m_soft = nullptr;
    EXPECT_EQ(m_device->Release(), 0u);
    m_device = nullptr;
    IDirect3DDevice9* device = reinterpret_cast<IDirect3DDevice9*>(1);
    EXPECT_EQ(texture->GetDevice(&device), D3DERR_INVALIDCALL);
    EXPECT_EQ(device, nullptr);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(2, &locked, nullptr, 0), D3D_OK) << "the texels are still there";
    texture->UnlockRect(2);
    EXPECT_EQ(texture->Release(), 0u);
}
} // namespace
