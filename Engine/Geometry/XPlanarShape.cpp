#include "Engine/Geometry/XPlanarShape.h"

#include "Components/XQuaternion.h"
#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XArrayChunks.h"

namespace
{
// One creation at a time.
XShapeDrag g_Drag;
} // namespace

using XXPlanarShapeWidthField =
    XShapeFloatField<XPlanarShape, &XPlanarShape::GetWidth, &XPlanarShape::SetWidth>;
using XXPlanarShapeHeightField =
    XShapeFloatField<XPlanarShape, &XPlanarShape::GetHeight, &XPlanarShape::SetHeight>;
namespace
{
XXPlanarShapeWidthField g_WidthField(u"Width");
XXPlanarShapeHeightField g_HeightField(u"Height");
} // namespace

void XPlanarShape::EnumerateFields(XPtrArray<XObjectField, 16>& fields)
{
    XBaseShape::EnumerateFields(fields);
    fields.Add(&g_WidthField);
    fields.Add(&g_HeightField);
}

XBoundingBox XPlanarShape::GetBoundingBox(unsigned)
{
    const float hw = GxMath::Abs(m_Width) / 2;
    const float hh = GxMath::Abs(m_Height) / 2;
    return XBoundingBox(-hw, -hh, -0.001f, hw, hh, 0.001f);
}

bool XPlanarShape::AllowMouseCreate()
{
    return true;
}

void XPlanarShape::MouseCreateStart()
{
    g_Drag.Start();
    m_Width = 0.001f;
    m_Height = 0.001f;
    ShapeInvalidate();
}

bool XPlanarShape::MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event,
                                   const XPoint& point, XShiftState)
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

void XPlanarShape::MouseCreateFinish() {}

void XPlanarShape::SetWidth(float width)
{
    SetParam(m_Width, ClampSize(width));
}

void XPlanarShape::SetHeight(float height)
{
    SetParam(m_Height, ClampSize(height));
}

float XPlanarShape::ClampSize(float size)
{
    ClampValue(size, -MaxSize, MaxSize);
    return size;
}

void XPlanarShape::SaveSegmented(XWriter& writer, uint32_t classId, uint32_t widthSegs, uint32_t heightSegs)
{
    writer.BeginChunk(classId);
    writer.WriteChunkFloat(classId + 1, m_Width);
    writer.WriteChunkFloat(classId + 2, m_Height);
    writer.WriteChunkU32(classId + 3, widthSegs);
    writer.WriteChunkU32(classId + 4, heightSegs);
    writer.EndChunk();
}

void XPlanarShape::LoadSegmented(XReader& reader, uint32_t classId,
                                 const std::function<void(bool height, uint32_t)>& setSegs)
{
    m_Width = DefaultSize;
    m_Height = DefaultSize;
    XArrayChunks::ReadValues(reader,
                             [&](uint32_t id)
                             {
                                 if (id == classId + 1)
                                     SetWidth(XArrayChunks::ReadFloat(reader));
                                 else if (id == classId + 2)
                                     SetHeight(XArrayChunks::ReadFloat(reader));
                                 else if (id == classId + 3 || id == classId + 4)
                                     setSegs(id == classId + 4, XArrayChunks::ReadU32(reader));
                             });
    ShapeInvalidate();
}
