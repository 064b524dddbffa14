#include "Engine/Objects/XTube.h"

#include "Components/XWriter.h"
#include "Engine/Objects/XPrimitive.h"
#include "Engine/Scene/XClassIds.h"
#include "Engine/Scene/XMeshNode.h"

#include <cmath>

using XPrimitive::ClampCount;
using XPrimitive::Clamped;
using XPrimitive::Store;

namespace
{
enum : uint32_t
{
    IdTopInnerRadius = ClassId::Tube + 1,
    IdTopOuterRadius,
    IdTopStacks,
    IdTopCap,
    IdBottomInnerRadius,
    IdBottomOuterRadius,
    IdBottomStacks,
    IdBottomCap,
    IdHeight,
    IdStacks,
    IdSlices,
};

// One creation at a time: the centre, then the point of each step.
XPrimitive::XCreateState<7> s_Create;

// Texture radius of cap ring k of n for an inner/outer ratio q: from q/2 to 1/2.
double CapRing(uint32_t k, uint32_t n, float inner, float outer)
{
    const double q = outer != 0 ? static_cast<double>(inner) / outer : 0.0;
    return (static_cast<double>(k) / n * (1 - q) + q) * 0.5;
}
} // namespace

using XXTubeTopInnerRadiusField =
    XPrimitive::XField<XTube, float, &XTube::GetTopInnerRadius, &XTube::SetTopInnerRadius>;
using XXTubeTopOuterRadiusField =
    XPrimitive::XField<XTube, float, &XTube::GetTopOuterRadius, &XTube::SetTopOuterRadius>;
using XXTubeTopStacksField = XPrimitive::XField<XTube, unsigned, &XTube::GetTopStacks, &XTube::SetTopStacks>;
using XXTubeTopCapField = XPrimitive::XField<XTube, bool, &XTube::GetTopCap, &XTube::SetTopCap>;
using XXTubeBottomInnerRadiusField =
    XPrimitive::XField<XTube, float, &XTube::GetBottomInnerRadius, &XTube::SetBottomInnerRadius>;
using XXTubeBottomOuterRadiusField =
    XPrimitive::XField<XTube, float, &XTube::GetBottomOuterRadius, &XTube::SetBottomOuterRadius>;
using XXTubeBottomStacksField =
    XPrimitive::XField<XTube, unsigned, &XTube::GetBottomStacks, &XTube::SetBottomStacks>;
using XXTubeBottomCapField = XPrimitive::XField<XTube, bool, &XTube::GetBottomCap, &XTube::SetBottomCap>;
using XXTubeHeightField = XPrimitive::XField<XTube, float, &XTube::GetHeight, &XTube::SetHeight>;
using XXTubeStacksField = XPrimitive::XField<XTube, unsigned, &XTube::GetStacks, &XTube::SetStacks>;
using XXTubeSlicesField = XPrimitive::XField<XTube, unsigned, &XTube::GetSlices, &XTube::SetSlices>;

namespace
{
XXTubeTopInnerRadiusField g_TopInnerRadiusField(u"TopInnerRadius", u"float");
XXTubeTopOuterRadiusField g_TopOuterRadiusField(u"TopOuterRadius", u"float");
XXTubeTopStacksField g_TopStacksField(u"TopStacks", u"bitu32");
XXTubeTopCapField g_TopCapField(u"TopCap", u"bool");
XXTubeBottomInnerRadiusField g_BottomInnerRadiusField(u"BottomInnerRadius", u"float");
XXTubeBottomOuterRadiusField g_BottomOuterRadiusField(u"BottomOuterRadius", u"float");
XXTubeBottomStacksField g_BottomStacksField(u"BottomStacks", u"bitu32");
XXTubeBottomCapField g_BottomCapField(u"BottomCap", u"bool");
XXTubeHeightField g_HeightField(u"Height", u"float");
XXTubeStacksField g_StacksField(u"Stacks", u"bitu32");
XXTubeSlicesField g_SlicesField(u"Slices", u"bitu32");
} // namespace

XTubeDesc TubeDesc;

XTube::XTube()
{
    SetName(u"Tube");
}

XTube::~XTube() = default;

uint32_t XTube::GetClassId() const
{
    return ClassId::Tube;
}

XString XTube::GetClassNameW() const
{
    return u"XTube";
}

void XTube::Save(XScene* scene, XWriter& writer)
{
    XBaseMesh::Save(scene, writer);
    writer.BeginChunk(ClassId::Tube);
    writer.WriteChunkFloat(IdTopInnerRadius, GetTopInnerRadius());
    writer.WriteChunkFloat(IdTopOuterRadius, GetTopOuterRadius());
    writer.WriteChunkU32(IdTopStacks, GetTopStacks());
    writer.WriteChunkU32(IdTopCap, GetTopCap() ? 1 : 0);
    writer.WriteChunkFloat(IdBottomInnerRadius, GetBottomInnerRadius());
    writer.WriteChunkFloat(IdBottomOuterRadius, GetBottomOuterRadius());
    writer.WriteChunkU32(IdBottomStacks, GetBottomStacks());
    writer.WriteChunkU32(IdBottomCap, GetBottomCap() ? 1 : 0);
    writer.WriteChunkFloat(IdHeight, GetHeight());
    writer.WriteChunkU32(IdStacks, GetStacks());
    writer.WriteChunkU32(IdSlices, GetSlices());
    writer.EndChunk();
}

void XTube::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::Tube)
    {
        XBaseMesh::Load(scene, reader);
        return;
    }
    m_TopInnerRadius = m_BottomInnerRadius = 0.5f;
    m_TopOuterRadius = m_BottomOuterRadius = 1.0f;
    m_TopStacks = m_BottomStacks = m_Stacks = 3;
    m_TopCap = m_BottomCap = true;
    m_Height = 1.0f;
    m_Slices = 12;
    XPrimitive::ReadValues(reader,
                           [&](uint32_t id)
                           {
                               switch (id)
                               {
                               case IdTopInnerRadius:
                                   m_TopInnerRadius = XPrimitive::ReadFloat(reader);
                                   break;
                               case IdTopOuterRadius:
                                   m_TopOuterRadius = XPrimitive::ReadFloat(reader);
                                   break;
                               case IdBottomInnerRadius:
                                   m_BottomInnerRadius = XPrimitive::ReadFloat(reader);
                                   break;
                               case IdBottomOuterRadius:
                                   m_BottomOuterRadius = XPrimitive::ReadFloat(reader);
                                   break;
                               case IdTopStacks:
                                   SetTopStacks(XPrimitive::ReadU32(reader));
                                   break;
                               case IdBottomStacks:
                                   SetBottomStacks(XPrimitive::ReadU32(reader));
                                   break;
                               case IdStacks:
                                   SetStacks(XPrimitive::ReadU32(reader));
                                   break;
                               case IdSlices:
                                   SetSlices(XPrimitive::ReadU32(reader));
                                   break;
                               case IdTopCap:
                                   SetTopCap(XPrimitive::ReadU32(reader) != 0);
                                   break;
                               case IdBottomCap:
                                   SetBottomCap(XPrimitive::ReadU32(reader) != 0);
                                   break;
                               case IdHeight:
                                   SetHeight(XPrimitive::ReadFloat(reader));
                                   break;
                               default:
                                   break;
                               }
                           });
    MeshInvalidate();
}

void XTube::EnumerateFields(XPtrArray<XObjectField, 16>& fields)
{
    XBaseMesh::EnumerateFields(fields);
    fields.Add(&g_TopInnerRadiusField);
    fields.Add(&g_TopOuterRadiusField);
    fields.Add(&g_TopStacksField);
    fields.Add(&g_TopCapField);
    fields.Add(&g_BottomInnerRadiusField);
    fields.Add(&g_BottomOuterRadiusField);
    fields.Add(&g_BottomStacksField);
    fields.Add(&g_BottomCapField);
    fields.Add(&g_HeightField);
    fields.Add(&g_StacksField);
    fields.Add(&g_SlicesField);
}

XBoundingBox XTube::GetBoundingBox(unsigned)
{
    const float h = std::fabs(m_Height * 0.5f);
    const float r = MaxFloat(MaxFloat(m_TopInnerRadius, m_TopOuterRadius),
                             MaxFloat(m_BottomInnerRadius, m_BottomOuterRadius));
    return XBoundingBox(-r, -h, -r, r, h, r);
}

XMesh* XTube::GetMesh(unsigned frame, XViewport* viewport, XMeshNode* node)
{
    if (IsMeshValid(frame))
        return &m_Mesh;
    Build(node);
    MeshValidate(frame, viewport, node, &m_Mesh);
    return &m_Mesh;
}

void XTube::Build(XMeshNode* node)
{
    const uint32_t S = m_Slices, N = m_Stacks, A = m_TopStacks, Bs = m_BottomStacks;
    const uint32_t top = m_TopCap ? 1 : 0, bottom = m_BottomCap ? 1 : 0;
    const float h = std::fabs(m_Height);
    const uint32_t W = (S + 1) * (N + 1), C = 2 * W, D = C + top * (A + 1) * S;
    const uint32_t V = D + bottom * (Bs + 1) * S;
    const double step = XPrimitive::TwoPi / S;

    m_Mesh.Clear();
    m_Mesh.SetVertexCount(V);
    m_Mesh.SetFaceCount(4 * S * N + top * 2 * S * A + bottom * 2 * S * Bs);
    m_Mesh.SetTextureVertexCount(V);
    XVertex* p = m_Mesh.GetVertices();
    XTextureVertex* t = m_Mesh.GetTextureVertices();
    XVertex* n = nullptr;
    if (m_Mesh.GetNormalsEnabled())
    {
        m_Mesh.SetNormalCount(V);
        n = m_Mesh.GetNormals();
    }

    auto ring = [&](float radius, uint32_t i, float y)
    {
        const double a = i * step;
        return XVertex(static_cast<float>(radius * std::cos(a)), y, static_cast<float>(radius * std::sin(a)));
    };
    auto lerp = [](const XVertex& from, const XVertex& to, uint32_t k, uint32_t count)
    { return from + (to - from) * (static_cast<float>(k) / static_cast<float>(count)); };

    // Walls: the outer grid runs top to bottom, the inner one bottom to top, so one face pattern
    // turns the outer wall out and the inner wall in.
    for (uint32_t i = 0; i <= S; ++i)
    {
        const XVertex ot = ring(m_TopOuterRadius, i, h / 2), ob = ring(m_BottomOuterRadius, i, -h / 2);
        const XVertex ib = ring(m_BottomInnerRadius, i, -h / 2), it = ring(m_TopInnerRadius, i, h / 2);
        const double a = i * step;
        const XVertex radial(static_cast<float>(std::cos(a)), 0, static_cast<float>(std::sin(a)));
        const XVertex outerNormal =
            Normalize(radial * m_Height + XVertex(0, m_BottomOuterRadius - m_TopOuterRadius, 0));
        const XVertex innerNormal =
            -Normalize(radial * m_Height + XVertex(0, m_BottomInnerRadius - m_TopInnerRadius, 0));
        for (uint32_t j = 0; j <= N; ++j)
        {
            const uint32_t v = j * (S + 1) + i;
            p[v] = lerp(ot, ob, j, N);
            p[W + v] = lerp(ib, it, j, N);
            t[v] = t[W + v] = XTextureVertex(static_cast<float>(i) / static_cast<float>(S),
                                             1 - static_cast<float>(j) / static_cast<float>(N));
            if (n)
            {
                n[v] = outerNormal;
                n[W + v] = innerNormal;
            }
        }
    }

    auto cap = [&](uint32_t base, uint32_t rings, float inner, float outer, float y, bool isTop)
    {
        for (uint32_t k = 0; k <= rings; ++k)
        {
            const double r = CapRing(k, rings, inner, outer);
            for (uint32_t i = 0; i < S; ++i)
            {
                const uint32_t v = base + k * S + i;
                p[v] = lerp(ring(inner, i, y), ring(outer, i, y), k, rings);
                const double a = i * step;
                const float w = static_cast<float>(0.5 + r * std::sin(a));
                t[v] = XTextureVertex(static_cast<float>(0.5 + r * std::cos(a)), isTop ? w : 1 - w);
                if (n)
                    n[v] = XVertex(0, isTop ? 1.0f : -1.0f, 0);
            }
        }
    };
    if (top)
        cap(C, A, m_TopInnerRadius, m_TopOuterRadius, h / 2, true);
    if (bottom)
        cap(D, Bs, m_BottomInnerRadius, m_BottomOuterRadius, -h / 2, false);

    XFace* f = XPrimitive::GridFaces(m_Mesh.GetFaces(), 0, S + 1, N, S, false);
    f = XPrimitive::GridFaces(f, W, S + 1, N, S, false);
    if (top)
        for (uint32_t k = 0; k < A; ++k)
        {
            const uint32_t a = C + k * S, b = a + S;
            for (uint32_t i = 0; i + 1 < S; ++i)
            {
                *f++ = XFace(a + i, a + i + 1, b + i + 1);
                *f++ = XFace(b + i + 1, b + i, a + i);
            }
            *f++ = XFace(a + S - 1, a, b);
            *f++ = XFace(b, b + S - 1, a + S - 1);
        }
    if (bottom)
        for (uint32_t k = 0; k < Bs; ++k)
        {
            const uint32_t a = D + k * S, b = a + S;
            for (uint32_t i = 0; i + 1 < S; ++i)
            {
                *f++ = XFace(b + i + 1, a + i + 1, a + i);
                *f++ = XFace(a + i, b + i, b + i + 1);
            }
            *f++ = XFace(b, a, a + S - 1);
            *f++ = XFace(a + S - 1, b + S - 1, b);
        }

    XPrimitive::FillColors(m_Mesh, node);
    m_Mesh.Invalidate();
}

bool XTube::AllowMouseCreate()
{
    return true;
}

void XTube::MouseCreateStart()
{
    s_Create.presses = 0;
    m_Height = m_TopInnerRadius = m_TopOuterRadius = m_BottomInnerRadius = m_BottomOuterRadius = 0.001f;
    MeshInvalidate();
}

bool XTube::MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event, const XPoint& point,
                            XShiftState)
{
    if (!viewport)
        return false;
    XVertex* points = s_Create.points;
    const XVertex& p0 = points[0];
    if (event == XME_LEFT_DOWN)
    {
        if (s_Create.presses == 0)
        {
            s_Create.plane = viewport->GetPlaneAxis();
            points[0] = viewport->ScreenToPlane(0, point, s_Create.plane);
            // Stand the tube's axis on the construction plane.
            XMatrix m(1.0f);
            if (s_Create.plane == XAXIS_XY)
                m.RotateX(1.5707964f);
            else if (s_Create.plane == XAXIS_XZ)
                m.RotateY(1.5707964f);
            else
                m.RotateZ(1.5707964f);
            if (node)
                node->SetMatrix(m);
        }
        if (++s_Create.presses <= 5)
            return false;
        points[6] = viewport->ScreenToPlane(0, point, XAXIS_XYZ);
        return true;
    }
    if (event != XME_MOVE || s_Create.presses < 1 || s_Create.presses > 5)
        return false;
    const unsigned step = s_Create.presses;
    if (step == 3)
    {
        const XVertex q = viewport->ScreenToPlane(0, point, XAXIS_XYZ) - points[2];
        points[3] = q;
        XVertex pos = node ? node->GetPosition() : p0;
        switch (s_Create.plane)
        {
        case XAXIS_XY:
            SetHeight(q.z), pos.z = p0.z + 0.5f * q.z;
            break;
        case XAXIS_XZ:
            SetHeight(q.y), pos.y = p0.y + 0.5f * q.y;
            break;
        default:
            SetHeight(q.x), pos.x = p0.x + 0.5f * q.x;
            break;
        }
        if (node)
            node->SetPosition(pos);
        return false;
    }
    points[step] = viewport->ScreenToPlane(0, point, s_Create.plane);
    const float r = (points[step] - p0).Length();
    switch (step)
    {
    case 1:
        if (node)
            node->SetPosition(p0);
        m_TopInnerRadius = m_TopOuterRadius = m_BottomInnerRadius = m_BottomOuterRadius = r;
        break;
    case 2:
        if (node)
            node->SetPosition(p0);
        m_TopInnerRadius = m_TopOuterRadius = m_BottomOuterRadius = r;
        break;
    case 4:
        m_TopInnerRadius = m_TopOuterRadius = r;
        break;
    default:
        SetTopOuterRadius(r);
        return false;
    }
    MeshInvalidate();
    return false;
}

void XTube::MouseCreateFinish() {}

void XTube::SetTopInnerRadius(float radius)
{
    if (Store(m_TopInnerRadius, Clamped(radius, 0, m_TopOuterRadius)))
        MeshInvalidate();
}

void XTube::SetTopOuterRadius(float radius)
{
    if (Store(m_TopOuterRadius, Clamped(radius, m_TopInnerRadius, 1000)))
        MeshInvalidate();
}

void XTube::SetTopStacks(unsigned stacks)
{
    if (Store(m_TopStacks, ClampCount(stacks, 1, 64)))
        MeshInvalidate();
}

void XTube::SetTopCap(bool cap)
{
    if (Store(m_TopCap, cap))
        MeshInvalidate();
}

void XTube::SetBottomInnerRadius(float radius)
{
    if (Store(m_BottomInnerRadius, Clamped(radius, 0, m_BottomOuterRadius)))
        MeshInvalidate();
}

void XTube::SetBottomOuterRadius(float radius)
{
    if (Store(m_BottomOuterRadius, Clamped(radius, m_BottomInnerRadius, 1000)))
        MeshInvalidate();
}

void XTube::SetBottomStacks(unsigned stacks)
{
    if (Store(m_BottomStacks, ClampCount(stacks, 1, 64)))
        MeshInvalidate();
}

void XTube::SetBottomCap(bool cap)
{
    if (Store(m_BottomCap, cap))
        MeshInvalidate();
}

void XTube::SetHeight(float height)
{
    if (Store(m_Height, Clamped(height, -1000, 1000)))
        MeshInvalidate();
}

void XTube::SetStacks(unsigned stacks)
{
    if (Store(m_Stacks, ClampCount(stacks, 1, 64)))
        MeshInvalidate();
}

void XTube::SetSlices(unsigned slices)
{
    if (Store(m_Slices, ClampCount(slices, 3, 64)))
        MeshInvalidate();
}

XBaseObject* XTubeDesc::Create() const
{
    return new XTube;
}

XString XTubeDesc::GetClassNameW() const
{
    return u"XTube";
}

uint32_t XTubeDesc::GetCategory() const
{
    return XCAT_MESH;
}
