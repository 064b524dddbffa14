// A box-shaped emitter without triangles: particles are born at random points of the box's bottom
// face, rise straight up through the box during their lifetime and are drawn as point sprites.
// The simulation runs inside Render, at most once per update interval of the tick count; the box
// itself is shown by corner brackets. Particles exist only while the object is rendered: a long
// pause gives one emission burst, bounded by the maximum count.
#pragma once

#include "Components/XArray.h"
#include "Engine/Geometry/XBaseMesh.h"

#include <cstdint>
#include <functional>
#include <type_traits>

// One live particle.
struct PSParticle
{
    uint32_t birth;    // tick count, ms
    uint32_t lifetime; // ms
    uint32_t death;    // birth + lifetime
    float x, y, z;     // local position
    float size;        // point size
};
static_assert(sizeof(PSParticle) == 28 && std::is_trivially_copyable_v<PSParticle>);

// One point of the draw stream (XYZ | PSIZE | DIFFUSE).
struct PSVertex
{
    float x, y, z;
    float size;
    uint32_t color; // 0xAARRGGBB
};
static_assert(sizeof(PSVertex) == 20 && std::is_trivially_copyable_v<PSVertex>);

constexpr DWORD PSVERTEX_FVF = 0x62;

class XParticleSystem : public XBaseMesh
{
public:
    static constexpr uint32_t WidthChunk = 0xF8990001;
    static constexpr uint32_t HeightChunk = 0xF8990002;
    static constexpr uint32_t DepthChunk = 0xF8990003;
    // Where new particles' random numbers come from (std::rand unless replaced): one call per
    // number, taken modulo 1000 as unsigned.
    using RandomSource = std::function<int()>;

    // Name "ParticleSystem", a 1 x 1 x 1 box, no particles.
    XParticleSystem();
    ~XParticleSystem() override;

    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    // The mesh chunks, then 0xF8990000 with width, height and depth.
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0xF8990000 passes each sub-chunk to its setter (no reset first); other chunks go to the
    // mesh base.
    void Load(XScene* scene, XReader& reader) override;
    // The base's fields, then Width, Height, Depth.
    void EnumerateFields(XPtrArray<XObjectField, 16>& fields) override;
    // Nothing is kept on the device: vertices are drawn from memory.
    void CreateDevice(IDirect3DDevice9* device) override;
    void ReleaseDevice(IDirect3DDevice9* device) override;
    void InvalidateDevice(IDirect3DDevice9* device) override;
    void RestoreDevice(IDirect3DDevice9* device) override;
    bool Renderable() override;
    // The brackets; then, for a box of at least 1 in every dimension, a simulation step when the
    // update interval has passed, and the particles as point sprites.
    void Render(unsigned frame, XViewport* viewport, XMeshNode* node, unsigned flags) override;
    bool Editable() override;
    // +-|size| / 2 on every axis.
    XBoundingBox GetBoundingBox(unsigned frame) override;
    // Validates (no modifier runs) and returns null: there is no mesh.
    XMesh* GetMesh(unsigned frame, XViewport* viewport, XMeshNode* node) override;
    bool AllowMouseCreate() override;
    void MouseCreateStart() override;
    // First press: plane and start; moves: the base rectangle; second press: depth follows the
    // cursor; third press: done (true).
    bool MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event, const XPoint& point,
                         XShiftState shift) override;
    void MouseCreateFinish() override;

    float GetWidth() const { return m_Width; }
    float GetHeight() const { return m_Height; }
    float GetDepth() const { return m_Depth; }
    // No clamping; a change invalidates the mesh.
    void SetWidth(float width);
    void SetHeight(float height);
    void SetDepth(float depth);
    // All three stored as given, and the mesh invalidated.
    void SetWHD(float width, float height, float depth);

    uint32_t GetParticleCount() const { return m_Particles.GetCount(); }
    const PSParticle* GetParticles() const { return m_Particles.GetData(); }
    const XArray<PSVertex, 32>& GetVertices() const { return m_Vertices; }
    float GetCarry() const { return m_Carry; }
    uint32_t GetLastUpdate() const { return m_LastUpdate; }
    // Null restores std::rand.
    void SetRandomSource(RandomSource source);

private:
    // Ages, removes and emits particles for the tick count `now`, then refills the vertices.
    void Step(uint32_t now, uint32_t color);
    unsigned Random();

    float m_Width = 0;
    float m_Height = 0;
    float m_Depth = 0;
    float m_MinSize = 0.05f;
    float m_MaxSize = 0.2f;
    uint32_t m_MinCount = 1;
    uint32_t m_MaxCount = 128;
    XArray<PSParticle, 32> m_Particles;
    XArray<PSVertex, 32> m_Vertices;
    uint32_t m_MinLife = 2000;
    uint32_t m_MaxLife = 10000;
    uint32_t m_LastUpdate = 0;
    uint32_t m_UpdateInterval = 100;
    float m_Rate = 8.0f;
    float m_Carry = 0;
    RandomSource m_Random;
};

class XParticleSystemDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

extern XParticleSystemDesc ParticleSystemDesc;
