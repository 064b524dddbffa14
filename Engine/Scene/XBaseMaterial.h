// The base of materials: a scene object that sets up the device before a node's faces are drawn
// and restores it after. Nodes name their material by its slot in the scene's material list.
#pragma once

#include "Engine/Scene/XBaseObject.h"

#include <cstdint>

class XBaseMaterial : public XBaseObject
{
public:
    // The slot a material has before a scene gives it one.
    static constexpr uint32_t NoIndex = 0xFFFFFFFF;
    static constexpr uint32_t PidIndex = 0x44520001;

    XBaseMaterial();
    // Leaves the scene. Never throws.
    ~XBaseMaterial() override;

    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0x44520000 resets Index and reads it; other chunks go to the object base.
    void Load(XScene* scene, XReader& reader) override;
    unsigned GetPropertyCount() const override;
    const XPropertyDesc* GetPropertyDesc(unsigned index) const override;
    void GetPropertyValue(unsigned id, VarUtils::XVariant& value) override;
    // Index is read-only here: the scene assigns it.
    void SetPropertyValue(unsigned id, const VarUtils::XVariant& value) override;

    // Called around the drawing of faces that use the material.
    virtual void BeforeRender(unsigned frame, XViewport* viewport) = 0;
    virtual void AfterRender(unsigned frame, XViewport* viewport) = 0;

    uint32_t GetIndex() const { return m_Index; }
    void SetIndex(uint32_t index) { m_Index = index; }

private:
    uint32_t m_Index = NoIndex;
};
