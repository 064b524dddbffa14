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
} // namespace

using XXGridWidthSegsField = XShapeU32Field<XGrid, &XGrid::GetWidthSegs, &XGrid::SetWidthSegs>;
using XXGridHeightSegsField = XShapeU32Field<XGrid, &XGrid::GetHeightSegs, &XGrid::SetHeightSegs>;
namespace
{
XXGridWidthSegsField g_WidthSegsField(u"WidthSegs");
XXGridHeightSegsField g_HeightSegsField(u"HeightSegs");
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

static_assert(XGrid::WidthChunk == ClassId::Grid + 1 && XGrid::HeightChunk == ClassId::Grid + 2 &&
                  XGrid::WidthSegsChunk == ClassId::Grid + 3 && XGrid::HeightSegsChunk == ClassId::Grid + 4,
              "the shared segmented chunk numbers its values from the class id");

void XGrid::Save(XScene* scene, XWriter& writer)
{
    XBaseShape::Save(scene, writer);
    SaveSegmented(writer, ClassId::Grid, m_WidthSegs, m_HeightSegs);
}

void XGrid::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::Grid)
    {
        XBaseShape::Load(scene, reader);
        return;
    }
    m_WidthSegs = DefaultSegs;
    m_HeightSegs = DefaultSegs;
    LoadSegmented(reader, ClassId::Grid,
                  [this](bool height, uint32_t segs) { height ? SetHeightSegs(segs) : SetWidthSegs(segs); });
}

void XGrid::EnumerateFields(XPtrArray<XObjectField, 16>& fields)
{
    XPlanarShape::EnumerateFields(fields);
    fields.Add(&g_WidthSegsField);
    fields.Add(&g_HeightSegsField);
}

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

void XGrid::SetWidthSegs(unsigned segs)
{
    SetParam(m_WidthSegs, ClampSegs(segs));
}

void XGrid::SetHeightSegs(unsigned segs)
{
    SetParam(m_HeightSegs, ClampSegs(segs));
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
