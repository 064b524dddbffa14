#include "Engine/Objects/XPrimitive.h"

#include "Components/XException.h"
#include "Engine/Scene/XBaseObject.h"
#include "Engine/Geometry/XArrayChunks.h"
#include "Engine/Geometry/XMesh.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Views/XViewport.h"

namespace XPrimitive
{
namespace
{
int FindProperty(const XPropertyDesc* descs, unsigned count, unsigned id)
{
    for (unsigned i = 0; i < count; ++i)
        if (descs[i].Id == id)
            return static_cast<int>(i);
    return -1;
}
} // namespace

bool GetProperty(const XPropertyDesc* descs, const XObjectField* const* fields, unsigned count,
                 XBaseObject* object, unsigned id, VarUtils::XVariant& value)
{
    const int i = FindProperty(descs, count, id);
    return i >= 0 && fields[i]->GetValue(object, value);
}

bool SetProperty(const XPropertyDesc* descs, const XObjectField* const* fields, unsigned count,
                 XBaseObject* object, unsigned id, const VarUtils::XVariant& value)
{
    const int i = FindProperty(descs, count, id);
    return i >= 0 && fields[i]->SetValue(object, value);
}

void FillColors(XMesh& mesh, XMeshNode* node)
{
    if (!mesh.GetColorsEnabled())
        return;
    const uint32_t n = mesh.GetVertexCount();
    mesh.SetColorCount(n);
    const XColor color = node ? node->GetColor() : XColor(0xFFFFFFFFu);
    XColor* colors = mesh.GetColors();
    for (uint32_t i = 0; i < n; ++i)
        colors[i] = color;
}

XFace* GridFaces(XFace* out, uint32_t base, uint32_t stride, uint32_t rows, uint32_t cols, bool flip)
{
    for (uint32_t r = 0; r < rows; ++r)
        for (uint32_t c = 0; c < cols; ++c)
        {
            const uint32_t i00 = base + r * stride + c, i01 = i00 + 1, i10 = i00 + stride, i11 = i10 + 1;
            if (flip)
            {
                *out++ = XFace(i01, i00, i10);
                *out++ = XFace(i10, i11, i01);
            }
            else
            {
                *out++ = XFace(i00, i01, i11);
                *out++ = XFace(i11, i10, i00);
            }
        }
    return out;
}
bool DragRectangle(XCreateState<1>& state, XViewport* viewport, XMeshNode* node, uint32_t event,
                   const XPoint& point, bool& sized, float& width, float& height)
{
    sized = false;
    if (!viewport)
        return false;
    const XVertex& start = state.points[0];
    if (event == XME_LEFT_DOWN)
    {
        if (state.presses == 0)
        {
            state.plane = viewport->GetPlaneAxis();
            state.points[0] = viewport->ScreenToPlane(0, point, state.plane);
        }
        return ++state.presses >= 2;
    }
    if (event != XME_MOVE || state.presses != 1)
        return false;
    XVertex d = viewport->ScreenToPlane(0, point, state.plane) - start;
    switch (state.plane)
    {
    case XAXIS_XY:
        width = d.x, height = d.y, d.z = 0;
        break;
    case XAXIS_XZ:
        width = d.x, height = d.z, d.y = 0;
        break;
    default:
        width = d.z, height = d.y, d.x = 0;
        break;
    }
    if (node)
        node->SetPosition(start + d / 2);
    sized = true;
    return false;
}
} // namespace XPrimitive
