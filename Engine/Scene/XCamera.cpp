#include "Engine/Scene/XCamera.h"

#include "Components/XException.h"
#include "Components/XReader.h"
#include "Components/XVariant.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XArrayChunks.h"
#include "Engine/Scene/XCameraPreset.h"
#include "Engine/Scene/XClassIds.h"
#include "Engine/Scene/XObjectField.h"

#include <cfloat>
#include <cmath>

using VarUtils::XVariant;

XCameraDesc CameraDesc;

namespace
{
// The icon's box and lens edges.
const XEdge kIconEdges[] = {{0, 1},  {1, 2},  {2, 3},  {3, 0},   {4, 5},   {5, 6}, {6, 7},
                            {7, 4},  {0, 4},  {1, 5},  {2, 6},   {3, 7},   {8, 9}, {8, 10},
                            {8, 11}, {8, 12}, {9, 10}, {10, 11}, {11, 12}, {12, 9}};

using XXCameraFOVField = XAccessorField<XCamera, float, &XCamera::GetFOV, &XCamera::SetFOV>;
using XXCameraNearViewPlaneField =
    XAccessorField<XCamera, float, &XCamera::GetNearViewPlane, &XCamera::SetNearViewPlane>;
using XXCameraFarViewPlaneField =
    XAccessorField<XCamera, float, &XCamera::GetFarViewPlane, &XCamera::SetFarViewPlane>;
using XXCameraAspectRatioField =
    XAccessorField<XCamera, float, &XCamera::GetAspectRatio, &XCamera::SetAspectRatio>;
using XXCameraPerspectiveField =
    XAccessorField<XCamera, bool, &XCamera::GetPerspective, &XCamera::SetPerspective>;

XXCameraFOVField g_FOVField(u"FOV", u"float");
XXCameraNearViewPlaneField g_NearViewPlaneField(u"NearViewPlane", u"float");
XXCameraFarViewPlaneField g_FarViewPlaneField(u"FarViewPlane", u"float");
XXCameraAspectRatioField g_AspectRatioField(u"AspectRatio", u"float");
XXCameraPerspectiveField g_PerspectiveField(u"Perspective", u"bool");
} // namespace

// ---- construction ------------------------------------------------------------------------------

XCamera::XCamera() : m_Target(this)
{
    SetName(u"Camera");
}

XCamera::~XCamera()
{
    try
    {
        SetTarget(nullptr);
    }
    catch (...)
    {
    }
}

void XCamera::Notification(XRefManager* sender, unsigned message, uintptr_t param)
{
    XMeshNode::Notification(sender, message, param);
    if (sender && sender == m_Target.GetTarget() && (message == XRM_DELETED || message == XRM_RELEASED))
        SetTarget(nullptr);
}

uint32_t XCamera::GetClassId() const
{
    return ClassId::Camera;
}

XString XCamera::GetClassNameW() const
{
    return u"XCamera";
}

void XCamera::Save(XScene* scene, XWriter& writer)
{
    XMeshNode::Save(scene, writer);
    writer.BeginChunk(ClassId::Camera);
    writer.WriteChunkFloat(FOVChunk, m_FOV);
    writer.WriteChunkFloat(NearViewPlaneChunk, m_NearViewPlane);
    writer.WriteChunkFloat(FarViewPlaneChunk, m_FarViewPlane);
    writer.WriteChunkFloat(AspectRatioChunk, m_AspectRatio);
    writer.WriteChunkU8(PerspectiveChunk, m_Perspective);
    writer.EndChunk();
}

void XCamera::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::Camera)
    {
        XMeshNode::Load(scene, reader);
        return;
    }
    // The lens values changed under the icon whether or not a chunk below says so.
    ResetLens();
    XArrayChunks::ReadValues(reader,
                             [&](uint32_t id)
                             {
                                 switch (id)
                                 {
                                 case FOVChunk:
                                     SetFOV(XArrayChunks::ReadFloat(reader));
                                     break;
                                 case NearViewPlaneChunk:
                                     SetNearViewPlane(XArrayChunks::ReadFloat(reader));
                                     break;
                                 case FarViewPlaneChunk:
                                     SetFarViewPlane(XArrayChunks::ReadFloat(reader));
                                     break;
                                 case AspectRatioChunk:
                                     SetAspectRatio(XArrayChunks::ReadFloat(reader));
                                     break;
                                 case PerspectiveChunk:
                                     SetPerspective(XArrayChunks::ReadFlag(reader));
                                     break;
                                 default:
                                     break;
                                 }
                             });
    InvalidateViewMatrix();
    InvalidateProjMatrix();
}

void XCamera::EnumerateFields(XPtrArray<XObjectField, 16>& fields)
{
    XBaseCamera::EnumerateFields(fields);
    fields.Add(&g_FOVField);
    fields.Add(&g_NearViewPlaneField);
    fields.Add(&g_FarViewPlaneField);
    fields.Add(&g_AspectRatioField);
    fields.Add(&g_PerspectiveField);
}

bool XCamera::Editable()
{
    return true;
}

void XCamera::Edit(XScene*) {}

XBaseMesh* XCamera::GetMesh() const
{
    return nullptr;
}

void XCamera::SetMesh(XBaseMesh*) {}

// ---- drawing and picking -----------------------------------------------------------------------

void XCamera::Render(unsigned frame, XViewport* viewport, unsigned flags)
{
    if (!viewport || viewport->GetCamera() == this)
        return;
    if (!m_Icon.IsShapeValid(frame))
        BuildMesh();
    m_Icon.Render(frame, viewport, this, flags);
}

bool XCamera::PickIcon(unsigned frame, XViewport* viewport, const XPoint& point, float& distance)
{
    distance = FLT_MAX;
    if (!m_Icon.IsShapeValid(frame))
        BuildMesh();
    if (!viewport)
        return false;
    XMatrix world(1.0f);
    GetMeshMatrix(frame, world);
    IntersectBox(m_Icon.GetBoundingBox(frame), XPickRay(frame, viewport, point, world), distance);
    return distance < FLT_MAX;
}

bool XCamera::IntersectRay(unsigned frame, XViewport* viewport, const XPoint& point, float& distance,
                           unsigned)
{
    return PickIcon(frame, viewport, point, distance);
}

bool XCamera::HitTest(unsigned frame, XViewport* viewport, const XPoint& point, unsigned)
{
    float distance;
    return PickIcon(frame, viewport, point, distance);
}

XBoundingBox XCamera::GetMeshBoundingBox(unsigned frame)
{
    if (!m_Icon.IsShapeValid(frame))
        BuildMesh();
    return m_Icon.GetBoundingBox(frame);
}

void XCamera::BuildMesh()
{
    XVertices& points = m_Icon.GetPoints();
    points.SetCount(13);
    XVertex* p = points.GetData();
    p[0] = XVertex(-0.2f, 0.2f, 0.2f);
    p[1] = XVertex(-0.2f, 0.2f, -0.2f);
    p[2] = XVertex(0.2f, 0.2f, -0.2f);
    p[3] = XVertex(0.2f, 0.2f, 0.2f);
    p[4] = XVertex(-0.2f, -0.2f, 0.2f);
    p[5] = XVertex(-0.2f, -0.2f, -0.2f);
    p[6] = XVertex(0.2f, -0.2f, -0.2f);
    p[7] = XVertex(0.2f, -0.2f, 0.2f);
    p[8] = XVertex(0, 0, 0.2f);
    const float s = std::sin(m_FOV * 0.5f) * 0.5f;
    const float z = std::cos(m_FOV * 0.5f) * 0.5f + 0.2f;
    const float t = s / m_AspectRatio;
    p[9] = XVertex(-s, t, z);
    p[10] = XVertex(s, t, z);
    p[11] = XVertex(s, -t, z);
    p[12] = XVertex(-s, -t, z);
    XEdges& edges = m_Icon.GetEdges();
    const uint32_t edgeCount = sizeof kIconEdges / sizeof kIconEdges[0];
    edges.SetCount(edgeCount);
    for (uint32_t i = 0; i < edgeCount; ++i)
        edges.GetData()[i] = kIconEdges[i];
    m_Icon.ShapeValidate();
}

// ---- matrices ----------------------------------------------------------------------------------

void XCamera::InvalidateNodeMatrix()
{
    XBaseCamera::InvalidateNodeMatrix();
    InvalidateViewMatrix();
}

void XCamera::InvalidateViewMatrix()
{
    m_ViewFrame = NoFrame;
    m_ViewInverseFrame = NoFrame;
}

void XCamera::InvalidateProjMatrix()
{
    m_ProjFrame = NoFrame;
    m_ProjInverseFrame = NoFrame;
}

const XMatrix& XCamera::GetViewMatrix(unsigned frame)
{
    if (m_ViewFrame != frame || frame == NoFrame)
    {
        GetMatrix(frame, m_ViewInverse);
        m_ViewInverse.Inverse(m_View);
        m_ViewFrame = frame;
        m_ViewInverseFrame = frame;
    }
    return m_View;
}

const XMatrix& XCamera::GetViewMatrixInverse(unsigned frame)
{
    if (m_ViewInverseFrame != frame || frame == NoFrame)
        GetViewMatrix(frame);
    return m_ViewInverse;
}

const XMatrix& XCamera::GetProjectionMatrix(unsigned frame)
{
    if (m_ProjFrame != frame || frame == NoFrame)
    {
        m_ProjFrame = frame;
        m_ProjInverseFrame = NoFrame;
        if (m_Perspective)
        {
            m_Proj.SetPerspectiveProjection(m_FOV, m_AspectRatio, m_NearViewPlane, m_FarViewPlane);
        }
        else
        {
            const float h = static_cast<float>(1.0 / std::tan(m_FOV * 0.5));
            const float w = h * m_AspectRatio;
            m_Proj.SetOrthogonalProjection(-w, w, -h, h, -m_FarViewPlane, m_FarViewPlane);
        }
    }
    return m_Proj;
}

const XMatrix& XCamera::GetProjectionMatrixInverse(unsigned frame)
{
    // The inverse of a projection left over from another frame (or invalidated) would be stale.
    GetProjectionMatrix(frame);
    if (m_ProjInverseFrame != frame || frame == NoFrame)
    {
        m_Proj.Inverse(m_ProjInverse);
        m_ProjInverseFrame = frame;
    }
    return m_ProjInverse;
}

XVertex XCamera::GetPosition(unsigned frame)
{
    const XMatrix& view = GetViewMatrix(frame);
    return XVertex(view.m[3][0], view.m[3][1], view.m[3][2]);
}

XVertex XCamera::GetDirection(unsigned frame)
{
    const XMatrix& view = GetViewMatrix(frame);
    return Normalize(XVertex(-view.m[2][0], -view.m[2][1], -view.m[2][2]));
}

void XCamera::Reset()
{
    m_NavAxis = XVertex(0, 0, 1);
    ResetLens();
    InvalidateViewMatrix();
    InvalidateProjMatrix();
}

void XCamera::ResetLens()
{
    m_FOV = DefaultFOV;
    m_NearViewPlane = DefaultNearViewPlane;
    m_FarViewPlane = DefaultFarViewPlane;
    m_AspectRatio = DefaultAspectRatio;
    m_Perspective = false;
    m_Icon.ShapeInvalidate();
}

void XCamera::CamRotate(unsigned, XMatrix*, const XVertex& angles)
{
    XMatrix rotation;
    rotation.SetRotation(angles.x, angles.y, angles.z);
    m_Matrix = m_Matrix * rotation;
    InvalidateNodeMatrix();
    InvalidateViewMatrix();
}

void XCamera::CamRotate(float a, float b, float c)
{
    XMatrix rotation;
    rotation.SetRotation(b, a, c);
    m_Matrix = rotation * m_Matrix;
    InvalidateNodeMatrix();
    InvalidateViewMatrix();
}

// ---- lens --------------------------------------------------------------------------------------

void XCamera::SetFOV(float fov)
{
    ClampValue(fov, MinFOV, MaxFOV);
    // NaN passes the clamp untouched: a projection built from it would be all NaN.
    if (std::isnan(fov))
        fov = MinFOV;
    m_FOV = fov;
    m_Icon.ShapeInvalidate();
    InvalidateProjMatrix();
}

void XCamera::SetNearViewPlane(float value)
{
    m_NearViewPlane = value;
    InvalidateProjMatrix();
}

void XCamera::SetFarViewPlane(float value)
{
    m_FarViewPlane = value;
    InvalidateProjMatrix();
}

void XCamera::SetAspectRatio(float value)
{
    if (value == m_AspectRatio)
        return;
    m_AspectRatio = value;
    m_Icon.ShapeInvalidate();
    InvalidateProjMatrix();
}

void XCamera::SetPerspective(bool perspective)
{
    if (perspective == m_Perspective)
        return;
    m_Perspective = perspective;
    InvalidateProjMatrix();
}

void XCamera::SetTarget(XMeshNode* target)
{
    m_Target.SetTarget(target);
    InvalidateViewMatrix();
}

// ---- presets -----------------------------------------------------------------------------------

void XCamera::GetPreset(XCameraPreset& preset)
{
    GetLocalMatrix(preset.Matrix);
    preset.FOV = m_FOV;
    preset.NearViewPlane = m_NearViewPlane;
    preset.FarViewPlane = m_FarViewPlane;
    preset.AspectRatio = m_AspectRatio;
    preset.Perspective = m_Perspective;
}

void XCamera::SetPreset(const XCameraPreset& preset)
{
    SetMatrix(preset.Matrix);
    SetFOV(preset.FOV);
    SetNearViewPlane(preset.NearViewPlane);
    SetFarViewPlane(preset.FarViewPlane);
    SetPerspective(preset.Perspective);
}

// ---- descriptor --------------------------------------------------------------------------------

XBaseObject* XCameraDesc::Create() const
{
    return new XCamera;
}

XString XCameraDesc::GetClassNameW() const
{
    return u"XCamera";
}

uint32_t XCameraDesc::GetCategory() const
{
    return XCAT_CAMERA;
}
