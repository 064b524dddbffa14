#include "Engine/Geometry/XPlanarShape.h"

#include "Components/XQuaternion.h"

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
