// The editing operations of XMesh: picking faces, transforms, merging and welding, selection
// growth and conversion, normals, face winding, tessellation and extrusion.
#include "Engine/Geometry/XMesh.h"

#include "Components/XMatrix.h"
#include "Engine/Geometry/XBaseMesh.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Views/XViewport.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <unordered_map>
#include <utility>
#include <vector>

namespace
{
constexpr uint32_t Removed = 0xFFFFFFFF;

// Sets the count; elements beyond the old count are value-initialised.
template <class T, unsigned N> void Resize(XArray<T, N>& array, uint32_t n)
{
    const uint32_t old = array.GetCount();
    array.SetCount(n);
    for (uint32_t i = old; i < n; ++i)
        array.GetData()[i] = T();
}

// Moves every kept element i (keep[i] != Removed, keep[i] <= i) down to keep[i], then sets the
// count.
template <class T, unsigned N>
void Compact(XArray<T, N>& array, const std::vector<uint32_t>& keep, uint32_t newCount)
{
    const uint32_t limit = std::min(array.GetCount(), static_cast<uint32_t>(keep.size()));
    T* data = array.GetData();
    for (uint32_t i = 0; i < limit; ++i)
        if (keep[i] != Removed)
            data[keep[i]] = data[i];
    Resize(array, newCount);
}

// Grows the array to n + sources.size() with copy k of element sources[k] at n + k.
template <class T, unsigned N>
void AppendCopies(XArray<T, N>& array, uint32_t n, const std::vector<uint32_t>& sources)
{
    Resize(array, n + static_cast<uint32_t>(sources.size()));
    T* data = array.GetData();
    for (size_t k = 0; k < sources.size(); ++k)
        data[n + k] = data[sources[k]];
}

XVertex FaceNormal(const XVertex* p, const XFace& face)
{
    return CrossProduct(p[face.v[1]] - p[face.v[0]], p[face.v[2]] - p[face.v[0]]);
}

// Appends the hits in one step: the caller's list grows to exactly its new count on every Add.
void AppendHits(XArray<unsigned int, 32>& result, const std::vector<uint32_t>& hits)
{
    if (hits.empty())
        return;
    const uint32_t first = result.GetCount();
    result.SetCount(first + static_cast<uint32_t>(hits.size()));
    std::copy(hits.begin(), hits.end(), result.GetData() + first);
}

// Mean of three colours, channel by channel, truncated.
XColor MeanColor(XColor a, XColor b, XColor c)
{
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8)
    {
        const uint32_t sum =
            (a.GetARGB() >> shift & 0xFF) + (b.GetARGB() >> shift & 0xFF) + (c.GetARGB() >> shift & 0xFF);
        result |= (sum / 3) << shift;
    }
    return XColor(result);
}
} // namespace

void XMesh::FitSelections()
{
    m_VertexSelection.SetCount(GetVertexCount());
    m_FaceSelection.SetCount(GetFaceCount());
}

void XMesh::AlignVertexChannels()
{
    const uint32_t n = GetVertexCount();
    Resize(m_TextureVertices, n);
    if (m_NormalsEnabled)
        Resize(m_Normals, n);
    if (m_ColorsEnabled)
        Resize(m_Colors, n);
    if (m_WeightsEnabled)
        Resize(m_Weights, n);
}

XPoint XMesh::ScreenToNormalized(XViewport* viewport, const XPoint& point)
{
    // An empty client area counts as one pixel, so that the result stays finite.
    const float width = static_cast<float>(std::max(viewport->GetClientWidth(), 1));
    const float height = static_cast<float>(std::max(viewport->GetClientHeight(), 1));
    return XPoint(2 * point.x / width - 1, -(2 * point.y / height - 1));
}

bool XMesh::ProjectDrawn(const XMatrix& m, const XVertex& q, XPoint& out)
{
    const float z = q.x * m.m[0][2] + q.y * m.m[1][2] + q.z * m.m[2][2] + m.m[3][2];
    const float w = q.x * m.m[0][3] + q.y * m.m[1][3] + q.z * m.m[2][3] + m.m[3][3];
    // Behind a perspective eye the divide would mirror the point onto the screen; before the near
    // or past the far plane the device clips it.
    if (!(w > 0) || z < 0 || z > w)
        return false;
    out = XPoint((q.x * m.m[0][0] + q.y * m.m[1][0] + q.z * m.m[2][0] + m.m[3][0]) / w,
                 (q.x * m.m[0][1] + q.y * m.m[1][1] + q.z * m.m[2][1] + m.m[3][1]) / w);
    return true;
}

void XMesh::PickFaces(unsigned frame, XViewport* viewport, XMeshNode* node, const XRect& rect,
                      XArray<unsigned int, 32>& result, bool rectMode)
{
    if (!viewport)
        return;
    XMatrix world(1.0f);
    if (node)
        node->GetMeshMatrix(frame, world);
    const uint32_t n = GetVertexCount();
    const XFace* faces = m_Faces.GetData();
    std::vector<uint32_t> hits;

    if (!rectMode)
    {
        const XPickRay ray(frame, viewport, XPoint(rect.left, rect.top), world);
        const XVertex* p = m_Positions.GetData();
        for (uint32_t f = 0; f < GetFaceCount(); ++f)
        {
            const XFace& face = faces[f];
            float distance = FLT_MAX;
            if (FaceInRange(face, n))
                ray.Hit(p[face.v[0]], p[face.v[1]], p[face.v[2]], distance);
            if (distance < FLT_MAX)
                hits.push_back(f);
        }
        AppendHits(result, hits);
        return;
    }

    const XMatrix m = world * viewport->GetViewMatrix(frame) * viewport->GetProjectionMatrix(frame);
    // Corners in normalised device coordinates; one the view does not draw is never inside.
    std::vector<XPoint> projected(GetVertexCount());
    std::vector<bool> visible(GetVertexCount());
    for (uint32_t i = 0; i < GetVertexCount(); ++i)
        visible[i] = ProjectDrawn(m, m_Positions.GetData()[i], projected[i]);
    const XPoint topLeft = ScreenToNormalized(viewport, XPoint(rect.left, rect.top));
    const XPoint bottomRight = ScreenToNormalized(viewport, XPoint(rect.right, rect.bottom));
    const XPoint* p = projected.data();
    auto inside = [&](uint32_t v)
    {
        return visible[v] && topLeft.x <= p[v].x && p[v].x <= bottomRight.x && bottomRight.y <= p[v].y &&
               p[v].y <= topLeft.y;
    };
    for (uint32_t f = 0; f < GetFaceCount(); ++f)
    {
        const XFace& face = faces[f];
        if (FaceInRange(face, n) && inside(face.v[0]) && inside(face.v[1]) && inside(face.v[2]))
            hits.push_back(f);
    }
    AppendHits(result, hits);
}

void XMesh::TransformSelection(unsigned frame, XMeshNode* node, const XMatrix& pivot,
                               const XMatrix& transform)
{
    FitSelections();
    XMatrix world(1.0f);
    if (node)
        node->GetMeshMatrix(frame, world);
    XMatrix worldInverse, pivotInverse;
    world.Inverse(worldInverse);
    pivot.Inverse(pivotInverse);
    // Into world space, into the pivot's frame, the transform there, and back.
    const XMatrix m = world * pivotInverse * transform * pivot * worldInverse;
    // A singular node or pivot would turn the positions into NaN; they stay instead.
    if (m.IsFinite())
    {
        if (m_SelectionLevel == VertexLevel)
            m.ApplyTo(m_Positions, m_VertexSelection, true);
        else if (m_SelectionLevel == FaceLevel)
        {
            const uint32_t n = GetVertexCount();
            XBitArray corners;
            corners.SetCount(n);
            for (uint32_t f = 0; f < GetFaceCount(); ++f)
            {
                const XFace& face = m_Faces.GetData()[f];
                if (m_FaceSelection.Get(f) && FaceInRange(face, n))
                    for (uint32_t v : face.v)
                        corners.SetBit(v, true);
            }
            m.ApplyTo(m_Positions, corners, true);
        }
    }
    Invalidate();
}

void XMesh::Transform(const XMatrix& matrix)
{
    matrix.ApplyTo(m_Positions);
    if (m_NormalsEnabled)
    {
        XMatrix rotation = matrix;
        rotation.m[3][0] = rotation.m[3][1] = rotation.m[3][2] = 0;
        rotation.ApplyTo(m_Normals);
        for (uint32_t i = 0; i < GetNormalCount(); ++i)
            m_Normals.GetData()[i].Normalize();
    }
    Invalidate();
}

void XMesh::CollapseSelectedVertices()
{
    FitSelections();
    const uint32_t n = GetVertexCount();
    const uint32_t k = m_VertexSelection.Count(true);
    if (k < 2)
        return;
    AlignVertexChannels();

    const uint32_t merged = n - k;
    std::vector<uint32_t> keep(n);
    std::vector<uint32_t> faceMap(n);
    long double position[3] = {0, 0, 0};
    long double texture[2] = {0, 0};
    long double normal[3] = {0, 0, 0};
    uint32_t last = 0;
    uint32_t next = 0;
    for (uint32_t i = 0; i < n; ++i)
    {
        if (!m_VertexSelection.Get(i))
        {
            keep[i] = faceMap[i] = next++;
            continue;
        }
        keep[i] = Removed;
        faceMap[i] = merged;
        last = i;
        const XVertex& p = m_Positions.GetData()[i];
        position[0] += p.x;
        position[1] += p.y;
        position[2] += p.z;
        const XTextureVertex& t = m_TextureVertices.GetData()[i];
        texture[0] += t.u;
        texture[1] += t.v;
        if (m_NormalsEnabled)
        {
            const XVertex& nv = m_Normals.GetData()[i];
            normal[0] += nv.x;
            normal[1] += nv.y;
            normal[2] += nv.z;
        }
    }
    const XColor color = m_ColorsEnabled ? m_Colors.GetData()[last] : XColor(0u);
    const XVertexWeight weight = m_WeightsEnabled ? m_Weights.GetData()[last] : XVertexWeight();

    const uint32_t count = merged + 1;
    Compact(m_Positions, keep, count);
    m_Positions.GetData()[merged] =
        XVertex(static_cast<float>(position[0] / k), static_cast<float>(position[1] / k),
                static_cast<float>(position[2] / k));
    Compact(m_TextureVertices, keep, count);
    m_TextureVertices.GetData()[merged] =
        XTextureVertex(static_cast<float>(texture[0] / k), static_cast<float>(texture[1] / k));
    if (m_NormalsEnabled)
    {
        Compact(m_Normals, keep, count);
        m_Normals.GetData()[merged] = Normalize(XVertex(
            static_cast<float>(normal[0]), static_cast<float>(normal[1]), static_cast<float>(normal[2])));
    }
    if (m_ColorsEnabled)
    {
        Compact(m_Colors, keep, count);
        m_Colors.GetData()[merged] = color;
    }
    if (m_WeightsEnabled)
    {
        Compact(m_Weights, keep, count);
        m_Weights.GetData()[merged] = weight;
    }

    m_VertexSelection.SetCount(count);
    m_VertexSelection.ClearAll();
    m_VertexSelection.SetBit(merged, true);
    for (uint32_t f = 0; f < GetFaceCount(); ++f)
    {
        XFace& face = m_Faces.GetData()[f];
        if (FaceInRange(face, n))
            for (uint32_t& v : face.v)
                v = faceMap[v];
    }
    Invalidate();
}

void XMesh::WeldVertices(float threshold, bool selectedOnly)
{
    FitSelections();
    AlignVertexChannels();
    const uint32_t n = GetVertexCount();
    XVertex* p = m_Positions.GetData();
    XVertex* normals = m_NormalsEnabled ? m_Normals.GetData() : nullptr;
    auto candidate = [&](uint32_t i) { return !selectedOnly || m_VertexSelection.Get(i); };

    // The candidates sorted along the axis on which they spread most, so that each vertex looks
    // only at those within the threshold along it. The keys are taken before anything moves;
    // not-a-number sorts with +infinity and never comes within reach.
    float low[3] = {HUGE_VALF, HUGE_VALF, HUGE_VALF};
    float high[3] = {-HUGE_VALF, -HUGE_VALF, -HUGE_VALF};
    for (uint32_t i = 0; i < n; ++i)
    {
        if (!candidate(i))
            continue;
        const float c[3] = {p[i].x, p[i].y, p[i].z};
        for (int a = 0; a < 3; ++a)
        {
            low[a] = std::fmin(low[a], c[a]);
            high[a] = std::fmax(high[a], c[a]);
        }
    }
    int axis = 0;
    for (int a = 1; a < 3; ++a)
        if (high[a] - low[a] > high[axis] - low[axis])
            axis = a;
    std::vector<std::pair<double, uint32_t>> sorted;
    for (uint32_t i = 0; i < n; ++i)
    {
        if (!candidate(i))
            continue;
        const float c = axis == 0 ? p[i].x : axis == 1 ? p[i].y : p[i].z;
        sorted.emplace_back(std::isnan(c) ? HUGE_VAL : static_cast<double>(c), i);
    }
    std::sort(sorted.begin(), sorted.end());
    std::vector<double> keyOf(n, HUGE_VAL);
    for (const auto& [key, i] : sorted)
        keyOf[i] = key;

    std::vector<uint32_t> rep(n, Removed);
    std::vector<uint32_t> near;
    bool mergedAny = false;
    // Widened a little so that float rounding of the distance cannot hide a neighbour.
    const double reach = static_cast<double>(threshold) * 1.001;
    for (uint32_t i = 0; i < n; ++i)
    {
        if (!candidate(i) || rep[i] != Removed)
            continue;
        rep[i] = i;
        if (!(threshold > 0) || keyOf[i] == HUGE_VAL)
            continue;
        const auto first = std::lower_bound(sorted.begin(), sorted.end(), keyOf[i] - reach,
                                            [](const auto& e, double value) { return e.first < value; });
        const auto end = std::upper_bound(sorted.begin(), sorted.end(), keyOf[i] + reach,
                                          [](double value, const auto& e) { return value < e.first; });
        near.clear();
        for (auto it = first; it != end; ++it)
            if (it->second > i && (p[it->second] - p[i]).Length() < threshold)
                near.push_back(it->second);
        if (near.empty())
            continue;
        std::sort(near.begin(), near.end());
        for (uint32_t j : near)
        {
            p[i] = (p[i] + p[j]) / 2;
            if (normals)
                normals[i] += normals[j];
            rep[j] = i;
        }
        if (normals)
            normals[i].Normalize();
        mergedAny = true;
    }
    if (!mergedAny)
    {
        Invalidate();
        return;
    }

    std::vector<uint32_t> keep(n, Removed);
    uint32_t count = 0;
    for (uint32_t i = 0; i < n; ++i)
    {
        if (rep[i] == Removed)
            rep[i] = i; // neither a candidate nor claimed
        if (rep[i] == i)
            keep[i] = count++;
    }
    XBitArray selection;
    selection.SetCount(count);
    for (uint32_t i = 0; i < n; ++i)
        if (m_VertexSelection.Get(i))
            selection.SetBit(keep[rep[i]], true);

    Compact(m_Positions, keep, count);
    Compact(m_TextureVertices, keep, count);
    if (m_NormalsEnabled)
        Compact(m_Normals, keep, count);
    if (m_ColorsEnabled)
        Compact(m_Colors, keep, count);
    if (m_WeightsEnabled)
        Compact(m_Weights, keep, count);
    m_VertexSelection = selection;
    for (uint32_t f = 0; f < GetFaceCount(); ++f)
    {
        XFace& face = m_Faces.GetData()[f];
        if (FaceInRange(face, n))
            for (uint32_t& v : face.v)
                v = keep[rep[v]];
    }
    Invalidate();
}

void XMesh::GrowVertexSelection(uint32_t passes)
{
    FitSelections();
    const uint32_t n = GetVertexCount();
    bool added = false;
    for (uint32_t pass = 0; pass < passes; ++pass)
    {
        XBitArray grown(m_VertexSelection);
        bool marked = false;
        for (uint32_t f = 0; f < GetFaceCount(); ++f)
        {
            const XFace& face = m_Faces.GetData()[f];
            if (!FaceInRange(face, n))
                continue;
            if (!m_VertexSelection.Get(face.v[0]) && !m_VertexSelection.Get(face.v[1]) &&
                !m_VertexSelection.Get(face.v[2]))
                continue;
            for (uint32_t v : face.v)
            {
                if (grown.Get(v))
                    continue;
                grown.SetBit(v, true);
                marked = true;
            }
        }
        if (!marked)
            break;
        m_VertexSelection = grown;
        added = true;
    }
    if (added)
        Invalidate();
}

void XMesh::GrowFaceSelection(uint32_t passes)
{
    FitSelections();
    const uint32_t n = GetVertexCount();
    std::vector<bool> flagged(n, false);
    bool added = false;
    for (uint32_t pass = 0; pass < passes; ++pass)
    {
        for (uint32_t f = 0; f < GetFaceCount(); ++f)
        {
            const XFace& face = m_Faces.GetData()[f];
            if (m_FaceSelection.Get(f) && FaceInRange(face, n))
                for (uint32_t v : face.v)
                    flagged[v] = true;
        }
        bool selected = false;
        for (uint32_t f = 0; f < GetFaceCount(); ++f)
        {
            const XFace& face = m_Faces.GetData()[f];
            if (m_FaceSelection.Get(f) || !FaceInRange(face, n))
                continue;
            if (flagged[face.v[0]] || flagged[face.v[1]] || flagged[face.v[2]])
            {
                m_FaceSelection.SetBit(f, true);
                selected = true;
            }
        }
        if (!selected)
            break;
        added = true;
    }
    if (added)
        Invalidate();
}

void XMesh::SelectAllVertices()
{
    FitSelections();
    m_VertexSelection.SetAll();
    Invalidate();
}

void XMesh::SelectAllFaces()
{
    FitSelections();
    m_FaceSelection.SetAll();
    Invalidate();
}

void XMesh::SelectVerticesOfSelectedFaces()
{
    FitSelections();
    const uint32_t n = GetVertexCount();
    m_VertexSelection.ClearAll();
    for (uint32_t f = 0; f < GetFaceCount(); ++f)
    {
        const XFace& face = m_Faces.GetData()[f];
        if (m_FaceSelection.Get(f) && FaceInRange(face, n))
            for (uint32_t v : face.v)
                m_VertexSelection.SetBit(v, true);
    }
    Invalidate();
}

void XMesh::SelectFacesFromVertices(bool any)
{
    FitSelections();
    const uint32_t n = GetVertexCount();
    m_FaceSelection.ClearAll();
    for (uint32_t f = 0; f < GetFaceCount(); ++f)
    {
        const XFace& face = m_Faces.GetData()[f];
        if (!FaceInRange(face, n))
            continue;
        const unsigned corners = unsigned(m_VertexSelection.Get(face.v[0])) +
                                 unsigned(m_VertexSelection.Get(face.v[1])) +
                                 unsigned(m_VertexSelection.Get(face.v[2]));
        m_FaceSelection.SetBit(f, any ? corners > 0 : corners == 3);
    }
    Invalidate();
}

void XMesh::InvertSelection(bool vertices, bool faces)
{
    FitSelections();
    if (vertices)
        m_VertexSelection.Invert();
    if (faces)
        m_FaceSelection.Invert();
    Invalidate();
}

void XMesh::ComputeNormals(bool selectedOnly, bool flat)
{
    FitSelections();
    const uint32_t n = GetVertexCount();
    Resize(m_Normals, n);
    const XVertex* p = m_Positions.GetData();
    XVertex* normals = m_Normals.GetData();
    auto written = [&](uint32_t f)
    { return FaceInRange(m_Faces.GetData()[f], n) && (!selectedOnly || m_FaceSelection.Get(f)); };

    if (flat)
    {
        for (uint32_t f = 0; f < GetFaceCount(); ++f)
        {
            if (!written(f))
                continue;
            const XFace& face = m_Faces.GetData()[f];
            const XVertex unit = Normalize(FaceNormal(p, face));
            for (uint32_t v : face.v)
                normals[v] = unit;
        }
        Invalidate();
        return;
    }

    std::vector<XVertex> sums(n, XVertex(0, 0, 0));
    for (uint32_t f = 0; f < GetFaceCount(); ++f)
    {
        const XFace& face = m_Faces.GetData()[f];
        if (!FaceInRange(face, n))
            continue;
        const XVertex unit = Normalize(FaceNormal(p, face));
        for (uint32_t v : face.v)
            sums[v] += unit;
    }
    for (uint32_t f = 0; f < GetFaceCount(); ++f)
        if (written(f))
            for (uint32_t v : m_Faces.GetData()[f].v)
                normals[v] = Normalize(sums[v]);
    Invalidate();
}

namespace
{
// Calls fn on every normal, or once on each normal of a corner of a selected face.
template <class Fn>
void ForNormals(XArray<XVertex, 32>& normals, const XArray<XFace, 32>& faces, const XBitArray& faceSelection,
                uint32_t vertexCount, bool selectedOnly, Fn fn)
{
    const uint32_t count = normals.GetCount();
    if (!selectedOnly)
    {
        for (uint32_t i = 0; i < count; ++i)
            fn(normals.GetData()[i]);
        return;
    }
    std::vector<bool> mark(std::min(count, vertexCount), false);
    for (uint32_t f = 0; f < faces.GetCount(); ++f)
    {
        const XFace& face = faces.GetData()[f];
        if (!faceSelection.Get(f) || face.v[0] >= vertexCount || face.v[1] >= vertexCount ||
            face.v[2] >= vertexCount)
            continue;
        for (uint32_t v : face.v)
            if (v < mark.size())
                mark[v] = true;
    }
    for (uint32_t i = 0; i < mark.size(); ++i)
        if (mark[i])
            fn(normals.GetData()[i]);
}
} // namespace

void XMesh::FlipNormals(bool selectedOnly)
{
    if (!m_NormalsEnabled)
        return;
    FitSelections();
    ForNormals(m_Normals, m_Faces, m_FaceSelection, GetVertexCount(), selectedOnly,
               [](XVertex& normal) { normal = -normal; });
    Invalidate();
}

void XMesh::NormalizeNormals(bool selectedOnly)
{
    if (!m_NormalsEnabled)
        return;
    FitSelections();
    ForNormals(m_Normals, m_Faces, m_FaceSelection, GetVertexCount(), selectedOnly,
               [](XVertex& normal) { normal.Normalize(); });
    Invalidate();
}

void XMesh::TessellateFaces(bool selectedOnly, bool spherize)
{
    FitSelections();
    const uint32_t n = GetVertexCount();
    const uint32_t faceCount = GetFaceCount();
    std::vector<bool> split(faceCount, false);
    uint32_t m = 0;
    for (uint32_t f = 0; f < faceCount; ++f)
    {
        split[f] = FaceInRange(m_Faces.GetData()[f], n) && (!selectedOnly || m_FaceSelection.Get(f));
        m += split[f];
    }
    if (m == 0)
        return;
    AlignVertexChannels();
    Resize(m_Positions, n + m);
    Resize(m_TextureVertices, n + m);
    if (m_NormalsEnabled)
        Resize(m_Normals, n + m);
    if (m_ColorsEnabled)
        Resize(m_Colors, n + m);
    if (m_WeightsEnabled)
        Resize(m_Weights, n + m);
    XVertex* p = m_Positions.GetData();
    XTextureVertex* uv = m_TextureVertices.GetData();

    XArray<XFace, 32> faces;
    faces.SetCount(faceCount + 2 * m);
    XBitArray selection;
    selection.SetCount(faceCount + 2 * m);
    uint32_t z = n;
    uint32_t out = 0;
    for (uint32_t f = 0; f < faceCount; ++f)
    {
        const XFace face = m_Faces.GetData()[f];
        if (!split[f])
        {
            faces.GetData()[out++] = face;
            continue;
        }
        const uint32_t a = face.v[0], b = face.v[1], c = face.v[2];
        p[z] = (p[a] + p[b] + p[c]) / 3;
        uv[z] = XTextureVertex((uv[a].u + uv[b].u + uv[c].u) / 3, (uv[a].v + uv[b].v + uv[c].v) / 3);
        if (m_NormalsEnabled)
        {
            XVertex* normals = m_Normals.GetData();
            normals[z] = Normalize(normals[a] + normals[b] + normals[c]);
            if (spherize)
            {
                // Stored normals need not be unit length: the cosine is kept where acos is defined.
                const float cosine = std::clamp(DotProduct(normals[z], normals[a]), -1.0f, 1.0f);
                p[z] += normals[z] * (std::sin(std::acos(cosine)) * (p[z] - p[a]).Length() / 2);
            }
        }
        if (m_ColorsEnabled)
        {
            XColor* colors = m_Colors.GetData();
            colors[z] = MeanColor(colors[a], colors[b], colors[c]);
        }
        if (m_WeightsEnabled)
            m_Weights.GetData()[z] = m_Weights.GetData()[a];
        const XFace replacements[3] = {XFace(a, b, z, face.material), XFace(b, c, z, face.material),
                                       XFace(c, a, z, face.material)};
        for (const XFace& r : replacements)
        {
            selection.SetBit(out, true);
            faces.GetData()[out++] = r;
        }
        ++z;
    }
    m_Faces = faces;
    m_FaceSelection = selection;
    m_VertexSelection.SetCount(n + m);
    m_VertexSelection.ClearAll();
    Invalidate();
}

void XMesh::FlipFaces(bool selectedOnly)
{
    if (!m_NormalsEnabled)
        return;
    FitSelections();
    const uint32_t n = GetVertexCount();
    for (uint32_t f = 0; f < GetFaceCount(); ++f)
    {
        XFace& face = m_Faces.GetData()[f];
        if (FaceInRange(face, n) && (!selectedOnly || m_FaceSelection.Get(f)))
            std::swap(face.v[0], face.v[2]);
    }
    Invalidate();
}

void XMesh::MoveSelectedAlongNormal(float distance)
{
    FitSelections();
    if (!m_NormalsEnabled || m_VertexSelection.Count(true) == 0)
        return;
    const uint32_t n = GetVertexCount();
    XVertex sum(0, 0, 0);
    for (uint32_t i = 0; i < std::min(n, GetNormalCount()); ++i)
        if (m_VertexSelection.Get(i))
            sum += m_Normals.GetData()[i];
    const XVertex offset = Normalize(sum) * distance;
    for (uint32_t i = 0; i < n; ++i)
        if (m_VertexSelection.Get(i))
            m_Positions.GetData()[i] += offset;
    Invalidate();
}

void XMesh::ExtrudeFaces(float distance)
{
    FitSelections();
    const uint32_t n = GetVertexCount();
    std::vector<uint32_t> selected;
    for (uint32_t f = 0; f < GetFaceCount(); ++f)
        if (m_FaceSelection.Get(f) && FaceInRange(m_Faces.GetData()[f], n))
            selected.push_back(f);
    if (selected.empty())
        return;

    // Edges of the selected faces in order of first use, each with its direction at that use.
    struct Edge
    {
        uint32_t a, b;
        uint32_t uses;
    };
    std::vector<Edge> edges;
    std::unordered_map<uint64_t, uint32_t> edgeIndex;
    const XVertex* p = m_Positions.GetData();
    XVertex sum(0, 0, 0);
    std::vector<bool> inSelected(n, false);
    for (uint32_t f : selected)
    {
        const XFace& face = m_Faces.GetData()[f];
        sum += FaceNormal(p, face);
        for (int e = 0; e < 3; ++e)
        {
            const uint32_t a = face.v[e], b = face.v[(e + 1) % 3];
            inSelected[a] = true;
            const uint64_t key = uint64_t(std::min(a, b)) << 32 | std::max(a, b);
            auto [it, inserted] = edgeIndex.try_emplace(key, static_cast<uint32_t>(edges.size()));
            if (inserted)
                edges.push_back({a, b, 1});
            else
                ++edges[it->second].uses;
        }
    }
    const XVertex offset = Normalize(sum) * distance;

    std::vector<bool> onBoundary(n, false);
    for (const Edge& edge : edges)
        if (edge.uses == 1)
            onBoundary[edge.a] = onBoundary[edge.b] = true;

    // Boundary vertices stay and get moved copies; inner vertices of the selection move.
    std::vector<uint32_t> moved(n);
    std::vector<uint32_t> sources;
    for (uint32_t v = 0; v < n; ++v)
    {
        moved[v] = v;
        if (onBoundary[v])
        {
            moved[v] = n + static_cast<uint32_t>(sources.size());
            sources.push_back(v);
        }
    }
    AlignVertexChannels();
    AppendCopies(m_Positions, n, sources);
    AppendCopies(m_TextureVertices, n, sources);
    if (m_NormalsEnabled)
        AppendCopies(m_Normals, n, sources);
    if (m_ColorsEnabled)
        AppendCopies(m_Colors, n, sources);
    if (m_WeightsEnabled)
        AppendCopies(m_Weights, n, sources);
    XVertex* positions = m_Positions.GetData();
    for (uint32_t v = 0; v < n; ++v)
        if (inSelected[v] || onBoundary[v])
            positions[moved[v]] += offset;

    for (uint32_t f : selected)
        for (uint32_t& v : m_Faces.GetData()[f].v)
            v = moved[v];
    uint32_t boundaryEdges = 0;
    for (const Edge& edge : edges)
        boundaryEdges += edge.uses == 1;
    m_Faces.SetCapacity(GetFaceCount() + 2 * boundaryEdges);
    for (const Edge& edge : edges)
    {
        if (edge.uses != 1)
            continue;
        m_Faces.Add(XFace(edge.a, edge.b, moved[edge.a]));
        m_Faces.Add(XFace(edge.b, moved[edge.b], moved[edge.a]));
    }
    FitSelections();
    Invalidate();
}
