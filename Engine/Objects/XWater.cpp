#include "Engine/Objects/XWater.h"

#include "Components/XVariant.h"
#include "Components/XWriter.h"
#include "Engine/Objects/XPrimitive.h"
#include "Engine/Scene/XClassIds.h"
#include "Engine/Scene/XMeshNode.h"

#include <cmath>

using VarUtils::XVariant;
using XPrimitive::Store;

namespace
{
enum : uint32_t
{
    IdWidth = ClassId::Water + 1,
    IdHeight,
};

constexpr unsigned PropertyCount = 2;
const XPropertyDesc Properties[PropertyCount] = {
    {IdWidth, u"float", u"Width"},
    {IdHeight, u"float", u"Height"},
};

// Half the slab's thickness.
constexpr float Thickness = 0.001f;

// One creation at a time: the first corner, the cursor of the last move, the final point.
XPrimitive::XCreateState<3> s_Create;

float Clamped(float v)
{
    ClampValue(v, -1000, 1000);
    return v;
}
} // namespace

XWaterDesc WaterDesc;

XWater::XWater()
{
    SetName(u"Water");
}

XWater::~XWater() = default;

uint32_t XWater::GetClassId() const
{
    return ClassId::Water;
}

XString XWater::GetClassNameW() const
{
    return u"XWater";
}

void XWater::Save(XScene* scene, XWriter& writer)
{
    XBaseMesh::Save(scene, writer);
    writer.BeginChunk(ClassId::Water);
    writer.WriteChunkFloat(IdWidth, GetWidth());
    writer.WriteChunkFloat(IdHeight, GetHeight());
    writer.EndChunk();
}

void XWater::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::Water)
    {
        XBaseMesh::Load(scene, reader);
        return;
    }
    m_Width = m_Height = 1.0f;
    XPrimitive::ReadValues(reader,
                           [&](uint32_t id)
                           {
                               if (id == IdWidth)
                                   SetWidth(XPrimitive::ReadFloat(reader));
                               else if (id == IdHeight)
                                   SetHeight(XPrimitive::ReadFloat(reader));
                           });
    MeshInvalidate();
}

unsigned XWater::GetPropertyCount() const
{
    return PropertyCount + XBaseMesh::GetPropertyCount();
}

const XPropertyDesc* XWater::GetPropertyDesc(unsigned index) const
{
    if (index < PropertyCount)
        return &Properties[index];
    return XBaseMesh::GetPropertyDesc(index - PropertyCount);
}

void XWater::GetPropertyValue(unsigned id, XVariant& value)
{
    if (id == IdWidth)
        value = GetWidth();
    else if (id == IdHeight)
        value = GetHeight();
    else
        XBaseMesh::GetPropertyValue(id, value);
}

void XWater::SetPropertyValue(unsigned id, const XVariant& value)
{
    if (id == IdWidth)
        SetWidth(static_cast<float>(value.AsDouble()));
    else if (id == IdHeight)
        SetHeight(static_cast<float>(value.AsDouble()));
    else
        XBaseMesh::SetPropertyValue(id, value);
}

XBoundingBox XWater::GetBoundingBox(unsigned)
{
    const float w = std::fabs(m_Width * 0.5f), h = std::fabs(m_Height * 0.5f);
    return XBoundingBox(-w, -h, -Thickness, w, h, Thickness);
}

XMesh* XWater::GetMesh(unsigned frame, XViewport* viewport, XMeshNode* node)
{
    if (IsMeshValid(frame))
        return &m_Mesh;
    Build(node);
    MeshValidate(frame, viewport, node, &m_Mesh);
    return &m_Mesh;
}

void XWater::Build(XMeshNode* node)
{
    const float w = std::fabs(m_Width * 0.5f), h = std::fabs(m_Height * 0.5f), t = Thickness;
    m_Mesh.Clear();
    m_Mesh.SetVertexCount(8);
    XVertex* p = m_Mesh.GetVertices();
    p[0] = XVertex(-w, h, -t);
    p[1] = XVertex(w, h, -t);
    p[2] = XVertex(w, -h, -t);
    p[3] = XVertex(-w, -h, -t);
    p[4] = XVertex(w, h, t);
    p[5] = XVertex(w, -h, t);
    p[6] = XVertex(-w, h, t);
    p[7] = XVertex(-w, -h, t);
    XPrimitive::FillColors(m_Mesh, node);

    static const XFace faces[12] = {
        XFace(0, 1, 2), XFace(2, 3, 0), XFace(1, 4, 5), XFace(5, 2, 1), XFace(4, 6, 7), XFace(7, 5, 4),
        XFace(6, 0, 3), XFace(3, 7, 6), XFace(6, 4, 1), XFace(1, 0, 6), XFace(2, 5, 7), XFace(7, 3, 2),
    };
    m_Mesh.SetFaceCount(12);
    for (uint32_t i = 0; i < 12; ++i)
        m_Mesh.GetFaces()[i] = faces[i];

    if (m_Mesh.GetNormalsEnabled())
    {
        static const XVertex sides[6] = {XVertex(0, 0, -1), XVertex(1, 0, 0), XVertex(0, 0, 1),
                                         XVertex(-1, 0, 0), XVertex(0, 1, 0), XVertex(0, -1, 0)};
        m_Mesh.SetNormalCount(36);
        for (uint32_t i = 0; i < 36; ++i)
            m_Mesh.GetNormals()[i] = sides[i / 6];
    }

    m_Mesh.SetTextureVertexCount(4);
    XTextureVertex* uv = m_Mesh.GetTextureVertices();
    uv[0] = XTextureVertex(0, 0);
    uv[1] = XTextureVertex(1, 0);
    uv[2] = XTextureVertex(1, 1);
    uv[3] = XTextureVertex(0, 1);
    m_Mesh.Invalidate();
}

bool XWater::AllowMouseCreate()
{
    return true;
}

void XWater::MouseCreateStart()
{
    s_Create.presses = 0;
    m_Width = m_Height = 0.001f;
    MeshInvalidate();
}

bool XWater::MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event, const XPoint& point,
                             XShiftState)
{
    if (!viewport)
        return false;
    const XVertex& p0 = s_Create.points[0];
    if (event == XME_LEFT_DOWN)
    {
        if (s_Create.presses == 0)
        {
            s_Create.plane = viewport->GetPlaneAxis();
            s_Create.points[0] = viewport->ScreenToPlane(0, point, s_Create.plane);
        }
        if (++s_Create.presses >= 2)
        {
            s_Create.points[2] = viewport->ScreenToPlane(0, point, XAXIS_XYZ);
            return true;
        }
    }
    else if (event == XME_MOVE && s_Create.presses == 1)
    {
        XVertex d = viewport->ScreenToPlane(0, point, s_Create.plane) - p0;
        s_Create.points[1] = viewport->ScreenToPlane(0, point, XAXIS_XYZ);
        switch (s_Create.plane)
        {
        case XAXIS_XY:
            m_Width = d.x, m_Height = d.y, d.z = 0;
            break;
        case XAXIS_XZ:
            m_Width = d.x, m_Height = d.z, d.y = 0;
            break;
        default:
            m_Width = d.z, m_Height = d.y, d.x = 0;
            break;
        }
        if (node)
            node->SetPosition(p0 + d / 2);
    }
    MeshInvalidate();
    return false;
}

void XWater::MouseCreateFinish() {}

void XWater::SetWidth(float width)
{
    if (Store(m_Width, Clamped(width)))
        MeshInvalidate();
}

void XWater::SetHeight(float height)
{
    if (Store(m_Height, Clamped(height)))
        MeshInvalidate();
}

XBaseObject* XWaterDesc::Create() const
{
    return new XWater;
}

XString XWaterDesc::GetClassNameW() const
{
    return u"XWater";
}

uint32_t XWaterDesc::GetCategory() const
{
    return XCAT_MESH;
}
