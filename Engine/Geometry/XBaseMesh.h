// The base of every object a node places that yields triangles. It counts the nodes that show
// it, rebuilds its mesh lazily (the mesh-valid flag), applies a stack of shared modifiers to the
// mesh it generates, picks by bounding box or by face, drives interactive creation by mouse and
// converts itself into an editable triangle mesh.
#pragma once

#include "Components/XPtrArray.h"
#include "Components/XVertex.h"
#include "Engine/Geometry/XBaseModifier.h"
#include "Engine/Scene/XBaseObject.h"
#include "Engine/Scene/XClassDesc.h"
#include "Engine/Views/XViewport.h"

#include <cstdint>

class XMesh;
class XMeshNode;

// IntersectRay flag: test the faces of the mesh, not only its bounding box.
constexpr unsigned XPICK_FACES = 2;

// The pick ray through a viewport point in the space of an object that `world` places. A hit's
// distance is its signed ray parameter, which grows with the depth along the view in every object's
// space, so the least is what the viewport draws in front; a hit at a depth the viewport does not
// draw (behind a perspective eye, past a clipping plane) never counts.
struct XPickRay
{
    XPickRay(unsigned frame, XViewport* viewport, const XPoint& point, const XMatrix& world);
    // Lowers distance to a drawn hit on the triangle's front (back faces are culled, as every pick
    // test here).
    void Hit(const XVertex& a, const XVertex& b, const XVertex& c, float& distance) const;

    XVertex origin, direction;
    float nearest, farthest; // the ray parameters drawn
};

// The ray against the box's twelve outward-facing triangles, two tiling each face: lowers distance
// to where the drawn part of the ray enters the box (the near plane when that is inside it).
void IntersectBox(const XBoundingBox& box, const XPickRay& ray, float& distance);

class XBaseMesh : public XBaseObject
{
public:
    XBaseMesh();
    // Releases every modifier of the stack, then leaves the scene.
    ~XBaseMesh() override;

    // From a modifier in the stack: deleted (1) or released (2) takes it off the stack, changed
    // (XRM_MODIFIER_CHANGED) invalidates the mesh. Other messages are ignored.
    void Notification(XRefManager* sender, unsigned message, uintptr_t param) override;
    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    // The base chunks, then chunk 0x42710000 holding, for a non-empty stack, 0x42710001: u32 count
    // and the modifiers' GUIDs.
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0x42710000 replaces the stack with the modifiers its GUIDs name in this object's
    // scene (other objects and unknown GUIDs are ignored); other chunks go to the base.
    void Load(XScene* scene, XReader& reader) override;

    // Applies the modifiers in stack order to the mesh (when there is one), then marks the mesh
    // valid.
    virtual void MeshValidate(unsigned frame, XViewport* viewport, XMeshNode* node, XMesh* mesh);
    virtual void MeshInvalidate();
    virtual bool IsMeshValid(unsigned frame);
    // Counts the nodes that show the object; the last Release (count 0 or below) destroys it.
    virtual void AddRef();
    virtual void Release();
    // The pick ray through the screen point against the bounding box, and with XPICK_FACES
    // against the faces of the mesh; distance is the nearest hit's (XPickRay). Needs a viewport.
    virtual bool IntersectRay(unsigned frame, XViewport* viewport, XMeshNode* node, const XPoint& point,
                              float& distance, unsigned flags);
    virtual bool HitTest(unsigned frame, XViewport* viewport, XMeshNode* node, const XPoint& point,
                         unsigned flags);
    virtual bool Renderable();
    // The modifiers' BeforeMeshRender hooks first to last around the mesh's drawing, then their
    // AfterMeshRender hooks last to first.
    virtual void Render(unsigned frame, XViewport* viewport, XMeshNode* node, unsigned flags);
    virtual bool Editable();
    virtual void Edit(XScene* scene, XMeshNode* node);
    virtual XBoundingBox GetBoundingBox(unsigned frame) = 0;
    // The object's modified mesh at the frame, rebuilt when stale; null when there is none.
    virtual XMesh* GetMesh(unsigned frame, XViewport* viewport, XMeshNode* node) = 0;
    // Interactive creation: sizeable classes answer true and take every mouse event after the
    // node's first press until MouseCreateProc answers true (complete).
    virtual bool AllowMouseCreate();
    virtual void MouseCreateStart();
    virtual bool MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event, const XPoint& point,
                                 XShiftState shift);
    virtual void MouseCreateFinish();
    // Only "XTriMesh".
    virtual bool CanConvertToType(const XString& type);
    // Replaces this object by an XTriMesh holding its mesh at the frame, under the same name,
    // GUID, scene, holders and node count, and destroys this object. Null (nothing changes) for
    // another type or when there is no mesh.
    virtual XBaseMesh* ConvertToType(unsigned frame, const XString& type);

    // Appends the modifier (non-null) unless it is already in the stack; takes a count on it.
    void AddModifier(XBaseModifier* modifier);
    // Nothing when it is not in the stack; later entries move down, its count is released.
    void RemoveModifier(XBaseModifier* modifier);
    void RemoveModifier(uint32_t index);
    void ClearModifiers();
    // Index of the modifier, or 0xFFFFFFFF.
    uint32_t FindModifier(XBaseModifier* modifier) const;
    // The first modifier in stack order with this class name (case-sensitive), or null.
    XBaseModifier* FindModifierClass(const XString& className) const;
    uint32_t GetModifierCount() const { return m_Modifiers.GetCount(); }
    // An index at or past the count: XException "Out of range.".
    XBaseModifier* GetModifier(uint32_t index) const { return m_Modifiers[index]->Get(); }
    int32_t GetRefCount() const { return m_RefCount; }

protected:
    bool m_MeshValid = false;
    int32_t m_RefCount = 0;
    XPtrOwnArray<XReference<XBaseModifier>, 4> m_Modifiers;
};

// Abstract: Create gives null.
class XBaseMeshDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

extern XBaseMeshDesc BaseMeshDesc;
