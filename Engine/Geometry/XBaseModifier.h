// The base of the mesh modifiers: scene objects that change the mesh of every mesh object whose
// stack lists them. A modifier is shared, so it counts its holders and announces its changes to
// them (XRM_MODIFIER_CHANGED).
#pragma once

#include "Engine/Scene/XBaseObject.h"

#include <cstdint>

class XBaseMesh;
class XMesh;
class XMeshNode;

class XBaseModifier : public XBaseObject
{
public:
    XBaseModifier() = default;
    // Marks the modifier as going (count -1), tells its holders while it is still complete, then
    // leaves its scene.
    ~XBaseModifier() override;

    virtual void AddRef();
    // At 0 the modifier destroys itself. A modifier being destroyed (count below 0) ignores it.
    virtual void Release();
    // Changes the mesh in place.
    virtual void ApplyTo(unsigned frame, XViewport* viewport, XMeshNode* node, XBaseMesh* object,
                         XMesh* mesh) = 0;
    virtual void BeforeMeshRender(unsigned frame, XViewport* viewport, XMeshNode* node, XBaseMesh* object,
                                  XMesh* mesh, unsigned flags);
    virtual void AfterMeshRender(unsigned frame, XViewport* viewport, XMeshNode* node, XBaseMesh* object,
                                 XMesh* mesh, unsigned flags);
    virtual bool Editable();
    virtual void Edit(XScene* scene, XMeshNode* node, XBaseMesh* object, XMesh* mesh);

    // Tells every holder that the modifier changed, so that their meshes are rebuilt.
    void Changed();
    int32_t GetRefCount() const { return m_RefCount; }

private:
    int32_t m_RefCount = 0;
};
