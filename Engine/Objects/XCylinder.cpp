#include "Engine/Objects/XCylinder.h"

#include "Components/XVariant.h"
#include "Components/XWriter.h"
#include "Engine/Objects/XPrimitive.h"
#include "Engine/Scene/XClassIds.h"
#include "Engine/Scene/XMeshNode.h"

#include <cmath>

using VarUtils::XVariant;
using XPrimitive::ClampCount;
using XPrimitive::Clamped;
using XPrimitive::Store;

namespace
{
enum : uint32_t
{
    IdRadius = ClassId::Cylinder + 1,
    IdHeight,
    IdTopStacks,
    IdStacks,
    IdSlices,
    IdTopCap,
    IdBottomCap,
};

constexpr unsigned PropertyCount = 7;
const XPropertyDesc Properties[PropertyCount] = {
    {IdRadius, u"float", u"Radius"},        {IdHeight, u"float", u"Height"},
    {IdTopStacks, u"bitu32", u"TopStacks"}, {IdStacks, u"bitu32", u"Stacks"},
    {IdSlices, u"bitu32", u"Slices"},       {IdTopCap, u"bool", u"TopCap"},
    {IdBottomCap, u"bool", u"BottomCap"},
};

// One creation at a time: the centre.
XPrimitive::XCreateState<1> s_Create;
} // namespace

XCylinderDesc CylinderDesc;

XCylinder::XCylinder()
{
    SetName(u"Cylinder");
}

XCylinder::~XCylinder() = default;

uint32_t XCylinder::GetClassId() const
{
    return ClassId::Cylinder;
}

XString XCylinder::GetClassNameW() const
{
    return u"XCylinder";
}

void XCylinder::Save(XScene* scene, XWriter& writer)
{
    XBaseMesh::Save(scene, writer);
    writer.BeginChunk(ClassId::Cylinder);
    writer.WriteChunkFloat(IdRadius, GetRadius());
    writer.WriteChunkFloat(IdHeight, GetHeight());
    writer.WriteChunkU32(IdTopStacks, GetTopStacks());
    writer.WriteChunkU32(IdStacks, GetStacks());
    writer.WriteChunkU32(IdSlices, GetSlices());
    writer.WriteChunkU8(IdTopCap, GetTopCap() ? 1 : 0);
    writer.WriteChunkU8(IdBottomCap, GetBottomCap() ? 1 : 0);
    writer.EndChunk();
}

void XCylinder::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::Cylinder)
    {
        XBaseMesh::Load(scene, reader);
        return;
    }
    m_Radius = 0.5f;
    m_Height = 1.0f;
    m_TopStacks = m_Stacks = 1;
    m_Slices = 12;
    m_TopCap = m_BottomCap = true;
    XPrimitive::ReadValues(reader,
                           [&](uint32_t id)
                           {
                               switch (id)
                               {
                               case IdRadius:
                                   SetRadius(XPrimitive::ReadFloat(reader));
                                   break;
                               case IdHeight:
                                   SetHeight(XPrimitive::ReadFloat(reader));
                                   break;
                               case IdTopStacks:
                                   SetTopStacks(XPrimitive::ReadU32(reader));
                                   break;
                               case IdStacks:
                                   SetStacks(XPrimitive::ReadU32(reader));
                                   break;
                               case IdSlices:
                                   SetSlices(XPrimitive::ReadU32(reader));
                                   break;
                               case IdTopCap:
                                   SetTopCap(XPrimitive::ReadFlag(reader));
                                   break;
                               case IdBottomCap:
                                   SetBottomCap(XPrimitive::ReadFlag(reader));
                                   break;
                               default:
                                   break;
                               }
                           });
    MeshInvalidate();
}

unsigned XCylinder::GetPropertyCount() const
{
    return PropertyCount + XBaseMesh::GetPropertyCount();
}

const XPropertyDesc* XCylinder::GetPropertyDesc(unsigned index) const
{
    if (index < PropertyCount)
        return &Properties[index];
    return XBaseMesh::GetPropertyDesc(index - PropertyCount);
}

namespace
{
const XPrimitive::XField<XCylinder, float, &XCylinder::GetRadius, &XCylinder::SetRadius>
    g_RadiusField(u"Radius", u"float");
const XPrimitive::XField<XCylinder, float, &XCylinder::GetHeight, &XCylinder::SetHeight>
    g_HeightField(u"Height", u"float");
const XPrimitive::XField<XCylinder, unsigned, &XCylinder::GetTopStacks, &XCylinder::SetTopStacks>
    g_TopStacksField(u"TopStacks", u"bitu32");
const XPrimitive::XField<XCylinder, unsigned, &XCylinder::GetStacks, &XCylinder::SetStacks>
    g_StacksField(u"Stacks", u"bitu32");
const XPrimitive::XField<XCylinder, unsigned, &XCylinder::GetSlices, &XCylinder::SetSlices>
    g_SlicesField(u"Slices", u"bitu32");
const XPrimitive::XField<XCylinder, bool, &XCylinder::GetTopCap, &XCylinder::SetTopCap>
    g_TopCapField(u"TopCap", u"bool");
const XPrimitive::XField<XCylinder, bool, &XCylinder::GetBottomCap, &XCylinder::SetBottomCap>
    g_BottomCapField(u"BottomCap", u"bool");
// The fields behind the properties, in the list's order.
const XObjectField* const PropertyFields[PropertyCount] = {
    &g_RadiusField, &g_HeightField, &g_TopStacksField, &g_StacksField,
    &g_SlicesField, &g_TopCapField, &g_BottomCapField};
} // namespace

void XCylinder::GetPropertyValue(unsigned id, XVariant& value)
{
    if (!XPrimitive::GetProperty(Properties, PropertyFields, PropertyCount, this, id, value))
        XBaseMesh::GetPropertyValue(id, value);
}

void XCylinder::SetPropertyValue(unsigned id, const XVariant& value)
{
    if (!XPrimitive::SetProperty(Properties, PropertyFields, PropertyCount, this, id, value))
        XBaseMesh::SetPropertyValue(id, value);
}

XBoundingBox XCylinder::GetBoundingBox(unsigned)
{
    const float h = std::fabs(m_Height * 0.5f);
    return XBoundingBox(-m_Radius, -h, -m_Radius, m_Radius, h, m_Radius);
}

XMesh* XCylinder::GetMesh(unsigned frame, XViewport* viewport, XMeshNode* node)
{
    if (IsMeshValid(frame))
        return &m_Mesh;
    Build(node);
    MeshValidate(frame, viewport, node, &m_Mesh);
    return &m_Mesh;
}

void XCylinder::Build(XMeshNode* node)
{
    const uint32_t S = m_Slices, N = m_Stacks, T = m_TopStacks;
    const uint32_t top = m_TopCap ? 1 : 0, bottom = m_BottomCap ? 1 : 0;
    const float R = m_Radius, h = std::fabs(m_Height);
    const uint32_t capVertices = T * S + 1, capFaces = 2 * S * (T - 1) + S;
    const uint32_t V = (S + 1) * (N + 1) + (top + bottom) * capVertices;
    const uint32_t B = (S + 1) * (N + 1), D = B + top * capVertices;
    const double step = XPrimitive::TwoPi / S;

    m_Mesh.Clear();
    m_Mesh.SetVertexCount(V);
    m_Mesh.SetFaceCount(2 * S * N + (top + bottom) * capFaces);
    m_Mesh.SetTextureVertexCount(V);
    XVertex* p = m_Mesh.GetVertices();
    XTextureVertex* t = m_Mesh.GetTextureVertices();
    XVertex* n = nullptr;
    if (m_Mesh.GetNormalsEnabled())
    {
        m_Mesh.SetNormalCount(V);
        n = m_Mesh.GetNormals();
    }

    for (uint32_t i = 0; i <= S; ++i)
    {
        const double a = i * step;
        const float c = static_cast<float>(std::cos(a)), s = static_cast<float>(std::sin(a));
        for (uint32_t j = 0; j <= N; ++j)
        {
            const uint32_t v = j * (S + 1) + i;
            p[v] = XVertex(R * c, h / 2 - static_cast<float>(j) * h / static_cast<float>(N), R * s);
            t[v] = XTextureVertex(static_cast<float>(i) / static_cast<float>(S),
                                  1 - static_cast<float>(j) / static_cast<float>(N));
            if (n)
                n[v] = XVertex(c, 0, s);
        }
    }

    // A cap: its centre, then T rings of S vertices; the ring angles accumulate in single
    // precision, the texture angles do not.
    auto cap = [&](uint32_t base, float y, bool isTop)
    {
        p[base] = XVertex(0, y, 0);
        t[base] = XTextureVertex(0.5f, 0.5f);
        for (uint32_t k = 1; k <= T; ++k)
        {
            const float r = static_cast<float>(k) * R / static_cast<float>(T);
            const double tr = static_cast<double>(k) / T * 0.5;
            float phi = 0;
            for (uint32_t i = 0; i < S; ++i, phi += static_cast<float>(step))
            {
                const uint32_t v = base + 1 + (k - 1) * S + i;
                p[v] = XVertex(r * std::cos(phi), y, r * std::sin(phi));
                const double a = i * step;
                const float w = static_cast<float>(0.5 + tr * std::sin(a));
                t[v] = XTextureVertex(static_cast<float>(0.5 + tr * std::cos(a)), isTop ? w : 1 - w);
            }
        }
        if (n)
            for (uint32_t v = base; v < base + capVertices; ++v)
                n[v] = XVertex(0, isTop ? 1.0f : -1.0f, 0);
    };
    if (top)
        cap(B, h / 2, true);
    if (bottom)
        cap(D, -h / 2, false);

    XFace* f = XPrimitive::GridFaces(m_Mesh.GetFaces(), 0, S + 1, N, S, false);
    if (top)
    {
        for (uint32_t i = 1; i < S; ++i)
            *f++ = XFace(B + i, B, B + i + 1);
        *f++ = XFace(B + S, B, B + 1);
        for (uint32_t k = 1; k < T; ++k)
        {
            const uint32_t a = B + 1 + (k - 1) * S, b = a + S;
            for (uint32_t i = 0; i + 1 < S; ++i)
            {
                *f++ = XFace(a + i, a + i + 1, b + i + 1);
                *f++ = XFace(b + i + 1, b + i, a + i);
            }
            *f++ = XFace(a + S - 1, a, b);
            *f++ = XFace(b, b + S - 1, a + S - 1);
        }
    }
    if (bottom)
    {
        for (uint32_t i = 1; i < S; ++i)
            *f++ = XFace(D + i + 1, D, D + i);
        *f++ = XFace(D + 1, D, D + S);
        for (uint32_t k = 1; k < T; ++k)
        {
            const uint32_t a = D + 1 + (k - 1) * S, b = a + S;
            for (uint32_t i = 0; i + 1 < S; ++i)
            {
                *f++ = XFace(a + i, b + i, b + i + 1);
                *f++ = XFace(b + i + 1, a + i + 1, a + i);
            }
            *f++ = XFace(a + S - 1, b + S - 1, b);
            *f++ = XFace(b, a, a + S - 1);
        }
    }

    XPrimitive::FillColors(m_Mesh, node);
    m_Mesh.Invalidate();
}

bool XCylinder::AllowMouseCreate()
{
    return true;
}

void XCylinder::MouseCreateStart()
{
    s_Create.presses = 0;
    m_Height = m_Radius = 0.001f;
    MeshInvalidate();
}

bool XCylinder::MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event, const XPoint& point,
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
            // Stand the cylinder's axis on the construction plane.
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
        return ++s_Create.presses > 2;
    }
    if (event != XME_MOVE)
        return false;
    if (s_Create.presses == 1)
    {
        if (node)
            node->SetPosition(p0);
        SetRadius((viewport->ScreenToPlane(0, point, s_Create.plane) - p0).Length());
    }
    else if (s_Create.presses == 2)
    {
        const XVertex q = viewport->ScreenToPlane(0, point, XAXIS_XYZ);
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
    }
    else
        return false;
    MeshInvalidate();
    return false;
}

void XCylinder::MouseCreateFinish() {}

void XCylinder::SetRadius(float radius)
{
    if (Store(m_Radius, Clamped(radius, 0, 1000)))
        MeshInvalidate();
}

void XCylinder::SetHeight(float height)
{
    if (Store(m_Height, Clamped(height, -1000, 1000)))
        MeshInvalidate();
}

void XCylinder::SetTopStacks(unsigned stacks)
{
    if (Store(m_TopStacks, ClampCount(stacks, 1, 64)))
        MeshInvalidate();
}

void XCylinder::SetStacks(unsigned stacks)
{
    if (Store(m_Stacks, ClampCount(stacks, 1, 64)))
        MeshInvalidate();
}

void XCylinder::SetSlices(unsigned slices)
{
    if (Store(m_Slices, ClampCount(slices, 3, 64)))
        MeshInvalidate();
}

void XCylinder::SetTopCap(bool cap)
{
    if (Store(m_TopCap, cap))
        MeshInvalidate();
}

void XCylinder::SetBottomCap(bool cap)
{
    if (Store(m_BottomCap, cap))
        MeshInvalidate();
}

XBaseObject* XCylinderDesc::Create() const
{
    return new XCylinder;
}

XString XCylinderDesc::GetClassNameW() const
{
    return u"XCylinder";
}

uint32_t XCylinderDesc::GetCategory() const
{
    return XCAT_MESH;
}
