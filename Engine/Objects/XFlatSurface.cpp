#include "Engine/Objects/XFlatSurface.h"

#include "Components/XVariant.h"
#include "Components/XWriter.h"
#include "Engine/Objects/XPrimitive.h"
#include "Engine/Scene/XClassIds.h"

#include <cmath>

using VarUtils::XVariant;
using XPrimitive::ClampCount;
using XPrimitive::Store;

namespace
{
enum : uint32_t
{
    IdWidthSegs = ClassId::FlatSurface + 1,
    IdHeightSegs,
    IdWidth,
    IdHeight,
};

constexpr unsigned PropertyCount = 4;
const XPropertyDesc Properties[PropertyCount] = {
    {IdWidthSegs, u"bitu32", u"WidthSegs"},
    {IdHeightSegs, u"bitu32", u"HeightSegs"},
    {IdWidth, u"float", u"Width"},
    {IdHeight, u"float", u"Height"},
};

XPrimitive::XCreateState<1> s_Create;

float Ratio(unsigned i, unsigned n)
{
    return static_cast<float>(static_cast<long double>(i) / static_cast<long double>(n));
}
} // namespace

XFlatSurfaceDesc FlatSurfaceDesc;

XFlatSurface::XFlatSurface()
{
    SetName(u"FlatSurface");
    SetWH(m_Width, m_Height);
}

XFlatSurface::~XFlatSurface() = default;

uint32_t XFlatSurface::GetClassId() const
{
    return ClassId::FlatSurface;
}

XString XFlatSurface::GetClassNameW() const
{
    return u"XFlatSurface";
}

void XFlatSurface::Save(XScene* scene, XWriter& writer)
{
    XBaseMesh::Save(scene, writer);
    writer.BeginChunk(ClassId::FlatSurface);
    writer.WriteChunkU32(IdWidthSegs, GetWidthSegs());
    writer.WriteChunkU32(IdHeightSegs, GetHeightSegs());
    writer.WriteChunkFloat(IdWidth, GetWidth());
    writer.WriteChunkFloat(IdHeight, GetHeight());
    writer.EndChunk();
}

void XFlatSurface::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::FlatSurface)
    {
        XBaseMesh::Load(scene, reader);
        return;
    }
    m_Width = m_Height = 1.0f;
    m_WidthSegs = m_HeightSegs = 4;
    XPrimitive::ReadValues(reader,
                           [&](uint32_t id)
                           {
                               switch (id)
                               {
                               case IdWidthSegs:
                                   SetWidthSegs(XPrimitive::ReadU32(reader));
                                   break;
                               case IdHeightSegs:
                                   SetHeightSegs(XPrimitive::ReadU32(reader));
                                   break;
                               case IdWidth:
                                   SetWidth(XPrimitive::ReadFloat(reader));
                                   break;
                               case IdHeight:
                                   SetHeight(XPrimitive::ReadFloat(reader));
                                   break;
                               default:
                                   break;
                               }
                           });
    MeshInvalidate();
}

unsigned XFlatSurface::GetPropertyCount() const
{
    return PropertyCount + XBaseMesh::GetPropertyCount();
}

const XPropertyDesc* XFlatSurface::GetPropertyDesc(unsigned index) const
{
    if (index < PropertyCount)
        return &Properties[index];
    return XBaseMesh::GetPropertyDesc(index - PropertyCount);
}

namespace
{
const XPrimitive::XField<XFlatSurface, unsigned, &XFlatSurface::GetWidthSegs, &XFlatSurface::SetWidthSegs>
    g_WidthSegsField(u"WidthSegs", u"bitu32");
const XPrimitive::XField<XFlatSurface, unsigned, &XFlatSurface::GetHeightSegs, &XFlatSurface::SetHeightSegs>
    g_HeightSegsField(u"HeightSegs", u"bitu32");
const XPrimitive::XField<XFlatSurface, float, &XFlatSurface::GetWidth, &XFlatSurface::SetWidth>
    g_WidthField(u"Width", u"float");
const XPrimitive::XField<XFlatSurface, float, &XFlatSurface::GetHeight, &XFlatSurface::SetHeight>
    g_HeightField(u"Height", u"float");
// The fields behind the properties, in the list's order.
const XObjectField* const PropertyFields[PropertyCount] = {&g_WidthSegsField, &g_HeightSegsField,
                                                           &g_WidthField, &g_HeightField};
} // namespace

void XFlatSurface::GetPropertyValue(unsigned id, XVariant& value)
{
    if (!XPrimitive::GetProperty(Properties, PropertyFields, PropertyCount, this, id, value))
        XBaseMesh::GetPropertyValue(id, value);
}

void XFlatSurface::SetPropertyValue(unsigned id, const XVariant& value)
{
    if (!XPrimitive::SetProperty(Properties, PropertyFields, PropertyCount, this, id, value))
        XBaseMesh::SetPropertyValue(id, value);
}

XBoundingBox XFlatSurface::GetBoundingBox(unsigned)
{
    const float w = std::fabs(m_Width / 2), h = std::fabs(m_Height / 2);
    return XBoundingBox(-w, -h, -0.001f, w, h, 0.001f);
}

XMesh* XFlatSurface::GetMesh(unsigned frame, XViewport* viewport, XMeshNode* node)
{
    if (IsMeshValid(frame))
        return &m_Mesh;
    Build(node);
    MeshValidate(frame, viewport, node, &m_Mesh);
    return &m_Mesh;
}

void XFlatSurface::Build(XMeshNode* node)
{
    const unsigned W = m_WidthSegs, H = m_HeightSegs;
    const long double w = std::fabs(m_Width), h = std::fabs(m_Height);
    const uint32_t V = (W + 1) * (H + 1);
    m_Mesh.Clear();
    m_Mesh.SetVertexCount(V);
    m_Mesh.SetTextureVertexCount(V);
    m_Mesh.SetFaceCount(2 * W * H);
    XVertex* p = m_Mesh.GetVertices();
    XTextureVertex* t = m_Mesh.GetTextureVertices();
    for (unsigned r = 0; r <= H; ++r)
        for (unsigned c = 0; c <= W; ++c)
        {
            const uint32_t i = r * (W + 1) + c;
            p[i] = XVertex(static_cast<float>(c * w / W - w / 2), static_cast<float>(h / 2 - r * h / H), 0);
            t[i] = XTextureVertex(Ratio(c, W), Ratio(r, H));
        }
    XPrimitive::GridFaces(m_Mesh.GetFaces(), 0, W + 1, H, W, false);
    if (m_Mesh.GetNormalsEnabled())
    {
        m_Mesh.SetNormalCount(V);
        for (uint32_t i = 0; i < V; ++i)
            m_Mesh.GetNormals()[i] = XVertex(0, 0, -1);
    }
    XPrimitive::FillColors(m_Mesh, node);
    m_Mesh.Invalidate();
}

bool XFlatSurface::AllowMouseCreate()
{
    return true;
}

void XFlatSurface::MouseCreateStart()
{
    s_Create.presses = 0;
    SetWH(0.001f, 0.001f);
}

bool XFlatSurface::MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event,
                                   const XPoint& point, XShiftState)
{
    return XPrimitive::DragSurface(*this, s_Create, viewport, node, event, point);
}

void XFlatSurface::MouseCreateFinish() {}

void XFlatSurface::SetWH(float width, float height)
{
    m_Width = width;
    m_Height = height;
    MeshInvalidate();
}

void XFlatSurface::SetWidth(float width)
{
    if (Store(m_Width, width))
        SetWH(m_Width, m_Height);
}

void XFlatSurface::SetHeight(float height)
{
    if (Store(m_Height, height))
        SetWH(m_Width, m_Height);
}

void XFlatSurface::SetWidthSegs(unsigned segs)
{
    if (Store(m_WidthSegs, ClampCount(segs, 1, 256)))
        SetWH(m_Width, m_Height);
}

void XFlatSurface::SetHeightSegs(unsigned segs)
{
    if (Store(m_HeightSegs, ClampCount(segs, 1, 256)))
        SetWH(m_Width, m_Height);
}

XBaseObject* XFlatSurfaceDesc::Create() const
{
    return new XFlatSurface;
}

XString XFlatSurfaceDesc::GetClassNameW() const
{
    return u"XFlatSurface";
}

uint32_t XFlatSurfaceDesc::GetCategory() const
{
    return XCAT_MESH;
}
