#include "Engine/Objects/XParticleSystem.h"

#include "Components/XQuaternion.h"
#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XArrayChunks.h"
#include "Engine/Geometry/XBaseShape.h"
#include "Engine/Scene/XBaseMaterial.h"
#include "Engine/Scene/XClassIds.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XSceneLink.h"
#include "Platform/D3D9/D3D9.h"

#include <cmath>
#include <cstdlib>

class XXParticleSystemWidthField
    : public XShapeFloatField<XParticleSystem, &XParticleSystem::GetWidth, &XParticleSystem::SetWidth>
{
public:
    XXParticleSystemWidthField() : XShapeFloatField(u"Width") {}
};

class XXParticleSystemHeightField
    : public XShapeFloatField<XParticleSystem, &XParticleSystem::GetHeight, &XParticleSystem::SetHeight>
{
public:
    XXParticleSystemHeightField() : XShapeFloatField(u"Height") {}
};

class XXParticleSystemDepthField
    : public XShapeFloatField<XParticleSystem, &XParticleSystem::GetDepth, &XParticleSystem::SetDepth>
{
public:
    XXParticleSystemDepthField() : XShapeFloatField(u"Depth") {}
};

namespace
{
XXParticleSystemWidthField g_WidthField;
XXParticleSystemHeightField g_HeightField;
XXParticleSystemDepthField g_DepthField;

// The brackets are drawn unlit in black.
const D3DMATERIAL9 kBracketMaterial = {{0, 0, 0, 1}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, 1.0f};

struct BracketVertex
{
    float x, y, z;
    uint32_t color;
};
static_assert(sizeof(BracketVertex) == 16);

// For each corner of the unit cube, three segments 0.4 long along its edges.
struct BracketLines
{
    BracketVertex v[48];
    BracketLines()
    {
        unsigned k = 0;
        for (unsigned corner = 0; corner < 8; ++corner)
        {
            const float c[3] = {static_cast<float>(corner & 1), static_cast<float>(corner >> 1 & 1),
                                static_cast<float>(corner >> 2 & 1)};
            for (unsigned axis = 0; axis < 3; ++axis)
            {
                float e[3] = {c[0], c[1], c[2]};
                e[axis] += c[axis] == 0 ? 0.4f : -0.4f;
                v[k++] = {c[0], c[1], c[2], 0xFFFFFFFFu};
                v[k++] = {e[0], e[1], e[2], 0xFFFFFFFFu};
            }
        }
    }
};
const BracketLines kBrackets;

// One creation at a time.
struct CreateState
{
    unsigned presses = 0;
    unsigned plane = XAXIS_XY;
    XVertex start{0, 0, 0};
    XVertex free{0, 0, 0}; // the last projection on all three axes
} g_Create;
} // namespace

XParticleSystemDesc ParticleSystemDesc;

XParticleSystem::XParticleSystem()
{
    SetName(u"ParticleSystem");
    m_Width = 1.0f;
    m_Height = 1.0f;
    SetDepth(1.0f);
}

XParticleSystem::~XParticleSystem() = default;

uint32_t XParticleSystem::GetClassId() const
{
    return ClassId::ParticleSystem;
}

XString XParticleSystem::GetClassNameW() const
{
    return u"XParticleSystem";
}

void XParticleSystem::SetWidth(float width)
{
    if (width == m_Width)
        return;
    m_Width = width;
    MeshInvalidate();
}

void XParticleSystem::SetHeight(float height)
{
    if (height == m_Height)
        return;
    m_Height = height;
    MeshInvalidate();
}

void XParticleSystem::SetDepth(float depth)
{
    if (depth == m_Depth)
        return;
    m_Depth = depth;
    MeshInvalidate();
}

void XParticleSystem::SetWHD(float width, float height, float depth)
{
    m_Width = width;
    m_Height = height;
    m_Depth = depth;
    MeshInvalidate();
}

void XParticleSystem::SetRandomSource(RandomSource source)
{
    m_Random = std::move(source);
}

unsigned XParticleSystem::Random()
{
    return static_cast<unsigned>(m_Random ? m_Random() : std::rand());
}

// ---- scene file --------------------------------------------------------------------------------

void XParticleSystem::Save(XScene* scene, XWriter& writer)
{
    XBaseMesh::Save(scene, writer);
    writer.BeginChunk(ClassId::ParticleSystem);
    writer.WriteChunkFloat(WidthChunk, m_Width);
    writer.WriteChunkFloat(HeightChunk, m_Height);
    writer.WriteChunkFloat(DepthChunk, m_Depth);
    writer.EndChunk();
}

void XParticleSystem::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::ParticleSystem)
    {
        XBaseMesh::Load(scene, reader);
        return;
    }
    while (reader.NextChunk())
    {
        float f = 0;
        switch (reader.GetChunkId())
        {
        case WidthChunk:
            XArrayChunks::ReadFloat(reader, f);
            SetWidth(f);
            break;
        case HeightChunk:
            XArrayChunks::ReadFloat(reader, f);
            SetHeight(f);
            break;
        case DepthChunk:
            XArrayChunks::ReadFloat(reader, f);
            SetDepth(f);
            break;
        default:
            break;
        }
        reader.EndChunk();
    }
    MeshInvalidate();
}

void XParticleSystem::EnumerateFields(XPtrArray<XObjectField, 16>& fields)
{
    XBaseMesh::EnumerateFields(fields);
    fields.Add(&g_WidthField);
    fields.Add(&g_HeightField);
    fields.Add(&g_DepthField);
}

void XParticleSystem::CreateDevice(IDirect3DDevice9*) {}
void XParticleSystem::ReleaseDevice(IDirect3DDevice9*) {}
void XParticleSystem::InvalidateDevice(IDirect3DDevice9*) {}
void XParticleSystem::RestoreDevice(IDirect3DDevice9*) {}

bool XParticleSystem::Renderable()
{
    return true;
}

bool XParticleSystem::Editable()
{
    return false;
}

XBoundingBox XParticleSystem::GetBoundingBox(unsigned)
{
    const float w = GxMath::Abs(m_Width / 2);
    const float h = GxMath::Abs(m_Height / 2);
    const float d = GxMath::Abs(m_Depth / 2);
    return XBoundingBox(-w, -h, -d, w, h, d);
}

XMesh* XParticleSystem::GetMesh(unsigned frame, XViewport* viewport, XMeshNode* node)
{
    MeshValidate(frame, viewport, node, nullptr);
    return nullptr;
}

// ---- simulation and drawing --------------------------------------------------------------------

void XParticleSystem::Step(uint32_t now, uint32_t color)
{
    // Ageing: the dead leave, the last live particle taking their slot.
    uint32_t n = m_Particles.GetCount();
    for (uint32_t i = n; i-- > 0;)
    {
        PSParticle& p = m_Particles[i];
        if (now < p.death)
        {
            p.y =
                -m_Height / 2 + static_cast<float>(now - p.birth) * m_Height / static_cast<float>(p.lifetime);
            continue;
        }
        --n;
        if (i < n)
            m_Particles[i] = m_Particles[n];
    }
    m_Particles.SetCount(n);

    // Emission at the rate, the fraction carried to the next step.
    const uint32_t dt = now - m_LastUpdate;
    const double a = 0.001 * dt * m_Rate + m_Carry;
    const double whole = std::floor(a);
    m_Carry = static_cast<float>(a - whole);
    uint64_t target = n + static_cast<uint64_t>(whole);
    if (target < m_MinCount)
        target = m_MinCount;
    if (target > m_MaxCount)
        target = m_MaxCount;
    if (target != n)
    {
        m_Particles.SetCount(static_cast<uint32_t>(target));
        for (uint32_t i = n; i < target; ++i)
        {
            PSParticle& p = m_Particles[i];
            p.birth = now;
            p.lifetime = (Random() % 1000) * (m_MaxLife - m_MinLife) / 1000 + m_MinLife;
            p.death = p.birth + p.lifetime;
            p.x = 0.001f * static_cast<float>(Random() % 1000) * m_Width - m_Width / 2;
            p.y = -m_Height / 2;
            p.z = 0.001f * static_cast<float>(Random() % 1000) * m_Depth - m_Depth / 2;
            p.size = 0.001f * (m_MaxSize - m_MinSize) * static_cast<float>(Random() % 1000) + m_MinSize;
        }
    }
    m_LastUpdate = now;

    const uint32_t count = m_Particles.GetCount();
    m_Vertices.SetCount(count);
    for (uint32_t i = 0; i < count; ++i)
    {
        const PSParticle& p = m_Particles[i];
        m_Vertices[i] = PSVertex{p.x, p.y, p.z, p.size, color};
    }
}

void XParticleSystem::Render(unsigned frame, XViewport* viewport, XMeshNode* node, unsigned flags)
{
    XBaseMesh::Render(frame, viewport, node, flags);
    IDirect3DDevice9* device = viewport ? viewport->GetDevice() : nullptr;
    if (!device || !node)
        return;

    // Brackets: the unit cube stretched over the node's mesh box.
    const XBoundingBox box = node->GetMeshBoundingBox(frame);
    XMatrix boxMatrix;
    boxMatrix.SetScale(box.max.x - box.min.x, box.max.y - box.min.y, box.max.z - box.min.z);
    boxMatrix.m[3][0] = box.min.x;
    boxMatrix.m[3][1] = box.min.y;
    boxMatrix.m[3][2] = box.min.z;
    XMatrix meshMatrix;
    node->GetMeshMatrix(frame, meshMatrix);
    const XMatrix bracketWorld = boxMatrix * meshMatrix;
    device->SetMaterial(&kBracketMaterial);
    device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
    device->SetTransform(D3DTS_WORLD, reinterpret_cast<const D3DMATRIX*>(&bracketWorld));
    device->SetStreamSource(0, nullptr, 0, sizeof(BracketVertex));
    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    device->DrawPrimitiveUP(D3DPT_LINELIST, 24, kBrackets.v, sizeof(BracketVertex));

    if (GxMath::Abs(m_Width) < 1.0f || GxMath::Abs(m_Height) < 1.0f || GxMath::Abs(m_Depth) < 1.0f)
        return;

    const uint32_t color = node->GetColor().GetARGB();
    device->SetRenderState(D3DRS_POINTSPRITEENABLE, 1);
    device->SetRenderState(D3DRS_POINTSCALEENABLE, 1);
    device->SetRenderState(D3DRS_POINTSIZE, FloatToDWord(0.08f));
    device->SetRenderState(D3DRS_POINTSIZE_MIN, FloatToDWord(0.0f));
    device->SetRenderState(D3DRS_POINTSCALE_A, FloatToDWord(1.0f));
    device->SetRenderState(D3DRS_POINTSCALE_B, FloatToDWord(1.0f));
    device->SetRenderState(D3DRS_POINTSCALE_C, FloatToDWord(1.0f));

    const uint32_t now = GetTickCount();
    if (now - m_LastUpdate >= m_UpdateInterval)
        Step(now, color);

    if (m_Vertices.GetCount() == 0)
        return;
    XScene* scene = node->GetScene();
    XBaseMaterial* material = scene ? XSceneLink::Get()->GetMaterial(scene, node->GetMaterial()) : nullptr;
    if (material)
    {
        device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
        material->BeforeRender(frame, viewport);
    }
    else
        device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetTransform(D3DTS_WORLD, reinterpret_cast<const D3DMATRIX*>(&meshMatrix));
    device->SetStreamSource(0, nullptr, 0, sizeof(PSVertex));
    device->SetFVF(PSVERTEX_FVF);
    device->DrawPrimitiveUP(D3DPT_POINTLIST, m_Vertices.GetCount(), m_Vertices.GetData(), sizeof(PSVertex));
    if (material)
        material->AfterRender(frame, viewport);
    device->SetRenderState(D3DRS_POINTSPRITEENABLE, 0);
    device->SetRenderState(D3DRS_POINTSCALEENABLE, 0);
    device->SetRenderState(D3DRS_LIGHTING, viewport->GetLighting() ? TRUE : FALSE);
}

// ---- mouse creation ----------------------------------------------------------------------------

bool XParticleSystem::AllowMouseCreate()
{
    return true;
}

void XParticleSystem::MouseCreateStart()
{
    g_Create.presses = 0;
    SetWHD(0.001f, 0.001f, 0.001f);
}

bool XParticleSystem::MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event,
                                      const XPoint& point, XShiftState)
{
    CreateState& s = g_Create;
    if (event == XME_LEFT_DOWN && viewport)
    {
        if (s.presses == 0)
        {
            s.plane = viewport->GetPlaneAxis();
            s.start = viewport->ScreenToPlane(0, point, s.plane);
        }
        ++s.presses;
        if (s.presses >= 3)
        {
            s.free = viewport->ScreenToPlane(0, point, XAXIS_X | XAXIS_Y | XAXIS_Z);
            return true;
        }
    }
    else if (event == XME_MOVE && viewport && s.presses == 1)
    {
        XVertex d = viewport->ScreenToPlane(0, point, s.plane) - s.start;
        s.free = viewport->ScreenToPlane(0, point, XAXIS_X | XAXIS_Y | XAXIS_Z);
        if (s.plane == XAXIS_XY)
        {
            m_Width = d.x;
            m_Height = d.y;
            d.z = 0;
        }
        else if (s.plane == XAXIS_XZ)
        {
            m_Width = d.x;
            m_Height = d.z;
            d.y = 0;
        }
        else
        {
            m_Width = d.z;
            m_Height = d.y;
            d.x = 0;
        }
        if (node)
            node->SetPosition(s.start + d / 2);
        m_Depth = 0.001f;
    }
    else if (event == XME_MOVE && viewport && s.presses == 2 && node)
    {
        const XVertex q = viewport->ScreenToPlane(0, point, XAXIS_X | XAXIS_Y | XAXIS_Z) - s.free;
        XVertex p = node->GetPosition();
        if (s.plane == XAXIS_XY)
        {
            m_Depth = q.z;
            p.z = s.start.z + 0.5f * q.z;
        }
        else if (s.plane == XAXIS_XZ)
        {
            m_Depth = q.y;
            p.y = s.start.y + 0.5f * q.y;
        }
        else
        {
            m_Depth = q.x;
            p.x = s.start.x + 0.5f * q.x;
        }
        node->SetPosition(p);
    }
    MeshInvalidate();
    return false;
}

void XParticleSystem::MouseCreateFinish() {}

XBaseObject* XParticleSystemDesc::Create() const
{
    return new XParticleSystem;
}

XString XParticleSystemDesc::GetClassNameW() const
{
    return u"XParticleSystem";
}

uint32_t XParticleSystemDesc::GetCategory() const
{
    return XCAT_MESH;
}
