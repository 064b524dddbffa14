// Scales and offsets the texture coordinates of a mesh: u' = u * UScale + UOffset, and the same
// for v.
#pragma once

#include "Engine/Geometry/XBaseModifier.h"
#include "Engine/Scene/XClassDesc.h"

class XUVModifier : public XBaseModifier
{
public:
    XUVModifier();
    ~XUVModifier() override = default;

    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0xCC1F0000 resets the four values (without telling anyone), then applies each value it
    // holds through its setter; other chunks go to the base.
    void Load(XScene* scene, XReader& reader) override;
    void EnumerateFields(XPtrArray<XObjectField, 16>& fields) override;
    void ApplyTo(unsigned frame, XViewport* viewport, XMeshNode* node, XBaseMesh* object,
                 XMesh* mesh) override;

    float GetUOffset() const { return m_UOffset; }
    float GetVOffset() const { return m_VOffset; }
    float GetUScale() const { return m_UScale; }
    float GetVScale() const { return m_VScale; }
    // Each tells the holders (Changed) only when the value changes; NaN never equals.
    void SetUOffset(float value);
    void SetVOffset(float value);
    void SetUScale(float value);
    void SetVScale(float value);

private:
    void Set(float& field, float value);

    float m_UOffset = 0;
    float m_VOffset = 0;
    float m_UScale = 1;
    float m_VScale = 1;
};

class XUVModifierDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

// The descriptor a scene registers for the class.
extern XUVModifierDesc UVModifierDesc;
