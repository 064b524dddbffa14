// The render caches of XMesh and its drawing: the object, the selection overlays, the vertices as
// points and the normals as lines, all drawn from system memory; rectangle selection of vertices
// and splitting a face at a picked point.
#include "Engine/Geometry/XMesh.h"

#include "Components/XMatrix.h"
#include "Engine/Scene/XBaseMaterial.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XSceneLink.h"
#include "Engine/Views/XViewport.h"
#include "Platform/D3D9/D3D9.h"

#include <cstring>

namespace
{
constexpr uint32_t PointSelected = 0x00FF0000;
constexpr uint32_t PointPlain = 0x000000FF;
constexpr uint32_t FaceSelected = 0x00AA0000;
constexpr uint32_t FacePlain = 0x000000AA;
// How far selected faces stand out of the object, so that the overlay wins the depth test.
constexpr float OverlayLift = 0.001f;

// Diffuse (0, 1, 1, 1), everything else 0, power 1: the wire and point material, and the plain
// material before the node's colour goes in.
D3DMATERIAL9 CyanMaterial()
{
    D3DMATERIAL9 m;
    std::memset(&m, 0, sizeof(m));
    m.Diffuse = {0.0f, 1.0f, 1.0f, 1.0f};
    m.Power = 1.0f;
    return m;
}

const D3DMATERIAL9 WireMaterial = CyanMaterial();
const D3DMATERIAL9 PointMaterial = CyanMaterial();

struct PositionColor
{
    XVertex position;
    uint32_t color;
};
struct PositionNormalColor
{
    XVertex position;
    XVertex normal;
    uint32_t color;
};
static_assert(sizeof(PositionColor) == 16 && sizeof(PositionNormalColor) == 28);

template <class T> void Put(uint8_t*& at, const T& value)
{
    std::memcpy(at, &value, sizeof(T));
    at += sizeof(T);
}

XMatrix MeshMatrix(XMeshNode* node, unsigned frame)
{
    XMatrix world(1.0f);
    if (node)
        node->GetMeshMatrix(frame, world);
    return world;
}

IDirect3DDevice9* DeviceOf(XViewport* viewport)
{
    return viewport ? viewport->GetDevice() : nullptr;
}

// World transform, stream stride and vertex format of a drawing.
void Prepare(IDirect3DDevice9* device, const XMatrix& world, uint32_t stride, uint32_t fvf)
{
    device->SetTransform(D3DTS_WORLD, reinterpret_cast<const D3DMATRIX*>(&world));
    device->SetStreamSource(0, nullptr, 0, stride);
    device->SetFVF(fvf);
}

// Switches lighting off for a drawing that carries its own colours; the result says whether to
// switch it back on.
bool LightingOff(IDirect3DDevice9* device)
{
    DWORD lighting = FALSE;
    device->GetRenderState(D3DRS_LIGHTING, &lighting);
    if (lighting)
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
    return lighting != 0;
}
} // namespace

// ---- caches -------------------------------------------------------------------------------------

void XMesh::InvalidateRenderStream()
{
    m_RenderStream.Invalidate();
}

void XMesh::InvalidateFaceOverlay()
{
    m_FaceOverlayCache.Invalidate();
}

void XMesh::InvalidatePointCache()
{
    m_PointCache.Invalidate();
}

void XMesh::BuildRenderStream()
{
    m_RenderStream.Reset();
    const uint32_t faceCount = GetFaceCount();
    if (faceCount == 0)
        return;
    const uint32_t n = GetVertexCount();
    const bool weights = m_WeightsEnabled;
    const bool normals = m_NormalsEnabled && GetNormalCount() == n;
    const bool colors = m_ColorsEnabled;
    const bool colorData = colors && GetColorCount() == n;
    const bool texData = GetTextureVertexCount() == n;

    uint32_t fvf = weights ? (D3DFVF_XYZB4 | D3DFVF_LASTBETA_UBYTE4) : D3DFVF_XYZ;
    uint32_t stride = weights ? 28 : 12;
    if (normals)
    {
        fvf |= D3DFVF_NORMAL;
        stride += 12;
    }
    if (colors)
    {
        fvf |= D3DFVF_DIFFUSE;
        stride += 4;
    }
    fvf |= D3DFVF_TEX1;
    stride += 8;

    const uint64_t records = 3ull * faceCount;
    if (records > UINT32_MAX)
        return;
    // One spare record past the drawn ones, as the buffer has always had.
    uint8_t* data =
        m_RenderStream.Allocate(fvf, static_cast<uint32_t>(records), stride, (records + 1) * stride);
    if (!data)
        return;

    const XFace* faces = m_Faces.GetData();
    const XVertex* positions = m_Positions.GetData();
    const XVertexWeight defaultWeight;
    for (uint32_t f = 0; f < faceCount; ++f)
    {
        uint8_t* at = data + static_cast<size_t>(3) * f * stride;
        // A face past the vertices stays three zero records: a triangle of no area.
        if (!FaceInRange(faces[f], n))
            continue;
        for (int c = 0; c < 3; ++c)
        {
            const uint32_t v = faces[f].v[c];
            Put(at, positions[v]);
            if (weights)
                // A weight array shorter than the vertices reads the default record.
                Put(at, v < GetWeightCount() ? m_Weights.GetData()[v] : defaultWeight);
            if (normals)
                Put(at, m_Normals.GetData()[v]);
            if (colors)
            {
                if (colorData)
                    Put(at, m_Colors.GetData()[v].GetARGB());
                else
                    at += 4;
            }
            if (texData)
                Put(at, m_TextureVertices.GetData()[v]);
            else
                at += 8;
        }
    }
    m_RenderStream.Validate();
}

void XMesh::BuildFaceOverlay()
{
    m_FaceOverlayCache.Reset();
    const uint32_t faceCount = GetFaceCount();
    if (faceCount == 0)
        return;
    const uint32_t n = GetVertexCount();
    const bool normals = m_NormalsEnabled && GetNormalCount() == n;
    const uint32_t fvf =
        normals ? (D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE) : (D3DFVF_XYZ | D3DFVF_DIFFUSE);
    const uint32_t stride = normals ? sizeof(PositionNormalColor) : sizeof(PositionColor);
    const uint64_t records = 3ull * faceCount;
    if (records > UINT32_MAX)
        return;
    uint8_t* data =
        m_FaceOverlayCache.Allocate(fvf, static_cast<uint32_t>(records), stride, records * stride);
    if (!data)
        return;

    const XFace* faces = m_Faces.GetData();
    const XVertex* positions = m_Positions.GetData();
    for (uint32_t f = 0; f < faceCount; ++f)
    {
        uint8_t* at = data + static_cast<size_t>(3) * f * stride;
        if (!FaceInRange(faces[f], n))
            continue;
        const bool selected = m_FaceSelection.Get(f);
        const uint32_t color = selected ? FaceSelected : FacePlain;
        for (int c = 0; c < 3; ++c)
        {
            const uint32_t v = faces[f].v[c];
            if (!normals)
            {
                Put(at, PositionColor{positions[v], color});
                continue;
            }
            const XVertex& normal = m_Normals.GetData()[v];
            const XVertex p = selected ? positions[v] + normal * OverlayLift : positions[v];
            Put(at, PositionNormalColor{p, normal, color});
        }
    }
    m_FaceOverlayCache.Validate();
}

void XMesh::BuildPointCache()
{
    m_PointCache.Reset();
    const uint32_t n = GetVertexCount();
    if (n == 0)
        return;
    uint8_t* data = m_PointCache.Allocate(D3DFVF_XYZ | D3DFVF_DIFFUSE, n, sizeof(PositionColor),
                                          uint64_t{n} * sizeof(PositionColor));
    if (!data)
        return;
    const XVertex* positions = m_Positions.GetData();
    for (uint32_t i = 0; i < n; ++i)
        Put(data, PositionColor{positions[i], m_VertexSelection.Get(i) ? PointSelected : PointPlain});
    m_PointCache.Validate();
}

void XMesh::BuildCaches()
{
    if (m_SelectionLevel == ObjectLevel)
    {
        BuildRenderStream();
        return;
    }
    if (m_SelectionLevel == VertexLevel || m_SelectionLevel == FaceLevel)
    {
        BuildPointCache();
        BuildFaceOverlay();
    }
}

// ---- drawing ------------------------------------------------------------------------------------

void XMesh::Draw(unsigned frame, XViewport* viewport, XMeshNode* node, unsigned flags)
{
    IDirect3DDevice9* device = DeviceOf(viewport);
    if (!device)
        return;
    const uint32_t materialIndex = node ? node->GetMaterial() : XFace::NoMaterial;
    const XColor color = node ? node->GetColor() : XColor(0xFFFFFFFFu);
    XScene* scene = node ? node->GetScene() : nullptr;
    const XMatrix world = MeshMatrix(node, frame);

    if (!(m_Flags & GroupsValid))
        BuildFaceGroups();
    if (!m_RenderStream.IsValid())
        BuildRenderStream();

    const XGeometryCache& stream = m_RenderStream;
    const uint32_t stride = stream.GetStride();
    const uint8_t* records = stream.GetData();
    if (stream.GetCount() > 0)
    {
        Prepare(device, world, stride, stream.GetFVF());
        if (flags & 2)
        {
            XSceneLink* link = XSceneLink::Get();
            // The scene's material at an index, or none (the node's colour is drawn instead).
            auto materialAt = [&](uint32_t index) -> XBaseMaterial*
            {
                if (!scene || index >= link->GetMaterialCount(scene))
                    return nullptr;
                return link->GetMaterial(scene, index);
            };
            const bool colours = (stream.GetFVF() & D3DFVF_DIFFUSE) != 0;
            auto drawRun = [&](XBaseMaterial* material, uint32_t first, uint32_t faces)
            {
                device->SetRenderState(D3DRS_COLORVERTEX, colours ? TRUE : FALSE);
                // An icon drawn before may have left the lit diffuse on the material.
                if (colours)
                    device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
                device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
                const uint8_t* start = records + static_cast<size_t>(3) * first * stride;
                if (material)
                {
                    const unsigned sceneFrame = link->GetFrame(scene);
                    material->BeforeRender(sceneFrame, viewport);
                    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, faces, start, stride);
                    material->AfterRender(sceneFrame, viewport);
                    return;
                }
                D3DMATERIAL9 plain = CyanMaterial();
                plain.Diffuse = color.ToColorValue();
                device->SetMaterial(&plain);
                device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, faces, start, stride);
            };

            const uint32_t faceCount = stream.GetCount() / 3;
            if (!m_UseFaceSubsets || !scene)
                drawRun(materialAt(materialIndex), 0, faceCount);
            else
            {
                uint32_t first = 0;
                for (uint32_t g = 0; g < m_FaceGroups.GetCount() && first < faceCount; ++g)
                {
                    // A table that no longer matches the faces is cut at the last face.
                    uint32_t run = m_FaceGroups.GetData()[g];
                    if (run > faceCount - first)
                        run = faceCount - first;
                    if (run > 0)
                        drawRun(materialAt(m_Faces.GetData()[first].material), first, run);
                    first += run;
                }
            }
        }
        if (flags & 1)
        {
            device->SetMaterial(&WireMaterial);
            device->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
            device->SetRenderState(D3DRS_COLORVERTEX, FALSE);
            device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, stream.GetCount() / 3, records, stride);
        }
    }
    if ((flags & 4) && GetVertexCount() > 0)
    {
        Prepare(device, world, sizeof(XVertex), D3DFVF_XYZ);
        device->SetRenderState(D3DRS_POINTSIZE, FloatToDWord(viewport->GetPointSize()));
        device->SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
        device->SetRenderState(D3DRS_FILLMODE, D3DFILL_POINT);
        device->SetRenderState(D3DRS_COLORVERTEX, FALSE);
        device->SetMaterial(&PointMaterial);
        device->DrawPrimitiveUP(D3DPT_POINTLIST, GetVertexCount(), m_Positions.GetData(), sizeof(XVertex));
    }
}

void XMesh::DrawFaceOverlay(unsigned frame, XViewport* viewport, XMeshNode* node, unsigned flags)
{
    IDirect3DDevice9* device = DeviceOf(viewport);
    if (!device || !(flags & 3))
        return;
    if (!m_FaceOverlayCache.IsValid())
        BuildFaceOverlay();
    const XGeometryCache& cache = m_FaceOverlayCache;
    if (cache.GetCount() == 0)
        return;
    const uint32_t stride = cache.GetStride();
    Prepare(device, MeshMatrix(node, frame), stride, cache.GetFVF());
    const uint32_t triangles = cache.GetCount() / 3;
    // The selection colours are lit as the vertices' own, whatever the last draw took.
    device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    if (flags & 2)
    {
        device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
        device->SetRenderState(D3DRS_COLORVERTEX, TRUE);
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, triangles, cache.GetData(), stride);
        device->SetMaterial(&WireMaterial);
        device->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
        device->SetRenderState(D3DRS_COLORVERTEX, FALSE);
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, triangles, cache.GetData(), stride);
        return;
    }
    device->SetRenderState(D3DRS_COLORVERTEX, TRUE);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, triangles, cache.GetData(), stride);
}

void XMesh::DrawPoints(unsigned frame, XViewport* viewport, XMeshNode* node, unsigned)
{
    IDirect3DDevice9* device = DeviceOf(viewport);
    if (!device)
        return;
    if (!m_PointCache.IsValid())
        BuildPointCache();
    const XGeometryCache& cache = m_PointCache;
    if (cache.GetCount() == 0)
        return;
    Prepare(device, MeshMatrix(node, frame), cache.GetStride(), cache.GetFVF());
    device->SetRenderState(D3DRS_COLORVERTEX, TRUE);
    device->SetRenderState(D3DRS_POINTSIZE, FloatToDWord(viewport->GetPointSize()));
    device->SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_POINT);
    const bool lighting = LightingOff(device);
    device->DrawPrimitiveUP(D3DPT_POINTLIST, cache.GetCount(), cache.GetData(), cache.GetStride());
    if (lighting)
        device->SetRenderState(D3DRS_LIGHTING, TRUE);
}

void XMesh::DrawNormals(unsigned frame, XViewport* viewport, XMeshNode* node, unsigned)
{
    IDirect3DDevice9* device = DeviceOf(viewport);
    const uint32_t n = GetVertexCount();
    if (!device || !m_NormalsEnabled || GetNormalCount() != n || n == 0)
        return;
    XArray<XVertex, 32> lines;
    lines.SetCount(2 * n);
    XVertex* at = lines.GetData();
    for (uint32_t i = 0; i < n; ++i)
    {
        at[2 * i] = m_Positions.GetData()[i];
        at[2 * i + 1] = m_Positions.GetData()[i] + m_Normals.GetData()[i];
    }
    Prepare(device, MeshMatrix(node, frame), sizeof(XVertex), D3DFVF_XYZ);
    device->SetRenderState(D3DRS_COLORVERTEX, FALSE);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    const bool lighting = LightingOff(device);
    device->SetMaterial(&WireMaterial);
    device->DrawPrimitiveUP(D3DPT_LINELIST, n, at, sizeof(XVertex));
    if (lighting)
        device->SetRenderState(D3DRS_LIGHTING, TRUE);
}

void XMesh::Render(unsigned frame, XViewport* viewport, XMeshNode* node, unsigned flags)
{
    if (m_SelectionLevel == ObjectLevel)
    {
        Draw(frame, viewport, node, flags);
        return;
    }
    if (m_SelectionLevel != VertexLevel && m_SelectionLevel != FaceLevel)
        return;
    Draw(frame, viewport, node, 2);
    DrawFaceOverlay(frame, viewport, node, m_NormalsEnabled ? 1 : 2);
    DrawPoints(frame, viewport, node, 2);
}

// ---- picking ------------------------------------------------------------------------------------

void XMesh::SelectInRect(unsigned frame, XViewport* viewport, XMeshNode* node, const XRect& rect,
                         XArray<unsigned int, 32>& result, bool exact)
{
    if (!viewport)
        return;
    const XMatrix m =
        MeshMatrix(node, frame) * viewport->GetViewMatrix(frame) * viewport->GetProjectionMatrix(frame);
    const float widen = exact ? 0.0f : 2.0f;
    const XPoint topLeft = ScreenToNormalized(viewport, XPoint(rect.left - widen, rect.top - widen));
    const XPoint bottomRight = ScreenToNormalized(viewport, XPoint(rect.right + widen, rect.bottom + widen));
    const XVertex* positions = m_Positions.GetData();
    for (uint32_t i = 0; i < GetVertexCount(); ++i)
    {
        XPoint q;
        if (ProjectDrawn(m, positions[i], q) && topLeft.x <= q.x && q.x <= bottomRight.x &&
            bottomRight.y <= q.y && q.y <= topLeft.y)
            result.Add(i);
    }
}

void XMesh::SplitFaceAtPoint(unsigned frame, XViewport* viewport, XMeshNode* node, const XPoint& point)
{
    if (!viewport)
        return;
    XVertex origin, direction;
    viewport->GetPickRay(frame, point, origin, direction, MeshMatrix(node, frame));
    const uint32_t n = GetVertexCount();
    uint32_t hit = 0;
    uint32_t hits = 0;
    float u = 0, v = 0;
    for (uint32_t f = 0; f < GetFaceCount() && hits < 2; ++f)
    {
        const XFace& face = m_Faces.GetData()[f];
        if (!FaceInRange(face, n))
            continue;
        const XVertex* p = m_Positions.GetData();
        float ft, fu, fv;
        if (IntersectTriangle(origin, direction, p[face.v[0]], p[face.v[1]], p[face.v[2]], ft, fu, fv))
        {
            hit = f;
            u = fu;
            v = fv;
            ++hits;
        }
    }
    if (hits != 1)
        return;

    AlignVertexChannels();
    const XFace face = m_Faces.GetData()[hit];
    const uint32_t a = face.v[0], b = face.v[1], c = face.v[2];
    auto mix = [&](const auto& pa, const auto& pb, const auto& pc)
    { return pa + (pb - pa) * u + (pc - pa) * v; };

    m_Positions.SetCount(n + 1);
    XVertex* p = m_Positions.GetData();
    p[n] = mix(p[a], p[b], p[c]);
    m_TextureVertices.SetCount(n + 1);
    XTextureVertex* uv = m_TextureVertices.GetData();
    uv[n] = mix(uv[a], uv[b], uv[c]);
    if (m_NormalsEnabled)
    {
        m_Normals.SetCount(n + 1);
        XVertex* normals = m_Normals.GetData();
        normals[n] = Normalize(mix(normals[a], normals[b], normals[c]));
    }
    if (m_ColorsEnabled)
    {
        m_Colors.SetCount(n + 1);
        XColor* colors = m_Colors.GetData();
        uint32_t mean = 0;
        for (int shift = 0; shift < 32; shift += 8)
        {
            const uint32_t sum = (colors[a].GetARGB() >> shift & 0xFF) +
                                 (colors[b].GetARGB() >> shift & 0xFF) +
                                 (colors[c].GetARGB() >> shift & 0xFF);
            mean |= (sum / 3) << shift;
        }
        colors[n] = XColor(mean);
    }
    if (m_WeightsEnabled)
    {
        m_Weights.SetCount(n + 1);
        m_Weights.GetData()[n] = m_Weights.GetData()[a];
    }

    const uint32_t faceCount = GetFaceCount();
    m_Faces.SetCount(faceCount + 2);
    XFace* faces = m_Faces.GetData();
    faces[hit] = XFace(a, b, n, face.material);
    faces[faceCount] = XFace(b, c, n, face.material);
    faces[faceCount + 1] = XFace(c, a, n, face.material);

    m_VertexSelection.SetCount(n + 1);
    m_VertexSelection.SetRange(0, n + 1, false);
    m_FaceSelection.SetCount(faceCount + 2);
    m_FaceSelection.SetRange(0, faceCount + 2, false);
    Invalidate();
}
