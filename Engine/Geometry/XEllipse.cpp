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

float ClampSize(float size)
{
    ClampValue(size, -XEllipse::MaxSize, XEllipse::MaxSize);
    return size;
}

// One creation at a time.
XShapeDrag g_Drag;
} // namespace

class XXEllipseWidthField : public XShapeFloatField<XEllipse, &XEllipse::GetWidth, &XEllipse::SetWidth>
{
public:
    XXEllipseWidthField() : XShapeFloatField(u"Width") {}
};

class XXEllipseHeightField : public XShapeFloatField<XEllipse, &XEllipse::GetHeight, &XEllipse::SetHeight>
{
public:
    XXEllipseHeightField() : XShapeFloatField(u"Height") {}
};

class XXEllipseSidesField : public XShapeU32Field<XEllipse, &XEllipse::GetSides, &XEllipse::SetSides>
{
public:
    XXEllipseSidesField() : XShapeU32Field(u"Sides") {}
};

namespace
{
XXEllipseWidthField g_WidthField;
XXEllipseHeightField g_HeightField;
XXEllipseSidesField g_SidesField;
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
    while (reader.NextChunk())
    {
        uint32_t u = 0;
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
        case SidesChunk:
            XArrayChunks::ReadU32(reader, u);
            SetSides(u);
            break;
        default:
            break;
        }
        reader.EndChunk();
    }
    ShapeInvalidate();
}

void XEllipse::EnumerateFields(XPtrArray<XObjectField, 16>& fields)
{
    XBaseShape::EnumerateFields(fields);
    fields.Add(&g_WidthField);
    fields.Add(&g_HeightField);
    fields.Add(&g_SidesField);
}

XBoundingBox XEllipse::GetBoundingBox(unsigned)
{
    const float a = GxMath::Abs(m_Width / 2);
    const float b = GxMath::Abs(m_Height / 2);
    return XBoundingBox(-a, -b, -0.001f, a, b, 0.001f);
}

bool XEllipse::AllowMouseCreate()
{
    return true;
}

void XEllipse::MouseCreateStart()
{
    g_Drag.Start();
    m_Width = 0.001f;
    m_Height = 0.001f;
    ShapeInvalidate();
}

bool XEllipse::MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event, const XPoint& point,
                               XShiftState)
{
    float width, height;
    switch (g_Drag.Step(viewport, node, event, point, width, height))
    {
    case XShapeDrag::Resized:
        m_Width = width;
        m_Height = height;
        ShapeInvalidate();
        return false;
    case XShapeDrag::Finished:
        return true;
    default:
        return false;
    }
}

void XEllipse::MouseCreateFinish() {}

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

void XEllipse::SetWidth(float width)
{
    width = ClampSize(width);
    if (width == m_Width)
        return;
    m_Width = width;
    ShapeInvalidate();
}

void XEllipse::SetHeight(float height)
{
    height = ClampSize(height);
    if (height == m_Height)
        return;
    m_Height = height;
    ShapeInvalidate();
}

void XEllipse::SetSides(unsigned sides)
{
    sides = ClampSides(sides);
    if (sides == m_Sides)
        return;
    m_Sides = sides;
    ShapeInvalidate();
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
