#include "Engine/Geometry/XBoneMesh.h"

#include "Components/XQuaternion.h"
#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XArrayChunks.h"
#include "Engine/Scene/XClassIds.h"
#include "Engine/Scene/XMeshNode.h"

#include <cmath>

namespace
{
constexpr uint32_t kCircleSegments = 16;
constexpr uint32_t kCirclePoints = kCircleSegments + 1;
constexpr uint32_t kCircles = 12;
constexpr uint32_t kSidePoints = kCircles * kCirclePoints; // 204

// One creation at a time: the presses so far, the plane and the start point.
struct Drag
{
    unsigned presses = 0;
    unsigned plane = XAXIS_XY;
    XVertex start{0, 0, 0};
};
Drag g_Drag;

float Clamped(float value)
{
    ClampValue(value, -XBoneMesh::MaxValue, XBoneMesh::MaxValue);
    return value;
}

// The three circles of one sphere: about y, about z and about x, in that order.
void AddSphere(XVertex* p, const XVertex& c, float radius)
{
    constexpr long double pi = 3.14159265358979323846L;
    const float r = GxMath::Abs(radius);
    for (uint32_t i = 0; i < kCircleSegments; ++i)
    {
        const double a = static_cast<double>(2.0L * pi * i / kCircleSegments);
        const float cs = r * static_cast<float>(std::cos(a));
        const float sn = r * static_cast<float>(std::sin(a));
        p[i] = XVertex(c.x + cs, c.y, c.z + sn);
        p[kCirclePoints + i] = XVertex(c.x + cs, c.y + sn, c.z);
        p[2 * kCirclePoints + i] = XVertex(c.x, c.y + cs, c.z + sn);
    }
    // Each circle closes on its first point exactly.
    for (uint32_t k = 0; k < 3; ++k)
        p[k * kCirclePoints + kCircleSegments] = p[k * kCirclePoints];
}

void AddSides(XVertex* p, float r1, float r2, float h)
{
    p[0] = XVertex(r1, 0, 0);
    p[1] = XVertex(0, r1, 0);
    p[2] = XVertex(-r1, 0, 0);
    p[3] = XVertex(0, -r1, 0);
    p[4] = XVertex(r2, 0, h);
    p[5] = XVertex(0, r2, h);
    p[6] = XVertex(-r2, 0, h);
    p[7] = XVertex(0, -r2, h);
}
} // namespace

using XXBoneMeshInnerRadius1Field =
    XShapeFloatField<XBoneMesh, &XBoneMesh::GetInnerRadius1, &XBoneMesh::SetInnerRadius1>;
using XXBoneMeshInnerRadius2Field =
    XShapeFloatField<XBoneMesh, &XBoneMesh::GetInnerRadius2, &XBoneMesh::SetInnerRadius2>;
using XXBoneMeshOuterRadius1Field =
    XShapeFloatField<XBoneMesh, &XBoneMesh::GetOuterRadius1, &XBoneMesh::SetOuterRadius1>;
using XXBoneMeshOuterRadius2Field =
    XShapeFloatField<XBoneMesh, &XBoneMesh::GetOuterRadius2, &XBoneMesh::SetOuterRadius2>;
using XXBoneMeshHeightField = XShapeFloatField<XBoneMesh, &XBoneMesh::GetHeight, &XBoneMesh::SetHeight>;
namespace
{
XXBoneMeshInnerRadius1Field g_InnerRadius1Field(u"InnerRadius1");
XXBoneMeshInnerRadius2Field g_InnerRadius2Field(u"InnerRadius2");
XXBoneMeshOuterRadius1Field g_OuterRadius1Field(u"OuterRadius1");
XXBoneMeshOuterRadius2Field g_OuterRadius2Field(u"OuterRadius2");
XXBoneMeshHeightField g_HeightField(u"Height");
} // namespace

XBoneMeshDesc BoneMeshDesc;

XBoneMesh::XBoneMesh()
{
    SetName(u"BoneMesh");
}

XBoneMesh::XBoneMesh(float innerRadius1, float innerRadius2, float outerRadius1, float outerRadius2,
                     float height)
    : XBoneMesh()
{
    SetInnerRadius1(innerRadius1);
    SetInnerRadius2(innerRadius2);
    SetOuterRadius1(outerRadius1);
    SetOuterRadius2(outerRadius2);
    SetHeight(height);
}

XBoneMesh::~XBoneMesh() = default;

uint32_t XBoneMesh::GetClassId() const
{
    return ClassId::BoneMesh;
}

XString XBoneMesh::GetClassNameW() const
{
    return u"XBoneMesh";
}

void XBoneMesh::Save(XScene* scene, XWriter& writer)
{
    XBaseShape::Save(scene, writer);
    writer.BeginChunk(ClassId::BoneMesh);
    XCapsuleChunks::Write(writer, InnerRadius1Chunk, *this);
    writer.EndChunk();
}

void XBoneMesh::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::BoneMesh)
    {
        XBaseShape::Load(scene, reader);
        return;
    }
    XArrayChunks::ReadValues(reader, [&](uint32_t id)
                             { XCapsuleChunks::Read(*this, reader, InnerRadius1Chunk, id); });
    ShapeInvalidate();
}

void XBoneMesh::EnumerateFields(XPtrArray<XObjectField, 16>& fields)
{
    XBaseShape::EnumerateFields(fields);
    fields.Add(&g_InnerRadius1Field);
    fields.Add(&g_InnerRadius2Field);
    fields.Add(&g_OuterRadius1Field);
    fields.Add(&g_OuterRadius2Field);
    fields.Add(&g_HeightField);
}

void XBoneMesh::Store(float& field, float value)
{
    // Not a number would pass every clamp and spoil the capsule for good.
    if (std::isnan(value))
        return;
    value = Clamped(value);
    if (value == field)
        return;
    field = value;
    ShapeInvalidate();
}

void XBoneMesh::SetInnerRadius1(float value)
{
    Store(m_InnerRadius1, value);
}

void XBoneMesh::SetInnerRadius2(float value)
{
    Store(m_InnerRadius2, value);
}

void XBoneMesh::SetOuterRadius1(float value)
{
    Store(m_OuterRadius1, value);
}

void XBoneMesh::SetOuterRadius2(float value)
{
    Store(m_OuterRadius2, value);
}

void XBoneMesh::SetHeight(float value)
{
    Store(m_Height, value);
}

void XBoneMesh::ShapeBuild()
{
    m_Points.SetCount(PointCount);
    m_Edges.SetCount(EdgeCount);
    // The sweep derives normals and path parameters from the points; old ones would not fit.
    m_PointNormals.SetCount(0);
    m_PathParameters.SetCount(0);
    XVertex* p = m_Points.GetData();
    const XVertex c1 = GetC1();
    const XVertex c2 = GetC2();
    AddSphere(p, c1, m_InnerRadius1);
    AddSphere(p + 3 * kCirclePoints, c1, m_OuterRadius1);
    AddSphere(p + 6 * kCirclePoints, c2, m_InnerRadius2);
    AddSphere(p + 9 * kCirclePoints, c2, m_OuterRadius2);
    AddSides(p + kSidePoints, m_InnerRadius1, m_InnerRadius2, m_Height);
    AddSides(p + kSidePoints + 8, m_OuterRadius1, m_OuterRadius2, m_Height);

    XEdge* e = m_Edges.GetData();
    uint32_t n = 0;
    for (uint32_t c = 0; c < kCircles; ++c)
        for (uint32_t k = 0; k < kCircleSegments; ++k)
            e[n++] = XEdge(kCirclePoints * c + k, kCirclePoints * c + k + 1);
    for (uint32_t k = 0; k < 4; ++k)
        e[n++] = XEdge(kSidePoints + k, kSidePoints + 4 + k);
    for (uint32_t k = 0; k < 4; ++k)
        e[n++] = XEdge(kSidePoints + 8 + k, kSidePoints + 12 + k);
    ShapeValidate();
}

void XBoneMesh::RenderShape(unsigned frame, XViewport* viewport, const XMatrix* world, uint32_t colour,
                            unsigned flags)
{
    XBaseShape::RenderShape(frame, viewport, world, colour, flags & ~XRS_POINTS);
}

XBoundingBox XBoneMesh::GetBoundingBox(unsigned)
{
    float m = GxMath::Abs(m_InnerRadius1);
    for (float r : {m_InnerRadius2, m_OuterRadius1, m_OuterRadius2})
        m = MaxFloat(m, GxMath::Abs(r));
    return XBoundingBox(-m, -m, MinFloat(0, m_Height) - m, m, m, MaxFloat(0, m_Height) + m);
}

bool XBoneMesh::AllowMouseCreate()
{
    return true;
}

void XBoneMesh::MouseCreateStart()
{
    g_Drag.presses = 0;
    m_Height = 0.001f;
    ShapeInvalidate();
}

bool XBoneMesh::MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event, const XPoint& point,
                                XShiftState)
{
    if (!viewport)
        return false;
    if (event == XME_LEFT_DOWN)
    {
        if (g_Drag.presses == 0)
        {
            g_Drag.plane = viewport->GetPlaneAxis();
            g_Drag.start = viewport->ScreenToPlane(0, point, g_Drag.plane);
            if (node)
                node->SetPosition(g_Drag.start);
        }
        ++g_Drag.presses;
        if (g_Drag.presses < 2)
            return false;
        // The end point is where the bone tip landed; the moves have already sized it.
        viewport->ScreenToPlane(0, point, XAXIS_XYZ);
        return true;
    }
    if (event != XME_MOVE || g_Drag.presses != 1)
        return false;
    const XVertex d = viewport->ScreenToPlane(0, point, g_Drag.plane) - g_Drag.start;
    // Within the setter's bounds, so that the height saved is the height loaded.
    m_Height = Clamped(g_Drag.plane == XAXIS_XZ ? d.z : d.y);
    ShapeInvalidate();
    return false;
}

void XBoneMesh::MouseCreateFinish() {}

XBaseObject* XBoneMeshDesc::Create() const
{
    return new XBoneMesh;
}

XString XBoneMeshDesc::GetClassNameW() const
{
    return u"XBoneMesh";
}

uint32_t XBoneMeshDesc::GetCategory() const
{
    return XCAT_SHAPE;
}
