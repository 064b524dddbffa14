#include "Engine/Scene/XMaterial.h"

#include "Components/XColor.h"
#include "Components/XException.h"
#include "Components/XReader.h"
#include "Components/XVariant.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XArrayChunks.h"
#include "Engine/Scene/XClassIds.h"
#include "Engine/Views/XViewport.h"

#include <memory>

using VarUtils::XVariant;

XMaterialDesc MaterialDesc;

namespace
{
enum : uint32_t
{
    RecordChunk = ClassId::Material + 0x01,
    MapChunk = ClassId::Material + 0x02,
    AlphaTestChunk = ClassId::Material + 0x08,
    AlphaRefChunk = ClassId::Material + 0x09,
    AlphaFuncChunk = ClassId::Material + 0x0A,
    AlphaBlendChunk = ClassId::Material + 0x0B,
    SrcBlendChunk = ClassId::Material + 0x0C,
    DestBlendChunk = ClassId::Material + 0x0D,
};

// Sent to the dependents when a channel shows another texture.
constexpr uintptr_t kMapTextureChanged = 0x10000000;

const XPropertyDesc kProperties[] = {
    {XMaterial::PidDiffuse, u"XColor", u"Diffuse"},   {XMaterial::PidAmbient, u"XColor", u"Ambient"},
    {XMaterial::PidSpecular, u"XColor", u"Specular"}, {XMaterial::PidEmissive, u"XColor", u"Emissive"},
    {XMaterial::PidPower, u"float", u"Power"},
};
constexpr unsigned kPropertyCount = sizeof kProperties / sizeof kProperties[0];

const WCHAR kTooManyMaps[] = u"Превышено максимальное число каналов для материала!";

static_assert(sizeof(D3DMATERIAL9) == 68);
} // namespace

XMaterial::XMaterial()
{
    SetName(MakeName());
    ResetMaterial();
    m_Maps.Add(new XMap(this));
}

XMaterial::~XMaterial()
{
    try
    {
        ClearMaps();
    }
    catch (...)
    {
    }
}

void XMaterial::ResetMaterial()
{
    m_Material = D3DMATERIAL9{};
    m_Material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    m_Material.Power = 1.0f;
    m_AlphaTest = 0;
    m_AlphaRef = 0;
    m_AlphaFunc = D3DCMP_ALWAYS;
    m_AlphaBlend = 0;
    m_SrcBlend = D3DBLEND_ONE;
    m_DestBlend = D3DBLEND_ZERO;
}

uint32_t XMaterial::GetClassId() const
{
    return ClassId::Material;
}

XString XMaterial::GetClassNameW() const
{
    return u"XMaterial";
}

// ---- maps --------------------------------------------------------------------------------------

void XMaterial::AddMap(XMap* map)
{
    if (m_Maps.GetCount() >= MaxMaps)
        throw XException(kTooManyMaps);
    m_Maps.Add(map);
}

void XMaterial::InsertMap(unsigned index)
{
    if (m_Maps.GetCount() >= MaxMaps)
        throw XException(kTooManyMaps);
    std::unique_ptr<XMap> map(new XMap(this));
    m_Maps.Insert(index, map.get());
    map.release();
}

void XMaterial::ClearMaps()
{
    m_Maps.Clear();
}

void XMaterial::SetMapTexture(unsigned index, XBaseTexture* texture)
{
    if (index >= m_Maps.GetCount())
        return;
    XMap* map = m_Maps[index];
    if (map->Shows(texture))
        return;
    map->SetTexture(texture);
    NotifyDependents(XRM_MATERIAL_CHANGED, kMapTextureChanged);
}

void XMaterial::Notification(XRefManager* sender, unsigned message, uintptr_t param)
{
    if (message == XRM_DELETED || message == XRM_RELEASED)
    {
        // By index and re-checking the count: a dependent may change the maps while it hears.
        for (unsigned i = 0; i < m_Maps.GetCount(); ++i)
        {
            // Compared as targets: a texture being deleted is no longer an XBaseTexture.
            if (sender && m_Maps[i]->Shows(sender))
                SetMapTexture(i, nullptr);
        }
    }
    XBaseMaterial::Notification(sender, message, param);
}

// ---- drawing -----------------------------------------------------------------------------------

void XMaterial::BeforeRender(unsigned frame, XViewport* viewport)
{
    IDirect3DDevice9* device = viewport ? viewport->GetDevice() : nullptr;
    if (!device)
        return;
    device->SetMaterial(&m_Material);
    unsigned count = m_Maps.GetCount();
    for (unsigned i = 0; i < count; ++i)
        m_Maps[i]->Apply(frame, viewport, i);
    if (count < MaxMaps)
    {
        // Ends the stage cascade after the last map.
        device->SetTextureStageState(count, D3DTSS_COLOROP, D3DTOP_DISABLE);
        device->SetTextureStageState(count, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    }
    if (m_AlphaTest)
    {
        device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
        device->SetRenderState(D3DRS_ALPHAREF, m_AlphaRef);
        device->SetRenderState(D3DRS_ALPHAFUNC, m_AlphaFunc);
    }
    if (m_AlphaBlend)
    {
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, m_SrcBlend);
        device->SetRenderState(D3DRS_DESTBLEND, m_DestBlend);
    }
}

void XMaterial::AfterRender(unsigned frame, XViewport* viewport)
{
    IDirect3DDevice9* device = viewport ? viewport->GetDevice() : nullptr;
    if (!device)
        return;
    D3DMATERIAL9 none{};
    device->SetMaterial(&none);
    for (unsigned i = 0; i < m_Maps.GetCount(); ++i)
        m_Maps[i]->Unapply(frame, viewport, i);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    if (m_AlphaTest)
        device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    if (m_AlphaBlend)
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
}

// ---- scene file --------------------------------------------------------------------------------

void XMaterial::Save(XScene* scene, XWriter& writer)
{
    XBaseMaterial::Save(scene, writer);
    writer.BeginChunk(ClassId::Material);
    writer.WriteChunk(RecordChunk, &m_Material, sizeof m_Material);
    for (unsigned i = 0; i < m_Maps.GetCount(); ++i)
    {
        writer.BeginChunk(MapChunk);
        m_Maps[i]->Save(writer);
        writer.EndChunk();
    }
    writer.WriteChunkU32(AlphaTestChunk, m_AlphaTest ? 1 : 0);
    writer.WriteChunkU32(AlphaRefChunk, m_AlphaRef);
    writer.WriteChunkU32(AlphaFuncChunk, m_AlphaFunc);
    writer.WriteChunkU32(AlphaBlendChunk, m_AlphaBlend ? 1 : 0);
    writer.WriteChunkU32(SrcBlendChunk, m_SrcBlend);
    writer.WriteChunkU32(DestBlendChunk, m_DestBlend);
    writer.EndChunk();
}

void XMaterial::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::Material)
    {
        XBaseMaterial::Load(scene, reader);
        return;
    }
    ClearMaps();
    ResetMaterial();
    while (reader.NextChunk())
    {
        switch (reader.GetChunkId())
        {
        case RecordChunk:
        {
            D3DMATERIAL9 record;
            if (reader.GetBytesLeft() < sizeof record || reader.Read(&record, sizeof record) != sizeof record)
                throw FileUtils::XIOError();
            m_Material = record;
            break;
        }
        case MapChunk:
        {
            std::unique_ptr<XMap> map(new XMap(this));
            while (reader.NextChunk())
            {
                map->Load(scene, reader);
                reader.EndChunk();
            }
            AddMap(map.get());
            map.release();
            break;
        }
        case AlphaTestChunk:
            m_AlphaTest = XArrayChunks::ReadU32(reader) != 0 ? 1 : 0;
            break;
        case AlphaRefChunk:
            m_AlphaRef = XArrayChunks::ReadU32(reader);
            break;
        case AlphaFuncChunk:
            m_AlphaFunc = XArrayChunks::ReadU32(reader);
            break;
        case AlphaBlendChunk:
            m_AlphaBlend = XArrayChunks::ReadU32(reader) != 0 ? 1 : 0;
            break;
        case SrcBlendChunk:
            m_SrcBlend = XArrayChunks::ReadU32(reader);
            break;
        case DestBlendChunk:
            m_DestBlend = XArrayChunks::ReadU32(reader);
            break;
        default:
            break;
        }
        reader.EndChunk();
    }
    if (m_Maps.GetCount() == 0)
        InsertMap(0);
    NotifyDependents(XRM_MATERIAL_CHANGED, ClassId::Material);
}

// ---- properties --------------------------------------------------------------------------------

unsigned XMaterial::GetPropertyCount() const
{
    return kPropertyCount + XBaseMaterial::GetPropertyCount();
}

const XPropertyDesc* XMaterial::GetPropertyDesc(unsigned index) const
{
    if (index < kPropertyCount)
        return &kProperties[index];
    return XBaseMaterial::GetPropertyDesc(index - kPropertyCount);
}

void XMaterial::GetPropertyValue(unsigned id, XVariant& value)
{
    switch (id)
    {
    case PidDiffuse:
        value = static_cast<unsigned>(XColor(m_Material.Diffuse).GetARGB());
        break;
    case PidAmbient:
        value = static_cast<unsigned>(XColor(m_Material.Ambient).GetARGB());
        break;
    case PidSpecular:
        value = static_cast<unsigned>(XColor(m_Material.Specular).GetARGB());
        break;
    case PidEmissive:
        value = static_cast<unsigned>(XColor(m_Material.Emissive).GetARGB());
        break;
    case PidPower:
        value = m_Material.Power;
        break;
    default:
        XBaseMaterial::GetPropertyValue(id, value);
        break;
    }
}

void XMaterial::SetPropertyValue(unsigned id, const XVariant& value)
{
    auto color = [&value] { return XColor(static_cast<unsigned>(value.AsInt())).ToColorValue(); };
    switch (id)
    {
    case PidDiffuse:
        m_Material.Diffuse = color();
        break;
    case PidAmbient:
        m_Material.Ambient = color();
        break;
    case PidSpecular:
        m_Material.Specular = color();
        break;
    case PidEmissive:
        m_Material.Emissive = color();
        break;
    case PidPower:
        m_Material.Power = static_cast<float>(value.AsDouble());
        break;
    default:
        XBaseMaterial::SetPropertyValue(id, value);
        break;
    }
}

// ---- descriptor --------------------------------------------------------------------------------

XBaseObject* XMaterialDesc::Create() const
{
    return new XMaterial();
}

XString XMaterialDesc::GetClassNameW() const
{
    return u"XMaterial";
}

uint32_t XMaterialDesc::GetCategory() const
{
    return XCAT_MATERIAL;
}
