// The scene object of a free-form triangle mesh: a source mesh that is saved, loaded and edited,
// and a derived mesh, the source with the modifier stack applied, that is drawn and picked.
#pragma once

#include "Engine/Geometry/XBaseMesh.h"
#include "Engine/Geometry/XMesh.h"

class XTriMesh : public XBaseMesh
{
public:
    XTriMesh();
    ~XTriMesh() override;

    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    // The base chunks, then 0x98230000 { 0x98230001 { the source mesh's chunk } }.
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0x98230000 gives each chunk inside its 0x98230001 sub-chunks to the source mesh, then
    // invalidates; other chunks go to the base.
    void Load(XScene* scene, XReader& reader) override;
    void EnumerateFields(XPtrArray<XObjectField, 16>& fields) override;
    // Also marks both meshes' derived data stale.
    void MeshInvalidate() override;
    void Render(unsigned frame, XViewport* viewport, XMeshNode* node, unsigned flags) override;
    bool Editable() override;
    // Finds the scene's "XTriMeshEditor" (or makes and registers one), binds it to this object
    // and the node, and pushes it.
    void Edit(XScene* scene, XMeshNode* node) override;
    // The source mesh's box, whatever the modifiers do.
    XBoundingBox GetBoundingBox(unsigned frame) override;
    // The derived mesh, rebuilt from the source through the modifier stack when stale.
    XMesh* GetMesh(unsigned frame, XViewport* viewport, XMeshNode* node) override;
    // The source mesh: what is saved, edited and read by the skin-model writer.
    XMesh* GetMesh() { return &m_Source; }

    uint32_t GetSelectionLevel() const { return m_Source.GetSelectionLevel(); }
    void SetSelectionLevel(uint32_t level) { m_Source.SetSelectionLevel(level); }
    uint32_t GetVertexCount() const { return m_Source.GetVertexCount(); }
    uint32_t GetFaceCount() const { return m_Source.GetFaceCount(); }
    bool GetUseFaceSubsets() const { return m_Source.GetUseFaceSubsets(); }
    // Enabling rebuilds the source's face groups (which may reorder its faces) and invalidates.
    void SetUseFaceSubsets(bool enabled);

private:
    XMesh m_Source;
    XMesh m_Derived;
};

class XTriMeshDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

// The descriptor a scene registers for the class.
extern XTriMeshDesc TriMeshDesc;
