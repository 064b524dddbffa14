#include "Engine/Objects/XBSSurface.h"

#include "Components/XBSpline.h"
#include "Components/XVariant.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XArrayChunks.h"
#include "Engine/Objects/XPrimitive.h"
#include "Engine/Scene/XClassIds.h"
#include "Engine/Scene/XSceneLink.h"

#include <cmath>
#include <vector>

using VarUtils::XVariant;
using XPrimitive::ClampCount;
using XPrimitive::Store;

namespace
{
enum : uint32_t
{
    IdWidthSegs = ClassId::BSSurface + 1,
    IdHeightSegs,
    IdUSteps,
    IdVSteps,
    IdWidth,
    IdHeight,
    IdPoints,
};

constexpr unsigned PropertyCount = 6;
const XPropertyDesc Properties[PropertyCount] = {
    {IdWidthSegs, u"bitu32", u"WidthSegs"}, {IdHeightSegs, u"bitu32", u"HeightSegs"},
    {IdUSteps, u"bitu32", u"USteps"},       {IdVSteps, u"bitu32", u"VSteps"},
    {IdWidth, u"float", u"Width"},          {IdHeight, u"float", u"Height"},
};

// The patch is quadratic: order 3 in both directions.
constexpr unsigned Order = 3;
constexpr unsigned MaxCount = 256;

XPrimitive::XCreateState<1> s_Create;

float Ratio(unsigned i, unsigned n)
{
    return static_cast<float>(static_cast<long double>(i) / static_cast<long double>(n));
}

// The patch over the shared knots and basis, as the general evaluator computes it with unit
// weights, but summing only the control points whose basis values are not zero (at most the
// order's count in each direction) and computing each column's basis once: the same terms in the
// same order, so the same points, at a cost linear in the samples rather than in samples times
// control points (a 256 x 256 patch would otherwise take billions of steps).
void EvaluatePatch(const XVertex* points, unsigned countU, unsigned countV, unsigned stepsU, unsigned stepsV,
                   XVertex* out)
{
    std::vector<float> xu(countU + Order + 1), xv(countV + Order + 1);
    KnotVector(countU, Order, xu.data());
    KnotVector(countV, Order, xv.data());
    const float stepU = stepsU > 1 ? xu[countU + Order - 1] / static_cast<float>(stepsU - 1) : 0.0f;
    const float stepV = stepsV > 1 ? xv[countV + Order - 1] / static_cast<float>(stepsV - 1) : 0.0f;

    // The non-zero run [first, end) of one basis row.
    auto span = [](const float* basis, unsigned n, unsigned& first, unsigned& end)
    {
        first = 0;
        while (first < n && basis[first] == 0.0f)
            ++first;
        end = n;
        while (end > first && basis[end - 1] == 0.0f)
            --end;
    };

    std::vector<float> nu(static_cast<size_t>(stepsU) * countU);
    std::vector<unsigned> firstU(stepsU), endU(stepsU);
    float u = 0.0f;
    for (unsigned s = 0; s < stepsU; ++s, u += stepU)
    {
        BasisFunctions(Order, u, countU, xu.data(), &nu[static_cast<size_t>(s) * countU]);
        span(&nu[static_cast<size_t>(s) * countU], countU, firstU[s], endU[s]);
    }
    std::vector<float> nv(countV);
    float v = 0.0f;
    for (unsigned r = 0; r < stepsV; ++r, v += stepV)
    {
        BasisFunctions(Order, v, countV, xv.data(), nv.data());
        unsigned firstV, endV;
        span(nv.data(), countV, firstV, endV);
        for (unsigned s = 0; s < stepsU; ++s)
        {
            const float* bu = &nu[static_cast<size_t>(s) * countU];
            float sum = 0.0f;
            for (unsigned j = firstV; j < endV; ++j)
                for (unsigned i = firstU[s]; i < endU[s]; ++i)
                    sum += bu[i] * nv[j];
            XVertex p(0.0f, 0.0f, 0.0f);
            if (sum != 0.0f)
                for (unsigned j = firstV; j < endV; ++j)
                    for (unsigned i = firstU[s]; i < endU[s]; ++i)
                    {
                        const XVertex& c = points[countU * j + i];
                        p.x += bu[i] * c.x * nv[j] / sum;
                        p.y += bu[i] * c.y * nv[j] / sum;
                        p.z += bu[i] * c.z * nv[j] / sum;
                    }
            out[stepsU * r + s] = p;
        }
    }
}

} // namespace

XBSSurfaceDesc BSSurfaceDesc;

XBSSurface::XBSSurface()
{
    SetName(u"BSSurface");
    SetWH(m_Width, m_Height);
}

XBSSurface::~XBSSurface() = default;

void* XBSSurface::GetInterface(const XGuid& id)
{
    if (id == IPointListGuid)
        return static_cast<IPointList*>(this);
    return XBaseSurface::GetInterface(id);
}

uint32_t XBSSurface::GetClassId() const
{
    return ClassId::BSSurface;
}

XString XBSSurface::GetClassNameW() const
{
    return u"XBSSurface";
}

void XBSSurface::Save(XScene* scene, XWriter& writer)
{
    XBaseMesh::Save(scene, writer);
    writer.BeginChunk(ClassId::BSSurface);
    writer.WriteChunkU32(IdWidthSegs, GetWidthSegs());
    writer.WriteChunkU32(IdHeightSegs, GetHeightSegs());
    writer.WriteChunkU32(IdUSteps, GetUSteps());
    writer.WriteChunkU32(IdVSteps, GetVSteps());
    writer.WriteChunkFloat(IdWidth, GetWidth());
    writer.WriteChunkFloat(IdHeight, GetHeight());
    // Last, so that the setters above cannot lay the stored points out again while loading.
    XArrayChunks::WriteArrayChunk(writer, IdPoints, m_Points);
    writer.EndChunk();
}

void XBSSurface::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::BSSurface)
    {
        XBaseMesh::Load(scene, reader);
        return;
    }
    m_WidthSegs = m_HeightSegs = 4;
    m_USteps = m_VSteps = 9;
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
                               case IdUSteps:
                                   SetUSteps(XPrimitive::ReadU32(reader));
                                   break;
                               case IdVSteps:
                                   SetVSteps(XPrimitive::ReadU32(reader));
                                   break;
                               case IdWidth:
                                   SetWidth(XPrimitive::ReadFloat(reader));
                                   break;
                               case IdHeight:
                                   SetHeight(XPrimitive::ReadFloat(reader));
                                   break;
                               case IdPoints:
                               {
                                   // Bounded by the chunk before the array grows; never shrunk, so the grid
                                   // stays whole.
                                   const uint32_t n = XArrayChunks::ReadCount(reader, sizeof(XVertex));
                                   if (m_Points.GetCount() < n)
                                       m_Points.SetCount(n);
                                   const unsigned bytes = n * static_cast<unsigned>(sizeof(XVertex));
                                   if (bytes && reader.Read(m_Points.GetData(), bytes) != bytes)
                                       throw FileUtils::XIOError();
                                   break;
                               }
                               default:
                                   break;
                               }
                           });
    MeshInvalidate();
}

unsigned XBSSurface::GetPropertyCount() const
{
    return PropertyCount + XBaseMesh::GetPropertyCount();
}

const XPropertyDesc* XBSSurface::GetPropertyDesc(unsigned index) const
{
    if (index < PropertyCount)
        return &Properties[index];
    return XBaseMesh::GetPropertyDesc(index - PropertyCount);
}

namespace
{
const XPrimitive::XField<XBSSurface, unsigned, &XBSSurface::GetWidthSegs, &XBSSurface::SetWidthSegs>
    g_WidthSegsField(u"WidthSegs", u"bitu32");
const XPrimitive::XField<XBSSurface, unsigned, &XBSSurface::GetHeightSegs, &XBSSurface::SetHeightSegs>
    g_HeightSegsField(u"HeightSegs", u"bitu32");
const XPrimitive::XField<XBSSurface, unsigned, &XBSSurface::GetUSteps, &XBSSurface::SetUSteps>
    g_UStepsField(u"USteps", u"bitu32");
const XPrimitive::XField<XBSSurface, unsigned, &XBSSurface::GetVSteps, &XBSSurface::SetVSteps>
    g_VStepsField(u"VSteps", u"bitu32");
const XPrimitive::XField<XBSSurface, float, &XBSSurface::GetWidth, &XBSSurface::SetWidth>
    g_WidthField(u"Width", u"float");
const XPrimitive::XField<XBSSurface, float, &XBSSurface::GetHeight, &XBSSurface::SetHeight>
    g_HeightField(u"Height", u"float");
// The fields behind the properties, in the list's order.
const XObjectField* const PropertyFields[PropertyCount] = {
    &g_WidthSegsField, &g_HeightSegsField, &g_UStepsField, &g_VStepsField, &g_WidthField, &g_HeightField};
} // namespace

void XBSSurface::GetPropertyValue(unsigned id, XVariant& value)
{
    if (!XPrimitive::GetProperty(Properties, PropertyFields, PropertyCount, this, id, value))
        XBaseMesh::GetPropertyValue(id, value);
}

void XBSSurface::SetPropertyValue(unsigned id, const XVariant& value)
{
    if (!XPrimitive::SetProperty(Properties, PropertyFields, PropertyCount, this, id, value))
        XBaseMesh::SetPropertyValue(id, value);
}

bool XBSSurface::Editable()
{
    return true;
}

void XBSSurface::Edit(XScene* scene, XMeshNode* node)
{
    XSceneLink* link = XSceneLink::Get();
    XBaseEditor* editor = link->FindEditor(scene, u"XPointListEditor");
    if (editor && !link->IsPointListEditor(editor))
        editor = nullptr;
    if (!editor)
    {
        editor = link->CreatePointListEditor(scene);
        if (!editor)
            return;
        link->AddEditor(scene, editor);
    }
    link->BindPointListEditor(editor, this, node);
    link->PushEditor(scene, editor);
}

XBoundingBox XBSSurface::GetBoundingBox(unsigned)
{
    return ComputeBoundingBox(m_Points.GetData(), m_Points.GetCount());
}

XMesh* XBSSurface::GetMesh(unsigned frame, XViewport* viewport, XMeshNode* node)
{
    if (IsMeshValid(frame))
        return &m_Mesh;
    Build(node);
    MeshValidate(frame, viewport, node, &m_Mesh);
    return &m_Mesh;
}

void XBSSurface::Build(XMeshNode* node)
{
    const unsigned U = m_USteps, Vs = m_VSteps;
    const unsigned countU = m_WidthSegs + 1, countV = m_HeightSegs + 1;
    const uint32_t V = (U + 1) * (Vs + 1);
    m_Mesh.Clear();
    m_Mesh.SetVertexCount(V);
    m_Mesh.SetTextureVertexCount(V);
    m_Mesh.SetFaceCount(2 * U * Vs);
    // The points always cover the grid (the segment setters lay them out, loading never shrinks
    // them); a patch without them is left flat at the origin rather than read past the array.
    if (m_Points.GetCount() >= countU * countV)
        EvaluatePatch(m_Points.GetData(), countU, countV, U + 1, Vs + 1, m_Mesh.GetVertices());
    XPrimitive::GridFaces(m_Mesh.GetFaces(), 0, U + 1, Vs, U, false);
    if (m_Mesh.GetNormalsEnabled())
    {
        m_Mesh.SetNormalCount(V);
        m_Mesh.ComputeNormals(false, false);
    }
    XTextureVertex* t = m_Mesh.GetTextureVertices();
    for (unsigned r = 0; r <= Vs; ++r)
        for (unsigned c = 0; c <= U; ++c)
            t[r * (U + 1) + c] = XTextureVertex(Ratio(c, U), Ratio(r, Vs));
    XPrimitive::FillColors(m_Mesh, node);
    m_Mesh.Invalidate();
}

bool XBSSurface::AllowMouseCreate()
{
    return true;
}

void XBSSurface::MouseCreateStart()
{
    s_Create.presses = 0;
    SetWH(0.001f, 0.001f);
}

bool XBSSurface::MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event, const XPoint& point,
                                 XShiftState)
{
    return XPrimitive::DragSurface(*this, s_Create, viewport, node, event, point);
}

void XBSSurface::MouseCreateFinish() {}

unsigned XBSSurface::GetPointCount() const
{
    return m_Points.GetCount();
}

void XBSSurface::SetPointCount(unsigned) {}

XVertex XBSSurface::GetPoint(unsigned index) const
{
    return m_Points[index];
}

void XBSSurface::SetPoint(unsigned index, const XVertex& point)
{
    m_Points[index] = point;
    MeshInvalidate();
}

void XBSSurface::GetPoints(XArray<XVertex, 32>& out) const
{
    out = m_Points;
}

void XBSSurface::SetPoints(const XArray<XVertex, 32>& points)
{
    const uint32_t n = points.GetCount() < m_Points.GetCount() ? points.GetCount() : m_Points.GetCount();
    for (uint32_t i = 0; i < n; ++i)
        m_Points[i] = points[i];
    MeshInvalidate();
}

const XVertex* XBSSurface::GetPointsPtr() const
{
    return m_Points.GetData();
}

void XBSSurface::SetWH(float width, float height)
{
    const long double w = std::fabs(width), h = std::fabs(height);
    const unsigned W = m_WidthSegs, H = m_HeightSegs;
    m_Points.SetCount((W + 1) * (H + 1));
    for (unsigned r = 0; r <= H; ++r)
        for (unsigned c = 0; c <= W; ++c)
            m_Points[r * (W + 1) + c] =
                XVertex(static_cast<float>(c * w / W - w / 2), static_cast<float>(h / 2 - r * h / H), 0);
    MeshInvalidate();
}

void XBSSurface::SetWidth(float width)
{
    if (Store(m_Width, width))
        SetWH(m_Width, m_Height);
}

void XBSSurface::SetHeight(float height)
{
    if (Store(m_Height, height))
        SetWH(m_Width, m_Height);
}

void XBSSurface::SetWidthSegs(unsigned segs)
{
    if (Store(m_WidthSegs, ClampCount(segs, 3, MaxCount)))
        SetWH(m_Width, m_Height);
}

void XBSSurface::SetHeightSegs(unsigned segs)
{
    if (Store(m_HeightSegs, ClampCount(segs, 3, MaxCount)))
        SetWH(m_Width, m_Height);
}

void XBSSurface::SetUSteps(unsigned steps)
{
    if (Store(m_USteps, ClampCount(steps, m_WidthSegs, MaxCount)))
        MeshInvalidate();
}

void XBSSurface::SetVSteps(unsigned steps)
{
    if (Store(m_VSteps, ClampCount(steps, m_HeightSegs, MaxCount)))
        MeshInvalidate();
}

XBaseObject* XBSSurfaceDesc::Create() const
{
    return new XBSSurface;
}

XString XBSSurfaceDesc::GetClassNameW() const
{
    return u"XBSSurface";
}

uint32_t XBSSurfaceDesc::GetCategory() const
{
    return XCAT_MESH;
}
