// Binds a triangle mesh to a skeleton of bones. Applied to the derived mesh it weighs every
// vertex by the bones' capsules in the rest pose (frame 0): up to three bones a vertex, the first
// three of the skeleton in depth-first order that reach it, normalised; a vertex no bone reaches
// follows the node's own matrix (index 0). Drawn at any other frame, the mesh is blended on the
// device by one matrix per bone. The source mesh is never touched.
#pragma once

#include "Engine/Geometry/XBaseModifier.h"
#include "Engine/Geometry/XBone.h"
#include "Engine/Scene/XClassDesc.h"

class XSkinModifier : public XBaseModifier
{
public:
    static constexpr uint32_t BoneChunk = 0xCC2F0001;
    static constexpr uint32_t AutoUpdateChunk = 0xCC2F0002;
    static constexpr uint32_t PaintMeshChunk = 0xCC2F0003;

    // Name "SkinModifier", no bone, AutoUpdate and PaintMesh off.
    XSkinModifier();
    // Lets go of the bone first.
    ~XSkinModifier() override;

    // From the root bone: deleted (1) forgets it, released (2) lets go of it (SetBone(null)).
    void Notification(XRefManager* sender, unsigned message, uintptr_t param) override;
    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    // The object's chunks, then 0xCC2F0000: the bone's GUID (only with a bone), AutoUpdate and
    // PaintMesh as u32 0 or 1.
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0xCC2F0000 clears the bone and both flags, then reads what it holds: the bone is
    // looked up by GUID in the given scene (without one, or when that object is not a bone, the
    // modifier stays without). Other chunks go to the base.
    void Load(XScene* scene, XReader& reader) override;
    // The object's fields, then AutoUpdate and PaintMesh.
    void EnumerateFields(XPtrArray<XObjectField, 16>& fields) override;

    // With a bone, a node and a mesh, and AutoUpdate on: writes the weights (and with PaintMesh
    // the vertex colours) into the mesh. The frame and viewport are not used.
    void ApplyTo(unsigned frame, XViewport* viewport, XMeshNode* node, XBaseMesh* object,
                 XMesh* mesh) override;
    // With a bone, at frames other than 0, for a mesh that carries weights: indexed blending with
    // three weights on, one matrix per bone loaded (XBone::SetupMatrices).
    void BeforeMeshRender(unsigned frame, XViewport* viewport, XMeshNode* node, XBaseMesh* object,
                          XMesh* mesh, unsigned flags) override;
    // Under the same conditions: blending off again.
    void AfterMeshRender(unsigned frame, XViewport* viewport, XMeshNode* node, XBaseMesh* object, XMesh* mesh,
                         unsigned flags) override;
    bool Editable() override;
    // Pushes the scene's "XSkinEditor" (made and registered when there is none), bound to the
    // object when it is a triangle mesh (else to none), the node and this modifier.
    void Edit(XScene* scene, XMeshNode* node, XBaseMesh* object, XMesh* mesh) override;

    virtual XBone* GetBone() const;
    // Retargets the reference when the bone differs; nothing else.
    virtual void SetBone(XBone* bone);

    bool GetAutoUpdate() const { return m_AutoUpdate; }
    // Switching on tells the meshes to rebuild (and so to weigh); switching off keeps the weights.
    void SetAutoUpdate(bool enabled);
    bool GetPaintMesh() const { return m_PaintMesh; }
    // A change tells the meshes to rebuild.
    void SetPaintMesh(bool enabled);

private:
    XReference<XBone> m_Bone;
    bool m_AutoUpdate = false;
    bool m_PaintMesh = false;
};

// Not registered by the scene: added by whoever offers skinning.
class XSkinModifierDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

extern XSkinModifierDesc SkinModifierDesc;
