// Lights: scene nodes without a mesh object that carry a Direct3D light record and an Active flag.
// The node's placement gives the light its position and its direction (the node's negative local
// X axis); the scene hands GetLight records to the device when it renders. In the viewports a
// light is a small solid icon in the node's colour, picked like a mesh. The three kinds differ
// only in the light type, the icon and the picking box.
#pragma once

#include "Engine/Scene/XMeshNode.h"
#include "Platform/D3D9/D3D9.h"

#include <cstdint>

// A light's icon: positions in the light's own space and triangles as index triples.
struct XLightIcon
{
    const XVertex* vertices;
    uint32_t vertexCount;
    const uint32_t* indices; // three per triangle
    uint32_t triangleCount;
};

class XBaseLight : public XMeshNode
{
public:
    // Property ids. Active is also the sub-chunk that saves it; the record is sub-chunk 0x45600001.
    static constexpr uint32_t PidActive = 0x45600002;
    static constexpr uint32_t PidDiffuseColor = 1000;
    static constexpr uint32_t PidAmbientColor = 1001;
    static constexpr uint32_t PidSpecularColor = 1002;
    static constexpr uint32_t PidRange = 1003;
    static constexpr uint32_t PidFalloff = 1004;
    static constexpr uint32_t PidAttenuation0 = 1005;
    static constexpr uint32_t PidAttenuation1 = 1006;
    static constexpr uint32_t PidAttenuation2 = 1007;
    static constexpr uint32_t PidTheta = 1008;
    static constexpr uint32_t PidPhi = 1009;
    static constexpr uint32_t RecordChunk = 0x45600001;

    // Name "Light", the default record with the class's type, active.
    explicit XBaseLight(D3DLIGHTTYPE type = D3DLIGHT_POINT);
    ~XBaseLight() override;

    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    // The node's chunks, then chunk 0x45600000: the record as GetLight(0) gives it (104 bytes)
    // and the Active flag (u8).
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0x45600000 starts from the default record and Active true, reads the sub-chunks
    // present, and ends with the class's own type whatever the chunk held. A record sub-chunk
    // shorter than 104 bytes: FileUtils::XIOError.
    void Load(XScene* scene, XReader& reader) override;
    // Eleven rows of the light, then the node's.
    unsigned GetPropertyCount() const override;
    const XPropertyDesc* GetPropertyDesc(unsigned index) const override;
    // Colours travel packed (XColor ARGB) and are stored as four floats.
    void GetPropertyValue(unsigned id, VarUtils::XVariant& value) override;
    void SetPropertyValue(unsigned id, const VarUtils::XVariant& value) override;
    void Move(unsigned frame, const XMatrix& axes, const XVertex& delta, bool withChildren,
              XTransformTarget target) override;
    void Rotate(unsigned frame, const XMatrix& axes, const XVertex& angles, bool withChildren,
                XTransformTarget target) override;
    void Scale(unsigned frame, const XMatrix& axes, const XVertex& factors, bool withChildren,
               XTransformTarget target) override;
    // Any change of the node's placement (its own, a parent's, its mesh offset) also makes the
    // record's position and direction stale: another caller may bring the node's matrix cache
    // back to the same frame before the next GetLight.
    void InvalidateNodeMatrix() override;

    // The record, with Position and Direction brought up to date for the frame when they are
    // stale. Direction is the negated first row of the mesh matrix, of length 1 (left as is when
    // that row is zero or not a number).
    virtual const D3DLIGHT9* GetLight(unsigned frame);
    virtual bool GetActive();
    virtual void SetActive(bool active);

    D3DLIGHTTYPE GetLightType() const { return m_Type; }
    // Every new light and every loaded light chunk starts from this record.
    static D3DLIGHT9 DefaultLight(D3DLIGHTTYPE type);

protected:
    // Icon drawing and picking shared by the kinds; flags are ignored.
    void RenderIcon(unsigned frame, XViewport* viewport, const XLightIcon& icon);
    bool IntersectIcon(unsigned frame, XViewport* viewport, const XPoint& point, float& distance,
                       const XLightIcon& icon);

    D3DLIGHT9 m_Light;
    bool m_LightValid = false;
    bool m_Active = true;
    D3DLIGHTTYPE m_Type;
};

// Icon: a double pyramid (6 vertices, 8 triangles); box (-0.7, -1, -0.7) to (0.7, 1, 0.7).
class XPointLight : public XBaseLight
{
public:
    XPointLight();
    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    bool IntersectRay(unsigned frame, XViewport* viewport, const XPoint& point, float& distance,
                      unsigned flags) override;
    bool HitTest(unsigned frame, XViewport* viewport, const XPoint& point, unsigned flags) override;
    void Render(unsigned frame, XViewport* viewport, unsigned flags) override;
    XBoundingBox GetMeshBoundingBox(unsigned frame) override;

    static const XLightIcon Icon;
};

// Spot and directional lights share one icon: a lamp (13 vertices, 18 triangles) in the box
// (-0.5, -0.3, -0.3) to (0.5, 0.3, 0.3).
class XSpotLight : public XBaseLight
{
public:
    XSpotLight();
    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    bool IntersectRay(unsigned frame, XViewport* viewport, const XPoint& point, float& distance,
                      unsigned flags) override;
    bool HitTest(unsigned frame, XViewport* viewport, const XPoint& point, unsigned flags) override;
    void Render(unsigned frame, XViewport* viewport, unsigned flags) override;
    XBoundingBox GetMeshBoundingBox(unsigned frame) override;

    static const XLightIcon Icon;
};

class XDirectionalLight : public XBaseLight
{
public:
    XDirectionalLight();
    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    bool IntersectRay(unsigned frame, XViewport* viewport, const XPoint& point, float& distance,
                      unsigned flags) override;
    bool HitTest(unsigned frame, XViewport* viewport, const XPoint& point, unsigned flags) override;
    void Render(unsigned frame, XViewport* viewport, unsigned flags) override;
    XBoundingBox GetMeshBoundingBox(unsigned frame) override;
};

// Category 0x110 each; the base class is abstract for the factory.
class XBaseLightDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

class XPointLightDesc : public XBaseLightDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
};

class XSpotLightDesc : public XBaseLightDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
};

class XDirectionalLightDesc : public XBaseLightDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
};

extern XBaseLightDesc BaseLightDesc;
extern XPointLightDesc PointLightDesc;
extern XSpotLightDesc SpotLightDesc;
extern XDirectionalLightDesc DirectionalLightDesc;
