#include "Engine/Scene/XBaseLight.h"

#include "Components/XException.h"
#include "Components/XReader.h"
#include "Components/XVariant.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XBaseMesh.h"
#include "Engine/Scene/XClassIds.h"

#include <cfloat>

using VarUtils::XVariant;

XBaseLightDesc BaseLightDesc;
XPointLightDesc PointLightDesc;
XSpotLightDesc SpotLightDesc;
XDirectionalLightDesc DirectionalLightDesc;

static_assert(sizeof(D3DLIGHT9) == 104, "the record is saved as it lies in memory");

namespace
{
const XPropertyDesc kProperties[] = {
    {XBaseLight::PidActive, u"bool", u"Active"},
    {XBaseLight::PidDiffuseColor, u"XColor", u"DiffuseColor"},
    {XBaseLight::PidAmbientColor, u"XColor", u"AmbientColor"},
    {XBaseLight::PidSpecularColor, u"XColor", u"SpecularColor"},
    {XBaseLight::PidRange, u"float", u"Range"},
    {XBaseLight::PidFalloff, u"float", u"Falloff"},
    {XBaseLight::PidAttenuation0, u"float", u"Attenuation0"},
    {XBaseLight::PidAttenuation1, u"float", u"Attenuation1"},
    {XBaseLight::PidAttenuation2, u"float", u"Attenuation2"},
    {XBaseLight::PidTheta, u"float", u"Theta"},
    {XBaseLight::PidPhi, u"float", u"Phi"},
};
constexpr unsigned kPropertyCount = sizeof kProperties / sizeof kProperties[0];

const XVertex kPointVertices[] = {{0, 1, 0},        {0, -1, 0},      {-0.7f, 0, -0.7f},
                                  {-0.7f, 0, 0.7f}, {0.7f, 0, 0.7f}, {0.7f, 0, -0.7f}};
const uint32_t kPointIndices[] = {0, 5, 2, 0, 2, 3, 0, 3, 4, 0, 4, 5, 1, 2, 5, 1, 3, 2, 1, 4, 3, 1, 5, 4};

const XVertex kLampVertices[] = {
    {0, 0, 0},
    {-0.5f, 0.3f, -0.3f},
    {-0.5f, 0.3f, 0.3f},
    {-0.5f, -0.3f, 0.3f},
    {-0.5f, -0.3f, -0.3f},
    {-0.2f, 0.2f, -0.2f},
    {-0.2f, 0.2f, 0.2f},
    {0.2f, 0.2f, 0.2f},
    {0.2f, 0.2f, -0.2f},
    {-0.2f, -0.2f, -0.2f},
    {-0.2f, -0.2f, 0.2f},
    {0.2f, -0.2f, 0.2f},
    {0.2f, -0.2f, -0.2f},
};
const uint32_t kLampIndices[] = {0, 1, 2,  0,  2,  3, 0, 3, 4, 0, 4,  1, 1, 4,  3,  3,  2,  1,
                                 5, 8, 12, 12, 9,  5, 6, 5, 9, 9, 10, 6, 7, 6,  10, 10, 11, 7,
                                 8, 7, 11, 11, 12, 8, 5, 6, 7, 7, 8,  5, 9, 12, 11, 11, 10, 9};

static_assert(sizeof kPointIndices / sizeof kPointIndices[0] == 3 * 8);
static_assert(sizeof kLampIndices / sizeof kLampIndices[0] == 3 * 18);

void StoreColor(D3DCOLORVALUE& out, const XVariant& value)
{
    out = XColor(static_cast<unsigned>(value.AsInt())).ToColorValue();
}
} // namespace

const XLightIcon XPointLight::Icon = {kPointVertices, 6, kPointIndices, 8};
const XLightIcon XSpotLight::Icon = {kLampVertices, 13, kLampIndices, 18};

// ---- the record --------------------------------------------------------------------------------

D3DLIGHT9 XBaseLight::DefaultLight(D3DLIGHTTYPE type)
{
    D3DLIGHT9 light{};
    light.Type = type;
    light.Diffuse = {1, 1, 1, 1};
    light.Specular = {0, 0, 0, 0};
    light.Ambient = {0, 0, 0, 0};
    light.Position = {0, 0, 0};
    light.Direction = {-1, 0, 0};
    light.Range = FLT_MAX;
    light.Falloff = 1.0f;
    light.Attenuation0 = 0.01f;
    light.Attenuation1 = 0.01f;
    light.Attenuation2 = 0.01f;
    light.Theta = 1.57f;
    light.Phi = 1.57f;
    return light;
}

XBaseLight::XBaseLight(D3DLIGHTTYPE type) : m_Light(DefaultLight(type)), m_Type(type)
{
    SetName(u"Light");
}

XBaseLight::~XBaseLight()
{
    try
    {
        SetScene(nullptr);
    }
    catch (...)
    {
    }
}

uint32_t XBaseLight::GetClassId() const
{
    return ClassId::BaseLight;
}

XString XBaseLight::GetClassNameW() const
{
    return u"XBaseLight";
}

const D3DLIGHT9* XBaseLight::GetLight(unsigned frame)
{
    if (m_LightValid && m_WorldStamp == frame)
        return &m_Light;
    XMatrix m;
    GetMeshMatrix(frame, m);
    m_LightValid = true;
    m_Light.Position = {m.m[3][0], m.m[3][1], m.m[3][2]};
    XVertex direction(-m.m[0][0], -m.m[0][1], -m.m[0][2]);
    direction.Normalize();
    m_Light.Direction = {direction.x, direction.y, direction.z};
    m_Light.Type = m_Type;
    return &m_Light;
}

bool XBaseLight::GetActive()
{
    return m_Active;
}

void XBaseLight::SetActive(bool active)
{
    m_Active = active;
}

void XBaseLight::InvalidateNodeMatrix()
{
    XMeshNode::InvalidateNodeMatrix();
    m_LightValid = false;
}

// ---- object protocol ---------------------------------------------------------------------------

void XBaseLight::Save(XScene* scene, XWriter& writer)
{
    XMeshNode::Save(scene, writer);
    D3DLIGHT9 light = *GetLight(0);
    writer.BeginChunk(ClassId::BaseLight);
    writer.WriteChunk(RecordChunk, &light, sizeof light);
    writer.WriteChunkU8(PidActive, m_Active);
    writer.EndChunk();
}

void XBaseLight::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::BaseLight)
    {
        XMeshNode::Load(scene, reader);
        return;
    }
    m_LightValid = false;
    m_Light = DefaultLight(m_Type);
    SetActive(true);
    while (reader.NextChunk())
    {
        switch (reader.GetChunkId())
        {
        case RecordChunk:
        {
            D3DLIGHT9 light;
            if (reader.GetBytesLeft() < sizeof light || reader.Read(&light, sizeof light) != sizeof light)
                throw FileUtils::XIOError();
            m_Light = light;
            break;
        }
        case PidActive:
        {
            uint8_t active = 1;
            reader.ReadU8(active);
            SetActive(active != 0);
            break;
        }
        default:
            break;
        }
        reader.EndChunk();
    }
    m_Light.Type = m_Type;
}

unsigned XBaseLight::GetPropertyCount() const
{
    return kPropertyCount + XMeshNode::GetPropertyCount();
}

const XPropertyDesc* XBaseLight::GetPropertyDesc(unsigned index) const
{
    if (index < kPropertyCount)
        return &kProperties[index];
    return XMeshNode::GetPropertyDesc(index - kPropertyCount);
}

void XBaseLight::GetPropertyValue(unsigned id, XVariant& value)
{
    switch (id)
    {
    case PidActive:
        value = GetActive();
        break;
    case PidDiffuseColor:
        value = static_cast<unsigned>(XColor(m_Light.Diffuse).GetARGB());
        break;
    case PidAmbientColor:
        value = static_cast<unsigned>(XColor(m_Light.Ambient).GetARGB());
        break;
    case PidSpecularColor:
        value = static_cast<unsigned>(XColor(m_Light.Specular).GetARGB());
        break;
    case PidRange:
        value = m_Light.Range;
        break;
    case PidFalloff:
        value = m_Light.Falloff;
        break;
    case PidAttenuation0:
        value = m_Light.Attenuation0;
        break;
    case PidAttenuation1:
        value = m_Light.Attenuation1;
        break;
    case PidAttenuation2:
        value = m_Light.Attenuation2;
        break;
    case PidTheta:
        value = m_Light.Theta;
        break;
    case PidPhi:
        value = m_Light.Phi;
        break;
    default:
        XMeshNode::GetPropertyValue(id, value);
        return;
    }
}

void XBaseLight::SetPropertyValue(unsigned id, const XVariant& value)
{
    switch (id)
    {
    case PidActive:
        SetActive(value.AsBool());
        break;
    case PidDiffuseColor:
        StoreColor(m_Light.Diffuse, value);
        break;
    case PidAmbientColor:
        StoreColor(m_Light.Ambient, value);
        break;
    case PidSpecularColor:
        StoreColor(m_Light.Specular, value);
        break;
    case PidRange:
        m_Light.Range = static_cast<float>(value.AsDouble());
        break;
    case PidFalloff:
        m_Light.Falloff = static_cast<float>(value.AsDouble());
        break;
    case PidAttenuation0:
        m_Light.Attenuation0 = static_cast<float>(value.AsDouble());
        break;
    case PidAttenuation1:
        m_Light.Attenuation1 = static_cast<float>(value.AsDouble());
        break;
    case PidAttenuation2:
        m_Light.Attenuation2 = static_cast<float>(value.AsDouble());
        break;
    case PidTheta:
        m_Light.Theta = static_cast<float>(value.AsDouble());
        break;
    case PidPhi:
        m_Light.Phi = static_cast<float>(value.AsDouble());
        break;
    default:
        XMeshNode::SetPropertyValue(id, value);
        return;
    }
    m_LightValid = false;
}

// ---- transforms --------------------------------------------------------------------------------

void XBaseLight::Move(unsigned frame, const XMatrix& axes, const XVertex& delta, bool withChildren,
                      XTransformTarget target)
{
    XMeshNode::Move(frame, axes, delta, withChildren, target);
    m_LightValid = false;
}

void XBaseLight::Rotate(unsigned frame, const XMatrix& axes, const XVertex& angles, bool withChildren,
                        XTransformTarget target)
{
    XMeshNode::Rotate(frame, axes, angles, withChildren, target);
    m_LightValid = false;
}

void XBaseLight::Scale(unsigned frame, const XMatrix& axes, const XVertex& factors, bool withChildren,
                       XTransformTarget target)
{
    XMeshNode::Scale(frame, axes, factors, withChildren, target);
    m_LightValid = false;
}

// ---- icon --------------------------------------------------------------------------------------

void XBaseLight::RenderIcon(unsigned frame, XViewport* viewport, const XLightIcon& icon)
{
    IDirect3DDevice9* device = viewport ? viewport->GetDevice() : nullptr;
    if (!device)
        return;
    XMatrix world;
    GetMeshMatrix(frame, world);
    device->SetTransform(D3DTS_WORLD, reinterpret_cast<const D3DMATRIX*>(&world));
    device->SetStreamSource(0, nullptr, 0, sizeof(XVertex));
    device->SetFVF(D3DFVF_XYZ);
    device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    D3DMATERIAL9 material{};
    material.Diffuse = GetColor().ToColorValue();
    material.Power = 1.0f;
    device->SetMaterial(&material);
    device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, icon.vertexCount, icon.triangleCount, icon.indices,
                                   D3DFMT_INDEX32, icon.vertices, sizeof(XVertex));
}

bool XBaseLight::IntersectIcon(unsigned frame, XViewport* viewport, const XPoint& point, float& distance,
                               const XLightIcon& icon)
{
    distance = FLT_MAX;
    if (!viewport)
        return false;
    XMatrix world;
    GetMeshMatrix(frame, world);
    const XPickRay ray(frame, viewport, point, world);
    for (uint32_t i = 0; i < icon.triangleCount; ++i)
    {
        const uint32_t* t = icon.indices + 3 * i;
        ray.Hit(icon.vertices[t[0]], icon.vertices[t[1]], icon.vertices[t[2]], distance);
    }
    return distance != FLT_MAX;
}

// ---- the kinds ---------------------------------------------------------------------------------

XPointLight::XPointLight() : XBaseLight(D3DLIGHT_POINT) {}

uint32_t XPointLight::GetClassId() const
{
    return ClassId::PointLight;
}

XString XPointLight::GetClassNameW() const
{
    return u"XPointLight";
}

bool XPointLight::IntersectRay(unsigned frame, XViewport* viewport, const XPoint& point, float& distance,
                               unsigned)
{
    return IntersectIcon(frame, viewport, point, distance, Icon);
}

bool XPointLight::HitTest(unsigned frame, XViewport* viewport, const XPoint& point, unsigned)
{
    float distance;
    return IntersectIcon(frame, viewport, point, distance, Icon);
}

void XPointLight::Render(unsigned frame, XViewport* viewport, unsigned)
{
    RenderIcon(frame, viewport, Icon);
}

XBoundingBox XPointLight::GetMeshBoundingBox(unsigned)
{
    return XBoundingBox(-0.7f, -1.0f, -0.7f, 0.7f, 1.0f, 0.7f);
}

XSpotLight::XSpotLight() : XBaseLight(D3DLIGHT_SPOT) {}

uint32_t XSpotLight::GetClassId() const
{
    return ClassId::SpotLight;
}

XString XSpotLight::GetClassNameW() const
{
    return u"XSpotLight";
}

bool XSpotLight::IntersectRay(unsigned frame, XViewport* viewport, const XPoint& point, float& distance,
                              unsigned)
{
    return IntersectIcon(frame, viewport, point, distance, Icon);
}

bool XSpotLight::HitTest(unsigned frame, XViewport* viewport, const XPoint& point, unsigned)
{
    float distance;
    return IntersectIcon(frame, viewport, point, distance, Icon);
}

void XSpotLight::Render(unsigned frame, XViewport* viewport, unsigned)
{
    RenderIcon(frame, viewport, Icon);
}

XBoundingBox XSpotLight::GetMeshBoundingBox(unsigned)
{
    return XBoundingBox(-0.5f, -0.3f, -0.3f, 0.5f, 0.3f, 0.3f);
}

XDirectionalLight::XDirectionalLight() : XBaseLight(D3DLIGHT_DIRECTIONAL) {}

uint32_t XDirectionalLight::GetClassId() const
{
    return ClassId::DirectionalLight;
}

XString XDirectionalLight::GetClassNameW() const
{
    return u"XDirectionalLight";
}

bool XDirectionalLight::IntersectRay(unsigned frame, XViewport* viewport, const XPoint& point,
                                     float& distance, unsigned)
{
    return IntersectIcon(frame, viewport, point, distance, XSpotLight::Icon);
}

bool XDirectionalLight::HitTest(unsigned frame, XViewport* viewport, const XPoint& point, unsigned)
{
    float distance;
    return IntersectIcon(frame, viewport, point, distance, XSpotLight::Icon);
}

void XDirectionalLight::Render(unsigned frame, XViewport* viewport, unsigned)
{
    RenderIcon(frame, viewport, XSpotLight::Icon);
}

XBoundingBox XDirectionalLight::GetMeshBoundingBox(unsigned)
{
    return XBoundingBox(-0.5f, -0.3f, -0.3f, 0.5f, 0.3f, 0.3f);
}

// ---- descriptors -------------------------------------------------------------------------------

XBaseObject* XBaseLightDesc::Create() const
{
    return nullptr;
}

XString XBaseLightDesc::GetClassNameW() const
{
    return u"XBaseLight";
}

uint32_t XBaseLightDesc::GetCategory() const
{
    return XCAT_LIGHT;
}

XBaseObject* XPointLightDesc::Create() const
{
    return new XPointLight;
}

XString XPointLightDesc::GetClassNameW() const
{
    return u"XPointLight";
}

XBaseObject* XSpotLightDesc::Create() const
{
    return new XSpotLight;
}

XString XSpotLightDesc::GetClassNameW() const
{
    return u"XSpotLight";
}

XBaseObject* XDirectionalLightDesc::Create() const
{
    return new XDirectionalLight;
}

XString XDirectionalLightDesc::GetClassNameW() const
{
    return u"XDirectionalLight";
}
