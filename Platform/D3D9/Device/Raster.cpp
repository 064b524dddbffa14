// Primitive assembly, clipping, set-up, binning into tiles, and the pixel stage of the pipeline.
#include "Platform/D3D9/Device/Device.h"
#include "Platform/D3D9/Device/Pipeline.h"
#include "Platform/D3D9/PixelFormat.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Soft9
{
namespace
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

void RasterTriangle(const DrawSetup& s, const Prim& p, const float* planes, int x0, int y0, int x1, int y1)
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

// The common case without the general pixel stage: Gouraud colour, at most one wrapped
// power-of-two texture without mipmaps through a quick stage, a 16-bit LESS/LESSEQUAL depth test
// or none, no alpha test, blending or write mask, 32-bit target.
template <bool Textured, bool Linear>
void RasterTriangleQuick(const DrawSetup& s, const Prim& p, const float* planes, int x0, int y0, int x1,
                         int y1)
{
    const auto& t = p.tri;
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
        int64_t e0 = t.a[0] * x0 + t.b[0] * y + t.c[0];
        int64_t e1 = t.a[1] * x0 + t.b[1] * y + t.c[1];
        int64_t e2 = t.a[2] * x0 + t.b[2] * y + t.c[2];
        const float fy = static_cast<float>(y);
        const float zRow = planes[2] + planes[1] * fy, iwRow = planes[5] + planes[4] * fy;
        const float rRow = planes[8] + planes[7] * fy, gRow = planes[11] + planes[10] * fy;
        const float bRow = planes[14] + planes[13] * fy, aRow = planes[17] + planes[16] * fy;
        const float uRow = Textured ? pu[2] + pu[1] * fy : 0.0f, vRow = Textured ? pv[2] + pv[1] * fy : 0.0f;
        uint32_t* row = reinterpret_cast<uint32_t*>(s.colour + static_cast<size_t>(y) * s.colourPitch);
        uint16_t* depthRow =
            s.depthKind == 1 ? reinterpret_cast<uint16_t*>(s.depth + static_cast<size_t>(y) * s.depthPitch)
                             : nullptr;
        for (int x = x0; x <= x1; ++x, e0 += t.a[0], e1 += t.a[1], e2 += t.a[2])
        {
            if ((e0 | e1 | e2) < 0)
                continue;
            const float fx = static_cast<float>(x);
            uint32_t depth = 0;
            if (depthTest || depthWrite)
            {
                float z = zRow + planes[0] * fx;
                z = z < 0.0f ? 0.0f : z > 1.0f ? 1.0f : z;
                depth = static_cast<uint32_t>(z * 65535.0f + 0.5f);
                if (depthTest)
                {
                    uint32_t stored = depthRow[x];
                    if (less ? depth >= stored : depth > stored)
                        continue;
                }
            }
            const float iw = iwRow + planes[3] * fx;
            const float w = iw != 0.0f ? 1.0f / iw : 0.0f;
            Rgba d{ToByte((rRow + planes[6] * fx) * w), ToByte((gRow + planes[9] * fx) * w),
                   ToByte((bRow + planes[12] * fx) * w), ToByte((aRow + planes[15] * fx) * w)};
            Rgba c = d;
            if (Textured)
            {
                float u = (uRow + pu[0] * fx) * w * fw, v = (vRow + pv[0] * fx) * w * fh;
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
            if (depthWrite)
                depthRow[x] = static_cast<uint16_t>(depth);
            row[x] = Pack(c) | alphaOr;
        }
    }
}

void RasterLine(const DrawSetup& s, const Prim& p, const float* planes, int x0, int y0, int x1, int y1)
{
    const auto& l = p.line;
    int majorLo = p.xMajor ? x0 : y0, majorHi = p.xMajor ? x1 : y1;
    int minorLo = p.xMajor ? y0 : x0, minorHi = p.xMajor ? y1 : x1;
    int begin = std::max(l.begin, majorLo), end = std::min(l.end, majorHi);
    float sMaj = p.xMajor ? l.x0 : l.y0, eMaj = p.xMajor ? l.x1 : l.y1;
    float sMin = p.xMajor ? l.y0 : l.x0, eMin = p.xMajor ? l.y1 : l.x1;
    float slope = (eMin - sMin) / (eMaj - sMaj);
    for (int i = begin; i <= end; ++i)
    {
        int minor = FloorInt(sMin + (static_cast<float>(i) - sMaj) * slope + 0.5f);
        if (minor < minorLo || minor > minorHi)
            continue;
        int px = p.xMajor ? i : minor, py = p.xMajor ? minor : i;
        ShadePixel(s, p, planes, static_cast<float>(i), 0.0f, px, py, nullptr);
    }
}

void RasterPoint(const DrawSetup& s, const Prim& p, const float* planes, int x0, int y0, int x1, int y1)
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

// ---- Set-up ----------------------------------------------------------------------------------------

struct Emitter
{
    const DrawSetup& s;
    PartBins& bins;
    size_t stride;
    int tileCols;
    uint32_t draw;

    Prim* New()
    {
        size_t at = bins.records.Append(stride);
        auto* p = reinterpret_cast<Prim*>(bins.records.data() + at);
        p->draw = draw;
        return p;
    }

    void Bin(const Prim* p)
    {
        size_t offset = reinterpret_cast<const uint8_t*>(p) - bins.records.data();
        int tx0 = p->minX / TileSize, ty0 = p->minY / TileSize, tx1 = p->maxX / TileSize,
            ty1 = p->maxY / TileSize;
        for (int ty = ty0; ty <= ty1; ++ty)
            for (int tx = tx0; tx <= tx1; ++tx)
                bins.tiles[static_cast<size_t>(ty) * tileCols + tx].push_back(static_cast<uint32_t>(offset));
    }

    void Flat(Prim* p, const ClipVertex& provoking)
    {
        p->flatDiffuse = Pack(Rgba{ToByte(provoking.diffuse[0]), ToByte(provoking.diffuse[1]),
                                   ToByte(provoking.diffuse[2]), ToByte(provoking.diffuse[3])});
        p->flatSpecular = Pack(Rgba{ToByte(provoking.specular[0]), ToByte(provoking.specular[1]),
                                    ToByte(provoking.specular[2]), 0});
    }

    void Triangle(const ScreenVertex* a, const ScreenVertex* b, const ScreenVertex* c,
                  const ClipVertex& provoking)
    {
        int64_t area = (b->X - a->X) * (c->Y - a->Y) - (c->X - a->X) * (b->Y - a->Y);
        if (area == 0)
            return;
        if (area < 0)
            std::swap(b, c);
        int64_t minX = std::min({a->X, b->X, c->X}), maxX = std::max({a->X, b->X, c->X});
        int64_t minY = std::min({a->Y, b->Y, c->Y}), maxY = std::max({a->Y, b->Y, c->Y});
        // Pixel centres lie on integer coordinates.
        int px0 = static_cast<int>((minX + (1 << SubPixelBits) - 1) >> SubPixelBits);
        int py0 = static_cast<int>((minY + (1 << SubPixelBits) - 1) >> SubPixelBits);
        int px1 = static_cast<int>(maxX >> SubPixelBits), py1 = static_cast<int>(maxY >> SubPixelBits);
        px0 = std::max(px0, s.clipLeft);
        py0 = std::max(py0, s.clipTop);
        px1 = std::min(px1, s.clipRight);
        py1 = std::min(py1, s.clipBottom);
        if (px0 > px1 || py0 > py1)
            return;
        Prim* p = New();
        p->kind = PrimTriangle;
        p->minX = px0;
        p->minY = py0;
        p->maxX = px1;
        p->maxY = py1;
        const ScreenVertex* v[3] = {a, b, c};
        for (int e = 0; e < 3; ++e)
        {
            const ScreenVertex* from = v[e];
            const ScreenVertex* to = v[(e + 1) % 3];
            int64_t dx = to->X - from->X, dy = to->Y - from->Y;
            // Inside: dx * (y - from.y) - dy * (x - from.x) > 0, or = 0 on a top or left edge.
            bool topLeft = dy < 0 || (dy == 0 && dx > 0);
            p->tri.a[e] = -dy << SubPixelBits;
            p->tri.b[e] = dx << SubPixelBits;
            p->tri.c[e] = -dx * from->Y + dy * from->X - (topLeft ? 0 : 1);
        }
        Flat(p, provoking);
        float* planes = reinterpret_cast<float*>(p + 1);
        float x0 = a->x, y0 = a->y;
        float dx1 = b->x - x0, dy1 = b->y - y0, dx2 = c->x - x0, dy2 = c->y - y0;
        float det = dx1 * dy2 - dx2 * dy1;
        float inv = 1.0f / det;
        for (unsigned k = 0; k < s.planeCount; ++k)
        {
            float a0 = a->v[k], d1 = b->v[k] - a0, d2 = c->v[k] - a0;
            float ax = (d1 * dy2 - d2 * dy1) * inv;
            float ay = (d2 * dx1 - d1 * dx2) * inv;
            planes[3 * k] = ax;
            planes[3 * k + 1] = ay;
            planes[3 * k + 2] = a0 - ax * x0 - ay * y0;
        }
        Bin(p);
    }

    void Line(const ScreenVertex* a, const ScreenVertex* b, const ClipVertex& provoking)
    {
        float dx = b->x - a->x, dy = b->y - a->y;
        bool xMajor = std::fabs(dx) >= std::fabs(dy);
        float sMaj = xMajor ? a->x : a->y, eMaj = xMajor ? b->x : b->y;
        if (std::fabs(eMaj - sMaj) < 1e-6f)
            return;
        int first = FloorInt(sMaj + 0.5f), last = FloorInt(eMaj + 0.5f);
        int begin, end;
        // The pixel at the end point belongs to the next line unless the last pixel is drawn.
        if (last >= first)
        {
            begin = first;
            end = s.lastPixel ? last : last - 1;
        }
        else
        {
            begin = s.lastPixel ? last : last + 1;
            end = first;
        }
        if (begin > end)
            return;
        Prim* p = New();
        p->kind = PrimLine;
        p->xMajor = xMajor;
        p->line = {a->x, a->y, b->x, b->y, begin, end};
        int mx0 = FloorInt(std::min(a->x, b->x)) - 1, mx1 = FloorInt(std::max(a->x, b->x)) + 1;
        int my0 = FloorInt(std::min(a->y, b->y)) - 1, my1 = FloorInt(std::max(a->y, b->y)) + 1;
        if (xMajor)
        {
            mx0 = begin;
            mx1 = end;
        }
        else
        {
            my0 = begin;
            my1 = end;
        }
        p->minX = std::max(mx0, s.clipLeft);
        p->minY = std::max(my0, s.clipTop);
        p->maxX = std::min(mx1, s.clipRight);
        p->maxY = std::min(my1, s.clipBottom);
        if (p->minX > p->maxX || p->minY > p->maxY)
        {
            bins.records.Shrink(stride);
            return;
        }
        Flat(p, provoking);
        float* planes = reinterpret_cast<float*>(p + 1);
        float span = eMaj - sMaj;
        for (unsigned k = 0; k < s.planeCount; ++k)
        {
            float ax = (b->v[k] - a->v[k]) / span;
            planes[3 * k] = ax;
            planes[3 * k + 1] = 0.0f;
            planes[3 * k + 2] = a->v[k] - ax * sMaj;
        }
        Bin(p);
    }

    void Point(const ScreenVertex* a, const ClipVertex& vertex)
    {
        float size = vertex.pointSize;
        float left = a->x - size * 0.5f, top = a->y - size * 0.5f;
        int x0 = FloorInt(left), y0 = FloorInt(top);
        if (static_cast<float>(x0) < left)
            ++x0;
        if (static_cast<float>(y0) < top)
            ++y0;
        int x1 = FloorInt(left + size), y1 = FloorInt(top + size);
        if (static_cast<float>(x1) >= left + size)
            --x1;
        if (static_cast<float>(y1) >= top + size)
            --y1;
        x0 = std::max(x0, s.clipLeft);
        y0 = std::max(y0, s.clipTop);
        x1 = std::min(x1, s.clipRight);
        y1 = std::min(y1, s.clipBottom);
        if (x0 > x1 || y0 > y1)
            return;
        Prim* p = New();
        p->kind = PrimPoint;
        p->minX = x0;
        p->minY = y0;
        p->maxX = x1;
        p->maxY = y1;
        p->point = {left, top, size};
        Flat(p, vertex);
        float* planes = reinterpret_cast<float*>(p + 1);
        for (unsigned k = 0; k < s.planeCount; ++k)
        {
            planes[3 * k] = 0.0f;
            planes[3 * k + 1] = 0.0f;
            planes[3 * k + 2] = a->v[k];
        }
        Bin(p);
    }
};

// ---- Clipping --------------------------------------------------------------------------------------

constexpr unsigned ClipPlaneTotal = 7; // near, far, w, guard-band left, right, top, bottom
constexpr unsigned MaxPoly = 3 + ClipPlaneTotal;

struct ClipContext
{
    float guardX, guardY;

    float Distance(unsigned plane, const ClipVertex& v) const
    {
        switch (plane)
        {
        case 0:
            return v.z;
        case 1:
            return v.w - v.z;
        case 2:
            return v.w - 1e-6f;
        case 3:
            return v.x + guardX * v.w;
        case 4:
            return guardX * v.w - v.x;
        case 5:
            return v.y + guardY * v.w;
        default:
            return guardY * v.w - v.y;
        }
    }

    unsigned Outside(const ClipVertex& v) const
    {
        unsigned code = 0;
        for (unsigned plane = 0; plane < ClipPlaneTotal; ++plane)
            if (!(Distance(plane, v) >= 0.0f))
                code |= 1u << plane;
        return code;
    }

    // Outside the view volume itself (not the guard band): the primitive cannot show. A position
    // that is not a number at all is everywhere outside.
    static unsigned OutsideView(const ClipVertex& v)
    {
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z) || !std::isfinite(v.w))
            return 0xFF;
        unsigned code = 0;
        if (v.x > v.w)
            code |= 1;
        if (v.x < -v.w)
            code |= 2;
        if (v.y > v.w)
            code |= 4;
        if (v.y < -v.w)
            code |= 8;
        if (v.z < 0.0f)
            code |= 16;
        if (v.z > v.w)
            code |= 32;
        if (!(v.w > 0.0f))
            code |= 64;
        return code;
    }
};

ClipVertex Lerp(const ClipVertex& a, const ClipVertex& b, float t)
{
    ClipVertex r;
    const float* pa = &a.x;
    const float* pb = &b.x;
    float* pr = &r.x;
    for (size_t i = 0; i < sizeof(ClipVertex) / sizeof(float); ++i)
        pr[i] = pa[i] + (pb[i] - pa[i]) * t;
    return r;
}

// Clips a polygon against every plane in `planes`; returns the vertex count left.
unsigned ClipPolygon(const ClipContext& cc, unsigned planes, ClipVertex* poly, unsigned count,
                     ClipVertex* scratch)
{
    ClipVertex* in = poly;
    ClipVertex* out = scratch;
    for (unsigned plane = 0; plane < ClipPlaneTotal && count > 0; ++plane)
    {
        if (!(planes & (1u << plane)))
            continue;
        unsigned n = 0;
        for (unsigned i = 0; i < count; ++i)
        {
            const ClipVertex& a = in[i];
            const ClipVertex& b = in[(i + 1) % count];
            float da = cc.Distance(plane, a), db = cc.Distance(plane, b);
            if (da >= 0.0f && n < MaxPoly)
                out[n++] = a;
            if ((da >= 0.0f) != (db >= 0.0f) && n < MaxPoly)
                out[n++] = Lerp(a, b, da / (da - db));
        }
        count = n;
        std::swap(in, out);
    }
    if (in != poly)
        std::copy(in, in + count, poly);
    return count;
}

// ---- The draw --------------------------------------------------------------------------------------

struct Assembler
{
    const DrawSetup& s;
    const DrawCall& call;
    const ClipVertex* base; // holds the vertices from number `lo` on
    const ScreenVertex* screen;
    const uint16_t* codes;
    UINT lo;
    ClipContext cc;

    // Screen positions and clip codes of vertices [0, count) of `base`.
    void Prepare(UINT count, ScreenVertex* screenOut, uint16_t* codesOut) const
    {
        for (UINT i = 0; i < count; ++i)
        {
            unsigned code = cc.Outside(base[i]) | (ClipContext::OutsideView(base[i]) << 8);
            codesOut[i] = static_cast<uint16_t>(code);
            if ((code & 0xFF) == 0)
                ToScreen(base[i], screenOut[i]);
        }
    }

    struct Vertices
    {
        const Assembler& a;
        const ClipVertex& operator[](UINT n) const { return a.base[n - a.lo]; }
    };
    Vertices vertices{*this};

    UINT Index(UINT i) const
    {
        if (!call.indices)
            return i;
        return call.indexFormat == D3DFMT_INDEX16 ? static_cast<const uint16_t*>(call.indices)[i]
                                                  : static_cast<const uint32_t*>(call.indices)[i];
    }

    void ToScreen(const ClipVertex& c, ScreenVertex& out) const
    {
        float iw = 1.0f / c.w;
        out.x = s.vpX + (1.0f + c.x * iw) * s.vpHalfW;
        out.y = s.vpY + (1.0f - c.y * iw) * s.vpHalfH;
        out.X = std::llrint(static_cast<double>(out.x) * SubPixel);
        out.Y = std::llrint(static_cast<double>(out.y) * SubPixel);
        // Planes use the snapped position, so that they agree with the coverage.
        out.x = static_cast<float>(out.X) / SubPixel;
        out.y = static_cast<float>(out.Y) / SubPixel;
        out.v[0] = s.vpMinZ + c.z * iw * s.vpScaleZ;
        out.v[1] = iw;
        for (int k = 0; k < 4; ++k)
            out.v[2 + k] = c.diffuse[k] * iw;
        unsigned at = 6;
        if (s.specular)
        {
            for (int k = 0; k < 3; ++k)
                out.v[at + k] = c.specular[k] * iw;
            at += 3;
        }
        for (unsigned t = 0; t < s.textureCount; ++t)
        {
            out.v[at++] = c.tex[t][0] * iw;
            out.v[at++] = c.tex[t][1] * iw;
        }
    }

    void TriangleOut(Emitter& em, UINT ia, UINT ib, UINT ic) const
    {
        unsigned ca = codes[ia - lo], cb = codes[ib - lo], cc2 = codes[ic - lo];
        if (((ca & cb & cc2) >> 8) || (((ca | cb | cc2) >> 8) & 0x80))
            return;
        if (((ca | cb | cc2) & 0xFF) != 0)
        {
            ClipTriangle(em, vertices[ia], vertices[ib], vertices[ic]);
            return;
        }
        // Inside the guard band and in front: no clipping.
        const ScreenVertex* sa = &screen[ia - lo];
        const ScreenVertex* sb = &screen[ib - lo];
        const ScreenVertex* sc = &screen[ic - lo];
        int64_t area = (sb->X - sa->X) * (sc->Y - sa->Y) - (sc->X - sa->X) * (sb->Y - sa->Y);
        if (area == 0 || (s.cullMode == D3DCULL_CCW && area < 0) || (s.cullMode == D3DCULL_CW && area > 0))
            return;
        if (s.fillMode == D3DFILL_SOLID)
        {
            em.Triangle(sa, sb, sc, vertices[ia]);
            return;
        }
        ClipTriangle(em, vertices[ia], vertices[ib], vertices[ic]);
    }

    void ClipTriangle(Emitter& em, const ClipVertex& a, const ClipVertex& b, const ClipVertex& c) const
    {
        unsigned viewA = ClipContext::OutsideView(a), viewB = ClipContext::OutsideView(b),
                 viewC = ClipContext::OutsideView(c);
        if ((viewA & viewB & viewC) || ((viewA | viewB | viewC) & 0x80))
            return;
        ClipVertex poly[MaxPoly], scratch[MaxPoly];
        unsigned count = 3;
        poly[0] = a;
        poly[1] = b;
        poly[2] = c;
        unsigned codes = cc.Outside(a) | cc.Outside(b) | cc.Outside(c);
        if (codes)
            count = ClipPolygon(cc, codes, poly, count, scratch);
        if (count < 3)
            return;
        ScreenVertex sv[MaxPoly];
        for (unsigned i = 0; i < count; ++i)
            ToScreen(poly[i], sv[i]);
        // Facing from the whole polygon's signed area (screen y runs down: positive is clockwise).
        int64_t area = 0;
        for (unsigned i = 1; i + 1 < count; ++i)
            area +=
                (sv[i].X - sv[0].X) * (sv[i + 1].Y - sv[0].Y) - (sv[i + 1].X - sv[0].X) * (sv[i].Y - sv[0].Y);
        if (area == 0 || (s.cullMode == D3DCULL_CCW && area < 0) || (s.cullMode == D3DCULL_CW && area > 0))
            return;
        if (s.fillMode == D3DFILL_POINT)
        {
            for (unsigned i = 0; i < count; ++i)
                em.Point(&sv[i], poly[i]);
            return;
        }
        if (s.fillMode == D3DFILL_WIREFRAME)
        {
            for (unsigned i = 0; i < count; ++i)
                em.Line(&sv[i], &sv[(i + 1) % count], a);
            return;
        }
        for (unsigned i = 1; i + 1 < count; ++i)
            em.Triangle(&sv[0], &sv[i], &sv[i + 1], a);
    }

    void LineOut(Emitter& em, const ClipVertex& a, const ClipVertex& b) const
    {
        unsigned viewA = ClipContext::OutsideView(a), viewB = ClipContext::OutsideView(b);
        if ((viewA & viewB) || ((viewA | viewB) & 0x80))
            return;
        ClipVertex ends[2] = {a, b};
        unsigned codes = cc.Outside(a) | cc.Outside(b);
        for (unsigned plane = 0; plane < ClipPlaneTotal; ++plane)
        {
            if (!(codes & (1u << plane)))
                continue;
            float da = cc.Distance(plane, ends[0]), db = cc.Distance(plane, ends[1]);
            if (da < 0.0f && db < 0.0f)
                return;
            if (da < 0.0f)
                ends[0] = Lerp(ends[0], ends[1], da / (da - db));
            else if (db < 0.0f)
                ends[1] = Lerp(ends[0], ends[1], da / (da - db));
        }
        ScreenVertex sa, sb;
        ToScreen(ends[0], sa);
        ToScreen(ends[1], sb);
        em.Line(&sa, &sb, a);
    }

    void PointOut(Emitter& em, const ClipVertex& a) const
    {
        if (ClipContext::OutsideView(a) & (16 | 32 | 64))
            return;
        if (cc.Outside(a))
            return;
        ScreenVertex sa;
        ToScreen(a, sa);
        em.Point(&sa, a);
    }

    void Primitive(Emitter& em, UINT i) const
    {
        switch (call.type)
        {
        case D3DPT_POINTLIST:
            PointOut(em, vertices[Index(i)]);
            break;
        case D3DPT_LINELIST:
            LineOut(em, vertices[Index(2 * i)], vertices[Index(2 * i + 1)]);
            break;
        case D3DPT_LINESTRIP:
            LineOut(em, vertices[Index(i)], vertices[Index(i + 1)]);
            break;
        case D3DPT_TRIANGLELIST:
            TriangleOut(em, Index(3 * i), Index(3 * i + 1), Index(3 * i + 2));
            break;
        case D3DPT_TRIANGLESTRIP:
            // Every other triangle of a strip runs the other way round; swapping keeps the facing.
            if (i & 1)
                TriangleOut(em, Index(i + 1), Index(i), Index(i + 2));
            else
                TriangleOut(em, Index(i), Index(i + 1), Index(i + 2));
            break;
        case D3DPT_TRIANGLEFAN:
            TriangleOut(em, Index(i + 1), Index(i + 2), Index(0));
            break;
        default:
            break;
        }
    }
};
} // namespace

struct DrawJob
{
    Pipeline& pipeline;
    const DrawCall& call;
    const DrawSetup& s;
    uint32_t draw;
    unsigned parts;
    size_t stride;
    int tileCols;
    ClipContext cc;
    bool sharedVertices; // processed once for all parts (else each part processes its own)
    UINT first, end;

    static constexpr UINT VertexChunk = 1024;

    static void Vertices(void* context, unsigned index)
    {
        auto* job = static_cast<DrawJob*>(context);
        UINT from = job->first + index * VertexChunk;
        UINT to = std::min(job->end, from + VertexChunk);
        Pipeline& pl = job->pipeline;
        ProcessVertices(pl.m_program, job->call, from, to, pl.m_vertices.data() + (from - job->first));
        Assembler assembler{job->s, job->call, pl.m_vertices.data() + (from - job->first), nullptr, nullptr,
                            from,   job->cc};
        assembler.Prepare(to - from, pl.m_screen.data() + (from - job->first),
                          pl.m_codes.data() + (from - job->first));
    }

    // The vertices primitives [from, to) read.
    void Range(UINT from, UINT to, UINT& lo, UINT& hi) const
    {
        UINT a, b; // index positions
        switch (call.type)
        {
        case D3DPT_POINTLIST:
            a = from, b = to;
            break;
        case D3DPT_LINELIST:
            a = 2 * from, b = 2 * to;
            break;
        case D3DPT_LINESTRIP:
            a = from, b = to + 1;
            break;
        case D3DPT_TRIANGLELIST:
            a = 3 * from, b = 3 * to;
            break;
        case D3DPT_TRIANGLEFAN:
            a = 0, b = to + 2;
            break;
        default:
            a = from, b = to + 2;
            break;
        }
        if (!call.indices)
        {
            lo = a;
            hi = b;
            return;
        }
        lo = 0xFFFFFFFFu;
        hi = 0;
        for (UINT i = a; i < b; ++i)
        {
            UINT v = call.indexFormat == D3DFMT_INDEX16 ? static_cast<const uint16_t*>(call.indices)[i]
                                                        : static_cast<const uint32_t*>(call.indices)[i];
            lo = std::min(lo, v);
            hi = std::max(hi, v + 1);
        }
    }

    static void Setup(void* context, unsigned index)
    {
        auto* job = static_cast<DrawJob*>(context);
        PartBins& bins = job->pipeline.m_parts[index];
        UINT count = job->call.primitiveCount;
        UINT from = static_cast<UINT>(static_cast<uint64_t>(count) * index / job->parts);
        UINT to = static_cast<UINT>(static_cast<uint64_t>(count) * (index + 1) / job->parts);
        if (from >= to)
            return;
        Pipeline& pl = job->pipeline;
        Assembler assembler{job->s, job->call, nullptr, nullptr, nullptr, 0, job->cc};
        if (job->sharedVertices)
        {
            assembler.base = pl.m_vertices.data();
            assembler.screen = pl.m_screen.data();
            assembler.codes = pl.m_codes.data();
            assembler.lo = job->first;
        }
        else
        {
            UINT lo, hi;
            job->Range(from, to, lo, hi);
            if (bins.vertices.size() < hi - lo)
            {
                bins.vertices.resize(hi - lo);
                bins.screen.resize(hi - lo);
                bins.codes.resize(hi - lo);
            }
            ProcessVertices(pl.m_program, job->call, lo, hi, bins.vertices.data());
            assembler.base = bins.vertices.data();
            assembler.screen = bins.screen.data();
            assembler.codes = bins.codes.data();
            assembler.lo = lo;
            assembler.Prepare(hi - lo, bins.screen.data(), bins.codes.data());
        }
        Emitter em{job->s, bins, job->stride, job->tileCols, job->draw};
        for (UINT i = from; i < to; ++i)
            assembler.Primitive(em, i);
    }
};

struct FlushJob
{
    Pipeline& pipeline;
    unsigned slots;
    int tileCols, tileX0, tileY0, tileX1, tileY1;

    static void Tile(void* context, unsigned index)
    {
        auto* job = static_cast<FlushJob*>(context);
        int cols = job->tileX1 - job->tileX0 + 1;
        int tx = job->tileX0 + static_cast<int>(index) % cols;
        int ty = job->tileY0 + static_cast<int>(index) / cols;
        size_t tile = static_cast<size_t>(ty) * job->tileCols + tx;
        int left = tx * TileSize, top = ty * TileSize;
        int right = left + TileSize - 1, bottom = top + TileSize - 1;
        Pipeline& pl = job->pipeline;
        // Draws in the order they came; within a draw, its parts in order.
        size_t cursor[64] = {};
        unsigned slots = std::min(job->slots, 64u);
        for (;;)
        {
            uint32_t next = 0xFFFFFFFFu;
            for (unsigned p = 0; p < slots; ++p)
            {
                const PartBins& bins = pl.m_parts[p];
                if (cursor[p] < bins.tiles[tile].size())
                    next = std::min(
                        next, reinterpret_cast<const Prim*>(bins.records.data() + bins.tiles[tile][cursor[p]])
                                  ->draw);
            }
            if (next == 0xFFFFFFFFu)
                break;
            const DrawSetup& s = *pl.m_draws[next];
            for (unsigned p = 0; p < slots; ++p)
            {
                const PartBins& bins = pl.m_parts[p];
                const auto& list = bins.tiles[tile];
                for (; cursor[p] < list.size(); ++cursor[p])
                {
                    const auto* prim = reinterpret_cast<const Prim*>(bins.records.data() + list[cursor[p]]);
                    if (prim->draw != next)
                        break;
                    const auto* planes = reinterpret_cast<const float*>(prim + 1);
                    int x0 = std::max(prim->minX, left), y0 = std::max(prim->minY, top);
                    int x1 = std::min(prim->maxX, right), y1 = std::min(prim->maxY, bottom);
                    if (x0 > x1 || y0 > y1)
                        continue;
                    if (prim->kind == PrimTriangle)
                    {
                        switch (s.quickPath)
                        {
                        case 1:
                            RasterTriangleQuick<false, false>(s, *prim, planes, x0, y0, x1, y1);
                            break;
                        case 2:
                            RasterTriangleQuick<true, false>(s, *prim, planes, x0, y0, x1, y1);
                            break;
                        case 3:
                            RasterTriangleQuick<true, true>(s, *prim, planes, x0, y0, x1, y1);
                            break;
                        default:
                            RasterTriangle(s, *prim, planes, x0, y0, x1, y1);
                            break;
                        }
                    }
                    else if (prim->kind == PrimLine)
                        RasterLine(s, *prim, planes, x0, y0, x1, y1);
                    else
                        RasterPoint(s, *prim, planes, x0, y0, x1, y1);
                }
            }
        }
    }
};

Pipeline::~Pipeline()
{
    // The device flushes before its buffers go; what is left here only gives its textures back.
    for (uint32_t d = 0; d < m_drawCount; ++d)
        for (unsigned t = 0; t < m_draws[d]->textureCount; ++t)
            if (m_draws[d]->held[t])
                m_draws[d]->held[t]->Release();
}

void Pipeline::Draw(const DeviceState& state, const DrawCall& call, const DrawSetup& setup)
{
    const PixelStore& target = state.renderTarget->Store();
    int tileCols = static_cast<int>((target.width + TileSize - 1) / TileSize);
    int tileRows = static_cast<int>((target.height + TileSize - 1) / TileSize);
    if (tileCols != m_tileCols || tileRows != m_tileRows)
    {
        Flush();
        m_tileCols = tileCols;
        m_tileRows = tileRows;
        for (PartBins& part : m_parts)
            part.tiles.assign(static_cast<size_t>(tileCols) * tileRows, {});
    }
    if (m_drawCount == m_draws.size())
        m_draws.push_back(std::make_unique<DrawSetup>());
    DrawSetup& s = *m_draws[m_drawCount];
    s = setup;
    // The textures stay while the draw waits for its pixels.
    for (unsigned t = 0; t < s.textureCount; ++t)
        if (s.held[t])
            s.held[t]->AddRef();
    uint32_t draw = m_drawCount++;

    BuildVertexProgram(state, s, m_program, m_worldView, m_normalMatrix);
    unsigned threads = m_pool.Threads();
    // More parts than threads, so that a thread the system holds up delays only a small share.
    unsigned parts = threads == 1 || call.primitiveCount < 1024
                         ? 1
                         : std::min(64u, std::min(4 * threads, call.primitiveCount / 256));
    if (m_parts.size() < parts)
    {
        size_t old = m_parts.size();
        m_parts.resize(parts);
        for (size_t i = old; i < parts; ++i)
            m_parts[i].tiles.assign(static_cast<size_t>(tileCols) * tileRows, {});
    }
    m_slotsUsed = std::max(m_slotsUsed, parts);

    ClipContext cc;
    // The guard band keeps screen coordinates within reach of the fixed-point edge functions.
    cc.guardX = std::max(1.0f, 16384.0f / s.vpHalfW);
    cc.guardY = std::max(1.0f, 16384.0f / s.vpHalfH);
    UINT first = call.indices ? call.firstVertex : 0;
    DrawJob job{*this,
                call,
                s,
                draw,
                parts,
                (sizeof(Prim) + sizeof(float) * 3 * s.planeCount + 7) & ~size_t{7},
                tileCols,
                cc,
                false,
                first,
                call.vertexCount};
    // Each part transforms the vertices its primitives use, unless the parts' ranges overlap so
    // much that doing all of them once first is cheaper.
    if (parts > 1 && call.indices)
    {
        uint64_t total = 0;
        UINT count = call.primitiveCount;
        for (unsigned p = 0; p < parts; ++p)
        {
            UINT lo, hi;
            job.Range(static_cast<UINT>(uint64_t{count} * p / parts),
                      static_cast<UINT>(uint64_t{count} * (p + 1) / parts), lo, hi);
            total += hi > lo ? hi - lo : 0;
        }
        job.sharedVertices = total > 2 * uint64_t{call.vertexCount - first} + 1024;
    }
    if (job.sharedVertices)
    {
        if (m_vertices.size() < call.vertexCount - first)
        {
            m_vertices.resize(call.vertexCount - first);
            m_screen.resize(call.vertexCount - first);
            m_codes.resize(call.vertexCount - first);
        }
        m_pool.Run((call.vertexCount - first + DrawJob::VertexChunk - 1) / DrawJob::VertexChunk,
                   &DrawJob::Vertices, &job);
    }
    if (parts == 1)
        DrawJob::Setup(&job, 0);
    else
        m_pool.Run(parts, &DrawJob::Setup, &job);
    m_tileX0 = std::min(m_tileX0, s.clipLeft / TileSize);
    m_tileY0 = std::min(m_tileY0, s.clipTop / TileSize);
    m_tileX1 = std::max(m_tileX1, s.clipRight / TileSize);
    m_tileY1 = std::max(m_tileY1, s.clipBottom / TileSize);
    // Long batches are drawn as they go, so that their records stay within the caches' reach.
    size_t bytes = 0;
    for (unsigned p = 0; p < m_slotsUsed; ++p)
        bytes += m_parts[p].records.size();
    if (bytes > (64u << 20) || m_drawCount >= 4096)
        Flush();
}

void Pipeline::Flush()
{
    if (m_drawCount == 0)
        return;
    if (m_tileX0 <= m_tileX1 && m_tileY0 <= m_tileY1)
    {
        FlushJob job{*this, m_slotsUsed, m_tileCols, m_tileX0, m_tileY0, m_tileX1, m_tileY1};
        unsigned tiles = static_cast<unsigned>((m_tileX1 - m_tileX0 + 1) * (m_tileY1 - m_tileY0 + 1));
        m_pool.Run(tiles, &FlushJob::Tile, &job);
        for (unsigned p = 0; p < m_slotsUsed; ++p)
        {
            PartBins& bins = m_parts[p];
            bins.records.clear();
            for (int ty = m_tileY0; ty <= m_tileY1; ++ty)
                for (int tx = m_tileX0; tx <= m_tileX1; ++tx)
                    bins.tiles[static_cast<size_t>(ty) * m_tileCols + tx].clear();
        }
    }
    for (uint32_t d = 0; d < m_drawCount; ++d)
    {
        DrawSetup& s = *m_draws[d];
        for (unsigned t = 0; t < s.textureCount; ++t)
            if (s.held[t])
                s.held[t]->Release();
    }
    m_drawCount = 0;
    m_slotsUsed = 0;
    m_tileX0 = m_tileY0 = 0x7FFFFFFF;
    m_tileX1 = m_tileY1 = -1;
}

// ---- The state of a draw ---------------------------------------------------------------------------

bool PrepareSetup(const DeviceState& state, DrawSetup& s)
{
    const auto& rs = state.renderStates;
    if (!state.renderTarget)
        return false;
    PixelStore& target = state.renderTarget->Store();
    if (!IsConvertible(target.format) || target.width == 0 || target.height == 0)
        return false;
    s.colour = target.bits.data();
    s.colourPitch = target.pitch;
    s.colourFormat = target.format;
    ++target.version;
    const D3DVIEWPORT9& vp = state.viewport;
    s.clipLeft = static_cast<int>(vp.X);
    s.clipTop = static_cast<int>(vp.Y);
    s.clipRight = std::min(static_cast<int>(vp.X + vp.Width), static_cast<int>(target.width)) - 1;
    s.clipBottom = std::min(static_cast<int>(vp.Y + vp.Height), static_cast<int>(target.height)) - 1;
    if (s.clipLeft > s.clipRight || s.clipTop > s.clipBottom)
        return false;
    s.vpX = static_cast<float>(vp.X);
    s.vpY = static_cast<float>(vp.Y);
    s.vpHalfW = static_cast<float>(vp.Width) * 0.5f;
    s.vpHalfH = static_cast<float>(vp.Height) * 0.5f;
    s.vpMinZ = vp.MinZ;
    s.vpScaleZ = vp.MaxZ - vp.MinZ;

    bool zEnabled = rs[D3DRS_ZENABLE] != D3DZB_FALSE && state.depthStencil;
    if (zEnabled)
    {
        PixelStore& depth = state.depthStencil->Store();
        if (depth.width >= target.width && depth.height >= target.height)
        {
            s.depth = depth.bits.data();
            s.depthPitch = depth.pitch;
            UINT bpp = BytesPerTexel(depth.format);
            s.depthKind = bpp == 2 ? 1 : depth.format == D3DFMT_D32 ? 3 : 2;
            ++depth.version;
        }
    }
    s.zTest = s.depthKind != 0;
    s.zWrite = s.depthKind != 0 && rs[D3DRS_ZWRITEENABLE];
    s.zFunc = rs[D3DRS_ZFUNC];
    s.alphaTest = rs[D3DRS_ALPHATESTENABLE] != 0;
    s.alphaFunc = rs[D3DRS_ALPHAFUNC];
    s.alphaRef = static_cast<int>(rs[D3DRS_ALPHAREF] & 0xFF);
    s.blend = rs[D3DRS_ALPHABLENDENABLE] != 0;
    s.separateAlpha = rs[D3DRS_SEPARATEALPHABLENDENABLE] != 0;
    s.srcBlend = rs[D3DRS_SRCBLEND];
    s.destBlend = rs[D3DRS_DESTBLEND];
    s.blendOp = rs[D3DRS_BLENDOP];
    s.srcBlendAlpha = rs[D3DRS_SRCBLENDALPHA];
    s.destBlendAlpha = rs[D3DRS_DESTBLENDALPHA];
    s.blendOpAlpha = rs[D3DRS_BLENDOPALPHA];
    s.blendFactor = rs[D3DRS_BLENDFACTOR];
    DWORD mask = rs[D3DRS_COLORWRITEENABLE];
    s.writeMask = ((mask & D3DCOLORWRITEENABLE_RED) ? 0x00FF0000u : 0) |
                  ((mask & D3DCOLORWRITEENABLE_GREEN) ? 0x0000FF00u : 0) |
                  ((mask & D3DCOLORWRITEENABLE_BLUE) ? 0x000000FFu : 0) |
                  ((mask & D3DCOLORWRITEENABLE_ALPHA) ? 0xFF000000u : 0);
    s.flat = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
    s.specular = rs[D3DRS_SPECULARENABLE] != 0;
    s.textureFactor = rs[D3DRS_TEXTUREFACTOR];
    s.pointSprite = rs[D3DRS_POINTSPRITEENABLE] != 0;
    s.lastPixel = rs[D3DRS_LASTPIXEL] != 0;
    s.fillMode = rs[D3DRS_FILLMODE];
    s.cullMode = rs[D3DRS_CULLMODE];

    // The stage cascade ends at the first stage whose colour operation is disabled.
    s.stageCount = 0;
    s.textureCount = 0;
    for (unsigned i = 0; i < TextureStageCount; ++i)
    {
        const auto& ss = state.stageStates[i];
        if (ss[D3DTSS_COLOROP] == D3DTOP_DISABLE)
            break;
        StageSetup& st = s.stages[s.stageCount++];
        st.colorOp = ss[D3DTSS_COLOROP];
        st.colorArg0 = ss[D3DTSS_COLORARG0];
        st.colorArg1 = ss[D3DTSS_COLORARG1];
        st.colorArg2 = ss[D3DTSS_COLORARG2];
        st.alphaOp = ss[D3DTSS_ALPHAOP];
        st.alphaArg0 = ss[D3DTSS_ALPHAARG0];
        st.alphaArg1 = ss[D3DTSS_ALPHAARG1];
        st.alphaArg2 = ss[D3DTSS_ALPHAARG2];
        st.resultArg = ss[D3DTSS_RESULTARG];
        st.constant = ss[D3DTSS_CONSTANT];
        st.texSlot = -1;
        auto reads = [](DWORD a0, DWORD a1, DWORD a2, DWORD op)
        {
            auto is = [](DWORD a) { return (a & D3DTA_SELECTMASK) == D3DTA_TEXTURE; };
            bool three = op == D3DTOP_MULTIPLYADD || op == D3DTOP_LERP;
            if (op == D3DTOP_SELECTARG1)
                return is(a1);
            if (op == D3DTOP_SELECTARG2)
                return is(a2);
            return is(a1) || is(a2) || (three && is(a0)) || op == D3DTOP_BLENDTEXTUREALPHA ||
                   op == D3DTOP_BLENDTEXTUREALPHAPM;
        };
        TextureImpl* texture = i < SamplerCount ? state.textures[i] : nullptr;
        st.skipColour = !texture && reads(st.colorArg0, st.colorArg1, st.colorArg2, st.colorOp);
        st.skipAlpha = !texture && reads(st.alphaArg0, st.alphaArg1, st.alphaArg2, st.alphaOp);
        if (!texture || s.textureCount == MaxTexStages)
            continue;
        TextureView& view = s.textures[s.textureCount];
        UINT levels = texture->GetLevelCount();
        view.levels = static_cast<int>(std::min<UINT>(levels, 16));
        for (int l = 0; l < view.levels; ++l)
        {
            const PixelStore& store = texture->Level(static_cast<UINT>(l));
            view.texels[l] = texture->Texels(static_cast<UINT>(l));
            view.width[l] = static_cast<int>(store.width);
            view.height[l] = static_cast<int>(store.height);
        }
        const auto& samp = state.samplerStates[i];
        view.firstLevel =
            static_cast<int>(std::min<DWORD>(std::max<DWORD>(samp[D3DSAMP_MAXMIPLEVEL], texture->GetLOD()),
                                             static_cast<DWORD>(view.levels - 1)));
        view.addressU = samp[D3DSAMP_ADDRESSU];
        view.addressV = samp[D3DSAMP_ADDRESSV];
        view.border = samp[D3DSAMP_BORDERCOLOR];
        view.magFilter = samp[D3DSAMP_MAGFILTER];
        view.minFilter = samp[D3DSAMP_MINFILTER];
        view.mipFilter = samp[D3DSAMP_MIPFILTER];
        float bias;
        std::memcpy(&bias, &samp[D3DSAMP_MIPMAPLODBIAS], sizeof bias);
        view.lodBias = std::isfinite(bias) ? bias : 0.0f;
        view.needsLod =
            (view.levels > 1 && view.mipFilter != D3DTEXF_NONE) || view.minFilter != view.magFilter;
        auto pow2 = [](int v) { return (v & (v - 1)) == 0; };
        view.wrapPow2 = view.addressU == D3DTADDRESS_WRAP && view.addressV == D3DTADDRESS_WRAP;
        for (int l = 0; l < view.levels; ++l)
            view.wrapPow2 = view.wrapPow2 && pow2(view.width[l]) && pow2(view.height[l]);
        s.held[s.textureCount] = static_cast<IDirect3DTexture9*>(texture);
        st.texSlot = static_cast<int>(s.textureCount++);
    }

    // The quick forms of the stages.
    s.quickColour = s.quickAlpha = 0;
    auto plain = [](DWORD a) { return (a & ~D3DTA_SELECTMASK) == 0; };
    auto isTex = [&](DWORD a) { return plain(a) && a == D3DTA_TEXTURE; };
    auto isDif = [&](DWORD a) { return plain(a) && (a == D3DTA_DIFFUSE || a == D3DTA_CURRENT); };
    if (s.stageCount == 0)
        s.quickColour = 1;
    else if (s.stageCount == 1 && (s.stages[0].resultArg & D3DTA_SELECTMASK) == D3DTA_CURRENT &&
             s.stages[0].colorOp != D3DTOP_DOTPRODUCT3)
    {
        const StageSetup& st = s.stages[0];
        DWORD a1 = st.colorArg1, a2 = st.colorArg2;
        if (st.skipColour)
            s.quickColour = 1;
        else if (st.colorOp == D3DTOP_MODULATE && ((isTex(a1) && isDif(a2)) || (isDif(a1) && isTex(a2))))
            s.quickColour = 2;
        else if ((st.colorOp == D3DTOP_SELECTARG1 && isTex(a1)) ||
                 (st.colorOp == D3DTOP_SELECTARG2 && isTex(a2)))
            s.quickColour = 3;
        else if ((st.colorOp == D3DTOP_SELECTARG1 && isDif(a1)) ||
                 (st.colorOp == D3DTOP_SELECTARG2 && isDif(a2)))
            s.quickColour = 1;
        DWORD b1 = st.alphaArg1, b2 = st.alphaArg2;
        if (st.skipAlpha || st.alphaOp == D3DTOP_DISABLE)
            s.quickAlpha = 0;
        else if ((st.alphaOp == D3DTOP_SELECTARG1 && isTex(b1)) ||
                 (st.alphaOp == D3DTOP_SELECTARG2 && isTex(b2)))
            s.quickAlpha = 1;
        else if ((st.alphaOp == D3DTOP_SELECTARG1 && isDif(b1)) ||
                 (st.alphaOp == D3DTOP_SELECTARG2 && isDif(b2)))
            s.quickAlpha = 0;
        else if (st.alphaOp == D3DTOP_MODULATE && ((isTex(b1) && isDif(b2)) || (isDif(b1) && isTex(b2))))
            s.quickAlpha = 2;
        else
            s.quickAlpha = -1;
        // A stage that reads a texture it lacks has been marked to skip that part.
        if ((s.quickColour >= 2 || s.quickAlpha >= 1) && st.texSlot != 0)
            s.quickColour = 0;
    }

    s.quickPath = 0;
    bool quickStages = s.quickColour > 0 && s.quickAlpha >= 0 && s.textureCount <= 1;
    bool quickPixels =
        !s.flat && !s.specular && !s.alphaTest && !s.blend && s.writeMask == 0xFFFFFFFFu &&
        (s.colourFormat == D3DFMT_A8R8G8B8 || s.colourFormat == D3DFMT_X8R8G8B8) &&
        (s.depthKind == 0 || (s.depthKind == 1 && (s.zFunc == D3DCMP_LESS || s.zFunc == D3DCMP_LESSEQUAL)));
    if (quickStages && quickPixels)
    {
        const TextureView& view = s.textures[0];
        if (s.textureCount == 0 || s.quickColour == 1)
            s.quickPath = s.quickAlpha == 0 ? 1 : 0;
        else if (view.wrapPow2 && !view.needsLod && view.lodBias == 0.0f)
        {
            bool point = view.magFilter == D3DTEXF_POINT || view.magFilter == D3DTEXF_NONE;
            bool linear = view.magFilter == D3DTEXF_LINEAR;
            s.quickPath = point ? 2 : linear ? 3 : 0;
        }
    }

    s.planeCount = 6;
    if (s.specular)
    {
        s.specularPlane = s.planeCount;
        s.planeCount += 3;
    }
    s.texPlane = s.planeCount;
    s.planeCount += 2 * s.textureCount;
    return true;
}
} // namespace Soft9
