// The fixed-function material: a lighting material, alpha test and alpha blending, and up to
// eight texture channels, map i driving texture stage i.
#pragma once

#include "Components/XPtrArray.h"
#include "Engine/Scene/XBaseMaterial.h"
#include "Engine/Scene/XClassDesc.h"
#include "Engine/Scene/XMap.h"
#include "Platform/D3D9/D3D9.h"

#include <cstdint>

class XMaterial : public XBaseMaterial
{
public:
    // Texture stages a material drives.
    static constexpr unsigned MaxMaps = 8;

    enum : uint32_t
    {
        PidDiffuse = 0x25340003,  // "XColor": packed from the four floats
        PidAmbient = 0x25340004,  // "XColor"
        PidSpecular = 0x25340005, // "XColor"
        PidEmissive = 0x25340006, // "XColor"
        PidPower = 0x25340007,    // "float"
    };

    // One default map; white diffuse, black ambient, specular and emissive, power 1; no alpha
    // test (reference 0, D3DCMP_ALWAYS); no blending (D3DBLEND_ONE, D3DBLEND_ZERO).
    XMaterial();
    // Deletes the maps, which lets go of their textures. Never throws.
    ~XMaterial() override;

    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0x25340000 deletes the maps and resets the material, reads it (a ninth map throws as
    // AddMap does), adds one default map when the chunk held none, and tells the dependents
    // (0x400000, 0x25340000). Other chunks go to the base.
    void Load(XScene* scene, XReader& reader) override;
    unsigned GetPropertyCount() const override;
    const XPropertyDesc* GetPropertyDesc(unsigned index) const override;
    void GetPropertyValue(unsigned id, VarUtils::XVariant& value) override;
    void SetPropertyValue(unsigned id, const VarUtils::XVariant& value) override;
    // A texture of one of the maps that is deleted or asks to be let go of leaves every map that
    // shows it (SetMapTexture with null).
    void Notification(XRefManager* sender, unsigned message, uintptr_t param) override;

    // Sets the lighting material, applies the maps to stages 0, 1 ..., disables the stage after
    // the last map, and switches alpha test and blending on when the material uses them.
    void BeforeRender(unsigned frame, XViewport* viewport) override;
    // Sets an all-zero lighting material, unapplies the maps, disables stage 0 and switches off
    // what BeforeRender switched on.
    void AfterRender(unsigned frame, XViewport* viewport) override;

    unsigned GetMapCount() const { return m_Maps.GetCount(); }
    // XException "Out of range." for an index not below the count.
    XMap* GetMap(unsigned index) const { return m_Maps[index]; }
    // Takes the map over (it must have been made for this material). With eight maps already:
    // XException "Превышено максимальное число каналов для материала!" and the map stays the
    // caller's.
    void AddMap(XMap* map);
    // A new default map at index (appended when index is not below the count); the same limit.
    void InsertMap(unsigned index);
    void ClearMaps();
    // Nothing for an index not below the count or a map that already shows the texture;
    // otherwise the map shows it and the dependents hear (0x400000, 0x10000000).
    void SetMapTexture(unsigned index, XBaseTexture* texture);

    const D3DMATERIAL9& GetD3DMaterial() const { return m_Material; }
    void SetD3DMaterial(const D3DMATERIAL9& material) { m_Material = material; }
    bool GetAlphaTest() const { return m_AlphaTest != 0; }
    void SetAlphaTest(bool enable) { m_AlphaTest = enable ? 1 : 0; }
    uint32_t GetAlphaRef() const { return m_AlphaRef; }
    void SetAlphaRef(uint32_t value) { m_AlphaRef = value; }
    uint32_t GetAlphaFunc() const { return m_AlphaFunc; }
    void SetAlphaFunc(uint32_t value) { m_AlphaFunc = value; }
    bool GetAlphaBlend() const { return m_AlphaBlend != 0; }
    void SetAlphaBlend(bool enable) { m_AlphaBlend = enable ? 1 : 0; }
    uint32_t GetSrcBlend() const { return m_SrcBlend; }
    void SetSrcBlend(uint32_t value) { m_SrcBlend = value; }
    uint32_t GetDestBlend() const { return m_DestBlend; }
    void SetDestBlend(uint32_t value) { m_DestBlend = value; }

private:
    void ResetMaterial();

    XPtrOwnArray<XMap, 4> m_Maps;
    D3DMATERIAL9 m_Material{};
    uint32_t m_AlphaTest = 0;
    uint32_t m_AlphaRef = 0;
    uint32_t m_AlphaFunc = D3DCMP_ALWAYS;
    uint32_t m_AlphaBlend = 0;
    uint32_t m_SrcBlend = D3DBLEND_ONE;
    uint32_t m_DestBlend = D3DBLEND_ZERO;
};

class XMaterialDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

extern XMaterialDesc MaterialDesc;
