// The pixel stage of the software device: texture sampling, the texture stages, blending, the depth
// and alpha tests, and the loops that rasterise one primitive within one tile. Internal to the
// device library; included by the tiles' code only.
#pragma once

#include "Platform/D3D9/Device/Pipeline.h"
#include "Platform/D3D9/PixelFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace Soft9::Pixels
{
constexpr float SubPixel = static_cast<float>(1 << SubPixelBits);

// ---- Small arithmetic ------------------------------------------------------------------------------

inline int Mul255(int a, int b)
{
    int t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

inline int Clamp255(int v)
{
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

inline int ToByte(float v)
{
    if (!(v > 0.0f))
        return 0;
    if (v >= 255.0f)
        return 255;
    return static_cast<int>(v + 0.5f);
}

// Floor that stays defined for any float: huge values and NaN are pinned first.
inline int FloorInt(float f)
{
    if (!(f > -1e9f))
        f = -1e9f;
    if (!(f < 1e9f))
        f = 1e9f;
    int i = static_cast<int>(f);
    return f < static_cast<float>(i) ? i - 1 : i;
}

struct Rgba
{
    int r, g, b, a;
};

inline Rgba Unpack(uint32_t c)
{
    return Rgba{static_cast<int>((c >> 16) & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>(c & 0xFF), static_cast<int>(c >> 24)};
}

inline uint32_t Pack(const Rgba& c)
{
    return (static_cast<uint32_t>(c.a) << 24) | (static_cast<uint32_t>(c.r) << 16) |
           (static_cast<uint32_t>(c.g) << 8) | static_cast<uint32_t>(c.b);
}

inline bool Compare(DWORD func, uint32_t value, uint32_t reference)
{
    switch (func)
    {
    case D3DCMP_NEVER:
        return false;
    case D3DCMP_LESS:
        return value < reference;
    case D3DCMP_EQUAL:
        return value == reference;
    case D3DCMP_LESSEQUAL:
        return value <= reference;
    case D3DCMP_GREATER:
        return value > reference;
    case D3DCMP_NOTEQUAL:
        return value != reference;
    case D3DCMP_GREATEREQUAL:
        return value >= reference;
    default:
        return true;
    }
}

// ---- Texture sampling ------------------------------------------------------------------------------

inline int Address(int i, int size, DWORD mode, bool& border)
{
    switch (mode)
    {
    case D3DTADDRESS_MIRROR:
    {
        int period = 2 * size;
        int m = i % period;
        if (m < 0)
            m += period;
        return m < size ? m : period - 1 - m;
    }
    case D3DTADDRESS_CLAMP:
        return i < 0 ? 0 : i >= size ? size - 1 : i;
    case D3DTADDRESS_BORDER:
        if (i < 0 || i >= size)
        {
            border = true;
            return 0;
        }
        return i;
    case D3DTADDRESS_MIRRORONCE:
    {
        int m = i < 0 ? -i - 1 : i;
        return m >= size ? size - 1 : m;
    }
    default: // wrap
    {
        if ((size & (size - 1)) == 0)
            return i & (size - 1);
        int m = i % size;
        return m < 0 ? m + size : m;
    }
    }
}

inline uint32_t Texel(const TextureView& t, int level, int x, int y)
{
    if (t.wrapPow2)
    {
        int w = t.width[level];
        return t.texels[level][static_cast<size_t>(y & (t.height[level] - 1)) * static_cast<size_t>(w) +
                               static_cast<size_t>(x & (w - 1))];
    }
    bool border = false;
    int w = t.width[level], h = t.height[level];
    int ax = Address(x, w, t.addressU, border);
    int ay = Address(y, h, t.addressV, border);
    if (border)
        return t.border;
    return t.texels[level][static_cast<size_t>(ay) * static_cast<size_t>(w) + static_cast<size_t>(ax)];
}

inline uint32_t SamplePoint(const TextureView& t, int level, float u, float v)
{
    return Texel(t, level, FloorInt(u * static_cast<float>(t.width[level])),
                 FloorInt(v * static_cast<float>(t.height[level])));
}

inline uint32_t Lerp4(uint32_t a, uint32_t b, int f) // f in 0..256
{
    uint32_t rbA = a & 0x00FF00FFu, gaA = (a >> 8) & 0x00FF00FFu;
    uint32_t rbB = b & 0x00FF00FFu, gaB = (b >> 8) & 0x00FF00FFu;
    uint32_t uf = static_cast<uint32_t>(f), inv = 256u - uf;
    uint32_t rb = ((rbA * inv + rbB * uf) >> 8) & 0x00FF00FFu;
    uint32_t ga = ((gaA * inv + gaB * uf) >> 8) & 0x00FF00FFu;
    return rb | (ga << 8);
}

inline uint32_t SampleLinear(const TextureView& t, int level, float u, float v)
{
    float fu = u * static_cast<float>(t.width[level]) - 0.5f;
    float fv = v * static_cast<float>(t.height[level]) - 0.5f;
    int x0 = FloorInt(fu), y0 = FloorInt(fv);
    int wx = static_cast<int>((fu - static_cast<float>(x0)) * 256.0f);
    int wy = static_cast<int>((fv - static_cast<float>(y0)) * 256.0f);
    wx = std::clamp(wx, 0, 256);
    wy = std::clamp(wy, 0, 256);
    uint32_t top = Lerp4(Texel(t, level, x0, y0), Texel(t, level, x0 + 1, y0), wx);
    uint32_t bottom = Lerp4(Texel(t, level, x0, y0 + 1), Texel(t, level, x0 + 1, y0 + 1), wx);
    return Lerp4(top, bottom, wy);
}

inline uint32_t SampleLevel(const TextureView& t, DWORD filter, int level, float u, float v)
{
    return filter == D3DTEXF_POINT || filter == D3DTEXF_NONE ? SamplePoint(t, level, u, v)
                                                             : SampleLinear(t, level, u, v);
}

// `lod` is log2 of the texels a pixel spans on level 0 (0 when unknown).
inline uint32_t Sample(const TextureView& t, float u, float v, float lod)
{
    lod += t.lodBias;
    if (lod <= 0.0f || t.levels == 1)
        return SampleLevel(t, lod <= 0.0f ? t.magFilter : t.minFilter, t.firstLevel, u, v);
    int last = t.levels - 1;
    if (t.mipFilter == D3DTEXF_NONE)
        return SampleLevel(t, t.minFilter, t.firstLevel, u, v);
    if (t.mipFilter == D3DTEXF_POINT)
    {
        int level = std::min(last, t.firstLevel + static_cast<int>(lod + 0.5f));
        return SampleLevel(t, t.minFilter, level, u, v);
    }
    int base = static_cast<int>(lod);
    int l0 = std::min(last, t.firstLevel + base), l1 = std::min(last, l0 + 1);
    int f = static_cast<int>((lod - static_cast<float>(base)) * 256.0f);
    return Lerp4(SampleLevel(t, t.minFilter, l0, u, v), SampleLevel(t, t.minFilter, l1, u, v),
                 std::clamp(f, 0, 256));
}

// ---- Texture stages --------------------------------------------------------------------------------

struct StageInputs
{
    Rgba diffuse, specular, factor, texture, current, temp, constant;
};

inline Rgba Arg(DWORD arg, const StageInputs& in)
{
    Rgba c;
    switch (arg & D3DTA_SELECTMASK)
    {
    case D3DTA_DIFFUSE:
        c = in.diffuse;
        break;
    case D3DTA_TEXTURE:
        c = in.texture;
        break;
    case D3DTA_TFACTOR:
        c = in.factor;
        break;
    case D3DTA_SPECULAR:
        c = in.specular;
        break;
    case D3DTA_TEMP:
        c = in.temp;
        break;
    case D3DTA_CONSTANT:
        c = in.constant;
        break;
    default:
        c = in.current;
        break;
    }
    if (arg & D3DTA_COMPLEMENT)
        c = Rgba{255 - c.r, 255 - c.g, 255 - c.b, 255 - c.a};
    if (arg & D3DTA_ALPHAREPLICATE)
        c.r = c.g = c.b = c.a;
    return c;
}

// One channel of an operation; `alpha` values of the arguments and inputs for the blends.
inline int Op(DWORD op, int a0, int a1, int a2, int a1Alpha, const StageInputs& in)
{
    switch (op)
    {
    case D3DTOP_SELECTARG1:
        return a1;
    case D3DTOP_SELECTARG2:
        return a2;
    case D3DTOP_MODULATE:
        return Mul255(a1, a2);
    case D3DTOP_MODULATE2X:
        return Clamp255(2 * Mul255(a1, a2));
    case D3DTOP_MODULATE4X:
        return Clamp255(4 * Mul255(a1, a2));
    case D3DTOP_ADD:
        return Clamp255(a1 + a2);
    case D3DTOP_ADDSIGNED:
        return Clamp255(a1 + a2 - 128);
    case D3DTOP_ADDSIGNED2X:
        return Clamp255(2 * (a1 + a2 - 128));
    case D3DTOP_SUBTRACT:
        return Clamp255(a1 - a2);
    case D3DTOP_ADDSMOOTH:
        return Clamp255(a1 + a2 - Mul255(a1, a2));
    case D3DTOP_BLENDDIFFUSEALPHA:
        return Mul255(a1, in.diffuse.a) + Mul255(a2, 255 - in.diffuse.a);
    case D3DTOP_BLENDTEXTUREALPHA:
        return Mul255(a1, in.texture.a) + Mul255(a2, 255 - in.texture.a);
    case D3DTOP_BLENDFACTORALPHA:
        return Mul255(a1, in.factor.a) + Mul255(a2, 255 - in.factor.a);
    case D3DTOP_BLENDCURRENTALPHA:
        return Mul255(a1, in.current.a) + Mul255(a2, 255 - in.current.a);
    case D3DTOP_BLENDTEXTUREALPHAPM:
        return Clamp255(a1 + Mul255(a2, 255 - in.texture.a));
    case D3DTOP_MODULATEALPHA_ADDCOLOR:
        return Clamp255(a1 + Mul255(a1Alpha, a2));
    case D3DTOP_MODULATECOLOR_ADDALPHA:
        return Clamp255(Mul255(a1, a2) + a1Alpha);
    case D3DTOP_MODULATEINVALPHA_ADDCOLOR:
        return Clamp255(Mul255(255 - a1Alpha, a2) + a1);
    case D3DTOP_MODULATEINVCOLOR_ADDALPHA:
        return Clamp255(Mul255(255 - a1, a2) + a1Alpha);
    case D3DTOP_MULTIPLYADD:
        return Clamp255(a0 + Mul255(a1, a2));
    case D3DTOP_LERP:
        return Clamp255(Mul255(a0, a1) + Mul255(255 - a0, a2));
    default: // operations without a meaning here pass the current value on
        return -1;
    }
}

inline void RunStages(const DrawSetup& s, StageInputs& in, const uint32_t* texels)
{
    for (unsigned i = 0; i < s.stageCount; ++i)
    {
        const StageSetup& st = s.stages[i];
        in.texture = st.texSlot >= 0 ? Unpack(texels[st.texSlot]) : Rgba{255, 255, 255, 255};
        in.constant = Unpack(st.constant);
        Rgba out = in.current;
        bool dot3 = st.colorOp == D3DTOP_DOTPRODUCT3;
        if (!st.skipColour && dot3)
        {
            Rgba c1 = Arg(st.colorArg1, in), c2 = Arg(st.colorArg2, in);
            int dot = (c1.r - 128) * (c2.r - 128) + (c1.g - 128) * (c2.g - 128) + (c1.b - 128) * (c2.b - 128);
            out.r = out.g = out.b = out.a = Clamp255(dot * 4 / 255);
        }
        else if (!st.skipColour)
        {
            Rgba c0 = Arg(st.colorArg0, in), c1 = Arg(st.colorArg1, in), c2 = Arg(st.colorArg2, in);
            int r = Op(st.colorOp, c0.r, c1.r, c2.r, c1.a, in);
            if (r >= 0)
            {
                out.r = r;
                out.g = Op(st.colorOp, c0.g, c1.g, c2.g, c1.a, in);
                out.b = Op(st.colorOp, c0.b, c1.b, c2.b, c1.a, in);
            }
        }
        if (!st.skipAlpha && !(dot3 && !st.skipColour) && st.alphaOp != D3DTOP_DISABLE)
        {
            int a0 = Arg(st.alphaArg0, in).a, a1 = Arg(st.alphaArg1, in).a, a2 = Arg(st.alphaArg2, in).a;
            int a = Op(st.alphaOp, a0, a1, a2, a1, in);
            if (a >= 0)
                out.a = a;
        }
        if ((st.resultArg & D3DTA_SELECTMASK) == D3DTA_TEMP)
            in.temp = out;
        else
            in.current = out;
    }
}

// ---- Blending --------------------------------------------------------------------------------------

inline int Factor(DWORD f, int channel, const Rgba& src, const Rgba& dst, const Rgba& blendFactor, bool alpha)
{
    (void)alpha;
    switch (f)
    {
    case D3DBLEND_ZERO:
        return 0;
    case D3DBLEND_ONE:
        return 255;
    case D3DBLEND_SRCCOLOR:
        return (&src.r)[channel];
    case D3DBLEND_INVSRCCOLOR:
        return 255 - (&src.r)[channel];
    case D3DBLEND_SRCALPHA:
        return src.a;
    case D3DBLEND_INVSRCALPHA:
        return 255 - src.a;
    case D3DBLEND_DESTALPHA:
        return dst.a;
    case D3DBLEND_INVDESTALPHA:
        return 255 - dst.a;
    case D3DBLEND_DESTCOLOR:
        return (&dst.r)[channel];
    case D3DBLEND_INVDESTCOLOR:
        return 255 - (&dst.r)[channel];
    case D3DBLEND_SRCALPHASAT:
        return channel == 3 ? 255 : std::min(src.a, 255 - dst.a);
    case D3DBLEND_BOTHSRCALPHA:
        return src.a;
    case D3DBLEND_BOTHINVSRCALPHA:
        return 255 - src.a;
    case D3DBLEND_BLENDFACTOR:
        return (&blendFactor.r)[channel];
    case D3DBLEND_INVBLENDFACTOR:
        return 255 - (&blendFactor.r)[channel];
    default:
        return 255;
    }
}

inline int BlendChannel(DWORD op, int s, int d)
{
    switch (op)
    {
    case D3DBLENDOP_SUBTRACT:
        return Clamp255(s - d);
    case D3DBLENDOP_REVSUBTRACT:
        return Clamp255(d - s);
    case D3DBLENDOP_MIN:
        return std::min(s, d);
    case D3DBLENDOP_MAX:
        return std::max(s, d);
    default:
        return Clamp255(s + d);
    }
}

inline Rgba Blend(const DrawSetup& s, const Rgba& src, const Rgba& dst)
{
    Rgba bf = Unpack(s.blendFactor);
    DWORD srcB = s.srcBlend, dstB = s.destBlend;
    // BOTHSRCALPHA as a source factor sets the destination factor too.
    if (srcB == D3DBLEND_BOTHSRCALPHA)
        dstB = D3DBLEND_INVSRCALPHA;
    else if (srcB == D3DBLEND_BOTHINVSRCALPHA)
        dstB = D3DBLEND_SRCALPHA;
    Rgba out;
    int* o = &out.r;
    const int* sp = &src.r;
    const int* dp = &dst.r;
    for (int c = 0; c < 3; ++c)
    {
        if (s.blendOp == D3DBLENDOP_MIN || s.blendOp == D3DBLENDOP_MAX)
            o[c] = BlendChannel(s.blendOp, sp[c], dp[c]);
        else
            o[c] = BlendChannel(s.blendOp, Mul255(sp[c], Factor(srcB, c, src, dst, bf, false)),
                                Mul255(dp[c], Factor(dstB, c, src, dst, bf, false)));
    }
    DWORD sa = srcB, da = dstB, opA = s.blendOp;
    if (s.separateAlpha)
    {
        sa = s.srcBlendAlpha;
        da = s.destBlendAlpha;
        opA = s.blendOpAlpha;
    }
    if (opA == D3DBLENDOP_MIN || opA == D3DBLENDOP_MAX)
        out.a = BlendChannel(opA, src.a, dst.a);
    else
        out.a = BlendChannel(opA, Mul255(src.a, Factor(sa, 3, src, dst, bf, true)),
                             Mul255(dst.a, Factor(da, 3, src, dst, bf, true)));
    return out;
}

// ---- The pixel stage -------------------------------------------------------------------------------

inline float Eval(const float* plane, float x, float y)
{
    return plane[2] + plane[0] * x + plane[1] * y;
}

inline uint32_t DepthValue(int kind, float z)
{
    z = z < 0.0f ? 0.0f : z > 1.0f ? 1.0f : z;
    switch (kind)
    {
    case 1:
        return static_cast<uint32_t>(z * 65535.0f + 0.5f);
    case 2:
        return static_cast<uint32_t>(z * 16777215.0f + 0.5f);
    default:
        return static_cast<uint32_t>(static_cast<double>(z) * 4294967295.0);
    }
}

// Shades one pixel at (px, py); the planes are evaluated at (fx, fy). `sprite` gives the texture
// coordinates of a point sprite, null otherwise.
__attribute__((always_inline)) inline void ShadePixel(const DrawSetup& s, const Prim& prim,
                                                      const float* planes, float fx, float fy, int px, int py,
                                                      const float* sprite)
{
    // Depth first: it needs nothing but z.
    uint8_t* depthAt = nullptr;
    uint32_t depth = 0;
    if (s.depthKind != 0 && (s.zTest || s.zWrite))
    {
        depth = DepthValue(s.depthKind, Eval(planes, fx, fy));
        depthAt = s.depth + static_cast<size_t>(py) * s.depthPitch;
        if (s.zTest)
        {
            uint32_t stored;
            if (s.depthKind == 1)
                stored = reinterpret_cast<const uint16_t*>(depthAt)[px];
            else if (s.depthKind == 2)
                stored = reinterpret_cast<const uint32_t*>(depthAt)[px] >> 8;
            else
                stored = reinterpret_cast<const uint32_t*>(depthAt)[px];
            if (!Compare(s.zFunc, depth, stored))
                return;
        }
    }

    float iw = Eval(planes + 3, fx, fy);
    float w = iw != 0.0f ? 1.0f / iw : 0.0f;
    StageInputs in;
    if (s.flat || prim.kind == PrimPoint)
    {
        in.diffuse = Unpack(prim.flatDiffuse);
        in.specular = Unpack(prim.flatSpecular);
    }
    else
    {
        in.diffuse = Rgba{ToByte(Eval(planes + 6, fx, fy) * w), ToByte(Eval(planes + 9, fx, fy) * w),
                          ToByte(Eval(planes + 12, fx, fy) * w), ToByte(Eval(planes + 15, fx, fy) * w)};
        if (s.specular)
        {
            const float* sp = planes + 3 * s.specularPlane;
            in.specular = Rgba{ToByte(Eval(sp, fx, fy) * w), ToByte(Eval(sp + 3, fx, fy) * w),
                               ToByte(Eval(sp + 6, fx, fy) * w), 0};
        }
        else
            in.specular = Rgba{0, 0, 0, 0};
    }

    uint32_t texels[MaxTexStages];
    for (unsigned t = 0; t < s.textureCount; ++t)
    {
        const TextureView& view = s.textures[t];
        float u, v, lod = 0.0f;
        if (sprite)
        {
            u = sprite[0];
            v = sprite[1];
        }
        else
        {
            const float* pu = planes + 3 * (s.texPlane + 2 * t);
            const float* pv = pu + 3;
            u = Eval(pu, fx, fy) * w;
            v = Eval(pv, fx, fy) * w;
            if (view.needsLod)
            {
                // Derivatives of the perspective-correct coordinates, in texels of level 0.
                float dudx = (pu[0] - u * planes[3]) * w * static_cast<float>(view.width[0]);
                float dudy = (pu[1] - u * planes[4]) * w * static_cast<float>(view.width[0]);
                float dvdx = (pv[0] - v * planes[3]) * w * static_cast<float>(view.height[0]);
                float dvdy = (pv[1] - v * planes[4]) * w * static_cast<float>(view.height[0]);
                float rho2 = std::max(dudx * dudx + dvdx * dvdx, dudy * dudy + dvdy * dvdy);
                lod = rho2 > 0.0f ? 0.5f * std::log2(rho2) : 0.0f;
            }
        }
        texels[t] = Sample(view, u, v, lod);
    }
    Rgba colour;
    if (s.quickColour && s.quickAlpha >= 0)
    {
        Rgba tex = s.textureCount ? Unpack(texels[0]) : Rgba{255, 255, 255, 255};
        switch (s.quickColour)
        {
        case 1:
            colour = in.diffuse;
            break;
        case 2:
            colour = Rgba{Mul255(tex.r, in.diffuse.r), Mul255(tex.g, in.diffuse.g),
                          Mul255(tex.b, in.diffuse.b), 0};
            break;
        default:
            colour = tex;
            break;
        }
        colour.a = s.quickAlpha == 0 ? in.diffuse.a : s.quickAlpha == 1 ? tex.a : Mul255(tex.a, in.diffuse.a);
    }
    else
    {
        in.factor = Unpack(s.textureFactor);
        in.current = in.diffuse;
        in.temp = Rgba{0, 0, 0, 0};
        RunStages(s, in, texels);
        colour = in.current;
    }
    if (s.specular)
    {
        colour.r = Clamp255(colour.r + in.specular.r);
        colour.g = Clamp255(colour.g + in.specular.g);
        colour.b = Clamp255(colour.b + in.specular.b);
    }
    if (s.alphaTest &&
        !Compare(s.alphaFunc, static_cast<uint32_t>(colour.a), static_cast<uint32_t>(s.alphaRef)))
        return;

    if (depthAt && s.zWrite)
    {
        if (s.depthKind == 1)
            reinterpret_cast<uint16_t*>(depthAt)[px] = static_cast<uint16_t>(depth);
        else if (s.depthKind == 2)
        {
            uint32_t& cell = reinterpret_cast<uint32_t*>(depthAt)[px];
            cell = (depth << 8) | (cell & 0xFF);
        }
        else
            reinterpret_cast<uint32_t*>(depthAt)[px] = depth;
    }

    uint8_t* row = s.colour + static_cast<size_t>(py) * s.colourPitch;
    bool direct = s.colourFormat == D3DFMT_A8R8G8B8 || s.colourFormat == D3DFMT_X8R8G8B8;
    uint32_t* cell = direct ? reinterpret_cast<uint32_t*>(row) + px : nullptr;
    uint32_t before = 0;
    if (s.blend || s.writeMask != 0xFFFFFFFFu)
        before =
            direct ? *cell
                   : ReadTexel(s.colourFormat, row + static_cast<size_t>(px) * BytesPerTexel(s.colourFormat));
    uint32_t result = Pack(s.blend ? Blend(s, colour, Unpack(before)) : colour);
    result = (result & s.writeMask) | (before & ~s.writeMask);
    if (direct)
        *cell = s.colourFormat == D3DFMT_X8R8G8B8 ? result | 0xFF000000u : result;
    else
        WriteTexel(s.colourFormat, row + static_cast<size_t>(px) * BytesPerTexel(s.colourFormat), result);
}

// ---- Rasterising within one tile -------------------------------------------------------------------

inline void RasterTriangle(const DrawSetup& s, const Prim& p, const float* planes, int x0, int y0, int x1,
                           int y1)
{
    const auto& t = p.tri;
    for (int y = y0; y <= y1; ++y)
    {
        int64_t e0 = t.a[0] * x0 + t.b[0] * y + t.c[0];
        int64_t e1 = t.a[1] * x0 + t.b[1] * y + t.c[1];
        int64_t e2 = t.a[2] * x0 + t.b[2] * y + t.c[2];
        for (int x = x0; x <= x1; ++x)
        {
            if ((e0 | e1 | e2) >= 0)
                ShadePixel(s, p, planes, static_cast<float>(x), static_cast<float>(y), x, y, nullptr);
            e0 += t.a[0];
            e1 += t.a[1];
            e2 += t.a[2];
        }
    }
}

// The source's alpha over the target, added: what Blend gives for SRCALPHA, INVSRCALPHA and ADD
// with one blend for all four channels.
inline uint32_t BlendOver(const Rgba& c, uint32_t before)
{
    const int inv = 255 - c.a;
    const Rgba d = Unpack(before);
    return Pack(
        Rgba{Clamp255(Mul255(c.r, c.a) + Mul255(d.r, inv)), Clamp255(Mul255(c.g, c.a) + Mul255(d.g, inv)),
             Clamp255(Mul255(c.b, c.a) + Mul255(d.b, inv)), Clamp255(Mul255(c.a, c.a) + Mul255(d.a, inv))});
}

// Whether a primitive's 1/w and colour planes are level: every vertex alike, as screen-space
// rectangles are. The planes then give their constant term at every pixel.
inline bool LevelColour(const float* planes)
{
    for (int k : {3, 4, 6, 7, 9, 10, 12, 13, 15, 16})
        if (planes[k] != 0.0f)
            return false;
    return true;
}

// The pixels of row y between x0 and x1 that lie inside all three edges: [first, last], empty when
// first > last. Along a row each edge function grows by a fixed step, so each edge bounds the row
// from one side only; the span holds exactly the pixels the per-pixel test accepts.
inline void RowSpan(const Prim& p, int x0, int x1, int y, int& first, int& last)
{
    const auto& t = p.tri;
    int64_t e0 = t.a[0] * x0 + t.b[0] * y + t.c[0];
    int64_t e1 = t.a[1] * x0 + t.b[1] * y + t.c[1];
    int64_t e2 = t.a[2] * x0 + t.b[2] * y + t.c[2];
    if (x1 - x0 < 24)
    {
        // A short row is walked: the inside of a row is one run of pixels.
        int x = x0;
        for (; x <= x1 && (e0 | e1 | e2) < 0; ++x, e0 += t.a[0], e1 += t.a[1], e2 += t.a[2])
        {
        }
        first = x;
        for (; x <= x1 && (e0 | e1 | e2) >= 0; ++x, e0 += t.a[0], e1 += t.a[1], e2 += t.a[2])
        {
        }
        last = x - 1;
        return;
    }
    int64_t lo = x0, hi = x1;
    for (int e = 0; e < 3; ++e)
    {
        const int64_t a = t.a[e];
        const int64_t v = e == 0 ? e0 : e == 1 ? e1 : e2;
        if (a > 0)
        {
            if (v < 0)
                lo = std::max(lo, x0 + (-v + a - 1) / a);
            continue;
        }
        if (v < 0)
        {
            first = 1;
            last = 0;
            return;
        }
        if (a < 0)
            hi = std::min(hi, x0 + v / -a);
    }
    first = static_cast<int>(lo);
    last = static_cast<int>(std::min<int64_t>(hi, x1));
}

// Source alpha over the target for a colour known in advance, two channels per word: `srcRB` and
// `srcGA` hold the source's shares (each channel times its alpha, as Mul255) in byte lanes 0 and
// 2, `inv` is 255 minus the alpha. Every lane computes what Mul255 and Clamp255 do.
inline uint32_t OverLevel(uint32_t d, uint32_t srcRB, uint32_t srcGA, uint32_t inv)
{
    uint32_t rb = (d & 0x00FF00FFu) * inv + 0x00800080u;
    uint32_t ga = ((d >> 8) & 0x00FF00FFu) * inv + 0x00800080u;
    rb = (((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu) + srcRB;
    ga = (((ga + ((ga >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu) + srcGA;
    // A lane past 255 saturates.
    rb |= ((rb >> 8) & 0x00010001u) * 0xFFu;
    ga |= ((ga >> 8) & 0x00010001u) * 0xFFu;
    return (rb & 0x00FF00FFu) | ((ga & 0x00FF00FFu) << 8);
}

// An untextured triangle of one colour: the colour (and, blending, the source's share of it) is
// worked out once; per pixel only the depth and the target remain. The same pixels as the
// per-pixel forms below.
template <bool Blended>
inline void RasterTriangleLevel(const DrawSetup& s, const Prim& p, const float* planes, int x0, int y0,
                                int x1, int y1)
{
    const float iw = planes[5];
    const float w = iw != 0.0f ? 1.0f / iw : 0.0f;
    const Rgba c{ToByte(planes[8] * w), ToByte(planes[11] * w), ToByte(planes[14] * w),
                 ToByte(planes[17] * w)};
    // One alpha for every pixel: the test passes all of them or none (and then nothing is written).
    if (s.alphaTest && !Compare(s.alphaFunc, static_cast<uint32_t>(c.a), static_cast<uint32_t>(s.alphaRef)))
        return;
    const uint32_t inv = static_cast<uint32_t>(255 - c.a);
    const uint32_t srcRB =
        static_cast<uint32_t>(Mul255(c.r, c.a)) << 16 | static_cast<uint32_t>(Mul255(c.b, c.a));
    const uint32_t srcGA =
        static_cast<uint32_t>(Mul255(c.a, c.a)) << 16 | static_cast<uint32_t>(Mul255(c.g, c.a));
    const uint32_t alphaOr = s.colourFormat == D3DFMT_X8R8G8B8 ? 0xFF000000u : 0u;
    const uint32_t packed = Pack(c) | alphaOr;
    const bool less = s.zFunc == D3DCMP_LESS;
    const bool depthTest = s.depthKind == 1 && s.zTest, depthWrite = s.depthKind == 1 && s.zWrite;
    for (int y = y0; y <= y1; ++y)
    {
        int first, last;
        RowSpan(p, x0, x1, y, first, last);
        if (first > last)
            continue;
        uint32_t* row = reinterpret_cast<uint32_t*>(s.colour + static_cast<size_t>(y) * s.colourPitch);
        if (!depthTest && !depthWrite)
        {
            if (!Blended)
                std::fill(row + first, row + last + 1, packed);
            else
                for (int x = first; x <= last; ++x)
                    row[x] = OverLevel(row[x], srcRB, srcGA, inv) | alphaOr;
            continue;
        }
        // Each plane is evaluated as Eval does, (c + a x) + b y, so that both give the same bits.
        const float zY = planes[1] * static_cast<float>(y);
        uint16_t* depthRow = reinterpret_cast<uint16_t*>(s.depth + static_cast<size_t>(y) * s.depthPitch);
        for (int x = first; x <= last; ++x)
        {
            float z = planes[2] + planes[0] * static_cast<float>(x) + zY;
            z = z < 0.0f ? 0.0f : z > 1.0f ? 1.0f : z;
            const uint32_t depth = static_cast<uint32_t>(z * 65535.0f + 0.5f);
            if (depthTest)
            {
                const uint32_t stored = depthRow[x];
                if (less ? depth >= stored : depth > stored)
                    continue;
            }
            if (depthWrite)
                depthRow[x] = static_cast<uint16_t>(depth);
            row[x] = Blended ? OverLevel(row[x], srcRB, srcGA, inv) | alphaOr : packed;
        }
    }
}

// The common case without the general pixel stage: Gouraud colour, at most one wrapped
// power-of-two texture without mipmaps through a quick stage, a 16-bit LESS/LESSEQUAL depth test
// or none, any alpha test, no write mask, no blending or the source's alpha over the target,
// 32-bit target.
template <bool Textured, bool Linear, bool Blended>
inline void RasterTriangleQuick(const DrawSetup& s, const Prim& p, const float* planes, int x0, int y0,
                                int x1, int y1)
{
    if (!Textured && LevelColour(planes))
    {
        RasterTriangleLevel<Blended>(s, p, planes, x0, y0, x1, y1);
        return;
    }
    const TextureView& view = s.textures[0];
    const uint32_t* texels = view.texels[view.firstLevel];
    const int tw = view.width[view.firstLevel], th = view.height[view.firstLevel];
    const float fw = static_cast<float>(tw), fh = static_cast<float>(th);
    const bool less = s.zFunc == D3DCMP_LESS;
    const bool depthTest = s.depthKind == 1 && s.zTest, depthWrite = s.depthKind == 1 && s.zWrite;
    const uint32_t alphaOr = s.colourFormat == D3DFMT_X8R8G8B8 ? 0xFF000000u : 0u;
    const float* pu = planes + 3 * s.texPlane;
    const float* pv = pu + 3;
    for (int y = y0; y <= y1; ++y)
    {
        int first, last;
        RowSpan(p, x0, x1, y, first, last);
        if (first > last)
            continue;
        const float fy = static_cast<float>(y);
        // Each plane is evaluated as Eval does, (c + a x) + b y, so that both give the same bits.
        const float zY = planes[1] * fy, iwY = planes[4] * fy;
        const float rY = planes[7] * fy, gY = planes[10] * fy, bY = planes[13] * fy, aY = planes[16] * fy;
        const float uY = Textured ? pu[1] * fy : 0.0f, vY = Textured ? pv[1] * fy : 0.0f;
        uint32_t* row = reinterpret_cast<uint32_t*>(s.colour + static_cast<size_t>(y) * s.colourPitch);
        uint16_t* depthRow =
            s.depthKind == 1 ? reinterpret_cast<uint16_t*>(s.depth + static_cast<size_t>(y) * s.depthPitch)
                             : nullptr;
        for (int x = first; x <= last; ++x)
        {
            const float fx = static_cast<float>(x);
            uint32_t depth = 0;
            if (depthTest || depthWrite)
            {
                float z = planes[2] + planes[0] * fx + zY;
                z = z < 0.0f ? 0.0f : z > 1.0f ? 1.0f : z;
                depth = static_cast<uint32_t>(z * 65535.0f + 0.5f);
                if (depthTest)
                {
                    uint32_t stored = depthRow[x];
                    if (less ? depth >= stored : depth > stored)
                        continue;
                }
            }
            const float iw = planes[5] + planes[3] * fx + iwY;
            const float w = iw != 0.0f ? 1.0f / iw : 0.0f;
            Rgba d{ToByte((planes[8] + planes[6] * fx + rY) * w),
                   ToByte((planes[11] + planes[9] * fx + gY) * w),
                   ToByte((planes[14] + planes[12] * fx + bY) * w),
                   ToByte((planes[17] + planes[15] * fx + aY) * w)};
            Rgba c = d;
            if (Textured)
            {
                float u = (pu[2] + pu[0] * fx + uY) * w * fw, v = (pv[2] + pv[0] * fx + vY) * w * fh;
                uint32_t texel;
                if (Linear)
                {
                    u -= 0.5f;
                    v -= 0.5f;
                    int ix = FloorInt(u), iy = FloorInt(v);
                    int wx = static_cast<int>((u - static_cast<float>(ix)) * 256.0f);
                    int wy = static_cast<int>((v - static_cast<float>(iy)) * 256.0f);
                    int ax = ix & (tw - 1), bx = (ix + 1) & (tw - 1);
                    const uint32_t* r0 = texels + static_cast<size_t>(iy & (th - 1)) * tw;
                    const uint32_t* r1 = texels + static_cast<size_t>((iy + 1) & (th - 1)) * tw;
                    texel = Lerp4(Lerp4(r0[ax], r0[bx], wx), Lerp4(r1[ax], r1[bx], wx), wy);
                }
                else
                    texel =
                        texels[static_cast<size_t>(FloorInt(v) & (th - 1)) * tw + (FloorInt(u) & (tw - 1))];
                Rgba tex = Unpack(texel);
                if (s.quickColour == 2)
                    c = Rgba{Mul255(tex.r, d.r), Mul255(tex.g, d.g), Mul255(tex.b, d.b), 0};
                else if (s.quickColour == 3)
                    c = tex;
                c.a = s.quickAlpha == 0 ? d.a : s.quickAlpha == 1 ? tex.a : Mul255(tex.a, d.a);
            }
            if (s.alphaTest &&
                !Compare(s.alphaFunc, static_cast<uint32_t>(c.a), static_cast<uint32_t>(s.alphaRef)))
                continue;
            if (depthWrite)
                depthRow[x] = static_cast<uint16_t>(depth);
            row[x] = (Blended ? BlendOver(c, row[x]) : Pack(c)) | alphaOr;
        }
    }
}

inline void RasterLine(const DrawSetup& s, const Prim& p, const float* planes, int x0, int y0, int x1, int y1)
{
    const auto& l = p.line;
    int majorLo = p.xMajor ? x0 : y0, majorHi = p.xMajor ? x1 : y1;
    int minorLo = p.xMajor ? y0 : x0, minorHi = p.xMajor ? y1 : x1;
    int begin = std::max(l.begin, majorLo), end = std::min(l.end, majorHi);
    float sMaj = p.xMajor ? l.x0 : l.y0, eMaj = p.xMajor ? l.x1 : l.y1;
    float sMin = p.xMajor ? l.y0 : l.x0, eMin = p.xMajor ? l.y1 : l.x1;
    float slope = (eMin - sMin) / (eMaj - sMaj);
    // An edge of a face takes the face's depth at each pixel's centre: a plane of that one value.
    float onFace[3 * MaxPlanes];
    if (l.onFace)
    {
        std::memcpy(onFace, planes, sizeof(float) * 3 * s.planeCount);
        onFace[0] = onFace[1] = 0.0f;
    }
    for (int i = begin; i <= end; ++i)
    {
        int minor = FloorInt(sMin + (static_cast<float>(i) - sMaj) * slope + 0.5f);
        if (minor < minorLo || minor > minorHi)
            continue;
        int px = p.xMajor ? i : minor, py = p.xMajor ? minor : i;
        const float fx = static_cast<float>(px), fy = static_cast<float>(py);
        if (!l.onFace)
        {
            ShadePixel(s, p, planes, fx, fy, px, py, nullptr);
            continue;
        }
        onFace[2] = std::clamp(Eval(planes, fx, fy), l.zLo, l.zHi);
        ShadePixel(s, p, onFace, fx, fy, px, py, nullptr);
    }
}

inline void RasterPoint(const DrawSetup& s, const Prim& p, const float* planes, int x0, int y0, int x1,
                        int y1)
{
    const auto& pt = p.point;
    float inv = pt.size > 0.0f ? 1.0f / pt.size : 0.0f;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
        {
            float uv[2] = {(static_cast<float>(x) - pt.left) * inv, (static_cast<float>(y) - pt.top) * inv};
            ShadePixel(s, p, planes, 0.0f, 0.0f, x, y, s.pointSprite ? uv : nullptr);
        }
}

} // namespace Soft9::Pixels
