// A bone of a skeleton: a scene node that owns the capsule (XBoneMesh) a skin weighs vertices
// by. Bones are numbered in pre-order for the blend matrices of the device; index 0 is kept for
// the skinned node's own matrix, so numbering normally starts at 1. Without a mesh object of its
// own the bone draws and picks its capsule.
#pragma once

#include "Engine/Geometry/XBoneMesh.h"
#include "Engine/Scene/XMeshNode.h"

#include <cstdint>

class XBone : public XMeshNode
{
public:
    static constexpr uint32_t InnerRadius1Chunk = 0xCC310001;
    static constexpr uint32_t InnerRadius2Chunk = 0xCC310002;
    static constexpr uint32_t OuterRadius1Chunk = 0xCC310003;
    static constexpr uint32_t OuterRadius2Chunk = 0xCC310004;
    static constexpr uint32_t HeightChunk = 0xCC310005;
    static constexpr uint32_t IndexChunk = 0xCC310006;
    static constexpr float DefaultInnerRadius = 0.5f;
    static constexpr float DefaultOuterRadius = 0.75f;
    static constexpr float DefaultHeight = 1.0f;
    static constexpr uint32_t NoIndex = 0xFFFFFFFF;
    // Bones numbered past this have no blend matrix (the device holds 256).
    static constexpr uint32_t MaxIndex = 255;

    // Name "Bone", not numbered, with a capsule of the bone's values.
    XBone();
    // The capsule goes with the bone.
    ~XBone() override;

    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    // The node's chunks, then 0xCC310000 with the five values and the index.
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0xCC310000 resets the values and the index, then reads those present through the
    // setters; the capsule ends with the values loaded. Other chunks go to the node.
    void Load(XScene* scene, XReader& reader) override;
    using XMeshNode::Load;
    using XMeshNode::Save;
    // The object's fields, then InnerRadius1, InnerRadius2, OuterRadius1, OuterRadius2, Height
    // and Index.
    void EnumerateFields(XPtrArray<XObjectField, 16>& fields) override;

    // The node's mesh object when it has one; the capsule otherwise. It stands for the bone in
    // picks and bounds, and is drawn unless it is a mesh object that is not renderable.
    XBaseMesh* GetShownMesh() const;
    bool IntersectRay(unsigned frame, XViewport* viewport, const XPoint& point, float& distance,
                      unsigned flags) override;
    bool HitTest(unsigned frame, XViewport* viewport, const XPoint& point, unsigned flags) override;
    void Render(unsigned frame, XViewport* viewport, unsigned flags) override;
    XBoundingBox GetMeshBoundingBox(unsigned frame) override;
    // Before the first press the bone follows the cursor on the construction plane, oriented by
    // it; from the press on the capsule takes the events (its drag sets the height). True when
    // complete.
    bool AllowMouseCreate() override;
    void MouseCreateStart() override;
    bool MouseCreateProc(XViewport* viewport, XMouseEvent event, const XPoint& point,
                         XShiftState shift) override;
    void MouseCreateFinish() override;

    // Numbers this bone `first` and its descendant bones after it in pre-order (children that
    // are not bones, and their subtrees, are skipped). Returns the next free index.
    unsigned SetupIndexes(unsigned first);
    // Loads the blend matrix of this bone and of every bone below it, depth first: world matrix
    // 256 + Index = N x inverse(A) x B, with N the skinned node's mesh matrix at frame 0 (the
    // identity without a node), A and B the bone's mesh matrix at frame 0 and at the frame. A bone
    // numbered past 255 (or not at all) loads none. Nothing without a device.
    void SetupMatrices(unsigned frame, IDirect3DDevice9* device, XMeshNode* node);

    float GetInnerRadius1() const { return m_InnerRadius1; }
    float GetInnerRadius2() const { return m_InnerRadius2; }
    float GetOuterRadius1() const { return m_OuterRadius1; }
    float GetOuterRadius2() const { return m_OuterRadius2; }
    float GetHeight() const { return m_Height; }
    // Clamped to [-1000, 1000]; a changed value is stored and passed to the capsule. Not a number
    // is refused.
    void SetInnerRadius1(float value);
    void SetInnerRadius2(float value);
    void SetOuterRadius1(float value);
    void SetOuterRadius2(float value);
    void SetHeight(float value);
    uint32_t GetIndex() const { return m_Index; }
    void SetIndex(unsigned index) { m_Index = index; }

    XBoneMesh* GetBoneMesh() const { return m_BoneMesh; }
    // The capsule points, in the bone's space.
    XVertex GetC1() const { return m_BoneMesh->GetC1(); }
    XVertex GetC1Min() const { return m_BoneMesh->GetC1Min(); }
    XVertex GetC1Max() const { return m_BoneMesh->GetC1Max(); }
    XVertex GetC2() const { return m_BoneMesh->GetC2(); }
    XVertex GetC2Min() const { return m_BoneMesh->GetC2Min(); }
    XVertex GetC2Max() const { return m_BoneMesh->GetC2Max(); }

private:
    // Stores a changed value; true when it changed.
    static bool Store(float& field, float value);
    // The capsule's height is what a drag changed; the bone keeps the same.
    void TakeMeshHeight() { m_Height = m_BoneMesh->GetHeight(); }

    float m_InnerRadius1 = DefaultInnerRadius;
    float m_InnerRadius2 = DefaultInnerRadius;
    float m_OuterRadius1 = DefaultOuterRadius;
    float m_OuterRadius2 = DefaultOuterRadius;
    float m_Height = DefaultHeight;
    uint32_t m_Index = NoIndex;
    XBoneMesh* m_BoneMesh;
};

// Not registered by the scene: added by whoever offers bones.
class XBoneDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

extern XBoneDesc BoneDesc;
