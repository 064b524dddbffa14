#include "Engine/Objects/XBox.h"

#include "Components/XWriter.h"
#include "Engine/Objects/XPrimitive.h"
#include "Engine/Scene/XClassIds.h"
#include "Engine/Scene/XMeshNode.h"

#include <cmath>

using XPrimitive::ClampCount;
using XPrimitive::Store;

namespace
{
enum : uint32_t
{
    IdWidth = ClassId::Box + 1,
    IdHeight,
    IdDepth,
    IdWidthSegs,
    IdHeightSegs,
    IdDepthSegs,
};

constexpr float MaxSize = 1000.0f;
constexpr unsigned MaxSegs = 64;

// One creation at a time: start point, footprint point, depth reference, depth point.
XPrimitive::XCreateState<4> s_Create;
} // namespace

using XXBoxWidthField = XPrimitive::XField<XBox, float, &XBox::GetWidth, &XBox::SetWidth>;
using XXBoxHeightField = XPrimitive::XField<XBox, float, &XBox::GetHeight, &XBox::SetHeight>;
using XXBoxDepthField = XPrimitive::XField<XBox, float, &XBox::GetDepth, &XBox::SetDepth>;
using XXBoxWidthSegsField = XPrimitive::XField<XBox, unsigned, &XBox::GetWidthSegs, &XBox::SetWidthSegs>;
using XXBoxHeightSegsField = XPrimitive::XField<XBox, unsigned, &XBox::GetHeightSegs, &XBox::SetHeightSegs>;
using XXBoxDepthSegsField = XPrimitive::XField<XBox, unsigned, &XBox::GetDepthSegs, &XBox::SetDepthSegs>;

namespace
{
XXBoxWidthField g_WidthField(u"Width", u"float");
XXBoxHeightField g_HeightField(u"Height", u"float");
XXBoxDepthField g_DepthField(u"Depth", u"float");
XXBoxWidthSegsField g_WidthSegsField(u"WidthSegs", u"bitu32");
XXBoxHeightSegsField g_HeightSegsField(u"HeightSegs", u"bitu32");
XXBoxDepthSegsField g_DepthSegsField(u"DepthSegs", u"bitu32");

float ClampSize(float v)
{
    ClampValue(v, -MaxSize, MaxSize);
    return v;
}

// Extended precision for the texture coordinates, as the grid positions are exact fractions.
float Ratio(unsigned i, unsigned n)
{
    return static_cast<float>(static_cast<long double>(i) / static_cast<long double>(n));
}
} // namespace

XBoxDesc BoxDesc;

XBox::XBox()
{
    SetName(u"Box");
}

XBox::~XBox() = default;

uint32_t XBox::GetClassId() const
{
    return ClassId::Box;
}

XString XBox::GetClassNameW() const
{
    return u"XBox";
}

void XBox::Save(XScene* scene, XWriter& writer)
{
    XBaseMesh::Save(scene, writer);
    writer.BeginChunk(ClassId::Box);
    writer.WriteChunkFloat(IdWidth, GetWidth());
    writer.WriteChunkFloat(IdHeight, GetHeight());
    writer.WriteChunkFloat(IdDepth, GetDepth());
    writer.WriteChunkU32(IdWidthSegs, GetWidthSegs());
    writer.WriteChunkU32(IdHeightSegs, GetHeightSegs());
    writer.WriteChunkU32(IdDepthSegs, GetDepthSegs());
    writer.EndChunk();
}

void XBox::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::Box)
    {
        XBaseMesh::Load(scene, reader);
        return;
    }
    m_Width = m_Depth = m_Height = 1.0f;
    m_WidthSegs = m_HeightSegs = m_DepthSegs = 1;
    XPrimitive::ReadValues(reader,
                           [&](uint32_t id)
                           {
                               switch (id)
                               {
                               case IdWidth:
                                   SetWidth(XPrimitive::ReadFloat(reader));
                                   break;
                               case IdHeight:
                                   SetHeight(XPrimitive::ReadFloat(reader));
                                   break;
                               case IdDepth:
                                   SetDepth(XPrimitive::ReadFloat(reader));
                                   break;
                               case IdWidthSegs:
                                   SetWidthSegs(XPrimitive::ReadU32(reader));
                                   break;
                               case IdHeightSegs:
                                   SetHeightSegs(XPrimitive::ReadU32(reader));
                                   break;
                               case IdDepthSegs:
                                   SetDepthSegs(XPrimitive::ReadU32(reader));
                                   break;
                               default:
                                   break;
                               }
                           });
    MeshInvalidate();
}

void XBox::EnumerateFields(XPtrArray<XObjectField, 16>& fields)
{
    XBaseMesh::EnumerateFields(fields);
    fields.Add(&g_WidthField);
    fields.Add(&g_HeightField);
    fields.Add(&g_DepthField);
    fields.Add(&g_WidthSegsField);
    fields.Add(&g_HeightSegsField);
    fields.Add(&g_DepthSegsField);
}

XBoundingBox XBox::GetBoundingBox(unsigned)
{
    const float hw = std::fabs(m_Width) / 2, hh = std::fabs(m_Height) / 2, hd = std::fabs(m_Depth) / 2;
    return XBoundingBox(-hw, -hh, -hd, hw, hh, hd);
}

XMesh* XBox::GetMesh(unsigned frame, XViewport* viewport, XMeshNode* node)
{
    if (IsMeshValid(frame))
        return &m_Mesh;
    Build(node);
    MeshValidate(frame, viewport, node, &m_Mesh);
    return &m_Mesh;
}

void XBox::Build(XMeshNode* node)
{
    const float w = std::fabs(m_Width), h = std::fabs(m_Height), d = std::fabs(m_Depth);
    const float hw = w * 0.5f, hh = h * 0.5f, hd = d * 0.5f;
    const unsigned W = m_WidthSegs, H = m_HeightSegs, D = m_DepthSegs;
    const uint32_t A = (W + 1) * (H + 1), B = (D + 1) * (H + 1), C = (W + 1) * (D + 1);
    const uint32_t V = 2 * A + 2 * B + 2 * C;
    const uint32_t bases[6] = {0, A, 2 * A, 2 * A + B, 2 * A + 2 * B, 2 * A + 2 * B + C};

    m_Mesh.Clear();
    m_Mesh.SetVertexCount(V);
    m_Mesh.SetTextureVertexCount(V);
    m_Mesh.SetFaceCount(4 * W * H + 4 * D * H + 4 * W * D);
    XVertex* p = m_Mesh.GetVertices();
    XTextureVertex* t = m_Mesh.GetTextureVertices();

    auto x = [&](unsigned c) { return -hw + static_cast<float>(c) * w / static_cast<float>(W); };
    auto y = [&](unsigned r) { return hh - static_cast<float>(r) * h / static_cast<float>(H); };
    auto z = [&](unsigned k) { return hd - static_cast<float>(k) * d / static_cast<float>(D); };

    for (unsigned r = 0; r <= H; ++r)
        for (unsigned c = 0; c <= W; ++c)
        {
            const uint32_t i = r * (W + 1) + c;
            p[bases[0] + i] = XVertex(x(c), y(r), -hd);
            p[bases[1] + i] = XVertex(x(c), y(r), hd);
            t[bases[0] + i] = t[bases[1] + i] = XTextureVertex(Ratio(c, W), Ratio(r, H));
        }
    for (unsigned r = 0; r <= H; ++r)
        for (unsigned k = 0; k <= D; ++k)
        {
            const uint32_t i = r * (D + 1) + k;
            p[bases[2] + i] = XVertex(-hw, y(r), z(k));
            p[bases[3] + i] = XVertex(hw, y(r), z(k));
            t[bases[2] + i] = t[bases[3] + i] = XTextureVertex(Ratio(r, H), Ratio(k, D));
        }
    for (unsigned k = 0; k <= D; ++k)
        for (unsigned c = 0; c <= W; ++c)
        {
            const uint32_t i = k * (W + 1) + c;
            p[bases[4] + i] = XVertex(x(c), hh, z(k));
            p[bases[5] + i] = XVertex(x(c), -hh, z(k));
            t[bases[4] + i] = t[bases[5] + i] = XTextureVertex(Ratio(c, W), Ratio(k, D));
        }

    XPrimitive::FillColors(m_Mesh, node);

    if (m_Mesh.GetNormalsEnabled())
    {
        static const XVertex sideNormals[6] = {XVertex(0, 0, -1), XVertex(0, 0, 1), XVertex(-1, 0, 0),
                                               XVertex(1, 0, 0),  XVertex(0, 1, 0), XVertex(0, -1, 0)};
        m_Mesh.SetNormalCount(V);
        XVertex* n = m_Mesh.GetNormals();
        for (unsigned side = 0; side < 6; ++side)
        {
            const uint32_t end = side < 5 ? bases[side + 1] : V;
            for (uint32_t i = bases[side]; i < end; ++i)
                n[i] = sideNormals[side];
        }
    }

    XFace* f = m_Mesh.GetFaces();
    f = XPrimitive::GridFaces(f, bases[0], W + 1, H, W, false);
    f = XPrimitive::GridFaces(f, bases[1], W + 1, H, W, true);
    f = XPrimitive::GridFaces(f, bases[2], D + 1, H, D, false);
    f = XPrimitive::GridFaces(f, bases[3], D + 1, H, D, true);
    f = XPrimitive::GridFaces(f, bases[4], W + 1, D, W, false);
    XPrimitive::GridFaces(f, bases[5], W + 1, D, W, true);
    m_Mesh.Invalidate();
}

bool XBox::AllowMouseCreate()
{
    return true;
}

void XBox::MouseCreateStart()
{
    s_Create.presses = 0;
    m_Width = m_Depth = m_Height = 0.001f;
    MeshInvalidate();
}

bool XBox::MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event, const XPoint& point,
                           XShiftState)
{
    if (!viewport)
        return false;
    XVertex& start = s_Create.points[0];
    XVertex& reference = s_Create.points[2];
    if (event == XME_LEFT_DOWN)
    {
        if (s_Create.presses == 0)
        {
            s_Create.plane = viewport->GetPlaneAxis();
            start = viewport->ScreenToPlane(0, point, s_Create.plane);
        }
        if (++s_Create.presses >= 3)
            return true;
    }
    else if (event == XME_MOVE && s_Create.presses == 1)
    {
        const XVertex p = viewport->ScreenToPlane(0, point, s_Create.plane);
        s_Create.points[1] = p;
        reference = viewport->ScreenToPlane(0, point, XAXIS_XYZ);
        XVertex dv = p - start;
        switch (s_Create.plane)
        {
        case XAXIS_XY:
            m_Width = dv.x, m_Height = dv.y, dv.z = 0;
            break;
        case XAXIS_XZ:
            m_Width = dv.x, m_Height = dv.z, dv.y = 0;
            break;
        default:
            m_Width = dv.z, m_Height = dv.y, dv.x = 0;
            break;
        }
        if (node)
            node->SetPosition(start + dv / 2);
        m_Depth = 0.001f;
    }
    else if (event == XME_MOVE && s_Create.presses == 2)
    {
        const XVertex q = viewport->ScreenToPlane(0, point, XAXIS_XYZ);
        s_Create.points[3] = q;
        const XVertex de = q - reference;
        XVertex pos = node ? node->GetPosition() : XVertex(0, 0, 0);
        switch (s_Create.plane)
        {
        case XAXIS_XY:
            m_Depth = de.z, pos.z = start.z + de.z * 0.5f;
            break;
        case XAXIS_XZ:
            m_Depth = de.y, pos.y = start.y + de.y * 0.5f;
            break;
        default:
            m_Depth = de.x, pos.x = start.x + de.x * 0.5f;
            break;
        }
        if (node)
            node->SetPosition(pos);
    }
    MeshInvalidate();
    return false;
}

void XBox::MouseCreateFinish() {}

void XBox::SetWidth(float width)
{
    if (Store(m_Width, ClampSize(width)))
        MeshInvalidate();
}

void XBox::SetDepth(float depth)
{
    if (Store(m_Depth, ClampSize(depth)))
        MeshInvalidate();
}

void XBox::SetHeight(float height)
{
    if (Store(m_Height, ClampSize(height)))
        MeshInvalidate();
}

void XBox::SetWidthSegs(unsigned segs)
{
    if (Store(m_WidthSegs, ClampCount(segs, 1, MaxSegs)))
        MeshInvalidate();
}

void XBox::SetHeightSegs(unsigned segs)
{
    if (Store(m_HeightSegs, ClampCount(segs, 1, MaxSegs)))
        MeshInvalidate();
}

void XBox::SetDepthSegs(unsigned segs)
{
    if (Store(m_DepthSegs, ClampCount(segs, 1, MaxSegs)))
        MeshInvalidate();
}

void XBox::SetParams(float width, float depth, float height)
{
    m_Width = ClampSize(width);
    m_Depth = ClampSize(depth);
    m_Height = ClampSize(height);
    MeshInvalidate();
}

XBaseObject* XBoxDesc::Create() const
{
    return new XBox;
}

XString XBoxDesc::GetClassNameW() const
{
    return u"XBox";
}

uint32_t XBoxDesc::GetCategory() const
{
    return XCAT_MESH;
}
