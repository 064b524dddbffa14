// Draws a camera-facing textured square at every vertex of the mesh it modifies, its texture
// rocking slowly back and forth. It changes no mesh data: all its work is done before the mesh is
// rendered.
#pragma once

#include "Engine/Geometry/XBaseModifier.h"
#include "Engine/Scene/XClassDesc.h"

class XBaseMaterial;

class XSpriteModifier : public XBaseModifier
{
public:
    static constexpr float DefaultSize = 0.1f;
    static constexpr float MinSize = 0.01f;
    static constexpr float MaxSize = 1000.0f;

    XSpriteModifier();
    ~XSpriteModifier() override = default;

    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0xCC400000 resets Size to its default, then applies each size it holds (clamped);
    // other chunks go to the base.
    void Load(XScene* scene, XReader& reader) override;
    void EnumerateFields(XPtrArray<XObjectField, 16>& fields) override;

    void ApplyTo(unsigned frame, XViewport* viewport, XMeshNode* node, XBaseMesh* object,
                 XMesh* mesh) override;
    // Draws the sprites with the node's material from its scene (XSceneLink::GetMaterial; vertex
    // colours in the node's colour without one) and advances the rocking shared by all sprite modifiers, at most once per 50 ms of
    // GetTickCount.
    void BeforeMeshRender(unsigned frame, XViewport* viewport, XMeshNode* node, XBaseMesh* object,
                          XMesh* mesh, unsigned flags) override;
    void AfterMeshRender(unsigned frame, XViewport* viewport, XMeshNode* node, XBaseMesh* object,
                         XMesh* mesh, unsigned flags) override;
    bool Editable() override;
    void Edit(XScene* scene, XMeshNode* node, XBaseMesh* object, XMesh* mesh) override;

    // Edge length of each square in mesh units, kept within [0.01, 1000]. Read only when drawing,
    // so changing it tells no one.
    float GetSize() const { return m_Size; }
    void SetSize(float size);

private:
    float m_Size = DefaultSize;
};

class XSpriteModifierDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

extern XSpriteModifierDesc SpriteModifierDesc;
