// Vertex processing of the fixed-function pipeline: vertex blending, transforms, lighting, texture
// coordinates and point sizes.
#include "Platform/D3D9/Device/Pipeline.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Soft9
{
namespace
{
void ToFloats(const D3DMATRIX& m, float out[16])
{
    std::memcpy(out, &m, sizeof(float) * 16);
}

void Mul(const float a[16], const float b[16], float out[16])
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            out[i * 4 + j] = a[i * 4 + 0] * b[0 * 4 + j] + a[i * 4 + 1] * b[1 * 4 + j] +
                             a[i * 4 + 2] * b[2 * 4 + j] + a[i * 4 + 3] * b[3 * 4 + j];
}

// The matrix that carries normals (row vectors) for the upper 3 x 3 of `m`: its inverse transposed.
void NormalMatrix(const float m[16], float out[9])
{
    float a = m[0], b = m[1], c = m[2], d = m[4], e = m[5], f = m[6], g = m[8], h = m[9], i = m[10];
    float A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
    float det = a * A + b * B + c * C;
    float inv = std::fabs(det) > 1e-30f ? 1.0f / det : 0.0f;
    // Inverse transposed = cofactor matrix / det.
    out[0] = A * inv;
    out[1] = B * inv;
    out[2] = C * inv;
    out[3] = -(b * i - c * h) * inv;
    out[4] = (a * i - c * g) * inv;
    out[5] = -(a * h - b * g) * inv;
    out[6] = (b * f - c * e) * inv;
    out[7] = -(a * f - c * d) * inv;
    out[8] = (a * e - b * d) * inv;
}

void Colour3(const D3DCOLORVALUE& c, float out[3])
{
    out[0] = c.r;
    out[1] = c.g;
    out[2] = c.b;
}

void Colour4(const D3DCOLORVALUE& c, float out[4])
{
    out[0] = c.r;
    out[1] = c.g;
    out[2] = c.b;
    out[3] = c.a;
}

float AsFloat(DWORD d)
{
    float f;
    std::memcpy(&f, &d, sizeof f);
    return f;
}

float ReadFloat(const uint8_t* p)
{
    float f;
    std::memcpy(&f, p, sizeof f);
    return f;
}

uint32_t ReadU32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

void Normalise(float v[3])
{
    float len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (len > 0.0f)
    {
        v[0] /= len;
        v[1] /= len;
        v[2] /= len;
    }
}

int Source(const DeviceState& state, D3DRENDERSTATETYPE rs, bool hasDiffuse, bool hasSpecular)
{
    if (!state.renderStates[D3DRS_COLORVERTEX])
        return 0;
    DWORD v = state.renderStates[rs];
    if (v == D3DMCS_COLOR1 && hasDiffuse)
        return 1;
    if (v == D3DMCS_COLOR2 && hasSpecular)
        return 2;
    return 0;
}

void Unpack(uint32_t c, float out[4])
{
    out[0] = static_cast<float>((c >> 16) & 0xFF) * (1.0f / 255.0f);
    out[1] = static_cast<float>((c >> 8) & 0xFF) * (1.0f / 255.0f);
    out[2] = static_cast<float>(c & 0xFF) * (1.0f / 255.0f);
    out[3] = static_cast<float>(c >> 24) * (1.0f / 255.0f);
}
} // namespace

void BuildVertexProgram(const DeviceState& state, const DrawSetup& setup, VertexProgram& p,
                        float (*worldView)[16], float (*normalMatrix)[9])
{
    const auto& rs = state.renderStates;
    DWORD fvf = state.fvf;
    DWORD position = fvf & D3DFVF_POSITION_MASK;
    p = VertexProgram{};
    int offset = 12;
    unsigned betas = 0;
    if (position == D3DFVF_XYZRHW)
    {
        p.rhw = true;
        offset = 16;
    }
    else if (position >= D3DFVF_XYZB1 && position <= D3DFVF_XYZB5)
    {
        betas = (position - D3DFVF_XYZB1) / 2 + 1;
        offset = 12 + 4 * static_cast<int>(betas);
    }
    p.weights = betas;
    if (betas > 0 && (fvf & (D3DFVF_LASTBETA_UBYTE4 | D3DFVF_LASTBETA_D3DCOLOR)))
    {
        p.byteIndices = true;
        p.weights = betas - 1;
        p.indexOffset = 12 + 4 * static_cast<int>(betas - 1);
    }
    if (fvf & D3DFVF_NORMAL)
    {
        p.normalOffset = offset;
        offset += 12;
    }
    if (fvf & D3DFVF_PSIZE)
    {
        p.psizeOffset = offset;
        offset += 4;
    }
    if (fvf & D3DFVF_DIFFUSE)
    {
        p.diffuseOffset = offset;
        offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR)
    {
        p.specularOffset = offset;
        offset += 4;
    }
    p.texSets = std::min(8u, (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
    static constexpr unsigned dims[4] = {2, 3, 4, 1};
    for (unsigned i = 0; i < p.texSets; ++i)
    {
        p.texOffset[i] = offset;
        p.texDim[i] = dims[(fvf >> (16 + 2 * i)) & 3];
        offset += 4 * static_cast<int>(p.texDim[i]);
    }

    // Blending: VERTEXBLEND n uses n weights and n + 1 matrices; the last weight is what is left.
    DWORD blend = rs[D3DRS_VERTEXBLEND];
    if (blend >= D3DVBF_1WEIGHTS && blend <= D3DVBF_3WEIGHTS)
        p.blendMatrices = blend + 1;
    p.indexed = rs[D3DRS_INDEXEDVERTEXBLENDENABLE] && p.byteIndices && blend != D3DVBF_DISABLE &&
                blend != D3DVBF_TWEENING;
    float view[16];
    ToFloats(state.transforms[D3DTS_VIEW], view);
    unsigned matrices = p.indexed ? 256 : p.blendMatrices;
    for (unsigned k = 0; k < matrices; ++k)
    {
        float world[16];
        ToFloats(state.transforms[256 + k], world);
        Mul(world, view, worldView[k]);
        NormalMatrix(worldView[k], normalMatrix[k]);
    }
    p.worldView = worldView;
    p.normalMatrix = normalMatrix;
    ToFloats(state.transforms[D3DTS_PROJECTION], p.projection);

    bool hasDiffuse = p.diffuseOffset >= 0, hasSpecular = p.specularOffset >= 0;
    p.lighting = rs[D3DRS_LIGHTING] && !p.rhw;
    p.specular = rs[D3DRS_SPECULARENABLE] != 0;
    p.normalize = rs[D3DRS_NORMALIZENORMALS] != 0;
    p.localViewer = rs[D3DRS_LOCALVIEWER] != 0;
    if (p.lighting)
    {
        uint32_t ambient = rs[D3DRS_AMBIENT];
        float a4[4];
        Unpack(ambient, a4);
        std::copy(a4, a4 + 3, p.globalAmbient);
        const D3DMATERIAL9& m = state.material;
        Colour4(m.Diffuse, p.matDiffuse);
        Colour4(m.Ambient, p.matAmbient);
        Colour4(m.Specular, p.matSpecular);
        Colour4(m.Emissive, p.matEmissive);
        p.power = m.Power;
        p.diffuseSource = Source(state, D3DRS_DIFFUSEMATERIALSOURCE, hasDiffuse, hasSpecular);
        p.ambientSource = Source(state, D3DRS_AMBIENTMATERIALSOURCE, hasDiffuse, hasSpecular);
        p.specularSource = Source(state, D3DRS_SPECULARMATERIALSOURCE, hasDiffuse, hasSpecular);
        p.emissiveSource = Source(state, D3DRS_EMISSIVEMATERIALSOURCE, hasDiffuse, hasSpecular);
        for (const auto& [index, slot] : state.lights)
        {
            if (!slot.enabled || p.lightCount == 8)
                continue;
            const D3DLIGHT9& l = slot.light;
            LightSetup& out = p.lights[p.lightCount++];
            out.type = l.Type;
            Colour3(l.Diffuse, out.diffuse);
            Colour3(l.Specular, out.specular);
            Colour3(l.Ambient, out.ambient);
            const float pos[3] = {l.Position.x, l.Position.y, l.Position.z};
            const float dir[3] = {l.Direction.x, l.Direction.y, l.Direction.z};
            for (int j = 0; j < 3; ++j)
            {
                out.position[j] = pos[0] * view[0 * 4 + j] + pos[1] * view[1 * 4 + j] +
                                  pos[2] * view[2 * 4 + j] + view[3 * 4 + j];
                out.direction[j] =
                    -(dir[0] * view[0 * 4 + j] + dir[1] * view[1 * 4 + j] + dir[2] * view[2 * 4 + j]);
            }
            Normalise(out.direction);
            out.range = l.Range;
            out.att0 = l.Attenuation0;
            out.att1 = l.Attenuation1;
            out.att2 = l.Attenuation2;
            out.falloff = l.Falloff;
            out.cosTheta = std::cos(l.Theta * 0.5f);
            out.cosPhi = std::cos(l.Phi * 0.5f);
        }
    }

    // Texture coordinates, one output per stage that samples.
    p.texOutputs = setup.textureCount;
    for (unsigned t = 0; t < setup.textureCount; ++t)
    {
        unsigned stage = 0;
        for (unsigned s = 0; s < setup.stageCount; ++s)
            if (setup.stages[s].texSlot == static_cast<int>(t))
                stage = s;
        p.texSource[t] = state.stageStates[stage][D3DTSS_TEXCOORDINDEX] & 0xFFFF;
        DWORD flags = state.stageStates[stage][D3DTSS_TEXTURETRANSFORMFLAGS] & 0xFF;
        p.texTransform[t] = flags != D3DTTFF_DISABLE;
        ToFloats(state.transforms[D3DTS_TEXTURE0 + stage], p.texMatrix[t]);
    }

    p.pointSize = AsFloat(rs[D3DRS_POINTSIZE]);
    p.pointMin = AsFloat(rs[D3DRS_POINTSIZE_MIN]);
    p.pointMax = std::min(64.0f, AsFloat(rs[D3DRS_POINTSIZE_MAX]));
    p.pointScale = rs[D3DRS_POINTSCALEENABLE] != 0;
    p.pointA = AsFloat(rs[D3DRS_POINTSCALE_A]);
    p.pointB = AsFloat(rs[D3DRS_POINTSCALE_B]);
    p.pointC = AsFloat(rs[D3DRS_POINTSCALE_C]);
    p.viewportHeight = static_cast<float>(state.viewport.Height);
    p.vpX = setup.vpX;
    p.vpY = setup.vpY;
    p.vpHalfW = setup.vpHalfW;
    p.vpHalfH = setup.vpHalfH;
    p.vpMinZ = setup.vpMinZ;
    p.vpScaleZ = setup.vpScaleZ;
}

namespace
{
inline void Light(const VertexProgram& p, const float pos[3], const float normalIn[3], const float vd[4],
                  const float vs[4], ClipVertex& out)
{
    float n[3] = {normalIn[0], normalIn[1], normalIn[2]};
    if (p.normalize)
        Normalise(n);
    const float* cd = p.diffuseSource == 1 ? vd : p.diffuseSource == 2 ? vs : p.matDiffuse;
    const float* ca = p.ambientSource == 1 ? vd : p.ambientSource == 2 ? vs : p.matAmbient;
    const float* cs = p.specularSource == 1 ? vd : p.specularSource == 2 ? vs : p.matSpecular;
    const float* ce = p.emissiveSource == 1 ? vd : p.emissiveSource == 2 ? vs : p.matEmissive;
    float amb[3] = {p.globalAmbient[0], p.globalAmbient[1], p.globalAmbient[2]};
    float dif[3] = {0, 0, 0}, spe[3] = {0, 0, 0};
    float toEye[3] = {0.0f, 0.0f, -1.0f};
    if (p.specular && p.localViewer)
    {
        toEye[0] = -pos[0];
        toEye[1] = -pos[1];
        toEye[2] = -pos[2];
        Normalise(toEye);
    }
    for (unsigned i = 0; i < p.lightCount; ++i)
    {
        const LightSetup& l = p.lights[i];
        float L[3];
        float factor = 1.0f;
        if (l.type == D3DLIGHT_DIRECTIONAL)
        {
            L[0] = l.direction[0];
            L[1] = l.direction[1];
            L[2] = l.direction[2];
        }
        else
        {
            L[0] = l.position[0] - pos[0];
            L[1] = l.position[1] - pos[1];
            L[2] = l.position[2] - pos[2];
            float d = std::sqrt(L[0] * L[0] + L[1] * L[1] + L[2] * L[2]);
            if (d > l.range)
                continue;
            if (d > 0.0f)
            {
                L[0] /= d;
                L[1] /= d;
                L[2] /= d;
            }
            float den = l.att0 + l.att1 * d + l.att2 * d * d;
            factor = den > 0.0f ? 1.0f / den : 1.0f;
            if (l.type == D3DLIGHT_SPOT)
            {
                // rho: cosine between the spot's axis and the way from the light to the vertex (both
                // turned round here: the stored direction and L point towards the light).
                float rho = l.direction[0] * L[0] + l.direction[1] * L[1] + l.direction[2] * L[2];
                if (rho <= l.cosPhi)
                    continue;
                if (rho <= l.cosTheta)
                {
                    float t = (rho - l.cosPhi) / (l.cosTheta - l.cosPhi);
                    factor *= l.falloff == 1.0f ? t : std::pow(t, l.falloff);
                }
            }
        }
        for (int c = 0; c < 3; ++c)
            amb[c] += l.ambient[c] * factor;
        float nl = n[0] * L[0] + n[1] * L[1] + n[2] * L[2];
        if (nl <= 0.0f)
            continue;
        for (int c = 0; c < 3; ++c)
            dif[c] += l.diffuse[c] * nl * factor;
        if (p.specular && p.power > 0.0f)
        {
            float h[3] = {L[0] + toEye[0], L[1] + toEye[1], L[2] + toEye[2]};
            Normalise(h);
            float nh = n[0] * h[0] + n[1] * h[1] + n[2] * h[2];
            if (nh > 0.0f)
            {
                float s = std::pow(nh, p.power) * factor;
                for (int c = 0; c < 3; ++c)
                    spe[c] += l.specular[c] * s;
            }
        }
    }
    for (int c = 0; c < 3; ++c)
    {
        float v = ce[c] + ca[c] * amb[c] + cd[c] * dif[c];
        out.diffuse[c] = std::clamp(v, 0.0f, 1.0f) * 255.0f;
        out.specular[c] = p.specular ? std::clamp(cs[c] * spe[c], 0.0f, 1.0f) * 255.0f : 0.0f;
    }
    out.diffuse[3] = std::clamp(cd[3], 0.0f, 1.0f) * 255.0f;
}
} // namespace

void ProcessVertices(const VertexProgram& p, const DrawCall& call, UINT first, UINT end, ClipVertex* out)
{
    for (UINT i = first; i < end; ++i)
    {
        const uint8_t* v = call.vertices + static_cast<size_t>(i) * call.stride;
        ClipVertex& o = out[i - first];
        float vd[4] = {1, 1, 1, 1}, vs[4] = {0, 0, 0, 0};
        if (p.diffuseOffset >= 0)
            Unpack(ReadU32(v + p.diffuseOffset), vd);
        if (p.specularOffset >= 0)
            Unpack(ReadU32(v + p.specularOffset), vs);
        float x = ReadFloat(v), y = ReadFloat(v + 4), z = ReadFloat(v + 8);
        float viewPos[3] = {0, 0, 0};
        if (p.rhw)
        {
            float rhw = ReadFloat(v + 12);
            float w = rhw > 0.0f && std::isfinite(rhw) ? 1.0f / rhw : 1.0f;
            o.x = ((x - p.vpX) / p.vpHalfW - 1.0f) * w;
            o.y = (1.0f - (y - p.vpY) / p.vpHalfH) * w;
            o.z = p.vpScaleZ != 0.0f ? (z - p.vpMinZ) / p.vpScaleZ * w : z * w;
            o.w = w;
            for (int c = 0; c < 4; ++c)
                o.diffuse[c] = vd[c] * 255.0f;
            for (int c = 0; c < 3; ++c)
                o.specular[c] = vs[c] * 255.0f;
        }
        else
        {
            float weight[4] = {1, 0, 0, 0};
            unsigned idx[4] = {0, 1, 2, 3};
            unsigned count = p.blendMatrices;
            if (count > 1)
            {
                float left = 1.0f;
                for (unsigned k = 0; k + 1 < count; ++k)
                {
                    weight[k] = k < p.weights ? ReadFloat(v + 12 + 4 * k) : 0.0f;
                    left -= weight[k];
                }
                weight[count - 1] = left;
            }
            if (p.indexed)
            {
                uint32_t packed = ReadU32(v + p.indexOffset);
                for (unsigned k = 0; k < 4; ++k)
                    idx[k] = (packed >> (8 * k)) & 0xFF;
            }
            float nIn[3] = {0, 0, 0}, normal[3] = {0, 0, 0};
            bool hasNormal = p.normalOffset >= 0;
            if (hasNormal)
            {
                nIn[0] = ReadFloat(v + p.normalOffset);
                nIn[1] = ReadFloat(v + p.normalOffset + 4);
                nIn[2] = ReadFloat(v + p.normalOffset + 8);
            }
            for (unsigned k = 0; k < count; ++k)
            {
                float wk = weight[k];
                if (wk == 0.0f && count > 1)
                    continue;
                const float* m = p.worldView[idx[k]];
                for (int j = 0; j < 3; ++j)
                    viewPos[j] += wk * (x * m[j] + y * m[4 + j] + z * m[8 + j] + m[12 + j]);
                if (hasNormal && p.lighting)
                {
                    const float* nm = p.normalMatrix[idx[k]];
                    for (int j = 0; j < 3; ++j)
                        normal[j] += wk * (nIn[0] * nm[j] + nIn[1] * nm[3 + j] + nIn[2] * nm[6 + j]);
                }
            }
            const float* pr = p.projection;
            o.x = viewPos[0] * pr[0] + viewPos[1] * pr[4] + viewPos[2] * pr[8] + pr[12];
            o.y = viewPos[0] * pr[1] + viewPos[1] * pr[5] + viewPos[2] * pr[9] + pr[13];
            o.z = viewPos[0] * pr[2] + viewPos[1] * pr[6] + viewPos[2] * pr[10] + pr[14];
            o.w = viewPos[0] * pr[3] + viewPos[1] * pr[7] + viewPos[2] * pr[11] + pr[15];
            if (p.lighting)
                Light(p, viewPos, normal, vd, vs, o);
            else
            {
                for (int c = 0; c < 4; ++c)
                    o.diffuse[c] = vd[c] * 255.0f;
                for (int c = 0; c < 3; ++c)
                    o.specular[c] = vs[c] * 255.0f;
            }
        }

        for (unsigned t = 0; t < p.texOutputs; ++t)
        {
            unsigned set = p.texSource[t];
            float in[4] = {0, 0, 0, 0};
            if (set < p.texSets)
            {
                const uint8_t* tc = v + p.texOffset[set];
                unsigned dim = p.texDim[set];
                for (unsigned c = 0; c < dim; ++c)
                    in[c] = ReadFloat(tc + 4 * c);
                // The missing components of a transformed coordinate: one after the last given.
                if (dim < 4)
                    in[dim] = 1.0f;
            }
            if (p.texTransform[t])
            {
                const float* m = p.texMatrix[t];
                o.tex[t][0] = in[0] * m[0] + in[1] * m[4] + in[2] * m[8] + in[3] * m[12];
                o.tex[t][1] = in[0] * m[1] + in[1] * m[5] + in[2] * m[9] + in[3] * m[13];
            }
            else
            {
                o.tex[t][0] = in[0];
                o.tex[t][1] = in[1];
            }
        }

        float size = p.psizeOffset >= 0 ? ReadFloat(v + p.psizeOffset) : p.pointSize;
        if (p.pointScale && !p.rhw)
        {
            float de = std::sqrt(viewPos[0] * viewPos[0] + viewPos[1] * viewPos[1] + viewPos[2] * viewPos[2]);
            float den = p.pointA + p.pointB * de + p.pointC * de * de;
            size = den > 0.0f ? p.viewportHeight * size * std::sqrt(1.0f / den) : p.pointMax;
        }
        o.pointSize = std::clamp(size, p.pointMin, std::max(p.pointMin, p.pointMax));
    }
}
} // namespace Soft9
