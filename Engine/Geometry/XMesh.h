// The editable triangle mesh: parallel per-vertex arrays (positions, texture vertices, normals,
// colours, bone weights), faces, the editors' selection state and named selections.
//
// A mesh is not a scene object: it is saved only inside the chunk of the object that owns it.
// Load keeps what a file holds as it stands (array counts may disagree, face indices may point
// past the vertices); every operation that follows a face index into a per-vertex array skips
// faces whose index is at or past the vertex count, and reads per-vertex arrays only within
// their own counts.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XArray.h"
#include "Components/XBitArray.h"
#include "Components/XColor.h"
#include "Components/XPtrArray.h"
#include "Components/XVertex.h"
#include "Engine/Geometry/XGeometryCache.h"
#include "Engine/Scene/XRefManager.h"

#include <cstdint>
#include <type_traits>

class XMeshNode;
class XReader;
class XScene;
class XStream;
class XViewport;
class XWriter;
struct XMatrix;

struct XFace
{
    uint32_t v[3];     // vertex indices
    uint32_t material; // index into the scene's materials; NoMaterial for none

    static constexpr uint32_t NoMaterial = 0xFFFFFFFF;

    XFace() = default;
    XFace(uint32_t a, uint32_t b, uint32_t c) : v{a, b, c}, material(NoMaterial) {}
    XFace(uint32_t a, uint32_t b, uint32_t c, uint32_t m) : v{a, b, c}, material(m) {}
};

// The tail of a blended device vertex: three weights and four bone matrix indices (index 0 is the
// node's own matrix). A new record weighs the first bone fully.
struct XVertexWeight
{
    float weight[3] = {1, 0, 0};
    uint8_t index[4] = {0, 0, 0, 0};
};

static_assert(sizeof(XFace) == 16 && std::is_trivially_copyable_v<XFace>);
static_assert(sizeof(XVertexWeight) == 16 && std::is_trivially_copyable_v<XVertexWeight>);

struct XMeshSelection
{
    XString Name;
    XBitArray FaceBits;
    XBitArray VertexBits;
};

class XMesh : public XRefManager
{
public:
    static constexpr uint32_t ChunkId = 0x01200000;
    // Outer chunk of SaveSelected and LoadAppend.
    static constexpr uint32_t SelectionChunkId = 0x0120000A;

    // Selection levels.
    enum : uint32_t
    {
        ObjectLevel = 0,
        VertexLevel = 1,
        FaceLevel = 2,
    };

    XMesh();
    // Assignment copies everything but the named selections (the target keeps its own).
    XMesh& operator=(const XMesh& other);
    ~XMesh() override;

    // ---- counts, raw data and flags (raw pointers are null for an empty array) ----
    uint32_t GetVertexCount() const { return m_Positions.GetCount(); }
    uint32_t GetFaceCount() const { return m_Faces.GetCount(); }
    uint32_t GetTextureVertexCount() const { return m_TextureVertices.GetCount(); }
    uint32_t GetNormalCount() const { return m_Normals.GetCount(); }
    uint32_t GetColorCount() const { return m_Colors.GetCount(); }
    uint32_t GetWeightCount() const { return m_Weights.GetCount(); }

    XVertex* GetVertices() { return m_Positions.GetData(); }
    const XVertex* GetVertices() const { return m_Positions.GetData(); }
    XFace* GetFaces() { return m_Faces.GetData(); }
    const XFace* GetFaces() const { return m_Faces.GetData(); }
    XArray<XFace, 32>& GetFaceArray() { return m_Faces; }
    const XArray<XFace, 32>& GetFaceArray() const { return m_Faces; }
    XTextureVertex* GetTextureVertices() { return m_TextureVertices.GetData(); }
    const XTextureVertex* GetTextureVertices() const { return m_TextureVertices.GetData(); }
    XVertex* GetNormals() { return m_Normals.GetData(); }
    const XVertex* GetNormals() const { return m_Normals.GetData(); }
    XColor* GetColors() { return m_Colors.GetData(); }
    const XColor* GetColors() const { return m_Colors.GetData(); }
    XVertexWeight* GetWeights() { return m_Weights.GetData(); }
    const XVertexWeight* GetWeights() const { return m_Weights.GetData(); }

    bool GetNormalsEnabled() const { return m_NormalsEnabled; }
    bool GetColorsEnabled() const { return m_ColorsEnabled; }
    bool GetWeightsEnabled() const { return m_WeightsEnabled; }
    bool GetUseFaceSubsets() const { return m_UseFaceSubsets; }
    bool GetSortFacesByMaterial() const { return m_SortFacesByMaterial; }
    uint32_t GetSelectionLevel() const { return m_SelectionLevel; }
    XBitArray& GetVertexSelection() { return m_VertexSelection; }
    const XBitArray& GetVertexSelection() const { return m_VertexSelection; }
    XBitArray& GetFaceSelection() { return m_FaceSelection; }
    const XBitArray& GetFaceSelection() const { return m_FaceSelection; }
    // Run lengths of equal-material faces, in face order (BuildFaceGroups).
    const XArray<unsigned int, 32>& GetFaceGroups() const { return m_FaceGroups; }

    // Set the count of that one array; new elements are value-initialised (new weights weigh the
    // first bone fully). Nothing is invalidated: a caller that fills arrays calls Invalidate.
    void SetVertexCount(uint32_t n);
    void SetTextureVertexCount(uint32_t n);
    void SetFaceCount(uint32_t n);
    void SetNormalCount(uint32_t n);
    void SetColorCount(uint32_t n);
    void SetWeightCount(uint32_t n);

    // Enabling sizes the array to the vertex count; disabling keeps it. Nothing is invalidated.
    void SetColorsEnabled(bool enabled);
    void SetWeightsEnabled(bool enabled);
    // Enabling frees the face-group table (its valid flag is left as it is).
    void SetUseFaceSubsets(bool enabled);
    void SetSortFacesByMaterial(bool enabled) { m_SortFacesByMaterial = enabled; }
    // A changed level is stored; a non-zero one sizes the selections to the vertex and face
    // counts. Then Invalidate. An equal level does nothing.
    void SetSelectionLevel(uint32_t level);

    // Append all of another array; the index of the first appended element, or -1 (nothing
    // changes) for an empty array.
    int Append(const XArray<XVertex, 32>& positions);
    int Append(const XArray<XTextureVertex, 32>& textureVertices);
    int Append(const XArray<XColor, 32>& colors);
    int Append(const XArray<XVertexWeight, 32>& weights);
    int Append(const XArray<XFace, 32>& faces);

    // ---- named selections ----
    // -1 when nothing is selected; otherwise a copy of both selections under the name (names
    // need not be unique), appended; returns its index.
    int CreateSelection(const XString& name);
    XMeshSelection* FindSelection(const XString& name) const;
    int IndexOfSelection(const XString& name) const;
    void DeleteSelection(const XString& name);
    // Copies the named bits into the live selections, sized to the vertex and face counts, then
    // Invalidate. An unknown name does nothing.
    void ApplySelection(const XString& name);
    uint32_t GetSelectionCount() const { return m_Selections.GetCount(); }
    // An index at or past the count: XException "Out of range.".
    XMeshSelection* GetSelection(uint32_t index) const { return m_Selections[index]; }

    // ---- geometry and structure ----
    // The box of all positions, computed when not valid. An empty mesh has the zero box.
    virtual XBoundingBox GetBoundingBox();
    virtual void ComputeBoundingBox();
    // With sorting on, orders the faces by material, highest first and faces without material
    // last (stable; the face selection moves with its faces), then records the run lengths.
    virtual void BuildFaceGroups();
    // Grows positions, the vertex selection and the texture vertices by one, and colours and
    // normals when enabled (normal (0, 0, 0)). Weights are not grown.
    virtual void AddVertex(const XVertex& position, XColor color);
    // The vertices whose bit is set (below the bit count).
    virtual void DeleteVertices(const XBitArray& bits);
    // `indices` ascending without repeats; entries past the vertex count are ignored. Faces
    // that use a removed vertex (or point past the vertices) go; the rest are renumbered. The
    // selections are truncated, not shifted.
    virtual void DeleteVertices(const unsigned* indices, unsigned count);
    // Ignored unless all three indices are below the vertex count. With normals enabled the face
    // normal is added to its corners' normals, which are then normalised.
    virtual void AddFace(const XFace& face);
    virtual void DeleteFaces(const XBitArray& bits);
    // `indices` ascending without repeats. Kept faces keep their order; the face selection is
    // truncated, not shifted. Vertices stay.
    virtual void DeleteFaces(const unsigned* indices, unsigned count);
    // Drops degenerate faces, faces pointing past the vertices and unused vertices, then orders
    // the faces by material, lowest first and faces without material first (stable).
    virtual void Cleanup();
    // Frees positions, texture vertices, faces, normals and colours and empties both selections.
    // Weights, face groups, named selections, flags and the level stay.
    virtual void Clear();
    // Marks the bounding box and the face groups stale.
    virtual void Invalidate();

    // Appends copies of all (or the selected) vertices with every attribute; faces stay and the
    // copies are not selected.
    virtual void CloneVertices(bool selectedOnly);
    // Appends copies of all (or the selected) faces on new copies of their vertices. Afterwards
    // the face selection marks the faces that were cloned and the vertex selection the vertices
    // that were copied, not the copies.
    virtual void CloneFaces(bool selectedOnly);
    // Replaces the target's geometry with the selected vertices and the faces whose three
    // corners are selected. Nothing happens when the target is this mesh.
    void CopySelectionTo(XMesh& target) const;

    // ---- persistence (the scene is not used by the mesh) ----
    // Writes chunk 0x01200000.
    virtual void Save(XScene* scene, XWriter& writer) const;
    // Reads the chunk the reader stands in when it is 0x01200000; otherwise does nothing. A count
    // or value that does not fit in its chunk: FileUtils::XIOError, with the arrays read so far
    // kept.
    virtual void Load(XScene* scene, XReader& reader);
    // Adds the corners of the selected faces to the vertex selection, then writes the selected
    // vertices and faces as chunk 0x0120000A; nothing when no vertex is selected.
    virtual void SaveSelected(XScene* scene, XWriter& writer);
    // Appends the vertices and faces of the 0x0120000A chunk the reader stands in (otherwise
    // does nothing); the appended parts are not selected.
    virtual void LoadAppend(XScene* scene, XReader& reader);

    // ---- editing operations (XMeshEdit.cpp) and text export (XMeshExport.cpp) ----
    // Every operation skips faces that point past the vertices; those that read or change the
    // selections first size both to the vertex and face counts, and those that add or remove
    // vertices first bring the per-vertex arrays in use to the vertex count.

    // Format 1 writes the mesh as source text, a vertex record per face corner. The file is
    // created (or truncated) whatever the format; one that cannot be opened throws the stream's
    // "Failed opening file.".
    virtual void ExportText(const XAnsiString& fileName, int format);
    virtual void ExportText(XStream* stream, int format);

    // Appends, in face order, the faces the pick ray through (rect.left, rect.top) hits (front
    // faces only, where the view draws them) or, in rectangle mode, the faces whose three projected
    // corners lie in the rectangle (bounds inclusive). The list is not cleared; nothing is invalidated.
    virtual void PickFaces(unsigned frame, XViewport* viewport, XMeshNode* node, const XRect& rect,
                           XArray<unsigned int, 32>& result, bool rectMode);
    // Applies `transform` in the frame `pivot` (world space) to the selected vertices (vertex
    // level) or the corners of the selected faces (face level). A singular node or pivot matrix
    // moves nothing.
    virtual void TransformSelection(unsigned frame, XMeshNode* node, const XMatrix& pivot,
                                    const XMatrix& transform);
    // Every position; normals by the matrix without its translation, then normalised.
    virtual void Transform(const XMatrix& matrix);
    // Two or more selected vertices become one, the new last vertex, at their mean; it alone stays
    // selected. Faces keep their count (some may become degenerate).
    virtual void CollapseSelectedVertices();
    // Each vertex (in index order, not yet claimed) claims the later candidates closer than
    // `threshold` and moves to their running midpoint; the claimed vertices go and their faces
    // follow. A kept vertex is selected when any vertex it absorbed was.
    virtual void WeldVertices(float threshold, bool selectedOnly);
    // At most `passes` rounds; stops at a round that adds nothing.
    virtual void GrowVertexSelection(uint32_t passes);
    virtual void GrowFaceSelection(uint32_t passes);
    virtual void SelectAllVertices();
    virtual void SelectAllFaces();
    virtual void SelectVerticesOfSelectedFaces();
    // A face is selected when all three corners are (any false) or one of them is (any true).
    virtual void SelectFacesFromVertices(bool any);
    virtual void InvertSelection(bool vertices, bool faces);
    // Sizes the normals to the vertex count (new ones (0, 0, 0)) and writes the corners of every
    // (selected) face: flat, the face's unit normal (the last face wins); smooth, the normalised
    // sum of the unit normals of all faces using the vertex. Degenerate faces add nothing.
    virtual void ComputeNormals(bool selectedOnly, bool flat);
    // Nothing at all while normals are disabled.
    virtual void FlipNormals(bool selectedOnly);
    virtual void NormalizeNormals(bool selectedOnly);
    // Each (selected) face is replaced in place by three faces around a new centre vertex; only
    // the new faces end up selected. Spherize pushes the centre out along its normal.
    virtual void TessellateFaces(bool selectedOnly, bool spherize);
    // Reverses the winding of every (selected) face; nothing while normals are disabled.
    virtual void FlipFaces(bool selectedOnly);
    // Moves the selected vertices along the normalised sum of their normals.
    virtual void MoveSelectedAlongNormal(float distance);
    // Moves the selected faces along their summed normal, on new copies of their boundary
    // vertices, joined to the old ones by side faces without material.
    virtual void ExtrudeFaces(float distance);
    // A viewport pixel in normalised device coordinates over the viewport's client size.
    static XPoint ScreenToNormalized(XViewport* viewport, const XPoint& point);
    // Where q, carried to clip space by m, shows in normalised device coordinates; false where the
    // view does not draw it.
    static bool ProjectDrawn(const XMatrix& m, const XVertex& q, XPoint& out);

    // ---- render caches, drawing and picking (XMeshRender.cpp) ----
    // The drawing operations use the viewport's device (nothing without one) and the node's mesh
    // matrix and colour; a null node draws at the identity in white. Faces that point past the
    // vertices are drawn as nothing and never picked.

    // Mark one cache stale; its buffer stays until the next build.
    virtual void InvalidateRenderStream();
    virtual void InvalidateFaceOverlay();
    virtual void InvalidatePointCache();
    // The whole mesh as a triangle list, three records per face in face order: position (with
    // the bone weights when enabled), normal (when enabled and one per vertex), colour (when
    // enabled), texture coordinates; slots whose array has another count than the vertices stay
    // zero. No faces: the cache stays empty and invalid.
    virtual void BuildRenderStream();
    // The triangles coloured by face selection; with usable normals selected faces stand 0.001
    // out along their vertex normals.
    virtual void BuildFaceOverlay();
    // One coloured point per vertex, by vertex selection.
    virtual void BuildPointCache();
    // Object level: the render stream; vertex and face level: the point cache and face overlay.
    virtual void BuildCaches();
    const XGeometryCache& GetRenderStream() const { return m_RenderStream; }
    const XGeometryCache& GetFaceOverlay() const { return m_FaceOverlayCache; }
    const XGeometryCache& GetPointCache() const { return m_PointCache; }

    // Flags: 2 solid (with the node's material from its scene, or its colour), 1 wireframe, 4 the
    // vertices as points. The render states set are not restored.
    virtual void Draw(unsigned frame, XViewport* viewport, XMeshNode* node, unsigned flags);
    // Flags 2: solid overlay, then its wireframe; else flags 1: wireframe only; else nothing.
    virtual void DrawFaceOverlay(unsigned frame, XViewport* viewport, XMeshNode* node, unsigned flags);
    // The point cache, with lighting off for the call.
    virtual void DrawPoints(unsigned frame, XViewport* viewport, XMeshNode* node, unsigned flags);
    // A line from each vertex along its normal as stored; only with one normal per vertex.
    virtual void DrawNormals(unsigned frame, XViewport* viewport, XMeshNode* node, unsigned flags);
    // Object level: Draw with the flags; vertex and face level: solid, face overlay and points.
    virtual void Render(unsigned frame, XViewport* viewport, XMeshNode* node, unsigned flags);
    // Appends the vertices whose projection lies in the rectangle (viewport pixels, bounds
    // inclusive; widened by 2 pixels on every side unless exact). Points at or behind the
    // camera plane (w <= 0) are never selected. The selection is not changed.
    virtual void SelectInRect(unsigned frame, XViewport* viewport, XMeshNode* node, const XRect& rect,
                              XArray<unsigned int, 32>& result, bool exact);
    // When the pick ray through the point hits exactly one front face, a new vertex at the hit
    // (its attributes interpolated) splits that face into three; both selections are cleared.
    virtual void SplitFaceAtPoint(unsigned frame, XViewport* viewport, XMeshNode* node, const XPoint& point);

private:
    // Sizes both selections to the vertex and face counts (new bits clear).
    void FitSelections();
    // Brings the texture vertices, and the normals, colours and weights while enabled, to the
    // vertex count (new elements zero; new weights weigh the first bone).
    void AlignVertexChannels();

protected:
    // True when every corner of the face is below n.
    static bool FaceInRange(const XFace& face, uint32_t n)
    {
        return face.v[0] < n && face.v[1] < n && face.v[2] < n;
    }

    enum : uint8_t
    {
        BoxValid = 1,
        GroupsValid = 2,
    };

    XBoundingBox m_BoundingBox;
    uint8_t m_Flags = 0;
    XArray<XVertex, 32> m_Positions;
    XArray<XFace, 32> m_Faces;
    XArray<XTextureVertex, 32> m_TextureVertices;
    XArray<XVertex, 32> m_Normals;
    bool m_NormalsEnabled = true;
    XArray<XColor, 32> m_Colors;
    bool m_ColorsEnabled = false;
    XArray<XVertexWeight, 32> m_Weights;
    bool m_WeightsEnabled = false;
    bool m_UseFaceSubsets = false;
    bool m_SortFacesByMaterial = true;
    XArray<unsigned int, 32> m_FaceGroups;
    uint32_t m_SelectionLevel = ObjectLevel;
    XBitArray m_VertexSelection;
    XBitArray m_FaceSelection;
    XPtrOwnArray<XMeshSelection, 16> m_Selections;
    XGeometryCache m_PointCache;
    XGeometryCache m_FaceOverlayCache;
    XGeometryCache m_RenderStream;

private:
    // Applies a new face order (order[i] = old index of new face i) to the faces and the live
    // face selection.
    void PermuteFaces(const uint32_t* order);
};
