#include "Engine/Geometry/XGrid.h"

#include "Components/XQuaternion.h"
#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XArrayChunks.h"
#include "Engine/Scene/XClassIds.h"

namespace
{
unsigned ClampSegs(unsigned segs)
{
    return segs < XGrid::MinSegs ? XGrid::MinSegs : (segs > XGrid::MaxSegs ? XGrid::MaxSegs : segs);
}

float ClampSize(float size)
{
    ClampValue(size, -XGrid::MaxSize, XGrid::MaxSize);
    return size;
}

// One creation at a time.
XShapeDrag g_Drag;
} // namespace

class XXGridWidthField : public XShapeFloatField<XGrid, &XGrid::GetWidth, &XGrid::SetWidth>
{
public:
    XXGridWidthField() : XShapeFloatField(u"Width") {}
};

class XXGridHeightField : public XShapeFloatField<XGrid, &XGrid::GetHeight, &XGrid::SetHeight>
{
public:
    XXGridHeightField() : XShapeFloatField(u"Height") {}
};

class XXGridWidthSegsField : public XShapeU32Field<XGrid, &XGrid::GetWidthSegs, &XGrid::SetWidthSegs>
{
public:
    XXGridWidthSegsField() : XShapeU32Field(u"WidthSegs") {}
};

class XXGridHeightSegsField : public XShapeU32Field<XGrid, &XGrid::GetHeightSegs, &XGrid::SetHeightSegs>
{
public:
    XXGridHeightSegsField() : XShapeU32Field(u"HeightSegs") {}
};

namespace
{
XXGridWidthField g_WidthField;
XXGridHeightField g_HeightField;
XXGridWidthSegsField g_WidthSegsField;
XXGridHeightSegsField g_HeightSegsField;
} // namespace

XGridDesc GridDesc;

XGrid::XGrid()
{
    SetName(u"Grid");
}

uint32_t XGrid::GetClassId() const
{
    return ClassId::Grid;
}

XString XGrid::GetClassNameW() const
{
    return u"XGrid";
}

void XGrid::Save(XScene* scene, XWriter& writer)
{
    XBaseShape::Save(scene, writer);
    writer.BeginChunk(ClassId::Grid);
    writer.WriteChunkFloat(WidthChunk, m_Width);
    writer.WriteChunkFloat(HeightChunk, m_Height);
    writer.WriteChunkU32(WidthSegsChunk, m_WidthSegs);
    writer.WriteChunkU32(HeightSegsChunk, m_HeightSegs);
    writer.EndChunk();
}

void XGrid::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::Grid)
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

void XGrid::EnumerateFields(XPtrArray<XObjectField, 16>& fields)
{
    XBaseShape::EnumerateFields(fields);
    fields.Add(&g_WidthField);
    fields.Add(&g_HeightField);
    fields.Add(&g_WidthSegsField);
    fields.Add(&g_HeightSegsField);
}

XBoundingBox XGrid::GetBoundingBox(unsigned)
{
    const float hw = GxMath::Abs(m_Width) / 2;
    const float hh = GxMath::Abs(m_Height) / 2;
    return XBoundingBox(-hw, -hh, -0.001f, hw, hh, 0.001f);
}

bool XGrid::AllowMouseCreate()
{
    return true;
}

void XGrid::MouseCreateStart()
{
    g_Drag.Start();
    m_Width = 0.001f;
    m_Height = 0.001f;
    ShapeInvalidate();
}

bool XGrid::MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event, const XPoint& point,
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

void XGrid::MouseCreateFinish() {}

void XGrid::ShapeBuild()
{
    const float w = GxMath::Abs(m_Width);
    const float h = GxMath::Abs(m_Height);
    const float hw = w * 0.5f;
    const float hh = h * 0.5f;
    const uint32_t W = m_WidthSegs;
    const uint32_t H = m_HeightSegs;
    m_Points.SetCount(2 * (W + H + 2));
    m_Edges.SetCount(W + H + 2);
    // The sweep's default normals follow the points: none may survive from other sizes.
    m_PointNormals.SetCount(0);
    XVertex* p = m_Points.GetData();
    XEdge* e = m_Edges.GetData();
    uint32_t k = 0;
    for (uint32_t r = 0; r <= H; ++r)
    {
        const float y = hh - static_cast<float>(r) * h / static_cast<float>(H);
        p[k++] = XVertex(-hw, y, 0);
        p[k++] = XVertex(hw, y, 0);
        e[r] = XEdge(2 * r, 2 * r + 1);
    }
    const uint32_t b = 2 * H + 2;
    for (uint32_t c = 0; c <= W; ++c)
    {
        const float x = -hw + static_cast<float>(c) * w / static_cast<float>(W);
        p[k++] = XVertex(x, hh, 0);
        p[k++] = XVertex(x, -hh, 0);
        e[H + 1 + c] = XEdge(b + 2 * c, b + 2 * c + 1);
    }
    ShapeValidate();
}

void XGrid::SetWidth(float width)
{
    width = ClampSize(width);
    if (width == m_Width)
        return;
    m_Width = width;
    ShapeInvalidate();
}

void XGrid::SetHeight(float height)
{
    height = ClampSize(height);
    if (height == m_Height)
        return;
    m_Height = height;
    ShapeInvalidate();
}

void XGrid::SetWidthSegs(unsigned segs)
{
    segs = ClampSegs(segs);
    if (segs == m_WidthSegs)
        return;
    m_WidthSegs = segs;
    ShapeInvalidate();
}

void XGrid::SetHeightSegs(unsigned segs)
{
    segs = ClampSegs(segs);
    if (segs == m_HeightSegs)
        return;
    m_HeightSegs = segs;
    ShapeInvalidate();
}

void XGrid::SetGridParams(unsigned widthSegs, unsigned heightSegs, float width, float height)
{
    m_Width = ClampSize(width);
    m_Height = ClampSize(height);
    m_WidthSegs = ClampSegs(widthSegs);
    m_HeightSegs = ClampSegs(heightSegs);
    ShapeInvalidate();
}

XBaseObject* XGridDesc::Create() const
{
    return new XGrid;
}

XString XGridDesc::GetClassNameW() const
{
    return u"XGrid";
}

uint32_t XGridDesc::GetCategory() const
{
    return XCAT_SHAPE;
}
