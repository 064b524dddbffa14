#include "Engine/Geometry/XEllipse.h"

#include "Components/XQuaternion.h"
#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XArrayChunks.h"
#include "Engine/Scene/XClassIds.h"

#include <cmath>

namespace
{
unsigned ClampSides(unsigned sides)
{
    return sides < XEllipse::MinSides ? XEllipse::MinSides
                                      : (sides > XEllipse::MaxSides ? XEllipse::MaxSides : sides);
}
} // namespace

using XXEllipseSidesField = XShapeU32Field<XEllipse, &XEllipse::GetSides, &XEllipse::SetSides>;
namespace
{
XXEllipseSidesField g_SidesField(u"Sides");
} // namespace

XEllipseDesc EllipseDesc;

XEllipse::XEllipse()
{
    SetName(u"Ellipse");
}

XEllipse::~XEllipse() = default;

uint32_t XEllipse::GetClassId() const
{
    return ClassId::Ellipse;
}

XString XEllipse::GetClassNameW() const
{
    return u"XEllipse";
}

void XEllipse::Save(XScene* scene, XWriter& writer)
{
    XBaseShape::Save(scene, writer);
    writer.BeginChunk(ClassId::Ellipse);
    writer.WriteChunkFloat(WidthChunk, m_Width);
    writer.WriteChunkFloat(HeightChunk, m_Height);
    writer.WriteChunkU32(SidesChunk, m_Sides);
    writer.EndChunk();
}

void XEllipse::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::Ellipse)
    {
        XBaseShape::Load(scene, reader);
        return;
    }
    m_Width = DefaultSize;
    m_Height = DefaultSize;
    m_Sides = DefaultSides;
    XArrayChunks::ReadValues(reader,
                             [&](uint32_t id)
                             {
                                 switch (id)
                                 {
                                 case WidthChunk:
                                     SetWidth(XArrayChunks::ReadFloat(reader));
                                     break;
                                 case HeightChunk:
                                     SetHeight(XArrayChunks::ReadFloat(reader));
                                     break;
                                 case SidesChunk:
                                     SetSides(XArrayChunks::ReadU32(reader));
                                     break;
                                 default:
                                     break;
                                 }
                             });
    ShapeInvalidate();
}

void XEllipse::EnumerateFields(XPtrArray<XObjectField, 16>& fields)
{
    XPlanarShape::EnumerateFields(fields);
    fields.Add(&g_SidesField);
}

void XEllipse::ShapeBuild()
{
    constexpr long double pi = 3.14159265358979323846L;
    const float a = GxMath::Abs(m_Width * 0.5f);
    const float b = GxMath::Abs(m_Height * 0.5f);
    const uint32_t n = m_Sides;
    m_Points.SetCount(n + 1);
    m_PointNormals.SetCount(n + 1);
    m_Edges.SetCount(n);
    XVertex* p = m_Points.GetData();
    XVertex* normals = m_PointNormals.GetData();
    for (uint32_t i = 0; i < n; ++i)
    {
        const float t = static_cast<float>(2.0L * pi * i / n);
        p[i] = XVertex(static_cast<float>(std::cos(static_cast<double>(t))) * a,
                       static_cast<float>(std::sin(static_cast<double>(t))) * b, 0);
        normals[i] = Normalize(p[i]);
    }
    p[n] = p[0];
    normals[n] = normals[0];
    for (uint32_t i = 1; i <= n; ++i)
        m_Edges.GetData()[i - 1] = XEdge(i - 1, i);
    ShapeValidate();
}

void XEllipse::SetSides(unsigned sides)
{
    SetParam(m_Sides, ClampSides(sides));
}

void XEllipse::SetParams(unsigned sides, float width, float height)
{
    m_Width = ClampSize(width);
    m_Height = ClampSize(height);
    m_Sides = ClampSides(sides);
    ShapeInvalidate();
}

XBaseObject* XEllipseDesc::Create() const
{
    return new XEllipse;
}

XString XEllipseDesc::GetClassNameW() const
{
    return u"XEllipse";
}

uint32_t XEllipseDesc::GetCategory() const
{
    return XCAT_SHAPE;
}
