// The software device's pixels: coverage, clipping, lighting, texturing and the pixel tests,
// checked against values computed here from the rules they follow.
#include "Platform/D3D9/D3D9Testing.h"
#include "tests/support/ReferenceImage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace
{
constexpr float Pi = 3.14159265358979f;

D3DMATRIX Identity()
{
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

D3DMATRIX Translation(float x, float y, float z)
{
    D3DMATRIX m = Identity();
    m._41 = x;
    m._42 = y;
    m._43 = z;
    return m;
}

// Left-handed perspective: the camera at the origin looks along +z.
D3DMATRIX Perspective(float fovY, float aspect, float zn, float zf)
{
    float ys = 1.0f / std::tan(fovY / 2), xs = ys / aspect;
    D3DMATRIX m{};
    m._11 = xs;
    m._22 = ys;
    m._33 = zf / (zf - zn);
    m._34 = 1.0f;
    m._43 = -zn * zf / (zf - zn);
    return m;
}

struct RhwVertex
{
    float x, y, z, rhw;
    DWORD colour;
};
constexpr DWORD RhwFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

struct RhwTexVertex
{
    float x, y, z, rhw;
    DWORD colour;
    float u, v;
};
constexpr DWORD RhwTexFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct ColourVertex
{
    float x, y, z;
    DWORD colour;
};
constexpr DWORD ColourFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

struct NormalVertex
{
    float x, y, z, nx, ny, nz;
};
constexpr DWORD NormalFvf = D3DFVF_XYZ | D3DFVF_NORMAL;

class D3D9RasterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_module = LoadLibraryW(u"d3d9.dll");
        ASSERT_NE(m_module, nullptr);
        auto create = reinterpret_cast<Direct3DCreate9Proc>(GetProcAddress(m_module, "Direct3DCreate9"));
        ASSERT_NE(create, nullptr);
        m_d3d = create(D3D_SDK_VERSION);
        ASSERT_NE(m_d3d, nullptr);
    }

    void TearDown() override
    {
        if (m_soft)
            m_soft->Release();
        if (dev)
        {
            EXPECT_EQ(dev->Release(), 0u);
        }
        if (m_d3d)
            m_d3d->Release();
        FreeLibrary(m_module);
    }

    void Create(UINT width = 64, UINT height = 64, HWND window = nullptr)
    {
        D3DPRESENT_PARAMETERS p{};
        p.BackBufferWidth = width;
        p.BackBufferHeight = height;
        p.BackBufferFormat = D3DFMT_X8R8G8B8;
        p.BackBufferCount = 1;
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.Windowed = TRUE;
        p.EnableAutoDepthStencil = TRUE;
        p.AutoDepthStencilFormat = D3DFMT_D16;
        ASSERT_EQ(m_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                      D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &dev),
                  D3D_OK);
        ASSERT_EQ(dev->QueryInterface(IID_ISoftDevice9, reinterpret_cast<void**>(&m_soft)), S_OK);
        m_width = width;
        m_height = height;
        // Several threads, so that the tiles of one draw go to different threads.
        m_soft->SetRasterThreads(4);
        ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
    }

    template <typename V> void Draw(D3DPRIMITIVETYPE type, UINT count, const std::vector<V>& v, DWORD fvf)
    {
        ASSERT_EQ(dev->SetFVF(fvf), D3D_OK);
        ASSERT_EQ(dev->BeginScene(), D3D_OK);
        ASSERT_EQ(dev->DrawPrimitiveUP(type, count, v.data(), sizeof(V)), D3D_OK);
        ASSERT_EQ(dev->EndScene(), D3D_OK);
    }

    void RenderState(D3DRENDERSTATETYPE s, DWORD v) { ASSERT_EQ(dev->SetRenderState(s, v), D3D_OK); }

    // The back buffer as 0x00RRGGBB.
    std::vector<uint32_t> Pixels()
    {
        IDirect3DSurface9* back = nullptr;
        EXPECT_EQ(dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
        D3DLOCKED_RECT lr{};
        EXPECT_EQ(back->LockRect(&lr, nullptr, 0), D3D_OK);
        std::vector<uint32_t> out(static_cast<size_t>(m_width) * m_height);
        for (UINT y = 0; y < m_height; ++y)
            for (UINT x = 0; x < m_width; ++x)
                out[y * m_width + x] = reinterpret_cast<const uint32_t*>(
                                           static_cast<const uint8_t*>(lr.pBits) + y * lr.Pitch)[x] &
                                       0xFFFFFF;
        back->UnlockRect();
        back->Release();
        return out;
    }

    uint32_t Pixel(int x, int y) { return Pixels()[static_cast<size_t>(y) * m_width + x]; }

    IDirect3DTexture9* Texture(UINT w, UINT h, D3DFORMAT format, const std::vector<uint8_t>& bytes)
    {
        IDirect3DTexture9* t = nullptr;
        EXPECT_EQ(dev->CreateTexture(w, h, 1, 0, format, D3DPOOL_MANAGED, &t, nullptr), D3D_OK);
        D3DLOCKED_RECT lr{};
        EXPECT_EQ(t->LockRect(0, &lr, nullptr, 0), D3D_OK);
        std::memcpy(lr.pBits, bytes.data(), bytes.size());
        t->UnlockRect(0);
        return t;
    }

    // A quad of two triangles between (x0, y0) and (x1, y1) in screen space, texture 0..u1, 0..v1.
    static std::vector<RhwTexVertex> Quad(float x0, float y0, float x1, float y1, DWORD colour, float u1 = 1,
                                          float v1 = 1)
    {
        return {{x0, y0, 0.5f, 1, colour, 0, 0},   {x1, y0, 0.5f, 1, colour, u1, 0},
                {x1, y1, 0.5f, 1, colour, u1, v1}, {x0, y0, 0.5f, 1, colour, 0, 0},
                {x1, y1, 0.5f, 1, colour, u1, v1}, {x0, y1, 0.5f, 1, colour, 0, v1}};
    }

    IDirect3DDevice9* dev = nullptr;
    UINT m_width = 0, m_height = 0;

private:
    HMODULE m_module = nullptr;
    IDirect3D9* m_d3d = nullptr;
    ISoftDevice9* m_soft = nullptr;
};

int Channel(uint32_t c, int shift)
{
    return static_cast<int>((c >> shift) & 0xFF);
}

void ExpectColour(uint32_t actual, float r, float g, float b, const char* what)
{
    EXPECT_NEAR(Channel(actual, 16), r * 255.0f, 1.01f) << what;
    EXPECT_NEAR(Channel(actual, 8), g * 255.0f, 1.01f) << what;
    EXPECT_NEAR(Channel(actual, 0), b * 255.0f, 1.01f) << what;
}

// ---- Coverage --------------------------------------------------------------------------------------

TEST_F(D3D9RasterTest, SharedEdgesCoverEveryPixelExactlyOnce)
{
    Create(64, 64);
    RenderState(D3DRS_LIGHTING, FALSE);
    RenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    RenderState(D3DRS_ZENABLE, FALSE);
    RenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    RenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    RenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    struct Case
    {
        float x0, y0, x1, y1;
    };
    // Edges on pixel centres, between them, and reaching past the target.
    const Case cases[] = {{0, 0, 64, 64},
                          {3.25f, 2.75f, 41.5f, 30.125f},
                          {10, 10, 20, 20},
                          {-5.3f, 7.9f, 70.2f, 8.9f},
                          {12.5f, 0.5f, 13.5f, 63.5f}};
    for (const Case& c : cases)
        for (bool otherDiagonal : {false, true})
        {
            dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
            std::vector<RhwTexVertex> q = Quad(c.x0, c.y0, c.x1, c.y1, 0x00404040);
            if (otherDiagonal)
                q = {q[1], q[2], q[5], q[1], q[5], q[0]};
            Draw(D3DPT_TRIANGLELIST, 2, q, RhwTexFvf);
            std::vector<uint32_t> px = Pixels();
            int wrong = 0;
            for (int y = 0; y < 64; ++y)
                for (int x = 0; x < 64; ++x)
                {
                    // Pixel centres on integers: left and top edges take a centre on them.
                    bool inside = x >= c.x0 && x < c.x1 && y >= c.y0 && y < c.y1;
                    wrong += px[y * 64 + x] != (inside ? 0x404040u : 0u);
                }
            EXPECT_EQ(wrong, 0) << c.x0 << " " << c.y0 << " " << c.x1 << " " << c.y1 << " " << otherDiagonal;
        }

    // A fan of slim triangles around one point: inner edges are shared by two triangles each.
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    const float cx = 31.3f, cy = 29.7f, radius = 25.0f;
    std::vector<RhwVertex> fan;
    const int n = 17;
    for (int i = 0; i < n; ++i)
    {
        float a0 = 2 * Pi * i / n + 0.1f, a1 = 2 * Pi * (i + 1) / n + 0.1f;
        fan.push_back({cx, cy, 0.5f, 1, 0x00404040});
        fan.push_back({cx + radius * std::cos(a0), cy + radius * std::sin(a0), 0.5f, 1, 0x00404040});
        fan.push_back({cx + radius * std::cos(a1), cy + radius * std::sin(a1), 0.5f, 1, 0x00404040});
    }
    Draw(D3DPT_TRIANGLELIST, n, fan, RhwFvf);
    std::vector<uint32_t> px = Pixels();
    const float inner = radius * std::cos(Pi / n) - 1.0f;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
        {
            uint32_t v = px[y * 64 + x];
            ASSERT_TRUE(v == 0 || v == 0x404040u) << "covered twice at " << x << ", " << y;
            if (std::hypot(x - cx, y - cy) < inner)
            {
                ASSERT_EQ(v, 0x404040u) << "hole at " << x << ", " << y;
            }
        }
}

class D3D9RasterSceneTest : public D3D9RasterTest
{
protected:
    void Camera()
    {
        D3DMATRIX id = Identity(), proj = Perspective(Pi / 2, 1.0f, 1.0f, 100.0f);
        dev->SetTransform(D3DTS_WORLD, &id);
        dev->SetTransform(D3DTS_VIEW, &id);
        dev->SetTransform(D3DTS_PROJECTION, &proj);
    }
};

TEST_F(D3D9RasterSceneTest, WireframeDrawnOverItsOwnFacesShowsWhole)
{
    // A curved sheet (a quarter of a cylinder turned towards the camera and leaning back, its
    // depth changing across every face, every face facing the camera so that none hides another)
    // filled, then drawn again as wireframe with the same vertices: the depth test (LESSEQUAL)
    // must let the wires through wherever they would show on their own.
    Create(128, 128);
    Camera();
    RenderState(D3DRS_LIGHTING, FALSE);
    RenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    const int segments = 12;
    auto sheet = [&](DWORD colour)
    {
        std::vector<ColourVertex> v;
        auto at = [&](int s, float y)
        {
            const float a = Pi / 4 + Pi / 2 * static_cast<float>(s) / segments;
            return ColourVertex{3.0f * std::cos(a), y, 6.0f - 3.0f * std::sin(a) + 0.4f * y, colour};
        };
        for (int s = 0; s < segments; ++s)
            for (const auto& c : {at(s, -3), at(s + 1, -3), at(s, 3), at(s + 1, -3), at(s + 1, 3), at(s, 3)})
                v.push_back(c);
        return v;
    };
    const std::vector<ColourVertex> faces = sheet(0xFF404040), wires = sheet(0xFFFFFFFF);
    const UINT triangles = static_cast<UINT>(faces.size() / 3);
    auto white = [&]
    {
        std::vector<bool> out;
        for (uint32_t p : Pixels())
            out.push_back(p == 0xFFFFFF);
        return out;
    };

    RenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    Draw(D3DPT_TRIANGLELIST, triangles, wires, ColourFvf);
    const std::vector<bool> alone = white();

    dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    RenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    Draw(D3DPT_TRIANGLELIST, triangles, faces, ColourFvf);
    RenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    Draw(D3DPT_TRIANGLELIST, triangles, wires, ColourFvf);
    const std::vector<bool> over = white();

    size_t wirePixels = 0, shown = 0, stray = 0;
    for (size_t i = 0; i < alone.size(); ++i)
    {
        wirePixels += alone[i];
        shown += alone[i] && over[i];
        stray += over[i] && !alone[i];
    }
    ASSERT_GT(wirePixels, 1000u);
    EXPECT_EQ(stray, 0u);
    EXPECT_EQ(shown, wirePixels);
}

TEST_F(D3D9RasterSceneTest, ClippingDrawsNothingUnseenAndCutsAtTheNearPlane)
{
    Create(64, 64);
    Camera();
    RenderState(D3DRS_LIGHTING, FALSE);
    RenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    const DWORD c = 0x0080C040;
    // Right of the view, behind the camera, beyond the far plane.
    std::vector<ColourVertex> unseen = {{20, 0, 5, c},    {30, 1, 5, c},   {25, -1, 5, c},
                                        {-1, -1, -5, c},  {1, -1, -5, c},  {0, 1, -5, c},
                                        {-1, -1, 200, c}, {1, -1, 200, c}, {0, 1, 200, c}};
    Draw(D3DPT_TRIANGLELIST, 3, unseen, ColourFvf);
    for (uint32_t p : Pixels())
        ASSERT_EQ(p, 0u);

    // A floor from behind the camera to far ahead: below the horizon only, in one colour.
    std::vector<ColourVertex> floor = {{-10, -1, -5, c}, {10, -1, -5, c}, {0, -1, 20, c}};
    Draw(D3DPT_TRIANGLELIST, 1, floor, ColourFvf);
    std::vector<uint32_t> px = Pixels();
    int drawn = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
        {
            uint32_t p = px[y * 64 + x];
            ASSERT_TRUE(p == 0 || p == (c & 0xFFFFFF)) << x << ", " << y;
            if (y < 32)
            {
                ASSERT_EQ(p, 0u) << "above the horizon at " << x << ", " << y;
            }
            drawn += p != 0;
        }
    for (int x = 0; x < 64; ++x)
        EXPECT_EQ(px[63 * 64 + x], c & 0xFFFFFF) << "the floor under the camera reaches the bottom row";
    EXPECT_GT(drawn, 64 * 20);
}

// ---- Lighting --------------------------------------------------------------------------------------

TEST_F(D3D9RasterSceneTest, LightsFollowTheLightingEquations)
{
    Create(64, 64);
    Camera();
    // A quad at z = 5 facing the camera; its corners are symmetric about the z axis, so every
    // corner gets the same light and the centre pixel shows it.
    std::vector<NormalVertex> quad = {{-1, 1, 5, 0, 0, -1}, {1, 1, 5, 0, 0, -1},  {1, -1, 5, 0, 0, -1},
                                      {-1, 1, 5, 0, 0, -1}, {1, -1, 5, 0, 0, -1}, {-1, -1, 5, 0, 0, -1}};
    D3DMATERIAL9 m{};
    m.Diffuse = {1.0f, 0.8f, 0.6f, 1.0f};
    m.Ambient = {0.2f, 0.4f, 0.6f, 1.0f};
    dev->SetMaterial(&m);
    const float ambient = 0x20 / 255.0f;
    RenderState(D3DRS_AMBIENT, 0x00202020);
    const float ld[3] = {1.0f, 1.0f, 0.5f};
    auto expect = [&](float factor, const char* what)
    {
        dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        Draw(D3DPT_TRIANGLELIST, 2, quad, NormalFvf);
        // colour = ambient material x global ambient + diffuse material x light diffuse x factor
        ExpectColour(Pixel(32, 32), std::min(1.0f, 0.2f * ambient + 1.0f * ld[0] * factor),
                     std::min(1.0f, 0.4f * ambient + 0.8f * ld[1] * factor),
                     std::min(1.0f, 0.6f * ambient + 0.6f * ld[2] * factor), what);
    };

    D3DLIGHT9 light{};
    light.Diffuse = {ld[0], ld[1], ld[2], 1.0f};
    light.Type = D3DLIGHT_DIRECTIONAL;
    // 60 degrees off the normal: N.L = cos 60.
    light.Direction = {-std::sin(Pi / 3), 0.0f, std::cos(Pi / 3)};
    dev->SetLight(0, &light);
    dev->LightEnable(0, TRUE);
    expect(std::cos(Pi / 3), "directional light at 60 degrees");

    // A point light in front of the quad: each corner is sqrt(6) away, N.L = 2 / sqrt(6).
    light.Type = D3DLIGHT_POINT;
    light.Position = {0.0f, 0.0f, 3.0f};
    light.Range = 100.0f;
    light.Attenuation0 = 0.5f;
    light.Attenuation1 = 0.1f;
    light.Attenuation2 = 0.05f;
    const float d = std::sqrt(6.0f), nl = 2.0f / d;
    const float attenuation = 1.0f / (0.5f + 0.1f * d + 0.05f * d * d);
    dev->SetLight(0, &light);
    expect(nl * attenuation, "point light with attenuation");
    light.Range = 2.0f;
    dev->SetLight(0, &light);
    expect(0.0f, "point light out of range");

    // A spot light pointing at the quad; the corners are acos(2 / sqrt(6)) off its axis.
    light.Type = D3DLIGHT_SPOT;
    light.Range = 100.0f;
    light.Direction = {0.0f, 0.0f, 1.0f};
    light.Falloff = 1.0f;
    const float rho = 2.0f / d;
    struct Spot
    {
        float theta, phi;
        const char* what;
    };
    for (const Spot& s :
         {Spot{Pi / 2, Pi * 0.6f, "inside the inner cone"}, Spot{Pi / 6, Pi / 3, "outside the cone"},
          Spot{Pi * 40 / 180, Pi * 100 / 180, "between the cones"}})
    {
        light.Theta = s.theta;
        light.Phi = s.phi;
        dev->SetLight(0, &light);
        float cosTheta = std::cos(s.theta / 2), cosPhi = std::cos(s.phi / 2);
        float spot = rho > cosTheta ? 1.0f : rho <= cosPhi ? 0.0f : (rho - cosPhi) / (cosTheta - cosPhi);
        expect(nl * attenuation * spot, s.what);
    }
}

// ---- Textures --------------------------------------------------------------------------------------

TEST_F(D3D9RasterTest, PointSamplingPutsEveryTexelInPlace)
{
    Create(32, 32);
    RenderState(D3DRS_LIGHTING, FALSE);
    RenderState(D3DRS_ZENABLE, FALSE);
    std::vector<uint32_t> texels(16);
    std::vector<uint8_t> bytes(64);
    for (int i = 0; i < 16; ++i)
    {
        texels[i] = 0xFF000000u | (uint32_t(i % 4 * 60) << 16) | (uint32_t(i / 4 * 60) << 8) | 0x11;
        std::memcpy(&bytes[4 * i], &texels[i], 4);
    }
    IDirect3DTexture9* texture = Texture(4, 4, D3DFMT_A8R8G8B8, bytes);
    dev->SetTexture(0, texture);
    const uint32_t border = 0xFF123456;
    dev->SetSamplerState(0, D3DSAMP_BORDERCOLOR, border);
    struct Mode
    {
        DWORD address;
        float repeat;
    };
    for (Mode mode : {Mode{D3DTADDRESS_WRAP, 1}, Mode{D3DTADDRESS_WRAP, 2}, Mode{D3DTADDRESS_MIRROR, 2},
                      Mode{D3DTADDRESS_CLAMP, 2}, Mode{D3DTADDRESS_BORDER, 2}})
    {
        dev->SetSamplerState(0, D3DSAMP_ADDRESSU, mode.address);
        dev->SetSamplerState(0, D3DSAMP_ADDRESSV, mode.address);
        dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        // Shifted by half a pixel so that texels map onto pixels whole.
        Draw(D3DPT_TRIANGLELIST, 2, Quad(-0.5f, -0.5f, 31.5f, 31.5f, 0xFFFFFFFF, mode.repeat, mode.repeat),
             RhwTexFvf);
        std::vector<uint32_t> px = Pixels();
        auto address = [&](int i, bool& outside)
        {
            switch (mode.address)
            {
            case D3DTADDRESS_MIRROR:
                return (i / 4) % 2 ? 3 - i % 4 : i % 4;
            case D3DTADDRESS_CLAMP:
                return std::min(i, 3);
            case D3DTADDRESS_BORDER:
                outside = outside || i > 3;
                return std::min(i, 3);
            default:
                return i % 4;
            }
        };
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
            {
                // The pixel centre's coordinate on the texture, in texels.
                int tu = static_cast<int>((x + 0.5f) / 32 * mode.repeat * 4);
                int tv = static_cast<int>((y + 0.5f) / 32 * mode.repeat * 4);
                bool outside = false;
                int ix = address(tu, outside), iy = address(tv, outside);
                uint32_t expected = (outside ? border : texels[iy * 4 + ix]) & 0xFFFFFF;
                ASSERT_EQ(px[y * 32 + x], expected) << "mode " << mode.address << " at " << x << ", " << y;
            }
    }
    dev->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(D3D9RasterTest, CompressedTexturesAreDecodedBlockByBlock)
{
    Create(16, 16);
    RenderState(D3DRS_LIGHTING, FALSE);
    // One DXT1 block: colour 0 pure red, colour 1 pure blue (565), index = column.
    std::vector<uint8_t> block = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0xE4, 0xE4, 0xE4};
    IDirect3DTexture9* texture = Texture(4, 4, D3DFMT_DXT1, block);
    dev->SetTexture(0, texture);
    Draw(D3DPT_TRIANGLELIST, 2, Quad(-0.5f, -0.5f, 15.5f, 15.5f, 0xFFFFFFFF), RhwTexFvf);
    // Four-colour blocks: the third and fourth colours lie at 1/3 and 2/3 from colour 0 to 1.
    const uint32_t palette[4] = {0xFF0000, 0x0000FF, 0xAA0055, 0x5500AA};
    std::vector<uint32_t> px = Pixels();
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(px[y * 16 + x], palette[x / 4]) << x << ", " << y;
    dev->SetTexture(0, nullptr);
    texture->Release();
}

// ---- Pixel tests -----------------------------------------------------------------------------------

TEST_F(D3D9RasterTest, AlphaTestComparesWithTheReference)
{
    Create(8, 8);
    RenderState(D3DRS_LIGHTING, FALSE);
    RenderState(D3DRS_ALPHATESTENABLE, TRUE);
    RenderState(D3DRS_ALPHAREF, 0x80);
    const DWORD functions[] = {D3DCMP_NEVER,   D3DCMP_LESS,     D3DCMP_EQUAL,        D3DCMP_LESSEQUAL,
                               D3DCMP_GREATER, D3DCMP_NOTEQUAL, D3DCMP_GREATEREQUAL, D3DCMP_ALWAYS};
    for (DWORD f : functions)
        for (int alpha : {0x7F, 0x80, 0x81})
        {
            RenderState(D3DRS_ALPHAFUNC, f);
            dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0x000000FF, 1.0f, 0);
            Draw(D3DPT_TRIANGLELIST, 2, Quad(0, 0, 8, 8, (DWORD(alpha) << 24) | 0x00FF0000), RhwTexFvf);
            bool pass = f == D3DCMP_ALWAYS || (f == D3DCMP_LESS && alpha < 0x80) ||
                        (f == D3DCMP_EQUAL && alpha == 0x80) || (f == D3DCMP_LESSEQUAL && alpha <= 0x80) ||
                        (f == D3DCMP_GREATER && alpha > 0x80) || (f == D3DCMP_NOTEQUAL && alpha != 0x80) ||
                        (f == D3DCMP_GREATEREQUAL && alpha >= 0x80);
            EXPECT_EQ(Pixel(4, 4), pass ? 0xFF0000u : 0x0000FFu) << "function " << f << " alpha " << alpha;
        }

    // GREATEREQUAL 1 keeps the texels of alpha 0 from drawing at all.
    Create(8, 8);
    RenderState(D3DRS_LIGHTING, FALSE);
    RenderState(D3DRS_ALPHATESTENABLE, TRUE);
    RenderState(D3DRS_ALPHAREF, 1);
    RenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    const uint32_t texels[4] = {0x00FFFFFF, 0xFF00FF00, 0x01FF0000, 0x00000000};
    std::vector<uint8_t> bytes(16);
    std::memcpy(bytes.data(), texels, 16);
    IDirect3DTexture9* texture = Texture(2, 2, D3DFMT_A8R8G8B8, bytes);
    dev->SetTexture(0, texture);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00202020, 1.0f, 0);
    Draw(D3DPT_TRIANGLELIST, 2, Quad(-0.5f, -0.5f, 7.5f, 7.5f, 0xFFFFFFFF), RhwTexFvf);
    EXPECT_EQ(Pixel(1, 1), 0x202020u);
    EXPECT_EQ(Pixel(5, 1), 0x00FF00u);
    EXPECT_EQ(Pixel(1, 5), 0xFF0000u);
    EXPECT_EQ(Pixel(5, 5), 0x202020u);
    dev->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(D3D9RasterTest, BlendingMixesByAlpha)
{
    Create(8, 8);
    RenderState(D3DRS_LIGHTING, FALSE);
    RenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    RenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    RenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    Draw(D3DPT_TRIANGLELIST, 2, Quad(0, 0, 8, 8, 0x80FFFFFF), RhwTexFvf);
    uint32_t p = Pixel(3, 3);
    for (int shift : {0, 8, 16})
        EXPECT_NEAR(Channel(p, shift), 0x80, 1);
    // Over white the complement of the source's share comes from the target.
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00FFFFFF, 1.0f, 0);
    Draw(D3DPT_TRIANGLELIST, 2, Quad(0, 0, 8, 8, 0x40000000), RhwTexFvf);
    EXPECT_NEAR(Channel(Pixel(3, 3), 8), 255 - 0x40, 1);
}

TEST_F(D3D9RasterTest, DepthTestHidesWhatLiesBehind)
{
    for (BOOL z : {TRUE, FALSE})
    {
        Create(8, 8);
        RenderState(D3DRS_LIGHTING, FALSE);
        RenderState(D3DRS_ZENABLE, z);
        std::vector<RhwTexVertex> nearQuad = Quad(0, 0, 8, 8, 0xFF00FF00),
                                  farQuad = Quad(0, 0, 8, 8, 0xFFFF0000);
        for (auto& v : nearQuad)
            v.z = 0.2f;
        for (auto& v : farQuad)
            v.z = 0.8f;
        Draw(D3DPT_TRIANGLELIST, 2, nearQuad, RhwTexFvf);
        Draw(D3DPT_TRIANGLELIST, 2, farQuad, RhwTexFvf);
        EXPECT_EQ(Pixel(4, 4), z ? 0x00FF00u : 0xFF0000u) << "ZENABLE " << z;
        dev->Release();
        dev = nullptr;
    }
}

TEST_F(D3D9RasterTest, CullModeHidesOneWinding)
{
    Create(8, 8);
    RenderState(D3DRS_LIGHTING, FALSE);
    // On screen, y runs down: this one turns clockwise, its mirror counter-clockwise.
    std::vector<RhwVertex> cw = {
        {0, 0, 0.5f, 1, 0xFFFFFF}, {8, 0, 0.5f, 1, 0xFFFFFF}, {0, 8, 0.5f, 1, 0xFFFFFF}};
    std::vector<RhwVertex> ccw = {cw[0], cw[2], cw[1]};
    struct Case
    {
        DWORD mode;
        bool cwShows, ccwShows;
    };
    for (Case c :
         {Case{D3DCULL_CCW, true, false}, Case{D3DCULL_CW, false, true}, Case{D3DCULL_NONE, true, true}})
    {
        RenderState(D3DRS_CULLMODE, c.mode);
        for (bool clockwise : {true, false})
        {
            dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
            Draw(D3DPT_TRIANGLELIST, 1, clockwise ? cw : ccw, RhwFvf);
            EXPECT_EQ(Pixel(1, 1) != 0, clockwise ? c.cwShows : c.ccwShows) << c.mode << " " << clockwise;
        }
    }
}

// ---- Vertex blending -------------------------------------------------------------------------------

TEST_F(D3D9RasterTest, BlendedVertexLandsBetweenItsMatrices)
{
    Create(64, 64);
    RenderState(D3DRS_LIGHTING, FALSE);
    RenderState(D3DRS_ZENABLE, FALSE);
    D3DMATRIX id = Identity();
    dev->SetTransform(D3DTS_VIEW, &id);
    dev->SetTransform(D3DTS_PROJECTION, &id);
    const D3DMATRIX a = Translation(-0.5f, 0.25f, 0), b = Translation(0.25f, -0.75f, 0);
    dev->SetTransform(D3DTS_WORLDMATRIX(0), &a);
    dev->SetTransform(D3DTS_WORLDMATRIX(1), &b);
    dev->SetTransform(D3DTS_WORLDMATRIX(7), &b);
    // Blended clip-space position (0.5 a + 0.5 b applied to the origin) mapped to the viewport.
    const float cx = 0.5f * (-0.5f + 0.25f), cy = 0.5f * (0.25f - 0.75f);
    const int px = static_cast<int>(std::floor((1 + cx) * 32 + 0.5f)),
              py = static_cast<int>(std::floor((1 - cy) * 32 + 0.5f));

    struct Indexed
    {
        float x, y, z, w0, w1, w2;
        DWORD indices;
        DWORD colour;
    };
    RenderState(D3DRS_VERTEXBLEND, D3DVBF_1WEIGHTS);
    RenderState(D3DRS_INDEXEDVERTEXBLENDENABLE, TRUE);
    std::vector<Indexed> indexed = {{0, 0, 0.5f, 0.5f, 0, 0, 0x00000700u, 0xFFFFFFFF}}; // matrices 0 and 7
    Draw(D3DPT_POINTLIST, 1, indexed, D3DFVF_XYZB4 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_DIFFUSE);
    std::vector<uint32_t> pixels = Pixels();
    EXPECT_EQ(pixels[py * 64 + px], 0xFFFFFFu);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0xFFFFFFu), 1);

    struct Plain
    {
        float x, y, z, w0;
        DWORD colour;
    };
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    RenderState(D3DRS_INDEXEDVERTEXBLENDENABLE, FALSE);
    std::vector<Plain> plain = {{0, 0, 0.5f, 0.5f, 0xFFFFFFFF}}; // world 0 and world 1
    Draw(D3DPT_POINTLIST, 1, plain, D3DFVF_XYZB1 | D3DFVF_DIFFUSE);
    pixels = Pixels();
    EXPECT_EQ(pixels[py * 64 + px], 0xFFFFFFu);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0xFFFFFFu), 1);
}
} // namespace

// ---- Presenting and capture ------------------------------------------------------------------------

#include "Platform/Vcl/Forms.h"

namespace
{
class PaintRecorder : public Vcl::IFormPresenter
{
public:
    PaintRecorder() { m_previous = Vcl::SetFormPresenter(this); }
    ~PaintRecorder() override { Vcl::SetFormPresenter(m_previous); }
    std::vector<TRect> painted;
    void FormShown(TCustomForm*) override {}
    void FormHidden(TCustomForm*) override {}
    void FormChanged(TCustomForm*) override {}
    void FormPainted(TCustomForm*, const TRect& r) override { painted.push_back(r); }
    void FormDestroyed(TCustomForm*) override {}

private:
    Vcl::IFormPresenter* m_previous;
};

TEST_F(D3D9RasterTest, PresentShowsTheBackBufferInTheControlsPixels)
{
    PaintRecorder recorder;
    TForm form(nullptr);
    form.SetClientWidth(100);
    form.SetClientHeight(80);
    auto* view = new TCustomControl(&form);
    view->SetParent(&form);
    view->SetBounds(10, 20, 40, 30);
    form.Show();
    form.PaintDirty();
    std::fill(form.Pixels(), form.Pixels() + 100 * 80, 0x00777777u);
    recorder.painted.clear();

    // A size left to the device is the control's client size.
    Create(0, 0, view->Handle());
    D3DSURFACE_DESC desc{};
    IDirect3DSurface9* back = nullptr;
    dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
    back->GetDesc(&desc);
    back->Release();
    ASSERT_EQ(desc.Width, 40u);
    ASSERT_EQ(desc.Height, 30u);
    m_width = 40;
    m_height = 30;

    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00FF0000, 1.0f, 0);
    ASSERT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    auto at = [&](int x, int y) { return form.Pixels()[y * 100 + x]; };
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 100; ++x)
        {
            bool inView = x >= 10 && x < 50 && y >= 20 && y < 50;
            ASSERT_EQ(at(x, y), inView ? 0xFF0000u : 0x777777u) << x << ", " << y;
        }
    ASSERT_EQ(recorder.painted.size(), 1u);
    EXPECT_EQ(recorder.painted[0], TRect(10, 20, 50, 50));

    // One rectangle of the back buffer to the same rectangle of the window, as each viewport does.
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0x000000FF, 1.0f, 0);
    RECT r{20, 10, 40, 30};
    ASSERT_EQ(dev->Present(&r, &r, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(at(10 + 19, 20 + 10), 0xFF0000u);
    EXPECT_EQ(at(10 + 20, 20 + 9), 0xFF0000u);
    EXPECT_EQ(at(10 + 20, 20 + 10), 0x0000FFu);
    EXPECT_EQ(at(10 + 39, 20 + 29), 0x0000FFu);
    EXPECT_EQ(recorder.painted.back(), TRect(30, 30, 50, 50));

    // A destination twice the source's size stretches it; what falls outside the control is cut.
    RECT src{0, 0, 10, 10}, dst{30, 20, 50, 40};
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0x0000FF00, 1.0f, 0);
    ASSERT_EQ(dev->Present(&src, &dst, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(at(10 + 30, 20 + 20), 0x00FF00u);
    EXPECT_EQ(at(10 + 39, 20 + 29), 0x00FF00u);
    EXPECT_EQ(at(50, 20 + 20), 0x777777u);

    RECT outside{0, 0, 41, 10};
    EXPECT_EQ(dev->Present(&outside, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);

    // What the view shows can be taken back as an image.
    IDirect3DSurface9* copy = nullptr;
    ASSERT_EQ(dev->CreateOffscreenPlainSurface(40, 30, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &copy, nullptr),
              D3D_OK);
    dev->GetRenderTarget(0, &back);
    ASSERT_EQ(dev->GetRenderTargetData(back, copy), D3D_OK);
    back->Release();
    D3DLOCKED_RECT lr{};
    copy->LockRect(&lr, nullptr, 0);
    EXPECT_EQ(static_cast<const uint32_t*>(lr.pBits)[5] & 0xFFFFFF, 0x00FF00u);
    copy->UnlockRect();
    copy->Release();
}

TEST_F(D3D9RasterTest, PresentWithoutAWindowShowsNothing)
{
    Create(16, 16);
    EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    TForm form(nullptr);
    form.SetClientWidth(16);
    form.SetClientHeight(16);
    auto* hidden = new TCustomControl(&form);
    hidden->SetParent(&form);
    hidden->SetBounds(0, 0, 8, 8);
    // The form is not showing: its pixels stay as they are.
    std::fill(form.Pixels(), form.Pixels() + form.ClientWidth() * form.ClientHeight(), 0x00123456u);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00FF0000, 1.0f, 0);
    EXPECT_EQ(dev->Present(nullptr, nullptr, hidden->Handle(), nullptr), D3D_OK);
    EXPECT_EQ(form.Pixels()[0], 0x123456u);
}
} // namespace

// ---- Reference scenes ------------------------------------------------------------------------------

namespace
{
struct LitVertex
{
    float x, y, z, nx, ny, nz;
    DWORD colour;
    float u, v;
};
constexpr DWORD LitFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b)
{
    D3DMATRIX r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k)
                r.m[i][j] += a.m[i][k] * b.m[k][j];
    return r;
}

D3DMATRIX RotationY(float a)
{
    D3DMATRIX m = Identity();
    m._11 = std::cos(a);
    m._13 = -std::sin(a);
    m._31 = std::sin(a);
    m._33 = std::cos(a);
    return m;
}

D3DMATRIX RotationX(float a)
{
    D3DMATRIX m = Identity();
    m._22 = std::cos(a);
    m._23 = std::sin(a);
    m._32 = -std::sin(a);
    m._33 = std::cos(a);
    return m;
}

class D3D9RasterReferenceTest : public D3D9RasterTest
{
protected:
    void Scene(float distance)
    {
        Create(96, 96);
        D3DMATRIX view = Translation(0, 0, distance), proj = Perspective(Pi / 3, 1.0f, 0.5f, 50.0f);
        dev->SetTransform(D3DTS_VIEW, &view);
        dev->SetTransform(D3DTS_PROJECTION, &proj);
        dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00203040, 1.0f, 0);
    }

    void Check(const char* name)
    {
        std::string diff = ReferenceImage::Compare(std::string("tests/Platform/data/") + name, Pixels(),
                                                   m_width, m_height, 3);
        EXPECT_EQ(diff, "");
    }
};

TEST_F(D3D9RasterReferenceTest, LitCube)
{
    Scene(4.0f);
    D3DMATRIX world = Multiply(RotationY(0.6f), RotationX(0.45f));
    dev->SetTransform(D3DTS_WORLD, &world);
    std::vector<LitVertex> v;
    const float n[6][3] = {{0, 0, -1}, {0, 0, 1}, {-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}};
    for (const auto& f : n)
    {
        // Two axes across the face, chosen so that the corners run clockwise seen from outside.
        float ax[3] = {f[1] != 0 ? 1.0f : f[2] != 0 ? -f[2] : 0.0f, 0, f[0] != 0 ? f[0] : 0.0f};
        float ay[3] = {0, f[1] != 0 ? 0.0f : 1.0f, f[1] != 0 ? f[1] : 0.0f};
        auto corner = [&](float s, float t)
        {
            return LitVertex{f[0] + s * ax[0] + t * ay[0],
                             f[1] + s * ax[1] + t * ay[1],
                             f[2] + s * ax[2] + t * ay[2],
                             f[0],
                             f[1],
                             f[2],
                             0xFFFFFFFF,
                             0,
                             0};
        };
        LitVertex a = corner(-1, 1), b = corner(1, 1), c = corner(1, -1), d = corner(-1, -1);
        for (const LitVertex& x : {a, b, c, a, c, d})
            v.push_back(x);
    }
    D3DMATERIAL9 m{};
    m.Diffuse = {0.9f, 0.6f, 0.2f, 1};
    m.Ambient = {0.9f, 0.6f, 0.2f, 1};
    dev->SetMaterial(&m);
    RenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
    RenderState(D3DRS_AMBIENT, 0x00404040);
    RenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1, 1, 1, 1};
    light.Direction = {0.4f, -0.6f, 0.7f};
    dev->SetLight(0, &light);
    dev->LightEnable(0, TRUE);
    Draw(D3DPT_TRIANGLELIST, 12, v, LitFvf);
    Check("lit_cube.png");
}

TEST_F(D3D9RasterReferenceTest, TexturedQuad)
{
    Scene(3.0f);
    D3DMATRIX world = RotationX(-1.0f);
    dev->SetTransform(D3DTS_WORLD, &world);
    RenderState(D3DRS_LIGHTING, FALSE);
    RenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    // A checker board with a full chain of levels, each level its own tint.
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(dev->CreateTexture(64, 64, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    const uint32_t tints[7] = {0xFFFFFF, 0xFFC0C0, 0xC0FFC0, 0xC0C0FF, 0xFFFFC0, 0xC0FFFF, 0xFFC0FF};
    for (UINT level = 0; level < texture->GetLevelCount(); ++level)
    {
        UINT size = 64 >> level;
        D3DLOCKED_RECT lr{};
        texture->LockRect(level, &lr, nullptr, 0);
        for (UINT y = 0; y < size; ++y)
            for (UINT x = 0; x < size; ++x)
            {
                bool dark = ((x * 8 / std::max(size, 8u)) + (y * 8 / std::max(size, 8u))) % 2;
                reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch)[x] =
                    dark ? 0xFF202020 : 0xFF000000 | tints[level];
            }
        texture->UnlockRect(level);
    }
    dev->SetTexture(0, texture);
    for (DWORD s : {D3DSAMP_MAGFILTER, D3DSAMP_MINFILTER, D3DSAMP_MIPFILTER})
        dev->SetSamplerState(0, static_cast<D3DSAMPLERSTATETYPE>(s), D3DTEXF_LINEAR);
    std::vector<LitVertex> q = {
        {-2, 0, -2, 0, 1, 0, 0xFFFFFFFF, 0, 0}, {2, 0, -2, 0, 1, 0, 0xFFFFFFFF, 4, 0},
        {2, 0, 2, 0, 1, 0, 0xFFFFFFFF, 4, 4},   {-2, 0, -2, 0, 1, 0, 0xFFFFFFFF, 0, 0},
        {2, 0, 2, 0, 1, 0, 0xFFFFFFFF, 4, 4},   {-2, 0, 2, 0, 1, 0, 0xFFFFFFFF, 0, 4}};
    Draw(D3DPT_TRIANGLELIST, 2, q, LitFvf);
    dev->SetTexture(0, nullptr);
    texture->Release();
    Check("textured_quad.png");
}

TEST_F(D3D9RasterReferenceTest, WireframeSphere)
{
    Scene(3.0f);
    D3DMATRIX world = RotationX(0.5f);
    dev->SetTransform(D3DTS_WORLD, &world);
    RenderState(D3DRS_LIGHTING, FALSE);
    RenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    const int rings = 8, segments = 12;
    std::vector<ColourVertex> v;
    std::vector<uint16_t> indices;
    for (int r = 0; r <= rings; ++r)
        for (int s = 0; s <= segments; ++s)
        {
            float th = Pi * r / rings, ph = 2 * Pi * s / segments;
            DWORD c = 0xFF000000 | (DWORD(255 * r / rings) << 16) | (DWORD(255 * s / segments) << 8) | 0xFF;
            v.push_back({std::sin(th) * std::cos(ph), std::cos(th), std::sin(th) * std::sin(ph), c});
        }
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s)
        {
            uint16_t a = uint16_t(r * (segments + 1) + s), b = uint16_t(a + 1),
                     c = uint16_t(a + segments + 1), d = uint16_t(c + 1);
            for (uint16_t i : {a, b, c, b, d, c})
                indices.push_back(i);
        }
    dev->SetFVF(ColourFvf);
    dev->BeginScene();
    ASSERT_EQ(dev->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, UINT(v.size()), UINT(indices.size() / 3),
                                          indices.data(), D3DFMT_INDEX16, v.data(), sizeof(ColourVertex)),
              D3D_OK);
    dev->EndScene();
    Check("wireframe_sphere.png");
}

TEST_F(D3D9RasterReferenceTest, PointSprites)
{
    Scene(4.0f);
    RenderState(D3DRS_LIGHTING, FALSE);
    RenderState(D3DRS_POINTSPRITEENABLE, TRUE);
    RenderState(D3DRS_POINTSCALEENABLE, TRUE);
    float size = 0.3f, zero = 0.0f, one = 1.0f;
    DWORD bits;
    std::memcpy(&bits, &size, 4);
    RenderState(D3DRS_POINTSIZE, bits);
    std::memcpy(&bits, &zero, 4);
    RenderState(D3DRS_POINTSIZE_MIN, bits);
    RenderState(D3DRS_POINTSCALE_A, bits);
    RenderState(D3DRS_POINTSCALE_B, bits);
    std::memcpy(&bits, &one, 4);
    RenderState(D3DRS_POINTSCALE_C, bits);
    RenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    RenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    RenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    RenderState(D3DRS_ZWRITEENABLE, FALSE);
    // A round blob: alpha falls off from the centre.
    std::vector<uint8_t> bytes(16 * 16 * 4);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
        {
            float d = std::hypot(x - 7.5f, y - 7.5f) / 8.0f;
            uint32_t a = uint32_t(255 * std::max(0.0f, 1.0f - d));
            uint32_t t = (a << 24) | 0xFFFFFF;
            std::memcpy(&bytes[(y * 16 + x) * 4], &t, 4);
        }
    IDirect3DTexture9* texture = Texture(16, 16, D3DFMT_A8R8G8B8, bytes);
    dev->SetTexture(0, texture);
    dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    dev->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    std::vector<ColourVertex> points;
    for (int i = 0; i < 24; ++i)
    {
        float a = 2 * Pi * i / 24;
        DWORD c = 0xFF000000 | (DWORD(128 + 127 * std::cos(a)) << 16) |
                  (DWORD(128 + 127 * std::sin(a)) << 8) | 0x80;
        points.push_back({1.5f * std::cos(a), 1.5f * std::sin(a), 2.0f * std::sin(2 * a), c});
    }
    Draw(D3DPT_POINTLIST, UINT(points.size()), points, ColourFvf);
    dev->SetTexture(0, nullptr);
    texture->Release();
    Check("point_sprites.png");
}
} // namespace

// ---- Primitive types, shading and texture transforms ---------------------------------------------

namespace
{
TEST_F(D3D9RasterTest, EveryPrimitiveTypeDrawsWhatItNames)
{
    Create(16, 16);
    RenderState(D3DRS_LIGHTING, FALSE);
    RenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    auto count = [&](uint32_t colour)
    {
        std::vector<uint32_t> px = Pixels();
        return std::count(px.begin(), px.end(), colour);
    };
    const DWORD c = 0x00FF8000;
    RhwVertex a{2, 2, 0.5f, 1, c}, b{12, 2, 0.5f, 1, c}, d{12, 12, 0.5f, 1, c}, e{2, 12, 0.5f, 1, c};
    struct Case
    {
        const char* what;
        D3DPRIMITIVETYPE type;
        UINT count;
        std::vector<RhwVertex> vertices;
        std::vector<uint32_t> indices; // 32-bit when set
        long pixels;
    };
    const std::vector<Case> cases = {
        {"triangle list", D3DPT_TRIANGLELIST, 2, {a, b, d, a, d, e}, {}, 100},
        {"triangle strip", D3DPT_TRIANGLESTRIP, 2, {a, b, e, d}, {}, 100},
        {"triangle fan", D3DPT_TRIANGLEFAN, 2, {a, b, d, e}, {}, 100},
        {"indexed, 32-bit", D3DPT_TRIANGLELIST, 2, {a, b, d, e}, {0, 1, 2, 0, 2, 3}, 100},
        // Lines of 10 pixels' length draw 11 with their last pixel (the default); a closed outline
        // shares its corners.
        {"line strip", D3DPT_LINESTRIP, 4, {a, b, d, e, a}, {}, 40},
        {"line list", D3DPT_LINELIST, 2, {a, b, d, e}, {}, 22},
        {"point list", D3DPT_POINTLIST, 4, {a, b, d, e}, {}, 4},
    };
    for (const Case& k : cases)
    {
        dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        dev->SetFVF(RhwFvf);
        dev->BeginScene();
        if (k.indices.empty())
            ASSERT_EQ(dev->DrawPrimitiveUP(k.type, k.count, k.vertices.data(), sizeof(RhwVertex)), D3D_OK);
        else
            ASSERT_EQ(dev->DrawIndexedPrimitiveUP(k.type, 0, UINT(k.vertices.size()), k.count,
                                                  k.indices.data(), D3DFMT_INDEX32, k.vertices.data(),
                                                  sizeof(RhwVertex)),
                      D3D_OK);
        dev->EndScene();
        EXPECT_EQ(count(c), k.pixels) << k.what;
    }
    RenderState(D3DRS_LASTPIXEL, FALSE);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    Draw(D3DPT_LINELIST, 2, std::vector<RhwVertex>{a, b, d, e}, RhwFvf);
    EXPECT_EQ(count(c), 20);
    EXPECT_EQ(Pixel(12, 2), 0u);
    EXPECT_EQ(Pixel(12, 12), c);

    // Points of size 3 cover 3 x 3 pixels round their centre.
    float three = 3.0f;
    DWORD bits;
    std::memcpy(&bits, &three, 4);
    RenderState(D3DRS_POINTSIZE, bits);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    Draw(D3DPT_POINTLIST, 1, std::vector<RhwVertex>{{7, 7, 0.5f, 1, c}}, RhwFvf);
    EXPECT_EQ(count(c), 9);
    EXPECT_EQ(Pixel(6, 6), c);
    EXPECT_EQ(Pixel(8, 8), c);

    // Wireframe draws the edges of the two triangles, shared diagonal included; point mode their corners.
    RenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    Draw(D3DPT_TRIANGLELIST, 2, std::vector<RhwVertex>{a, b, d, a, d, e}, RhwFvf);
    EXPECT_EQ(Pixel(7, 2), c);
    EXPECT_EQ(Pixel(7, 7), c);
    EXPECT_EQ(Pixel(8, 6), 0u);
    std::memcpy(&bits, &(three = 1.0f), 4);
    RenderState(D3DRS_POINTSIZE, bits);
    RenderState(D3DRS_FILLMODE, D3DFILL_POINT);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    Draw(D3DPT_TRIANGLELIST, 1, std::vector<RhwVertex>{a, b, d}, RhwFvf);
    EXPECT_EQ(count(c), 3);
}

TEST_F(D3D9RasterTest, FlatShadingTakesTheFirstVertexAndGouraudBlends)
{
    Create(16, 16);
    RenderState(D3DRS_LIGHTING, FALSE);
    RenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    std::vector<RhwVertex> v = {
        {0, 0, 0.5f, 1, 0x00FF0000}, {16, 0, 0.5f, 1, 0x0000FF00}, {0, 16, 0.5f, 1, 0x000000FF}};
    RenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    Draw(D3DPT_TRIANGLELIST, 1, v, RhwFvf);
    EXPECT_EQ(Pixel(5, 5), 0xFF0000u);
    RenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    Draw(D3DPT_TRIANGLELIST, 1, v, RhwFvf);
    // At (4, 4) the weights are 1/2, 1/4, 1/4.
    uint32_t p = Pixel(4, 4);
    EXPECT_NEAR(Channel(p, 16), 0.5 * 255, 1.5);
    EXPECT_NEAR(Channel(p, 8), 0.25 * 255, 1.5);
    EXPECT_NEAR(Channel(p, 0), 0.25 * 255, 1.5);
}

TEST_F(D3D9RasterSceneTest, PrimitivesAtTheBoundariesOfTheirRules)
{
    Create(16, 16);
    RenderState(D3DRS_LIGHTING, FALSE);
    auto count = [&](uint32_t colour)
    {
        std::vector<uint32_t> px = Pixels();
        return std::count(px.begin(), px.end(), colour);
    };
    const DWORD c = 0x0040C080;

    // Depth 0 lies on the near plane, inside the view: drawn, pre-transformed or projected.
    RenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    Draw(D3DPT_TRIANGLELIST, 1, std::vector<RhwVertex>{{0, 0, 0, 1, c}, {16, 0, 0, 1, c}, {0, 16, 0, 1, c}},
         RhwFvf);
    EXPECT_EQ(count(c), 136);
    D3DMATRIX id = Identity();
    for (D3DTRANSFORMSTATETYPE t : {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION})
        dev->SetTransform(t, &id);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    Draw(D3DPT_TRIANGLELIST, 2,
         std::vector<ColourVertex>{
             {-1, 1, 0, c}, {1, 1, 0, c}, {1, -1, 0, c}, {-1, 1, 0, c}, {1, -1, 0, c}, {-1, -1, 0, c}},
         ColourFvf);
    EXPECT_EQ(count(c), 256);

    // A strip under the default culling: its odd triangles are turned round, so all of them show.
    RenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    RhwVertex a{2, 2, 0.5f, 1, c}, b{12, 2, 0.5f, 1, c}, d{12, 12, 0.5f, 1, c}, e{2, 12, 0.5f, 1, c};
    Draw(D3DPT_TRIANGLESTRIP, 2, std::vector<RhwVertex>{a, b, e, d}, RhwFvf);
    EXPECT_EQ(count(c), 100);

    // A flat-shaded fan: triangle i takes the colour of fan vertex i + 1.
    RenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    RenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    Draw(D3DPT_TRIANGLEFAN, 2,
         std::vector<RhwVertex>{{1, 1, 0.5f, 1, 0x00FFFFFF},
                                {15, 1, 0.5f, 1, 0x00FF0000},
                                {15, 15, 0.5f, 1, 0x0000FF00},
                                {1, 15, 0.5f, 1, 0x000000FF}},
         RhwFvf);
    EXPECT_EQ(Pixel(12, 4), 0xFF0000u);
    EXPECT_EQ(Pixel(4, 12), 0x00FF00u);
    EXPECT_EQ(count(0xFF0000u) + count(0x00FF00u), 14 * 14);
    RenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);

    // Points cover the pixels whose centres lie in their square, left and top edges included:
    // with an even size the edges fall on pixel centres.
    struct PointCase
    {
        float x, y, size;
        int x0, y0, x1, y1; // covered pixels, inclusive
    };
    for (PointCase k : {PointCase{7, 7, 2, 6, 6, 7, 7}, PointCase{7, 7, 4, 5, 5, 8, 8},
                        PointCase{7.5f, 7.5f, 2, 7, 7, 8, 8}, PointCase{7, 7.5f, 2, 6, 7, 7, 8},
                        PointCase{7.25f, 7, 1, 7, 7, 7, 7}})
    {
        DWORD bits;
        std::memcpy(&bits, &k.size, 4);
        RenderState(D3DRS_POINTSIZE, bits);
        dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        Draw(D3DPT_POINTLIST, 1, std::vector<RhwVertex>{{k.x, k.y, 0.5f, 1, c}}, RhwFvf);
        std::vector<uint32_t> px = Pixels();
        int wrong = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                wrong += (px[y * 16 + x] == c) != (x >= k.x0 && x <= k.x1 && y >= k.y0 && y <= k.y1);
        EXPECT_EQ(wrong, 0) << k.x << ", " << k.y << " size " << k.size;
    }
}

TEST_F(D3D9RasterTest, TextureTransformScalesCoordinates)
{
    Create(16, 16);
    RenderState(D3DRS_LIGHTING, FALSE);
    std::vector<uint8_t> bytes(16);
    const uint32_t texels[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    std::memcpy(bytes.data(), texels, 16);
    IDirect3DTexture9* texture = Texture(2, 2, D3DFMT_A8R8G8B8, bytes);
    dev->SetTexture(0, texture);
    // Two-element coordinates go in as (u, v, 1, 0): scale u by 2 and shift v by a half texel row.
    D3DMATRIX m = Identity();
    m._11 = 2.0f;
    m._32 = 0.5f;
    dev->SetTransform(D3DTS_TEXTURE0, &m);
    dev->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    Draw(D3DPT_TRIANGLELIST, 2, Quad(-0.5f, -0.5f, 15.5f, 15.5f, 0xFFFFFFFF), RhwTexFvf);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
        {
            float u = (x + 0.5f) / 16 * 2, v = (y + 0.5f) / 16 + 0.5f;
            int tx = static_cast<int>(u * 2) % 2, ty = static_cast<int>(v * 2) % 2;
            ASSERT_EQ(Pixel(x, y), texels[ty * 2 + tx] & 0xFFFFFF) << x << ", " << y;
        }
    dev->SetTexture(0, nullptr);
    texture->Release();
}
} // namespace

namespace
{
TEST_F(D3D9RasterSceneTest, WildCoordinatesDrawNothingWrong)
{
    Create(32, 32);
    Camera();
    RenderState(D3DRS_LIGHTING, FALSE);
    RenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    const float nan = std::nanf(""), inf = INFINITY, huge = 3e38f;
    const DWORD c = 0x00FFFFFF;
    // Each triangle has one vertex that is no usable position; none may draw or crash.
    std::vector<ColourVertex> bad = {{nan, 0, 5, c}, {1, 0, 5, c},   {0, 1, 5, c},    {inf, 0, 5, c},
                                     {1, 0, 5, c},   {0, 1, 5, c},   {0, -inf, 5, c}, {1, 0, 5, c},
                                     {0, 1, 5, c},   {0, 0, nan, c}, {1, 0, 5, c},    {0, 1, 5, c}};
    Draw(D3DPT_TRIANGLELIST, 4, bad, ColourFvf);
    std::vector<ColourVertex> lines;
    for (size_t i = 0; i < bad.size(); i += 3)
        lines.insert(lines.end(), {bad[i], bad[i + 1]});
    Draw(D3DPT_LINELIST, 4, lines, ColourFvf);
    Draw(D3DPT_POINTLIST, 2, std::vector<ColourVertex>{{nan, 0, 5, c}, {inf, inf, inf, c}}, ColourFvf);
    for (uint32_t p : Pixels())
        ASSERT_EQ(p, 0u);
    // Huge but finite coordinates are clipped like any others: the triangle covers the view.
    std::vector<ColourVertex> wide = {{-huge, -1e30f, 5, c}, {huge, -1e30f, 5, c}, {0, 1e30f, 5, c}};
    Draw(D3DPT_TRIANGLELIST, 1, wide, ColourFvf);
    std::vector<RhwVertex> screen = {
        {-1e9f, -1e9f, 0.5f, 1, c}, {1e9f, -1e9f, 0.5f, 1, c}, {0, 1e9f, 0.5f, 1, c}};
    Draw(D3DPT_TRIANGLELIST, 1, screen, RhwFvf);
    EXPECT_EQ(Pixel(16, 16), c);
}
} // namespace

namespace
{
TEST_F(D3D9RasterTest, DrawsOfOneSceneKeepTheirOrder)
{
    Create(64, 64);
    RenderState(D3DRS_LIGHTING, FALSE);
    RenderState(D3DRS_ZENABLE, FALSE);
    std::vector<uint8_t> red(4), green(4);
    const uint32_t r = 0xFFFF0000, g = 0xFF00FF00;
    std::memcpy(red.data(), &r, 4);
    std::memcpy(green.data(), &g, 4);
    IDirect3DTexture9* texture = Texture(1, 1, D3DFMT_A8R8G8B8, red);
    dev->SetTexture(0, texture);
    dev->SetFVF(RhwTexFvf);
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    // Many overlapping draws, big (split over threads) and small: the last one drawn shows.
    for (int i = 0; i < 40; ++i)
    {
        std::vector<RhwTexVertex> q;
        int cells = i % 2 ? 1 : 40; // a quad, or a grid of 40 x 40 quads over the same area
        for (int y = 0; y < cells; ++y)
            for (int x = 0; x < cells; ++x)
            {
                float s = 64.0f / cells;
                auto quad = Quad(x * s, y * s, (x + 1) * s, (y + 1) * s, 0xFF000000u | DWORD(i * 6));
                q.insert(q.end(), quad.begin(), quad.end());
            }
        dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
        dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        ASSERT_EQ(
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, UINT(q.size() / 3), q.data(), sizeof(RhwTexVertex)),
            D3D_OK);
    }
    // A texture changed between two draws of one scene: each draw shows the texels of its time.
    dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    auto left = Quad(0, 0, 32, 8, 0xFFFFFFFF), right = Quad(32, 0, 64, 8, 0xFFFFFFFF);
    ASSERT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, left.data(), sizeof(RhwTexVertex)), D3D_OK);
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(texture->LockRect(0, &lr, nullptr, 0), D3D_OK);
    std::memcpy(lr.pBits, green.data(), 4);
    texture->UnlockRect(0);
    ASSERT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, right.data(), sizeof(RhwTexVertex)), D3D_OK);
    // The texture may go while its draw waits.
    dev->SetTexture(0, nullptr);
    texture->Release();
    ASSERT_EQ(dev->EndScene(), D3D_OK);
    EXPECT_EQ(Pixel(10, 4), 0xFF0000u);
    EXPECT_EQ(Pixel(50, 4), 0x00FF00u);
    std::vector<uint32_t> px = Pixels();
    for (int y = 8; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(px[y * 64 + x], DWORD(39 * 6)) << x << ", " << y;
}
} // namespace

namespace
{
TEST_F(D3D9RasterSceneTest, MaterialSourcesAndSpecular)
{
    Create(64, 64);
    Camera();
    struct V
    {
        float x, y, z, nx, ny, nz;
        DWORD diffuse;
    };
    const DWORD vc = 0xFF408020;
    std::vector<V> quad = {{-1, 1, 5, 0, 0, -1, vc}, {1, 1, 5, 0, 0, -1, vc},  {1, -1, 5, 0, 0, -1, vc},
                           {-1, 1, 5, 0, 0, -1, vc}, {1, -1, 5, 0, 0, -1, vc}, {-1, -1, 5, 0, 0, -1, vc}};
    D3DMATERIAL9 m{};
    m.Diffuse = {0.5f, 0.5f, 0.5f, 1};
    m.Specular = {0.25f, 0.5f, 0.75f, 1};
    m.Power = 8.0f;
    dev->SetMaterial(&m);
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1, 1, 1, 1};
    light.Specular = {1, 1, 1, 1};
    light.Direction = {0, 0, 1}; // straight onto the quad: N.L = 1
    dev->SetLight(0, &light);
    dev->LightEnable(0, TRUE);
    const DWORD fvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE;
    struct Case
    {
        BOOL colourVertex;
        DWORD source;
        BOOL specular;
        float r, g, b;
    };
    const float vr = 0x40 / 255.0f, vg = 0x80 / 255.0f, vb = 0x20 / 255.0f;
    // With the viewer far away along the axis the half vector is the normal: N.H = 1.
    for (Case c :
         {Case{TRUE, D3DMCS_COLOR1, FALSE, vr, vg, vb}, Case{FALSE, D3DMCS_COLOR1, FALSE, 0.5f, 0.5f, 0.5f},
          Case{TRUE, D3DMCS_MATERIAL, FALSE, 0.5f, 0.5f, 0.5f},
          Case{TRUE, D3DMCS_COLOR1, TRUE, vr + 0.25f, vg + 0.5f, vb + 0.75f}})
    {
        RenderState(D3DRS_COLORVERTEX, c.colourVertex);
        RenderState(D3DRS_DIFFUSEMATERIALSOURCE, c.source);
        RenderState(D3DRS_SPECULARENABLE, c.specular);
        RenderState(D3DRS_LOCALVIEWER, FALSE);
        dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        Draw(D3DPT_TRIANGLELIST, 2, quad, fvf);
        ExpectColour(Pixel(32, 32), std::min(1.0f, c.r), std::min(1.0f, c.g), std::min(1.0f, c.b),
                     "material source");
    }
}
} // namespace

namespace
{
TEST_F(D3D9RasterTest, DrawingIntoTheTextureItSamplesIsSafe)
{
    Create(16, 16);
    RenderState(D3DRS_LIGHTING, FALSE);
    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(dev->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_R5G6B5, D3DPOOL_DEFAULT, &target,
                                 nullptr),
              D3D_OK);
    IDirect3DSurface9* level = nullptr;
    target->GetSurfaceLevel(0, &level);
    ASSERT_EQ(dev->SetRenderTarget(0, level), D3D_OK);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00FF0000, 1.0f, 0);
    dev->SetTexture(0, target);
    dev->SetFVF(RhwTexFvf);
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    // What such a draw shows is not defined; it must neither crash nor read freed texels.
    auto q = Quad(-0.5f, -0.5f, 15.5f, 15.5f, 0xFFFFFFFF);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, q.data(), sizeof(RhwTexVertex)), D3D_OK);
    ASSERT_EQ(dev->EndScene(), D3D_OK);
    IDirect3DSurface9* back = nullptr;
    dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
    dev->SetRenderTarget(0, back);
    back->Release();
    // Sampled afterwards, the texture shows what was drawn into it.
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    Draw(D3DPT_TRIANGLELIST, 2, q, RhwTexFvf);
    EXPECT_EQ(Pixel(8, 8), 0xFF0000u);
    dev->SetTexture(0, nullptr);
    level->Release();
    target->Release();
}
// ---- Quick pixel loops -----------------------------------------------------------------------------

TEST_F(D3D9RasterTest, QuickPixelLoopsGiveTheGeneralStagesPixels)
{
    Create(64, 64);
    ISoftDevice9* soft = nullptr;
    ASSERT_EQ(dev->QueryInterface(IID_ISoftDevice9, reinterpret_cast<void**>(&soft)), S_OK);
    // A texture of seeded colours and alphas, 8 x 8, wrapped.
    std::vector<uint8_t> texels(8 * 8 * 4);
    uint32_t seed = 12345;
    for (uint8_t& b : texels)
    {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(seed >> 16);
    }
    IDirect3DTexture9* texture = Texture(8, 8, D3DFMT_A8R8G8B8, texels);
    auto quad =
        [](float x0, float y0, float x1, float y1, DWORD c0, DWORD c1, float z0 = 0.5f, float z1 = 0.5f)
    {
        return std::vector<RhwTexVertex>{{x0, y0, z0, 1, c0, 0, 0},    {x1, y0, z1, 1, c1, 1.5f, 0},
                                         {x1, y1, z1, 1, c0, 1.5f, 2}, {x0, y0, z0, 1, c0, 0, 0},
                                         {x1, y1, z1, 1, c0, 1.5f, 2}, {x0, y1, z0, 1, c1, 0, 2}};
    };
    // Every form the quick loops take, each drawn over what the ones before left.
    auto scene = [&]
    {
        dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00406080, 1.0f, 0);
        RenderState(D3DRS_LIGHTING, FALSE);
        RenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        RenderState(D3DRS_ZENABLE, FALSE);
        dev->SetTexture(0, nullptr);
        // One colour all over, then a colour gradient, opaque.
        Draw(D3DPT_TRIANGLELIST, 2, quad(0, 0, 40, 30, 0xFFC08040, 0xFFC08040), RhwTexFvf);
        Draw(D3DPT_TRIANGLELIST, 2, quad(30, 20, 64, 50, 0xFF102030, 0xFFF0E0D0), RhwTexFvf);
        // Blended: one colour, a gradient of colour and alpha.
        RenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        RenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        RenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        Draw(D3DPT_TRIANGLELIST, 2, quad(5, 5, 50, 45, 0x80336699, 0x80336699), RhwTexFvf);
        Draw(D3DPT_TRIANGLELIST, 2, quad(10, 30, 60, 64, 0x10FF0000, 0xF000FF80), RhwTexFvf);
        // Narrow ones, whose rows are walked rather than solved.
        Draw(D3DPT_TRIANGLELIST, 2, quad(50.5f, 2, 61, 60.5f, 0x90A0B0C0, 0x90A0B0C0), RhwTexFvf);
        Draw(D3DPT_TRIANGLELIST, 2, quad(3, 20.5f, 14.5f, 63, 0x20A0B0C0, 0xE0102030), RhwTexFvf);
        // Alpha test: a level quad that fails it whole, a gradient that passes it in part.
        RenderState(D3DRS_ALPHATESTENABLE, TRUE);
        RenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
        RenderState(D3DRS_ALPHAREF, 0x60);
        Draw(D3DPT_TRIANGLELIST, 2, quad(0, 0, 64, 64, 0x50FFFFFF, 0x50FFFFFF), RhwTexFvf);
        Draw(D3DPT_TRIANGLELIST, 2, quad(0, 10, 64, 40, 0x00000000, 0xFFFFFFFF), RhwTexFvf);
        RenderState(D3DRS_ALPHATESTENABLE, FALSE);
        // Textured and blended: texture x diffuse with the texture's alpha, point then linear, then
        // alpha modulated too.
        dev->SetTexture(0, texture);
        Draw(D3DPT_TRIANGLELIST, 2, quad(2, 2, 34, 34, 0xFFFFFFFF, 0xFF8080FF), RhwTexFvf);
        dev->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        dev->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        Draw(D3DPT_TRIANGLELIST, 2, quad(30, 2, 62, 34, 0xFFFFFFFF, 0xFF80FF80), RhwTexFvf);
        dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        dev->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        Draw(D3DPT_TRIANGLELIST, 2, quad(16, 30, 48, 62, 0xC0FFFFFF, 0x40FFFFFF), RhwTexFvf);
        dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        dev->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        dev->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
        dev->SetTexture(0, nullptr);
        // Depth: one colour over a slope of depths, tested against what the slope before wrote.
        RenderState(D3DRS_ZENABLE, TRUE);
        RenderState(D3DRS_ZFUNC, D3DCMP_LESS);
        Draw(D3DPT_TRIANGLELIST, 2, quad(0, 0, 64, 64, 0xA0204060, 0xA0204060, 0.2f, 0.8f), RhwTexFvf);
        Draw(D3DPT_TRIANGLELIST, 2, quad(0, 0, 64, 64, 0xC0E0C0A0, 0xC0E0C0A0, 0.8f, 0.2f), RhwTexFvf);
        RenderState(D3DRS_ZENABLE, FALSE);
        RenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        return Pixels();
    };
    std::vector<uint32_t> quick = scene();
    soft->EnableQuickPixels(false);
    std::vector<uint32_t> general = scene();
    soft->EnableQuickPixels(true);
    size_t drawn = 0, different = 0;
    for (size_t i = 0; i < quick.size(); ++i)
    {
        drawn += general[i] != 0x406080u;
        if (quick[i] != general[i] && different++ < 5)
            ADD_FAILURE() << "pixel " << i % 64 << "," << i / 64 << ": " << std::hex << quick[i]
                          << " against " << general[i];
    }
    EXPECT_EQ(different, 0u);
    EXPECT_GT(drawn, 64u * 60u);
    texture->Release();
    soft->Release();
}

// ---- The unused bits of a target -------------------------------------------------------------------

// A target without alpha (X8R8G8B8, X1R5G5B5) carries the same unused bits in every pixel, whatever
// wrote it and also where nothing did, so that readers taking them as alpha (image files) see one
// value; a target with alpha keeps what each path wrote.
TEST_F(D3D9RasterTest, UnusedBitsAreAlikeWhateverWroteThePixel)
{
    Create(64, 64);
    ISoftDevice9* soft = nullptr;
    ASSERT_EQ(dev->QueryInterface(IID_ISoftDevice9, reinterpret_cast<void**>(&soft)), S_OK);
    IDirect3DTexture9* texture = Texture(
        2, 2, D3DFMT_A8R8G8B8,
        {0x10, 0x20, 0x30, 0x30, 0x40, 0x50, 0x60, 0x30, 0x70, 0x80, 0x90, 0x30, 0xA0, 0xB0, 0xC0, 0x30});
    RenderState(D3DRS_LIGHTING, FALSE);
    RenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    RenderState(D3DRS_ZENABLE, FALSE);
    auto state = [&](D3DRENDERSTATETYPE s, DWORD on, DWORD off, const std::function<void()>& draw)
    {
        RenderState(s, on);
        draw();
        RenderState(s, off);
    };
    // Each path writes alpha 0x30 (a clear 0x50) into a 10 x 10 cell of its own; the rest is untouched.
    constexpr DWORD A = 0x30000000;
    using Path = std::function<void(float x, float y)>;
    const Path level = [&](float x, float y)
    { Draw(D3DPT_TRIANGLELIST, 2, Quad(x, y, x + 10, y + 10, A | 0x804020), RhwTexFvf); };
    const Path gradient = [&](float x, float y)
    {
        Draw(D3DPT_TRIANGLELIST, 1,
             std::vector<RhwVertex>{{x, y, 0.5f, 1, A | 0xFF0000},
                                    {x + 10, y, 0.5f, 1, A | 0xFF00},
                                    {x, y + 10, 0.5f, 1, A | 0xFF}},
             RhwFvf);
    };
    const Path textured = [&](float x, float y)
    {
        dev->SetTexture(0, texture);
        level(x, y);
        dev->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        Draw(D3DPT_TRIANGLELIST, 2, Quad(x + 5, y, x + 10, y + 10, A | 0xFFFFFF, 3, 3), RhwTexFvf);
        dev->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        dev->SetTexture(0, nullptr);
    };
    const Path blended = [&](float x, float y)
    {
        RenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        RenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        state(D3DRS_ALPHABLENDENABLE, TRUE, FALSE,
              [&]
              {
                  level(x, y);
                  gradient(x, y);
                  textured(x, y);
              });
    };
    const std::vector<std::pair<const char*, Path>> paths = {
        {"clear",
         [&](float x, float y)
         {
             D3DRECT r{LONG(x), LONG(y), LONG(x) + 10, LONG(y) + 10};
             ASSERT_EQ(dev->Clear(1, &r, D3DCLEAR_TARGET, 0x50102030, 1.0f, 0), D3D_OK);
         }},
        {"one colour", level},
        {"gradient", gradient},
        {"textured", textured},
        {"blended", blended},
        {"depth tested",
         [&](float x, float y)
         {
             state(D3DRS_ZENABLE, TRUE, FALSE,
                   [&]
                   {
                       level(x, y);
                       gradient(x, y);
                   });
         }},
        {"colour channels only",
         [&](float x, float y)
         {
             state(D3DRS_COLORWRITEENABLE, 7, 15,
                   [&]
                   {
                       level(x, y);
                       blended(x, y);
                   });
         }},
        {"specular",
         [&](float x, float y) { state(D3DRS_SPECULARENABLE, TRUE, FALSE, [&] { gradient(x, y); }); }},
        {"flat wireframe",
         [&](float x, float y)
         {
             state(D3DRS_SHADEMODE, D3DSHADE_FLAT, D3DSHADE_GOURAUD,
                   [&] { state(D3DRS_FILLMODE, D3DFILL_WIREFRAME, D3DFILL_SOLID, [&] { gradient(x, y); }); });
         }},
        {"lines and points",
         [&](float x, float y)
         {
             std::vector<RhwVertex> v{
                 {x, y, 0.5f, 1, A | 0xFF}, {x + 9, y + 7, 0.5f, 1, A | 0xFF00}, {x + 2, y + 9, 0.5f, 1, A}};
             Draw(D3DPT_LINESTRIP, 2, v, RhwFvf);
             Draw(D3DPT_POINTLIST, 3, v, RhwFvf);
         }},
        {"point sprites",
         [&](float x, float y)
         {
             float size = 6.0f;
             DWORD bits;
             std::memcpy(&bits, &size, 4);
             RenderState(D3DRS_POINTSIZE, bits);
             state(D3DRS_POINTSPRITEENABLE, TRUE, FALSE,
                   [&] {
                       Draw(D3DPT_POINTLIST, 1, std::vector<RhwVertex>{{x + 5, y + 5, 0.5f, 1, A | 0xFFFF}},
                            RhwFvf);
                   });
         }},
    };
    struct Target
    {
        D3DFORMAT format;
        UINT bytes;
        uint32_t unused; // 0: the format has alpha
    };
    for (const Target& t : {Target{D3DFMT_X8R8G8B8, 4, 0xFF000000u}, Target{D3DFMT_X1R5G5B5, 2, 0x8000u},
                            Target{D3DFMT_A8R8G8B8, 4, 0u}})
        for (bool quick : {true, false})
        {
            SCOPED_TRACE(std::to_string(t.format) + (quick ? " quick" : " general"));
            soft->EnableQuickPixels(quick);
            IDirect3DSurface9* target = nullptr;
            ASSERT_EQ(
                dev->CreateRenderTarget(64, 64, t.format, D3DMULTISAMPLE_NONE, 0, FALSE, &target, nullptr),
                D3D_OK);
            ASSERT_EQ(dev->SetRenderTarget(0, target), D3D_OK);
            for (size_t i = 0; i < paths.size(); ++i)
                paths[i].second(float(i % 5 * 12), float(i / 5 * 12));
            D3DLOCKED_RECT lr{};
            ASSERT_EQ(target->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
            std::set<uint32_t> alphas;
            for (size_t i = 0; i < paths.size(); ++i)
            {
                // The cell of each path with the gaps right of and below it.
                std::set<uint32_t> cell;
                for (UINT y = UINT(i / 5 * 12); y < UINT(i / 5 * 12 + 12); ++y)
                    for (UINT x = UINT(i % 5 * 12); x < UINT(i % 5 * 12 + 12); ++x)
                    {
                        uint32_t word = 0;
                        std::memcpy(&word, static_cast<const uint8_t*>(lr.pBits) + y * lr.Pitch + x * t.bytes,
                                    t.bytes);
                        cell.insert(t.unused ? word & t.unused : word >> 24);
                    }
                if (t.unused)
                    EXPECT_EQ(cell, std::set<uint32_t>{t.unused}) << paths[i].first;
                else
                    alphas.insert(cell.begin(), cell.end());
            }
            target->UnlockRect();
            if (!t.unused)
            {
                // Untouched, drawn, cleared: each as written.
                for (uint32_t a : {0x00u, 0x30u, 0x50u})
                    EXPECT_EQ(alphas.count(a), 1u) << a;
            }
            IDirect3DSurface9* back = nullptr;
            dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
            dev->SetRenderTarget(0, back);
            back->Release();
            target->Release();
        }
    soft->EnableQuickPixels(true);
    texture->Release();
    soft->Release();
}
} // namespace
