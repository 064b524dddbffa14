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
} // namespace

using XXRectangleWidthSegsField =
    XShapeU32Field<XRectangle, &XRectangle::GetWidthSegs, &XRectangle::SetWidthSegs>;
using XXRectangleHeightSegsField =
    XShapeU32Field<XRectangle, &XRectangle::GetHeightSegs, &XRectangle::SetHeightSegs>;
namespace
{
XXRectangleWidthSegsField g_WidthSegsField(u"WidthSegs");
XXRectangleHeightSegsField g_HeightSegsField(u"HeightSegs");
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

static_assert(XRectangle::WidthChunk == ClassId::Rectangle + 1 && XRectangle::HeightChunk == ClassId::Rectangle + 2 &&
                  XRectangle::WidthSegsChunk == ClassId::Rectangle + 3 && XRectangle::HeightSegsChunk == ClassId::Rectangle + 4,
              "the shared segmented chunk numbers its values from the class id");

void XRectangle::Save(XScene* scene, XWriter& writer)
{
    XBaseShape::Save(scene, writer);
    SaveSegmented(writer, ClassId::Rectangle, m_WidthSegs, m_HeightSegs);
}

void XRectangle::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::Rectangle)
    {
        XBaseShape::Load(scene, reader);
        return;
    }
    m_WidthSegs = DefaultSegs;
    m_HeightSegs = DefaultSegs;
    LoadSegmented(reader, ClassId::Rectangle,
                  [this](bool height, uint32_t segs) { height ? SetHeightSegs(segs) : SetWidthSegs(segs); });
}

void XRectangle::EnumerateFields(XPtrArray<XObjectField, 16>& fields)
{
    XPlanarShape::EnumerateFields(fields);
    fields.Add(&g_WidthSegsField);
    fields.Add(&g_HeightSegsField);
}

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

void XRectangle::SetWidthSegs(unsigned segs)
{
    SetParam(m_WidthSegs, ClampSegs(segs, 1));
}

void XRectangle::SetHeightSegs(unsigned segs)
{
    SetParam(m_HeightSegs, ClampSegs(segs, 1));
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
