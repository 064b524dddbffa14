// The scene-graph node: places one mesh object in the scene with a local transform relative to its
// parent, an extra mesh offset (position, rotation, scale), a display colour, a material id,
// visibility and selection flags, a parent and children, and a set of key-frame animations.
// Lights, cameras, bones and node groups are nodes too. XMeshTree is the root of a scene's
// hierarchy and saves the parent/child links of all nodes as a chunk of their own.
//
// Matrices are row-vector (A x B applies A first). The world matrix at a frame is
// animation x local x parent's world, the animation left out at frame 0 (the rest pose); it is
// cached for one frame at a time. Re-parenting keeps the world placement at frame 0.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XColor.h"
#include "Components/XMatrix.h"
#include "Components/XPtrArray.h"
#include "Components/XVertex.h"
#include "Engine/Geometry/XAnimationSet.h"
#include "Engine/Scene/XBaseObject.h"
#include "Engine/Scene/XClassDesc.h"
#include "Engine/Views/XViewport.h"

#include <cstdint>

class XBaseMesh;
class XNodeGroup;

// What Move, Rotate and Scale change.
enum XTransformTarget : uint32_t
{
    XTT_NODE = 0,  // the node (with or without its children)
    XTT_PIVOT = 1, // the node's origin only: the mesh keeps its world place
    XTT_MESH = 2,  // the mesh offset only
};

class XMeshNode : public XBaseObject, public XAnimationSet
{
public:
    // Property ids; they are also the sub-chunk ids of the node chunk.
    static constexpr uint32_t PidMaterial = 0x36540001;
    static constexpr uint32_t PidColor = 0x36540002;
    static constexpr uint32_t PidMeshPosition = 0x36540004;  // read-only
    static constexpr uint32_t PidMeshRotation = 0x36540005;  // read-only
    static constexpr uint32_t PidMeshScale = 0x36540006;     // read-only
    static constexpr uint32_t PidMatrix = 0x36540007;        // the local matrix, read-only
    static constexpr uint32_t PidVisible = 0x36540009;
    static constexpr uint32_t PidSelected = 0x3654000A;
    static constexpr uint32_t PidSelectable = 0x3654000B;
    static constexpr uint32_t PidGroupped = 0x3654000C;      // read-only
    static constexpr uint32_t NoMaterial = 0xFFFFFFFF;

    // Takes the shared default colour, which then advances.
    XMeshNode();
    // Drops the mesh, hands the children to this node's parent (their world placement kept),
    // leaves the parent and the scene.
    ~XMeshNode() override;

    // From the mesh object only: deleted (1) forgets it without a Release, released (2) lets go
    // of it with SetMesh(null). Everything else is ignored.
    void Notification(XRefManager* sender, unsigned message, uintptr_t param) override;
    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    // The base chunk, the animation set's chunk, then chunk 0x36540000 with the fields; the
    // matrix saved is the WORLD matrix at frame 0, and the mesh object is saved by GUID.
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0x36540000 resets every field and reads the ones present; the saved matrix becomes
    // the local matrix (the tree chunk re-parents it later). Mesh objects are looked up in the
    // given scene; without one the node keeps no mesh.
    void Load(XScene* scene, XReader& reader) override;
    unsigned GetPropertyCount() const override;
    const XPropertyDesc* GetPropertyDesc(unsigned index) const override;
    void GetPropertyValue(unsigned id, VarUtils::XVariant& value) override;
    void SetPropertyValue(unsigned id, const VarUtils::XVariant& value) override;

    // Reached through the animation-set base, the node saves and loads as a whole, in its scene.
    void Save(XWriter& writer) const override;
    void Load(XReader& reader) override;

    virtual bool Editable();
    // Pushes the scene's "XAnimationEditor", made and registered on first use.
    virtual void Edit(XScene* scene);
    virtual bool MeshEditable();
    virtual void MeshEdit(XScene* scene);
    // Refuses null, this node, a node that is already a child and every ancestor of this node,
    // so no parent cycle can form. The child leaves its old parent and keeps its world placement
    // at frame 0.
    virtual void AddChild(XMeshNode* child);
    // Only a child of this node: it becomes a root with its world placement kept.
    virtual void RemoveChild(XMeshNode* child);
    // Brackets of an interactive transform (drag start, end, cancel); nothing here.
    virtual void BeginTransform();
    virtual void EndTransform();
    virtual void CancelTransform();
    // axes is the frame in which delta is expressed. With target XTT_NODE and withChildren false
    // the children are moved back, so they keep their world placement.
    virtual void Move(unsigned frame, const XMatrix& axes, const XVertex& delta, bool withChildren,
                      XTransformTarget target);
    // angles in radians (XMatrix::SetRotation order).
    virtual void Rotate(unsigned frame, const XMatrix& axes, const XVertex& angles, bool withChildren,
                        XTransformTarget target);
    virtual void Scale(unsigned frame, const XMatrix& axes, const XVertex& factors, bool withChildren,
                       XTransformTarget target);
    // The mesh object's tests with this node; false without a mesh.
    virtual bool IntersectRay(unsigned frame, XViewport* viewport, const XPoint& point, float& distance,
                              unsigned flags);
    virtual bool HitTest(unsigned frame, XViewport* viewport, const XPoint& point, unsigned flags);
    virtual void Render(unsigned frame, XViewport* viewport, unsigned flags);
    // The mesh object's box in mesh space; +-0.001 without a mesh.
    virtual XBoundingBox GetMeshBoundingBox(unsigned frame);
    virtual bool AllowMouseCreate();
    // One interactive creation at a time: the "placed" state is shared by all nodes.
    virtual void MouseCreateStart();
    // Before the first left press the node follows the cursor on the construction plane; after
    // it, the events go to a mesh object that allows mouse creation. True when complete.
    virtual bool MouseCreateProc(XViewport* viewport, XMouseEvent event, const XPoint& point,
                                 XShiftState shift);
    virtual void MouseCreateFinish();
    // Mesh, parent, colour, material, mesh offset, local matrix, caches and the visible and
    // selectable flags of other; not its name, GUID, children, selection, grouping or animations.
    virtual void Assign(const XMeshNode* other);
    // Drops the cached matrices of this node and its subtree.
    virtual void InvalidateNodeMatrix();
    virtual XBaseMesh* GetMesh() const;
    // Takes a count on the new mesh object and releases the old one (which may destroy it).
    virtual void SetMesh(XBaseMesh* mesh);
    virtual XMeshNode* GetParent() const;
    // Leaves the current parent, then joins p (none for null); the world placement is kept.
    virtual void SetParent(XMeshNode* parent);

    // World matrix at the frame and its inverse, cached per frame.
    void GetMatrix(unsigned frame, XMatrix& out);
    void GetMatrixInverse(unsigned frame, XMatrix& out);
    // The parent's; the identity without a parent.
    void GetParentMatrix(unsigned frame, XMatrix& out);
    void GetParentMatrixInverse(unsigned frame, XMatrix& out);
    // Scale(MeshScale) x MeshRotation x Translation(MeshPosition) x world: places the mesh.
    void GetMeshMatrix(unsigned frame, XMatrix& out);
    void SetMatrix(const XMatrix& local);
    void GetLocalMatrix(XMatrix& out) const { out = m_Matrix; }
    void ResetMatrix();
    // local := world x inverse(parent's world at the frame).
    void SetWorldMatrix(unsigned frame, const XMatrix& world);
    // The local translation row.
    void SetPosition(float x, float y, float z);
    void SetPosition(const XVertex& p) { SetPosition(p.x, p.y, p.z); }
    XVertex GetPosition() const { return XVertex(m_Matrix.m[3][0], m_Matrix.m[3][1], m_Matrix.m[3][2]); }
    void ResetPosition();
    XVertex GetWorldPosition(unsigned frame);
    void ResetMeshTransform(bool position, bool rotation, bool scale);
    const XVertex& GetMeshPosition() const { return m_MeshPosition; }
    const XMatrix& GetMeshRotation() const { return m_MeshRotation; }
    // Stores the matrix, then drops the cached matrices.
    void SetMeshRotation(const XMatrix& rotation);
    const XVertex& GetMeshScale() const { return m_MeshScale; }

    XColor GetColor() const { return m_Color; }
    void SetColor(XColor color) { m_Color = color; }
    uint32_t GetMaterial() const { return m_Material; }
    void SetMaterial(uint32_t material) { m_Material = material; }

    bool GetVisible() const { return m_Visible; }
    // Hiding also deselects.
    void SetVisible(bool visible);
    void SetVisible(bool visible, bool recursive);
    bool IsSelectable() const { return m_Selectable; }
    // Making the node unselectable also deselects it.
    void SetSelectable(bool selectable);
    // Selectable and not a group member: what the scene's selection accepts.
    bool CanSelect() const { return m_Selectable && !m_Groupped; }
    bool IsSelected() const { return m_Selected; }
    // Through the scene's selection; outside a scene nothing changes.
    void SetSelected(bool selected);
    bool IsGroupped() const { return m_Groupped; }

    // The animation the node plays at frames other than 0, or null.
    XAnimation* GetAnimation() const { return m_Animation; }
    // Should be one of the node's own animations (or null).
    void SetAnimation(XAnimation* animation);
    using XAnimationSet::GetAnimation;

    uint32_t GetChildCount() const { return m_Children.GetCount(); }
    // An index at or past the count: XException "Out of range.".
    XMeshNode* GetChild(uint32_t index) const { return m_Children[index]; }
    // Whether this node is node or one of its ancestors.
    bool IsAncestorOf(const XMeshNode* node) const;
    unsigned GetDescendantCount() const;
    // Appends every descendant, depth first, each node before its children; returns how many.
    unsigned EnumDescendants(XPtrArray<XMeshNode, 4>& out) const;

    // The colour the next node will take. Starts at 0xFF00007F; each node constructed advances it
    // by NextDefaultColor.
    static XColor GetDefaultColor();
    // The low 24 bits rotated left by 2, alpha forced to 0xFF.
    static XColor NextDefaultColor(XColor color);

protected:
    // The node's chunk writer and reader, without the base's and the animations' chunks.
    void SaveNodeChunk(XWriter& writer);
    void LoadNodeChunk(XScene* scene, XReader& reader);

    XColor m_Color;
    uint32_t m_Material = NoMaterial;
    XVertex m_MeshPosition{0, 0, 0};
    XMatrix m_MeshRotation{1.0f};
    XVertex m_MeshScale{1, 1, 1};
    XMatrix m_Matrix{1.0f};
    XAnimation* m_Animation = nullptr;
    uint32_t m_WorldStamp = 0xFFFFFFFF;
    uint32_t m_InverseStamp = 0xFFFFFFFF;
    XMatrix m_World{1.0f};
    XMatrix m_WorldInverse{1.0f};
    XReference<XBaseMesh> m_Mesh;
    XMeshNode* m_Parent = nullptr;
    XPtrArray<XMeshNode, 4> m_Children;
    bool m_Visible = true;
    bool m_Selectable = true;
    bool m_Selected = false;
    bool m_Groupped = false;

private:
    friend class XSceneLink; // stores the selection flag for the scene
    friend class XNodeGroup; // keeps its members' Groupped flags
};

// The root of a scene's hierarchy; the scene makes one and owns it (no descriptor).
class XMeshTree : public XMeshNode
{
public:
    static constexpr uint32_t NodeChunk = 0xFF010004;     // GUID, then nested children
    static constexpr uint32_t NodeNameChunk = 0xFF010003; // a name instead of the GUID (older files)
    // Deeper nesting in a tree chunk is skipped: it can only come from a damaged file.
    static constexpr unsigned MaxLoadDepth = 4096;

    XMeshTree();

    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    // Only chunk 0xFF010000: for each child of the root, a chunk 0xFF010004 with its GUID and
    // its own children nested the same way.
    void Save(XScene* scene, XWriter& writer) override;
    // Only chunk 0xFF010000: re-parents the nodes it names (found by GUID or name in the scene);
    // unknown nodes and links that would make a cycle are skipped.
    void Load(XScene* scene, XReader& reader) override;

    virtual void SaveNode(XScene* scene, XWriter& writer, XMeshNode* node);
    virtual void LoadNode(XScene* scene, XReader& reader, XMeshNode* parent);
    // Every node below the root, depth first, each before its children.
    virtual void EnumNodes(XPtrArray<XMeshNode, 4>& out);
    // The same, only the selected ones (children of unselected nodes are visited too).
    virtual void EnumSelNodes(XPtrArray<XMeshNode, 4>& out);

private:
    void LoadLevel(XScene* scene, XReader& reader, XMeshNode* parent, unsigned depth);
};

class XMeshNodeDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

extern XMeshNodeDesc MeshNodeDesc;
