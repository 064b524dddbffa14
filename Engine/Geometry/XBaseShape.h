// The base of the outline shapes: a mesh object whose own geometry is a set of 3D line segments
// (points joined by edges). A derived shape fills the outline in ShapeBuild from its parameters;
// the base keeps it, draws it as coloured lines, and with MeshEnabled sweeps a round or
// rectangular cross-section along every edge into a closed triangle mesh, which is also what the
// shape becomes when it is converted to a triangle mesh.
//
// The outline is built lazily: a parameter change marks it stale (ShapeInvalidate) and the next
// render, mesh request or conversion rebuilds it. It is never saved; it follows from the
// parameters.
#pragma once

#include "Components/XVariant.h"
#include "Components/XVertex.h"
#include "Engine/Geometry/XBaseMesh.h"
#include "Engine/Scene/XObjectField.h"

#include <cstdint>
#include <type_traits>

// The line vertex of outline drawing (D3DFVF_XYZ | D3DFVF_DIFFUSE): position and a packed
// A, R, G, B colour.
struct XDiffuseVertex
{
    float x, y, z;
    uint32_t color;
};
static_assert(sizeof(XDiffuseVertex) == 16 && std::is_trivially_copyable_v<XDiffuseVertex>);

// RenderShape flag: also draw the outline's points.
constexpr unsigned XRS_POINTS = 0x4;

class XBaseShape : public XBaseMesh
{
public:
    // Sub-chunks of the shape chunk 0x99120000, one value each.
    static constexpr uint32_t MeshEnabledChunk = 0x99120001;
    static constexpr uint32_t MeshTypeChunk = 0x99120002;
    static constexpr uint32_t MeshWidthChunk = 0x99120003;
    static constexpr uint32_t MeshHeightChunk = 0x99120004;
    static constexpr uint32_t MeshAngleChunk = 0x99120005;
    static constexpr uint32_t MeshSidesChunk = 0x99120006;

    // Cross-section kinds.
    static constexpr uint32_t MeshRound = 0;
    static constexpr uint32_t MeshRectangular = 1;

    static constexpr uint32_t DefaultMeshType = MeshRound;
    static constexpr float DefaultMeshSize = 0.2f;
    static constexpr uint32_t DefaultMeshSides = 8;
    static constexpr uint32_t MinMeshSides = 3;
    static constexpr uint32_t MaxMeshSides = 256;
    static constexpr float MaxMeshSize = 1000.0f;

    // Name "BaseShape", an empty stale outline, no swept mesh, the mesh defaults.
    XBaseShape();
    // Leaves the scene and deletes the swept mesh.
    ~XBaseShape() override;

    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    // The mesh-base chunks, then 0x99120000 with the six mesh values.
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0x99120000 resets the six values and passes each one present to its setter, then
    // marks the outline stale; other chunks go to the mesh base.
    void Load(XScene* scene, XReader& reader) override;
    // MeshEnabled, MeshType, MeshWidth, MeshHeight, MeshAngle, MeshSides.
    void EnumerateFields(XPtrArray<XObjectField, 16>& fields) override;
    bool Renderable() override;
    // With MeshEnabled the swept mesh goes through the mesh base's drawing; otherwise the outline
    // is drawn with RenderShape, placed by the node's mesh matrix in the node's colour (without
    // a node: identity and white).
    void Render(unsigned frame, XViewport* viewport, XMeshNode* node, unsigned flags) override;
    // The box of the outline's points.
    XBoundingBox GetBoundingBox(unsigned frame) override;
    // The swept mesh, null unless MeshEnabled; rebuilt (outline first) when stale. Every edge
    // becomes a strip of 2 x sides triangles between the cross-section rings of its two points;
    // each point has a ring of sides + 1 vertices (the last closes the seam).
    XMesh* GetMesh(unsigned frame, XViewport* viewport, XMeshNode* node) override;
    bool CanConvertToType(const XString& type) override;
    // "XTriMesh" only: a triangle-mesh object holding the swept mesh, or (lines only) the points
    // as vertices with the point normals and no faces, takes this object's name, GUID, scene,
    // holders and node count; this object is destroyed. Null for any other type.
    XBaseMesh* ConvertToType(unsigned frame, const XString& type) override;

    // Clears the built flag and invalidates the swept mesh.
    virtual void ShapeInvalidate();
    virtual void ShapeValidate();
    virtual bool IsShapeValid(unsigned frame);
    // Fills points, point normals and edges from the shape's parameters and ends with
    // ShapeValidate; the base has no parameters and leaves the outline as it is.
    virtual void ShapeBuild();
    // Draws the edges as a line list in the colour, placed by world (null: identity); with
    // XRS_POINTS also the points. Lighting is switched off for the draw and restored as found.
    // Edges naming a point past the outline are not drawn.
    virtual void RenderShape(unsigned frame, XViewport* viewport, const XMatrix* world, uint32_t colour,
                             unsigned flags);

    bool GetMeshEnabled() const { return m_MeshEnabled; }
    uint32_t GetMeshType() const { return m_MeshType; }
    float GetMeshWidth() const { return m_MeshWidth; }
    float GetMeshHeight() const { return m_MeshHeight; }
    float GetMeshAngle() const { return m_MeshAngle; }
    uint32_t GetMeshSides() const { return m_MeshSides; }
    // A change invalidates the outline; switching off deletes the swept mesh.
    void SetMeshEnabled(bool enabled);
    // The other setters store a changed value and invalidate only while MeshEnabled.
    // A kind other than round or rectangular is taken as the default (round).
    void SetMeshType(unsigned type);
    // Clamped to [-1000, 1000]; the sweep uses the absolute value.
    void SetMeshWidth(float width);
    void SetMeshHeight(float height);
    // Kept and saved; the sweep does not use it.
    void SetMeshAngle(float angle);
    // Clamped to [3, 256]. Three sides are swept as four.
    void SetMeshSides(unsigned sides);

    // The outline, for shapes filled from outside (the camera icon). Point normals and path
    // parameters that do not match the point count are completed by the sweep.
    XVertices& GetPoints() { return m_Points; }
    XVertices& GetPointNormals() { return m_PointNormals; }
    XFloatArray& GetPathParameters() { return m_PathParameters; }
    XEdges& GetEdges() { return m_Edges; }

protected:
    // Store-if-changed for the parameter setters: a new value marks the outline stale.
    template <class T> void SetParam(T& member, T value)
    {
        if (value == member)
            return;
        member = value;
        ShapeInvalidate();
    }

    // Gives every point without a normal its normalised position, and every point its default
    // path parameter i / (n - 1) when their count differs (0 for a single point).
    void CompleteOutline();

    bool m_ShapeValid = false;
    XVertices m_Points;
    XVertices m_PointNormals;
    XFloatArray m_PathParameters;
    XEdges m_Edges;
    bool m_MeshEnabled = false;
    uint32_t m_MeshType = DefaultMeshType;
    float m_MeshWidth = DefaultMeshSize;
    float m_MeshHeight = DefaultMeshSize;
    float m_MeshAngle = 0.0f;
    uint32_t m_MeshSides = DefaultMeshSides;
    XMesh* m_Mesh = nullptr;

private:
    void SweepInto(XMesh& mesh);
};

// Interactive sizing shared by the outline shapes: the first left press fixes the construction
// plane and the start point; moves while one press is counted put the node at the middle of the
// drag and give the signed drag size along the plane; the second press ends the creation.
// Each user keeps one instance in its own unit (one creation at a time).
class XShapeDrag
{
public:
    enum Result
    {
        Ignored,  // nothing to do
        Resized,  // width and height hold the new size
        Finished, // creation is complete
    };

    void Start() { m_Presses = 0; }
    Result Step(XViewport* viewport, XMeshNode* node, XMouseEvent event, const XPoint& point, float& width,
                float& height);

private:
    unsigned m_Presses = 0;
    unsigned m_Plane = XAXIS_XY;
    XVertex m_Start{0, 0, 0};
};

// Field descriptors of shape parameters: "float" and "bitu32" values through the class's getter
// and setter, so the setters' clamping and invalidation apply.
template <class C, float (C::*Get)() const, void (C::*Set)(float)>
class XShapeFloatField : public XAccessorField<C, float, Get, Set>
{
public:
    explicit XShapeFloatField(const WCHAR* name) : XAccessorField<C, float, Get, Set>(name, u"float") {}
};

template <class C, uint32_t (C::*Get)() const, void (C::*Set)(unsigned)>
class XShapeU32Field : public XAccessorField<C, unsigned, Get, Set>
{
public:
    explicit XShapeU32Field(const WCHAR* name) : XAccessorField<C, unsigned, Get, Set>(name, u"bitu32") {}
};

// Abstract for the factory: Create gives null.
class XBaseShapeDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

extern XBaseShapeDesc BaseShapeDesc;
