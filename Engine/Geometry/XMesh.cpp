#include "Engine/Geometry/XMesh.h"

#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XArrayChunks.h"

#include <algorithm>
#include <memory>
#include <numeric>
#include <vector>

namespace
{
enum : uint32_t
{
    PositionsChunk = 0x01200001,
    FacesChunk = 0x01200002,
    NormalsChunk = 0x01200003,
    ColorsChunk = 0x01200004,
    FaceGroupsChunk = 0x01200006,
    TextureVerticesChunk = 0x01200007,
    SortChunk = 0x01200008,
    WeightsChunk = 0x01200009,
    NamedSelectionChunk = 0x0120000B,
};

constexpr uint32_t Removed = 0xFFFFFFFF;

// Sets the count; elements beyond the old count are value-initialised even where the storage
// already held older ones.
template <class T, unsigned N> void Resize(XArray<T, N>& array, uint32_t n)
{
    uint32_t old = array.GetCount();
    array.SetCount(n);
    for (uint32_t i = old; i < n; ++i)
        array.GetData()[i] = T();
}

// As Resize, but storage grows by half again when it must grow, so that a mesh built one vertex
// or face at a time is not copied whole on every addition.
template <class T, unsigned N> void Grow(XArray<T, N>& array, uint32_t n)
{
    uint32_t capacity = array.GetCapacity();
    if (n > capacity)
    {
        uint64_t stepped = uint64_t(capacity) + capacity / 2 + 16;
        array.SetCapacity(stepped > n && stepped <= 0xFFFFFFFFu ? uint32_t(stepped) : n);
    }
    Resize(array, n);
}

template <class T, unsigned N> int AppendArray(XArray<T, N>& array, const XArray<T, N>& other)
{
    uint32_t n = other.GetCount();
    if (n == 0)
        return -1;
    if (&array == &other)
    {
        XArray<T, N> copy(other);
        return AppendArray(array, copy);
    }
    uint32_t first = array.GetCount();
    array.SetCount(first + n);
    std::copy(other.GetData(), other.GetData() + n, array.GetData() + first);
    return static_cast<int>(first);
}

// Moves every kept element i (remap[i] != Removed, remap[i] <= i) to remap[i], looking at no more
// than the array holds, then sets the count.
template <class T, unsigned N>
void Compact(XArray<T, N>& array, const uint32_t* remap, uint32_t n, uint32_t newCount)
{
    uint32_t limit = std::min(n, array.GetCount());
    T* data = array.GetData();
    for (uint32_t i = 0; i < limit; ++i)
        if (remap[i] != Removed)
            data[remap[i]] = data[i];
    Resize(array, newCount);
}

// Element i of the array, or a new element when the array is shorter.
template <class T, unsigned N> T ElementOr(const XArray<T, N>& array, uint32_t i)
{
    return i < array.GetCount() ? array.GetData()[i] : T();
}

// Appends copy k of element sources[k] at base + k for every k (a source the array does not hold
// gives a new element). `base` is the vertex count the copies start at.
template <class T, unsigned N>
void AppendMapped(XArray<T, N>& array, uint32_t base, const std::vector<uint32_t>& sources)
{
    uint32_t oldCount = array.GetCount();
    Resize(array, base + static_cast<uint32_t>(sources.size()));
    T* data = array.GetData();
    for (size_t k = 0; k < sources.size(); ++k)
        data[base + k] = sources[k] < std::min(oldCount, base) ? data[sources[k]] : T();
}

template <class T, unsigned N>
void WriteSelected(XWriter& writer, uint32_t id, const XArray<T, N>& array,
                   const std::vector<uint32_t>& selected)
{
    writer.BeginChunk(id);
    writer.WriteU32(static_cast<uint32_t>(selected.size()));
    for (uint32_t i : selected)
    {
        T value = ElementOr(array, i);
        writer.Write(&value, sizeof(T));
    }
    writer.EndChunk();
}

// Appends the read elements at `base` (the vertex count before the append) and sizes the channel
// to `total`, so that the channel stays aligned with the positions even when it was not before.
template <class T, unsigned N>
void AppendChannel(XArray<T, N>& array, uint32_t base, const XArray<T, N>& read, uint32_t total)
{
    Resize(array, base);
    AppendArray(array, read);
    Resize(array, total);
}
} // namespace

XMesh::XMesh() : m_BoundingBox(0, 0, 0, 0, 0, 0) {}

XMesh::~XMesh()
{
    Clear();
}

XMesh& XMesh::operator=(const XMesh& other)
{
    if (this == &other)
        return *this;
    Clear();
    m_BoundingBox = other.m_BoundingBox;
    m_Flags = static_cast<uint8_t>((m_Flags & ~BoxValid) | (other.m_Flags & BoxValid));
    m_Positions = other.m_Positions;
    m_TextureVertices = other.m_TextureVertices;
    m_Faces = other.m_Faces;
    m_Normals = other.m_Normals;
    m_NormalsEnabled = other.m_NormalsEnabled;
    m_Colors = other.m_Colors;
    m_ColorsEnabled = other.m_ColorsEnabled;
    m_Weights = other.m_Weights;
    m_WeightsEnabled = other.m_WeightsEnabled;
    m_FaceGroups = other.m_FaceGroups;
    m_UseFaceSubsets = other.m_UseFaceSubsets;
    m_SortFacesByMaterial = other.m_SortFacesByMaterial;
    m_SelectionLevel = other.m_SelectionLevel;
    m_VertexSelection = other.m_VertexSelection;
    m_FaceSelection = other.m_FaceSelection;
    Invalidate();
    return *this;
}

void XMesh::SetVertexCount(uint32_t n)
{
    Resize(m_Positions, n);
}

void XMesh::SetTextureVertexCount(uint32_t n)
{
    Resize(m_TextureVertices, n);
}

void XMesh::SetFaceCount(uint32_t n)
{
    Resize(m_Faces, n);
}

void XMesh::SetNormalCount(uint32_t n)
{
    Resize(m_Normals, n);
}

void XMesh::SetColorCount(uint32_t n)
{
    Resize(m_Colors, n);
}

void XMesh::SetWeightCount(uint32_t n)
{
    Resize(m_Weights, n);
}

void XMesh::SetColorsEnabled(bool enabled)
{
    m_ColorsEnabled = enabled;
    if (enabled)
        SetColorCount(GetVertexCount());
}

void XMesh::SetWeightsEnabled(bool enabled)
{
    m_WeightsEnabled = enabled;
    if (enabled)
        SetWeightCount(GetVertexCount());
}

void XMesh::SetUseFaceSubsets(bool enabled)
{
    m_UseFaceSubsets = enabled;
    if (enabled)
        m_FaceGroups.Clear();
}

void XMesh::SetSelectionLevel(uint32_t level)
{
    if (level == m_SelectionLevel)
        return;
    m_SelectionLevel = level;
    if (level != ObjectLevel)
    {
        m_VertexSelection.SetCount(GetVertexCount());
        m_FaceSelection.SetCount(GetFaceCount());
    }
    Invalidate();
}

int XMesh::Append(const XArray<XVertex, 32>& positions)
{
    return AppendArray(m_Positions, positions);
}

int XMesh::Append(const XArray<XTextureVertex, 32>& textureVertices)
{
    return AppendArray(m_TextureVertices, textureVertices);
}

int XMesh::Append(const XArray<XColor, 32>& colors)
{
    return AppendArray(m_Colors, colors);
}

int XMesh::Append(const XArray<XVertexWeight, 32>& weights)
{
    return AppendArray(m_Weights, weights);
}

int XMesh::Append(const XArray<XFace, 32>& faces)
{
    return AppendArray(m_Faces, faces);
}

int XMesh::CreateSelection(const XString& name)
{
    if (m_VertexSelection.Count(true) == 0 && m_FaceSelection.Count(true) == 0)
        return -1;
    auto selection = std::make_unique<XMeshSelection>();
    selection->Name = name;
    selection->FaceBits = m_FaceSelection;
    selection->VertexBits = m_VertexSelection;
    return static_cast<int>(m_Selections.Add(selection.release()));
}

XMeshSelection* XMesh::FindSelection(const XString& name) const
{
    int i = IndexOfSelection(name);
    return i < 0 ? nullptr : m_Selections.GetData()[i];
}

int XMesh::IndexOfSelection(const XString& name) const
{
    for (uint32_t i = 0; i < m_Selections.GetCount(); ++i)
        if (m_Selections.GetData()[i]->Name == name)
            return static_cast<int>(i);
    return -1;
}

void XMesh::DeleteSelection(const XString& name)
{
    int i = IndexOfSelection(name);
    if (i >= 0)
        m_Selections.Delete(static_cast<uint32_t>(i));
}

void XMesh::ApplySelection(const XString& name)
{
    const XMeshSelection* selection = FindSelection(name);
    if (!selection)
        return;
    m_VertexSelection = selection->VertexBits;
    m_VertexSelection.SetCount(GetVertexCount());
    m_FaceSelection = selection->FaceBits;
    m_FaceSelection.SetCount(GetFaceCount());
    Invalidate();
}

XBoundingBox XMesh::GetBoundingBox()
{
    if (!(m_Flags & BoxValid))
    {
        ComputeBoundingBox();
        m_Flags |= BoxValid;
    }
    return m_BoundingBox;
}

void XMesh::ComputeBoundingBox()
{
    m_BoundingBox = ::ComputeBoundingBox(m_Positions.GetData(), m_Positions.GetCount());
}

void XMesh::PermuteFaces(const uint32_t* order)
{
    const uint32_t n = GetFaceCount();
    XArray<XFace, 32> faces;
    faces.SetCount(n);
    XBitArray selection;
    selection.SetCount(m_FaceSelection.GetCount());
    for (uint32_t i = 0; i < n; ++i)
    {
        faces.GetData()[i] = m_Faces.GetData()[order[i]];
        selection.SetBit(i, m_FaceSelection.Get(order[i]));
    }
    m_Faces = faces;
    m_FaceSelection = selection;
}

void XMesh::BuildFaceGroups()
{
    m_FaceGroups.Clear();
    m_Flags |= GroupsValid;
    const uint32_t n = GetFaceCount();
    if (n == 0)
        return;
    const XFace* faces = m_Faces.GetData();
    // Faces without material (0xFFFFFFFF) count as -1 and so come last.
    auto material = [](const XFace& f) { return static_cast<int32_t>(f.material); };
    bool sorted = true;
    for (uint32_t i = 1; i < n && sorted; ++i)
        sorted = material(faces[i - 1]) >= material(faces[i]);
    if (m_SortFacesByMaterial && !sorted)
    {
        std::vector<uint32_t> order(n);
        std::iota(order.begin(), order.end(), 0u);
        std::stable_sort(order.begin(), order.end(),
                         [&](uint32_t a, uint32_t b) { return material(faces[a]) > material(faces[b]); });
        PermuteFaces(order.data());
        faces = m_Faces.GetData();
    }
    uint32_t start = 0;
    uint32_t current = faces[0].material;
    for (uint32_t i = 1; i < n; ++i)
    {
        if (faces[i].material != current)
        {
            m_FaceGroups.Add(i - start);
            start = i;
            current = faces[i].material;
        }
    }
    m_FaceGroups.Add(n - start);
    // Sorting may have moved faces; the face records follow.
    InvalidateRenderStream();
    InvalidateFaceOverlay();
}

void XMesh::AddVertex(const XVertex& position, XColor color)
{
    const uint32_t n = GetVertexCount();
    Grow(m_Positions, n + 1);
    m_Positions.GetData()[n] = position;
    m_VertexSelection.SetCount(n + 1);
    Grow(m_TextureVertices, n + 1);
    if (m_ColorsEnabled)
    {
        Grow(m_Colors, n + 1);
        m_Colors.GetData()[n] = color;
    }
    if (m_NormalsEnabled)
        Grow(m_Normals, n + 1);
    Invalidate();
}

void XMesh::DeleteVertices(const XBitArray& bits)
{
    std::vector<unsigned> indices;
    for (uint32_t i = 0; i < bits.GetCount(); ++i)
        if (bits.Get(i))
            indices.push_back(i);
    if (!indices.empty())
        DeleteVertices(indices.data(), static_cast<unsigned>(indices.size()));
}

void XMesh::DeleteVertices(const unsigned* indices, unsigned count)
{
    const uint32_t n = GetVertexCount();
    std::vector<uint32_t> remap(n);
    uint32_t kept = 0;
    unsigned k = 0;
    for (uint32_t i = 0; i < n; ++i)
    {
        if (k < count && indices[k] == i)
        {
            remap[i] = Removed;
            ++k;
            continue;
        }
        remap[i] = kept++;
    }
    Compact(m_Positions, remap.data(), n, kept);
    m_VertexSelection.SetCount(kept);
    Compact(m_TextureVertices, remap.data(), n, kept);
    if (m_ColorsEnabled)
        Compact(m_Colors, remap.data(), n, kept);
    if (m_NormalsEnabled)
        Compact(m_Normals, remap.data(), n, kept);
    if (m_WeightsEnabled)
        Compact(m_Weights, remap.data(), n, kept);

    // A face that loses a corner goes, and so does one that pointed past the vertices: it cannot
    // be renumbered.
    XFace* faces = m_Faces.GetData();
    uint32_t keptFaces = 0;
    for (uint32_t f = 0; f < GetFaceCount(); ++f)
    {
        XFace face = faces[f];
        if (!FaceInRange(face, n) || remap[face.v[0]] == Removed || remap[face.v[1]] == Removed ||
            remap[face.v[2]] == Removed)
            continue;
        for (uint32_t& v : face.v)
            v = remap[v];
        faces[keptFaces++] = face;
    }
    m_Faces.SetCount(keptFaces);
    m_FaceSelection.SetCount(keptFaces);
    Invalidate();
}

void XMesh::AddFace(const XFace& face)
{
    const uint32_t n = GetVertexCount();
    if (!FaceInRange(face, n))
        return;
    const uint32_t f = GetFaceCount();
    Grow(m_Faces, f + 1);
    m_Faces.GetData()[f] = face;
    if (m_NormalsEnabled)
    {
        const XVertex* p = m_Positions.GetData();
        XVertex normal = CrossProduct(p[face.v[1]] - p[face.v[0]], p[face.v[2]] - p[face.v[0]]);
        // The normal array may be short after a load; corners without a normal are left out.
        for (uint32_t v : face.v)
        {
            if (v >= GetNormalCount())
                continue;
            XVertex& corner = m_Normals.GetData()[v];
            corner += normal;
            corner.Normalize();
        }
    }
    m_FaceSelection.SetCount(GetFaceCount());
    Invalidate();
}

void XMesh::DeleteFaces(const XBitArray& bits)
{
    std::vector<unsigned> indices;
    for (uint32_t i = 0; i < bits.GetCount(); ++i)
        if (bits.Get(i))
            indices.push_back(i);
    if (!indices.empty())
        DeleteFaces(indices.data(), static_cast<unsigned>(indices.size()));
}

void XMesh::DeleteFaces(const unsigned* indices, unsigned count)
{
    if (count == 0)
        return;
    const uint32_t n = GetFaceCount();
    XFace* faces = m_Faces.GetData();
    uint32_t kept = 0;
    unsigned k = 0;
    for (uint32_t i = 0; i < n; ++i)
    {
        if (k < count && indices[k] == i)
        {
            ++k;
            continue;
        }
        faces[kept++] = faces[i];
    }
    m_Faces.SetCount(kept);
    m_FaceSelection.SetCount(kept);
    Invalidate();
}

void XMesh::Cleanup()
{
    const uint32_t n = GetVertexCount();
    std::vector<unsigned> badFaces;
    std::vector<bool> used(n, false);
    for (uint32_t f = 0; f < GetFaceCount(); ++f)
    {
        const XFace& face = m_Faces.GetData()[f];
        if (!FaceInRange(face, n) || face.v[0] == face.v[1] || face.v[1] == face.v[2] ||
            face.v[0] == face.v[2])
        {
            badFaces.push_back(f);
            continue;
        }
        for (uint32_t v : face.v)
            used[v] = true;
    }
    if (!badFaces.empty())
        DeleteFaces(badFaces.data(), static_cast<unsigned>(badFaces.size()));
    std::vector<unsigned> unused;
    for (uint32_t i = 0; i < n; ++i)
        if (!used[i])
            unused.push_back(i);
    if (!unused.empty())
        DeleteVertices(unused.data(), static_cast<unsigned>(unused.size()));

    // Lowest material first; faces without material (-1) lead.
    const uint32_t faceCount = GetFaceCount();
    const XFace* faces = m_Faces.GetData();
    std::vector<uint32_t> order(faceCount);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(
        order.begin(), order.end(),
        [&](uint32_t a, uint32_t b)
        { return static_cast<int32_t>(faces[a].material) < static_cast<int32_t>(faces[b].material); });
    PermuteFaces(order.data());
    Invalidate();
}

void XMesh::Clear()
{
    m_Positions.Clear();
    m_TextureVertices.Clear();
    m_Faces.Clear();
    m_Normals.Clear();
    m_Colors.Clear();
    m_VertexSelection.SetCount(0);
    m_FaceSelection.SetCount(0);
    Invalidate();
}

void XMesh::Invalidate()
{
    m_Flags &= static_cast<uint8_t>(~(BoxValid | GroupsValid));
    InvalidatePointCache();
    InvalidateFaceOverlay();
    InvalidateRenderStream();
}

void XMesh::CloneVertices(bool selectedOnly)
{
    const uint32_t n = GetVertexCount();
    std::vector<uint32_t> sources;
    for (uint32_t i = 0; i < n; ++i)
        if (!selectedOnly || m_VertexSelection.Get(i))
            sources.push_back(i);
    const uint32_t total = n + static_cast<uint32_t>(sources.size());
    // Channels shorter than the positions (as loaded) are first brought to the vertex count, so
    // that the copies land beside their positions.
    AppendMapped(m_Positions, n, sources);
    AppendMapped(m_TextureVertices, n, sources);
    if (m_NormalsEnabled)
        AppendMapped(m_Normals, n, sources);
    if (m_ColorsEnabled)
        AppendMapped(m_Colors, n, sources);
    if (m_WeightsEnabled)
        AppendMapped(m_Weights, n, sources);
    m_VertexSelection.SetCount(n);
    m_VertexSelection.SetCount(total);
    Invalidate();
}

void XMesh::CloneFaces(bool selectedOnly)
{
    const uint32_t nV = GetVertexCount();
    const uint32_t nF = GetFaceCount();
    std::vector<uint32_t> cloned;
    std::vector<uint32_t> remap(nV, Removed);
    m_VertexSelection.SetCount(nV);
    if (!selectedOnly)
    {
        for (uint32_t f = 0; f < nF; ++f)
            if (FaceInRange(m_Faces.GetData()[f], nV))
                cloned.push_back(f);
        for (uint32_t i = 0; i < nV; ++i)
            remap[i] = nV + i;
        m_VertexSelection.SetAll();
    }
    else
    {
        m_VertexSelection.ClearAll();
        for (uint32_t f = 0; f < nF; ++f)
        {
            const XFace& face = m_Faces.GetData()[f];
            if (!m_FaceSelection.Get(f) || !FaceInRange(face, nV))
                continue;
            cloned.push_back(f);
            for (uint32_t v : face.v)
                m_VertexSelection.SetBit(v, true);
        }
        uint32_t next = nV;
        for (uint32_t i = 0; i < nV; ++i)
            if (m_VertexSelection.Get(i))
                remap[i] = next++;
    }
    CloneVertices(selectedOnly);
    const uint32_t added = static_cast<uint32_t>(cloned.size());
    m_Faces.SetCount(nF + added);
    XFace* faces = m_Faces.GetData();
    for (uint32_t j = 0; j < added; ++j)
    {
        XFace face = faces[cloned[j]];
        for (uint32_t& v : face.v)
            v = remap[v];
        faces[nF + j] = face;
    }
    m_FaceSelection.SetCount(nF + added);
    Invalidate();
}

void XMesh::CopySelectionTo(XMesh& target) const
{
    if (&target == this)
        return;
    target.Clear();
    const uint32_t n = GetVertexCount();
    std::vector<uint32_t> selected;
    std::vector<uint32_t> remap(n, Removed);
    for (uint32_t i = 0; i < n; ++i)
    {
        if (!m_VertexSelection.Get(i))
            continue;
        remap[i] = static_cast<uint32_t>(selected.size());
        selected.push_back(i);
    }
    const uint32_t copied = static_cast<uint32_t>(selected.size());
    target.m_Positions.SetCount(copied);
    target.m_TextureVertices.SetCount(copied);
    for (uint32_t k = 0; k < copied; ++k)
    {
        target.m_Positions.GetData()[k] = m_Positions.GetData()[selected[k]];
        target.m_TextureVertices.GetData()[k] = ElementOr(m_TextureVertices, selected[k]);
    }
    if (m_ColorsEnabled)
    {
        target.SetColorCount(copied);
        for (uint32_t k = 0; k < copied; ++k)
            target.m_Colors.GetData()[k] = ElementOr(m_Colors, selected[k]);
    }
    if (m_WeightsEnabled)
    {
        target.SetWeightCount(copied);
        target.m_WeightsEnabled = true;
        for (uint32_t k = 0; k < copied; ++k)
            target.m_Weights.GetData()[k] = ElementOr(m_Weights, selected[k]);
    }
    if (m_NormalsEnabled)
    {
        target.SetNormalCount(copied);
        for (uint32_t k = 0; k < copied; ++k)
            target.m_Normals.GetData()[k] = ElementOr(m_Normals, selected[k]);
    }
    for (uint32_t f = 0; f < GetFaceCount(); ++f)
    {
        XFace face = m_Faces.GetData()[f];
        if (!FaceInRange(face, n) || remap[face.v[0]] == Removed || remap[face.v[1]] == Removed ||
            remap[face.v[2]] == Removed)
            continue;
        for (uint32_t& v : face.v)
            v = remap[v];
        target.m_Faces.Add(face);
    }
    target.Invalidate();
}

void XMesh::Save(XScene*, XWriter& writer) const
{
    using XArrayChunks::WriteArrayChunk;
    writer.BeginChunk(ChunkId);
    WriteArrayChunk(writer, PositionsChunk, m_Positions);
    WriteArrayChunk(writer, TextureVerticesChunk, m_TextureVertices);
    WriteArrayChunk(writer, FacesChunk, m_Faces);
    if (m_NormalsEnabled)
        WriteArrayChunk(writer, NormalsChunk, m_Normals);
    if (m_ColorsEnabled)
        WriteArrayChunk(writer, ColorsChunk, m_Colors);
    if (m_WeightsEnabled)
        WriteArrayChunk(writer, WeightsChunk, m_Weights);
    if (m_UseFaceSubsets)
        WriteArrayChunk(writer, FaceGroupsChunk, m_FaceGroups);
    writer.WriteChunkU32(SortChunk, m_SortFacesByMaterial ? 1 : 0);
    for (uint32_t i = 0; i < m_Selections.GetCount(); ++i)
    {
        const XMeshSelection& selection = *m_Selections.GetData()[i];
        writer.BeginChunk(NamedSelectionChunk);
        writer << selection.VertexBits << selection.FaceBits;
        writer.WriteString(selection.Name);
        writer.EndChunk();
    }
    writer.EndChunk();
}

void XMesh::Load(XScene*, XReader& reader)
{
    using XArrayChunks::ReadArray;
    if (reader.GetChunkId() != ChunkId)
        return;
    m_Positions.Clear();
    m_TextureVertices.Clear();
    m_Faces.Clear();
    m_NormalsEnabled = false;
    m_Normals.Clear();
    m_ColorsEnabled = false;
    m_WeightsEnabled = false;
    m_UseFaceSubsets = false;
    m_Colors.Clear();
    m_Weights.Clear();
    m_Selections.Clear();
    // Whatever happens below, nothing computed from the old contents stays valid.
    Invalidate();
    while (reader.NextChunk())
    {
        switch (reader.GetChunkId())
        {
        case PositionsChunk:
            ReadArray(reader, m_Positions);
            break;
        case TextureVerticesChunk:
            ReadArray(reader, m_TextureVertices);
            break;
        case FacesChunk:
            ReadArray(reader, m_Faces);
            break;
        case NormalsChunk:
            ReadArray(reader, m_Normals);
            m_NormalsEnabled = true;
            break;
        case ColorsChunk:
            ReadArray(reader, m_Colors);
            m_ColorsEnabled = true;
            break;
        case WeightsChunk:
            ReadArray(reader, m_Weights);
            m_WeightsEnabled = true;
            break;
        case FaceGroupsChunk:
            ReadArray(reader, m_FaceGroups);
            m_UseFaceSubsets = true;
            break;
        case SortChunk:
        {
            uint32_t sort;
            XArrayChunks::ReadU32(reader, sort);
            m_SortFacesByMaterial = sort != 0;
            break;
        }
        case NamedSelectionChunk:
        {
            XMeshSelection* selection = new XMeshSelection;
            m_Selections.Add(selection);
            reader >> selection->VertexBits >> selection->FaceBits;
            reader.ReadString(selection->Name, 0xFFFFFFFFu); // bounded by the chunk
            break;
        }
        default:
            break;
        }
        reader.EndChunk();
    }
    Invalidate();
}

void XMesh::SaveSelected(XScene*, XWriter& writer)
{
    const uint32_t n = GetVertexCount();
    // The corners of the selected faces join the vertex selection, which must cover them all.
    if (m_VertexSelection.GetCount() < n)
        m_VertexSelection.SetCount(n);
    std::vector<uint32_t> faces;
    for (uint32_t f = 0; f < GetFaceCount(); ++f)
    {
        const XFace& face = m_Faces.GetData()[f];
        if (!m_FaceSelection.Get(f) || !FaceInRange(face, n))
            continue;
        faces.push_back(f);
        for (uint32_t v : face.v)
            m_VertexSelection.SetBit(v, true);
    }
    std::vector<uint32_t> selected;
    std::vector<uint32_t> rank(n, Removed);
    for (uint32_t i = 0; i < n; ++i)
    {
        if (!m_VertexSelection.Get(i))
            continue;
        rank[i] = static_cast<uint32_t>(selected.size());
        selected.push_back(i);
    }
    if (selected.empty())
        return;

    writer.BeginChunk(SelectionChunkId);
    WriteSelected(writer, PositionsChunk, m_Positions, selected);
    WriteSelected(writer, TextureVerticesChunk, m_TextureVertices, selected);
    if (m_NormalsEnabled)
        WriteSelected(writer, NormalsChunk, m_Normals, selected);
    if (m_ColorsEnabled)
        WriteSelected(writer, ColorsChunk, m_Colors, selected);
    if (m_WeightsEnabled)
        WriteSelected(writer, WeightsChunk, m_Weights, selected);
    if (!faces.empty())
    {
        writer.BeginChunk(FacesChunk);
        writer.WriteU32(static_cast<uint32_t>(faces.size()));
        for (uint32_t f : faces)
        {
            XFace face = m_Faces.GetData()[f];
            for (uint32_t& v : face.v)
                v = rank[v];
            writer.Write(&face, sizeof(face));
        }
        writer.EndChunk();
    }
    writer.EndChunk();
}

void XMesh::LoadAppend(XScene*, XReader& reader)
{
    using XArrayChunks::ReadArray;
    if (reader.GetChunkId() != SelectionChunkId)
        return;
    XArray<XVertex, 32> positions;
    XArray<XFace, 32> faces;
    XArray<XVertex, 32> normals;
    XArray<XColor, 32> colors;
    XArray<XTextureVertex, 32> textureVertices;
    XArray<XVertexWeight, 32> weights;
    bool havePositions = false;
    bool haveFaces = false;
    while (reader.NextChunk())
    {
        switch (reader.GetChunkId())
        {
        case PositionsChunk:
            ReadArray(reader, positions);
            havePositions = true;
            break;
        case FacesChunk:
            ReadArray(reader, faces);
            haveFaces = true;
            break;
        case NormalsChunk:
            ReadArray(reader, normals);
            break;
        case ColorsChunk:
            ReadArray(reader, colors);
            break;
        case TextureVerticesChunk:
            ReadArray(reader, textureVertices);
            break;
        case WeightsChunk:
            ReadArray(reader, weights);
            break;
        default:
            break;
        }
        reader.EndChunk();
    }

    const uint32_t base = GetVertexCount();
    if (havePositions)
    {
        const uint32_t total = base + positions.GetCount();
        AppendArray(m_Positions, positions);
        m_VertexSelection.SetCount(total);
        AppendChannel(m_TextureVertices, base, textureVertices, total);
        if (m_NormalsEnabled)
            AppendChannel(m_Normals, base, normals, total);
        if (m_ColorsEnabled)
            AppendChannel(m_Colors, base, colors, total);
        if (m_WeightsEnabled)
            AppendChannel(m_Weights, base, weights, total);
    }
    if (haveFaces)
    {
        for (uint32_t i = 0; i < faces.GetCount(); ++i)
            for (uint32_t& v : faces.GetData()[i].v)
                v += base;
        AppendArray(m_Faces, faces);
        m_FaceSelection.SetCount(GetFaceCount());
    }
    Invalidate();
}
