#include "Engine/Scene/XMap.h"

#include "Components/XException.h"
#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "Engine/Scene/XClassIds.h"
#include "Engine/Scene/XMaterial.h"
#include "Engine/Scene/XSceneLink.h"
#include "Engine/Views/XViewport.h"

#include <bit>

namespace
{
enum : uint32_t
{
    TextureNameChunk = ClassId::Map + 0x01, // older files: the texture by name
    UVMatrixChunk = ClassId::Map + 0x02,
    TextureGuidChunk = ClassId::Map + 0x23,
};

// The stage and sampler states saved as u32 or float chunks, in the order they are written.
struct SavedState
{
    uint32_t chunk;
    bool sampler;
    uint32_t type;
};
const SavedState kSavedStates[] = {
    {ClassId::Map + 0x03, false, D3DTSS_COLOROP},
    {ClassId::Map + 0x04, false, D3DTSS_COLORARG1},
    {ClassId::Map + 0x05, false, D3DTSS_COLORARG2},
    {ClassId::Map + 0x06, false, D3DTSS_ALPHAOP},
    {ClassId::Map + 0x07, false, D3DTSS_ALPHAARG1},
    {ClassId::Map + 0x08, false, D3DTSS_ALPHAARG2},
    {ClassId::Map + 0x09, false, D3DTSS_BUMPENVMAT00},
    {ClassId::Map + 0x0A, false, D3DTSS_BUMPENVMAT01},
    {ClassId::Map + 0x0B, false, D3DTSS_BUMPENVMAT10},
    {ClassId::Map + 0x0C, false, D3DTSS_BUMPENVMAT11},
    {ClassId::Map + 0x0D, false, D3DTSS_TEXCOORDINDEX},
    {ClassId::Map + 0x0E, false, D3DTSS_BUMPENVLSCALE},
    {ClassId::Map + 0x0F, false, D3DTSS_BUMPENVLOFFSET},
    {ClassId::Map + 0x10, false, D3DTSS_TEXTURETRANSFORMFLAGS},
    {ClassId::Map + 0x11, false, D3DTSS_COLORARG0},
    {ClassId::Map + 0x12, false, D3DTSS_ALPHAARG0},
    {ClassId::Map + 0x13, false, D3DTSS_RESULTARG},
    {ClassId::Map + 0x14, false, D3DTSS_CONSTANT},
    {ClassId::Map + 0x15, true, D3DSAMP_MAGFILTER},
    {ClassId::Map + 0x16, true, D3DSAMP_MINFILTER},
    {ClassId::Map + 0x17, true, D3DSAMP_MIPFILTER},
};

// Texture names read from files are bounded before anything is allocated for them.
constexpr unsigned kMaxReadName = 1024;

bool IsStageState(unsigned type)
{
    return (type >= 1 && type <= 11) || (type >= 22 && type <= 24) || (type >= 26 && type <= 28) ||
           type == 32;
}

DWORD FloatBits(float value)
{
    return std::bit_cast<DWORD>(value);
}

// A fixed-size field: a chunk too short for it would read into whatever follows.
void ReadField(XReader& reader, void* data, unsigned size)
{
    if (reader.GetBytesLeft() < size || reader.Read(data, size) != size)
        throw FileUtils::XIOError();
}
} // namespace

XMap::XMap(XMaterial* owner) : m_Owner(owner), m_Texture(owner)
{
    m_Sampler[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
    m_Sampler[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
    m_Sampler[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    m_Sampler[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
    m_Sampler[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    m_Sampler[D3DSAMP_MAXANISOTROPY] = 1;
    m_Sampler[D3DSAMP_DMAPOFFSET] = 256;
    m_Stage[D3DTSS_COLOROP] = D3DTOP_DISABLE;
    m_Stage[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    m_Stage[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    m_Stage[D3DTSS_ALPHAOP] = D3DTOP_DISABLE;
    m_Stage[D3DTSS_ALPHAARG1] = D3DTA_DIFFUSE;
    m_Stage[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    m_Stage[D3DTSS_COLORARG0] = D3DTA_CURRENT;
    m_Stage[D3DTSS_ALPHAARG0] = D3DTA_DIFFUSE;
    m_Stage[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    m_UVMatrix.LoadIdentity();
}

DWORD XMap::GetSamplerState(D3DSAMPLERSTATETYPE type) const
{
    return type >= 1 && type < SamplerStateCount ? m_Sampler[type] : 0;
}

void XMap::SetSamplerState(D3DSAMPLERSTATETYPE type, DWORD value)
{
    if (type >= 1 && type < SamplerStateCount)
        m_Sampler[type] = value;
}

DWORD XMap::GetStageState(D3DTEXTURESTAGESTATETYPE type) const
{
    return IsStageState(type) ? m_Stage[type] : 0;
}

void XMap::SetStageState(D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    if (IsStageState(type))
        m_Stage[type] = value;
}

void XMap::Apply(unsigned frame, XViewport* viewport, unsigned stage)
{
    IDirect3DDevice9* device = viewport ? viewport->GetDevice() : nullptr;
    if (!device)
        return;
    DWORD colorOp = m_Stage[D3DTSS_COLOROP];
    device->SetTextureStageState(stage, D3DTSS_COLOROP, colorOp);
    if (colorOp != D3DTOP_DISABLE)
    {
        device->SetTextureStageState(stage, D3DTSS_COLORARG0, m_Stage[D3DTSS_COLORARG0]);
        device->SetTextureStageState(stage, D3DTSS_COLORARG1, m_Stage[D3DTSS_COLORARG1]);
        device->SetTextureStageState(stage, D3DTSS_COLORARG2, m_Stage[D3DTSS_COLORARG2]);
    }
    DWORD alphaOp = m_Stage[D3DTSS_ALPHAOP];
    device->SetTextureStageState(stage, D3DTSS_ALPHAOP, alphaOp);
    if (alphaOp != D3DTOP_DISABLE)
    {
        device->SetTextureStageState(stage, D3DTSS_ALPHAARG0, m_Stage[D3DTSS_ALPHAARG0]);
        device->SetTextureStageState(stage, D3DTSS_ALPHAARG1, m_Stage[D3DTSS_ALPHAARG1]);
        device->SetTextureStageState(stage, D3DTSS_ALPHAARG2, m_Stage[D3DTSS_ALPHAARG2]);
    }
    if (colorOp == D3DTOP_BUMPENVMAP || colorOp == D3DTOP_BUMPENVMAPLUMINANCE)
    {
        // Fixed bump values: the stored ones are kept for the file only.
        device->SetTextureStageState(stage, D3DTSS_BUMPENVMAT00, FloatBits(0.5f));
        device->SetTextureStageState(stage, D3DTSS_BUMPENVMAT01, FloatBits(0.0f));
        device->SetTextureStageState(stage, D3DTSS_BUMPENVMAT10, FloatBits(0.0f));
        device->SetTextureStageState(stage, D3DTSS_BUMPENVMAT11, FloatBits(0.5f));
        device->SetTextureStageState(stage, D3DTSS_BUMPENVLSCALE, FloatBits(4.0f));
        device->SetTextureStageState(stage, D3DTSS_BUMPENVLOFFSET, FloatBits(0.0f));
    }
    device->SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, m_Stage[D3DTSS_TEXCOORDINDEX]);
    DWORD transformFlags = m_Stage[D3DTSS_TEXTURETRANSFORMFLAGS];
    device->SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, transformFlags);
    if (transformFlags != 0)
    {
        D3DMATRIX matrix;
        static_assert(sizeof matrix == sizeof m_UVMatrix);
        matrix = std::bit_cast<D3DMATRIX>(m_UVMatrix);
        device->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + stage), &matrix);
    }
    XBaseTexture* texture = m_Texture.Get();
    if (!texture)
        return;
    for (D3DSAMPLERSTATETYPE type :
         {D3DSAMP_ADDRESSU, D3DSAMP_ADDRESSV, D3DSAMP_ADDRESSW, D3DSAMP_BORDERCOLOR, D3DSAMP_MAGFILTER,
          D3DSAMP_MINFILTER, D3DSAMP_MIPFILTER})
        device->SetSamplerState(stage, type, m_Sampler[type]);
    texture->Apply(frame, viewport, m_Owner, stage);
}

void XMap::Unapply(unsigned frame, XViewport* viewport, unsigned stage)
{
    if (XBaseTexture* texture = m_Texture.Get())
        texture->Unapply(frame, viewport, m_Owner, stage);
}

void XMap::Save(XWriter& writer)
{
    writer.BeginChunk(ClassId::Map);
    if (XBaseTexture* texture = m_Texture.Get())
        writer.WriteChunk(TextureGuidChunk, &texture->GetGuid(), sizeof(XGuid));
    if (m_Stage[D3DTSS_TEXTURETRANSFORMFLAGS] != 0)
        writer.WriteChunk(UVMatrixChunk, &m_UVMatrix, sizeof m_UVMatrix);
    for (const SavedState& s : kSavedStates)
        writer.WriteChunkU32(s.chunk, s.sampler ? m_Sampler[s.type] : m_Stage[s.type]);
    writer.EndChunk();
}

void XMap::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::Map)
        return;
    XSceneLink* link = XSceneLink::Get();
    while (reader.NextChunk())
    {
        uint32_t id = reader.GetChunkId();
        switch (id)
        {
        case TextureNameChunk:
        {
            XString name;
            reader.ReadString(name, kMaxReadName);
            if (scene)
                m_Texture.SetTarget(dynamic_cast<XBaseTexture*>(link->FindObject(scene, name)));
            break;
        }
        case TextureGuidChunk:
        {
            XGuid guid;
            ReadField(reader, &guid, sizeof guid);
            if (scene)
                m_Texture.SetTarget(dynamic_cast<XBaseTexture*>(link->FindObject(scene, guid)));
            break;
        }
        case UVMatrixChunk:
            ReadField(reader, &m_UVMatrix, sizeof m_UVMatrix);
            break;
        default:
            for (const SavedState& s : kSavedStates)
            {
                if (s.chunk != id)
                    continue;
                uint32_t value = 0;
                ReadField(reader, &value, 4);
                (s.sampler ? m_Sampler[s.type] : m_Stage[s.type]) = value;
                break;
            }
            break;
        }
        reader.EndChunk();
    }
    if (m_Owner)
        m_Owner->NotifyDependents(XRM_MATERIAL_CHANGED, 0);
}
