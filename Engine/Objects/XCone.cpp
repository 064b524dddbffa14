#include "Engine/Objects/XCone.h"

#include "Components/XException.h"
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
    IdRadius1 = ClassId::Cone + 1,
    IdRadius2,
    IdHeight,
    IdTopSegs,
    IdHeightSegs,
    IdSides,
};

// The unit the zero-radii assertion names.
constexpr const char* UnitPath = "..\\Engine\\Objects\\XCone.cpp";
constexpr const WCHAR* ZeroRadii = u"Cone Radius1 = 0 and Radius2 = 0!";

// One creation at a time: the centre and the point of the last step.
XPrimitive::XCreateState<2> s_Create;
} // namespace

using XXConeRadius1Field = XPrimitive::XField<XCone, float, &XCone::GetRadius1, &XCone::SetRadius1>;
using XXConeRadius2Field = XPrimitive::XField<XCone, float, &XCone::GetRadius2, &XCone::SetRadius2>;
using XXConeHeightField = XPrimitive::XField<XCone, float, &XCone::GetHeight, &XCone::SetHeight>;
using XXConeTopSegsField = XPrimitive::XField<XCone, unsigned, &XCone::GetTopSegs, &XCone::SetTopSegs>;
using XXConeHeightSegsField =
    XPrimitive::XField<XCone, unsigned, &XCone::GetHeightSegs, &XCone::SetHeightSegs>;
using XXConeSidesField = XPrimitive::XField<XCone, unsigned, &XCone::GetSides, &XCone::SetSides>;

namespace
{
XXConeRadius1Field g_Radius1Field(u"Radius1", u"float");
XXConeRadius2Field g_Radius2Field(u"Radius2", u"float");
XXConeHeightField g_HeightField(u"Height", u"float");
XXConeTopSegsField g_TopSegsField(u"TopSegs", u"bitu32");
XXConeHeightSegsField g_HeightSegsField(u"HeightSegs", u"bitu32");
XXConeSidesField g_SidesField(u"Sides", u"bitu32");
} // namespace

XConeDesc ConeDesc;

XCone::XCone()
{
    SetName(u"Cone");
}

XCone::~XCone() = default;

uint32_t XCone::GetClassId() const
{
    return ClassId::Cone;
}

XString XCone::GetClassNameW() const
{
    return u"XCone";
}

void XCone::Save(XScene* scene, XWriter& writer)
{
    XBaseMesh::Save(scene, writer);
    writer.BeginChunk(ClassId::Cone);
    writer.WriteChunkFloat(IdRadius1, GetRadius1());
    writer.WriteChunkFloat(IdRadius2, GetRadius2());
    writer.WriteChunkFloat(IdHeight, GetHeight());
    writer.WriteChunkU32(IdTopSegs, GetTopSegs());
    writer.WriteChunkU32(IdHeightSegs, GetHeightSegs());
    writer.WriteChunkU32(IdSides, GetSides());
    writer.EndChunk();
}

void XCone::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::Cone)
    {
        XBaseMesh::Load(scene, reader);
        return;
    }
    m_Radius1 = 0.5f;
    m_Radius2 = 1.0f;
    m_Height = 1.0f;
    m_TopSegs = m_HeightSegs = 3;
    m_Sides = 12;
    XPrimitive::ReadValues(reader,
                           [&](uint32_t id)
                           {
                               switch (id)
                               {
                               case IdRadius1:
                                   SetRadius1(XPrimitive::ReadFloat(reader));
                                   break;
                               case IdRadius2:
                                   SetRadius2(XPrimitive::ReadFloat(reader));
                                   break;
                               case IdHeight:
                                   SetHeight(XPrimitive::ReadFloat(reader));
                                   break;
                               case IdTopSegs:
                                   SetTopSegs(XPrimitive::ReadU32(reader));
                                   break;
                               case IdHeightSegs:
                                   SetHeightSegs(XPrimitive::ReadU32(reader));
                                   break;
                               case IdSides:
                                   SetSides(XPrimitive::ReadU32(reader));
                                   break;
                               default:
                                   break;
                               }
                           });
    MeshInvalidate();
}

void XCone::EnumerateFields(XPtrArray<XObjectField, 16>& fields)
{
    XBaseMesh::EnumerateFields(fields);
    fields.Add(&g_Radius1Field);
    fields.Add(&g_Radius2Field);
    fields.Add(&g_HeightField);
    fields.Add(&g_TopSegsField);
    fields.Add(&g_HeightSegsField);
    fields.Add(&g_SidesField);
}

XBoundingBox XCone::GetBoundingBox(unsigned)
{
    const float r = MaxFloat(m_Radius1, m_Radius2), h = std::fabs(m_Height) * 0.5f;
    return XBoundingBox(-r, -r, -h, r, r, h);
}

XMesh* XCone::GetMesh(unsigned frame, XViewport* viewport, XMeshNode* node)
{
    if (IsMeshValid(frame))
        return &m_Mesh;
    Build(node);
    MeshValidate(frame, viewport, node, &m_Mesh);
    return &m_Mesh;
}

void XCone::Build(XMeshNode* node)
{
    const uint32_t S = m_Sides, N = m_HeightSegs, T = m_TopSegs;
    const float H = m_Height, R1 = m_Radius1, R2 = m_Radius2;
    const uint32_t V = (S + 1) * (N + 1) + 2 * T * S + 2;
    const uint32_t B = (S + 1) * (N + 1), C = B + T * S;
    const double step = XPrimitive::TwoPi / S;

    m_Mesh.Clear();
    m_Mesh.SetVertexCount(V);
    m_Mesh.SetFaceCount(2 * S * N + 2 * S + 4 * S * (T - 1));
    m_Mesh.SetTextureVertexCount(V);
    XVertex* p = m_Mesh.GetVertices();
    XTextureVertex* t = m_Mesh.GetTextureVertices();

    // Side grid: row 0 the bottom ring, row N the top ring; column S repeats column 0 for the seam.
    for (uint32_t i = 0; i <= S; ++i)
    {
        const double a = i * step, c = std::cos(a), s = std::sin(a);
        const float x0 = static_cast<float>(R1 * c), y0 = static_cast<float>(R1 * s);
        const float xN = static_cast<float>(R2 * c), yN = static_cast<float>(R2 * s);
        for (uint32_t j = 0; j <= N; ++j)
        {
            const float f = static_cast<float>(j) / static_cast<float>(N);
            p[j * (S + 1) + i] = XVertex(x0 + (xN - x0) * f, y0 + (yN - y0) * f, -H / 2 + H * f);
        }
    }
    // Cap rings scale the end rows towards the axis; ring T meets the side.
    for (uint32_t k = 1; k <= T; ++k)
    {
        const float f = static_cast<float>(k) / static_cast<float>(T);
        for (uint32_t i = 0; i < S; ++i)
        {
            const XVertex& bottom = p[i];
            const XVertex& top = p[N * (S + 1) + i];
            p[B + (k - 1) * S + i] = XVertex(bottom.x * f, bottom.y * f, -H / 2);
            p[C + (k - 1) * S + i] = XVertex(top.x * f, top.y * f, H / 2);
        }
    }
    p[V - 2] = XVertex(0, 0, -H / 2);
    p[V - 1] = XVertex(0, 0, H / 2);

    XFace* f = m_Mesh.GetFaces();
    f = XPrimitive::GridFaces(f, 0, S + 1, N, S, false);
    for (uint32_t k = 1; k < T; ++k)
    {
        const uint32_t a = B + (k - 1) * S, b = a + S;
        for (uint32_t i = 0; i + 1 < S; ++i)
        {
            *f++ = XFace(a + i, a + i + 1, b + i + 1);
            *f++ = XFace(b + i + 1, b + i, a + i);
        }
        *f++ = XFace(a + S - 1, a, b);
        *f++ = XFace(b, b + S - 1, a + S - 1);
    }
    for (uint32_t k = 1; k < T; ++k)
    {
        const uint32_t a = C + (k - 1) * S, b = a + S;
        for (uint32_t i = 0; i + 1 < S; ++i)
        {
            *f++ = XFace(a + i, b + i, b + i + 1);
            *f++ = XFace(b + i + 1, a + i + 1, a + i);
        }
        *f++ = XFace(a + S - 1, b + S - 1, b);
        *f++ = XFace(b, a, a + S - 1);
    }
    for (uint32_t i = 0; i + 1 < S; ++i)
        *f++ = XFace(B + i, V - 2, B + i + 1);
    *f++ = XFace(B + S - 1, V - 2, B);
    for (uint32_t i = 0; i + 1 < S; ++i)
        *f++ = XFace(C + i + 1, V - 1, C + i);
    *f++ = XFace(C, V - 1, C + S - 1);

    if (m_Mesh.GetNormalsEnabled())
    {
        m_Mesh.SetNormalCount(V);
        XVertex* n = m_Mesh.GetNormals();
        for (uint32_t i = 0; i <= S; ++i)
        {
            const double a = i * step;
            const XVertex radial(static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a)), 0);
            const XVertex normal = Normalize(radial * H + XVertex(0, 0, R1 - R2));
            for (uint32_t j = 0; j <= N; ++j)
                n[j * (S + 1) + i] = normal;
        }
        for (uint32_t i = 0; i < T * S; ++i)
        {
            n[B + i] = XVertex(0, 0, -1);
            n[C + i] = XVertex(0, 0, 1);
        }
        n[V - 2] = XVertex(0, 0, -1);
        n[V - 1] = XVertex(0, 0, 1);
    }

    // Running sums, so the last column and row carry their rounding, as stored models have them.
    float v = 0;
    for (uint32_t j = 0; j <= N; ++j, v += 1.0f / static_cast<float>(N))
    {
        float u = 0;
        for (uint32_t i = 0; i <= S; ++i, u += 1.0f / static_cast<float>(S))
            t[j * (S + 1) + i] = XTextureVertex(u, v);
    }
    for (uint32_t k = 1; k <= T; ++k)
    {
        const double r = static_cast<double>(k) / T * 0.5;
        for (uint32_t i = 0; i < S; ++i)
        {
            const double a = i * step;
            const float u = static_cast<float>(0.5 + r * std::cos(a)),
                        w = static_cast<float>(0.5 + r * std::sin(a));
            t[B + (k - 1) * S + i] = XTextureVertex(u, w);
            t[C + (k - 1) * S + i] = XTextureVertex(u, 1 - w);
        }
    }
    t[V - 2] = t[V - 1] = XTextureVertex(0.5f, 0.5f);

    XPrimitive::FillColors(m_Mesh, node);
    m_Mesh.Invalidate();
}

bool XCone::AllowMouseCreate()
{
    return true;
}

void XCone::MouseCreateStart()
{
    s_Create.presses = 0;
    m_Radius1 = m_Radius2 = m_Height = 0.001f;
    MeshInvalidate();
}

bool XCone::MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event, const XPoint& point,
                            XShiftState)
{
    if (!viewport)
        return false;
    const XVertex& p0 = s_Create.points[0];
    if (event == XME_LEFT_DOWN)
    {
        if (s_Create.presses == 0)
        {
            s_Create.plane = viewport->GetPlaneAxis();
            s_Create.points[0] = viewport->ScreenToPlane(0, point, s_Create.plane);
        }
        return ++s_Create.presses > 3;
    }
    if (event != XME_MOVE)
        return false;
    switch (s_Create.presses)
    {
    case 1:
    {
        const float r = (viewport->ScreenToPlane(0, point, s_Create.plane) - p0).Length();
        if (node)
            node->SetPosition(p0);
        SetRadius1(r + 0.001f);
        SetRadius2(r);
        break;
    }
    case 2:
    {
        const XVertex q = viewport->ScreenToPlane(0, point, XAXIS_XYZ);
        XVertex pos = node ? node->GetPosition() : p0;
        switch (s_Create.plane)
        {
        case XAXIS_XY:
            SetHeight(std::fabs(q.z)), pos.z = p0.z + 0.5f * q.z;
            break;
        case XAXIS_XZ:
            SetHeight(std::fabs(q.y)), pos.y = p0.y + 0.5f * q.y;
            break;
        default:
            SetHeight(q.x), pos.x = p0.x + 0.5f * q.x;
            break;
        }
        if (node)
            node->SetPosition(pos);
        break;
    }
    case 3:
        s_Create.points[1] = viewport->ScreenToPlane(0, point, s_Create.plane);
        SetRadius1((s_Create.points[1] - p0).Length());
        break;
    default:
        return false;
    }
    MeshInvalidate();
    return false;
}

void XCone::MouseCreateFinish() {}

void XCone::SetRadius1(float radius)
{
    if (radius == 0 && m_Radius2 == 0)
        XDebug::AssertFailed(UnitPath, __LINE__, ZeroRadii);
    if (Store(m_Radius1, Clamped(radius, 0, 1000)))
        MeshInvalidate();
}

void XCone::SetRadius2(float radius)
{
    if (radius == 0 && m_Radius1 == 0)
        XDebug::AssertFailed(UnitPath, __LINE__, ZeroRadii);
    if (Store(m_Radius2, Clamped(radius, 0, 1000)))
        MeshInvalidate();
}

void XCone::SetHeight(float height)
{
    if (Store(m_Height, Clamped(height, 0.001f, 1000)))
        MeshInvalidate();
}

void XCone::SetTopSegs(unsigned segs)
{
    if (Store(m_TopSegs, ClampCount(segs, 1, 64)))
        MeshInvalidate();
}

void XCone::SetHeightSegs(unsigned segs)
{
    if (Store(m_HeightSegs, ClampCount(segs, 1, 64)))
        MeshInvalidate();
}

void XCone::SetSides(unsigned sides)
{
    if (Store(m_Sides, ClampCount(sides, 3, 64)))
        MeshInvalidate();
}

XBaseObject* XConeDesc::Create() const
{
    return new XCone;
}

XString XConeDesc::GetClassNameW() const
{
    return u"XCone";
}

uint32_t XConeDesc::GetCategory() const
{
    return XCAT_MESH;
}
