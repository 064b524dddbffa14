// The state a draw's pixels depend on, taken from the device state when the draw is made.
#include "Platform/D3D9/Device/Device.h"
#include "Platform/D3D9/Device/Pipeline.h"
#include "Platform/D3D9/PixelFormat.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Soft9
{
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
    s.quickBlend = s.blend && s.srcBlend == D3DBLEND_SRCALPHA && s.destBlend == D3DBLEND_INVSRCALPHA &&
                   s.blendOp == D3DBLENDOP_ADD && !s.separateAlpha;
    bool quickStages = s.quickColour > 0 && s.quickAlpha >= 0 && s.textureCount <= 1;
    bool quickPixels =
        !s.flat && !s.specular && (!s.blend || s.quickBlend) && s.writeMask == 0xFFFFFFFFu &&
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
