#include "Engine/Geometry/XRectangle.h"

#include "Components/XQuaternion.h"
#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XArrayChunks.h"
#include "Engine/Scene/XClassIds.h"

namespace
{
unsigned ClampSegs(unsigned segs, unsigned min)
{
    return segs < min ? min : (segs > XRectangle::MaxSegs ? XRectangle::MaxSegs : segs);
}

float ClampSize(float size)
{
    ClampValue(size, -XRectangle::MaxSize, XRectangle::MaxSize);
    return size;
}

// One creation at a time.
XShapeDrag g_Drag;
} // namespace

class XXRectangleWidthField
    : public XShapeFloatField<XRectangle, &XRectangle::GetWidth, &XRectangle::SetWidth>
{
public:
    XXRectangleWidthField() : XShapeFloatField(u"Width") {}
};

class XXRectangleHeightField
    : public XShapeFloatField<XRectangle, &XRectangle::GetHeight, &XRectangle::SetHeight>
{
public:
    XXRectangleHeightField() : XShapeFloatField(u"Height") {}
};

class XXRectangleWidthSegsField
    : public XShapeU32Field<XRectangle, &XRectangle::GetWidthSegs, &XRectangle::SetWidthSegs>
{
public:
    XXRectangleWidthSegsField() : XShapeU32Field(u"WidthSegs") {}
};

class XXRectangleHeightSegsField
    : public XShapeU32Field<XRectangle, &XRectangle::GetHeightSegs, &XRectangle::SetHeightSegs>
{
public:
    XXRectangleHeightSegsField() : XShapeU32Field(u"HeightSegs") {}
};

namespace
{
XXRectangleWidthField g_WidthField;
XXRectangleHeightField g_HeightField;
XXRectangleWidthSegsField g_WidthSegsField;
XXRectangleHeightSegsField g_HeightSegsField;
} // namespace

XRectangleDesc RectangleDesc;

XRectangle::XRectangle()
{
    SetName(u"Rectangle");
}

XRectangle::~XRectangle() = default;

uint32_t XRectangle::GetClassId() const
{
    return ClassId::Rectangle;
}

XString XRectangle::GetClassNameW() const
{
    return u"XRectangle";
}

void XRectangle::Save(XScene* scene, XWriter& writer)
{
    XBaseShape::Save(scene, writer);
    writer.BeginChunk(ClassId::Rectangle);
    writer.WriteChunkFloat(WidthChunk, m_Width);
    writer.WriteChunkFloat(HeightChunk, m_Height);
    writer.WriteChunkU32(WidthSegsChunk, m_WidthSegs);
    writer.WriteChunkU32(HeightSegsChunk, m_HeightSegs);
    writer.EndChunk();
}

void XRectangle::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::Rectangle)
    {
        XBaseShape::Load(scene, reader);
        return;
    }
    m_Width = DefaultSize;
    m_Height = DefaultSize;
    m_WidthSegs = DefaultSegs;
    m_HeightSegs = DefaultSegs;
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
        case WidthSegsChunk:
            XArrayChunks::ReadU32(reader, u);
            SetWidthSegs(u);
            break;
        case HeightSegsChunk:
            XArrayChunks::ReadU32(reader, u);
            SetHeightSegs(u);
            break;
        default:
            break;
        }
        reader.EndChunk();
    }
    // The defaults went in without the setters: the outline may be of the old values.
    ShapeInvalidate();
}

void XRectangle::EnumerateFields(XPtrArray<XObjectField, 16>& fields)
{
    XBaseShape::EnumerateFields(fields);
    fields.Add(&g_WidthField);
    fields.Add(&g_HeightField);
    fields.Add(&g_WidthSegsField);
    fields.Add(&g_HeightSegsField);
}

XBoundingBox XRectangle::GetBoundingBox(unsigned)
{
    const float hw = GxMath::Abs(m_Width) / 2;
    const float hh = GxMath::Abs(m_Height) / 2;
    return XBoundingBox(-hw, -hh, -0.001f, hw, hh, 0.001f);
}

bool XRectangle::AllowMouseCreate()
{
    return true;
}

void XRectangle::MouseCreateStart()
{
    g_Drag.Start();
    m_Width = 0.001f;
    m_Height = 0.001f;
    ShapeInvalidate();
}

bool XRectangle::MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event, const XPoint& point,
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

void XRectangle::MouseCreateFinish() {}

void XRectangle::ShapeBuild()
{
    const float w = GxMath::Abs(m_Width);
    const float h = GxMath::Abs(m_Height);
    const uint32_t W = m_WidthSegs;
    const uint32_t H = m_HeightSegs;
    const uint32_t last = 2 * (W + H);
    m_Points.SetCount(last + 1);
    m_PointNormals.SetCount(last + 1);
    m_Edges.SetCount(last);
    XVertex* p = m_Points.GetData();
    XVertex* n = m_PointNormals.GetData();

    struct Run
    {
        uint32_t steps;
        XVertex step;
        XVertex normal;
    };
    const Run runs[4] = {{W, XVertex(w / W, 0, 0), XVertex(0, -1, 0)},
                         {H, XVertex(0, h / H, 0), XVertex(1, 0, 0)},
                         {W, XVertex(-w / W, 0, 0), XVertex(0, 1, 0)},
                         {H, XVertex(0, -h / H, 0), XVertex(-1, 0, 0)}};
    XVertex c(-w * 0.5f, -h * 0.5f, 0);
    uint32_t k = 0;
    for (const Run& run : runs)
        for (uint32_t i = 0; i < run.steps; ++i, ++k)
        {
            p[k] = c;
            n[k] = run.normal;
            c += run.step;
        }
    p[last] = p[0];
    for (uint32_t corner : {0u, W, W + H, 2 * W + H, last})
        n[corner] = Normalize(p[corner]);
    for (uint32_t i = 0; i < last; ++i)
        m_Edges.GetData()[i] = XEdge(i, i + 1);
    ShapeValidate();
}

void XRectangle::SetWidth(float width)
{
    width = ClampSize(width);
    if (width == m_Width)
        return;
    m_Width = width;
    ShapeInvalidate();
}

void XRectangle::SetHeight(float height)
{
    height = ClampSize(height);
    if (height == m_Height)
        return;
    m_Height = height;
    ShapeInvalidate();
}

void XRectangle::SetWidthSegs(unsigned segs)
{
    segs = ClampSegs(segs, 1);
    if (segs == m_WidthSegs)
        return;
    m_WidthSegs = segs;
    ShapeInvalidate();
}

void XRectangle::SetHeightSegs(unsigned segs)
{
    segs = ClampSegs(segs, 1);
    if (segs == m_HeightSegs)
        return;
    m_HeightSegs = segs;
    ShapeInvalidate();
}

void XRectangle::SetParams(unsigned widthSegs, unsigned heightSegs, float width, float height)
{
    m_Width = ClampSize(width);
    m_Height = ClampSize(height);
    m_WidthSegs = ClampSegs(widthSegs, 2);
    m_HeightSegs = ClampSegs(heightSegs, 2);
    ShapeInvalidate();
}

XBaseObject* XRectangleDesc::Create() const
{
    return new XRectangle;
}

XString XRectangleDesc::GetClassNameW() const
{
    return u"XRectangle";
}

uint32_t XRectangleDesc::GetCategory() const
{
    return XCAT_SHAPE;
}
