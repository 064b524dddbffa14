#include "Engine/Geometry/XBaseShape.h"

#include "Components/XQuaternion.h"
#include "Components/XReader.h"
#include "Components/XVariant.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XArrayChunks.h"
#include "Engine/Geometry/XMesh.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Scene/XClassIds.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XObjectField.h"
#include "Platform/D3D9/D3D9.h"

#include <cmath>

using VarUtils::XVariant;

namespace
{
constexpr long double kPi = 3.14159265358979323846L;
constexpr uint32_t kPointColor = 0xFF00FFFF;

template <class T> T ClampTo(T v, T min, T max)
{
    return v < min ? min : (v > max ? max : v);
}

// Cross-section profile: ring positions, their normals and the v coordinate of each.
struct Profile
{
    XVertices positions;
    XVertices normals;
    XFloatArray t;
};

void RoundProfile(Profile& p, unsigned s, float hw, float hh)
{
    for (unsigned i = 0; i <= s; ++i)
    {
        const float a = static_cast<float>(2.0L * kPi * i / s);
        p.positions[i] = XVertex(static_cast<float>(std::cos(static_cast<double>(a))) * hw, 0,
                                 static_cast<float>(std::sin(static_cast<double>(a))) * hh);
        p.normals[i] = Normalize(p.positions[i]);
    }
}

// Four runs of s / 4 steps around the rectangle; the corners get diagonal normals. With s not a
// multiple of 4 the entries past the last corner repeat the first one: degenerate quads.
void RectangularProfile(Profile& p, unsigned s, float w, float h)
{
    const unsigned q = s / 4;
    const XVertex normals[4] = {XVertex(0, 0, -1), XVertex(1, 0, 0), XVertex(0, 0, 1), XVertex(-1, 0, 0)};
    const XVertex steps[4] = {XVertex(w / q, 0, 0), XVertex(0, 0, h / q), XVertex(-w / q, 0, 0),
                              XVertex(0, 0, -h / q)};
    XVertex c(-w * 0.5f, 0, -h * 0.5f);
    unsigned k = 0;
    for (unsigned run = 0; run < 4; ++run)
        for (unsigned i = 0; i < q; ++i, ++k)
        {
            p.positions[k] = c;
            p.normals[k] = normals[run];
            c += steps[run];
        }
    p.positions[4 * q] = p.positions[0];
    for (unsigned corner = 0; corner <= 4; ++corner)
        p.normals[corner * q] = Normalize(p.positions[corner * q]);
    for (unsigned i = 4 * q + 1; i <= s; ++i)
    {
        p.positions[i] = p.positions[0];
        p.normals[i] = p.normals[0];
    }
}
} // namespace

class XXBaseShapeMeshEnabledField : public XObjectField
{
public:
    XString GetName() const override { return u"MeshEnabled"; }
    XString GetTypeName() const override { return u"bool"; }
    bool GetValue(XBaseObject* object, XVariant& out) const override
    {
        out = static_cast<XBaseShape*>(object)->GetMeshEnabled();
        return true;
    }
    bool SetValue(XBaseObject* object, const XVariant& value) const override
    {
        static_cast<XBaseShape*>(object)->SetMeshEnabled(value.AsBool());
        return true;
    }
};

using XXBaseShapeMeshTypeField =
    XShapeU32Field<XBaseShape, &XBaseShape::GetMeshType, &XBaseShape::SetMeshType>;
using XXBaseShapeMeshWidthField =
    XShapeFloatField<XBaseShape, &XBaseShape::GetMeshWidth, &XBaseShape::SetMeshWidth>;
using XXBaseShapeMeshHeightField =
    XShapeFloatField<XBaseShape, &XBaseShape::GetMeshHeight, &XBaseShape::SetMeshHeight>;
using XXBaseShapeMeshAngleField =
    XShapeFloatField<XBaseShape, &XBaseShape::GetMeshAngle, &XBaseShape::SetMeshAngle>;
using XXBaseShapeMeshSidesField =
    XShapeU32Field<XBaseShape, &XBaseShape::GetMeshSides, &XBaseShape::SetMeshSides>;
namespace
{
XXBaseShapeMeshEnabledField g_MeshEnabledField;
XXBaseShapeMeshTypeField g_MeshTypeField(u"MeshType");
XXBaseShapeMeshWidthField g_MeshWidthField(u"MeshWidth");
XXBaseShapeMeshHeightField g_MeshHeightField(u"MeshHeight");
XXBaseShapeMeshAngleField g_MeshAngleField(u"MeshAngle");
XXBaseShapeMeshSidesField g_MeshSidesField(u"MeshSides");
} // namespace

XBaseShapeDesc BaseShapeDesc;

// ---- construction and persistence --------------------------------------------------------------

XBaseShape::XBaseShape()
{
    SetName(u"BaseShape");
}

XBaseShape::~XBaseShape()
{
    try
    {
        SetScene(nullptr);
    }
    catch (...)
    {
    }
    delete m_Mesh;
}

uint32_t XBaseShape::GetClassId() const
{
    return ClassId::BaseShape;
}

XString XBaseShape::GetClassNameW() const
{
    return u"XBaseShape";
}

void XBaseShape::Save(XScene* scene, XWriter& writer)
{
    XBaseMesh::Save(scene, writer);
    writer.BeginChunk(ClassId::BaseShape);
    writer.WriteChunkU32(MeshEnabledChunk, m_MeshEnabled ? 1 : 0);
    writer.WriteChunkU32(MeshTypeChunk, m_MeshType);
    writer.WriteChunkFloat(MeshWidthChunk, m_MeshWidth);
    writer.WriteChunkFloat(MeshHeightChunk, m_MeshHeight);
    writer.WriteChunkFloat(MeshAngleChunk, m_MeshAngle);
    writer.WriteChunkU32(MeshSidesChunk, m_MeshSides);
    writer.EndChunk();
}

void XBaseShape::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::BaseShape)
    {
        XBaseMesh::Load(scene, reader);
        return;
    }
    m_MeshEnabled = false;
    m_MeshType = DefaultMeshType;
    m_MeshWidth = DefaultMeshSize;
    m_MeshHeight = DefaultMeshSize;
    m_MeshAngle = 0.0f;
    m_MeshSides = DefaultMeshSides;
    // A swept mesh made under the old values would otherwise outlive a chunk without the flag.
    delete m_Mesh;
    m_Mesh = nullptr;
    XArrayChunks::ReadValues(reader,
                             [&](uint32_t id)
                             {
                                 switch (id)
                                 {
                                 case MeshEnabledChunk:
                                     SetMeshEnabled(XArrayChunks::ReadU32(reader) != 0);
                                     break;
                                 case MeshTypeChunk:
                                     SetMeshType(XArrayChunks::ReadU32(reader));
                                     break;
                                 case MeshSidesChunk:
                                     SetMeshSides(XArrayChunks::ReadU32(reader));
                                     break;
                                 case MeshWidthChunk:
                                     SetMeshWidth(XArrayChunks::ReadFloat(reader));
                                     break;
                                 case MeshHeightChunk:
                                     SetMeshHeight(XArrayChunks::ReadFloat(reader));
                                     break;
                                 case MeshAngleChunk:
                                     SetMeshAngle(XArrayChunks::ReadFloat(reader));
                                     break;
                                 default:
                                     break;
                                 }
                             });
    ShapeInvalidate();
}

void XBaseShape::EnumerateFields(XPtrArray<XObjectField, 16>& fields)
{
    XBaseObject::EnumerateFields(fields);
    fields.Add(&g_MeshEnabledField);
    fields.Add(&g_MeshTypeField);
    fields.Add(&g_MeshWidthField);
    fields.Add(&g_MeshHeightField);
    fields.Add(&g_MeshAngleField);
    fields.Add(&g_MeshSidesField);
}

// ---- parameters --------------------------------------------------------------------------------

void XBaseShape::SetMeshEnabled(bool enabled)
{
    if (enabled == m_MeshEnabled)
        return;
    m_MeshEnabled = enabled;
    ShapeInvalidate();
    if (!enabled && m_Mesh)
    {
        delete m_Mesh;
        m_Mesh = nullptr;
    }
}

void XBaseShape::SetMeshType(unsigned type)
{
    if (type > MeshRectangular)
        type = MeshRectangular;
    if (type == m_MeshType)
        return;
    m_MeshType = type;
    if (m_MeshEnabled)
        ShapeInvalidate();
}

void XBaseShape::SetMeshWidth(float width)
{
    ClampValue(width, -MaxMeshSize, MaxMeshSize);
    if (width == m_MeshWidth)
        return;
    m_MeshWidth = width;
    if (m_MeshEnabled)
        ShapeInvalidate();
}

void XBaseShape::SetMeshHeight(float height)
{
    ClampValue(height, -MaxMeshSize, MaxMeshSize);
    if (height == m_MeshHeight)
        return;
    m_MeshHeight = height;
    if (m_MeshEnabled)
        ShapeInvalidate();
}

void XBaseShape::SetMeshAngle(float angle)
{
    if (angle == m_MeshAngle)
        return;
    m_MeshAngle = angle;
    if (m_MeshEnabled)
        ShapeInvalidate();
}

void XBaseShape::SetMeshSides(unsigned sides)
{
    sides = ClampTo<unsigned>(sides, MinMeshSides, MaxMeshSides);
    if (sides == m_MeshSides)
        return;
    m_MeshSides = sides;
    if (m_MeshEnabled)
        ShapeInvalidate();
}

// ---- outline state -----------------------------------------------------------------------------

void XBaseShape::ShapeInvalidate()
{
    m_ShapeValid = false;
    MeshInvalidate();
}

void XBaseShape::ShapeValidate()
{
    m_ShapeValid = true;
}

bool XBaseShape::IsShapeValid(unsigned)
{
    return m_ShapeValid;
}

void XBaseShape::ShapeBuild() {}

void XBaseShape::CompleteOutline()
{
    const uint32_t n = m_Points.GetCount();
    const uint32_t m = m_PointNormals.GetCount();
    if (m != n)
    {
        m_PointNormals.SetCount(n);
        for (uint32_t i = m; i < n; ++i)
            m_PointNormals.GetData()[i] = Normalize(m_Points.GetData()[i]);
    }
    if (m_PathParameters.GetCount() != n)
    {
        m_PathParameters.SetCount(n);
        // A single point has nowhere to run: its parameter is 0.
        const float step = n > 1 ? 1.0f / static_cast<float>(n - 1) : 0.0f;
        for (uint32_t i = 0; i < n; ++i)
            m_PathParameters.GetData()[i] = static_cast<float>(i) * step;
    }
}

// ---- drawing -----------------------------------------------------------------------------------

bool XBaseShape::Renderable()
{
    return true;
}

void XBaseShape::Render(unsigned frame, XViewport* viewport, XMeshNode* node, unsigned flags)
{
    if (!IsShapeValid(frame))
        ShapeBuild();
    if (m_MeshEnabled)
    {
        XBaseMesh::Render(frame, viewport, node, flags);
        return;
    }
    XMatrix world(1.0f);
    uint32_t colour = 0xFFFFFFFF;
    if (node)
    {
        node->GetMeshMatrix(frame, world);
        colour = node->GetColor().GetARGB();
    }
    RenderShape(frame, viewport, &world, colour, flags);
}

void XBaseShape::RenderShape(unsigned frame, XViewport* viewport, const XMatrix* world, uint32_t colour,
                             unsigned flags)
{
    if (!IsShapeValid(frame))
        ShapeBuild();
    IDirect3DDevice9* device = viewport ? viewport->GetDevice() : nullptr;
    if (!device)
        return;
    const uint32_t pointCount = m_Points.GetCount();
    const uint32_t edgeCount = m_Edges.GetCount();
    XArray<XDiffuseVertex, 16> vertices;
    vertices.SetCount(2 * (pointCount > edgeCount ? pointCount : edgeCount));
    XDiffuseVertex* v = vertices.GetData();
    const XVertex* points = m_Points.GetData();
    uint32_t lines = 0;
    for (uint32_t i = 0; i < edgeCount; ++i)
    {
        const XEdge& e = m_Edges.GetData()[i];
        if (e.a >= pointCount || e.b >= pointCount)
            continue;
        v[2 * lines] = {points[e.a].x, points[e.a].y, points[e.a].z, colour};
        v[2 * lines + 1] = {points[e.b].x, points[e.b].y, points[e.b].z, colour};
        ++lines;
    }

    const XMatrix identity(1.0f);
    device->SetTransform(D3DTS_WORLD, reinterpret_cast<const D3DMATRIX*>(world ? world : &identity));
    device->SetStreamSource(0, nullptr, 0, sizeof(XDiffuseVertex));
    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    DWORD lighting = FALSE;
    device->GetRenderState(D3DRS_LIGHTING, &lighting);
    if (lighting)
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
    if (lines)
        device->DrawPrimitiveUP(D3DPT_LINELIST, lines, v, sizeof(XDiffuseVertex));
    if ((flags & XRS_POINTS) && pointCount)
    {
        device->SetRenderState(D3DRS_POINTSIZE, FloatToDWord(viewport->GetPointSize()));
        device->SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
        for (uint32_t i = 0; i < pointCount; ++i)
            v[i] = {points[i].x, points[i].y, points[i].z, kPointColor};
        device->DrawPrimitiveUP(D3DPT_POINTLIST, pointCount, v, sizeof(XDiffuseVertex));
    }
    if (lighting)
        device->SetRenderState(D3DRS_LIGHTING, lighting);
}

XBoundingBox XBaseShape::GetBoundingBox(unsigned frame)
{
    if (!IsShapeValid(frame))
        ShapeBuild();
    return ComputeBoundingBox(m_Points.GetData(), m_Points.GetCount());
}

// ---- the sweep ---------------------------------------------------------------------------------

XMesh* XBaseShape::GetMesh(unsigned frame, XViewport* viewport, XMeshNode* node)
{
    if (!m_MeshEnabled)
        return nullptr;
    if (!IsShapeValid(frame))
        ShapeBuild();
    if (!m_Mesh)
        m_Mesh = new XMesh;
    else if (IsMeshValid(frame))
        return m_Mesh;
    else
        m_Mesh->Clear();
    SweepInto(*m_Mesh);
    MeshValidate(frame, viewport, node, m_Mesh);
    return m_Mesh;
}

void XBaseShape::SweepInto(XMesh& mesh)
{
    CompleteOutline();
    const uint32_t n = m_Points.GetCount();
    // Three sides would leave a rectangle a zero step and a circle a triangle: both take four.
    const unsigned s = m_MeshSides < 4 ? 4 : m_MeshSides;
    const unsigned ring = s + 1;

    Profile profile;
    profile.positions.SetCount(ring);
    profile.normals.SetCount(ring);
    profile.t.SetCount(ring);
    const float w = GxMath::Abs(m_MeshWidth);
    const float h = GxMath::Abs(m_MeshHeight);
    if (m_MeshType == MeshRectangular)
        RectangularProfile(profile, s, w, h);
    else
        RoundProfile(profile, s, w * 0.5f, h * 0.5f);
    for (unsigned i = 0; i <= s; ++i)
        profile.t[i] = static_cast<float>(i) / static_cast<float>(s);

    const uint32_t count = ring * n;
    mesh.SetVertexCount(count);
    mesh.SetNormalCount(count);
    mesh.SetTextureVertexCount(count);
    XVertex* positions = mesh.GetVertices();
    XVertex* normals = mesh.GetNormals();
    XTextureVertex* uv = mesh.GetTextureVertices();
    const XVertex xAxis(1, 0, 0);
    for (uint32_t j = 0; j < n; ++j)
    {
        const uint32_t first = j * ring;
        const XVertex& normal = m_PointNormals.GetData()[j];
        const XVertex& point = m_Points.GetData()[j];
        for (unsigned i = 0; i < ring; ++i)
        {
            normals[first + i] = profile.normals[i];
            positions[first + i] = profile.positions[i];
            uv[first + i] = XTextureVertex(m_PathParameters.GetData()[j], profile.t[i]);
        }
        XMatrix m;
        GxMath::AngleBetween(m, xAxis, normal);
        if (normal.x == -1.0f && normal.y == 0.0f && normal.z == 0.0f)
            m.Rotate(-3.14159274f, 0, 0);
        m.ApplyTo(normals + first, ring);
        m.Translate(point.x, point.y, point.z);
        m.ApplyTo(positions + first, ring);
    }

    XArray<XFace, 32>& faces = mesh.GetFaceArray();
    // Arrays grow one element per Add: room for every face first, or the sweep is quadratic.
    faces.SetCapacity(faces.GetCount() + m_Edges.GetCount() * 2 * s);
    for (uint32_t e = 0; e < m_Edges.GetCount(); ++e)
    {
        const XEdge& edge = m_Edges.GetData()[e];
        // An edge past the outline has no rings to join.
        if (edge.a >= n || edge.b >= n)
            continue;
        for (unsigned i = 0; i < s; ++i)
        {
            const uint32_t a = edge.a * ring + i;
            const uint32_t b = edge.b * ring + i;
            faces.Add(XFace(b + 1, a + 1, a));
            faces.Add(XFace(a, b, b + 1));
        }
    }
    mesh.Invalidate();
}

// ---- conversion --------------------------------------------------------------------------------

bool XBaseShape::CanConvertToType(const XString& type)
{
    return type == u"XTriMesh";
}

XBaseMesh* XBaseShape::ConvertToType(unsigned frame, const XString& type)
{
    if (!(type == u"XTriMesh"))
        return nullptr;
    if (!IsShapeValid(frame))
        ShapeBuild();
    XTriMesh* converted = new XTriMesh;
    XMesh* source = converted->GetMesh();
    if (XMesh* swept = GetMesh(frame, nullptr, nullptr))
    {
        *source = *swept;
    }
    else
    {
        CompleteOutline();
        const uint32_t n = m_Points.GetCount();
        source->SetVertexCount(n);
        source->SetNormalCount(n);
        for (uint32_t i = 0; i < n; ++i)
        {
            source->GetVertices()[i] = m_Points.GetData()[i];
            source->GetNormals()[i] = m_PointNormals.GetData()[i];
        }
        source->Invalidate();
    }
    converted->MeshInvalidate();
    converted->SetName(GetName());
    converted->SetGuid(GetGuid());
    // The nodes that show this object show the new one: it takes their count with them.
    for (int32_t i = 0; i < m_RefCount; ++i)
        converted->AddRef();
    ReplaceReference(converted);
    XScene* scene = GetScene();
    SetScene(nullptr);
    converted->SetScene(scene);
    Destroy();
    return converted;
}

// ---- mouse creation ----------------------------------------------------------------------------

XShapeDrag::Result XShapeDrag::Step(XViewport* viewport, XMeshNode* node, XMouseEvent event,
                                    const XPoint& point, float& width, float& height)
{
    if (event == XME_LEFT_DOWN)
    {
        if (m_Presses == 0)
        {
            if (!viewport)
                return Ignored;
            m_Plane = viewport->GetPlaneAxis();
            m_Start = viewport->ScreenToPlane(0, point, m_Plane);
        }
        ++m_Presses;
        return m_Presses >= 2 ? Finished : Ignored;
    }
    if (event != XME_MOVE || m_Presses != 1 || !viewport)
        return Ignored;
    const XVertex d = viewport->ScreenToPlane(0, point, m_Plane) - m_Start;
    if (node)
        node->SetPosition(m_Start + d / 2);
    switch (m_Plane)
    {
    case XAXIS_XZ:
        width = d.x;
        height = d.z;
        break;
    case XAXIS_YZ:
        width = d.z;
        height = d.y;
        break;
    default:
        width = d.x;
        height = d.y;
        break;
    }
    return Resized;
}

// ---- descriptor --------------------------------------------------------------------------------

XBaseObject* XBaseShapeDesc::Create() const
{
    return nullptr;
}

XString XBaseShapeDesc::GetClassNameW() const
{
    return u"XBaseShape";
}

uint32_t XBaseShapeDesc::GetCategory() const
{
    return XCAT_SHAPE;
}
