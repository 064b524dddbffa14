// The scene's camera: field of view, clipping planes, aspect ratio and projection kind, a target
// node, and view and projection matrices cached per animation frame. In other viewports it draws
// a small wire icon of itself (a box with a lens pyramid that follows the field of view and the
// aspect ratio), picked by the icon's box.
#pragma once

#include "Engine/Geometry/XBaseShape.h"
#include "Engine/Scene/XBaseCamera.h"

class XCameraPreset;

class XCamera : public XBaseCamera
{
public:
    // Sub-chunks of the camera chunk (and of a camera preset's chunk).
    static constexpr uint32_t FOVChunk = 0x12700001;
    static constexpr uint32_t NearViewPlaneChunk = 0x12700002;
    static constexpr uint32_t FarViewPlaneChunk = 0x12700003;
    static constexpr uint32_t AspectRatioChunk = 0x12700004;
    static constexpr uint32_t PerspectiveChunk = 0x12700005;
    // Lens defaults: pi/4, 1, 100, 1.33, orthographic.
    static constexpr float DefaultFOV = 0.785398185f;
    static constexpr float DefaultNearViewPlane = 1.0f;
    static constexpr float DefaultFarViewPlane = 100.0f;
    static constexpr float DefaultAspectRatio = 1.33f;
    static constexpr float MinFOV = 0.01f;
    static constexpr float MaxFOV = 3.14159274f;
    // A cache stamped with this frame is invalid.
    static constexpr uint32_t NoFrame = 0xFFFFFFFF;

    // Name "Camera", the lens defaults, no target, every cache invalid.
    XCamera();
    ~XCamera() override;

    // Deleted (1) or released (2) by the target: the target is cleared.
    void Notification(XRefManager* sender, unsigned message, uintptr_t param) override;
    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    // The node's chunks, then chunk 0x12700000 with the five lens values. The target is not saved.
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0x12700000: the lens values start from their defaults and each sub-chunk present goes
    // through its setter (a loaded field of view is clamped); both caches are invalidated.
    void Load(XScene* scene, XReader& reader) override;
    // The node's fields, then FOV, NearViewPlane, FarViewPlane, AspectRatio, Perspective.
    void EnumerateFields(XPtrArray<XObjectField, 16>& fields) override;

    bool Editable() override;
    // Nothing: a camera has no editor of its own.
    void Edit(XScene* scene) override;
    // A camera places no mesh object: none is returned and none is taken.
    XBaseMesh* GetMesh() const override;
    void SetMesh(XBaseMesh* mesh) override;
    // Nothing in the viewport that looks through this camera; the icon elsewhere.
    void Render(unsigned frame, XViewport* viewport, unsigned flags) override;
    bool IntersectRay(unsigned frame, XViewport* viewport, const XPoint& point, float& distance,
                      unsigned flags) override;
    bool HitTest(unsigned frame, XViewport* viewport, const XPoint& point, unsigned flags) override;
    XBoundingBox GetMeshBoundingBox(unsigned frame) override;
    // The node's, and the view matrix with it.
    void InvalidateNodeMatrix() override;

    // Perspective: SetPerspectiveProjection(FOV, AspectRatio, near, far). Orthographic: with
    // h = 1 / tan(FOV / 2) and w = h * AspectRatio, the box -w..w, -h..h, -far..far.
    const XMatrix& GetProjectionMatrix(unsigned frame) override;
    // The inverse of the projection at the frame (brought up to date first).
    const XMatrix& GetProjectionMatrixInverse(unsigned frame) override;
    // The inverse of the node's world matrix at the frame.
    const XMatrix& GetViewMatrix(unsigned frame) override;
    const XMatrix& GetViewMatrixInverse(unsigned frame) override;
    // The fourth row of the view matrix.
    XVertex GetPosition(unsigned frame) override;
    // The negated third row of the view matrix, normalised.
    XVertex GetDirection(unsigned frame) override;
    void Reset() override;
    // local := local x rotation(angles); frame and matrix are not used.
    virtual void CamRotate(unsigned frame, XMatrix* matrix, const XVertex& angles);
    // local := rotation(b, a, c) x local (the first two angles swap places).
    virtual void CamRotate(float a, float b, float c);
    using XBaseCamera::GetPosition;

    float GetFOV() const { return m_FOV; }
    // Clamps to [0.01, pi]; always invalidates the projection and the icon.
    void SetFOV(float fov);
    float GetNearViewPlane() const { return m_NearViewPlane; }
    void SetNearViewPlane(float value);
    float GetFarViewPlane() const { return m_FarViewPlane; }
    void SetFarViewPlane(float value);
    float GetAspectRatio() const { return m_AspectRatio; }
    // Only a changed value: stores it, invalidates the projection and the icon.
    void SetAspectRatio(float value);
    bool GetPerspective() const { return m_Perspective; }
    void SetPerspective(bool perspective);
    XMeshNode* GetTarget() const { return m_Target.Get(); }
    // The target is kept for the viewports; the matrices do not use it.
    void SetTarget(XMeshNode* target);

    // The local matrix and the five lens values; the preset's name is left alone.
    void GetPreset(XCameraPreset& preset);
    // The local matrix, field of view, clipping planes and projection kind; not the aspect ratio,
    // which belongs to the viewport showing the camera.
    void SetPreset(const XCameraPreset& preset);

    void InvalidateViewMatrix();
    void InvalidateProjMatrix();

    // Fills the icon: a box of half-size 0.2 and a lens pyramid from (0, 0, 0.2) whose far end
    // follows the field of view and the aspect ratio (13 points, 20 edges).
    void BuildMesh();
    XBaseShape& GetIcon() { return m_Icon; }

protected:
    // The pick ray against the box of the icon's points, placed by this camera's mesh matrix;
    // distance is where the drawn part of the ray enters it (XPickRay; the largest float on a miss).
    bool PickIcon(unsigned frame, XViewport* viewport, const XPoint& point, float& distance);
    // The lens values back to their defaults, the icon stale.
    void ResetLens();

    XBaseShape m_Icon;
    // Kept for the viewports' navigation.
    XVertex m_NavPoint{0, 0, 0};
    XVertex m_NavAxis{0, 0, 1};
    float m_FOV = DefaultFOV;
    float m_NearViewPlane = DefaultNearViewPlane;
    float m_FarViewPlane = DefaultFarViewPlane;
    float m_AspectRatio = DefaultAspectRatio;
    XReference<XMeshNode> m_Target;
    bool m_Perspective = false;
    uint32_t m_ViewFrame = NoFrame;
    uint32_t m_ViewInverseFrame = NoFrame;
    uint32_t m_ProjFrame = NoFrame;
    uint32_t m_ProjInverseFrame = NoFrame;
    XMatrix m_View{1.0f};
    XMatrix m_ViewInverse{1.0f};
    XMatrix m_Proj{1.0f};
    XMatrix m_ProjInverse{1.0f};
};

class XCameraDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

extern XCameraDesc CameraDesc;
